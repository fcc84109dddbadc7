// Copies of the working database in a "Backups" folder beside it, made with SQLite's online
// backup: before a delete that takes other rows with it, and at most once a day otherwise.
// The last seven copies are kept.
#pragma once

#include <QString>
#include <QStringList>

class Database;
struct sqlite3;

namespace Backup {

constexpr int kept = 7;
// A partial copy ("*.part") that has not grown for this long belongs to a copy that was
// interrupted (the program was killed); copies in progress write to theirs all the time.
constexpr int stalePartialSeconds = 120;

QString folderFor(const QString& databasePath);
// The copies present, oldest first.
QStringList existing(const QString& databasePath);

// Makes a copy of a file open on the handle now (before a change to its tables); throws DbError
// when it cannot.
QString copyOpenFile(sqlite3* source, const QString& databasePath);

// Makes a copy now; throws DbError when it cannot (the caller then does not delete). While a
// Cover of the same connection lives, returns the copy that the cover made instead.
QString makeBackup(Database& db);

// One copy before a command's first delete, for all of its deletes: made when the cover is
// built, which throws DbError (and the command deletes nothing) when the copy cannot be made.
class Cover {
public:
    explicit Cover(Database& db);
    ~Cover();
    Cover(const Cover&) = delete;
    Cover& operator=(const Cover&) = delete;

    const QString& copy() const { return m_copy; }
    // The innermost cover of this connection, or nullptr.
    static const Cover* of(const Database& db);

private:
    const Database* m_db;
    QString m_copy;
    Cover* m_outer;
};

// Makes the daily copy when the newest one is older than a day or there is none, reading the
// file through a connection of its own. Never throws: a failed daily copy must not keep the
// user from working. Returns the copy made, or the empty text.
QString makeDailyBackup(const QString& databasePath);

// At start-up: removes stale partial copies, then makes the daily copy on a worker thread, in
// small steps, so that the window is never kept waiting and a save waits at most one step.
// A path that is not a file (no database) starts nothing.
void startDailyBackup(const QString& databasePath);
// Waits until the worker has ended (at once when none runs).
void waitForDailyBackup();
// Asks the worker to stop, waits for it and removes its partial copy. Run at shutdown.
void stopDailyBackup();

// Removes the partial copies older than `olderThanSeconds`; returns how many were removed.
int removeStalePartialCopies(const QString& databasePath, int olderThanSeconds = stalePartialSeconds);

} // namespace Backup
