#include "EditorSql.h"

#include "app/SqlText.h"

#include <QVariant>

using SqlText::doubled;

namespace EditorSql {

namespace {

struct ListTexts {
    const char* table;
    const char* column;
};

ListTexts texts(ValueList list) {
    switch (list) {
    case ValueList::Status:
        return {"Status", "Status"};
    case ValueList::Categories:
        return {"Categories", "Category"};
    case ValueList::Priorities:
        break;
    }
    return {"Priorities", "Priority"};
}

QString date(const QDate& d) {
    return SqlText::dateText(d);
}

// A date as a value of a statement; a missing date (a summary task's, never typed) stays missing.
QString dateValue(const QDate& d) {
    return d.isValid() ? QLatin1Char('\'') + date(d) + QLatin1Char('\'') : QStringLiteral("null");
}

} // namespace

QString listQuery(ValueList list) {
    const ListTexts t = texts(list);
    return QStringLiteral("select * from %1 order by %2").arg(QLatin1String(t.table), QLatin1String(t.column));
}

QString listColumn(ValueList list) {
    return QLatin1String(texts(list).column);
}

QString insertValue(ValueList list, const QString& value) {
    return QStringLiteral("insert into [%1] values ('").arg(QLatin1String(texts(list).table)) + doubled(value) +
           QStringLiteral("')");
}

QString deleteValue(ValueList list, const QString& value) {
    const ListTexts t = texts(list);
    return QStringLiteral("delete from [%1] where %2='").arg(QLatin1String(t.table), QLatin1String(t.column)) +
           doubled(value) + QLatin1Char('\'');
}

QString deleteProjectsWithValue(ValueList list, const QString& value) {
    return QStringLiteral("delete from Projects where %1='").arg(QLatin1String(texts(list).column)) + doubled(value) +
           QLatin1Char('\'');
}

QString contactsQuery() {
    return QStringLiteral("select ID,FirstName+' '+LastName as ContactName,FirstName,LastName from Employees "
                          "order by FirstName+' '+LastName");
}

QString contactEntryText(const QVariant& shownName, const QVariant& firstName, const QVariant& lastName) {
    if (!shownName.isNull())
        return shownName.toString();
    if (!firstName.isNull() && !firstName.toString().trimmed().isEmpty())
        return firstName.toString();
    if (!lastName.isNull() && !lastName.toString().trimmed().isEmpty())
        return lastName.toString();
    return QStringLiteral("(no name)");
}

QString deleteContact(qint64 id) {
    return QStringLiteral("delete from Employees where ID=") + QString::number(id);
}

QString deleteProjectsOwnedBy(qint64 id) {
    return QStringLiteral("delete from Projects where Owner=") + QString::number(id);
}

QString projectQuery(const QString& id) {
    return QStringLiteral("select * from [Open Projects] where ID=") + id;
}

QString insertProject(const ProjectValues& v) {
    return QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                          "BudgetInDays,Budget) values ('") +
           doubled(v.name) + QStringLiteral("',") + QString::number(v.owner) + QStringLiteral(",'") +
           date(v.startDate) + QStringLiteral("','") + doubled(v.status) + QStringLiteral("','") + doubled(v.category) +
           QStringLiteral("','") + doubled(v.priority) + QStringLiteral("','") + doubled(v.notes) +
           QStringLiteral("','") + date(v.endDate) + QStringLiteral("',") + v.budgetInDays + QLatin1Char(',') +
           v.budget + QLatin1Char(')');
}

QString updateProject(const ProjectValues& v, const QString& id) {
    return QStringLiteral("update Projects set ProjectName='") + doubled(v.name) + QStringLiteral("',Owner=") +
           QString::number(v.owner) + QStringLiteral(",StartDate='") + date(v.startDate) +
           QStringLiteral("',Status='") + doubled(v.status) + QStringLiteral("',Category='") + doubled(v.category) +
           QStringLiteral("',Priority='") + doubled(v.priority) + QStringLiteral("',Notes='") + doubled(v.notes) +
           QStringLiteral("',EndDate='") + date(v.endDate) + QStringLiteral("',BudgetInDays=") + v.budgetInDays +
           QStringLiteral(",Budget=") + v.budget + QStringLiteral(" where ID=") + id;
}

QString taskQuery(const QString& id) {
    return QStringLiteral("select * from [Open Tasks] where ID=") + id;
}

QString taskPlanQuery(const QString& id) {
    return QStringLiteral("select t.ParentID, (select count(*) from Tasks c where c.ParentID=t.ID) as Children, "
                          "(select count(*) from TaskLinks l where l.PredecessorID=t.ID or l.SuccessorID=t.ID) as "
                          "Links from Tasks t where t.ID=") +
           id;
}

QString insertTask(const TaskValues& v) {
    return QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,"
                          "AssignedTo,Description,StartDate,DueDate) values (") +
           v.projectId + QStringLiteral(",'") + doubled(v.title) + QStringLiteral("','") + doubled(v.priority) +
           QStringLiteral("','") + doubled(v.status) + QStringLiteral("',") + v.cost + QLatin1Char(',') + v.costInDays +
           QLatin1Char(',') + v.percentComplete + QLatin1Char(',') + QString::number(v.assignedTo) +
           QStringLiteral(",'") + doubled(v.description) + QStringLiteral("','") + date(v.startDate) +
           QStringLiteral("','") + date(v.dueDate) + QStringLiteral("')");
}

QString updateTask(const TaskValues& v, const QString& id) {
    return QStringLiteral("update Tasks set ProjectID=") + v.projectId + QStringLiteral(",Title='") + doubled(v.title) +
           QStringLiteral("',Priority='") + doubled(v.priority) + QStringLiteral("',Status='") + doubled(v.status) +
           QStringLiteral("',Cost=") + v.cost + QStringLiteral(",CostInDays=") + v.costInDays +
           QStringLiteral(",PercentComplete=") + v.percentComplete + QStringLiteral(",AssignedTo=") +
           QString::number(v.assignedTo) + QStringLiteral(",Description='") + doubled(v.description) +
           QStringLiteral("',StartDate=") + dateValue(v.startDate) + QStringLiteral(",DueDate=") +
           dateValue(v.dueDate) + QStringLiteral(" where ID=") + id;
}

const QStringList& contactColumns() {
    static const QStringList columns = {
        QStringLiteral("FirstName"),   QStringLiteral("LastName"),      QStringLiteral("JobTitle"),
        QStringLiteral("Company"),     QStringLiteral("BusinessPhone"), QStringLiteral("HomePhone"),
        QStringLiteral("MobilePhone"), QStringLiteral("FaxNumber"),     QStringLiteral("Address"),
        QStringLiteral("City"),        QStringLiteral("State"),         QStringLiteral("ZIP"),
        QStringLiteral("Country"),     QStringLiteral("Email"),         QStringLiteral("WebPage"),
        QStringLiteral("Notes")};
    return columns;
}

QString contactQuery(const QString& id) {
    return QStringLiteral("select * from Employees where ID=") + id;
}

QString contactProjectsQuery(const QString& id) {
    return QStringLiteral("select * from [Open Projects] where [Owner]=") + id;
}

QString contactTasksQuery(const QString& id) {
    return QStringLiteral("select * from [Open Tasks] where [AssignedID]=") + id;
}

namespace {
// Box numbers (1-based) in the column order of the statements.
constexpr int statementOrder[contactFieldCount] = {1, 2, 14, 4, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16};

QString field(const QStringList& fields, int box) {
    return doubled(fields.value(box - 1));
}
} // namespace

QString insertContact(const QStringList& fields) {
    QStringList values;
    for (int box : statementOrder)
        values << field(fields, box);
    return QStringLiteral("insert into Employees ([FirstName],[LastName],[Email],Company,[JobTitle],[BusinessPhone],"
                          "[HomePhone],[MobilePhone],[FaxNumber],Address,City,State,ZIP,Country,[WebPage],Notes) "
                          "values ('") +
           values.join(QStringLiteral("','")) + QStringLiteral("')");
}

QString updateContact(const QStringList& fields, const QString& id) {
    static const char* const parts[contactFieldCount] = {"update Employees set [FirstName]='",
                                                         "',[LastName]='",
                                                         "',[Email]='",
                                                         "',Company='",
                                                         "',[JobTitle]='",
                                                         "',[BusinessPhone]='",
                                                         "',[HomePhone]='",
                                                         "',[MobilePhone]='",
                                                         "',[FaxNumber]='",
                                                         "',Address='",
                                                         "',City='",
                                                         "',State='",
                                                         "',ZIP='",
                                                         "',Country='",
                                                         "',[WebPage]='",
                                                         "',Notes='"};
    QString statement;
    for (int i = 0; i < contactFieldCount; ++i)
        statement += QLatin1String(parts[i]) + field(fields, statementOrder[i]);
    return statement + QStringLiteral("' where ID=") + id;
}

} // namespace EditorSql
