// The statement texts of the three editors and their value lists, built from plain values.
// Texts are quoted here; numbers arrive already in SQL form (NumericText::toSql) and record
// identifiers as decimal text.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace EditorSql {

// ---- value lists

enum class ValueList { Status, Categories, Priorities };

// "select * from Status order by Status" and its kin.
QString listQuery(ValueList list);
// The column that holds the list's texts.
QString listColumn(ValueList list);
QString insertValue(ValueList list, const QString& value);
QString deleteValue(ValueList list, const QString& value);
// The projects that carry the value go with it.
QString deleteProjectsWithValue(ValueList list, const QString& value);

// Contacts in the order of their shown names. Besides the shown name the query returns both
// halves, so that a contact with a missing half can still be given an entry.
QString contactsQuery();
// The entry text of a contact: the shown name, or what there is of it when a half is missing.
QString contactEntryText(const QVariant& shownName, const QVariant& firstName, const QVariant& lastName);
QString deleteContact(qint64 id);
QString deleteProjectsOwnedBy(qint64 id);

// ---- projects

struct ProjectValues {
    QString name;
    qint64 owner = 0;
    QDate startDate;
    QString status;
    QString category;
    QString priority;
    QString notes;
    QDate endDate;
    QString budgetInDays; // SQL number text
    QString budget;       // SQL number text
};
QString projectQuery(const QString& id);
QString insertProject(const ProjectValues& v);
QString updateProject(const ProjectValues& v, const QString& id);

// ---- tasks

struct TaskValues {
    QString projectId;
    QString title;
    QString priority;
    QString status;
    QString cost;            // SQL number text
    QString costInDays;      // SQL number text
    QString percentComplete; // SQL number text
    qint64 assignedTo = 0;
    QString description;
    QDate startDate;
    QDate dueDate;
};
QString taskQuery(const QString& id);
QString insertTask(const TaskValues& v);
// A missing date (a summary task's span that no subtask gives) is written as missing.
QString updateTask(const TaskValues& v, const QString& id);
// What the plan says of a task: its parent, and how many subtasks and links it has.
QString taskPlanQuery(const QString& id);

// ---- contacts

// The sixteen fields of a contact in the order of the editor's boxes Text1 to Text16.
inline constexpr int contactFieldCount = 16;
// The Employees column of each box, Text1 first.
const QStringList& contactColumns();
QString contactQuery(const QString& id);
QString contactProjectsQuery(const QString& id);
QString contactTasksQuery(const QString& id);
// fields: the sixteen box texts, Text1 first.
QString insertContact(const QStringList& fields);
QString updateContact(const QStringList& fields, const QString& id);

} // namespace EditorSql
