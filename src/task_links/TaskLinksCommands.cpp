#include "TaskLinksCommands.h"

#include "TaskLinksDialog.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"
#include "app/widgets/TaskCommands.h"
#include "scheduling/PlanStore.h"

#include <QAction>
#include <QWidget>

namespace TaskLinks {

void openForSelectedTask(PlannerWindow& planner) {
    const QString project = RowSelection::selectedCell(planner.projectList(), 0);
    const QString task = RowSelection::selectedCell(planner.taskList(), 0);
    if (task.isEmpty()) {
        Messages::current().notice(QStringLiteral("Select a task in the task list first."));
        return;
    }
    if (!PlanStore::available()) {
        Messages::current().notice(QStringLiteral("This database cannot hold links between tasks: it is a file of "
                                                  "an earlier version that may not be changed."));
        return;
    }
    TaskLinksDialog dialog(project.toLongLong(), task.toLongLong(), planner.window());
    dialog.exec();
    if (dialog.changedAnything()) {
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListTasks"));
        trap.step(1, [&] { planner.refillTasks(); });
        // The task whose links were changed stays the one selected.
        const RecordListModel* tasks = planner.tasks();
        for (int row = 0; row < tasks->rowCount(); ++row) {
            if (tasks->cellText(row, 0) == task) {
                RowSelection::selectRow(planner.taskList(), row);
                break;
            }
        }
    }
}

void install(PlannerWindow& planner) {
    auto* action = new QAction(QStringLiteral("Task &Links..."), planner.window());
    action->setObjectName(QStringLiteral("actionTaskLinks"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    action->setShortcutContext(Qt::WindowShortcut);
    PlannerWindow* p = &planner;
    QObject::connect(action, &QAction::triggered, p, [p] {
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("actionTaskLinks_Click"));
        trap.step(1, [p] { openForSelectedTask(*p); });
    });
    planner.addAction(PlannerWindow::Menu::Edit, PlannerWindow::Plan, action);
    // The same dialog from other windows' menus on a task (the timeline's).
    TaskCommands::add({QStringLiteral("Task &Links..."), QStringLiteral("actionTaskLinksOfTask"),
                       QKeySequence(Qt::CTRL | Qt::Key_L), [](QWidget* parent, qint64 projectId, qint64 taskId) {
                           if (!PlanStore::available())
                               return false;
                           TaskLinksDialog dialog(projectId, taskId, parent);
                           dialog.exec();
                           return dialog.changedAnything();
                       }});
}

} // namespace TaskLinks
