// Reading GanttProject's files (.gan): the project's calendar, its tasks nested in their outline
// with their links (kept in the predecessor, naming the successor), its resources and who works
// on what. GanttProject keeps lengths and lags in working days and no finish: a task finishes
// its length in working days after its start, and a milestone stands at the start of its day.
#include "PlanFile.h"
#include "PlanFileText.h"

#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <vector>

namespace PlanFiles {

namespace {

using Text::atLine;

struct GanLink {
    QString successor;
    int type = 2;
    int difference = 0;
    bool rubber = false; // the successor may start later than the link asks
    qint64 line = 0;
};

struct GanTask {
    FileTask task;
    QDate start; // as the file says, before the calendar is known
    int duration = 1;
    QList<GanLink> links;
    qint64 line = 0;
};

struct GanHoliday {
    int year = 0; // 0: every year
    int month = 0;
    int day = 0;
    qint64 line = 0;
};

struct Allocation {
    QString resource;
    double load = 0;
    bool responsible = false; // the one in charge of the task
};

// A note as GanttProject keeps it: its own text whole (trailing blanks too), without the line
// break and indentation that a file laid out by hand puts around it.
QString noteText(const QString& text) {
    if (!text.startsWith(QLatin1Char('\n')) && !text.startsWith(QLatin1String("\r\n")))
        return text;
    qsizetype from = 0;
    while (from < text.size() && text.at(from).isSpace())
        ++from;
    qsizetype to = text.size();
    while (to > from && (text.at(to - 1) == QLatin1Char(' ') || text.at(to - 1) == QLatin1Char('\t')))
        --to;
    if (to > from && text.at(to - 1) == QLatin1Char('\n')) {
        --to;
        if (to > from && text.at(to - 1) == QLatin1Char('\r'))
            --to;
    } else {
        to = text.size();
    }
    return text.mid(from, to - from);
}

class GanReader {
public:
    GanReader(QIODevice& in, PlanFile& plan)
        : m_xml(&in)
        , m_plan(plan) {}
    bool read(QString* error);

private:
    bool fail(const QString& message) {
        if (m_error.isEmpty())
            m_error = atLine(m_xml, message);
        return false;
    }
    bool readCalendars();
    bool readTasks();
    bool readTask(const QString& parentKey);
    void readResources();
    void readAllocations();
    void countVacations();
    void countBaselines();
    bool finish();

    QXmlStreamReader m_xml;
    PlanFile& m_plan;
    QString m_error;
    QList<GanTask> m_tasks;
    QHash<QString, int> m_byKey;
    QList<GanHoliday> m_holidays;
    QHash<QString, QString> m_resourceNames;
    QHash<QString, QList<Allocation>> m_allocations; // by task
    bool m_weekendsWorked = false;
    int m_extraWorkingDays = 0;
    int m_customFields = 0;
    int m_costs = 0;
    int m_vacations = 0;
    int m_baselines = 0;
    int m_roundedLengths = 0;
    QString m_baseCalendar;
};

int priorityCode(const QString& text) {
    bool ok = false;
    const int code = text.toInt(&ok);
    return ok ? code : 1;
}

Priority priorityOf(int code) {
    switch (code) {
    case 0:
        return Priority::Low;
    case 2:
        return Priority::High;
    case 3:
        return Priority::Lowest;
    case 4:
        return Priority::Highest;
    default:
        return Priority::Normal;
    }
}

LinkKind kindOf(int type) {
    switch (type) {
    case 1:
        return LinkKind::StartToStart;
    case 3:
        return LinkKind::FinishToFinish;
    case 4:
        return LinkKind::StartToFinish;
    default:
        return LinkKind::FinishToStart;
    }
}

bool GanReader::read(QString* error) {
    if (!Text::toRoot(m_xml, error))
        return false;
    const QXmlStreamAttributes root = m_xml.attributes();
    if (m_xml.name() != QLatin1String("project") || !m_xml.namespaceUri().isEmpty() ||
        root.hasAttribute(QLatin1String("mrproject-version"))) {
        if (error)
            *error = atLine(m_xml, QStringLiteral("not a GanttProject file (its root element is <%1>)")
                                       .arg(m_xml.qualifiedName().toString()));
        return false;
    }
    m_plan.projectName = root.value(QLatin1String("name")).toString().trimmed();
    while (m_error.isEmpty() && m_xml.readNextStartElement()) {
        const QStringView name = m_xml.name();
        if (name == QLatin1String("calendars"))
            readCalendars();
        else if (name == QLatin1String("tasks"))
            readTasks();
        else if (name == QLatin1String("resources"))
            readResources();
        else if (name == QLatin1String("allocations"))
            readAllocations();
        else if (name == QLatin1String("vacations"))
            countVacations();
        else if (name == QLatin1String("previous"))
            countBaselines();
        else
            m_xml.skipCurrentElement();
    }
    if (m_error.isEmpty() && m_xml.hasError())
        fail(QStringLiteral("not a well-formed XML file (%1)").arg(m_xml.errorString()));
    if (m_error.isEmpty())
        finish();
    if (!m_error.isEmpty()) {
        if (error)
            *error = m_error;
        return false;
    }
    return true;
}

bool GanReader::readCalendars() {
    const QString base = m_xml.attributes().value(QLatin1String("base-id")).toString();
    if (!base.isEmpty() && base != QLatin1String("none"))
        m_baseCalendar = base;
    // The default week, as the file states it (-1: not stated); files of older versions hold it
    // in a calendar element within the day types.
    int working[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    auto readDayTypes = [&](auto& self, int level) -> void {
        while (m_xml.readNextStartElement()) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            if (m_xml.name() == QLatin1String("default-week")) {
                static const char* const days[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
                for (int day = 1; day <= 7; ++day) {
                    const QString value = attributes.value(QLatin1String(days[day - 1])).toString();
                    if (!value.isEmpty())
                        working[day] = value == QLatin1String("1") ? 0 : 1;
                }
            } else if (m_xml.name() == QLatin1String("only-show-weekends")) {
                // Weekends shown as working days: tasks run on them.
                m_weekendsWorked = attributes.value(QLatin1String("value")) == QLatin1String("true");
            } else if (m_xml.name() == QLatin1String("calendar") && level == 0) {
                self(self, 1);
                continue;
            }
            m_xml.skipCurrentElement();
        }
    };
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("day-types")) {
            readDayTypes(readDayTypes, 0);
        } else if (m_xml.name() == QLatin1String("date")) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            const QString type = attributes.value(QLatin1String("type")).toString();
            GanHoliday holiday;
            holiday.year = attributes.value(QLatin1String("year")).toInt();
            holiday.month = attributes.value(QLatin1String("month")).toInt();
            holiday.day = attributes.value(QLatin1String("date")).toInt();
            holiday.line = m_xml.lineNumber();
            if (type == QLatin1String("WORKING_DAY"))
                ++m_extraWorkingDays;
            else if (type.isEmpty() || type == QLatin1String("HOLIDAY"))
                m_holidays.append(holiday);
            m_xml.skipCurrentElement();
        } else
            m_xml.skipCurrentElement();
    }
    // Working days first: a week is never left without one on the way.
    for (int day = 1; day <= 7; ++day)
        if (working[day] == 1 || m_weekendsWorked)
            m_plan.calendar.setWorkingWeekday(day, true);
    for (int day = 1; day <= 7; ++day)
        if (working[day] == 0 && !m_weekendsWorked)
            m_plan.calendar.setWorkingWeekday(day, false);
    return true;
}

bool GanReader::readTasks() {
    while (m_error.isEmpty() && m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("task"))
            readTask(QString());
        else if (m_xml.name() == QLatin1String("taskproperties")) {
            while (m_xml.readNextStartElement()) {
                if (m_xml.attributes().value(QLatin1String("type")) == QLatin1String("custom"))
                    ++m_customFields;
                m_xml.skipCurrentElement();
            }
        } else
            m_xml.skipCurrentElement();
    }
    return m_error.isEmpty();
}

bool GanReader::readTask(const QString& parentKey) {
    // Nested tasks are read one level at a time through this function; a file nested deeper than
    // any plan is refused rather than read into a deep recursion.
    static constexpr int deepest = 200;
    static thread_local int depth = 0;
    if (depth >= deepest)
        return fail(QStringLiteral("tasks nested more than %1 levels deep").arg(deepest));
    struct Depth {
        Depth() { ++depth; }
        ~Depth() { --depth; }
    } level;

    const QXmlStreamAttributes attributes = m_xml.attributes();
    GanTask read;
    read.line = m_xml.lineNumber();
    FileTask& task = read.task;
    task.key = attributes.value(QLatin1String("id")).toString().trimmed();
    if (task.key.isEmpty())
        return fail(QStringLiteral("a task without an id"));
    if (m_byKey.contains(task.key))
        return fail(QStringLiteral("a second task with the id %1").arg(task.key));
    task.parentKey = parentKey;
    task.name = attributes.value(QLatin1String("name")).toString();
    task.milestone = attributes.value(QLatin1String("meeting")) == QLatin1String("true");
    read.start = QDate::fromString(attributes.value(QLatin1String("start")).toString(), Qt::ISODate);
    if (!Text::inRange(read.start))
        return fail(QStringLiteral("task %1 starts on a date out of range (\"%2\")")
                        .arg(task.key, attributes.value(QLatin1String("start")).toString()));
    bool ok = false;
    const double duration = attributes.value(QLatin1String("duration")).toDouble(&ok);
    if (!ok || !std::isfinite(duration) || duration < 0 || duration > Text::longestSpan())
        return fail(QStringLiteral("task %1 has a length out of range (\"%2\")")
                        .arg(task.key, attributes.value(QLatin1String("duration")).toString()));
    read.duration = static_cast<int>(std::lround(duration));
    if (read.duration != duration)
        ++m_roundedLengths;
    if (read.duration == 0)
        task.milestone = true;
    task.percentComplete = std::clamp(attributes.value(QLatin1String("complete")).toInt(), 0, 100);
    task.priority = priorityOf(priorityCode(attributes.value(QLatin1String("priority")).toString()));
    if (attributes.value(QLatin1String("thirdDate-constraint")) == QLatin1String("1")) {
        const QDate earliest = QDate::fromString(attributes.value(QLatin1String("thirdDate")).toString(), Qt::ISODate);
        if (!Text::inRange(earliest))
            return fail(QStringLiteral("task %1 has an earliest start out of range").arg(task.key));
        task.startNoEarlierThan = earliest;
    }
    const double cost = attributes.value(QLatin1String("cost-manual-value")).toDouble();
    if (cost != 0 && std::isfinite(cost))
        ++m_costs;

    const int index = static_cast<int>(m_tasks.size());
    m_byKey.insert(task.key, index);
    m_tasks.append(read);
    while (m_error.isEmpty() && m_xml.readNextStartElement()) {
        const QStringView name = m_xml.name();
        if (name == QLatin1String("task")) {
            m_tasks[index].task.summary = true;
            readTask(m_tasks.at(index).task.key);
        } else if (name == QLatin1String("depend")) {
            const QXmlStreamAttributes link = m_xml.attributes();
            GanLink depend;
            depend.successor = link.value(QLatin1String("id")).toString().trimmed();
            depend.type = link.hasAttribute(QLatin1String("type")) ? link.value(QLatin1String("type")).toInt() : 2;
            depend.line = m_xml.lineNumber();
            depend.rubber = link.value(QLatin1String("hardness")) == QLatin1String("Rubber");
            const double difference = link.value(QLatin1String("difference")).toDouble();
            if (!std::isfinite(difference) || std::abs(difference) > 100000)
                return fail(QStringLiteral("a link of task %1 has a lag out of range").arg(m_tasks.at(index).task.key));
            depend.difference = static_cast<int>(std::lround(difference));
            m_tasks[index].links.append(depend);
            m_xml.skipCurrentElement();
        } else if (name == QLatin1String("notes")) {
            m_tasks[index].task.notes = noteText(m_xml.readElementText());
        } else
            m_xml.skipCurrentElement();
    }
    return m_error.isEmpty();
}

void GanReader::readResources() {
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("resource")) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            const QString name = attributes.value(QLatin1String("name")).toString().trimmed();
            m_resourceNames.insert(attributes.value(QLatin1String("id")).toString(), name);
            if (!name.isEmpty() && !m_plan.resources.contains(name))
                m_plan.resources.append(name);
            while (m_xml.readNextStartElement()) {
                if (m_xml.name() == QLatin1String("rate") &&
                    m_xml.attributes().value(QLatin1String("value")).toDouble() != 0)
                    ++m_costs;
                m_xml.skipCurrentElement();
            }
        } else
            m_xml.skipCurrentElement();
    }
}

void GanReader::readAllocations() {
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("allocation")) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            const QString resource = attributes.value(QLatin1String("resource-id")).toString();
            double load = attributes.value(QLatin1String("load")).toDouble();
            if (!std::isfinite(load))
                load = 0;
            // An allocation of a resource the file does not hold names nobody: left out.
            if (m_resourceNames.contains(resource))
                m_allocations[attributes.value(QLatin1String("task-id")).toString()].append(
                    {m_resourceNames.value(resource), load,
                     attributes.value(QLatin1String("responsible")) == QLatin1String("true")});
        }
        m_xml.skipCurrentElement();
    }
}

void GanReader::countVacations() {
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("vacation"))
            ++m_vacations;
        m_xml.skipCurrentElement();
    }
}

void GanReader::countBaselines() {
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("previous-tasks"))
            ++m_baselines;
        m_xml.skipCurrentElement();
    }
}

bool GanReader::finish() {
    // Holidays: one-off ones as they are; those that recur every year for each year the plan
    // reaches, and one either side.
    int firstYear = 0;
    int lastYear = 0;
    for (const GanTask& task : std::as_const(m_tasks)) {
        const int year = task.start.year();
        // A length in working days reaches at most about twice as far in calendar days.
        const int reach = task.start.addDays(qint64(task.duration) * 2 + 14).year();
        firstYear = firstYear == 0 ? year : std::min(firstYear, year);
        lastYear = std::max(lastYear, reach);
    }
    int recurring = 0;
    // Gathered first and added in date order, which the calendar takes at no cost.
    std::vector<QDate> days;
    QSet<int> everyYear; // month * 100 + day
    for (const GanHoliday& holiday : std::as_const(m_holidays)) {
        if (holiday.year == 0) {
            ++recurring;
            everyYear.insert(holiday.month * 100 + holiday.day);
            continue;
        }
        const QDate day(holiday.year, holiday.month, holiday.day);
        if (!Text::inRange(day)) {
            m_error = atLine(holiday.line, QStringLiteral("a holiday on a date out of range"));
            return false;
        }
        days.push_back(day);
    }
    for (int year = std::max(firstYear - 1, 1900); firstYear && year <= std::min(lastYear + 1, 2999); ++year)
        for (const int monthDay : std::as_const(everyYear)) {
            const QDate day(year, monthDay / 100, monthDay % 100);
            if (day.isValid())
                days.push_back(day);
        }
    std::sort(days.begin(), days.end());
    for (const QDate day : days)
        m_plan.calendar.addHoliday(day);
    const WorkCalendar& calendar = m_plan.calendar;

    // A summary is never a milestone, even one the file gives no length: it spans the tasks under
    // it (last ones first, so that a summary's own summary sees its span).
    QHash<QString, QPair<QDate, QDate>> spans;
    for (qsizetype i = m_tasks.size() - 1; i >= 0; --i) {
        GanTask& read = m_tasks[i];
        FileTask& task = read.task;
        if (task.summary && spans.contains(task.key)) {
            if (task.milestone || read.duration == 0) {
                task.milestone = false;
                const auto [first, last] = spans.value(task.key);
                read.start = first;
                read.duration = std::max(1, calendar.workingDaysBetween(calendar.addWorkingDays(first, 0), last));
            }
        }
        if (task.parentKey.isEmpty())
            continue;
        const QDate first = calendar.addWorkingDays(read.start, 0);
        const QDate last = task.milestone ? first : calendar.addWorkingDays(read.start, std::max(read.duration, 1) - 1);
        auto it = spans.find(task.parentKey);
        if (it == spans.end())
            spans.insert(task.parentKey, {first, last});
        else
            *it = {std::min(it->first, first), std::max(it->second, last)};
    }
    m_plan.tasks.reserve(m_tasks.size());
    for (GanTask& read : m_tasks) {
        FileTask& task = read.task;
        if (task.milestone) {
            // At the start of its day (of the next working day, on a day off), where links put it
            // too, as GanttProject shows it.
            task.atDayStart = true;
            task.start = task.finish = calendar.addWorkingDays(read.start, 0);
            task.lengthDays = 0;
            if (task.startNoEarlierThan.isValid())
                task.startNoEarlierThan = calendar.addWorkingDays(task.startNoEarlierThan, 0);
        } else {
            // A start on a day off is the next working day's, as GanttProject shows it.
            task.start = calendar.addWorkingDays(read.start, 0);
            task.finish = calendar.addWorkingDays(read.start, read.duration - 1);
            task.lengthDays = read.duration;
            if (task.startNoEarlierThan.isValid())
                task.startNoEarlierThan = calendar.addWorkingDays(task.startNoEarlierThan, 0);
        }
        if (!Text::inRange(task.start) || !Text::inRange(task.finish)) {
            m_error = atLine(read.line, QStringLiteral("task %1 ends on a date out of range").arg(task.key));
            return false;
        }
        const QList<Allocation> allocations = m_allocations.value(task.key);
        // The resource in charge of the task is its assignee, else the one with the most load.
        int most = -1;
        for (int i = 0; i < allocations.size(); ++i)
            if (most < 0 || allocations.at(i).responsible > allocations.at(most).responsible ||
                (allocations.at(i).responsible == allocations.at(most).responsible &&
                 allocations.at(i).load > allocations.at(most).load))
                most = i;
        for (int i = 0; i < allocations.size(); ++i) {
            if (i == most)
                task.assignee = allocations.at(i).resource;
            else if (!allocations.at(i).resource.isEmpty())
                task.otherAssignees.append(allocations.at(i).resource);
        }
        if (!m_plan.start.isValid() || task.start < m_plan.start)
            m_plan.start = task.start;
        if (!m_plan.finish.isValid() || task.finish > m_plan.finish)
            m_plan.finish = task.finish;
        m_plan.tasks.append(task);
    }
    // GanttProject moves a task only by its links: one that no link reaches stays on its start,
    // and so may one reached by a "rubber" link (which lets it start later than the link asks).
    // Their start holds them as "start no earlier than" does, unless the file gives an earliest
    // start of its own.
    QSet<QString> heldByLinks;
    QSet<QString> rubber;
    for (const GanTask& read : std::as_const(m_tasks))
        for (const GanLink& depend : read.links)
            (depend.rubber ? rubber : heldByLinks).insert(depend.successor);
    for (FileTask& task : m_plan.tasks)
        if (!task.summary && !task.startNoEarlierThan.isValid() &&
            (!heldByLinks.contains(task.key) || rubber.contains(task.key)))
            task.startNoEarlierThan = task.start;
    for (const GanTask& read : std::as_const(m_tasks)) {
        for (const GanLink& depend : read.links) {
            if (!m_byKey.contains(depend.successor)) {
                m_error =
                    atLine(depend.line, QStringLiteral("a link from task %1 to task %2, which the file does not hold")
                                            .arg(read.task.key, depend.successor));
                return false;
            }
            FileLink link;
            link.predecessorKey = read.task.key;
            link.successorKey = depend.successor;
            link.kind = kindOf(depend.type);
            link.lagDays = depend.difference;
            m_plan.links.append(link);
        }
    }

    QStringList unknownTypes;
    int unknownLinks = 0;
    for (const GanTask& read : std::as_const(m_tasks))
        for (const GanLink& depend : read.links)
            if (depend.type < 1 || depend.type > 4) {
                ++unknownLinks;
                if (!unknownTypes.contains(QString::number(depend.type)))
                    unknownTypes << QString::number(depend.type);
            }
    int shared = 0;
    for (const FileTask& task : std::as_const(m_plan.tasks))
        shared += task.otherAssignees.isEmpty() ? 0 : 1;
    QStringList& notKept = m_plan.notKept;
    if (unknownLinks)
        notKept << Text::counted(unknownLinks, "link", "links") +
                       QStringLiteral(" of a type GanttProject does not have (%1): read as finish-to-start")
                           .arg(unknownTypes.join(QStringLiteral(", ")));
    if (shared)
        notKept << Text::counted(shared, "task", "tasks") +
                       QStringLiteral(" with more than one resource: each keeps the one with the most load as its "
                                      "assignee");
    if (m_costs)
        notKept << Text::counted(m_costs, "cost or rate", "costs and rates") +
                       QStringLiteral(": the planner keeps no costs");
    if (m_baselines)
        notKept << Text::counted(m_baselines, "baseline", "baselines") + QStringLiteral(": the planner keeps none");
    if (m_vacations)
        notKept << Text::counted(m_vacations, "vacation", "vacations") +
                       QStringLiteral(" of resources: the planner keeps no resource calendars");
    if (m_customFields)
        notKept << Text::counted(m_customFields, "custom task field", "custom task fields") +
                       QStringLiteral(": the planner has none");
    if (m_extraWorkingDays)
        notKept << Text::counted(m_extraWorkingDays, "extra working day", "extra working days") +
                       QStringLiteral(": the calendar keeps only days off");
    if (recurring && firstYear)
        notKept << Text::counted(recurring, "holiday that recurs", "holidays that recur") +
                       QStringLiteral(" every year: kept for the years %1 to %2")
                           .arg(std::max(firstYear - 1, 1900))
                           .arg(std::min(lastYear + 1, 2999));
    if (!m_baseCalendar.isEmpty())
        notKept << QStringLiteral("the holidays of GanttProject's calendar \"%1\": they are not in the file")
                       .arg(m_baseCalendar);
    if (m_roundedLengths)
        notKept << Text::counted(m_roundedLengths, "length", "lengths") +
                       QStringLiteral(" of part of a day: rounded to whole working days");
    return true;
}

} // namespace

bool readGanttProject(QIODevice& in, PlanFile& plan, QString* error) {
    plan = PlanFile();
    plan.format = QStringLiteral("GanttProject");
    GanReader reader(in, plan);
    if (!reader.read(error)) {
        plan = PlanFile();
        plan.format = QStringLiteral("GanttProject");
        return false;
    }
    return true;
}

} // namespace PlanFiles
