// Reminders in the main window: the service that sends them, Edit → Task Reminder (also offered
// on a task in other windows) and Edit → Reminder Settings.
#pragma once

class PlannerWindow;

namespace Reminders {
void install(PlannerWindow& planner);
} // namespace Reminders
