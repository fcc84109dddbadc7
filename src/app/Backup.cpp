#include "Backup.h"

#include "Database.h"
#include "DbError.h"
#include "SqliteConnection.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <chrono>
#include <mutex>
#include <stop_token>
#include <thread>

namespace Backup {

namespace {

Cover* innermostCover = nullptr;

// How the pages are copied: all at once on the shared connection (a delete waits for its copy
// anyway), or a few at a time with pauses between them for the daily copy, so that the
// program's own writes get in between.
struct Pace {
    int pagesPerStep = -1;
    std::chrono::milliseconds pause{0};
    std::stop_token stop;
};

std::mutex nameMutex;

// Finds a name for a new copy and claims it by making its partial file: the daily copy and a
// copy before a delete may start within the same millisecond.
void claimName(const QString& folder, QString& target, QString& partial) {
    const std::lock_guard lock(nameMutex);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int n = 0; n < 100; ++n) {
        target = folder + QStringLiteral("/dbData-") + stamp +
                 (n == 0 ? QString() : QLatin1Char('-') + QString::number(n)) + QStringLiteral(".mdb");
        partial = target + QStringLiteral(".part");
        QFile claim(partial);
        if (!QFile::exists(target) && claim.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return;
    }
    throw DbError(
        QStringLiteral("A backup copy of the database could not be made in '%1', so nothing was deleted.").arg(folder));
}

// Copies `source` into a new file in the backup folder and prunes the old copies; returns the
// new copy's path. The copy is written under a ".part" name and renamed when complete, so a
// copy that is cut short is never taken for a whole one.
QString copyDatabase(sqlite3* source, const QString& databasePath, const Pace& pace) {
    const QString folder = folderFor(databasePath);
    if (!QDir().mkpath(folder))
        throw DbError(
            QStringLiteral("The backup folder '%1' could not be created, so nothing was deleted.").arg(folder));
    QString target;
    QString partial;
    claimName(folder, target, partial);

    sqlite3* copy = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(partial).constData(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    bool stopped = false;
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source, "main");
        if (backup) {
            int busyRounds = 0;
            do {
                rc = sqlite3_backup_step(backup, pace.pagesPerStep);
                if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                    // Someone is writing: wait a little and go on (give up after about a minute).
                    if (++busyRounds > 3000)
                        break;
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    rc = SQLITE_OK;
                } else if (rc == SQLITE_OK && pace.pause.count() > 0) {
                    std::this_thread::sleep_for(pace.pause);
                }
                stopped = pace.stop.stop_requested();
            } while (rc == SQLITE_OK && !stopped);
            sqlite3_backup_finish(backup);
        } else {
            rc = sqlite3_errcode(copy);
        }
    }
    sqlite3_close(copy);
    if (stopped || rc != SQLITE_DONE || !QFile::rename(partial, target)) {
        QFile::remove(partial);
        throw DbError(QStringLiteral("A backup copy of the database could not be made in '%1', so nothing was "
                                     "deleted.")
                          .arg(folder));
    }

    QStringList copies = existing(databasePath);
    while (copies.size() > kept)
        QFile::remove(folder + QLatin1Char('/') + copies.takeFirst());
    return target;
}

bool dailyCopyDue(const QString& databasePath) {
    const QStringList copies = existing(databasePath);
    if (copies.isEmpty())
        return true;
    const QFileInfo newest(folderFor(databasePath) + QLatin1Char('/') + copies.last());
    return newest.lastModified().secsTo(QDateTime::currentDateTime()) >= 24 * 60 * 60;
}

QString dailyBackup(const QString& databasePath, const Pace& pace) {
    if (!QFileInfo(databasePath).isFile() || !dailyCopyDue(databasePath))
        return {};
    sqlite3* source = nullptr;
    QString made;
    if (sqlite3_open_v2(QFile::encodeName(databasePath).constData(), &source, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        try {
            made = copyDatabase(source, databasePath, pace);
        } catch (const DbError&) {
            // Not fatal: the next start tries again.
        }
    }
    sqlite3_close(source);
    return made;
}

// The worker of the daily copy. Its destructor (at the latest when the program ends) asks it
// to stop and waits for it.
std::mutex workerMutex;
std::jthread worker;

} // namespace

QString folderFor(const QString& databasePath) {
    return QFileInfo(databasePath).absolutePath() + QStringLiteral("/Backups");
}

QStringList existing(const QString& databasePath) {
    const QDir dir(folderFor(databasePath));
    // Names carry the time (dbData-yyyyMMdd-HHmmss-zzz.mdb), so name order is age order.
    return dir.entryList({QStringLiteral("dbData-*.mdb")}, QDir::Files, QDir::Name);
}

QString makeBackup(Database& db) {
    if (const Cover* cover = Cover::of(db))
        return cover->copy();
    // Copies are made of a local file only: the SQLite connection's own handle.
    const auto* file = dynamic_cast<const SqliteConnection*>(db.connection());
    if (!file || !file->handle())
        throw DbError(QStringLiteral("No database is open to back up, so nothing was deleted."));
    return copyDatabase(file->handle(), file->path(), Pace{});
}

QString copyOpenFile(sqlite3* source, const QString& databasePath) {
    return copyDatabase(source, databasePath, Pace{});
}

Cover::Cover(Database& db)
    : m_db(&db)
    , m_copy(makeBackup(db))
    , m_outer(innermostCover) {
    innermostCover = this;
}

Cover::~Cover() {
    innermostCover = m_outer;
}

const Cover* Cover::of(const Database& db) {
    for (const Cover* c = innermostCover; c; c = c->m_outer) {
        if (c->m_db == &db)
            return c;
    }
    return nullptr;
}

QString makeDailyBackup(const QString& databasePath) {
    return dailyBackup(databasePath, Pace{});
}

int removeStalePartialCopies(const QString& databasePath, int olderThanSeconds) {
    const QDir dir(folderFor(databasePath));
    const QDateTime now = QDateTime::currentDateTime();
    int removed = 0;
    for (const QFileInfo& part : dir.entryInfoList({QStringLiteral("*.part")}, QDir::Files)) {
        if (part.lastModified().secsTo(now) >= olderThanSeconds && QFile::remove(part.absoluteFilePath()))
            ++removed;
    }
    return removed;
}

void startDailyBackup(const QString& databasePath) {
    if (!QFileInfo(databasePath).isFile())
        return;
    removeStalePartialCopies(databasePath);
    const std::lock_guard lock(workerMutex);
    if (worker.joinable()) {
        worker.request_stop();
        worker.join();
    }
    worker = std::jthread([databasePath](std::stop_token stop) {
        dailyBackup(databasePath, Pace{64, std::chrono::milliseconds(2), std::move(stop)});
    });
}

void waitForDailyBackup() {
    const std::lock_guard lock(workerMutex);
    if (worker.joinable())
        worker.join();
}

void stopDailyBackup() {
    const std::lock_guard lock(workerMutex);
    if (worker.joinable()) {
        worker.request_stop();
        worker.join();
    }
}

} // namespace Backup
