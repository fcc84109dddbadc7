// Help → Keyboard shortcuts and Help → About on the main window's Help menu.
#pragma once

class PlannerWindow;

namespace Help {

// Adds actionShortcuts (F1) and actionAbout to the Help menu; the windows open over the main
// window, and the shortcuts window lists the shortcuts the main window has when it opens.
void install(PlannerWindow& planner);

} // namespace Help
