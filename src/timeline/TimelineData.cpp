#include "TimelineData.h"

#include "app/Database.h"
#include "main_window/RecordListModel.h"

namespace Timeline {

namespace {

// The project list's columns that the timeline reads.
enum ProjectColumn { Id = 0, Name = 1, Owner = 2, Category = 3, Priority = 4, Status = 5, Start = 6, End = 7 };

const QString& taskColumns() {
    static const QString text =
        QStringLiteral("select ID,ProjectID,Title,AssignedTo,Status,Priority,PercentComplete,StartDate,DueDate "
                       "from [Open Tasks]");
    return text;
}

std::vector<Item> readTasks(const QString& statement) {
    std::vector<Item> tasks;
    ResultSet rs = Database::shared().query(statement);
    while (!rs.eof()) {
        // rawText gives the empty text for a missing value: such a row is shown without a bar.
        TaskCells cells{rs.rawText(0), rs.rawText(1), rs.rawText(2), rs.rawText(3), rs.rawText(4),
                        rs.rawText(5), rs.rawText(6), rs.rawText(7), rs.rawText(8)};
        tasks.push_back(taskItem(cells));
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
        ProjectCells cells{list.rawCell(r, Id),       list.rawCell(r, Name),     list.rawCell(r, Owner),
                           list.rawCell(r, Category), list.rawCell(r, Priority), list.rawCell(r, Status),
                           list.rawCell(r, Start),    list.rawCell(r, End)};
        projects.push_back(projectItem(cells));
    }
    return projects;
}

std::vector<Item> readAllTasks() {
    return readTasks(taskColumns());
}

std::vector<Item> readTasksOf(qint64 projectId) {
    return readTasks(taskColumns() + QStringLiteral(" where ProjectID=") + QString::number(projectId));
}

Data load(const RecordListModel& list) {
    Data data;
    data.projects = projectsFromList(list);
    attachTasks(data, readAllTasks());
    return data;
}

} // namespace Timeline
