// Where the data lives: the data folder, the working database and the template beside the program.
#pragma once

#include <QString>
#include <QStringList>

namespace DataStore {

// The folder of the executable, without a trailing separator.
QString programFolder();
// Lets tests put the program folder somewhere else (empty text restores the real one).
void setProgramFolderForTesting(const QString& folder);

// The writable generic data location (empty text when there is none).
QString baseFolder();
QString companyFolder();    // base + "/Tarnwick"
QString dataFolder();       // base + "/Tarnwick/Fennick Planner"
QString workingDatabase();  // data folder + "/dbData.mdb"
QString templateDatabase(); // dbBlank.mdb, found by programFile()

// The folder an installed program keeps its shipped files in: program folder +
// "/../share/fennick-planner" (the executable lives in <prefix>/bin).
QString installedDataFolder();
// The user's own folder for the optional files: the writable configuration location +
// "/Tarnwick/Fennick Planner".
QString userConfigFolder();

// Where a file that ships with the program, or that the user may add, is looked for.
enum class Search {
    Program,        // the program folder, then the installed data folder
    ProgramAndUser, // the program folder, the user's configuration folder, then the installed data folder
};
// The folders searched for a file, in order.
QStringList searchFolders(Search search);
// The first of searchFolders() + "/" + relativePath that exists; when none does, the path in the
// program folder (so messages name the place where the file is expected first).
QString programFile(const QString& relativePath, Search search = Search::Program);

// True when a file or folder of that name exists.
bool fileExists(const QString& path);

// The preparation steps of start-up, each throwing DbError when it fails.
void makeCompanyFolder();
void makeDataFolder();
void copyTemplateIfMissing();

} // namespace DataStore
