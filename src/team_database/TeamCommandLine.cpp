#include "TeamCommandLine.h"

#include "TeamCopy.h"
#include "TeamSchema.h"
#include "app/DataStore.h"
#include "app/DatabaseChoice.h"
#include "app/DbError.h"
#include "app/TerminalMessages.h"

#include <cstdio>

namespace TeamCommandLine {

void chooseDatabase(const QString& fromCommandLine) {
    DatabaseChoice::setFromCommandLine(fromCommandLine);
}

int createSchema(const QString& fromCommandLine) {
    chooseDatabase(fromCommandLine);
    const QString target = DatabaseChoice::configuredTeamDatabase();
    if (target.isEmpty()) {
        std::fputs("--create-schema needs a team database: give --database <uri> or set FENNICK_DATABASE.\n", stderr);
        return 2;
    }
    TerminalMessages terminal; // asks for the password the server wants, if none is stored
    try {
        TeamSchema::create(target);
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", e.description().toLocal8Bit().constData());
        return 1;
    }
    std::fputs("The Fennick Planner tables were created.\n", stdout);
    return 0;
}

int copy(const QString& fromCommandLine, const QString& localFile) {
    chooseDatabase(fromCommandLine);
    const QString target = DatabaseChoice::configuredTeamDatabase();
    if (target.isEmpty()) {
        std::fputs("Copying needs a team database: give --database <uri> or set FENNICK_DATABASE.\n", stderr);
        return 2;
    }
    TerminalMessages terminal;
    int shown = -1;
    const TeamCopy::Progress progress = [&shown](qint64 done, qint64 total) {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
        if (percent != shown) {
            shown = percent;
            const int filled = percent * 40 / 100;
            std::fprintf(stdout, "\rCopying [%s%s] %3d%%", QByteArray(filled, '#').constData(),
                         QByteArray(40 - filled, ' ').constData(), percent);
            std::fflush(stdout);
        }
        return true;
    };
    try {
        if (localFile.isEmpty()) {
            DataStore::makeCompanyFolder();
            DataStore::makeDataFolder();
            DataStore::copyTemplateIfMissing();
            TeamCopy::localToTeam(DataStore::workingDatabase(), target, progress);
        } else {
            TeamCopy::teamToLocal(target, localFile, progress);
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "\n%s\n", e.description().toLocal8Bit().constData());
        return 1;
    }
    std::fputs("\nDone.\n", stdout);
    return 0;
}

} // namespace TeamCommandLine
