// Copies of the working database in a "Backups" folder beside it, made with SQLite's online
// backup: before a delete that takes other rows with it, and at most once a day otherwise.
// The last seven copies are kept.
#pragma once

#include <QString>
#include <QStringList>

class Database;

namespace Backup {

constexpr int kept = 7;

QString folderFor(const QString& databasePath);
// The copies present, oldest first.
QStringList existing(const QString& databasePath);
// Makes a copy now; throws DbError when it cannot (the caller then does not delete).
QString makeBackup(Database& db);
// Makes a copy when the newest one is older than a day or there is none. Never throws: a
// failed daily copy must not keep the user from working.
void makeDailyBackup(Database& db);

} // namespace Backup
