// The reminders of one main window: once its lists are first filled, and then twice a minute, it
// reads the tasks that fall due and sends a desktop notification for each (see ReminderRules);
// a notification's actions open the task's editor or snooze it. Switched off in the settings, or
// with no session bus, it never reaches the desktop and changes nothing.
#pragma once

#include "reminders/ReminderRules.h"
#include "reminders/ReminderStore.h"

#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <map>

class DesktopNotifier;
class PlannerWindow;

namespace Reminders {

class ReminderService : public QObject {
    Q_OBJECT
public:
    explicit ReminderService(PlannerWindow& planner);
    ~ReminderService() override;
    // Checks in every main window (after a task's own reminder was changed).
    static void checkAll();

    // What counts as now; tests set their own clock (an empty function restores the real one).
    static void setClockForTesting(std::function<QDateTime()> clock);
    static QDateTime now();
    static constexpr int checkEveryMs = 30 * 1000;

    // Whether reminders are switched on and a session bus was reached.
    bool running() const;
    // Sends what is due now. A database that cannot be read is let go: the next check tries again.
    void check();
    // Reads the preferences again (after the settings dialog) and starts or stops.
    void reload();
    // The record of the database in use, read from its file.
    ReminderStore& store();

private:
    static QList<ReminderService*>& all();
    void start();
    void send(const Reminder& reminder, const QDateTime& now);
    void sendSummary(const std::vector<Reminder>& reminders, const QDateTime& now);
    void onAction(uint id, const QString& action);
    void raiseWindow();
    void openTask(qint64 task);
    void saveQuietly();

    PlannerWindow& m_planner;
    DesktopNotifier* m_notifier = nullptr;
    QTimer m_timer;
    Preferences m_preferences;
    ReminderStore m_store;
    std::map<uint, Reminder> m_shown; // the notifications on the desktop that name one task
    QSet<uint> m_summaries;           // and those that name many
    bool m_checking = false;
    bool m_unsaved = false; // the record holds what its file could not be given
};

} // namespace Reminders
