#include "LiveLists.h"

#include "app/ChangeFeed.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"

#include <QHash>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QTreeView>

#include <utility>

namespace LiveLists {

namespace {

// What a refill must give back to a list: the selected record and where the list was scrolled.
struct ListPlace {
    QString selectedId;
    int vertical = 0;
    int horizontal = 0;
};

ListPlace remember(QTreeView* list) {
    return {RowSelection::selectedCell(list, 0), list->verticalScrollBar()->value(),
            list->horizontalScrollBar()->value()};
}

void restore(QTreeView* list, const ListPlace& place) {
    auto* model = static_cast<RecordListModel*>(list->model());
    if (!model)
        return;
    const int row = place.selectedId.isEmpty() ? -1 : model->rowOfRecord(place.selectedId.toLongLong());
    if (row >= 0 && RowSelection::selectedRow(list) != row)
        RowSelection::selectRow(list, row);
    list->verticalScrollBar()->setValue(place.vertical);
    list->horizontalScrollBar()->setValue(place.horizontal);
}

// The live lists of one main window.
class LiveRefill final : public QObject {
public:
    explicit LiveRefill(PlannerWindow& planner)
        : QObject(&planner)
        , m_planner(planner) {
        setObjectName(QStringLiteral("LiveRefill"));
    }
    static LiveRefill& of(PlannerWindow& planner) {
        auto* live = planner.findChild<LiveRefill*>(QStringLiteral("LiveRefill"), Qt::FindDirectChildrenOnly);
        return live ? *live : *new LiveRefill(planner);
    }

    // A burst of the change feed: what it names is held until the lists can take it.
    void take(const ChangeFeed& feed) {
        for (const QString& table : feed.pendingTables()) {
            QSet<qint64> ids;
            if (m_whole || !feed.pendingRecords(table, &ids)) {
                holdWhole();
                break;
            }
            QSet<qint64>& held = m_held[table];
            held.unite(ids);
            if (held.size() > ChangeFeed::maxRecords) {
                holdWhole();
                break;
            }
        }
        apply();
    }

    // Patches the lists with what is held, or refills them when that cannot be done.
    void apply() {
        if (!Database::shared().isOpen()) {
            m_held.clear();
            m_whole = false;
            return;
        }
        // A change that arrives while the project list streams in (or while a refill runs) is
        // never dropped: it is taken once the list is whole.
        if (m_refilling || m_pendingRestore || m_planner.projects()->isFilling()) {
            if (!m_waiting)
                m_waiting = QObject::connect(&m_planner, &PlannerWindow::listsRefilled, this, [this] {
                    QObject::disconnect(m_waiting);
                    m_waiting = {};
                    QTimer::singleShot(0, this, [this] { apply(); });
                });
            return;
        }
        if (m_held.isEmpty() && !m_whole)
            return;
        const QHash<QString, QSet<qint64>> held = std::exchange(m_held, {});
        if (std::exchange(m_whole, false)) {
            refill();
            return;
        }
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
        for (auto it = held.cbegin(); it != held.cend(); ++it) {
            bool patched = false;
            if (!trap.step(1, [&] { patched = m_planner.patchLists(it.key(), it.value()); }))
                return; // said in the error box; the next change or reconnection tries again
            if (!patched) {
                refill();
                return;
            }
        }
    }

    void refill() {
        if (!Database::shared().isOpen())
            return;
        if (m_refilling || m_pendingRestore) {
            holdWhole();
            apply();
            return;
        }
        m_refilling = true;
        PlannerWindow& planner = m_planner;
        const ListPlace projects = remember(planner.projectList());
        const ListPlace tasks = remember(planner.taskList());
        // The place is given back when the list is whole: at once, or once the rest of a long
        // list has streamed in (unless the user has chosen another row meanwhile).
        m_pendingRestore = QObject::connect(&planner, &PlannerWindow::listsRefilled, this, [this, projects, tasks] {
            QObject::disconnect(m_pendingRestore);
            m_pendingRestore = {};
            if (RowSelection::selectedRow(m_planner.projectList()) <= 0) {
                restore(m_planner.projectList(), projects);
                ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListTasks"));
                trap.step(1, [this] { m_planner.refillTasks(); });
                // The task place belongs to the project it was taken in.
                if (RowSelection::selectedCell(m_planner.projectList(), 0) == projects.selectedId)
                    restore(m_planner.taskList(), tasks);
            }
        });
        planner.refillProjects();
        m_refilling = false;
    }

private:
    void holdWhole() {
        m_whole = true;
        m_held.clear();
    }

    PlannerWindow& m_planner;
    QMetaObject::Connection m_pendingRestore; // a refill's place, given back once its list is whole
    QMetaObject::Connection m_waiting;        // what is held waits for the list to be whole
    bool m_refilling = false;
    QHash<QString, QSet<qint64>> m_held; // records changed by others, by table, not yet in the lists
    bool m_whole = false;                // a change whose records are not known: a refill is due
};

} // namespace

void refill(PlannerWindow& planner) {
    LiveRefill::of(planner).refill();
}

void install(PlannerWindow& planner) {
    PlannerWindow* p = &planner;
    ChangeFeed& feed = Database::shared().changes();
    QObject::connect(&feed, &ChangeFeed::changed, p, [p, &feed] { LiveRefill::of(*p).take(feed); });
    QObject::connect(&feed, &ChangeFeed::reconnected, p, [p] { refill(*p); });
}

} // namespace LiveLists
