#include "CalendarSyncCommands.h"

#include "CalendarAccountsDialog.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/widgets/PlannerWindow.h"
#include "calendar_sync/Credentials.h"

#include <QAction>
#include <QScopeGuard>
#include <QTimer>
#include <QWidget>

namespace CalendarSyncCommands {

Scheduler::Scheduler(PlannerWindow& planner)
    : QObject(planner.window())
    , m_planner(planner) {
    setObjectName(QStringLiteral("CalendarSyncScheduler"));
    m_soon.setSingleShot(true);
    m_soon.setInterval(afterChangeMs);
    connect(&m_soon, &QTimer::timeout, this, &Scheduler::syncNow);
    m_period.setInterval(periodMs);
    connect(&m_period, &QTimer::timeout, this, &Scheduler::syncNow);
    m_period.start();
    ChangeFeed& feed = Database::shared().changes();
    connect(&feed, &ChangeFeed::changed, this, &Scheduler::syncSoon);
    connect(&feed, &ChangeFeed::opened, this, &Scheduler::syncSoon);
    connect(&feed, &ChangeFeed::reconnected, this, &Scheduler::syncSoon);
    connect(&planner, &PlannerWindow::listsRefilled, this, &Scheduler::syncSoon);
}

Scheduler* Scheduler::of(QObject* window) {
    return window ? window->findChild<Scheduler*>(QStringLiteral("CalendarSyncScheduler")) : nullptr;
}

void Scheduler::syncSoon() {
    if (!m_soon.isActive())
        m_soon.start();
}

void Scheduler::assign(const QHash<qint64, QString>& lists, const QList<CalendarSync::TaskList>& names) {
    m_assigning.insert(lists);
    m_naming << names;
    if (running())
        return; // applied when the sync under way has ended
    QString error;
    if (!m_state.load(CalendarSync::State::fileFor(Database::shared().target()), &error))
        throw DbError(error);
    applyAssigned();
}

void Scheduler::applyAssigned() {
    if (m_assigning.isEmpty())
        return;
    for (auto a = m_assigning.constBegin(); a != m_assigning.constEnd(); ++a)
        m_state.assign(a.key(), a.value());
    for (const CalendarSync::TaskList& list : std::as_const(m_naming))
        if (m_state.find(list.url))
            m_state.collection(list.url).name = list.name;
    m_assigning.clear();
    m_naming.clear();
    QString error;
    if (!m_state.save(&error))
        throw DbError(error);
}

void Scheduler::syncNow() {
    ErrorTrap trap(QStringLiteral("CalendarSync"), QStringLiteral("syncNow"));
    trap.step(1, [&] {
        const Credentials::Account account = Credentials::configuredAccount();
        if (!account.configured() || m_declined || !Database::shared().isOpen())
            return;
        if (running() || m_asking) {
            m_again = true;
            return;
        }
        QString error;
        if (!m_state.load(CalendarSync::State::fileFor(Database::shared().target()), &error))
            throw DbError(error);
        bool any = false;
        for (const CalendarSync::CollectionState& cs : m_state.collections())
            any = any || !cs.projects.isEmpty();
        if (!any)
            return;
        QString password;
        if (!account.user.isEmpty()) {
            password = Credentials::password(account.url, account.user, true);
            if (password.isEmpty()) {
                m_declined = true;
                return;
            }
        }
        if (m_engine)
            m_engine->deleteLater();
        m_engine = new CalendarSync::Engine(account.url, account.user, password, m_state, this);
        connect(m_engine, &CalendarSync::Engine::finished, this, &Scheduler::done);
        m_engine->start();
    });
}

void Scheduler::done(const CalendarSync::Report& report) {
    // What follows may show boxes: first the engine's answer ends.
    QTimer::singleShot(0, this, [this, report] { settle(report); });
}

void Scheduler::settle(const CalendarSync::Report& report) {
    m_last = report;
    m_asking = true; // no sync starts while a box is open
    const auto asked = qScopeGuard([this] { m_asking = false; });
    ErrorTrap trap(QStringLiteral("CalendarSync"), QStringLiteral("done"));
    trap.step(3, [&] {
        if (!m_assigning.isEmpty()) {
            applyAssigned();
            m_again = true;
        }
    });
    if (report.passwordRefused) {
        Credentials::forgetTyped();
        m_declined = true;
        trap.step(1, [&] { Messages::current().notice(report.problems.value(0)); });
    }
    for (const QString& url : report.notTaskList)
        if (!m_refused.contains(url)) {
            m_refused.insert(url); // said once a run, not at every periodic sync
            trap.step(4, [&] {
                Messages::current().notice(
                    QStringLiteral("%1 is not a task list (a calendar collection that takes to-dos), so nothing was "
                                   "synced with it. Choose one of the account's task lists under File, Calendar "
                                   "Accounts.")
                        .arg(url));
            });
        }
    if (report.downNew + report.downChanged + report.downDeleted > 0)
        m_planner.refillProjects();
    bool chose = false;
    trap.step(2, [&] {
        for (const CalendarSync::Conflict& c : report.conflicts) {
            const QString key = c.item.href + QString::fromUtf8(c.etag) + QString::number(c.version);
            if (m_postponed.contains(key))
                continue;
            const QString text = c.describe();
            bool ours = false;
            if (Messages::current().ask(text + QStringLiteral("\n\nTake the calendar's version? (The version here "
                                                              "is replaced.)"))) {
                ours = false;
            } else if (Messages::current().ask(text + QStringLiteral("\n\nKeep the version here and send it to the "
                                                                     "calendar? (The calendar's version is "
                                                                     "replaced.)"))) {
                ours = true;
            } else {
                m_postponed.insert(key); // asked again when the program starts next
                continue;
            }
            QString error;
            if (!CalendarSync::Engine::resolve(m_state, c, ours, &error))
                throw DbError(error);
            chose = true;
        }
    });
    emit synced(report);
    if (chose || m_again) {
        m_again = false;
        syncSoon();
    }
}

void install(PlannerWindow& planner) {
    auto* scheduler = new Scheduler(planner);
    auto* action = new QAction(QStringLiteral("Calendar &Accounts..."), planner.window());
    action->setObjectName(QStringLiteral("actionCalendarAccounts"));
    QObject::connect(action, &QAction::triggered, &planner, [&planner, scheduler] {
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("actionCalendarAccounts_Click"));
        trap.step(1, [&] {
            AccountsDialog dialog(planner, planner.window());
            if (dialog.exec() == QDialog::Accepted) {
                scheduler->assign(dialog.assigned(), dialog.chosenLists());
                scheduler->m_declined = false;
                scheduler->syncSoon();
            }
        });
    });
    planner.addAction(PlannerWindow::Menu::File, PlannerWindow::Exchange, action);
    if (Credentials::configuredAccount().configured())
        scheduler->syncSoon(); // the sync at start
}

} // namespace CalendarSyncCommands
