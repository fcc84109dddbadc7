// Where the save dialogs start: in the folder the user last saved a file to, or else in the
// user's documents folder (or home folder when there is none), never in the program's own
// folder. The last folder is kept in the settings under "LastSaveFolder".
#pragma once

#include <QString>

namespace SaveFolder {

// The folder a save dialog opens in.
QString start();
// The path a save dialog offers for a suggested file name: the name in start().
QString suggestedPath(const QString& suggestedName);
// Keeps the folder of a path the user chose, for the next save dialog. A setting that cannot be
// written is let go: the next dialog then starts in the documents folder.
void remember(const QString& chosenPath);

} // namespace SaveFolder
