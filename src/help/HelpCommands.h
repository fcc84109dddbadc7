// Help → Keyboard shortcuts and Help → About on the main window's Help menu.
#pragma once

class QAction;
class QMenu;
class QWidget;

namespace Help {

// Adds actionShortcuts (F1) and actionAbout to the menu; the windows open over `window`, and the
// shortcuts window lists the shortcuts `window` has when it opens.
void addHelpCommands(QWidget* window, QMenu* menuHelp);

} // namespace Help
