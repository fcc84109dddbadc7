// Per-user settings: application "Tarnwick", section "Fennick Planner"; every value is a text.
#pragma once

#include <QString>

namespace Settings {

// The stored text, or the default when the key does not exist.
QString read(const QString& key, const QString& defaultValue);
void write(const QString& key, const QString& value);

// A stored width (twips) as a single-precision number; a text that is not a number throws.
float toWidth(const QString& text);
// A stored window state as a 16-bit integer; a text that is not one throws.
qint16 toWindowState(const QString& text);

} // namespace Settings
