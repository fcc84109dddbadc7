#include "ComponentCheck.h"

#include "DataStore.h"
#include "ErrorTrap.h"
#include "Messages.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>

#include <cerrno>

namespace {

// The dialogue ignores every failure: the step is skipped and the next one runs.
template <typename F> void quietly(F&& body) {
    try {
        body();
    } catch (...) {
    }
}

// A path as one word of a command text: in double quotes, a quote inside written three times.
QString quotedPath(QString path) {
    path.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + path + QLatin1Char('"');
}

// Why a program could not be started, as the system's error number.
qint32 startErrorNumber(const QString& program) {
    if (program.isEmpty())
        return EINVAL;
    const QString path = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
    const QFileInfo file(path);
    if (path.isEmpty() || !file.exists())
        return ENOENT;
    if (file.isDir() || !file.isExecutable())
        return EACCES;
    // The file is there and may be run, so the system refused its format.
    return ENOEXEC;
}

} // namespace

namespace ComponentCheck {

bool componentsUsable() {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return false;
    const QString name = QStringLiteral("fennick-component-check");
    bool usable = false;
    {
        const QSqlDatabase connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        if (connection.isValid() && connection.driver()) {
            const QSqlQuery query(connection);
            usable = query.driver() != nullptr;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return usable;
}

QString repairQuestion() {
    return QStringLiteral("Error #193: ADO is not properly installed on this computer. \n"
                          "You need to have it installed to use this software without error.\n\n"
                          "Would you like to repair it now?");
}

QString restartQuestion() {
    return QStringLiteral("ADO is fixed on this computer. \n"
                          "You need to restart your computer and software.\n\n"
                          "Would you like to stop software now?");
}

QString knowledgeBaseAddress() {
    return QStringLiteral("https://support.microsoft.com/kb/2640696");
}

QString manualRepairNotice() {
    return QStringLiteral("Please check for MDAC installation.\n\nPlease check this: ") + knowledgeBaseAddress() +
           QStringLiteral(" and look for 'How to obtain this update' section and download the appropriate update."
                          "\n\nPlease email ") +
           ErrorTrap::supportAddress() +
           QStringLiteral(" with a screenshot of this message if you have any questions.");
}

QString packageName(const QString& processorWidth) {
    return processorWidth == QLatin1String("64") ? QStringLiteral("ADOFix64.msu") : QStringLiteral("ADOFix86.msu");
}

Outcome run(const Services& services) {
    Outcome outcome = Outcome::Continue;
    quietly([&] {
        bool usable = false;
        quietly([&] { usable = services.componentsUsable ? services.componentsUsable() : componentsUsable(); });
        if (usable)
            return;

        if (!Messages::current().ask(repairQuestion())) {
            quietly([] { Messages::current().notice(manualRepairNotice()); });
            return;
        }

        // A failing width query leaves the width empty: the 32-bit package is chosen.
        QString width;
        quietly([&] { width = services.processorWidth ? services.processorWidth() : Main::GetProcessorWidth(); });
        const QString package = DataStore::programFile(packageName(width));
        if (!DataStore::fileExists(package))
            return;

        // The package's result is not examined: whether it ran or not, the restart is offered.
        quietly([&] {
            const QString command = quotedPath(package);
            if (services.startAndWait)
                services.startAndWait(command, 0);
            else
                Shell32::ShellAndWait(command, 0);
        });

        if (Messages::current().ask(restartQuestion()))
            outcome = Outcome::Stop;
    });
    return outcome;
}

} // namespace ComponentCheck

namespace Main {

QString GetProcessorWidth() {
    // The system's width, not only this program's: a 32-bit build may run on a 64-bit system.
    const QString arch = QSysInfo::currentCpuArchitecture();
    const bool wide = arch.endsWith(QLatin1String("64")) || arch == QLatin1String("s390x") ||
                      arch == QLatin1String("sparcv9") || QSysInfo::WordSize == 64;
    return wide ? QStringLiteral("64") : QStringLiteral("32");
}

} // namespace Main

namespace Shell32 {

int windowStyle(std::optional<int> requested) {
    if (!requested || *requested < 0 || *requested > 6)
        return 6;
    return *requested;
}

qint32 ShellAndWait(const QString& command, std::optional<int> requestedStyle) {
    const int style = windowStyle(requestedStyle);
    QStringList arguments = QProcess::splitCommand(command);
    const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
    if (program.isEmpty())
        return startErrorNumber(program) + objectErrorBase;

    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    // Programs here have no window of their own to hide: a hidden start keeps the output out of
    // sight, every other style lets it through to where this program's output goes.
    if (style == 0) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    } else {
        process.setProcessChannelMode(QProcess::ForwardedChannels);
    }
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        return startErrorNumber(program) + objectErrorBase;

    // The state is read before the events are processed and the pause follows, so even a program
    // that has already ended costs one pause.
    bool running = true;
    while (running) {
        running = process.state() != QProcess::NotRunning;
        QCoreApplication::processEvents();
        QThread::msleep(100);
        // The end of the program is noticed through the event loop or this non-blocking look.
        if (running)
            process.waitForFinished(0);
    }
    if (process.exitStatus() == QProcess::CrashExit)
        return 128 + process.exitCode();
    return process.exitCode();
}

} // namespace Shell32
