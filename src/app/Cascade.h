// A delete that takes other rows with it: the entry (or contact), then the projects that carry it.
// Both statements are one transaction on every kind of database: both take effect or neither.
#pragma once

#include <QString>

class ErrorTrap;

namespace Cascade {

// Runs the two statements as steps 3 and 4 of the trap, in one transaction: a failure of the
// first is reported at step 3, of the second at step 4, and then neither has taken effect.
void run(ErrorTrap& trap, const QString& deleteEntry, const QString& deleteProjects);

} // namespace Cascade
