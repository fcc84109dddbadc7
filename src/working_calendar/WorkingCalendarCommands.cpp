#include "WorkingCalendarCommands.h"

#include "WorkingDaysDialog.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/widgets/PlannerWindow.h"
#include "scheduling/PlanStore.h"

#include <QAction>
#include <QWidget>

namespace WorkingCalendar {

void install(PlannerWindow& planner) {
    auto* action = new QAction(QStringLiteral("&Working Days..."), planner.window());
    action->setObjectName(QStringLiteral("actionWorkingDays"));
    PlannerWindow* p = &planner;
    QObject::connect(action, &QAction::triggered, p, [p] {
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("actionWorkingDays_Click"));
        trap.step(1, [p] {
            if (!PlanStore::available()) {
                Messages::current().notice(QStringLiteral("This database cannot hold a working calendar: it is a "
                                                          "file of an earlier version that may not be changed."));
                return;
            }
            WorkingDaysDialog dialog(p->window());
            if (dialog.exec() == QDialog::Accepted)
                p->refillTasks();
        });
    });
    planner.addAction(PlannerWindow::Menu::View, PlannerWindow::Windows, action);
}

} // namespace WorkingCalendar
