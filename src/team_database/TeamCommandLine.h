// The team database options of the command line, run before any window exists.
#pragma once

#include <QString>

namespace TeamCommandLine {

// Remembers --database for start-up.
void chooseDatabase(const QString& fromCommandLine);
// --create-schema: creates the tables in the configured team database; prints what happened and
// gives the program's exit code.
int createSchema(const QString& fromCommandLine);
// --copy-to-team (localFile empty: the working database into the team database) and
// --copy-to-local <file>: prints the progress and gives the program's exit code.
int copy(const QString& fromCommandLine, const QString& localFile);

} // namespace TeamCommandLine
