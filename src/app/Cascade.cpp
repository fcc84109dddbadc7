#include "Cascade.h"

#include "Database.h"
#include "ErrorTrap.h"

namespace Cascade {

void run(ErrorTrap& trap, const QString& deleteEntry, const QString& deleteProjects) {
    Database& db = Database::shared();
    int failedStep = 3;
    QString reason;
    try {
        db.transaction([&] {
            db.execute(deleteEntry);
            failedStep = 4;
            db.execute(deleteProjects);
        });
        return;
    } catch (const DbError& e) {
        reason = e.description();
    }
    // Reported after the rollback, at the step that failed.
    trap.step(failedStep, [&] { throw DbError(reason); });
}

} // namespace Cascade
