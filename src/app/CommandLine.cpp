#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

// The options Qt's application objects read for themselves, with a value or without one. Qt
// takes them with one dash or two.
struct QtOption {
    const char* name;
    const char* value; // nullptr: a switch
    const char* help;
};
const QtOption qtOptionList[] = {
    {"platform", "name[:options]", "The window system plugin: xcb, wayland, offscreen..."},
    {"platformpluginpath", "path", "Where platform plugins are looked for."},
    {"platformtheme", "theme", "The platform theme."},
    {"plugin", "plugin", "An extra plugin to load (input devices)."},
    {"qwindowgeometry", "geometry", "The main window's geometry (WIDTHxHEIGHT+X+Y)."},
    {"qwindowtitle", "title", "The main window's title."},
    {"qwindowicon", "icon", "The main window's icon."},
    {"session", "session", "Restore the application from an earlier session."},
    {"style", "style", "The widget style: Fusion, Windows..."},
    {"stylesheet", "file", "A Qt style sheet for the windows."},
    {"display", "display", "The X display to use (xcb)."},
    {"geometry", "geometry", "Same as -qwindowgeometry (xcb)."},
    {"title", "title", "Same as -qwindowtitle (xcb)."},
    {"icon", "icon", "Same as -qwindowicon (xcb)."},
    {"name", "name", "The application's resource name (xcb)."},
    {"visual", "visual", "The X visual to use (xcb)."},
    {"qmljsdebugger", "options", "Qt's script debugger (given as -qmljsdebugger=options)."},
    {"reverse", nullptr, "Lay the windows out right to left."},
    {"widgetcount", nullptr, "Print how many widgets were made at the end."},
    {"sync", nullptr, "Run X calls synchronously (xcb)."},
    {"nograb", nullptr, "Never grab the mouse or keyboard (xcb)."},
    {"dograb", nullptr, "Grab even when run in a debugger (xcb)."},
};

// The Qt option an argument names ("-style", "--style", "-style=Fusion"), or nullptr.
const QtOption* qtOptionOf(const QString& argument, bool* valueIncluded) {
    if (!argument.startsWith(QLatin1Char('-')))
        return nullptr;
    // The program's own --sync (a calendar sync); X's synchronous calls stay -sync.
    if (argument == QLatin1String("--sync"))
        return nullptr;
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    *valueIncluded = equals >= 0;
    if (equals >= 0)
        name.truncate(equals);
    for (const QtOption& option : qtOptionList)
        if (name == QLatin1String(option.name) && (option.value || !*valueIncluded))
            return &option;
    return nullptr;
}

QString qtOptionsHelp() {
    QString text = QStringLiteral("\nQt's options (read by the window system before the program's own):\n");
    for (const QtOption& option : qtOptionList) {
        QString left = QStringLiteral("  -") + QLatin1String(option.name);
        if (option.value)
            left += QStringLiteral(" <%1>").arg(QLatin1String(option.value));
        text += left.leftJustified(34) + QLatin1Char(' ') + QLatin1String(option.help) + QLatin1Char('\n');
    }
    return text;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& allArguments) {
    CommandLine result;
    // Qt's options go to Qt: QCommandLineParser would read "-platform" as eight one-letter options.
    QStringList arguments;
    for (qsizetype i = 0; i < allArguments.size(); ++i) {
        const QString& argument = allArguments[i];
        if (argument == QLatin1String("--")) {
            arguments << allArguments.mid(i);
            break;
        }
        bool valueIncluded = false;
        const QtOption* option = i > 0 ? qtOptionOf(argument, &valueIncluded) : nullptr;
        if (!option) {
            arguments << argument;
            continue;
        }
        result.qtOptions << argument;
        if (option->value && !valueIncluded && i + 1 < allArguments.size())
            result.qtOptions << allArguments[++i];
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Fennick Planner keeps projects, their tasks and the contacts "
                                                    "who own projects or do tasks."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("Work on the team database <uri>, a PostgreSQL connection string or URI such as "
                       "postgresql://host/fennick or service=fennick. Without it: the environment variable "
                       "FENNICK_DATABASE, then the setting \"Database\", then the local file."),
        QStringLiteral("uri"));
    const QCommandLineOption createSchema(
        QStringLiteral("create-schema"),
        QStringLiteral("Create the program's tables in the empty team database named by --database (or "
                       "FENNICK_DATABASE), then end."));
    const QCommandLineOption copyToTeam(
        QStringLiteral("copy-to-team"),
        QStringLiteral("Copy the local database file into the empty team database named by --database, then end."));
    const QCommandLineOption copyToLocal(
        QStringLiteral("copy-to-local"),
        QStringLiteral("Copy the team database named by --database into the new local database <file>, then end."),
        QStringLiteral("file"));
    const QCommandLineOption importPlan(
        QStringLiteral("import"),
        QStringLiteral("Import the plan <file> (MS Project XML .xml, GanttProject .gan, GNOME Planner .planner, "
                       "iCalendar .ics) as a new project, print its ID, then end."),
        QStringLiteral("file"));
    const QCommandLineOption exportPlan(
        QStringLiteral("export"),
        QStringLiteral("Write the project given by --project as <file> (.xml MS Project XML, .gan GanttProject, "
                       ".ics iCalendar to-dos, .csv its tasks), then end."),
        QStringLiteral("file"));
    const QCommandLineOption project(QStringLiteral("project"),
                                     QStringLiteral("The project --export writes (or --sync syncs): its <id>, or all."),
                                     QStringLiteral("id"));
    parser.addOption(database);
    parser.addOption(createSchema);
    parser.addOption(copyToTeam);
    parser.addOption(copyToLocal);
    parser.addOption(importPlan);
    parser.addOption(exportPlan);
    parser.addOption(project);
    const QCommandLineOption eventsAsTasks(QStringLiteral("events-as-tasks"),
                                           QStringLiteral("With --import of an iCalendar file: its events become "
                                                          "tasks too."));
    parser.addOption(eventsAsTasks);
    const QCommandLineOption sync(QStringLiteral("sync"),
                                  QStringLiteral("Sync the projects with their task lists on the calendar server once, "
                                                 "print what moved, then end. Exit status: 0 synced, 1 the server "
                                                 "could not be reached or refused, or the database failed, 2 wrong "
                                                 "options or no account, 3 no such project, 4 the database has no "
                                                 "projects, 5 conflicts wait for a choice in the window, 6 the URL "
                                                 "is not a task list (nothing written)."));
    const QCommandLineOption calendar(
        QStringLiteral("calendar"),
        QStringLiteral("With --sync: the task list <url> (http://user@host/path/) to sync with in this run, with the "
                       "projects given by --project (else those that sync to it, else all)."),
        QStringLiteral("url"));
    parser.addOption(sync);
    parser.addOption(calendar);

    if (!parser.parse(arguments)) {
        result.exitNow = true;
        result.exitCode = 2;
        result.output = parser.errorText() + QStringLiteral("\n") +
                        QStringLiteral("Try '%1 --help' for the options.\n")
                            .arg(arguments.value(0, QStringLiteral("fennick-planner")));
        return result;
    }
    const bool helpAll = parser.isSet(QStringLiteral("help-all"));
    if (parser.isSet(help) || helpAll) {
        result.exitNow = true;
        result.output =
            parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("fennick-planner"));
        if (helpAll)
            result.output += qtOptionsHelp();
        return result;
    }
    if (parser.isSet(version)) {
        result.exitNow = true;
        result.output = QCoreApplication::applicationName() + QLatin1Char(' ') +
                        QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return result;
    }
    result.database = parser.value(database);
    result.createSchema = parser.isSet(createSchema);
    result.copyToTeam = parser.isSet(copyToTeam);
    result.copyToLocal = parser.value(copyToLocal);
    result.importPlan = parser.value(importPlan);
    result.exportPlan = parser.value(exportPlan);
    result.project = parser.value(project);
    result.eventsAsTasks = parser.isSet(eventsAsTasks);
    result.sync = parser.isSet(sync);
    result.calendar = parser.value(calendar);
    if (!parser.positionalArguments().isEmpty()) {
        result.exitNow = true;
        result.exitCode = 2;
        result.output = QStringLiteral("Unexpected argument: %1\n").arg(parser.positionalArguments().first());
    }
    return result;
}

bool CommandLine::windowHasNoDisplay(const CommandLine& options) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (const QString& option : options.qtOptions) {
        QString name = option.mid(option.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("platform") || name == QLatin1String("display"))
            return false;
    }
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (!qEnvironmentVariableIsEmpty(variable))
            return false;
    return true;
#else
    Q_UNUSED(options);
    return false;
#endif
}
