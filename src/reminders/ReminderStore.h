// What reminders keep per database, in one small file of the data folder (reminders.json): each
// task's own time and lead, the due moment it was last reminded of and any snooze, and the
// contact whose tasks remind. A database is known by its place (the file's path, or the team
// database's name and host), so no table of the database is needed for it.
#pragma once

#include "ReminderRules.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace Reminders {

class ReminderStore {
public:
    // The record kept in `file` (the data folder's reminders.json when empty).
    explicit ReminderStore(QString file = QString());

    // The place of the shared connection's database, as the record names it.
    static QString identityOfSharedDatabase();

    // Reads the record of a database; a missing or unreadable file gives an empty one.
    void load(const QString& identity);
    const QString& identity() const { return m_identity; }

    TaskSetting setting(qint64 task) const;
    std::optional<Sent> sent(qint64 task) const;
    // The contact whose tasks remind; none: everyone's.
    std::optional<qint64> contact() const;
    // The longest lead any task was given (for how far ahead the tasks are read).
    int longestMinutesBefore() const;

    // Changes kept in memory until save().
    void setSetting(qint64 task, const TaskSetting& setting);
    void markSent(qint64 task, const QString& dueKey);
    void snooze(qint64 task, const QString& dueKey, const QDateTime& until);
    void setContact(std::optional<qint64> contact);

    // Writes the record of this database into the file, keeping the other databases' records;
    // throws DbError when the file cannot be written.
    void save() const;

private:
    QJsonObject task(qint64 id) const;
    void putTask(qint64 id, const QJsonObject& value);

    QString m_file;
    QString m_identity;
    QJsonObject m_record;
};

} // namespace Reminders
