#include "TeamCommands.h"

#include "app/ChangeFeed.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/DatabaseChoice.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/Settings.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"
#include "team_database/PgConnection.h"
#include "team_database/TeamCopy.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

#include <utility>

namespace TeamCommands {

namespace {

QString programTitle() {
    return QStringLiteral("Fennick Planner");
}

// Set on the window while others' changes cannot reach the database open in it.
constexpr const char* notLiveProperty = "teamChangesNotLive";

void showTitle(PlannerWindow& planner, bool unreachable = false) {
    QString title = DatabaseChoice::windowTitle(programTitle());
    if (unreachable)
        title += QStringLiteral(" (server unreachable, connecting again...)");
    else if (planner.property(notLiveProperty).toBool())
        title += QStringLiteral(" (others' changes not shown live)");
    planner.setTitle(title);
}

} // namespace

bool switchTo(PlannerWindow& planner, const QString& target) {
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("TeamDatabase"));
    if (target.isEmpty()) {
        if (!trap.step(2, [&] { Database::shared().open(DataStore::workingDatabase()); }))
            return false;
    } else {
        // Connect first: the database in use stays when the new one cannot be opened, and the
        // tested connection (with any password typed for it) becomes the one in use.
        std::unique_ptr<PgConnection> tested;
        if (!trap.step(1, [&] { tested = std::make_unique<PgConnection>(target); }))
            return false;
        Database::shared().adopt(target, std::move(tested));
    }
    // Remembered for the next start; a text that holds a password is never written.
    trap.step(3, [&] {
        if (!target.contains(QLatin1String("password"), Qt::CaseInsensitive))
            Settings::write(QStringLiteral("Database"), target);
    });
    showTitle(planner);
    planner.refillProjects();
    trap.step(4, [&planner] { planner.refillTasks(); });
    return true;
}

void chooseDatabase(PlannerWindow& planner) {
    const Database& db = Database::shared();
    const QString inUse = db.isShared() ? QStringLiteral("the team database %1").arg(db.describe())
                                        : QStringLiteral("the local file %1").arg(db.describe());
    const QString answer =
        Messages::current()
            .input(QStringLiteral("Team Database"),
                   QStringLiteral("In use: %1.\n\nTo connect to a team database, type its connection string (for "
                                  "example postgresql://server/fennick or service=fennick). Type \"local\" to go "
                                  "back to the local file.")
                       .arg(inUse))
            .trimmed();
    if (answer.isEmpty())
        return;
    if (answer.compare(QLatin1String("local"), Qt::CaseInsensitive) == 0) {
        switchTo(planner, QString());
        return;
    }
    if (!PgConnection::recognises(answer)) {
        Messages::current().notice(
            QStringLiteral("\"%1\" is not a team database connection string (postgresql://server/database or "
                           "key=value pairs such as service=fennick).")
                .arg(answer));
        return;
    }
    switchTo(planner, answer);
}

namespace {

// Runs a copy under a progress bar that can cancel it; reports the outcome.
void copyWithProgress(PlannerWindow& planner, const QString& title,
                      const std::function<void(const TeamCopy::Progress&)>& copy) {
    QProgressDialog bar(title, QStringLiteral("Cancel"), 0, 100, planner.window());
    bar.setObjectName(QStringLiteral("CopyProgress"));
    bar.setWindowModality(Qt::WindowModal);
    bar.setMinimumDuration(0);
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("TeamCopy"));
    const bool done = trap.step(1, [&] {
        copy([&bar](qint64 doneRows, qint64 total) {
            bar.setValue(total > 0 ? static_cast<int>(doneRows * 100 / total) : 100);
            QCoreApplication::processEvents();
            return !bar.wasCanceled();
        });
    });
    bar.reset();
    if (done)
        Messages::current().notice(QStringLiteral("Everything was copied."));
}

} // namespace

void copyLocalToTeam(PlannerWindow& planner) {
    QString target = Database::shared().isShared() ? Database::shared().target() : QString();
    if (target.isEmpty())
        target = Messages::current()
                     .input(QStringLiteral("Copy to Team Database"),
                            QStringLiteral("Copy the local file into which empty team database (connection string)?"))
                     .trimmed();
    if (target.isEmpty())
        return;
    copyWithProgress(planner, QStringLiteral("Copying the local file into the team database..."),
                     [&](const TeamCopy::Progress& progress) {
                         TeamCopy::localToTeam(DataStore::workingDatabase(), target, progress);
                     });
    if (Database::shared().isShared())
        planner.refillProjects();
}

void copyTeamToLocal(PlannerWindow& planner) {
    if (!Database::shared().isShared()) {
        Messages::current().notice(QStringLiteral("No team database is in use; connect to one first (File, Team "
                                                  "Database...)."));
        return;
    }
    const QString file = Messages::current()
                             .input(QStringLiteral("Copy to Local File"),
                                    QStringLiteral("Copy the team database into which new file (full path)?"))
                             .trimmed();
    if (file.isEmpty())
        return;
    const QString target = Database::shared().target();
    copyWithProgress(planner, QStringLiteral("Copying the team database into a local file..."),
                     [&](const TeamCopy::Progress& progress) { TeamCopy::teamToLocal(target, file, progress); });
}

void install(PlannerWindow& planner) {
    QWidget* window = planner.window();
    PlannerWindow* p = &planner;
    auto* action = new QAction(QStringLiteral("&Team Database..."), window);
    action->setObjectName(QStringLiteral("actionTeamDatabase"));
    QObject::connect(action, &QAction::triggered, p, [p] { chooseDatabase(*p); });
    auto* toTeam = new QAction(QStringLiteral("Copy Local Data to Team Database..."), window);
    toTeam->setObjectName(QStringLiteral("actionCopyToTeam"));
    QObject::connect(toTeam, &QAction::triggered, p, [p] { copyLocalToTeam(*p); });
    auto* toLocal = new QAction(QStringLiteral("Copy Team Database to Local File..."), window);
    toLocal->setObjectName(QStringLiteral("actionCopyToLocal"));
    QObject::connect(toLocal, &QAction::triggered, p, [p] { copyTeamToLocal(*p); });
    for (QAction* a : {action, toTeam, toLocal})
        planner.addAction(PlannerWindow::Menu::File, PlannerWindow::Database, a);

    ChangeFeed& feed = Database::shared().changes();
    QObject::connect(&feed, &ChangeFeed::connectionLost, p, [p] { showTitle(*p, true); });
    QObject::connect(&feed, &ChangeFeed::opened, p, [p] { p->setProperty(notLiveProperty, false); });
    QObject::connect(&feed, &ChangeFeed::notListening, p, [p](const QString& why) {
        p->setProperty(notLiveProperty, true);
        showTitle(*p);
        Messages::current().notice(why);
    });
    QObject::connect(&feed, &ChangeFeed::reconnected, p, [p] { showTitle(*p); });
}

} // namespace TeamCommands
