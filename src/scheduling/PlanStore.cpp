#include "PlanStore.h"

#include "app/Connection.h"
#include "app/Database.h"
#include "app/DbError.h"
#include "app/SqlText.h"
#include "app/ValueText.h"

#include <QStringList>

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
                                                "StartNoEarlierThan, row_version from Tasks where ProjectID=") +
                                 project);
         !rs.eof(); rs.moveNext()) {
        PlanTask task;
        task.id = rs.value(0).toLongLong();
        task.parentId = rs.isNull(1) ? 0 : rs.value(1).toLongLong();
        task.start = dateOf(rs.rawText(2));
        task.finish = dateOf(rs.rawText(3));
        task.milestone = isStoredTruth(rs.rawText(4));
        task.startNoEarlierThan = dateOf(rs.rawText(5));
        stored.versions.insert(task.id, rs.value(6).toLongLong());
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

Outcome changeAndStore(qint64 projectId, const std::function<void(Plan&)>& edit, const std::function<void()>& store) {
    Outcome outcome;
    StoredPlan stored = read(projectId);
    const Plan before = stored.plan;
    edit(stored.plan);
    const PlanGraph graph(stored.plan);
    const Schedule schedule = graph.schedule(readCalendar());
    if (!schedule.ok()) {
        outcome.kind = Outcome::Kind::Loop;
        outcome.loop = schedule.loop;
        outcome.loopText = loopText(schedule.loop);
        return outcome;
    }
    // What is written: every task whose dates the schedule moved, and every task whose own
    // dates or start-no-earlier-than the change itself set.
    QList<qint64> written;
    const auto& tasks = stored.plan.tasks();
    for (size_t i = 0; i < tasks.size(); ++i) {
        const PlanTask& now = tasks[i];
        const ScheduledTask& result = schedule.tasks[i];
        const PlanTask* was = before.task(now.id);
        if (!was || was->start != result.start || was->finish != result.finish ||
            was->startNoEarlierThan != now.startNoEarlierThan)
            written << now.id;
    }
    Database& db = Database::shared();
    try {
        db.transaction([&] {
            if (store)
                store();
            for (qint64 id : std::as_const(written)) {
                const qsizetype i = stored.plan.indexOf(id);
                const ScheduledTask& result = schedule.tasks[static_cast<size_t>(i)];
                const PlanTask& task = tasks[static_cast<size_t>(i)];
                const int changed = db.execute(
                    QStringLiteral("update Tasks set StartDate=%1, DueDate=%2, StartNoEarlierThan=%3 where ID=%4 and "
                                   "row_version=%5")
                        .arg(dateSql(result.start), dateSql(result.finish), dateSql(task.startNoEarlierThan),
                             QString::number(id), QString::number(stored.versions.value(id))));
                if (changed != 1)
                    throw ChangedSince{};
            }
        });
    } catch (const ChangedSince&) {
        outcome.kind = Outcome::Kind::Changed;
        return outcome;
    }
    outcome.moved = written;
    return outcome;
}

} // namespace

Outcome change(qint64 projectId, const std::function<void(Plan&)>& edit) {
    return changeAndStore(projectId, edit, {});
}

Outcome moveTask(qint64 projectId, qint64 taskId, QDate start, QDate finish) {
    return change(projectId, [&](Plan& plan) { plan.moveTask(taskId, start, finish); });
}

Outcome link(qint64 projectId, const PlanLink& newLink) {
    QList<qint64> closed; // the loop the new link would close, told from the new link on
    Outcome outcome = changeAndStore(
        projectId,
        [&](Plan& plan) {
            plan.removeLink(newLink.predecessor, newLink.successor);
            closed = PlanGraph(plan).loopIfLinked(newLink.predecessor, newLink.successor);
            plan.addLink(newLink);
        },
        [&] {
            Database& db = Database::shared();
            const QString values = QStringLiteral("Kind=%1, Lag=%2 where PredecessorID=%3 and SuccessorID=%4")
                                       .arg(SqlText::quoted(kindCode(newLink.kind)), QString::number(newLink.lag),
                                            QString::number(newLink.predecessor), QString::number(newLink.successor));
            if (db.execute(QStringLiteral("update TaskLinks set ") + values) == 0)
                db.execute(QStringLiteral("insert into TaskLinks (PredecessorID, SuccessorID, Kind, Lag) values "
                                          "(%1, %2, %3, %4)")
                               .arg(QString::number(newLink.predecessor), QString::number(newLink.successor),
                                    SqlText::quoted(kindCode(newLink.kind)), QString::number(newLink.lag)));
        });
    if (outcome.kind == Outcome::Kind::Loop && !closed.isEmpty()) {
        outcome.loop = closed;
        outcome.loopText = loopText(closed);
    }
    return outcome;
}

Outcome unlink(qint64 projectId, qint64 predecessor, qint64 successor) {
    return changeAndStore(
        projectId, [&](Plan& plan) { plan.removeLink(predecessor, successor); },
        [&] {
            Database::shared().execute(QStringLiteral("delete from TaskLinks where PredecessorID=%1 and SuccessorID=%2")
                                           .arg(QString::number(predecessor), QString::number(successor)));
        });
}

} // namespace PlanStore
