// Keys of windows that open later, for the Keyboard Shortcuts window: a feature whose window
// is not open yet (the timeline) names its keys here once, so that the list shows them before
// that window exists, together with the keys that no action carries (the mouse wheel, a drag).
#pragma once

#include "HelpWindows.h"

#include <functional>
#include <vector>

namespace Help {

// Registers the keys of one window under its name; a second call with that name replaces the
// first.
void registerKeys(const QString& window, std::function<std::vector<Shortcut>()> keys);
// Every registered key, window by window in the order registered.
std::vector<Shortcut> registeredKeys();

} // namespace Help
