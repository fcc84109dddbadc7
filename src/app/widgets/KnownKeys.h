// Keys of windows that open later, for the Keyboard Shortcuts window: a feature whose window
// is not open yet (the timeline) names its keys here once, so that the list shows them before
// that window exists, together with the keys that no action carries (the mouse wheel, a drag).
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace KnownKeys {

// One key or gesture: as the user reads it ("Ctrl+0", "Ctrl+Wheel"), what it does, and where.
struct Key {
    QString keys;
    QString command;
    QString where;
};

// Registers the keys of one window under its name; a second call with that name replaces the
// first.
void registerKeys(const QString& window, std::function<std::vector<Key>()> keys);
// Every registered key, window by window in the order registered.
std::vector<Key> registeredKeys();

} // namespace KnownKeys
