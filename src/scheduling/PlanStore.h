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

// The working calendar of the database.
WorkCalendar readCalendar();

struct StoredPlan {
    qint64 projectId = 0;
    Plan plan;
    QHash<qint64, qint64> versions; // row_version of each task as read
};
// The tasks of a project with their outline, milestones and links. Throws DbError.
StoredPlan read(qint64 projectId);

struct Outcome {
    enum class Kind {
        Saved,   // the change and every task it moved were written
        Loop,    // the change would close a loop; nothing was written
        Changed, // a task was changed or deleted by someone else since it was read; nothing was written
    };
    Kind kind = Kind::Saved;
    QList<qint64> loop;  // with Loop: the task IDs of the loop, in order
    QList<qint64> moved; // with Saved: the tasks whose dates were written
    // What the user is told of a loop: the tasks by their titles, in order.
    QString loopText;
};

// Applies a change to a project's plan, schedules it, and writes every task whose dates changed
// (with the start-no-earlier-than of a moved linked task) in one transaction. Throws DbError when
// a statement fails; nothing is written then.
Outcome change(qint64 projectId, const std::function<void(Plan&)>& edit);

// A task moved or given a new length (a drag, typed dates): its successors follow.
Outcome moveTask(qint64 projectId, qint64 taskId, QDate start, QDate finish);
// A link made (refused when it would close a loop) or changed, and one removed.
Outcome link(qint64 projectId, const PlanLink& link);
Outcome unlink(qint64 projectId, qint64 predecessor, qint64 successor);

// The kinds as stored ("FS", "SS", "FF", "SF").
QString kindCode(LinkKind kind);
LinkKind kindOf(const QString& code);

} // namespace PlanStore
