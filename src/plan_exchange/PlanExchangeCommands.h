// File -> Import Plan and File -> Export Plan: other planners' files in and out of the database.
#pragma once

class PlannerWindow;

namespace PlanExchange {

void install(PlannerWindow& planner);
// The commands, for tests.
void importPlan(PlannerWindow& planner);
void exportPlan(PlannerWindow& planner);

} // namespace PlanExchange
