#include "ReminderRules.h"

#include "app/Settings.h"

#include <QLocale>
#include <QRegularExpression>

namespace Reminders {

QString timeText(const QTime& time) {
    static const QRegularExpression seconds(QStringLiteral("[:.]ss?"));
    return QLocale::system().toString(time, QLocale::system().timeFormat(QLocale::ShortFormat).remove(seconds));
}

QString minutesText(qint64 minutes) {
    return minutes == 1 ? QStringLiteral("1 minute") : QStringLiteral("%1 minutes").arg(minutes);
}

namespace {
int numberSetting(const QString& key, int defaultValue, int lowest, int highest) {
    bool ok = false;
    const int value = Settings::read(key, QString::number(defaultValue)).toInt(&ok);
    return ok ? std::clamp(value, lowest, highest) : defaultValue;
}

// "today at 9:00", "tomorrow at 9:00", or the date and time.
QString momentText(const QDateTime& moment, const QDateTime& now) {
    const qint64 days = now.date().daysTo(moment.date());
    if (days == 0)
        return QStringLiteral("today at %1").arg(timeText(moment.time()));
    if (days == 1)
        return QStringLiteral("tomorrow at %1").arg(timeText(moment.time()));
    if (days == -1)
        return QStringLiteral("yesterday at %1").arg(timeText(moment.time()));
    return QStringLiteral("%1 at %2")
        .arg(QLocale::system().toString(moment.date(), QLocale::ShortFormat), timeText(moment.time()));
}

QString whenText(const QDateTime& due, const QDateTime& now) {
    const qint64 seconds = now.secsTo(due);
    if (seconds >= 60) {
        const qint64 minutes = (seconds + 59) / 60;
        if (minutes < 60)
            return QStringLiteral("Due in %1 (%2)").arg(minutesText(minutes), momentText(due, now));
        return QStringLiteral("Due %1").arg(momentText(due, now));
    }
    if (seconds > -60)
        return QStringLiteral("Due now");
    return QStringLiteral("Overdue since %1").arg(momentText(due, now));
}
} // namespace

Preferences Preferences::read() {
    Preferences p;
    p.enabled = Settings::read(QStringLiteral("Reminders"), QStringLiteral("1")) != QLatin1String("0");
    p.minutesBefore = numberSetting(QStringLiteral("ReminderMinutesBefore"), p.minutesBefore, 0, 60 * 24 * 30);
    const QTime time =
        QTime::fromString(Settings::read(QStringLiteral("ReminderDueTime"), QString()), QStringLiteral("HH:mm"));
    if (time.isValid())
        p.dueTime = time;
    p.snoozeMinutes = numberSetting(QStringLiteral("ReminderSnoozeMinutes"), p.snoozeMinutes, 1, 60 * 24);
    return p;
}

void Preferences::write() const {
    Settings::write(QStringLiteral("Reminders"), enabled ? QStringLiteral("1") : QStringLiteral("0"));
    Settings::write(QStringLiteral("ReminderMinutesBefore"), QString::number(minutesBefore));
    Settings::write(QStringLiteral("ReminderDueTime"), dueTime.toString(QStringLiteral("HH:mm")));
    Settings::write(QStringLiteral("ReminderSnoozeMinutes"), QString::number(snoozeMinutes));
}

QDateTime dueMoment(const DueTask& task, const TaskSetting& setting, const Preferences& preferences) {
    if (!task.due.isValid())
        return {};
    return QDateTime(task.due, setting.time.value_or(preferences.dueTime));
}

int minutesBefore(const TaskSetting& setting, const Preferences& preferences) {
    return setting.minutesBefore.value_or(preferences.minutesBefore);
}

QString dueKey(const QDateTime& due) {
    return due.toString(QStringLiteral("yyyy-MM-ddTHH:mm"));
}

QString summaryOf(const Reminder& reminder) {
    const QString title = reminder.task.title.trimmed();
    return title.isEmpty() ? QStringLiteral("A task without a title") : title;
}

QString bodyOf(const Reminder& reminder, const QDateTime& now) {
    QString body = whenText(reminder.due, now);
    if (!reminder.task.projectName.trimmed().isEmpty())
        body += QStringLiteral("\nProject: ") + reminder.task.projectName.trimmed();
    return body;
}

QString summaryOfMany(const std::vector<Reminder>& reminders) {
    return QStringLiteral("%1 tasks are due or overdue").arg(reminders.size());
}

QString bodyOfMany(const std::vector<Reminder>& reminders, const QDateTime& now) {
    constexpr int listed = 5;
    QStringList lines;
    for (int i = 0; i < static_cast<int>(reminders.size()) && i < listed; ++i)
        lines << summaryOf(reminders[i]) + QStringLiteral(" \u2014 ") + whenText(reminders[i].due, now);
    if (static_cast<int>(reminders.size()) > listed)
        lines << QStringLiteral("and %1 more").arg(reminders.size() - listed);
    return lines.join(QLatin1Char('\n'));
}

} // namespace Reminders
