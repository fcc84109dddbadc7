// What the timeline shows, free of widgets: one item per project and task with the dates read
// leniently, the rows that the expanded projects give, and the keys the colours stand for.
#pragma once

#include "scheduling/Plan.h"
#include "scheduling/WorkCalendar.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

#include <vector>

namespace Timeline {

// A stored date (yyyy-MM-dd, possibly followed by a time); an invalid date when the text is
// missing or cannot be read.
QDate parseStoredDate(const QString& raw);

struct Item {
    qint64 id = 0;
    qint64 projectId = 0; // a project's own ID for a project
    bool isTask = false;
    QString name;
    QString who; // owner of a project, assignee of a task
    QString status;
    QString priority;
    QString category;  // a task's is its project's
    QString startText; // the stored texts, shown when they cannot be read
    QString endText;
    QDate start;
    QDate end; // end date of a project, due date of a task
    double percent = 0;

    // The plan, for tasks of a database that keeps one.
    qint64 parentId = 0;
    qint64 order = 0; // the place among its siblings (0: none)
    bool milestone = false;
    bool atDayStart = false;  // a milestone that stands at the start of its day, not at its end
    QDate startNoEarlierThan; // what the user gave a linked task
    bool summary = false;     // has tasks under it: its dates span theirs
    int depth = 0;            // how many tasks it lies under
    // From the project's schedule, once worked out (only projects with links have one).
    bool scheduled = false;
    bool critical = false;
    int slack = 0; // working days

    // A project's bar spans its plan: `start` and `end` are the first and last day of its tasks
    // where any has readable dates; its own Start and End Date are kept here, as stored.
    bool spansPlan = false;
    bool ownRead = false; // ownStart and ownEnd taken from start and end
    QDate ownStart, ownEnd;
    // A project whose End Date is not the end of its plan.
    bool endDiffers() const { return spansPlan && ownEnd != end; }

    // Rows with a missing or unreadable date are listed without a bar.
    bool hasBar() const { return start.isValid() && end.isValid(); }
    // An end before the start: drawn as a point at the start and marked.
    bool reversed() const { return hasBar() && end < start; }
    // A task past its due date and not complete.
    bool overdue(QDate today) const { return isTask && end.isValid() && end < today && percent < 100; }
};

// The projects in list order, each with its tasks. The tasks lie in one list as they were read;
// `order` lists their positions project by project, so that grouping a hundred thousand tasks
// moves numbers, not tasks.
struct Data {
    std::vector<Item> projects;
    std::vector<Item> tasks;    // tasks of projects not listed are left out
    std::vector<int> order;     // positions in `tasks`, project by project, each in the plan's order
    std::vector<int> firstTask; // the tasks of project p: order[firstTask[p]] to order[firstTask[p + 1] - 1]

    // The links between tasks, read project by project as the projects come into view: those
    // read, by project ID (a project with none read has an empty list), and for each listed
    // project the links read with their ends' positions in `tasks`.
    struct ProjectLinks {
        std::vector<PlanLink> links;
        std::vector<std::pair<int, int>> ends;
    };
    QHash<qint64, std::vector<PlanLink>> linksByProject;
    std::vector<ProjectLinks> projectLinks;
    bool mayHaveLinks = false; // the database holds links at all
    // The working calendar: non-working days are shaded; none for a database without a plan.
    std::optional<WorkCalendar> calendar;

    int linkCount(size_t project) const {
        return project < projectLinks.size() ? static_cast<int>(projectLinks[project].links.size()) : 0;
    }
    bool linksRead(size_t project) const { return !mayHaveLinks || linksByProject.contains(projects[project].id); }
    int taskCount(size_t project) const {
        return project + 1 < firstTask.size() ? firstTask[project + 1] - firstTask[project] : 0;
    }
    const Item& task(size_t project, int n) const {
        return tasks[static_cast<size_t>(order[static_cast<size_t>(firstTask[project] + n)])];
    }
    // Every task, for handing to attachTasks() again.
    std::vector<Item> takeTasks() {
        order.clear();
        firstTask.clear();
        projectLinks.clear();
        return std::move(tasks);
    }
};

// Hands every task to its project (tasks of projects not listed are left out), each project's
// tasks in the plan's own order (placedBefore); tasks under another follow it, each level in
// that order. The links read so far are handed to their projects too.
void attachTasks(Data& data, std::vector<Item> tasks);
// Sets each project's bar to the span of its tasks (see Item::spansPlan); attachTasks() does.
void spanPlans(Data& data);
// Replaces the tasks of one project (after the task list of that project was refilled); its
// links are to be read again.
void replaceTasks(Data& data, qint64 projectId, std::vector<Item> tasks);
// The links of one listed project, as read; and those of all projects at once.
void setProjectLinks(Data& data, size_t project, std::vector<PlanLink> links);
void setAllLinks(Data& data, const std::vector<PlanLink>& links);
// Works out the slack and the critical tasks of a project with links (read before), once. True
// when that found a task that breaks its links.
bool scheduleProject(Data& data, size_t project);

// One row of the chart: a project (task == -1) or one of its tasks.
struct Row {
    int project;
    int task;
};
// Each project followed by its tasks unless it is collapsed; with `criticalOnly`, only the
// critical tasks and the projects that have some.
std::vector<Row> buildRows(const Data& data, const QSet<qint64>& collapsed, bool criticalOnly = false);
// The row of each task (by its position in data.tasks), -1 for a task not shown.
std::vector<int> rowsOfTasks(const Data& data, const std::vector<Row>& rows);
const Item& itemOf(const Data& data, const Row& row);

// The earliest and latest readable date of all items (invalid dates when there is none).
std::pair<QDate, QDate> dateRange(const Data& data);

// What the colours stand for.
enum class ColourBy { Status, Priority, Category };
const QString& colourKey(const Item& item, ColourBy by);
// The keys that occur, in alphabetical order; each gets the colour of its position.
std::vector<QString> legendKeys(const Data& data, ColourBy by);

// The tooltip text: name, owner or assignee, dates, status and percent.
QString toolTip(const Item& item, QDate today);

} // namespace Timeline
