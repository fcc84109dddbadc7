#include "HistoryCommands.h"

#include "HistoryWindow.h"
#include "RecentlyDeleted.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/History.h"
#include "app/Messages.h"
#include "app/Settings.h"
#include "app/UndoSteps.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RowSelection.h"
#include "app/widgets/TaskCommands.h"
#include "app/widgets/UndoCommands.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <QTreeView>

namespace HistoryCommands {

namespace {

bool showHistory(QWidget* parent, const QString& table, qint64 id, const QString& name) {
    if (!History::available()) {
        Messages::current().notice(QStringLiteral("This database keeps no history: it is a file of an earlier "
                                                  "version that may not be changed."));
        return false;
    }
    HistoryWindow window(table, id, name, parent);
    window.exec();
    return window.restoredAnything();
}

// Removes entries past the retention (settings HistoryDays, HistoryEntries), now and then.
void keepRetention() {
    if (!History::available() || Database::shared().isReadOnly())
        return;
    bool okDays = false;
    bool okEntries = false;
    const int days = Settings::read(QStringLiteral("HistoryDays"), QStringLiteral("180")).toInt(&okDays);
    const qint64 entries =
        Settings::read(QStringLiteral("HistoryEntries"), QStringLiteral("1000000")).toLongLong(&okEntries);
    try {
        History::prune(okDays && days > 0 ? days : 180, okEntries && entries > 0 ? entries : 1000000);
    } catch (const DbError& e) {
        qWarning("The history could not be trimmed: %s", qPrintable(e.description()));
    }
}

} // namespace

void install(PlannerWindow& planner) {
    UndoSteps::shared().attach(Database::shared());
    QWidget* window = planner.window();
    PlannerWindow* p = &planner;

    // The same steps as every other window's Undo and Redo (the timeline's).
    QAction* undo =
        UndoCommands::makeAction(window, planner, true, QStringLiteral("actionUndo"), QStringLiteral("Form1"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo =
        UndoCommands::makeAction(window, planner, false, QStringLiteral("actionRedo"), QStringLiteral("Form1"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* a : {undo, redo})
        a->setShortcutContext(Qt::WindowShortcut);
    planner.addAction(PlannerWindow::Menu::Edit, PlannerWindow::Undo, undo);
    planner.addAction(PlannerWindow::Menu::Edit, PlannerWindow::Undo, redo);

    auto* projectHistory = new QAction(QStringLiteral("History of Selected &Project..."), window);
    projectHistory->setObjectName(QStringLiteral("actionProjectHistory"));
    QObject::connect(projectHistory, &QAction::triggered, p, [p] {
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("actionProjectHistory_Click"));
        trap.step(1, [p] {
            const QString id = RowSelection::selectedCell(p->projectList(), 0);
            if (id.isEmpty()) {
                Messages::current().notice(QStringLiteral("Select a project in the project list first."));
                return;
            }
            if (showHistory(p->window(), QStringLiteral("projects"), id.toLongLong(),
                            RowSelection::selectedCell(p->projectList(), 1)))
                UndoCommands::refill(*p);
        });
    });
    auto* taskHistory = new QAction(QStringLiteral("History of Selected &Task..."), window);
    taskHistory->setObjectName(QStringLiteral("actionTaskHistory"));
    QObject::connect(taskHistory, &QAction::triggered, p, [p] {
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("actionTaskHistory_Click"));
        trap.step(1, [p] {
            const QString id = RowSelection::selectedCell(p->taskList(), 0);
            if (id.isEmpty()) {
                Messages::current().notice(QStringLiteral("Select a task in the task list first."));
                return;
            }
            if (showHistory(p->window(), QStringLiteral("tasks"), id.toLongLong(),
                            RowSelection::selectedCell(p->taskList(), 1)))
                UndoCommands::refill(*p);
        });
    });
    planner.addAction(PlannerWindow::Menu::Edit, PlannerWindow::Undo, projectHistory);
    planner.addAction(PlannerWindow::Menu::Edit, PlannerWindow::Undo, taskHistory);

    auto* deleted = new QAction(QStringLiteral("Recently &Deleted..."), window);
    deleted->setObjectName(QStringLiteral("actionRecentlyDeleted"));
    QObject::connect(deleted, &QAction::triggered, p, [p] {
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("actionRecentlyDeleted_Click"));
        trap.step(1, [p] {
            if (!History::available()) {
                Messages::current().notice(QStringLiteral("This database keeps no history: it is a file of an "
                                                          "earlier version that may not be changed."));
                return;
            }
            RecentlyDeleted dialog(p->window());
            dialog.exec();
            if (dialog.restoredAnything())
                UndoCommands::refill(*p);
        });
    });
    planner.addAction(PlannerWindow::Menu::File, PlannerWindow::Exchange, deleted);

    static bool offered = false;
    if (!offered) {
        offered = true;
        TaskCommands::add({QStringLiteral("&History of Task..."), QStringLiteral("actionHistoryOfTask"),
                           QKeySequence(Qt::CTRL | Qt::Key_H), [](QWidget* parent, qint64, qint64 taskId) {
                               QString title;
                               auto rows = Database::shared().query(
                                   QStringLiteral("SELECT Title FROM Tasks WHERE ID = %1").arg(taskId));
                               if (!rows.eof())
                                   title = rows.textOrEmpty(QStringLiteral("Title"));
                               return showHistory(parent, QStringLiteral("tasks"), taskId, title);
                           }});
    }

    // The retention runs a minute after start and once a day, never while a window waits on it.
    auto* retention = new QTimer(window);
    retention->setObjectName(QStringLiteral("historyRetention"));
    retention->setSingleShot(false);
    retention->setInterval(24 * 60 * 60 * 1000);
    QObject::connect(retention, &QTimer::timeout, retention, [] { keepRetention(); });
    QTimer::singleShot(60 * 1000, retention, [retention] {
        keepRetention();
        retention->start();
    });
}

} // namespace HistoryCommands
