// Reading MS Project's XML files and making a plan of them.
#include "MsProjectXml.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

namespace MsProjectXml {

namespace {

const QString projectNamespace = QStringLiteral("http://schemas.microsoft.com/project");

QDateTime dateTime(const QString& text) {
    return QDateTime::fromString(text, Qt::ISODate);
}

// PT8H0M0S and the like: whole minutes (seconds dropped).
qint64 durationMinutes(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^-?PT(\\d+)H(\\d+)M(\\d+)S$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return 0;
    const qint64 minutes = match.captured(1).toLongLong() * 60 + match.captured(2).toLongLong();
    return text.startsWith(QLatin1Char('-')) ? -minutes : minutes;
}

bool flag(const QString& text) {
    return text == QLatin1String("1") || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void readLink(QXmlStreamReader& xml, Link& link) {
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == QLatin1String("PredecessorUID"))
            link.predecessorUid = xml.readElementText().toLongLong();
        else if (name == QLatin1String("Type"))
            link.type = xml.readElementText().toInt();
        else if (name == QLatin1String("LinkLag"))
            link.lag = xml.readElementText().toLongLong();
        else if (name == QLatin1String("LagFormat"))
            link.lagFormat = xml.readElementText().toInt();
        else
            xml.skipCurrentElement();
    }
}

void readTask(QXmlStreamReader& xml, Task& task) {
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == QLatin1String("UID"))
            task.uid = xml.readElementText().toLongLong();
        else if (name == QLatin1String("Name"))
            task.name = xml.readElementText();
        else if (name == QLatin1String("OutlineLevel"))
            task.outlineLevel = xml.readElementText().toInt();
        else if (name == QLatin1String("OutlineNumber"))
            task.outlineNumber = xml.readElementText();
        else if (name == QLatin1String("Start"))
            task.start = dateTime(xml.readElementText());
        else if (name == QLatin1String("Finish"))
            task.finish = dateTime(xml.readElementText());
        else if (name == QLatin1String("Duration")) {
            task.durationMinutes = durationMinutes(xml.readElementText());
            task.hasDuration = true;
        } else if (name == QLatin1String("Milestone"))
            task.milestone = flag(xml.readElementText());
        else if (name == QLatin1String("Summary"))
            task.summary = flag(xml.readElementText());
        else if (name == QLatin1String("Manual"))
            task.manual = flag(xml.readElementText());
        else if (name == QLatin1String("IsNull"))
            task.isNull = flag(xml.readElementText());
        else if (name == QLatin1String("ConstraintType"))
            task.constraintType = xml.readElementText().toInt();
        else if (name == QLatin1String("ConstraintDate"))
            task.constraintDate = dateTime(xml.readElementText());
        else if (name == QLatin1String("CalendarUID"))
            task.calendarUid = xml.readElementText().toLongLong();
        else if (name == QLatin1String("PercentComplete"))
            task.percentComplete = xml.readElementText().toInt();
        else if (name == QLatin1String("Notes"))
            task.notes = xml.readElementText();
        else if (name == QLatin1String("Priority"))
            task.priority = xml.readElementText().toInt();
        else if (name == QLatin1String("Baseline")) {
            ++task.baselines;
            xml.skipCurrentElement();
        } else if (name == QLatin1String("Cost") || name == QLatin1String("FixedCost"))
            task.hasCost = task.hasCost || xml.readElementText().toDouble() != 0;
        else if (name == QLatin1String("TotalSlack")) {
            task.totalSlack = xml.readElementText().toLongLong();
            task.hasTotalSlack = true;
        } else if (name == QLatin1String("PredecessorLink")) {
            Link link;
            readLink(xml, link);
            task.predecessors.append(link);
        } else
            xml.skipCurrentElement();
    }
}

void readWeekDay(QXmlStreamReader& xml, Calendar& calendar) {
    int dayType = -1;
    bool working = false;
    QDate from;
    QDate to;
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == QLatin1String("DayType"))
            dayType = xml.readElementText().toInt();
        else if (name == QLatin1String("DayWorking"))
            working = flag(xml.readElementText());
        else if (name == QLatin1String("TimePeriod")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("FromDate"))
                    from = dateTime(xml.readElementText()).date();
                else if (xml.name() == QLatin1String("ToDate"))
                    to = dateTime(xml.readElementText()).date();
                else
                    xml.skipCurrentElement();
            }
        } else
            xml.skipCurrentElement();
    }
    if (dayType >= 1 && dayType <= 7) {
        // 1 = Sunday in the file.
        const int dayOfWeek = dayType == 1 ? 7 : dayType - 1;
        calendar.weekdayStated[dayOfWeek] = true;
        calendar.weekdayWorking[dayOfWeek] = working;
    } else if (dayType == 0 && !working && from.isValid() && to.isValid()) {
        calendar.daysOff.append({from, to}); // an exception in the older form
    }
}

// A plain range of days (no recurrence, or one every day) is read; a recurring exception (every
// year, month or week) is counted as not read.
void readException(QXmlStreamReader& xml, Calendar& calendar) {
    bool working = false;
    int type = 1;
    int period = 1;
    QDate from;
    QDate to;
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == QLatin1String("DayWorking"))
            working = flag(xml.readElementText());
        else if (name == QLatin1String("Type"))
            type = xml.readElementText().toInt();
        else if (name == QLatin1String("Period"))
            period = xml.readElementText().toInt();
        else if (name == QLatin1String("TimePeriod")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("FromDate"))
                    from = dateTime(xml.readElementText()).date();
                else if (xml.name() == QLatin1String("ToDate"))
                    to = dateTime(xml.readElementText()).date();
                else
                    xml.skipCurrentElement();
            }
        } else
            xml.skipCurrentElement();
    }
    if (type > 1 || period > 1 || working)
        ++calendar.exceptionsNotRead; // extra working days are not held either
    else if (!working && from.isValid() && to.isValid())
        calendar.daysOff.append({from, to});
}

void readCalendar(QXmlStreamReader& xml, Calendar& calendar) {
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == QLatin1String("UID"))
            calendar.uid = xml.readElementText().toLongLong();
        else if (name == QLatin1String("Name"))
            calendar.name = xml.readElementText();
        else if (name == QLatin1String("BaseCalendarUID"))
            calendar.baseUid = xml.readElementText().toLongLong();
        else if (name == QLatin1String("WeekDays")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("WeekDay"))
                    readWeekDay(xml, calendar);
                else
                    xml.skipCurrentElement();
            }
        } else if (name == QLatin1String("Exceptions")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("Exception"))
                    readException(xml, calendar);
                else
                    xml.skipCurrentElement();
            }
        } else
            xml.skipCurrentElement();
    }
}

} // namespace

bool read(QIODevice& device, Project& project, QString* error) {
    project = Project();
    QXmlStreamReader xml(&device);
    // No entity is ever expanded beyond the five predefined ones: an undeclared reference is an
    // error, and a document type declaration is refused outright.
    xml.setNamespaceProcessing(true);
    auto fail = [&](const QString& message) {
        if (error)
            *error = QStringLiteral("Line %1: %2").arg(xml.lineNumber()).arg(message);
        return false;
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isDTD())
            return fail(QStringLiteral("a document type declaration is not read"));
        if (xml.isStartElement())
            break;
    }
    if (xml.hasError())
        return fail(xml.errorString());
    if (xml.name() != QLatin1String("Project") || xml.namespaceUri() != projectNamespace)
        return fail(QStringLiteral("not an MS Project XML file"));
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == QLatin1String("StartDate"))
            project.start = dateTime(xml.readElementText());
        else if (name == QLatin1String("FinishDate"))
            project.finish = dateTime(xml.readElementText());
        else if (name == QLatin1String("Title")) {
            const QString title = xml.readElementText().trimmed();
            if (!title.isEmpty())
                project.name = title;
        } else if (name == QLatin1String("Name")) {
            const QString fileName = xml.readElementText().trimmed();
            if (project.name.isEmpty())
                project.name = fileName.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive) ||
                                       fileName.endsWith(QLatin1String(".mpp"), Qt::CaseInsensitive)
                                   ? fileName.left(fileName.size() - 4)
                                   : fileName;
        } else if (name == QLatin1String("Manager"))
            project.manager = xml.readElementText().trimmed();
        else if (name == QLatin1String("ScheduleFromStart"))
            project.scheduleFromStart = flag(xml.readElementText());
        else if (name == QLatin1String("CalendarUID"))
            project.calendarUid = xml.readElementText().toLongLong();
        else if (name == QLatin1String("MinutesPerDay"))
            project.minutesPerDay = xml.readElementText().toInt();
        else if (name == QLatin1String("DefaultStartTime"))
            project.defaultStart = QTime::fromString(xml.readElementText(), Qt::ISODate);
        else if (name == QLatin1String("DefaultFinishTime"))
            project.defaultFinish = QTime::fromString(xml.readElementText(), Qt::ISODate);
        else if (name == QLatin1String("Calendars")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("Calendar")) {
                    Calendar calendar;
                    readCalendar(xml, calendar);
                    project.calendars.append(calendar);
                } else
                    xml.skipCurrentElement();
            }
        } else if (name == QLatin1String("Tasks")) {
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("Task")) {
                    Task task;
                    readTask(xml, task);
                    project.tasks.append(task);
                } else
                    xml.skipCurrentElement();
            }
        } else if (name == QLatin1String("Resources")) {
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("Resource")) {
                    xml.skipCurrentElement();
                    continue;
                }
                Resource resource;
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("UID"))
                        resource.uid = xml.readElementText().toLongLong();
                    else if (xml.name() == QLatin1String("Name"))
                        resource.name = xml.readElementText().trimmed();
                    else
                        xml.skipCurrentElement();
                }
                project.resources.append(resource);
            }
        } else if (name == QLatin1String("Assignments")) {
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("Assignment")) {
                    xml.skipCurrentElement();
                    continue;
                }
                Assignment assignment;
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("TaskUID"))
                        assignment.taskUid = xml.readElementText().toLongLong();
                    else if (xml.name() == QLatin1String("ResourceUID"))
                        assignment.resourceUid = xml.readElementText().toLongLong();
                    else if (xml.name() == QLatin1String("Units"))
                        assignment.units = xml.readElementText().toDouble();
                    else
                        xml.skipCurrentElement();
                }
                project.assignments.append(assignment);
            }
        } else
            xml.skipCurrentElement();
    }
    if (xml.hasError())
        return fail(xml.errorString());
    if (project.minutesPerDay <= 0)
        project.minutesPerDay = 480;
    // A task's place in the outline and its length decide what it is, not the flags: ProjectLibre
    // flags neither its summaries nor its milestones (which it writes as 0 hours).
    QSet<QString> parents;
    for (const Task& task : std::as_const(project.tasks))
        if (task.outlineLevel > 0 && !task.isNull) {
            const qsizetype dot = task.outlineNumber.lastIndexOf(QLatin1Char('.'));
            if (dot > 0)
                parents.insert(task.outlineNumber.left(dot));
        }
    for (Task& task : project.tasks) {
        if (task.outlineLevel == 0 || task.isNull)
            continue;
        if (parents.contains(task.outlineNumber)) {
            task.summary = true;
            task.milestone = false;
        } else if (task.hasDuration && task.durationMinutes == 0) {
            task.milestone = true;
        }
    }
    if (!project.defaultStart.isValid())
        project.defaultStart = QTime(8, 0);
    if (!project.defaultFinish.isValid())
        project.defaultFinish = QTime(17, 0);
    return true;
}

WorkCalendar workCalendar(const Project& project) {
    QHash<qint64, const Calendar*> byUid;
    for (const Calendar& calendar : project.calendars)
        byUid.insert(calendar.uid, &calendar);
    WorkCalendar result;
    const Calendar* own = byUid.value(project.calendarUid);
    if (!own)
        return result;
    // Weekdays the calendar leaves unstated come from its base, if it has one.
    const Calendar* base = byUid.value(own->baseUid);
    bool working[8] = {false, true, true, true, true, true, false, false};
    for (int day = 1; day <= 7; ++day) {
        if (own->weekdayStated[day])
            working[day] = own->weekdayWorking[day];
        else if (base && base->weekdayStated[day])
            working[day] = base->weekdayWorking[day];
    }
    for (int day = 1; day <= 7; ++day)
        if (working[day])
            result.setWorkingWeekday(day, true);
    for (int day = 1; day <= 7; ++day)
        if (!working[day])
            result.setWorkingWeekday(day, false);
    for (const Calendar* calendar : {base, own}) {
        if (!calendar)
            continue;
        for (const auto& [from, to] : calendar->daysOff)
            for (QDate day = from; day <= to && from.daysTo(day) < 3660; day = day.addDays(1))
                result.addHoliday(day);
    }
    return result;
}

bool lagIsElapsed(int lagFormat) {
    // 3 m, 5 h, 7 d, 9 w, 11 mo are working time (and 35 more for the estimated forms);
    // the even ones are elapsed; 19 and 20 are percentages.
    const int format = lagFormat > 35 ? lagFormat - 32 : lagFormat;
    return format == 4 || format == 6 || format == 8 || format == 10 || format == 12 || format == 19 || format == 20;
}

QDate startDay(const Project& project, const WorkCalendar& calendar, const QDateTime& start) {
    const QDate day = start.date();
    if (start.time() >= project.defaultFinish)
        return calendar.addWorkingDays(day.addDays(1), 0);
    return calendar.addWorkingDays(day, 0);
}

QDate finishDay(const Project& project, const WorkCalendar& calendar, const QDateTime& finish) {
    const QDate day = finish.date();
    if (finish.time() <= project.defaultStart || !calendar.isWorkingDay(day))
        return calendar.dateOf(calendar.ordinalOf(day) - 1);
    return day;
}

Import toPlan(const Project& project, const WorkCalendar& calendar) {
    Import result;
    QHash<QString, qint64> byOutline;
    QHash<qint64, const Task*> byUid;
    for (const Task& task : project.tasks) {
        byOutline.insert(task.outlineNumber, task.uid);
        byUid.insert(task.uid, &task);
    }
    const QDate projectStart = startDay(project, calendar, project.start);
    const qint64 minutesPerDay = project.minutesPerDay;
    for (const Task& task : project.tasks) {
        if (task.outlineLevel == 0 || task.isNull)
            continue;
        PlanTask planned;
        planned.id = task.uid;
        const int dot = task.outlineNumber.lastIndexOf(QLatin1Char('.'));
        if (dot > 0)
            planned.parentId = byOutline.value(task.outlineNumber.left(dot), 0);
        planned.milestone = task.milestone;
        planned.start =
            task.milestone ? finishDay(project, calendar, task.start) : startDay(project, calendar, task.start);
        planned.finish = finishDay(project, calendar, task.finish);
        if (task.milestone || planned.finish < planned.start)
            planned.finish = planned.start;

        QString reason;
        if (task.manual)
            reason = QStringLiteral("scheduled manually");
        else if (task.calendarUid != -1)
            reason = QStringLiteral("has a calendar of its own");
        else if (task.percentComplete > 0)
            reason = QStringLiteral("has progress");
        else if (task.constraintType != 0 && task.constraintType != 4)
            reason = QStringLiteral("constraint type %1").arg(task.constraintType);
        else if (!task.summary && task.durationMinutes % minutesPerDay != 0)
            reason = QStringLiteral("length is not whole days");
        else if (!task.summary && !task.milestone &&
                 calendar.workingDaysBetween(planned.start, planned.finish) != task.durationMinutes / minutesPerDay)
            reason = QStringLiteral("its work follows another calendar (a resource's)");
        for (const Link& link : task.predecessors) {
            if (!reason.isEmpty())
                break;
            if (lagIsElapsed(link.lagFormat))
                reason = QStringLiteral("elapsed or percentage lag");
            else if (link.lag % (minutesPerDay * 10) != 0)
                reason = QStringLiteral("lag is not whole days");
            else if (!byUid.contains(link.predecessorUid))
                reason = QStringLiteral("link to another project");
        }
        if (!reason.isEmpty()) {
            result.unscheduled.append({task.uid, reason});
            result.plan.addTask(planned);
            continue;
        }
        if (task.constraintType == 4 && task.constraintDate.isValid())
            planned.startNoEarlierThan = task.milestone ? finishDay(project, calendar, task.constraintDate)
                                                        : startDay(project, calendar, task.constraintDate);
        else
            planned.startNoEarlierThan =
                task.milestone ? calendar.dateOf(calendar.ordinalOf(projectStart) - 1) : projectStart;
        result.plan.addTask(planned);
        for (const Link& link : task.predecessors) {
            PlanLink planLink;
            planLink.predecessor = link.predecessorUid;
            planLink.successor = task.uid;
            planLink.lag = static_cast<int>(link.lag / (minutesPerDay * 10));
            switch (link.type) {
            case FinishFinish:
                planLink.kind = LinkKind::FinishToFinish;
                break;
            case StartFinish:
                planLink.kind = LinkKind::StartToFinish;
                break;
            case StartStart:
                planLink.kind = LinkKind::StartToStart;
                break;
            default:
                planLink.kind = LinkKind::FinishToStart;
                break;
            }
            result.plan.addLink(planLink);
        }
    }
    return result;
}

} // namespace MsProjectXml
