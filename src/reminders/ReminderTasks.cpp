#include "ReminderTasks.h"

#include "app/Database.h"
#include "app/SqlText.h"

namespace Reminders {

namespace {
const QString columns = QStringLiteral("select t.ID, t.ProjectID, t.Title, t.DueDate, p.ProjectName, t.Status from "
                                       "Tasks t left join Projects p on p.ID = t.ProjectID ");

// A cancelled task is due no more (its status says so in the words of the database's list:
// "Cancelled", "Canceled", "cancelled by the customer").
bool cancelled(const QString& status) {
    return status.contains(QLatin1String("cancel"), Qt::CaseInsensitive);
}

DueTask taskOfRow(const ResultSet& rs) {
    DueTask task;
    task.id = rs.value(0).toLongLong();
    task.projectId = rs.value(1).toLongLong();
    task.title = rs.rawText(2);
    task.due = QDate::fromString(rs.rawText(3).left(10), Qt::ISODate);
    task.projectName = rs.rawText(4);
    return task;
}
} // namespace

QString dueTasksStatement(const QDate& dueUpTo, std::optional<qint64> contact) {
    QString statement = columns + QStringLiteral("where t.DueDate is not null and t.DueDate <= %1 and "
                                                 "(t.PercentComplete is null or t.PercentComplete < 100)")
                                      .arg(SqlText::quoted(SqlText::dateText(dueUpTo)));
    // A contact deleted since it was named names no one: then everyone's tasks remind again.
    if (contact)
        statement += QStringLiteral(" and (t.AssignedTo = %1 or not exists (select 1 from Employees where ID = %1))")
                         .arg(*contact);
    return statement + QStringLiteral(" order by t.DueDate, t.ID");
}

std::vector<DueTask> readDueTasks(const QDate& dueUpTo, std::optional<qint64> contact) {
    std::vector<DueTask> tasks;
    ResultSet rs = Database::shared().query(dueTasksStatement(dueUpTo, contact));
    while (!rs.eof()) {
        DueTask task = taskOfRow(rs);
        if (task.due.isValid() && !cancelled(rs.rawText(5))) // a malformed date never reminds either
            tasks.push_back(std::move(task));
        rs.moveNext();
    }
    return tasks;
}

std::optional<DueTask> findTask(qint64 id) {
    ResultSet rs = Database::shared().query(columns + QStringLiteral("where t.ID = %1").arg(id));
    if (rs.eof())
        return std::nullopt;
    return taskOfRow(rs);
}

std::vector<std::pair<qint64, QString>> contacts() {
    std::vector<std::pair<qint64, QString>> list;
    ResultSet rs = Database::shared().query(
        QStringLiteral("select ID, FirstName, LastName from Employees order by LastName, FirstName, ID"));
    while (!rs.eof()) {
        const QString name = (rs.rawText(1) + QLatin1Char(' ') + rs.rawText(2)).trimmed();
        list.emplace_back(rs.value(0).toLongLong(), name.isEmpty() ? QStringLiteral("(no name)") : name);
        rs.moveNext();
    }
    return list;
}

} // namespace Reminders
