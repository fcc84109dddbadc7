// A measuring aid for the start-up benchmark: when the environment variable FENNICK_STARTUP_PROBE
// is set, the program prints the moment its main window was first painted (milliseconds of the
// monotonic clock, which the benchmark reads too) and closes the window. Without the variable it
// does nothing.
#pragma once

class QWidget;

namespace StartupProbe {

bool enabled();
// Watches the window's first paint; call before the window is shown.
void install(QWidget* window);

} // namespace StartupProbe
