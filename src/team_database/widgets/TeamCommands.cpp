#include "TeamCommands.h"

#include "app/DataStore.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/Settings.h"
#include "main_window/Form1.h"
#include "main_window/RecordListModel.h"
#include "team_database/ChangeFeed.h"
#include "team_database/DatabaseChoice.h"
#include "team_database/PgConnection.h"
#include "team_database/TeamCopy.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTreeView>

namespace TeamCommands {

namespace {

// What a refill must give back to a list: the selected record and where the list was scrolled.
struct ListPlace {
    QString selectedId;
    int vertical = 0;
    int horizontal = 0;
};

ListPlace remember(QTreeView* list) {
    return {Form1::selectedCell(list, 0), list->verticalScrollBar()->value(), list->horizontalScrollBar()->value()};
}

void restore(QTreeView* list, const ListPlace& place) {
    auto* model = static_cast<RecordListModel*>(list->model());
    if (!model)
        return;
    if (!place.selectedId.isEmpty()) {
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->cellText(row, 0) == place.selectedId) {
                if (Form1::selectedRow(list) != row)
                    Form1::selectRow(list, row);
                break;
            }
        }
    }
    list->verticalScrollBar()->setValue(place.vertical);
    list->horizontalScrollBar()->setValue(place.horizontal);
}

QString programTitle() {
    return QStringLiteral("Fennick Planner");
}

void showTitle(Form1* form, bool unreachable = false) {
    QString title = DatabaseChoice::windowTitle(programTitle());
    if (unreachable)
        title += QStringLiteral(" (server unreachable, connecting again...)");
    form->setWindowTitle(title);
}

bool g_refilling = false;

} // namespace

// A refill's place still to be given back once its list is whole.
QMetaObject::Connection g_pendingRestore;

void refill(Form1* form) {
    if (g_refilling || !Database::shared().isOpen())
        return;
    g_refilling = true;
    const ListPlace projects = remember(form->ListView1);
    const ListPlace tasks = remember(form->ListView2);
    // The place is given back when the list is whole: at once, or once the rest of a long list
    // has streamed in (unless the user has chosen another row meanwhile).
    QObject::disconnect(g_pendingRestore);
    g_pendingRestore = QObject::connect(form, &Form1::listsRefilled, form, [form, projects, tasks] {
        QObject::disconnect(g_pendingRestore);
        if (Form1::selectedRow(form->ListView1) > 0)
            return;
        restore(form->ListView1, projects);
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListTasks"));
        trap.step(1, [form] { form->ListTasks(); });
        // The task place belongs to the project it was taken in.
        if (Form1::selectedCell(form->ListView1, 0) == projects.selectedId)
            restore(form->ListView2, tasks);
    });
    form->ListData();
    g_refilling = false;
}

bool switchTo(Form1* form, const QString& target) {
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
    showTitle(form);
    form->ListData();
    trap.step(4, [form] { form->ListTasks(); });
    return true;
}

void chooseDatabase(Form1* form) {
    const Database& db = Database::shared();
    const QString inUse = db.isTeam() ? QStringLiteral("the team database %1").arg(db.describe())
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
        switchTo(form, QString());
        return;
    }
    if (!Database::isTeamDatabase(answer)) {
        Messages::current().notice(
            QStringLiteral("\"%1\" is not a team database connection string (postgresql://server/database or "
                           "key=value pairs such as service=fennick).")
                .arg(answer));
        return;
    }
    switchTo(form, answer);
}

namespace {

// Runs a copy under a progress bar that can cancel it; reports the outcome.
void copyWithProgress(Form1* form, const QString& title, const std::function<void(const TeamCopy::Progress&)>& copy) {
    QProgressDialog bar(title, QStringLiteral("Cancel"), 0, 100, form);
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

void copyLocalToTeam(Form1* form) {
    QString target = Database::shared().isTeam() ? Database::shared().target() : QString();
    if (target.isEmpty())
        target = Messages::current()
                     .input(QStringLiteral("Copy to Team Database"),
                            QStringLiteral("Copy the local file into which empty team database (connection string)?"))
                     .trimmed();
    if (target.isEmpty())
        return;
    copyWithProgress(form, QStringLiteral("Copying the local file into the team database..."),
                     [&](const TeamCopy::Progress& progress) {
                         TeamCopy::localToTeam(DataStore::workingDatabase(), target, progress);
                     });
    if (Database::shared().isTeam())
        refill(form);
}

void copyTeamToLocal(Form1* form) {
    if (!Database::shared().isTeam()) {
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
    copyWithProgress(form, QStringLiteral("Copying the team database into a local file..."),
                     [&](const TeamCopy::Progress& progress) { TeamCopy::teamToLocal(target, file, progress); });
}

void install(Form1* form) {
    auto* action = new QAction(QStringLiteral("&Team Database..."), form);
    action->setObjectName(QStringLiteral("actionTeamDatabase"));
    QObject::connect(action, &QAction::triggered, form, [form] { chooseDatabase(form); });
    auto* toTeam = new QAction(QStringLiteral("Copy Local Data to Team Database..."), form);
    toTeam->setObjectName(QStringLiteral("actionCopyToTeam"));
    QObject::connect(toTeam, &QAction::triggered, form, [form] { copyLocalToTeam(form); });
    auto* toLocal = new QAction(QStringLiteral("Copy Team Database to Local File..."), form);
    toLocal->setObjectName(QStringLiteral("actionCopyToLocal"));
    QObject::connect(toLocal, &QAction::triggered, form, [form] { copyTeamToLocal(form); });
    if (form->menuFile) {
        const QList<QAction*> actions = form->menuFile->actions();
        QAction* before = actions.isEmpty() ? nullptr : actions.first();
        form->menuFile->insertActions(before, {action, toTeam, toLocal});
        if (before)
            form->menuFile->insertSeparator(before);
    }

    ChangeFeed& feed = ChangeFeed::instance();
    QObject::connect(&feed, &ChangeFeed::changed, form, [form] { refill(form); });
    QObject::connect(&feed, &ChangeFeed::connectionLost, form, [form] { showTitle(form, true); });
    QObject::connect(&feed, &ChangeFeed::reconnected, form, [form] {
        showTitle(form);
        refill(form);
    });
}

} // namespace TeamCommands
