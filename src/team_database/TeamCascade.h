// A delete that takes other rows with it: the entry (or contact), then the projects that carry it.
#pragma once

#include <QString>

class ErrorTrap;

namespace TeamCascade {

// Runs the two statements as steps 3 and 4 of the trap. On a team database they are one
// transaction: both take effect or neither (a failure is reported once, at step 3).
void run(ErrorTrap& trap, const QString& deleteEntry, const QString& deleteProjects);

} // namespace TeamCascade
