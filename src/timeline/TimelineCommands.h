// The main window's way into the timeline: View -> Timeline (Ctrl+T).
#pragma once

class PlannerWindow;

namespace Timeline {

class TimelineWindow;

// Adds the action to the main window's View menu.
void install(PlannerWindow& planner);
// Opens the window, or brings the open one to the front.
TimelineWindow* openWindow(PlannerWindow& planner);
// The open window, if any.
TimelineWindow* openedWindow();

} // namespace Timeline
