// The dress every window gets at load: button-face background, the program's icon and the
// hand cursor over push buttons; the main window's skin when the skin file exists.
#pragma once

#include <QCursor>
#include <QIcon>
#include <QList>
#include <QString>

class QWidget;

namespace Appearance {

// The optional files, looked for beside the program, in the user's configuration folder, then
// in the installed data folder (see DataStore::programFile()).
QString skinFile();       // "x/o.cjs"
QString handCursorFile(); // "HAND-M.CUR"

// Background of the window and of its labels, check boxes, option buttons and frames set to
// the system's button-face colour (the palette's Button role, with its ButtonText for text).
void applySystemColours(QWidget* window);
// Main window only: nothing at all without the skin file; with it, the system colours and the
// skin applied as a style sheet. Throws DbError when the skin cannot be read.
void applyMainWindowAppearance(QWidget* window);
// The program's icon, drawn at every size it ships in (programIconSizes(), in pixels).
QIcon programIcon();
QList<int> programIconSizes();
// What the desktop reads from a window at load: the program's icon, and a name for every control
// that a screen reader could not otherwise name (AccessibleNames::nameControls()).
void applyIcon(QWidget* window);
// When the hand cursor file exists, every push button of the window shows it. A busy cursor
// (QApplication's override cursor) always wins over it.
void applyHandCursor(QWidget* window);
// The three load steps of an editor or the report window: colours, icon, hand cursor.
void applyDialogAppearance(QWidget* window);

// Reads a .cur/.ico file with its hot spot; null cursor shape when it cannot be read.
bool loadCursorFile(const QString& path, QCursor* cursor);

} // namespace Appearance
