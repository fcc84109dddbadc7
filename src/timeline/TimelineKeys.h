// Every key and mouse gesture of the timeline window, as the Keyboard Shortcuts window lists them
// (also while the timeline is not open).
#pragma once

#include "app/widgets/KnownKeys.h"

#include <vector>

namespace Timeline {

std::vector<KnownKeys::Key> keys();

} // namespace Timeline
