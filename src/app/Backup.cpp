#include "Backup.h"

#include "Database.h"
#include "DbError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace Backup {

QString folderFor(const QString& databasePath) {
    return QFileInfo(databasePath).absolutePath() + QStringLiteral("/Backups");
}

QStringList existing(const QString& databasePath) {
    const QDir dir(folderFor(databasePath));
    // Names carry the time (dbData-yyyyMMdd-HHmmss-zzz.mdb), so name order is age order.
    return dir.entryList({QStringLiteral("dbData-*.mdb")}, QDir::Files, QDir::Name);
}

QString makeBackup(Database& db) {
    sqlite3* source = db.handle();
    if (!source)
        throw DbError(QStringLiteral("No database is open to back up."));
    const QString folder = folderFor(db.path());
    if (!QDir().mkpath(folder))
        throw DbError(
            QStringLiteral("The backup folder '%1' could not be created, so nothing was deleted.").arg(folder));
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString target = folder + QStringLiteral("/dbData-") + stamp + QStringLiteral(".mdb");
    const QString partial = target + QStringLiteral(".part");

    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(partial).constData(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (backup) {
            rc = sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
        } else {
            rc = sqlite3_errcode(copy);
        }
    }
    sqlite3_close(copy);
    if (rc != SQLITE_DONE || !QFile::rename(partial, target)) {
        QFile::remove(partial);
        throw DbError(QStringLiteral("A backup copy of the database could not be made in '%1', so nothing was "
                                     "deleted.")
                          .arg(folder));
    }

    QStringList copies = existing(db.path());
    while (copies.size() > kept)
        QFile::remove(folder + QLatin1Char('/') + copies.takeFirst());
    return target;
}

void makeDailyBackup(Database& db) {
    const QStringList copies = existing(db.path());
    if (!copies.isEmpty()) {
        const QFileInfo newest(folderFor(db.path()) + QLatin1Char('/') + copies.last());
        if (newest.lastModified().secsTo(QDateTime::currentDateTime()) < 24 * 60 * 60)
            return;
    }
    try {
        makeBackup(db);
    } catch (const DbError&) {
        // Not fatal: the next start tries again.
    }
}

} // namespace Backup
