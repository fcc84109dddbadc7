// View → Working Days...: the database's working calendar.
#pragma once

class PlannerWindow;

namespace WorkingCalendar {
void install(PlannerWindow& planner);
} // namespace WorkingCalendar
