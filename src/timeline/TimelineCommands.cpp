#include "TimelineCommands.h"

#include "TimelineKeys.h"
#include "TimelineWindow.h"
#include "app/ErrorTrap.h"
#include "app/widgets/KnownKeys.h"
#include "app/widgets/PlannerWindow.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace Timeline {

namespace {
QPointer<TimelineWindow>& current() {
    static QPointer<TimelineWindow> window;
    return window;
}
} // namespace

void install(PlannerWindow& planner) {
    // Keyboard Shortcuts lists the timeline's keys also while its window is closed.
    KnownKeys::registerKeys(QStringLiteral("Timeline"), &keys);
    auto* action = new QAction(QStringLiteral("&Timeline"), planner.window());
    action->setObjectName(QStringLiteral("actionTimeline"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    action->setShortcutContext(Qt::WindowShortcut);
    PlannerWindow* port = &planner;
    QObject::connect(action, &QAction::triggered, port, [port] {
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("actionTimeline_Click"));
        trap.step(1, [&] { openWindow(*port); });
    });
    planner.addAction(PlannerWindow::Menu::View, PlannerWindow::Windows, action);
}

TimelineWindow* openWindow(PlannerWindow& planner) {
    QPointer<TimelineWindow>& window = current();
    if (!window) {
        window = new TimelineWindow(planner);
        window->show();
    } else {
        window->showNormal();
    }
    window->raise();
    window->activateWindow();
    return window;
}

TimelineWindow* openedWindow() {
    return current();
}

} // namespace Timeline
