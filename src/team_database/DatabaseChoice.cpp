#include "DatabaseChoice.h"

#include "app/DataStore.h"
#include "app/Database.h"
#include "app/Settings.h"

namespace DatabaseChoice {

namespace {
QString g_commandLine;
} // namespace

void setFromCommandLine(const QString& target) {
    g_commandLine = target.trimmed();
}

QString configuredTeamDatabase() {
    if (!g_commandLine.isEmpty())
        return g_commandLine;
    const QString fromEnvironment = qEnvironmentVariable("FENNICK_DATABASE").trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return Settings::read(QStringLiteral("Database"), QString()).trimmed();
}

QString chosen() {
    const QString team = configuredTeamDatabase();
    return team.isEmpty() ? DataStore::workingDatabase() : team;
}

QString windowTitle(const QString& programTitle) {
    const Database& db = Database::shared();
    if (!db.isTeam())
        return programTitle;
    return programTitle + QStringLiteral(" - ") + db.describe();
}

} // namespace DatabaseChoice
