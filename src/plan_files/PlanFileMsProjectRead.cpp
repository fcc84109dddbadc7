// MS Project XML read into a plan file: the reader of MsProjectXml, put in the planner's terms.
#include "MsProjectXml.h"
#include "PlanFile.h"
#include "PlanFileText.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace PlanFiles {

namespace {

Priority priorityOf(int value) {
    if (value < 200)
        return Priority::Lowest;
    if (value < 400)
        return Priority::Low;
    if (value < 600)
        return Priority::Normal;
    if (value < 800)
        return Priority::High;
    return Priority::Highest;
}

LinkKind kindOf(int type) {
    switch (type) {
    case MsProjectXml::FinishFinish:
        return LinkKind::FinishToFinish;
    case MsProjectXml::StartFinish:
        return LinkKind::StartToFinish;
    case MsProjectXml::StartStart:
        return LinkKind::StartToStart;
    default:
        return LinkKind::FinishToStart;
    }
}

bool inRange(QDate date) {
    return date.isValid() && date.year() >= 1900 && date.year() <= 2999;
}

QString counted(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

bool readMsProject(QIODevice& in, PlanFile& plan, QString* error) {
    MsProjectXml::Project project;
    if (!MsProjectXml::read(in, project, error))
        return false;
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        plan = PlanFile(); // nothing half read
        return false;
    };
    plan = PlanFile();
    plan.format = QStringLiteral("MS Project XML");
    plan.projectName = project.name;
    plan.owner = project.manager;
    plan.calendar = MsProjectXml::workCalendar(project);
    const WorkCalendar& calendar = plan.calendar;
    plan.start = MsProjectXml::startDay(project, calendar, project.start);
    if (project.finish.isValid())
        plan.finish = MsProjectXml::finishDay(project, calendar, project.finish);

    QHash<qint64, QString> resourceName;
    for (const MsProjectXml::Resource& resource : project.resources)
        if (!resource.name.isEmpty()) {
            resourceName.insert(resource.uid, resource.name);
            plan.resources << resource.name;
        }
    QHash<qint64, QList<QPair<double, QString>>> assigned;
    for (const MsProjectXml::Assignment& a : project.assignments)
        if (resourceName.contains(a.resourceUid))
            assigned[a.taskUid].append({a.units, resourceName.value(a.resourceUid)});

    // Tasks at either end of a link.
    QSet<qint64> linked;
    for (const MsProjectXml::Task& task : project.tasks)
        for (const MsProjectXml::Link& link : task.predecessors)
            linked << task.uid << link.predecessorUid;
    QHash<QString, qint64> byOutline;
    QHash<qint64, QString> names;
    for (const MsProjectXml::Task& task : project.tasks)
        if (task.outlineLevel > 0 && !task.isNull) {
            if (names.contains(task.uid))
                return fail(QStringLiteral("Task %1 appears twice in the file.").arg(task.uid));
            byOutline.insert(task.outlineNumber, task.uid);
            names.insert(task.uid, task.name);
        }
    // Tasks MS Project schedules by what a plan here does not hold (progress, a calendar of their
    // own, manual scheduling...) keep the dates the file gives them, as far as their links allow.
    QHash<qint64, QString> keepDates;
    for (const MsProjectXml::Unscheduled& u : MsProjectXml::toPlan(project, calendar).unscheduled)
        keepDates.insert(u.uid, u.reason);
    int baselines = 0, costs = 0, otherConstraints = 0, manual = 0, ownCalendar = 0, roundedLags = 0, shared = 0,
        kept = 0, negative = 0;
    QList<int> unknownTypes;
    int unknownLinks = 0;
    const qint64 minutesPerDay = project.minutesPerDay;
    for (const MsProjectXml::Task& task : project.tasks) {
        if (task.outlineLevel == 0 || task.isNull)
            continue; // the project's own summary, and blank rows
        FileTask f;
        f.key = QString::number(task.uid);
        const int dot = task.outlineNumber.lastIndexOf(QLatin1Char('.'));
        if (dot > 0 && byOutline.contains(task.outlineNumber.left(dot)))
            f.parentKey = QString::number(byOutline.value(task.outlineNumber.left(dot)));
        f.name = task.name;
        f.notes = task.notes;
        f.milestone = task.milestone;
        // At the start of a working day: the milestone stands at the start of that day, as MS
        // Project shows it; any other at the end of the day it falls on (or of the one before).
        f.atDayStart =
            task.milestone && task.start.time() <= project.defaultStart && calendar.isWorkingDay(task.start.date());
        f.summary = task.summary;
        if (!task.start.isValid() || !task.finish.isValid())
            return fail(QStringLiteral("Task %1 (\"%2\") has no start or finish.").arg(task.uid).arg(task.name));
        f.start = task.milestone ? MsProjectXml::finishDay(project, calendar, task.start)
                                 : MsProjectXml::startDay(project, calendar, task.start);
        f.finish = MsProjectXml::finishDay(project, calendar, task.finish);
        // A summary that starts at the end of a day starts with a milestone standing there, which
        // is dated on that day.
        if (task.summary && task.start.time() >= project.defaultFinish && calendar.isWorkingDay(task.start.date()))
            f.start = task.start.date();
        if (!inRange(f.start) || !inRange(f.finish))
            return fail(QStringLiteral("Task %1 (\"%2\") has a date out of range.").arg(task.uid).arg(task.name));
        if (task.milestone || f.finish < f.start)
            f.finish = f.start;
        f.lengthDays =
            task.milestone ? 0
            : task.summary
                ? calendar.workingDaysBetween(f.start, f.finish)
                : std::max<int>(1, static_cast<int>(std::lround(double(task.durationMinutes) / double(minutesPerDay))));
        if (task.durationMinutes < 0 && !task.summary)
            ++negative;
        f.percentComplete = std::clamp(task.percentComplete, 0, 100);
        f.priority = priorityOf(task.priority);
        // Must start on (2) and start no earlier than (4) both hold the task back to their date.
        if ((task.constraintType == 2 || task.constraintType == 4) && task.constraintDate.isValid())
            f.startNoEarlierThan = task.milestone ? MsProjectXml::finishDay(project, calendar, task.constraintDate)
                                                  : MsProjectXml::startDay(project, calendar, task.constraintDate);
        else if (task.constraintType != 0 && !task.summary)
            ++otherConstraints;
        if (task.milestone && task.constraintType == 0)
            // At the project's start: dated, as MS Project dates it, at the end of the day before.
            f.startNoEarlierThan = calendar.dateOf(calendar.ordinalOf(plan.start) - 1);
        if (f.atDayStart)
            Text::dateAtDayStart(calendar, f, linked.contains(task.uid));
        // A date of the file's, or the project's start that a milestone takes.
        if (f.startNoEarlierThan.isValid() && !inRange(f.startNoEarlierThan))
            return fail(QStringLiteral("Task %1 (\"%2\") has a date out of range.").arg(task.uid).arg(task.name));
        if (task.manual && !task.summary)
            ++manual;
        if (keepDates.contains(task.uid) && !task.summary) {
            f.startNoEarlierThan = f.start;
            if (!task.milestone)
                f.lengthDays = std::max(1, calendar.workingDaysBetween(f.start, f.finish));
            kept += task.manual ? 0 : 1;
        }
        if (task.calendarUid != -1)
            ++ownCalendar;
        baselines += task.baselines;
        costs += task.hasCost ? 1 : 0;
        QList<QPair<double, QString>> resources = assigned.value(task.uid);
        std::stable_sort(resources.begin(), resources.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& [units, name] : resources) {
            if (f.assignee.isEmpty())
                f.assignee = name;
            else
                f.otherAssignees << name;
        }
        shared += resources.size() > 1 ? 1 : 0;
        for (const MsProjectXml::Link& link : task.predecessors) {
            if (!names.contains(link.predecessorUid))
                return fail(QStringLiteral("Task %1 (\"%2\") is linked to task %3, which the file does not have.")
                                .arg(task.uid)
                                .arg(task.name)
                                .arg(link.predecessorUid));
            FileLink l;
            l.predecessorKey = QString::number(link.predecessorUid);
            l.successorKey = f.key;
            l.kind = kindOf(link.type);
            if (link.type < MsProjectXml::FinishFinish || link.type > MsProjectXml::StartStart) {
                ++unknownLinks;
                if (!unknownTypes.contains(link.type))
                    unknownTypes << link.type;
            }
            const double tenthsPerDay =
                MsProjectXml::lagIsElapsed(link.lagFormat) ? 24.0 * 60 * 10 : double(minutesPerDay) * 10;
            const double days = double(link.lag) / tenthsPerDay;
            l.lagDays = static_cast<int>(std::lround(days));
            if (MsProjectXml::lagIsElapsed(link.lagFormat) || std::abs(days - l.lagDays) > 1e-9)
                ++roundedLags;
            plan.links.append(l);
        }
        plan.tasks.append(f);
    }
    // A task is a summary here when tasks are under it, whatever the file's flag says: one the
    // file calls a summary with nothing under it is an ordinary task, and a parent the file does
    // not call one spans its tasks' days as any summary does.
    QSet<QString> parents;
    for (const FileTask& t : std::as_const(plan.tasks))
        parents.insert(t.parentKey);
    for (FileTask& t : plan.tasks) {
        const bool parent = parents.contains(t.key);
        if (parent && !t.summary && !t.milestone)
            t.lengthDays = std::max(1, calendar.workingDaysBetween(t.start, t.finish));
        t.summary = parent;
    }
    if (unknownLinks) {
        QStringList types;
        for (int type : std::as_const(unknownTypes))
            types << QString::number(type);
        plan.notKept << counted(unknownLinks, "link", "links") +
                            QStringLiteral(" of a type MS Project does not have (%1): read as finish-to-start")
                                .arg(types.join(QStringLiteral(", ")));
    }
    if (negative)
        plan.notKept << counted(negative, "task with a negative length", "tasks with negative lengths") +
                            QStringLiteral(": read as 1 day");
    if (baselines)
        plan.notKept << counted(baselines, "baseline", "baselines") + QStringLiteral(": the planner keeps none");
    if (costs)
        plan.notKept << counted(costs, "task with costs", "tasks with costs") +
                            QStringLiteral(": the costs are not read");
    if (otherConstraints)
        plan.notKept << counted(otherConstraints, "task with a constraint", "tasks with constraints") +
                            QStringLiteral(" other than \"start no earlier than\": scheduled as soon as possible");
    if (manual)
        plan.notKept << counted(manual, "manually scheduled task", "manually scheduled tasks") +
                            QStringLiteral(": scheduled automatically, no earlier than their dates");
    if (kept)
        plan.notKept << counted(kept, "task", "tasks") +
                            QStringLiteral(
                                " with progress, a calendar of its own or parts of days: kept on their dates");
    if (ownCalendar)
        plan.notKept << counted(ownCalendar, "task with a calendar", "tasks with calendars") +
                            QStringLiteral(" of its own: the project's calendar is used");
    if (roundedLags)
        plan.notKept << counted(roundedLags, "lag", "lags") +
                            QStringLiteral(" in elapsed time or parts of days: rounded to whole working days");
    if (shared)
        plan.notKept << counted(shared, "task with several resources", "tasks with several resources") +
                            QStringLiteral(": each keeps the one with the most units");
    return true;
}

} // namespace PlanFiles
