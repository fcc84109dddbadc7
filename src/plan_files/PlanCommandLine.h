// Plans in and out without a window, for scripts: --import and --export.
#pragma once

#include <QString>

namespace PlanCommandLine {

// Imports the file as a new project in the chosen database and prints its ID; a plain message
// on standard error and 1 when it cannot. eventsAsTasks: an iCalendar file's events too.
int importPlan(const QString& path, bool eventsAsTasks = false);
// Writes the project (an ID, or "all") to the file by its suffix: .xml, .gan, .ics or .csv (its
// tasks).
int exportPlan(const QString& path, const QString& project);

} // namespace PlanCommandLine
