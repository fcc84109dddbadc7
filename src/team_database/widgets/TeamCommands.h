// The team database in the main window: the "Team Database..." command of the File menu, the
// copies between it and the local file, and the database and its state in the window title.
#pragma once

#include <QString>

class PlannerWindow;
class QTreeView;

namespace TeamCommands {

// Adds the commands and the title's state to the main window.
void install(PlannerWindow& planner);

// The "Team Database..." command: shows the database in use and asks for another one; an
// empty answer keeps the current one, "local" goes back to the local file.
void chooseDatabase(PlannerWindow& planner);
// Opens target (a team database, or the local file when empty) after testing the connection,
// then refills both lists and the title. The database in use stays when the test fails.
bool switchTo(PlannerWindow& planner, const QString& target);

// The copy commands: the local file into the team database in use (or one asked for), and the
// team database in use into a new local file; with a progress bar, all or nothing.
void copyLocalToTeam(PlannerWindow& planner);
void copyTeamToLocal(PlannerWindow& planner);

} // namespace TeamCommands
