#include "HelpCommands.h"

#include "HelpWindows.h"
#include "app/ErrorTrap.h"
#include "app/widgets/PlannerWindow.h"

#include <QAction>
#include <QMenu>

namespace Help {

void install(PlannerWindow& planner) {
    QWidget* window = planner.window();
    auto* shortcuts = new QAction(QStringLiteral("&Keyboard Shortcuts"), window);
    shortcuts->setObjectName(QStringLiteral("actionShortcuts"));
    shortcuts->setShortcut(QKeySequence::HelpContents);
    shortcuts->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(shortcuts, &QAction::triggered, window, [window] {
        ErrorTrap trap(window->objectName(), QStringLiteral("actionShortcuts_Click"));
        trap.step(1, [window] {
            ShortcutsWindow dialog(window, window);
            dialog.exec();
        });
    });

    auto* about = new QAction(QStringLiteral("&About Fennick Planner"), window);
    about->setObjectName(QStringLiteral("actionAbout"));
    about->setMenuRole(QAction::AboutRole);
    QObject::connect(about, &QAction::triggered, window, [window] {
        ErrorTrap trap(window->objectName(), QStringLiteral("actionAbout_Click"));
        trap.step(1, [window] {
            AboutWindow dialog(window);
            dialog.exec();
        });
    });

    planner.addAction(PlannerWindow::Menu::Help, PlannerWindow::Guide, shortcuts);
    planner.addAction(PlannerWindow::Menu::Help, PlannerWindow::About, about);
}

} // namespace Help
