// Reading GNOME Planner's files (.planner): the project's calendar (day types, a default week
// that may defer to a base calendar, days that differ), its tasks nested in their outline with
// their dates, constraint and predecessors, its resources and who works on what. Planner keeps
// times, not days: a task's days are those its working time touches, and its lags are elapsed
// seconds, kept as the working days they span.
#include "PlanFile.h"
#include "PlanFileText.h"

#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace PlanFiles {

namespace {

using Text::atLine;

enum DayType { Working = 0, Nonworking = 1, UseBase = 2 };

struct PlannerCalendar {
    QString parent;
    int week[8] = {-1, -1, -1, -1, -1, -1, -1, -1}; // day types by QDate::dayOfWeek(), -1: unstated
    QHash<int, QList<QPair<int, int>>> intervals;   // working time of a day type, minutes of the day
    QList<QPair<QDate, int>> days;                  // days of a type of their own
};

// A time as Planner writes it, "20070223T080000Z": the date and the minutes into it, taken as
// they are written (Planner writes local times with a Z).
struct Moment {
    QDate date;
    int minutes = 0;
    bool valid() const { return date.isValid(); }
};

Moment moment(const QString& text) {
    Moment result;
    if (text.size() < 15 || text.at(8) != QLatin1Char('T'))
        return result;
    bool ok = false;
    const int hour = QStringView(text).mid(9, 2).toInt(&ok);
    if (!ok)
        return result;
    const int minute = QStringView(text).mid(11, 2).toInt(&ok);
    if (!ok || hour > 24 || minute > 59)
        return result;
    result.date = QDate::fromString(text.left(8), QStringLiteral("yyyyMMdd"));
    result.minutes = hour * 60 + minute;
    return result;
}

int minutesOf(QStringView text) {
    // "0800"; "0000" at the end of an interval is midnight at the end of the day.
    if (text.size() != 4)
        return -1;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value / 100 > 24 || value % 100 > 59)
        return -1;
    return value / 100 * 60 + value % 100;
}

struct PlannerLink {
    QString predecessor;
    QString type;
    qint64 lagSeconds = 0;
    qint64 line = 0;
};

struct PlannerTask {
    FileTask task;
    Moment start;
    Moment finish;
    Moment constraint;
    QList<PlannerLink> predecessors;
    qint64 line = 0;
};

class PlannerReader {
public:
    PlannerReader(QIODevice& in, PlanFile& plan)
        : m_xml(&in)
        , m_plan(plan) {}
    bool read(QString* error);

private:
    bool fail(const QString& message) {
        if (m_error.isEmpty())
            m_error = atLine(m_xml, message);
        return false;
    }
    void readCalendars(const QString& parent);
    void readCalendar(const QString& parent);
    bool readTask(const QString& parentKey);
    void readResources();
    void readAllocations();
    void makeCalendar();
    bool finish();
    QDate startDay(const Moment& at) const;
    QDate finishDay(const Moment& at) const;
    int dayTypeOf(const QString& calendar, int dayOfWeek) const;
    bool typeWorks(const QString& calendar, int type) const;

    QXmlStreamReader m_xml;
    PlanFile& m_plan;
    QString m_error;
    QString m_calendarId;
    Moment m_projectStart;
    QHash<QString, PlannerCalendar> m_calendars;
    QString m_firstCalendar;
    QList<PlannerTask> m_tasks;
    QHash<QString, int> m_byKey;
    QHash<QString, QString> m_resourceNames;
    QHash<QString, QList<QPair<QString, int>>> m_allocations; // by task: resource, units
    int m_dayStart = 8 * 60;
    int m_dayFinish = 17 * 60;
    int m_otherConstraints = 0;
    int m_mustStart = 0;
    QStringList m_constraintKinds;
    int m_costs = 0;
    int m_properties = 0;
    int m_extraWorkingDays = 0;
};

Priority priorityOf(int value) {
    // Planner grades from 0 (its default, which says nothing) to 9999; MS Project's middle
    // (500) is Planner's 5000.
    if (value <= 0)
        return Priority::Unknown;
    if (value < 2000)
        return Priority::Lowest;
    if (value < 4000)
        return Priority::Low;
    if (value < 6000)
        return Priority::Normal;
    if (value < 8000)
        return Priority::High;
    return Priority::Highest;
}

bool PlannerReader::read(QString* error) {
    if (!Text::toRoot(m_xml, error))
        return false;
    const QXmlStreamAttributes root = m_xml.attributes();
    if (m_xml.name() != QLatin1String("project") || !m_xml.namespaceUri().isEmpty() ||
        (!root.hasAttribute(QLatin1String("mrproject-version")) &&
         !root.hasAttribute(QLatin1String("project-start")))) {
        if (error)
            *error = atLine(m_xml, QStringLiteral("not a GNOME Planner file (its root element is <%1>)")
                                       .arg(m_xml.qualifiedName().toString()));
        return false;
    }
    m_plan.projectName = root.value(QLatin1String("name")).toString().trimmed();
    m_plan.owner = root.value(QLatin1String("manager")).toString().trimmed();
    m_calendarId = root.value(QLatin1String("calendar")).toString();
    if (root.hasAttribute(QLatin1String("project-start"))) {
        m_projectStart = moment(root.value(QLatin1String("project-start")).toString());
        if (!Text::inRange(m_projectStart.date)) {
            fail(QStringLiteral("the project starts on a date out of range"));
            if (error)
                *error = m_error;
            return false;
        }
    }
    while (m_error.isEmpty() && m_xml.readNextStartElement()) {
        const QStringView name = m_xml.name();
        if (name == QLatin1String("calendars"))
            readCalendars(QString());
        else if (name == QLatin1String("tasks")) {
            while (m_error.isEmpty() && m_xml.readNextStartElement()) {
                if (m_xml.name() == QLatin1String("task"))
                    readTask(QString());
                else
                    m_xml.skipCurrentElement();
            }
        } else if (name == QLatin1String("resources"))
            readResources();
        else if (name == QLatin1String("allocations"))
            readAllocations();
        else if (name == QLatin1String("properties")) {
            while (m_xml.readNextStartElement()) {
                ++m_properties;
                m_xml.skipCurrentElement();
            }
        } else
            m_xml.skipCurrentElement();
    }
    if (m_error.isEmpty() && m_xml.hasError())
        fail(QStringLiteral("not a well-formed XML file (%1)").arg(m_xml.errorString()));
    if (m_error.isEmpty()) {
        makeCalendar();
        finish();
    }
    if (!m_error.isEmpty()) {
        if (error)
            *error = m_error;
        return false;
    }
    return true;
}

void PlannerReader::readCalendars(const QString& parent) {
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("calendar"))
            readCalendar(parent);
        else
            m_xml.skipCurrentElement();
    }
}

void PlannerReader::readCalendar(const QString& parent) {
    const QString id = m_xml.attributes().value(QLatin1String("id")).toString();
    if (m_firstCalendar.isEmpty())
        m_firstCalendar = id;
    PlannerCalendar calendar;
    calendar.parent = parent;
    while (m_xml.readNextStartElement()) {
        const QStringView name = m_xml.name();
        const QXmlStreamAttributes attributes = m_xml.attributes();
        if (name == QLatin1String("default-week")) {
            static const char* const days[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
            for (int day = 1; day <= 7; ++day) {
                bool ok = false;
                const int type = attributes.value(QLatin1String(days[day - 1])).toInt(&ok);
                calendar.week[day] = ok ? type : -1;
            }
            m_xml.skipCurrentElement();
        } else if (name == QLatin1String("overridden-day-types")) {
            while (m_xml.readNextStartElement()) {
                const int type = m_xml.attributes().value(QLatin1String("id")).toInt();
                QList<QPair<int, int>>& intervals = calendar.intervals[type];
                while (m_xml.readNextStartElement()) {
                    const QXmlStreamAttributes interval = m_xml.attributes();
                    const int from = minutesOf(interval.value(QLatin1String("start")));
                    int to = minutesOf(interval.value(QLatin1String("end")));
                    if (to == 0)
                        to = 24 * 60;
                    if (from >= 0 && to > from)
                        intervals.append({from, to});
                    m_xml.skipCurrentElement();
                }
            }
        } else if (name == QLatin1String("days")) {
            while (m_xml.readNextStartElement()) {
                const QXmlStreamAttributes day = m_xml.attributes();
                const QDate date =
                    QDate::fromString(day.value(QLatin1String("date")).toString(), QStringLiteral("yyyyMMdd"));
                if (day.value(QLatin1String("type")) == QLatin1String("day-type") && Text::inRange(date))
                    calendar.days.append({date, day.value(QLatin1String("id")).toInt()});
                m_xml.skipCurrentElement();
            }
        } else if (name == QLatin1String("calendar")) {
            readCalendar(id); // derived from this one
        } else
            m_xml.skipCurrentElement();
    }
    if (!m_calendars.contains(id))
        m_calendars.insert(id, calendar);
}

bool PlannerReader::typeWorks(const QString& calendar, int type) const {
    if (type == Working)
        return true;
    if (type == Nonworking)
        return false;
    // A day type of the file's own: worked when a calendar gives it working time.
    QString at = calendar;
    for (int guard = 0; guard < 64 && m_calendars.contains(at); ++guard) {
        const PlannerCalendar& c = m_calendars[at];
        if (c.intervals.contains(type))
            return !c.intervals.value(type).isEmpty();
        at = c.parent;
    }
    return false;
}

int PlannerReader::dayTypeOf(const QString& calendar, int dayOfWeek) const {
    QString at = calendar;
    for (int guard = 0; guard < 64 && m_calendars.contains(at); ++guard) {
        const int type = m_calendars[at].week[dayOfWeek];
        if (type >= 0 && type != UseBase)
            return type;
        at = m_calendars[at].parent;
    }
    return dayOfWeek <= 5 ? Working : Nonworking;
}

void PlannerReader::makeCalendar() {
    QString id = m_calendars.contains(m_calendarId) ? m_calendarId : m_firstCalendar;
    if (!m_calendars.contains(id))
        return; // Monday to Friday
    WorkCalendar& calendar = m_plan.calendar;
    bool works[8] = {};
    for (int day = 1; day <= 7; ++day)
        works[day] = typeWorks(id, dayTypeOf(id, day));
    for (int day = 1; day <= 7; ++day)
        if (works[day])
            calendar.setWorkingWeekday(day, true);
    for (int day = 1; day <= 7; ++day)
        if (!works[day])
            calendar.setWorkingWeekday(day, false);
    // Days that differ: the base calendar's first, then the calendar's own over them.
    QStringList chain;
    for (QString at = id; m_calendars.contains(at) && chain.size() < 64; at = m_calendars[at].parent)
        chain.prepend(at);
    QHash<QDate, bool> differing;
    for (const QString& at : std::as_const(chain))
        for (const auto& [date, type] : m_calendars[at].days)
            if (type != UseBase)
                differing.insert(date, typeWorks(id, type));
    // Added in date order, which the calendar takes at no cost.
    QList<QDate> dates = differing.keys();
    std::sort(dates.begin(), dates.end());
    for (const QDate date : std::as_const(dates)) {
        if (!differing.value(date))
            calendar.addHoliday(date);
        else if (!calendar.isWorkingWeekday(date.dayOfWeek()))
            ++m_extraWorkingDays;
    }
    // The working day's bounds, which decide whether a time falls before, in or after a day.
    int first = 24 * 60;
    int last = 0;
    for (const QString& at : std::as_const(chain))
        for (const auto& [from, to] : m_calendars[at].intervals.value(Working)) {
            first = std::min(first, from);
            last = std::max(last, to);
        }
    if (last > first) {
        m_dayStart = first;
        m_dayFinish = last;
    }
}

bool PlannerReader::readTask(const QString& parentKey) {
    static constexpr int deepest = 200;
    static thread_local int depth = 0;
    if (depth >= deepest)
        return fail(QStringLiteral("tasks nested more than %1 levels deep").arg(deepest));
    struct Depth {
        Depth() { ++depth; }
        ~Depth() { --depth; }
    } level;

    const QXmlStreamAttributes attributes = m_xml.attributes();
    PlannerTask read;
    read.line = m_xml.lineNumber();
    FileTask& task = read.task;
    task.key = attributes.value(QLatin1String("id")).toString().trimmed();
    if (task.key.isEmpty())
        return fail(QStringLiteral("a task without an id"));
    if (m_byKey.contains(task.key))
        return fail(QStringLiteral("a second task with the id %1").arg(task.key));
    task.parentKey = parentKey;
    task.name = attributes.value(QLatin1String("name")).toString();
    task.notes = attributes.value(QLatin1String("note")).toString().trimmed();
    task.milestone = attributes.value(QLatin1String("type")) == QLatin1String("milestone");
    task.percentComplete = std::clamp(attributes.value(QLatin1String("percent-complete")).toInt(), 0, 100);
    task.priority = priorityOf(attributes.value(QLatin1String("priority")).toInt());
    const QString start = attributes
                              .value(attributes.hasAttribute(QLatin1String("work-start")) ? QLatin1String("work-start")
                                                                                          : QLatin1String("start"))
                              .toString();
    read.start = moment(start);
    read.finish = moment(attributes.value(QLatin1String("end")).toString());
    if (!Text::inRange(read.start.date))
        return fail(QStringLiteral("task %1 starts on a date out of range (\"%2\")").arg(task.key, start));
    if (!Text::inRange(read.finish.date))
        return fail(QStringLiteral("task %1 ends on a date out of range (\"%2\")")
                        .arg(task.key, attributes.value(QLatin1String("end")).toString()));

    const int index = static_cast<int>(m_tasks.size());
    m_byKey.insert(task.key, index);
    m_tasks.append(read);
    while (m_error.isEmpty() && m_xml.readNextStartElement()) {
        const QStringView name = m_xml.name();
        const QXmlStreamAttributes child = m_xml.attributes();
        if (name == QLatin1String("task")) {
            m_tasks[index].task.summary = true;
            readTask(m_tasks.at(index).task.key);
        } else if (name == QLatin1String("constraint")) {
            const QString type = child.value(QLatin1String("type")).toString();
            // "Must start on" holds the task back to its date as "start no earlier than" does; only
            // the "must" is lost.
            const bool mustStart = type == QLatin1String("must-start-on");
            if (type == QLatin1String("start-no-earlier-than") || mustStart) {
                const Moment at = moment(child.value(QLatin1String("time")).toString());
                if (!Text::inRange(at.date))
                    return fail(QStringLiteral("task %1 has a constraint on a date out of range").arg(task.key));
                m_tasks[index].constraint = at;
                m_mustStart += mustStart ? 1 : 0;
            } else {
                ++m_otherConstraints;
                if (!m_constraintKinds.contains(type))
                    m_constraintKinds.append(type);
            }
            m_xml.skipCurrentElement();
        } else if (name == QLatin1String("predecessors")) {
            while (m_xml.readNextStartElement()) {
                if (m_xml.name() == QLatin1String("predecessor")) {
                    const QXmlStreamAttributes link = m_xml.attributes();
                    PlannerLink predecessor;
                    predecessor.predecessor = link.value(QLatin1String("predecessor-id")).toString().trimmed();
                    predecessor.type = link.value(QLatin1String("type")).toString();
                    predecessor.line = m_xml.lineNumber();
                    bool ok = true;
                    if (link.hasAttribute(QLatin1String("lag")))
                        predecessor.lagSeconds = link.value(QLatin1String("lag")).toLongLong(&ok);
                    if (!ok || std::abs(predecessor.lagSeconds) > qint64(100000) * 86400)
                        return fail(QStringLiteral("a link of task %1 has a lag out of range").arg(task.key));
                    m_tasks[index].predecessors.append(predecessor);
                }
                m_xml.skipCurrentElement();
            }
        } else
            m_xml.skipCurrentElement();
    }
    return m_error.isEmpty();
}

void PlannerReader::readResources() {
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("resource")) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            const QString name = attributes.value(QLatin1String("name")).toString().trimmed();
            m_resourceNames.insert(attributes.value(QLatin1String("id")).toString(), name);
            if (!name.isEmpty() && !m_plan.resources.contains(name))
                m_plan.resources.append(name);
            if (attributes.value(QLatin1String("std-rate")).toDouble() != 0)
                ++m_costs;
        }
        m_xml.skipCurrentElement();
    }
}

void PlannerReader::readAllocations() {
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("allocation")) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            const QString resource = attributes.value(QLatin1String("resource-id")).toString();
            // Planner's default is the whole of a resource.
            const int units = attributes.hasAttribute(QLatin1String("units"))
                                  ? attributes.value(QLatin1String("units")).toInt()
                                  : 100;
            if (m_resourceNames.contains(resource))
                m_allocations[attributes.value(QLatin1String("task-id")).toString()].append(
                    {m_resourceNames.value(resource), units});
        }
        m_xml.skipCurrentElement();
    }
}

// A start at or after the end of the working day begins on the next working day; one on a day
// off, on the next working day.
QDate PlannerReader::startDay(const Moment& at) const {
    const QDate day = at.minutes >= m_dayFinish ? at.date.addDays(1) : at.date;
    return m_plan.calendar.addWorkingDays(day, 0);
}

// A finish at or before the beginning of the working day (or on a day off) ends on the working
// day before.
QDate PlannerReader::finishDay(const Moment& at) const {
    const WorkCalendar& calendar = m_plan.calendar;
    if (at.minutes <= m_dayStart || !calendar.isWorkingDay(at.date))
        return calendar.dateOf(calendar.ordinalOf(at.date) - 1);
    return at.date;
}

bool PlannerReader::finish() {
    const WorkCalendar& calendar = m_plan.calendar;
    int partDays = 0;
    int endsBeforeStart = 0;
    QStringList unknownLinks; // the types of links Planner does not have, one for each link
    QSet<QString> linked;
    for (const PlannerTask& read : std::as_const(m_tasks))
        for (const PlannerLink& predecessor : read.predecessors)
            linked << read.task.key << predecessor.predecessor;
    m_plan.tasks.reserve(m_tasks.size());
    for (PlannerTask& read : m_tasks) {
        FileTask& task = read.task;
        // A milestone at the very start of a working day stands on that day, as Planner shows it;
        // any other at the end of the day it falls on (or of the working day before).
        task.atDayStart = task.milestone && read.start.minutes <= m_dayStart && calendar.isWorkingDay(read.start.date);
        if (task.milestone) {
            task.start = task.finish = finishDay(read.start);
            task.lengthDays = 0;
        } else {
            task.start = startDay(read.start);
            if (read.finish.date < read.start.date ||
                (read.finish.date == read.start.date && read.finish.minutes < read.start.minutes))
                ++endsBeforeStart;
            task.finish = std::max(finishDay(read.finish), task.start);
            task.lengthDays = std::max(calendar.workingDaysBetween(task.start, task.finish), 1);
            auto inside = [&](const Moment& at) { return at.minutes > m_dayStart && at.minutes < m_dayFinish; };
            if (!task.summary && (inside(read.start) || inside(read.finish)))
                ++partDays;
        }
        if (read.constraint.valid())
            task.startNoEarlierThan = task.milestone ? finishDay(read.constraint) : startDay(read.constraint);
        else if (task.milestone && m_projectStart.valid())
            // Planner dates a milestone at the project's start at its very beginning: the end of
            // the working day before.
            task.startNoEarlierThan = finishDay(m_projectStart);
        if (task.atDayStart)
            Text::dateAtDayStart(calendar, task, linked.contains(task.key));
        if (!Text::inRange(task.start) || !Text::inRange(task.finish)) {
            m_error = atLine(read.line, QStringLiteral("task %1 has dates out of range").arg(task.key));
            return false;
        }
        const QList<QPair<QString, int>> allocations = m_allocations.value(task.key);
        int most = -1;
        for (int i = 0; i < allocations.size(); ++i)
            if (most < 0 || allocations.at(i).second > allocations.at(most).second)
                most = i;
        for (int i = 0; i < allocations.size(); ++i) {
            if (i == most)
                task.assignee = allocations.at(i).first;
            else if (!allocations.at(i).first.isEmpty())
                task.otherAssignees.append(allocations.at(i).first);
        }
        if (!m_plan.finish.isValid() || task.finish > m_plan.finish)
            m_plan.finish = task.finish;
        if (!m_plan.start.isValid() || task.start < m_plan.start)
            m_plan.start = task.start;
        m_plan.tasks.append(task);
    }
    if (m_projectStart.valid())
        m_plan.start = startDay(m_projectStart);

    int elapsedLags = 0;
    for (const PlannerTask& read : std::as_const(m_tasks)) {
        for (const PlannerLink& predecessor : read.predecessors) {
            const int other = m_byKey.value(predecessor.predecessor, -1);
            if (other < 0) {
                m_error =
                    atLine(predecessor.line, QStringLiteral("task %1 follows task %2, which the file does not hold")
                                                 .arg(read.task.key, predecessor.predecessor));
                return false;
            }
            FileLink link;
            link.predecessorKey = predecessor.predecessor;
            link.successorKey = read.task.key;
            if (predecessor.type == QLatin1String("SS"))
                link.kind = LinkKind::StartToStart;
            else if (predecessor.type == QLatin1String("FF"))
                link.kind = LinkKind::FinishToFinish;
            else if (predecessor.type == QLatin1String("SF"))
                link.kind = LinkKind::StartToFinish;
            else if (!predecessor.type.isEmpty() && predecessor.type != QLatin1String("FS"))
                unknownLinks << predecessor.type;
            if (predecessor.lagSeconds != 0) {
                // Elapsed time from the predecessor's end (or start): the working days it spans.
                ++elapsedLags;
                const FileTask& from = m_plan.tasks.at(other);
                const bool fromStart = link.kind == LinkKind::StartToStart || link.kind == LinkKind::StartToFinish;
                const QDate anchor = fromStart && !from.milestone ? from.start.addDays(-1) : from.finish;
                const qint64 days = std::llround(static_cast<double>(predecessor.lagSeconds) / 86400.0);
                if (days > 0)
                    link.lagDays = calendar.workingDaysBetween(anchor.addDays(1), anchor.addDays(days));
                else if (days < 0)
                    link.lagDays = -calendar.workingDaysBetween(anchor.addDays(days + 1), anchor);
            }
            m_plan.links.append(link);
        }
    }

    int shared = 0;
    for (const FileTask& task : std::as_const(m_plan.tasks))
        shared += task.otherAssignees.isEmpty() ? 0 : 1;
    QStringList& notKept = m_plan.notKept;
    if (shared)
        notKept << Text::counted(shared, "task", "tasks") +
                       QStringLiteral(" with more than one resource: each keeps the one with the most units as its "
                                      "assignee");
    if (m_mustStart)
        notKept << Text::counted(m_mustStart, "\"must start on\" constraint", "\"must start on\" constraints") +
                       QStringLiteral(": kept as \"start no earlier than\"");
    if (m_otherConstraints)
        notKept << Text::counted(m_otherConstraints, "constraint", "constraints") +
                       QStringLiteral(" other than \"start no earlier than\" (%1): the planner schedules "
                                      "those tasks as soon as their links allow")
                           .arg(m_constraintKinds.join(QStringLiteral(", ")));
    if (elapsedLags)
        notKept << Text::counted(elapsedLags, "lag", "lags") +
                       QStringLiteral(" in elapsed time: kept as the working days they span");
    if (!unknownLinks.isEmpty())
        notKept << Text::counted(unknownLinks.size(), "link", "links") +
                       QStringLiteral(" of a type Planner does not have (%1): read as finish-to-start")
                           .arg(QStringList(QSet<QString>(unknownLinks.cbegin(), unknownLinks.cend()).values())
                                    .join(QStringLiteral(", ")));
    if (endsBeforeStart)
        notKept << Text::counted(endsBeforeStart, "task that ends before it starts",
                                 "tasks that end before they start") +
                       QStringLiteral(": read as 1 day");
    if (partDays)
        notKept << Text::counted(partDays, "task that starts or ends", "tasks that start or end") +
                       QStringLiteral(" within a working day: their lengths are rounded to "
                                      "whole working days");
    if (m_costs)
        notKept << Text::counted(m_costs, "resource rate", "resource rates") +
                       QStringLiteral(": the planner keeps no costs");
    if (m_properties)
        notKept << Text::counted(m_properties, "custom property", "custom properties") +
                       QStringLiteral(": the planner has none");
    if (m_extraWorkingDays)
        notKept << Text::counted(m_extraWorkingDays, "extra working day", "extra working days") +
                       QStringLiteral(": the calendar keeps only days off");
    if (m_calendars.size() > 1)
        notKept << Text::counted(m_calendars.size() - 1, "calendar", "calendars") +
                       QStringLiteral(" besides the project's (of resources and others): the planner keeps "
                                      "one calendar");
    return true;
}

} // namespace

bool readPlanner(QIODevice& in, PlanFile& plan, QString* error) {
    plan = PlanFile();
    plan.format = QStringLiteral("GNOME Planner");
    PlannerReader reader(in, plan);
    if (!reader.read(error)) {
        plan = PlanFile();
        plan.format = QStringLiteral("GNOME Planner");
        return false;
    }
    return true;
}

} // namespace PlanFiles
