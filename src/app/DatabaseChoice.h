// Which database the program works on: a team database named by the command line, the
// environment or the settings (first found wins), otherwise the local file.
#pragma once

#include <QString>

namespace DatabaseChoice {

// The --database option of this run (empty: not given).
void setFromCommandLine(const QString& target);
// The team database configured, or the empty text for the local file.
QString configuredTeamDatabase();
// What start-up opens: the configured team database, or the local working database.
QString chosen();
// The window title for the database in use: the program's name, and for a team database its
// name and host ("Fennick Planner - fennick on db.example.org").
QString windowTitle(const QString& programTitle);

} // namespace DatabaseChoice
