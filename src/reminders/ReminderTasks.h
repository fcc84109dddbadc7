// The tasks that may remind, read from the shared connection: those with a due date up to a day,
// not complete, and (when a contact is named and still exists) assigned to that contact.
#pragma once

#include "ReminderRules.h"

#include <QDate>

#include <optional>
#include <vector>

namespace Reminders {

// The statement that reads them (for its tests without a database).
QString dueTasksStatement(const QDate& dueUpTo, std::optional<qint64> contact);
// Throws DbError when the database cannot be read.
std::vector<DueTask> readDueTasks(const QDate& dueUpTo, std::optional<qint64> contact);
// One task, whatever its dates; none when it is gone.
std::optional<DueTask> findTask(qint64 task);
// The contacts for the choice of whose tasks remind: ID and display name, by name.
std::vector<std::pair<qint64, QString>> contacts();

} // namespace Reminders
