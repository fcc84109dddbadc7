#include "TimelineCommands.h"

#include "TimelineWindow.h"
#include "app/ErrorTrap.h"
#include "main_window/Form1.h"

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

void installCommands(Form1* form) {
    auto* action = new QAction(QStringLiteral("&Timeline"), form);
    action->setObjectName(QStringLiteral("actionTimeline"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, form, [form] {
        ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("actionTimeline_Click"));
        trap.step(1, [&] { openWindow(form); });
    });
    form->menuView->addAction(action);
}

TimelineWindow* openWindow(Form1* form) {
    QPointer<TimelineWindow>& window = current();
    if (!window) {
        window = new TimelineWindow(form);
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
