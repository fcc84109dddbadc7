// Fennick Planner: the composition root. It registers the kinds of database and the features,
// builds the main window, and runs the start-up; the main window is the program.
#include "Composition.h"
#include "app/Backends.h"
#include "app/CommandLine.h"
#include "app/Messages.h"
#include "app/SqliteConnection.h"
#include "app/widgets/Appearance.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/QtMessages.h"
#include "calendar_sync/SyncCommandLine.h"
#include "calendar_sync/widgets/CalendarSyncCommands.h"
#include "csv_exchange/widgets/CsvCommands.h"
#include "find_filter/widgets/ListFilter.h"
#include "help/HelpCommands.h"
#include "history/HistoryCommands.h"
#include "history/HistoryPlan.h"
#include "live_lists/LiveLists.h"
#include "main_window/Form1.h"
#include "main_window/SessionEnd.h"
#include "main_window/StartupProbe.h"
#include "plan_exchange/PlanExchangeCommands.h"
#include "plan_files/PlanCommandLine.h"
#include "reminders/widgets/ReminderCommands.h"
#include "task_links/TaskLinksCommands.h"
#include "team_database/PgConnection.h"
#include "team_database/TeamCommandLine.h"
#include "team_database/widgets/TeamCommands.h"
#include "timeline/TimelineCommands.h"
#include "working_calendar/WorkingCalendarCommands.h"

#include <QApplication>

#include <cstdio>

namespace Composition {

void compose() {
    // Asked in this order: a libpq connection string or URI names a team database, anything
    // else a local file.
    Backends::add({QStringLiteral("PostgreSQL"), PgConnection::recognises,
                   [](const QString& target) {
                       auto team = std::make_unique<PgConnection>(target);
                       team->openReaderSoon(); // while the window is made, for the first list
                       return team;
                   },
                   true});
    Backends::add({QStringLiteral("SQLite"), [](const QString&) { return true; },
                   [](const QString& target) { return std::make_unique<SqliteConnection>(target); }, false});

    // Restores and undos put the dates they bring back through the scheduler.
    History::setFollowUp(HistoryPlan::follow);

    // The main window's features, each installed through its port when the window is built.
    Features::add(QStringLiteral("csv_exchange"), CsvCommands::install);
    Features::add(QStringLiteral("help"), Help::install);
    Features::add(QStringLiteral("timeline"), Timeline::install);
    Features::add(QStringLiteral("find_filter"), FindFilter::install);
    Features::add(QStringLiteral("team_database"), TeamCommands::install);
    Features::add(QStringLiteral("live_lists"), LiveLists::install);
    Features::add(QStringLiteral("task_links"), TaskLinks::install);
    Features::add(QStringLiteral("working_calendar"), WorkingCalendar::install);
    Features::add(QStringLiteral("plan_exchange"), PlanExchange::install);
    Features::add(QStringLiteral("history"), HistoryCommands::install);
    Features::add(QStringLiteral("reminders"), Reminders::install);
    Features::add(QStringLiteral("calendar_sync"), CalendarSyncCommands::install);
}

} // namespace Composition

#ifndef FENNICK_COMPOSITION_ONLY
int main(int argc, char** argv) {
    Composition::compose();
    QApplication::setApplicationName(QStringLiteral("Fennick Planner"));
    QApplication::setApplicationVersion(QStringLiteral(FENNICK_VERSION));
    // Lets the desktop match the program's windows to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnwick.FennickPlanner"));

    // The options are read before any window system is reached: --help and --version work
    // without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine options = CommandLine::parse(arguments);
    if (options.exitNow) {
        std::fputs(options.output.toLocal8Bit().constData(), options.exitCode == 0 ? stdout : stderr);
        return options.exitCode;
    }

    if (options.createSchema)
        return TeamCommandLine::createSchema(options.database);
    if (options.copyToTeam || !options.copyToLocal.isEmpty()) {
        QCoreApplication console(argc, argv); // the program folder holds the empty template
        return TeamCommandLine::copy(options.database, options.copyToLocal);
    }
    TeamCommandLine::chooseDatabase(options.database);
    if (!options.importPlan.isEmpty() || !options.exportPlan.isEmpty()) {
        QCoreApplication console(argc, argv); // the program folder holds the empty template
        return options.importPlan.isEmpty() ? PlanCommandLine::exportPlan(options.exportPlan, options.project)
                                            : PlanCommandLine::importPlan(options.importPlan, options.eventsAsTasks);
    }
    if (options.sync) {
        QCoreApplication console(argc, argv);
        return SyncCommandLine::run(options.calendar, options.project);
    }
    if (CommandLine::windowHasNoDisplay(options)) {
        std::fputs("fennick-planner: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is "
                   "set). Start it in a desktop session, or over ssh -X.\n",
                   stderr);
        return 1;
    }

    // Qt's own options (-platform, -style...) are still in argv: the application takes them here.
    QApplication app(argc, argv);
    QApplication::setWindowIcon(Appearance::programIcon());

    QtMessages messages;
    Messages::install(&messages);

    Form1 form;
    SessionEnd sessionEnd(form);
    StartupProbe::install(&form);
    form.Form_Load();
    if (sessionEnd.ending())
        form.Form_QueryUnload(); // told to end during start-up
    if (form.programEnded() || sessionEnd.ending())
        return 0;
    form.show();
    const int code = QApplication::exec();
    Messages::install(nullptr);
    return code;
}
#endif
