// The local database: one SQLite file opened through Qt's SQLite driver.
#pragma once

#include "Connection.h"

#include <memory>

struct sqlite3;
class QTimer;

class SqliteConnection final : public Connection {
public:
    // Opens an existing file for reading and writing; a missing or unreadable file throws
    // DbError, and no empty database is ever created in its place.
    explicit SqliteConnection(const QString& path);
    ~SqliteConnection() override;

    SqlText::Dialect dialect() const override { return SqlText::Dialect::Sqlite; }
    std::unique_ptr<ResultCursor> query(const QString& statement) override;
    // A plain read-only handle on the same file.
    std::unique_ptr<ThreadReader> openThreadReader() override;
    int execute(const QString& statement) override;
    int executeWith(const QString& statement, const QVariantList& values) override;
    bool isReadOnly() const override;
    QString describe() const override { return m_path; }
    void begin() override;
    void commit() override;
    void rollback() override;

    bool keepsOwnBackups() const override { return true; }
    QString filePath() const override { return m_path; }
    QString kindAndPlace() const override;
    bool hasRowVersions() const override { return m_schemaVersion >= 1; }
    bool hasPlanner() const override { return m_schemaVersion >= 2; }
    bool keepsHistory() const override { return m_schemaVersion >= 4; }
    bool keepsPlanOrder() const override { return m_schemaVersion >= 5; }
    bool inTransaction() const override;
    qint64 historyMark() override;
    // The version of the file's tables (PRAGMA user_version).
    int schemaVersion() const { return m_schemaVersion; }
    // Runs a script of several statements; throws DbError on failure.
    void runScript(const QString& script);

    sqlite3* handle() const { return m_handle; }
    QString path() const { return m_path; }
    QString connectionName() const { return m_connectionName; }

private:
    void close();
    // Another copy of the program (or another program) committed to the file: the change feed
    // is told. Asked of SQLite once a second, which costs next to nothing while nothing changes.
    void watchOtherWriters();
    // Tells the feed what other connections changed since the last look.
    void announceOthersChanges(ChangeFeed& feed);
    // Brings a file of an earlier version up to date, after a backup copy: row_version columns
    // and their triggers, then the planner's tables. A read-only file stays as it is (and its
    // saves are not version-checked).
    void upgrade();
    // This connection's own history entries get the desktop user and their transaction's mark.
    void markOwnHistory();
    // Whether the tables have every column the triggers of a script name.
    bool hasColumnsOf(const QString& script);

    QString m_connectionName;
    QString m_path;
    sqlite3* m_handle = nullptr;
    int m_schemaVersion = 0;
    std::unique_ptr<QTimer> m_watch;
    qint64 m_dataVersion = -1;
    qint64 m_lastEntry = -1; // the last history entry announced; -1: no history to read
    bool m_marksHistory = false;
};
