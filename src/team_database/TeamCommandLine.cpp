#include "TeamCommandLine.h"

#include "DatabaseChoice.h"
#include "TeamSchema.h"
#include "app/DbError.h"

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
    try {
        TeamSchema::create(target);
    } catch (const DbError& e) {
        std::fprintf(stderr, "%s\n", e.description().toLocal8Bit().constData());
        return 1;
    }
    std::fputs("The Fennick Planner tables were created.\n", stdout);
    return 0;
}

} // namespace TeamCommandLine
