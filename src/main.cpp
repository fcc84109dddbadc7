// Fennick Planner: the main window is the program.
#include "app/CommandLine.h"
#include "app/Messages.h"
#include "app/widgets/Appearance.h"
#include "app/widgets/QtMessages.h"
#include "main_window/Form1.h"
#include "main_window/SessionEnd.h"
#include "main_window/StartupProbe.h"
#include "team_database/TeamCommandLine.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
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
