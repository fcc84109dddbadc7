// One calendar sync without a window, for scripts and timers: --sync [--calendar URL].
#pragma once

#include <QString>

namespace SyncCommandLine {

// Syncs the configured account's task lists (or the one task list `calendar`, with the projects
// `project` names: an ID or "all"), prints what moved, and returns 0; 1 when the server could not
// be reached or refused something (printed on standard error), 2 when there is nothing to sync with.
int run(const QString& calendar, const QString& project);

} // namespace SyncCommandLine
