#include "DatabaseChoice.h"

#include "DataStore.h"
#include "Database.h"
#include "Settings.h"

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
    const QString name = Database::shared().titleName();
    if (name.isEmpty())
        return programTitle;
    return programTitle + QStringLiteral(" - ") + name;
}

} // namespace DatabaseChoice
