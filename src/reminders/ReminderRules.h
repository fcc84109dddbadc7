// When a task reminds: its due moment (its date at its own time of day, or at the time the
// preferences give tasks without one), how long before that moment the reminder comes, and what a
// check at a given moment sends: each task once for the same due moment, again after a snooze, and
// many at once as one summary. No database and no desktop here.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <algorithm>
#include <optional>
#include <vector>

namespace Reminders {

// The user's choices, kept in the settings.
struct Preferences {
    bool enabled = true;
    int minutesBefore = 15;
    QTime dueTime = QTime(9, 0); // the due moment of a task without a time of its own (the start of work)
    int snoozeMinutes = 10;

    static Preferences read();
    void write() const; // throws DbError when the settings cannot be saved
};

// What the user set for one task; each unset part follows the preferences.
struct TaskSetting {
    std::optional<QTime> time;
    std::optional<int> minutesBefore;
    bool isEmpty() const { return !time && !minutesBefore; }
};

// A task that has a due date and is not complete, as read from the database.
// The locale's short time without seconds (some locales' short form, C's among them, has them).
QString timeText(const QTime& time);
// "1 minute", "5 minutes".
QString minutesText(qint64 minutes);

struct DueTask {
    qint64 id = 0;
    qint64 projectId = 0;
    QString title;
    QString projectName;
    QDate due;
};

QDateTime dueMoment(const DueTask& task, const TaskSetting& setting, const Preferences& preferences);
int minutesBefore(const TaskSetting& setting, const Preferences& preferences);
// The text that stands for a due moment in the record of what was sent.
QString dueKey(const QDateTime& due);

// What the record of one task says: the due moment it was last reminded of, and until when a
// reminder of it was put off.
struct Sent {
    QString dueKey;
    QDateTime snoozedUntil; // invalid: not snoozed
};

// One reminder to send.
struct Reminder {
    DueTask task;
    QDateTime due;
    QString key;
};

// What one check sends; the caller records each reminder as sent (`key`) before the next check.
struct Decision {
    std::vector<Reminder> reminders;  // each its own notification
    std::vector<Reminder> summarised; // too many at once: one notification names them all
};

// More reminders than this at once (a database opened after a long time) make one summary.
constexpr int mostAtOnce = 3;

// Decides what to send at `now`. `settingOf` and `sentOf` give a task's setting and record.
template <typename SettingOf, typename SentOf>
Decision decide(const std::vector<DueTask>& tasks, const Preferences& preferences, const QDateTime& now,
                SettingOf&& settingOf, SentOf&& sentOf) {
    std::vector<Reminder> due;
    for (const DueTask& task : tasks) {
        const TaskSetting setting = settingOf(task.id);
        const QDateTime moment = dueMoment(task, setting, preferences);
        if (!moment.isValid())
            continue;
        const QString key = dueKey(moment);
        const std::optional<Sent> sent = sentOf(task.id);
        if (sent && sent->dueKey == key) {
            // Reminded of this due moment already: again only when a snooze has run out.
            if (sent->snoozedUntil.isValid() && sent->snoozedUntil <= now)
                due.push_back({task, moment, key});
            continue;
        }
        if (moment.addSecs(-60LL * minutesBefore(setting, preferences)) <= now)
            due.push_back({task, moment, key});
    }
    // Overdue first, in the order they fell due.
    std::stable_sort(due.begin(), due.end(), [](const Reminder& a, const Reminder& b) { return a.due < b.due; });
    Decision decision;
    if (static_cast<int>(due.size()) > mostAtOnce)
        decision.summarised = std::move(due);
    else
        decision.reminders = std::move(due);
    return decision;
}

// The texts of a notification: the task's title, and when it is due (or since when it is
// overdue) with its project.
QString summaryOf(const Reminder& reminder);
QString bodyOf(const Reminder& reminder, const QDateTime& now);
QString summaryOfMany(const std::vector<Reminder>& reminders);
QString bodyOfMany(const std::vector<Reminder>& reminders, const QDateTime& now);

} // namespace Reminders
