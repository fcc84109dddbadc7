// The checks the fuzz targets of the plan files share. A plan a reader accepts must be sound
// (dates in range and in order, milestones of no length, links and parents that name tasks of
// the plan, parents before the tasks under them); written as MS Project XML and as GanttProject
// and read back it must be the same plan; a refused input must name its line and leave no plan.
#pragma once

#include "plan_files/PlanFile.h"

#include <QBuffer>
#include <QHash>
#include <QSet>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace PlanFuzz {

using Reader = std::function<bool(QIODevice&, PlanFiles::PlanFile&, QString*)>;

inline bool abortOnFault = true;
inline long faults = 0;

inline void fault(const char* rule, const QByteArray& input, const QString& detail) {
    ++faults;
    std::fprintf(stderr, "FAULT: %s\n  input: \"%s\"\n  %s\n", rule,
                 QString::fromLatin1(input.left(300).toPercentEncoding(" <>=\"/")).toUtf8().constData(),
                 detail.left(2000).toUtf8().constData());
    if (abortOnFault)
        std::abort();
}

inline bool read(const Reader& reader, const QByteArray& bytes, PlanFiles::PlanFile& plan, QString& error) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return reader(buffer, plan, &error);
}

inline QString soundness(const PlanFiles::PlanFile& plan, bool strict = true) {
    const QDate first(1900, 1, 1);
    const QDate last(2999, 12, 31);
    QSet<QString> keys;
    for (const PlanFiles::FileTask& task : plan.tasks) {
        if (keys.contains(task.key))
            return "two tasks with the key " + task.key;
        if (!task.parentKey.isEmpty() && !keys.contains(task.parentKey))
            return "task " + task.key + " comes before its parent or has none in the plan";
        keys.insert(task.key);
        if (!task.start.isValid() || !task.finish.isValid() || task.start < first || task.finish > last)
            return "task " + task.key + " has dates out of range";
        if (task.finish < task.start)
            return "task " + task.key + " finishes before it starts";
        if (task.milestone && (task.lengthDays != 0 || task.start != task.finish))
            return "milestone " + task.key + " has a length";
        if (!task.milestone && task.lengthDays < 1)
            return "task " + task.key + " has no length";
        if (task.percentComplete < 0 || task.percentComplete > 100)
            return "task " + task.key + " is more than done";
    }
    for (const PlanFiles::FileLink& link : plan.links)
        if (!keys.contains(link.predecessorKey) || !keys.contains(link.successorKey))
            return "a link names a task the plan does not hold";
    QSet<QString> parents;
    for (const PlanFiles::FileTask& task : plan.tasks)
        parents.insert(task.parentKey);
    for (const PlanFiles::FileTask& task : plan.tasks)
        if (strict && task.summary != parents.contains(task.key))
            return "task " + task.key + (task.summary ? " is a summary of nothing" : " is a parent but no summary");
    return QString();
}

// The plan by positions (writers may number tasks anew), with the finish that follows from a
// task's start and length where the format keeps no finish, and a summary's length its span.
inline QStringList shape(const PlanFiles::PlanFile& plan, bool finishFromLength) {
    QHash<QString, int> position;
    QSet<QString> parents;
    for (int i = 0; i < plan.tasks.size(); ++i) {
        position.insert(plan.tasks.at(i).key, i);
        parents.insert(plan.tasks.at(i).parentKey);
    }
    QStringList result;
    for (const PlanFiles::FileTask& task : plan.tasks) {
        // A summary is a task with tasks under it (the writers write no other).
        const bool summary = parents.contains(task.key);
        QDate finish = task.finish;
        int length = task.lengthDays;
        if (summary)
            length = plan.calendar.workingDaysBetween(task.start, task.finish);
        else if (finishFromLength && !task.milestone)
            finish = plan.calendar.addWorkingDays(task.start, task.lengthDays - 1);
        // Names are left out: XML folds their line ends, and leaves out what it cannot hold.
        result << QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8")
                      .arg(position.value(task.parentKey, -1))
                      .arg(task.start.toString(Qt::ISODate), finish.toString(Qt::ISODate))
                      .arg(length)
                      .arg(task.milestone)
                      .arg(summary)
                      .arg(task.percentComplete)
                      .arg(task.startNoEarlierThan.toString(Qt::ISODate));
    }
    QStringList links;
    for (const PlanFiles::FileLink& link : plan.links)
        links << QStringLiteral("%1>%2 %3 %4")
                     .arg(position.value(link.predecessorKey))
                     .arg(position.value(link.successorKey))
                     .arg(int(link.kind))
                     .arg(link.lagDays);
    links.sort();
    return result + links;
}

// Linked milestones at the start of their day dated as the same moment at the end of the working
// day before: a format that has only one of the two (GanttProject the start) keeps the moment of
// those, and the day of a milestone without links.
inline void atEndsOfDays(PlanFiles::PlanFile& plan) {
    const WorkCalendar& calendar = plan.calendar;
    QSet<QString> linked;
    for (const PlanFiles::FileLink& link : plan.links)
        linked << link.predecessorKey << link.successorKey;
    for (PlanFiles::FileTask& task : plan.tasks) {
        if (!task.milestone || !task.atDayStart || !linked.contains(task.key))
            continue;
        task.atDayStart = false;
        task.start = task.finish = calendar.dateOf(calendar.ordinalOf(task.start) - 1);
        if (task.startNoEarlierThan.isValid())
            task.startNoEarlierThan = calendar.dateOf(calendar.ordinalOf(task.startNoEarlierThan) - 1);
    }
}

// The plan's tasks in the order the writers give them: each followed by the tasks under it.
inline PlanFiles::PlanFile depthFirst(const PlanFiles::PlanFile& plan) {
    QHash<QString, QList<int>> children;
    QList<int> top;
    QSet<QString> keys;
    for (const PlanFiles::FileTask& task : plan.tasks)
        keys.insert(task.key);
    for (int i = 0; i < plan.tasks.size(); ++i) {
        const QString& parent = plan.tasks.at(i).parentKey;
        (parent.isEmpty() || !keys.contains(parent) ? top : children[parent]).append(i);
    }
    PlanFiles::PlanFile result = plan;
    result.tasks.clear();
    std::function<void(const QList<int>&)> visit = [&](const QList<int>& list) {
        for (const int i : list) {
            result.tasks.append(plan.tasks.at(i));
            visit(children.value(plan.tasks.at(i).key));
        }
    };
    visit(top);
    return result;
}

// Written in both formats and read back: the same plan.
inline void checkRoundTrips(const PlanFiles::PlanFile& plan, const QByteArray& input) {
    for (const bool gan : {false, true}) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        if (!(gan ? PlanFiles::writeGanttProject(out, plan) : PlanFiles::writeMsProject(out, plan))) {
            fault("a plan could not be written", input, gan ? "GanttProject" : "MS Project XML");
            continue;
        }
        PlanFiles::PlanFile back;
        QString error;
        const Reader reader = gan ? Reader(PlanFiles::readGanttProject) : Reader(PlanFiles::readMsProject);
        if (!read(reader, out.data(), back, error)) {
            fault("a written plan is refused by its reader", input, error + "\n" + QString::fromUtf8(out.data()));
            continue;
        }
        PlanFiles::PlanFile expected = depthFirst(plan);
        atEndsOfDays(expected);
        atEndsOfDays(back);
        // The MS Project reader holds a task it cannot schedule here (one with progress, say) to
        // its start instead of its own earliest start, and a milestone to the project's start;
        // GanttProject, which has no "as soon as possible", holds an unlinked task to its start.
        for (qsizetype i = 0; i < back.tasks.size() && i < expected.tasks.size(); ++i) {
            const QDate earliest = back.tasks.at(i).startNoEarlierThan;
            if (earliest == back.tasks.at(i).start ||
                (!expected.tasks.at(i).startNoEarlierThan.isValid() && earliest <= back.tasks.at(i).start))
                back.tasks[i].startNoEarlierThan = expected.tasks.at(i).startNoEarlierThan;
        }
        const QStringList want = shape(expected, gan);
        const QStringList got = shape(back, false);
        const bool same = want == got;
        if (!same) {
            QStringList differing;
            for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i)
                if (want.value(i) != got.value(i))
                    differing << want.value(i) + " -> " + got.value(i);
            fault(gan ? "a plan written as GanttProject reads back as another"
                      : "a plan written as MS Project XML reads back as another",
                  input, differing.join(QLatin1Char('\n')));
        }
    }
}

// One input to a reader: refused with a line named, or a sound plan that survives both writers.
// Strict: a refusal leaves no plan, and a task is a summary exactly when tasks are under it.
inline void checkReader(const Reader& reader, const QByteArray& bytes, bool strict = true) {
    PlanFiles::PlanFile plan;
    QString error;
    if (!read(reader, bytes, plan, error)) {
        if (!error.startsWith(QLatin1String("Line ")) && !error.startsWith(QLatin1String("Task ")))
            fault("a refusal names no line", bytes, error);
        if (strict && (!plan.tasks.isEmpty() || !plan.links.isEmpty()))
            fault("a refused file leaves a plan", bytes, error);
        return;
    }
    const QString unsound = soundness(plan, strict);
    if (!unsound.isEmpty()) {
        fault("a plan read is not sound", bytes, unsound);
        return;
    }
    checkRoundTrips(plan, bytes);
}

} // namespace PlanFuzz
