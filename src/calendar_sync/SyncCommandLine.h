// One calendar sync without a window, for scripts and timers: --sync [--calendar URL].
#pragma once

#include <QString>

namespace SyncCommandLine {

// How a run ends, for scripts (listed by --help and the man page).
enum Exit {
    Synced = 0,        // everything moved; nothing is left to decide
    Failed = 1,        // the server could not be reached or refused something, or the database failed
    Usage = 2,         // a wrong option, or no account to sync with
    NoSuchProject = 3, // --project names a project that is not in the database
    NoProjects = 4,    // the database has no project to sync
    Conflicts = 5,     // tasks changed on both sides wait for the user's choice (in the window)
    NotTaskList = 6,   // the URL is no task list: nothing was written
};

// Syncs the configured account's task lists (or the one task list `calendar`, with the projects
// `project` names: an ID or "all"), prints what moved, and returns one of Exit.
int run(const QString& calendar, const QString& project);

} // namespace SyncCommandLine
