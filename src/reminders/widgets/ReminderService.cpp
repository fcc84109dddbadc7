#include "ReminderService.h"

#include "DesktopNotifier.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/widgets/PlannerWindow.h"
#include "editors/Openers.h"
#include "reminders/ReminderTasks.h"

#include <QApplication>
#include <QWidget>

#include <memory>

namespace Reminders {

namespace {
std::function<QDateTime()>& testClock() {
    static std::function<QDateTime()> clock;
    return clock;
}

const QString openAction = QStringLiteral("open");
const QString snoozeAction = QStringLiteral("snooze");
const QString defaultAction = QStringLiteral("default"); // a click on the notification itself
} // namespace

ReminderService::ReminderService(PlannerWindow& planner)
    : QObject(planner.window())
    , m_planner(planner) {
    setObjectName(QStringLiteral("reminderService"));
    all().append(this);
    m_timer.setInterval(checkEveryMs);
    connect(&m_timer, &QTimer::timeout, this, &ReminderService::check);
    // The lists are filled once the database is open: the first check tells what is overdue, and
    // each refill after a change (a due date typed, another database chosen) checks again.
    connect(&planner, &PlannerWindow::listsRefilled, this, [this] {
        if (!m_notifier)
            start();
        check();
    });
}

void ReminderService::setClockForTesting(std::function<QDateTime()> clock) {
    testClock() = std::move(clock);
}

QDateTime ReminderService::now() {
    return testClock() ? testClock()() : QDateTime::currentDateTime();
}

bool ReminderService::running() const {
    return m_preferences.enabled && m_notifier && m_notifier->connected();
}

void ReminderService::start() {
    m_preferences = Preferences::read();
    if (!m_preferences.enabled)
        return;
    if (!m_notifier) {
        m_notifier = new DesktopNotifier(this);
        connect(m_notifier, &DesktopNotifier::actionInvoked, this, &ReminderService::onAction);
        connect(m_notifier, &DesktopNotifier::closed, this, [this](uint id) {
            m_shown.erase(id);
            m_summaries.remove(id);
        });
    }
    if (m_notifier->connected())
        m_timer.start();
}

void ReminderService::reload() {
    m_timer.stop();
    start();
    check();
}

ReminderStore& ReminderService::store() {
    // Read anew each time: the task dialogs, and another copy of the program, write it too. What
    // could not be saved stays the record until it can be, so that nothing is sent twice.
    const QString identity = ReminderStore::identityOfSharedDatabase();
    if (!m_unsaved || identity != m_store.identity())
        m_store.load(identity);
    return m_store;
}

QList<ReminderService*>& ReminderService::all() {
    static QList<ReminderService*> services;
    return services;
}

ReminderService::~ReminderService() {
    all().removeOne(this);
}

void ReminderService::checkAll() {
    for (ReminderService* service : all())
        service->check();
}

void ReminderService::check() {
    if (!running() || m_checking || !Database::shared().isOpen())
        return;
    // A check is never nested in another (one waiting for a server's answer, say).
    m_checking = true;
    const std::shared_ptr<void> done(nullptr, [this](void*) { m_checking = false; });
    try {
        const QDateTime now = ReminderService::now();
        ReminderStore& record = store();
        const int lead = std::max(m_preferences.minutesBefore, record.longestMinutesBefore());
        const std::vector<DueTask> tasks = readDueTasks(now.addSecs(60LL * lead).date(), record.contact());
        const Decision decision = decide(
            tasks, m_preferences, now, [&record](qint64 id) { return record.setting(id); },
            [&record](qint64 id) { return record.sent(id); });
        for (const Reminder& reminder : decision.reminders)
            send(reminder, now);
        if (!decision.summarised.empty())
            sendSummary(decision.summarised, now);
        if (!decision.reminders.empty() || !decision.summarised.empty())
            saveQuietly();
    } catch (const DbError& e) {
        qWarning("Reminders: the tasks could not be read: %s", qPrintable(e.description()));
    } catch (const std::exception& e) {
        qWarning("Reminders: %s", e.what());
    }
}

void ReminderService::send(const Reminder& reminder, const QDateTime& now) {
    // Recorded before the desktop answers: whatever happens to the notification, it is not sent
    // again for the same due moment.
    m_store.markSent(reminder.task.id, reminder.key);
    const QStringList actions{defaultAction,
                              QStringLiteral("Open Task"),
                              openAction,
                              QStringLiteral("Open Task"),
                              snoozeAction,
                              m_preferences.snoozeMinutes == 1
                                  ? QStringLiteral("Snooze 1 Minute")
                                  : QStringLiteral("Snooze %1 Minutes").arg(m_preferences.snoozeMinutes)};
    m_notifier->send(summaryOf(reminder), bodyOf(reminder, now), actions,
                     [this, reminder](uint id) { m_shown[id] = reminder; });
}

void ReminderService::sendSummary(const std::vector<Reminder>& reminders, const QDateTime& now) {
    for (const Reminder& reminder : reminders)
        m_store.markSent(reminder.task.id, reminder.key);
    // Its click brings the main window forward; which task to open is the user's choice there.
    m_notifier->send(summaryOfMany(reminders), bodyOfMany(reminders, now),
                     {defaultAction, QStringLiteral("Show Fennick Planner")},
                     [this](uint id) { m_summaries.insert(id); });
}

void ReminderService::saveQuietly() {
    try {
        m_store.save();
        m_unsaved = false;
    } catch (const DbError& e) {
        // Kept in memory (see store()): this session sends nothing twice even so.
        m_unsaved = true;
        qWarning("%s", qPrintable(e.description()));
    }
}

void ReminderService::raiseWindow() {
    QWidget* window = m_planner.window();
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

void ReminderService::onAction(uint id, const QString& action) {
    if (m_summaries.contains(id)) {
        raiseWindow();
        return;
    }
    const auto shown = m_shown.find(id);
    if (shown == m_shown.end())
        return; // another program's notification
    const Reminder reminder = shown->second;
    if (action == snoozeAction) {
        ErrorTrap trap(QStringLiteral("Reminders"), QStringLiteral("Snooze"));
        trap.step(1, [&] {
            ReminderStore& record = store();
            record.snooze(reminder.task.id, reminder.key, now().addSecs(60LL * m_preferences.snoozeMinutes));
            record.save();
        });
    } else if (action == openAction || action == defaultAction) {
        m_notifier->close(id); // its task is open now; the notification has done its work
        raiseWindow();
        openTask(reminder.task.id);
    }
}

void ReminderService::openTask(qint64 id) {
    ErrorTrap trap(QStringLiteral("Reminders"), QStringLiteral("OpenTask"));
    std::optional<DueTask> task;
    if (!trap.step(1, [&] { task = findTask(id); }))
        return;
    if (!task) {
        Messages::current().notice(QStringLiteral("The task of this reminder no longer exists."));
        return;
    }
    // On top of whatever window is open, as a modal window must be.
    QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : m_planner.window();
    trap.step(2, [&] {
        Editors::openTaskEditor(parent, QString::number(task->id), QString::number(task->projectId),
                                QStringLiteral("Edit Tasks"));
    });
    trap.step(3, [&] { m_planner.refillTasks(); });
}

} // namespace Reminders
