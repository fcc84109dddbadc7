// File → Calendar Accounts… and the sync that runs behind the window: at start, soon after every
// change (ours, or another client's through Database::changes()), and every few minutes, never
// blocking the window (the requests answer on the event loop). A conflict is put to the user as
// the editors' conflicts are: both versions, and the choice of which one stays. With no account
// set up nothing of this runs.
#pragma once

#include "calendar_sync/CalendarSync.h"
#include "calendar_sync/Discovery.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

class PlannerWindow;

namespace CalendarSyncCommands {

void install(PlannerWindow& planner);

// The sync behind one window.
class Scheduler final : public QObject {
    Q_OBJECT
public:
    explicit Scheduler(PlannerWindow& planner);
    // Every few minutes, and this long after a change (merging changes close together).
    static constexpr int periodMs = 5 * 60 * 1000;
    static constexpr int afterChangeMs = 2000;

    void syncSoon();
    // Which task list each project syncs to (empty: none), with the lists' names; kept until a
    // sync under way has ended, so that its state does not overwrite the choice.
    void assign(const QHash<qint64, QString>& lists, const QList<CalendarSync::TaskList>& names);
    void syncNow();
    bool running() const { return m_engine && m_engine->running(); }
    const CalendarSync::Report& lastReport() const { return m_last; }
    // The scheduler of a window (nullptr: none installed).
    static Scheduler* of(QObject* window);

signals:
    void synced(const CalendarSync::Report& report);

private:
    void done(const CalendarSync::Report& report);
    void settle(const CalendarSync::Report& report);
    void applyAssigned();

    PlannerWindow& m_planner;
    QTimer m_soon, m_period;
    CalendarSync::State m_state;
    QPointer<CalendarSync::Engine> m_engine;
    bool m_again = false;
    bool m_asking = false;
    QHash<qint64, QString> m_assigning;
    QList<CalendarSync::TaskList> m_naming;
    bool m_declined = false; // the password box was cancelled: no sync until the account is set again
    QSet<QString> m_postponed;
    QSet<QString> m_refused; // task list URLs already said to be no task lists
    CalendarSync::Report m_last;
    friend void install(PlannerWindow&);
    friend class AccountsDialog;
};

} // namespace CalendarSyncCommands
