#include "TimelineData.h"

#include "app/Database.h"
#include "main_window/RecordListModel.h"

#include <algorithm>

namespace Timeline {

namespace {

// The project list's columns that the timeline reads.
enum ProjectColumn { Id = 0, Name = 1, Owner = 2, Category = 3, Priority = 4, Status = 5, Start = 6, End = 7 };

const QString& taskColumns() {
    static const QString text =
        QStringLiteral("select ID,ProjectID,Title,AssignedTo,Status,Priority,PercentComplete,StartDate,DueDate "
                       "from Tasks");
    return text;
}

// The contacts' shown names by ID, as the stored queries give them (first name, one blank, last
// name; a missing half as empty text).
QHash<qint64, QString> contactNames() {
    QHash<qint64, QString> names;
    ResultSet rs = Database::shared().query(QStringLiteral("select ID,FirstName,LastName from Employees"));
    while (!rs.eof()) {
        names.insert(rs.value(0).toLongLong(), rs.rawText(1) + QLatin1Char(' ') + rs.rawText(2));
        rs.moveNext();
    }
    rs.close();
    return names;
}

QDate dateOf(const QString& text, QString* keep) {
    const QDate date = parseStoredDate(text);
    if (!date.isValid())
        *keep = text; // shown in the tooltip as it is
    return date;
}

// A stored date read without making a text first when it is a plain yyyy-MM-dd; any other form
// is read from its text as dateOf() reads it.
QDate dateOf(const ResultSet& rs, int column, QString* keep) {
    const RawValue v = rs.raw(column);
    if (v.type == RawValue::Type::Text && v.size == 10 && v.text[4] == '-' && v.text[7] == '-') {
        int parts[3] = {0, 0, 0};
        const int from[3] = {0, 5, 8}, length[3] = {4, 2, 2};
        bool digits = true;
        for (int p = 0; p < 3 && digits; ++p)
            for (int i = from[p]; i < from[p] + length[p] && digits; ++i) {
                digits = v.text[i] >= '0' && v.text[i] <= '9';
                parts[p] = parts[p] * 10 + (v.text[i] - '0');
            }
        if (digits && QDate::isValid(parts[0], parts[1], parts[2]))
            return QDate(parts[0], parts[1], parts[2]);
    }
    return dateOf(rs.rawText(column), keep);
}

std::vector<Item> readTasks(const QString& statement, const QString& countStatement) {
    const QHash<qint64, QString> names = contactNames();
    std::vector<Item> tasks;
    {
        // Room for every task at once: growing the list would move each task several times.
        ResultSet count = Database::shared().query(countStatement);
        if (!count.eof())
            tasks.reserve(static_cast<size_t>(std::max<qint64>(0, count.value(0).toLongLong())));
    }
    ResultSet rs = Database::shared().query(statement);
    while (!rs.eof()) {
        // A missing value reads as empty text or 0: such a row is shown without a bar.
        Item& item = tasks.emplace_back();
        item.isTask = true;
        item.id = rs.value(0).toLongLong();
        item.projectId = rs.value(1).toLongLong();
        item.name = rs.rawText(2);
        item.who = names.value(rs.value(3).toLongLong());
        item.status = rs.rawText(4);
        item.priority = rs.rawText(5);
        item.percent = rs.value(6).toDouble();
        item.start = dateOf(rs, 7, &item.startText);
        item.end = dateOf(rs, 8, &item.endText);
        rs.moveNext();
    }
    rs.close();
    return tasks;
}

} // namespace

std::vector<Item> projectsFromList(const RecordListModel& list) {
    std::vector<Item> projects;
    const int count = list.rowCount();
    projects.reserve(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r) {
        Item& item = projects.emplace_back();
        item.id = list.rawCell(r, Id).toLongLong();
        item.projectId = item.id;
        item.name = list.rawCell(r, Name);
        item.who = list.rawCell(r, Owner);
        item.category = list.rawCell(r, Category);
        item.priority = list.rawCell(r, Priority);
        item.status = list.rawCell(r, Status);
        // Dates the list keeps as days need no reading; others are read from their text.
        item.start = list.cellDate(r, Start);
        if (!item.start.isValid())
            item.start = dateOf(list.rawCell(r, Start), &item.startText);
        item.end = list.cellDate(r, End);
        if (!item.end.isValid())
            item.end = dateOf(list.rawCell(r, End), &item.endText);
    }
    return projects;
}

std::vector<Item> readAllTasks() {
    return readTasks(taskColumns(), QStringLiteral("select count(*) from Tasks"));
}

std::vector<Item> readTasksOf(qint64 projectId) {
    const QString where = QStringLiteral(" where ProjectID=") + QString::number(projectId);
    return readTasks(taskColumns() + where, QStringLiteral("select count(*) from Tasks") + where);
}

Data load(const RecordListModel& list) {
    Data data;
    data.projects = projectsFromList(list);
    attachTasks(data, readAllTasks());
    return data;
}

} // namespace Timeline
