#include "TeamCascade.h"

#include "app/Database.h"
#include "app/ErrorTrap.h"

namespace TeamCascade {

void run(ErrorTrap& trap, const QString& deleteEntry, const QString& deleteProjects) {
    Database& db = Database::shared();
    if (db.isTeam()) {
        trap.step(3, [&] {
            db.transaction([&] {
                db.execute(deleteEntry);
                db.execute(deleteProjects);
            });
        });
        return;
    }
    trap.step(3, [&] { db.execute(deleteEntry); });
    trap.step(4, [&] { db.execute(deleteProjects); });
}

} // namespace TeamCascade
