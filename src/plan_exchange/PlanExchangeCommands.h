// File -> Import Plan, File -> Export Plan and File -> Export Calendar (.ics): other planners'
// files and calendars in and out of the database.
#pragma once

class PlannerWindow;

namespace PlanExchange {

void install(PlannerWindow& planner);
// The commands, for tests.
void importPlan(PlannerWindow& planner);
void exportPlan(PlannerWindow& planner, bool calendar = false); // calendar: an .ics file is suggested

} // namespace PlanExchange
