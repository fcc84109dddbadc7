// Sizes in twips (1/1440 inch) and their conversion through the screen's logical DPI.
#pragma once

#include <cmath>

namespace Twips {

constexpr double perInch = 1440.0;

inline int toPixels(double twips, double dpi) {
    return static_cast<int>(std::lround(twips * dpi / perInch));
}
inline double fromPixels(int pixels, double dpi) {
    return pixels * perInch / dpi;
}

} // namespace Twips
