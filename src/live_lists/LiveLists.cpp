#include "LiveLists.h"

#include "app/ChangeFeed.h"
#include "app/Connection.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/SqlText.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"

#include <QHash>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QTreeView>

#include <thread>
#include <utility>

namespace LiveLists {

namespace {

// How long after a probe found the tables in use it looks again (the probe itself waits for them
// as long as any read does), and how long a refill waits when no probe can be made.
constexpr int busyRetryMs = 1000;
constexpr int unknownRetryMs = 3000;

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
            if (!trap.step(1, [&] { patched = m_planner.patchLists(it.key(), it.value()); })) {
                // Refused (records in use elsewhere, the server away): the changes are read once
                // the tables can be read. A fault was said in the error box; the next change or
                // reconnection tries again.
                if (trap.refusedForNow()) {
                    holdWhole();
                    readAgainWhenFree();
                }
                return;
            }
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

    // A list could not be read (records in use elsewhere, the server away): it is read again once
    // the tables can be read. A probe on a connection of its own waits for them on another
    // thread, so that the window stays usable meanwhile and nothing is asked of the user.
    void readAgainWhenFree() {
        // A server away: the reconnection refills the lists.
        if (m_probing || m_away || !Database::shared().isOpen())
            return;
        m_probing = true;
        Connection* connection = Database::shared().connection();
        std::unique_ptr<Connection::ThreadReader> reader = connection ? connection->openThreadReader() : nullptr;
        if (!reader) {
            // No second connection to be had (none to spare, or a transaction is open here): the
            // refill is tried again a while later.
            QTimer::singleShot(unknownRetryMs, this, [this] { probed(Probe::Unknown); });
            return;
        }
        const QString statement = SqlText::adaptDialect(
            QStringLiteral("select ID from Projects where 1=0 union all select ID from Tasks where 1=0"),
            connection->dialect());
        if (m_probe.joinable())
            m_probe.join(); // ended: it has handed its outcome over
        m_probe = std::jthread([this, reader = std::move(reader), statement] {
            Probe outcome = Probe::Free;
            try {
                if (!reader->query(statement))
                    outcome = Probe::Unknown;
            } catch (const DbError& e) {
                outcome = e.passing() ? Probe::Busy : Probe::Unknown;
            } catch (...) {
                outcome = Probe::Unknown;
            }
            QMetaObject::invokeMethod(
                this, [this, outcome] { probed(outcome); }, Qt::QueuedConnection);
        });
    }

    // The connection to the server was lost (true), or is back (false).
    void setAway(bool away) { m_away = away; }

private:
    enum class Probe { Free, Busy, Unknown };

    void probed(Probe outcome) {
        m_probing = false;
        if ((m_planner.listsRead() && !m_whole) || m_away)
            return; // read meanwhile, or to be read when the server is back
        if (outcome == Probe::Busy) {
            QTimer::singleShot(busyRetryMs, this, [this] { readAgainWhenFree(); });
            return;
        }
        // The user was told when the read was refused; a refill refused again is not said again.
        const ErrorTrap::QuietRefusals quiet;
        m_whole = false;
        m_held.clear();
        refill();
    }

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
    bool m_probing = false;              // a list waits to be read again (readAgainWhenFree)
    bool m_away = false;                 // the connection was lost and is not back yet
    std::jthread m_probe;                // last: joined before the rest goes
};

} // namespace

void refill(PlannerWindow& planner) {
    LiveRefill::of(planner).refill();
}

void install(PlannerWindow& planner) {
    PlannerWindow* p = &planner;
    ChangeFeed& feed = Database::shared().changes();
    QObject::connect(&feed, &ChangeFeed::changed, p, [p, &feed] { LiveRefill::of(*p).take(feed); });
    QObject::connect(&feed, &ChangeFeed::connectionLost, p, [p] { LiveRefill::of(*p).setAway(true); });
    QObject::connect(&feed, &ChangeFeed::opened, p, [p] { LiveRefill::of(*p).setAway(false); });
    QObject::connect(&feed, &ChangeFeed::reconnected, p, [p] {
        LiveRefill::of(*p).setAway(false);
        refill(*p);
    });
    QObject::connect(p, &PlannerWindow::listsNotRead, p, [p] { LiveRefill::of(*p).readAgainWhenFree(); });
}

} // namespace LiveLists
