// Where the data lives: the data folder, the working database and the template beside the program.
#pragma once

#include <QString>

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
QString templateDatabase(); // program folder + "/dbBlank.mdb"

// True when a file or folder of that name exists.
bool fileExists(const QString& path);

// The preparation steps of start-up, each throwing DbError when it fails.
void makeCompanyFolder();
void makeDataFolder();
void copyTemplateIfMissing();

} // namespace DataStore
