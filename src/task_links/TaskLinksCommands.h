// Edit → Task Links... for the task selected in the main window.
#pragma once

class PlannerWindow;

namespace TaskLinks {

// Adds the command to the Edit menu.
void install(PlannerWindow& planner);
// Opens the links of the selected task (a notice when no task is selected or the database has no
// planner tables); refills the task list when a link moved tasks.
void openForSelectedTask(PlannerWindow& planner);

} // namespace TaskLinks
