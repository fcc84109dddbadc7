#include "HistoryPlan.h"

#include "scheduling/PlanStore.h"

#include <QHash>
#include <QJsonValue>
#include <QMap>
#include <QSet>

#include <algorithm>

namespace HistoryPlan {

namespace {

QDate dateOf(const QJsonValue& value) {
    return QDate::fromString(value.toString().left(10), Qt::ISODate);
}

qint64 idOf(const QJsonValue& value) {
    return static_cast<qint64>(value.toDouble());
}

} // namespace

void follow(const QList<History::Entry>& entries, History::Direction direction, bool chosen) {
    if (!PlanStore::available())
        return;
    QList<History::Entry> ordered = entries;
    std::sort(ordered.begin(), ordered.end(),
              [](const History::Entry& a, const History::Entry& b) { return a.id < b.id; });
    // Each task's state as the restore left it: before its first entry (back) or after its last.
    QMap<qint64, QJsonObject> tasks;
    QHash<qint64, qint64> projectOf; // of every task the entries name, as they name it
    QList<qint64> linkedTasks;
    for (const History::Entry& e : std::as_const(ordered)) {
        if (e.table == QLatin1String("tasks")) {
            if (direction == History::Direction::Forward)
                tasks.insert(e.recordId, e.after);
            else if (!tasks.contains(e.recordId))
                tasks.insert(e.recordId, e.before);
            for (const QJsonObject& side : {e.before, e.after})
                if (!side.isEmpty())
                    projectOf.insert(e.recordId, idOf(side.value(QStringLiteral("projectid"))));
        } else if (e.table == QLatin1String("tasklinks")) {
            for (const QJsonObject& side : {e.before, e.after})
                if (!side.isEmpty())
                    linkedTasks << idOf(side.value(QStringLiteral("predecessorid")))
                                << idOf(side.value(QStringLiteral("successorid")));
        }
    }
    // A link's tasks the entries do not name are looked up (a link made or removed alone).
    QList<qint64> unknown;
    for (qint64 id : std::as_const(linkedTasks))
        if (!projectOf.contains(id))
            unknown << id;
    projectOf.insert(PlanStore::projectsOf(unknown));
    QMap<qint64, QList<PlanStore::GivenDates>> given; // by project
    QSet<qint64> touched;
    for (qint64 id : std::as_const(linkedTasks))
        if (projectOf.contains(id))
            touched << projectOf.value(id);
    for (auto it = tasks.cbegin(); it != tasks.cend(); ++it) {
        if (it.value().isEmpty()) // a task deleted again has no plan to follow
            continue;
        const qint64 project = idOf(it.value().value(QStringLiteral("projectid")));
        touched << project;
        given[project] << PlanStore::GivenDates{it.key(), dateOf(it.value().value(QStringLiteral("startdate"))),
                                                dateOf(it.value().value(QStringLiteral("duedate")))};
    }
    for (qint64 project : std::as_const(touched)) {
        const PlanStore::Outcome outcome = PlanStore::placeGiven(project, given.value(project), chosen);
        switch (outcome.kind) {
        case PlanStore::Outcome::Kind::Saved:
            break;
        case PlanStore::Outcome::Kind::Loop:
            throw History::Conflict(
                QStringLiteral("The links would form a loop (%1), so nothing was changed.").arg(outcome.loopText));
        case PlanStore::Outcome::Kind::Changed:
            throw History::Conflict(QStringLiteral("Tasks of this project were changed by someone else meanwhile, "
                                                   "so nothing was changed."));
        }
    }
}

} // namespace HistoryPlan
