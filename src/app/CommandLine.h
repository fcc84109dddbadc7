// The program's command-line options. With no arguments the program starts as it always has;
// every option is listed by --help.
#pragma once

#include <QString>
#include <QStringList>

struct CommandLine {
    // Set when the options were handled by printing (--help, --version) or were wrong: the
    // program ends with exitCode without opening a window.
    bool exitNow = false;
    int exitCode = 0;
    // Text to print before ending: to standard output for a request, to standard error for a
    // mistake.
    QString output;

    // --database <uri>: the team database to open instead of the one configured (empty: none).
    QString database;
    // --create-schema: create the tables in the team database, then end.
    bool createSchema = false;
    // --copy-to-team: copy the local file into the (empty) team database, then end.
    bool copyToTeam = false;
    // --copy-to-local <file>: copy the team database into a new local file, then end.
    QString copyToLocal;

    // Reads the arguments (the first is the program's own name).
    static CommandLine parse(const QStringList& arguments);
};
