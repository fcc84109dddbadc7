// Every key and mouse gesture of the timeline window, as the Keyboard Shortcuts window lists them
// (also while the timeline is not open).
#pragma once

#include "help/HelpWindows.h"

#include <vector>

namespace Timeline {

std::vector<Help::Shortcut> keys();

} // namespace Timeline
