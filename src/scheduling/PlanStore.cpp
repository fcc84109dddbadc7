#include "PlanStore.h"

#include "app/Connection.h"
#include "app/Database.h"
#include "app/DbError.h"
#include "app/SqlText.h"
#include "app/ValueText.h"

#include <QSet>
#include <QStringList>

#include <algorithm>
#include <climits>

namespace PlanStore {

namespace {

QDate dateOf(const QString& stored) {
    return QDate::fromString(stored.left(10), Qt::ISODate);
}

QString dateSql(QDate date) {
    return date.isValid() ? SqlText::quoted(SqlText::dateText(date)) : QStringLiteral("null");
}

// A task changed or deleted by someone else since the plan was read: the transaction is undone.
struct ChangedSince {};

// The order and the milestones' moments came in the same step of the schema.
QString orderColumns() {
    return keepsOrder() ? QStringLiteral(", PlanOrder, MilestoneAtStart") : QString();
}

QString loopText(const QList<qint64>& loop) {
    QStringList ids;
    for (qint64 id : loop)
        ids << QString::number(id);
    QHash<qint64, QString> titles;
    ResultSet rs = Database::shared().query(
        QStringLiteral("select ID, Title from Tasks where ID in (%1)").arg(ids.join(QLatin1Char(','))));
    while (!rs.eof()) {
        titles.insert(rs.value(0).toLongLong(), rs.rawText(1));
        rs.moveNext();
    }
    QStringList names;
    for (qint64 id : loop)
        names << QStringLiteral("\"%1\"").arg(titles.value(id, QString::number(id)));
    if (!names.isEmpty())
        names << names.first();
    return names.join(QStringLiteral(" -> "));
}

} // namespace

bool available() {
    const Connection* connection = Database::shared().connection();
    return connection && connection->hasPlanner();
}

bool keepsOrder() {
    const Connection* connection = Database::shared().connection();
    return connection && connection->keepsPlanOrder();
}

QString kindCode(LinkKind kind) {
    switch (kind) {
    case LinkKind::StartToStart:
        return QStringLiteral("SS");
    case LinkKind::FinishToFinish:
        return QStringLiteral("FF");
    case LinkKind::StartToFinish:
        return QStringLiteral("SF");
    case LinkKind::FinishToStart:
        break;
    }
    return QStringLiteral("FS");
}

LinkKind kindOf(const QString& code) {
    const QString c = code.trimmed().toUpper();
    if (c == QLatin1String("SS"))
        return LinkKind::StartToStart;
    if (c == QLatin1String("FF"))
        return LinkKind::FinishToFinish;
    if (c == QLatin1String("SF"))
        return LinkKind::StartToFinish;
    return LinkKind::FinishToStart;
}

WorkCalendar readCalendar() {
    WorkCalendar calendar;
    Database& db = Database::shared();
    // Working days first, then the others: a week is never left without a working day between.
    QList<int> off;
    for (ResultSet rs = db.query(QStringLiteral("select Weekday, Working from WorkingDays")); !rs.eof();
         rs.moveNext()) {
        const int day = static_cast<int>(rs.value(0).toLongLong());
        if (isStoredTruth(rs.rawText(1)))
            calendar.setWorkingWeekday(day, true);
        else
            off << day;
    }
    for (int day : off)
        calendar.setWorkingWeekday(day, false);
    for (ResultSet rs = db.query(QStringLiteral("select Day from Holidays")); !rs.eof(); rs.moveNext())
        calendar.addHoliday(dateOf(rs.rawText(0)));
    return calendar;
}

StoredPlan read(qint64 projectId) {
    Database& db = Database::shared();
    StoredPlan stored;
    stored.projectId = projectId;
    const QString project = QString::number(projectId);
    for (ResultSet rs = db.query(QStringLiteral("select ID, ParentID, StartDate, DueDate, Milestone, "
                                                "StartNoEarlierThan, row_version") +
                                 orderColumns() + QStringLiteral(" from Tasks where ProjectID=") + project);
         !rs.eof(); rs.moveNext()) {
        PlanTask task;
        task.id = rs.value(0).toLongLong();
        task.parentId = rs.isNull(1) ? 0 : rs.value(1).toLongLong();
        task.start = dateOf(rs.rawText(2));
        task.finish = dateOf(rs.rawText(3));
        task.milestone = isStoredTruth(rs.rawText(4));
        task.startNoEarlierThan = dateOf(rs.rawText(5));
        stored.versions.insert(task.id, rs.value(6).toLongLong());
        if (rs.columnCount() > 8) {
            task.order = rs.isNull(7) ? 0 : rs.value(7).toLongLong();
            task.atDayStart = isStoredTruth(rs.rawText(8));
        }
        stored.plan.addTask(task);
    }
    for (ResultSet rs = db.query(QStringLiteral("select l.PredecessorID, l.SuccessorID, l.Kind, l.Lag from TaskLinks l "
                                                "join Tasks t on t.ID = l.SuccessorID where t.ProjectID=") +
                                 project);
         !rs.eof(); rs.moveNext()) {
        stored.plan.addLink({rs.value(0).toLongLong(), rs.value(1).toLongLong(), kindOf(rs.rawText(2)),
                             static_cast<int>(rs.value(3).toLongLong())});
    }
    return stored;
}

namespace {

using Edit = std::function<void(Plan&, const WorkCalendar&)>;

// (1=1) is true on every kind of database, whether it keeps truth as a number or not.
QString truthSql(bool value) {
    return value ? QStringLiteral("(1=1)") : QStringLiteral("(1=0)");
}

QString idSql(qint64 id) {
    return id ? QString::number(id) : QStringLiteral("null");
}

// The update that writes a task's state; the caller adds its condition.
QString writeStatement(const TaskState& state) {
    return QStringLiteral("update Tasks set ParentID=%1, Milestone=%2, StartDate=%3, DueDate=%4, "
                          "StartNoEarlierThan=%5%6 where ID=%7")
        .arg(idSql(state.parentId), truthSql(state.milestone), dateSql(state.start), dateSql(state.finish),
             dateSql(state.startNoEarlierThan),
             keepsOrder() ? QStringLiteral(", PlanOrder=%1, MilestoneAtStart=%2")
                                .arg(idSql(state.order), truthSql(state.atDayStart))
                          : QString(),
             QString::number(state.id));
}

TaskState stateOf(const PlanTask& task, QDate start, QDate finish) {
    return {task.id, task.parentId,           task.milestone, start,
            finish,  task.startNoEarlierThan, task.order,     task.atDayStart};
}

// Numbers the tasks 1, 2, ... in the order given.
void numberInOrder(Plan& plan, const QList<qint64>& ids) {
    qint64 place = 0;
    for (qint64 id : ids)
        if (const PlanTask* task = plan.task(id); task && task->order != ++place) {
            PlanTask numbered = *task;
            numbered.order = place;
            plan.addTask(numbered);
        }
}

// With `keepLater`, a linked task that stands later than its links need stays there (it is held
// for this scheduling only, its own "start no earlier than" is written as it was): only what
// breaks a link moves. Dates that came from outside the plan's commands are mended that way.
Outcome changeAndStore(qint64 projectId, const Edit& edit, const std::function<void()>& store, bool keepLater = false) {
    Outcome outcome;
    StoredPlan stored = read(projectId);
    const WorkCalendar calendar = readCalendar();
    const Plan before = stored.plan;
    edit(stored.plan, calendar);
    QHash<qint64, QDate> ownNoEarlier; // of the tasks held where they stand
    if (keepLater) {
        const Schedule first = Scheduling::schedule(stored.plan, calendar);
        const auto& tasks = stored.plan.tasks();
        for (size_t i = 0; first.ok() && i < tasks.size(); ++i) {
            const PlanTask& task = tasks[i];
            if (first.tasks[i].linked && !first.tasks[i].summary && task.start.isValid() &&
                task.start > first.tasks[i].start) {
                ownNoEarlier.insert(task.id, task.startNoEarlierThan);
                PlanTask held = task;
                held.startNoEarlierThan = task.start;
                stored.plan.addTask(held);
            }
        }
    }
    const PlanGraph graph(stored.plan);
    const Schedule schedule = graph.schedule(calendar);
    if (!schedule.ok()) {
        outcome.kind = Outcome::Kind::Loop;
        outcome.loop = schedule.loop;
        outcome.loopText = loopText(schedule.loop);
        return outcome;
    }
    // What is written: every task whose dates the schedule moved, and every task whose own
    // dates, start-no-earlier-than, parent or milestone the change itself set. Mending
    // (`keepLater`) writes only what the change set, the linked tasks it moves, and the summaries
    // above them: a task without dates or a summary whose span was off is left as it is.
    const auto& tasks = stored.plan.tasks();
    QSet<qint64> above; // summaries over a task written while mending
    for (int pass = 0; pass < (keepLater ? 2 : 1); ++pass) {
        for (size_t i = 0; i < tasks.size(); ++i) {
            const PlanTask& now = tasks[i];
            const ScheduledTask& planned = schedule.tasks[i];
            const PlanTask* was = before.task(now.id);
            if (keepLater && was && (planned.summary != (pass == 1) || !was->start.isValid() || !was->finish.isValid()))
                continue;
            TaskState after = stateOf(now, planned.start, planned.finish);
            TaskState edited = stateOf(now, now.start, now.finish);
            if (const auto own = ownNoEarlier.constFind(now.id); own != ownNoEarlier.cend())
                after.startNoEarlierThan = edited.startNoEarlierThan = *own;
            const TaskState old = was ? stateOf(*was, was->start, was->finish) : TaskState{};
            if (was && old == after)
                continue;
            if (keepLater && was && old == edited && !(planned.summary ? above.contains(now.id) : planned.linked))
                continue;
            outcome.before << old;
            outcome.after << after;
            for (const PlanTask* up = stored.plan.task(now.parentId); up && !above.contains(up->id);
                 up = stored.plan.task(up->parentId))
                above << up->id;
        }
    }
    Database& db = Database::shared();
    try {
        db.transaction([&] {
            if (store)
                store();
            for (const TaskState& state : std::as_const(outcome.after)) {
                const int changed = db.execute(writeStatement(state) + QStringLiteral(" and row_version=") +
                                               QString::number(stored.versions.value(state.id)));
                if (changed != 1)
                    throw ChangedSince{};
            }
        });
    } catch (const ChangedSince&) {
        return {Outcome::Kind::Changed, {}, {}, {}, {}, {}};
    }
    for (const TaskState& state : std::as_const(outcome.after))
        outcome.moved << state.id;
    return outcome;
}

// The tasks under each task, by parent.
QHash<qint64, QList<qint64>> childrenOf(const Plan& plan) {
    QHash<qint64, QList<qint64>> children;
    for (const PlanTask& task : plan.tasks())
        if (task.parentId)
            children[task.parentId] << task.id;
    return children;
}

// Whether a link reaches the task, or a summary above it: only then has a date to be held.
bool reachedByLink(const Plan& plan, qint64 id) {
    QSet<qint64> up;
    for (const PlanTask* task = plan.task(id); task && !up.contains(task->id); task = plan.task(task->parentId))
        up << task->id;
    return std::any_of(plan.links().begin(), plan.links().end(),
                       [&](const PlanLink& link) { return up.contains(link.successor); });
}

} // namespace

Outcome change(qint64 projectId, const std::function<void(Plan&)>& edit) {
    return changeAndStore(projectId, [&](Plan& plan, const WorkCalendar&) { edit(plan); }, {});
}

Outcome moveTask(qint64 projectId, qint64 taskId, QDate start, QDate finish, bool keepLength) {
    return changeAndStore(
        projectId,
        [&](Plan& plan, const WorkCalendar& calendar) {
            const PlanTask* task = plan.task(taskId);
            if (!task)
                return;
            const QHash<qint64, QList<qint64>> children = childrenOf(plan);
            if (!children.contains(taskId)) {
                const bool fromOwn = keepLength && task->start.isValid() && task->finish.isValid();
                const int length = fromOwn
                                       ? Scheduling::workingLength(calendar, task->start, task->finish, task->milestone)
                                       : Scheduling::workingLength(calendar, start, finish, task->milestone);
                const auto [first, last] = Scheduling::placeTask(calendar, start, length);
                plan.moveTask(taskId, first, last);
                return;
            }
            // A summary: each task under it moves by as many working days as its start did,
            // keeping its length.
            const int shift = calendar.ordinalOf(start) - calendar.ordinalOf(task->start);
            if (shift == 0 || !task->start.isValid())
                return;
            QList<qint64> pending = children.value(taskId);
            while (!pending.isEmpty()) {
                const qint64 id = pending.takeLast();
                if (children.contains(id)) {
                    pending << children.value(id);
                    continue;
                }
                const PlanTask leaf = *plan.task(id);
                if (!leaf.start.isValid() || !leaf.finish.isValid())
                    continue;
                const QDate from = calendar.addWorkingDays(leaf.start, shift);
                const int length = leaf.milestone ? 0 : calendar.workingDaysBetween(leaf.start, leaf.finish);
                plan.moveTask(id, from, length > 1 ? calendar.addWorkingDays(from, length - 1) : from);
            }
        },
        {});
}

Outcome placeGiven(qint64 projectId, const QList<GivenDates>& given, bool hold) {
    return changeAndStore(
        projectId,
        [&](Plan& plan, const WorkCalendar& calendar) {
            const QHash<qint64, QList<qint64>> children = childrenOf(plan);
            for (const GivenDates& dates : given) {
                const PlanTask* task = plan.task(dates.id);
                if (!task || children.contains(dates.id) || !dates.start.isValid() || !dates.finish.isValid())
                    continue;
                const int length = Scheduling::workingLength(calendar, dates.start, dates.finish, task->milestone);
                const auto [first, last] = Scheduling::placeTask(calendar, dates.start, length);
                if (hold && reachedByLink(plan, dates.id)) {
                    plan.moveTask(dates.id, first, last);
                } else {
                    PlanTask placed = *task;
                    placed.start = first;
                    placed.finish = last;
                    plan.addTask(placed);
                }
            }
        },
        {}, true);
}

Outcome followLinks(qint64 projectId) {
    return changeAndStore(
        projectId, [](Plan&, const WorkCalendar&) {}, {}, true);
}

QHash<qint64, qint64> projectsOf(const QList<qint64>& taskIds) {
    QHash<qint64, qint64> projects;
    if (taskIds.isEmpty())
        return projects;
    QStringList ids;
    for (qint64 id : taskIds)
        ids << QString::number(id);
    for (ResultSet rs = Database::shared().query(
             QStringLiteral("select ID, ProjectID from Tasks where ID in (%1)").arg(ids.join(QLatin1Char(','))));
         !rs.eof(); rs.moveNext())
        projects.insert(rs.value(0).toLongLong(), rs.value(1).toLongLong());
    return projects;
}

Hold holdOf(qint64 projectId, qint64 taskId, QDate start, QDate finish) {
    Hold hold;
    StoredPlan stored = read(projectId);
    const WorkCalendar calendar = readCalendar();
    Plan& plan = stored.plan;
    const PlanTask* task = plan.task(taskId);
    if (!task)
        return hold;
    const int length = Scheduling::workingLength(calendar, start, finish, task->milestone);
    const auto [first, last] = Scheduling::placeTask(calendar, start, length);
    plan.moveTask(taskId, first, last);
    const Schedule schedule = Scheduling::schedule(plan, calendar);
    const qsizetype at = plan.indexOf(taskId);
    if (!schedule.ok() || at < 0)
        return hold;
    const ScheduledTask& planned = schedule.tasks[static_cast<size_t>(at)];
    if (planned.start <= first)
        return hold;
    hold.held = true;
    hold.earliest = planned.start;
    // The link that bounds the start most: one to the task or to a summary above it, measured
    // on the predecessors' scheduled dates as the scheduler measures it.
    QSet<qint64> bound{taskId};
    for (const PlanTask* up = task; up && up->parentId; up = plan.task(up->parentId))
        bound << up->parentId;
    int best = INT_MIN;
    for (const PlanLink& link : plan.links()) {
        const qsizetype from = plan.indexOf(link.predecessor);
        if (!bound.contains(link.successor) || from < 0)
            continue;
        const ScheduledTask& p = schedule.tasks[static_cast<size_t>(from)];
        // A milestone's moment: the end of its day, or the start of it.
        const bool atStart = p.milestone && plan.tasks()[static_cast<size_t>(from)].atDayStart;
        const int pEnd = atStart ? calendar.ordinalOf(p.finish) : calendar.ordinalAfter(p.finish);
        const int pStart = p.milestone ? pEnd : calendar.ordinalOf(p.start);
        int limit = 0;
        switch (link.kind) {
        case LinkKind::FinishToStart:
            limit = pEnd + link.lag;
            break;
        case LinkKind::StartToStart:
            limit = pStart + link.lag;
            break;
        case LinkKind::FinishToFinish:
            limit = pEnd + link.lag - length;
            break;
        case LinkKind::StartToFinish:
            limit = pStart + link.lag - length;
            break;
        }
        if (limit > best) {
            best = limit;
            hold.link = link;
        }
    }
    if (best == INT_MIN)
        return hold;
    ResultSet rs = Database::shared().query(QStringLiteral("select Title from Tasks where ID=") +
                                            QString::number(hold.link.predecessor));
    if (!rs.eof())
        hold.predecessorTitle = rs.rawText(0);
    return hold;
}

QList<qint64> siblingsInOrder(const Plan& plan, qint64 parentId) {
    std::vector<const PlanTask*> under;
    for (const PlanTask& task : plan.tasks())
        if (task.parentId == parentId)
            under.push_back(&task);
    std::stable_sort(under.begin(), under.end(), [](const PlanTask* a, const PlanTask* b) {
        return placedBefore(a->order, a->start, a->id, b->order, b->start, b->id);
    });
    QList<qint64> ids;
    ids.reserve(static_cast<qsizetype>(under.size()));
    for (const PlanTask* task : under)
        ids << task->id;
    return ids;
}

Outcome setParent(qint64 projectId, qint64 taskId, qint64 parentId, qint64 after) {
    return changeAndStore(projectId,
                          [&](Plan& plan, const WorkCalendar&) {
                              const PlanTask* task = plan.task(taskId);
                              const PlanTask* parent = parentId ? plan.task(parentId) : nullptr;
                              // A milestone has no length to span tasks with.
                              if (!task || (parentId && (!parent || parent->milestone)))
                                  return;
                              PlanTask moved = *task;
                              moved.parentId = parentId;
                              plan.addTask(moved);
                              // Last under its new parent, or right after the one it came from.
                              QList<qint64> siblings = siblingsInOrder(plan, parentId);
                              siblings.removeOne(taskId);
                              const qsizetype at = siblings.indexOf(after);
                              siblings.insert(at >= 0 ? at + 1 : siblings.size(), taskId);
                              numberInOrder(plan, siblings);
                          },
                          {});
}

Outcome placeTask(qint64 projectId, qint64 taskId, int index) {
    return changeAndStore(projectId,
                          [&](Plan& plan, const WorkCalendar&) {
                              const PlanTask* task = plan.task(taskId);
                              if (!task)
                                  return;
                              QList<qint64> siblings = siblingsInOrder(plan, task->parentId);
                              siblings.removeOne(taskId);
                              siblings.insert(std::clamp<qsizetype>(index, 0, siblings.size()), taskId);
                              numberInOrder(plan, siblings);
                          },
                          {});
}

Outcome setMilestone(qint64 projectId, qint64 taskId, bool milestone) {
    return changeAndStore(projectId,
                          [&](Plan& plan, const WorkCalendar&) {
                              const PlanTask* task = plan.task(taskId);
                              if (!task)
                                  return;
                              PlanTask changed = *task;
                              changed.milestone = milestone;
                              // The user's milestones stand at the end of their day.
                              changed.atDayStart = false;
                              if (milestone && changed.start.isValid())
                                  changed.finish = changed.start;
                              plan.addTask(changed);
                          },
                          {});
}

Outcome restore(const QList<TaskState>& expected, const QList<TaskState>& states,
                const std::function<void()>& alsoWrite) {
    Outcome outcome;
    if (states.isEmpty() && !alsoWrite)
        return outcome;
    QStringList ids;
    for (const TaskState& state : states)
        ids << QString::number(state.id);
    if (ids.isEmpty())
        ids << QStringLiteral("0");
    Database& db = Database::shared();
    const Connection* connection = db.connection();
    try {
        db.transaction([&] {
            QHash<qint64, TaskState> now;
            for (ResultSet rs = db.query(QStringLiteral("select ID, ParentID, Milestone, StartDate, DueDate, "
                                                        "StartNoEarlierThan%1 from Tasks where ID in (%2)")
                                             .arg(orderColumns(), ids.join(QLatin1Char(','))) +
                                         (connection ? connection->lockSuffix() : QString()));
                 !rs.eof(); rs.moveNext()) {
                const qint64 id = rs.value(0).toLongLong();
                const bool placed = rs.columnCount() > 7;
                const qint64 order = placed && !rs.isNull(6) ? rs.value(6).toLongLong() : 0;
                now.insert(id, {id, rs.isNull(1) ? 0 : rs.value(1).toLongLong(), isStoredTruth(rs.rawText(2)),
                                dateOf(rs.rawText(3)), dateOf(rs.rawText(4)), dateOf(rs.rawText(5)), order,
                                placed && isStoredTruth(rs.rawText(7))});
            }
            for (const TaskState& state : expected)
                if (now.value(state.id, TaskState{}) != state)
                    throw ChangedSince{};
            if (alsoWrite)
                alsoWrite();
            for (const TaskState& state : states)
                db.execute(writeStatement(state));
        });
    } catch (const ChangedSince&) {
        outcome.kind = Outcome::Kind::Changed;
        return outcome;
    }
    for (const TaskState& state : states)
        outcome.moved << state.id;
    outcome.before = expected;
    outcome.after = states;
    return outcome;
}

Outcome link(qint64 projectId, const PlanLink& newLink) {
    QList<qint64> closed; // the loop the new link would close, told from the new link on
    Outcome outcome = changeAndStore(
        projectId,
        [&](Plan& plan, const WorkCalendar&) {
            plan.removeLink(newLink.predecessor, newLink.successor);
            closed = PlanGraph(plan).loopIfLinked(newLink.predecessor, newLink.successor);
            plan.addLink(newLink);
        },
        [&] { writeLink(newLink); });
    if (outcome.kind == Outcome::Kind::Loop && !closed.isEmpty()) {
        outcome.loop = closed;
        outcome.loopText = loopText(closed);
    }
    return outcome;
}

Outcome unlink(qint64 projectId, qint64 predecessor, qint64 successor) {
    return changeAndStore(
        projectId, [&](Plan& plan, const WorkCalendar&) { plan.removeLink(predecessor, successor); },
        [&] { deleteLink(predecessor, successor); });
}

void writeLink(const PlanLink& link) {
    Database& db = Database::shared();
    const QString values = QStringLiteral("Kind=%1, Lag=%2 where PredecessorID=%3 and SuccessorID=%4")
                               .arg(SqlText::quoted(kindCode(link.kind)), QString::number(link.lag),
                                    QString::number(link.predecessor), QString::number(link.successor));
    if (db.execute(QStringLiteral("update TaskLinks set ") + values) == 0)
        db.execute(QStringLiteral("insert into TaskLinks (PredecessorID, SuccessorID, Kind, Lag) values "
                                  "(%1, %2, %3, %4)")
                       .arg(QString::number(link.predecessor), QString::number(link.successor),
                            SqlText::quoted(kindCode(link.kind)), QString::number(link.lag)));
}

void deleteLink(qint64 predecessor, qint64 successor) {
    Database::shared().execute(QStringLiteral("delete from TaskLinks where PredecessorID=%1 and SuccessorID=%2")
                                   .arg(QString::number(predecessor), QString::number(successor)));
}

} // namespace PlanStore
