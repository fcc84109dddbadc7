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
    // --import FILE: a plan file imported as a new project; --export FILE with --project ID (or
    // "all"): written by the file's suffix.
    QString importPlan;
    QString exportPlan;
    QString project;
    // --events-as-tasks: an imported calendar's events become tasks too.
    bool eventsAsTasks = false;
    // --sync: one calendar sync without a window; --calendar URL: the task list of that run.
    bool sync = false;
    QString calendar;

    // -platform, -style and the window system's options: given to Qt as they are.
    QStringList qtOptions;

    // Reads the arguments (the first is the program's own name). Qt's own options are set apart
    // first, so that they reach the application object and not the program's parser.
    static CommandLine parse(const QStringList& arguments);
    // Whether the window would have nowhere to appear: no display in the environment and no
    // platform chosen (the window system would end the program with an abort).
    static bool windowHasNoDisplay(const CommandLine& options);
};
