// Edit → Undo / Redo, Edit → History of Selected Project / Task, File → Recently Deleted, the
// history of a task from other windows, and the retention of the history in the background.
#pragma once

class PlannerWindow;

namespace HistoryCommands {
void install(PlannerWindow& planner);
} // namespace HistoryCommands
