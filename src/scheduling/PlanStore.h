// The plan of a project as the database keeps it: read into the scheduler's terms, and the
// outcome of a change (a move, a new length, a link made or removed) written back in one
// transaction, every task it moves checked against the version that was read.
#pragma once

#include "scheduling/Plan.h"
#include "scheduling/Scheduler.h"
#include "scheduling/WorkCalendar.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

namespace PlanStore {

// Whether the database in use has the planner's tables.
bool available();
// Whether its tasks keep the plan's own order (a file of an earlier version may not).
bool keepsOrder();

// The working calendar of the database.
WorkCalendar readCalendar();

struct StoredPlan {
    qint64 projectId = 0;
    Plan plan;
    QHash<qint64, qint64> versions; // row_version of each task as read
};
// The tasks of a project with their outline, milestones and links. Throws DbError.
StoredPlan read(qint64 projectId);

// What a change writes of a task, and what an undo puts back.
struct TaskState {
    qint64 id = 0;
    qint64 parentId = 0;
    bool milestone = false;
    QDate start, finish, startNoEarlierThan;
    qint64 order = 0;        // the place among its siblings (0: none)
    bool atDayStart = false; // a milestone that stands at the start of its day
    bool operator==(const TaskState&) const = default;
};

struct Outcome {
    enum class Kind {
        Saved,   // the change and every task it moved were written
        Loop,    // the change would close a loop; nothing was written
        Changed, // a task was changed or deleted by someone else since it was read; nothing was written
    };
    Kind kind = Kind::Saved;
    QList<qint64> loop;  // with Loop: the task IDs of the loop, in order
    QList<qint64> moved; // with Saved: the tasks whose dates were written
    // With Saved: each written task as it was and as it is now, in the same order.
    QList<TaskState> before, after;
    // What the user is told of a loop: the tasks by their titles, in order.
    QString loopText;
};

// Applies a change to a project's plan, schedules it, and writes every task whose dates changed
// (with the start-no-earlier-than of a moved linked task) in one transaction. Throws DbError when
// a statement fails; nothing is written then.
Outcome change(qint64 projectId, const std::function<void(Plan&)>& edit);

// A task moved or given a new length (a drag, typed dates): its start lands on a working day
// (the next one), it keeps its length in working days (`keepLength`: a drag of the whole bar)
// or takes the working days of start..finish, and its successors follow. A summary moves by
// moving every task under it by as many working days.
Outcome moveTask(qint64 projectId, qint64 taskId, QDate start, QDate finish, bool keepLength = false);

// Dates given to tasks from outside the plan's own commands: a version restored, a step undone,
// an import, a sync. Each task is placed on working days as a move places it; with `hold`, the
// date of a task that a link reaches becomes its "start no earlier than", as a typed date does
// (otherwise the task keeps the one it has). Then the plan is scheduled, moving only what
// stands earlier than its links allow (a task later than they need stays), and every task that
// moved is written. Summaries are left to span their tasks.
struct GivenDates {
    qint64 id = 0;
    QDate start, finish;
};
Outcome placeGiven(qint64 projectId, const QList<GivenDates>& tasks, bool hold);
// The plan mended where it breaks its links (dates written by another program): the tasks that
// stand earlier than their links allow move, with what follows them; nothing else. Writes
// nothing when the plan keeps its links.
Outcome followLinks(qint64 projectId);
// The project of each task that is still there.
QHash<qint64, qint64> projectsOf(const QList<qint64>& taskIds);

// What holds a linked task later than a date: the link (from the predecessor) that gives it its
// earliest start, and that start. No link when none holds it there.
struct Hold {
    PlanLink link;
    QString predecessorTitle;
    QDate earliest; // the earliest start the task's links allow
    bool held = false;
};
Hold holdOf(qint64 projectId, qint64 taskId, QDate start, QDate finish);
// A task put under another (indent: last under it) or under none (parentId 0; outdent: right after
// `after`, its former parent, when given), refused when the parent lies under the task or the two
// are linked; its dates then span its children. Nothing is put under a milestone: the plan is
// left as it is.
Outcome setParent(qint64 projectId, qint64 taskId, qint64 parentId, qint64 after = 0);
// A task moved among the tasks under the same parent to the place `index` (0: first; past the
// end: last), the others keeping their order; every sibling is numbered anew.
Outcome placeTask(qint64 projectId, qint64 taskId, int index);
// The tasks under a parent (0: the top) in the plan's own order.
QList<qint64> siblingsInOrder(const Plan& plan, qint64 parentId);
// A task made a milestone (of no length, on its start date) or a task of one day again.
Outcome setMilestone(qint64 projectId, qint64 taskId, bool milestone);
// Puts tasks back as they were (an undo, a redo): all of them when each is still as `expected`
// says, in one transaction with `alsoWrite` (a link made or removed again); otherwise nothing
// (Changed).
Outcome restore(const QList<TaskState>& expected, const QList<TaskState>& states,
                const std::function<void()>& alsoWrite = {});
// The statements of a link made or changed, and of one removed, for use inside a transaction.
void writeLink(const PlanLink& link);
void deleteLink(qint64 predecessor, qint64 successor);

// A link made (refused when it would close a loop) or changed, and one removed.
Outcome link(qint64 projectId, const PlanLink& link);
Outcome unlink(qint64 projectId, qint64 predecessor, qint64 successor);

// The kinds as stored ("FS", "SS", "FF", "SF").
QString kindCode(LinkKind kind);
LinkKind kindOf(const QString& code);

} // namespace PlanStore
