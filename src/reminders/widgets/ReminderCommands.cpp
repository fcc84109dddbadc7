#include "ReminderCommands.h"

#include "ReminderDialogs.h"
#include "ReminderService.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RowSelection.h"
#include "app/widgets/TaskCommands.h"
#include "reminders/ReminderStore.h"
#include "reminders/ReminderTasks.h"

#include <QAction>
#include <QWidget>

namespace Reminders {

namespace {
const QString settingsGroup = QStringLiteral("reminders");

// The task's own due time and lead, chosen in its dialog and saved; false when nothing changed.
bool editTaskReminder(QWidget* parent, qint64 taskId) {
    ErrorTrap trap(QStringLiteral("Reminders"), QStringLiteral("TaskReminder"));
    std::optional<DueTask> task;
    ReminderStore record;
    if (!trap.step(1, [&] {
            task = findTask(taskId);
            record.load(ReminderStore::identityOfSharedDatabase());
        }))
        return false;
    if (!task) {
        Messages::current().notice(QStringLiteral("This task no longer exists."));
        return false;
    }
    TaskReminderDialog dialog(task->title, record.setting(taskId), Preferences::read(), parent);
    dialog.setObjectName(QStringLiteral("TaskReminderDialog"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    trap.step(2, [&] {
        record.load(record.identity()); // what was sent meanwhile is kept
        record.setSetting(taskId, dialog.setting());
        record.save();
    });
    ReminderService::checkAll(); // a due time moved near is reminded of at once
    return false;                // the task's row is unchanged
}

void editSettings(PlannerWindow& planner, ReminderService& service) {
    ErrorTrap trap(QStringLiteral("Reminders"), QStringLiteral("Settings"));
    std::vector<std::pair<qint64, QString>> people;
    ReminderStore record;
    // Without a database the preferences can still be changed; the contact is then not offered.
    const bool haveDatabase = trap.step(1, [&] {
        people = contacts();
        record.load(ReminderStore::identityOfSharedDatabase());
    });
    ReminderSettingsDialog dialog(Preferences::read(), record.contact(), people, planner.window());
    dialog.setObjectName(QStringLiteral("ReminderSettingsDialog"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    trap.step(2, [&] { dialog.preferences().write(); });
    if (haveDatabase)
        trap.step(3, [&] {
            record.load(record.identity());
            record.setContact(dialog.contact());
            record.save();
        });
    service.reload();
}
} // namespace

void install(PlannerWindow& planner) {
    auto* service = new ReminderService(planner);

    auto* taskAction = new QAction(QStringLiteral("Task &Reminder..."), planner.window());
    taskAction->setObjectName(QStringLiteral("actionTaskReminder"));
    PlannerWindow* p = &planner;
    QObject::connect(taskAction, &QAction::triggered, p, [p] {
        const QString task = RowSelection::selectedCell(p->taskList(), 0);
        if (task.isEmpty()) {
            Messages::current().notice(QStringLiteral("Select a task in the task list first."));
            return;
        }
        editTaskReminder(p->window(), task.toLongLong());
    });
    planner.addAction(PlannerWindow::Menu::Edit, PlannerWindow::Plan, taskAction);
    TaskCommands::add({QStringLiteral("Task &Reminder..."), QStringLiteral("actionTaskReminderOfTask"),
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R),
                       [](QWidget* parent, qint64, qint64 taskId) { return editTaskReminder(parent, taskId); }});

    auto* settingsAction = new QAction(QStringLiteral("Reminder &Settings..."), planner.window());
    settingsAction->setObjectName(QStringLiteral("actionReminderSettings"));
    QObject::connect(settingsAction, &QAction::triggered, service, [p, service] { editSettings(*p, *service); });
    planner.addAction(PlannerWindow::Menu::Edit, settingsGroup, settingsAction);
}

} // namespace Reminders
