#include "UndoCommands.h"

#include "PlannerWindow.h"
#include "RecordListModel.h"
#include "RowSelection.h"
#include "app/ErrorTrap.h"
#include "app/History.h"
#include "app/Messages.h"
#include "app/UndoSteps.h"

#include <QAction>
#include <QTreeView>

namespace UndoCommands {

void refill(PlannerWindow& planner) {
    const QString task = RowSelection::selectedCell(planner.taskList(), 0);
    planner.refillProjects();
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListTasks"));
    trap.step(1, [&] { planner.refillTasks(); });
    const RecordListModel* tasks = planner.tasks();
    for (int row = 0; row < tasks->rowCount(); ++row)
        if (tasks->cellText(row, 0) == task) {
            RowSelection::selectRow(planner.taskList(), row);
            break;
        }
}

void undoOrRedo(PlannerWindow& planner, bool undo) {
    if (!History::available())
        return;
    try {
        if (undo)
            UndoSteps::shared().undo();
        else
            UndoSteps::shared().redo();
    } catch (const History::Conflict& conflict) {
        Messages::current().notice(
            QStringLiteral("This cannot be %1: %2")
                .arg(undo ? QStringLiteral("undone") : QStringLiteral("redone"), conflict.description()));
    }
    refill(planner);
}

QAction* makeAction(QWidget* owner, PlannerWindow& planner, bool undo, const QString& objectName, const QString& form) {
    UndoSteps& steps = UndoSteps::shared();
    auto* action = new QAction(owner);
    action->setObjectName(objectName);
    auto follow = [action, undo, &steps] {
        const bool can = undo ? steps.canUndo() : steps.canRedo();
        const QString verb = undo ? QStringLiteral("&Undo") : QStringLiteral("&Redo");
        action->setEnabled(can);
        action->setText(can ? verb + QLatin1Char(' ') + (undo ? steps.undoName() : steps.redoName()) : verb);
    };
    follow();
    QObject::connect(&steps, &UndoSteps::changed, action, follow);
    PlannerWindow* p = &planner;
    QObject::connect(action, &QAction::triggered, p, [p, undo, form, objectName] {
        ErrorTrap trap(form, objectName + QStringLiteral("_Click"));
        trap.step(1, [&] { undoOrRedo(*p, undo); });
    });
    return action;
}

} // namespace UndoCommands
