// Names for screen readers: every control of a window gets an accessible name, the caption of
// the control or of the label beside it, so that a screen reader can say what it is.
#pragma once

#include <QString>

class QWidget;

namespace AccessibleNames {

// The name a screen reader reads for the widget (what the accessibility interface reports).
QString spokenName(QWidget* widget);
// Whether the user can move the focus to the widget itself (not to a part of a compound
// control such as the text field inside a date picker).
bool isFocusableControl(QWidget* widget);
// The name nameControls() gives the control (its own accessible name when it has one already).
QString nameFor(QWidget* window, QWidget* control);
// Sets the accessible name of every focusable control of the window that has none: the text of
// the label whose buddy it is, the caption of a button (a symbol caption such as "+" or "-" is
// spelt out with the name of the field it serves: "Add Owner"), the title of the frame it
// fills, the label to its left, its tooltip.
void nameControls(QWidget* window);

} // namespace AccessibleNames
