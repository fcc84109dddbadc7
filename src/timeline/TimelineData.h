// Where the timeline's items come from: the projects from the project list as it stands (its
// order and filter), the tasks from one query over all listed tasks.
#pragma once

#include "TimelineRows.h"

class RecordListModel;

namespace Timeline {

// The projects of the project list, in its current order.
std::vector<Item> projectsFromList(const RecordListModel& list);
// Every task, read with one query on the shared connection. Throws DbError.
std::vector<Item> readAllTasks();
// The tasks of one project. Throws DbError.
std::vector<Item> readTasksOf(qint64 projectId);
// Whether the database holds any link between tasks.
bool anyLinks();
// The links between tasks (none when the database keeps no plan): all, or a project's.
std::vector<PlanLink> readAllLinks();
std::vector<PlanLink> readLinksOf(qint64 projectId);
// The projects of the list with all their tasks and the working calendar.
Data load(const RecordListModel& list);

} // namespace Timeline
