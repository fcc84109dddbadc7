// The main window's way into the timeline: View -> Timeline (Ctrl+T).
#pragma once

class Form1;

namespace Timeline {

class TimelineWindow;

// Adds the action to the main window's View menu. Called once by the main window.
void installCommands(Form1* form);
// Opens the window, or brings the open one to the front.
TimelineWindow* openWindow(Form1* form);
// The open window, if any.
TimelineWindow* openedWindow();

} // namespace Timeline
