// A team database: one libpq connection to a PostgreSQL server, named by a connection string or
// URI. Changes by other clients arrive as notifications on the same connection, watched by the
// event loop; a lost connection is re-established by itself once the server is back.
#pragma once

#include "app/Connection.h"

#include <QElapsedTimer>

#include <future>
#include <memory>

class QSocketNotifier;
class QTimer;
struct pg_conn;
struct pg_result;

class PgConnection final : public Connection {
public:
    // The schema version this program reads and writes.
    static constexpr int schemaVersion = 4;

    enum class Check { Schema, None };
    // Connects (asking for a password when the server wants one that libpq's own sources do not
    // give) and, unless told otherwise, refuses a database without the program's tables.
    explicit PgConnection(const QString& target, Check check = Check::Schema);
    ~PgConnection() override;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    SqlText::Dialect dialect() const override { return SqlText::Dialect::PostgreSql; }
    std::unique_ptr<ResultCursor> query(const QString& statement) override;
    // Read row by row on a second connection of its own, so that the shared one stays free
    // for the statements that run while the rows arrive.
    std::unique_ptr<ResultCursor> streamQuery(const QString& statement) override;
    int execute(const QString& statement) override;
    bool isReadOnly() const override { return m_readOnly; }
    QString describe() const override;
    void begin() override;
    void commit() override;
    void rollback() override;

    bool keepsOwnBackups() const override { return false; }
    QString titleName() const override { return describe(); }
    QString kindAndPlace() const override;
    bool hasRowVersions() const override { return true; }
    bool hasPlanner() const override { return true; } // a database of an earlier version is not opened
    QString lockSuffix() const override { return QStringLiteral(" for update"); }
    bool keepsHistory() const override { return true; }
    bool inTransaction() const override;
    qint64 historyMark() override;
    QString storedTable(const QString& kind) const override;
    QString entryOrderColumn() const override { return QStringLiteral("seq"); }
    QString keepingIds() const override { return QStringLiteral(" OVERRIDING SYSTEM VALUE"); }
    QString personText(const QString& name) const override { return QStringLiteral("role ") + name; }
    // The retention is the database owner's (its table history_retention), whoever asks.
    QStringList historyPruneStatements(int, qint64) const override {
        return {QStringLiteral("SELECT fennick_prune_history()")};
    }

    // Whether a database name is one of PostgreSQL's (a libpq connection string or URI) rather
    // than the path of a local file.
    static bool recognises(const QString& target);

    // Runs a script of several statements (schema creation); throws DbError on failure.
    void runScript(const QString& script);
    // Host and database name ("fennick on db.example.org").
    QString hostText() const;
    QString databaseName() const;
    QString userName() const;
    bool isConnected() const;
    // Starts opening the second connection that streamQuery() reads on, in the background.
    void openReaderSoon();
    // Tries once to get a lost connection back, waiting for it; true when connected. False at
    // once while an attempt in the background is under way.
    bool reconnect();
    // Starts an attempt to connect again that the event loop carries on, so that the window
    // stays usable while a server that does not answer is waited for.
    void reconnectInBackground();

private:
    // A new libpq connection with the program's settings and the password of this run, if any;
    // `options` are the server settings for the session.
    static pg_conn* openConnection(const QString& target, const QString& password, const char* options = nullptr);
    pg_conn* openConnection() const { return openConnection(m_target, m_password); }
    void connectNow(bool mayAsk);
    void prepareSession();
    // The reader connection, opened or opened again when needed; null when it cannot be had.
    std::shared_ptr<pg_conn> reader();
    void watchSocket();
    void readNotifications();
    pg_result* run(const QString& statement);
    // Throws the plain message for a failed statement; saving: it was part of a save.
    [[noreturn]] void fail(pg_result* result, bool saving);
    void lost();
    // The steps of an attempt in the background: waiting for its socket, going on, giving up.
    void waitForAttempt(int polling);
    void continueAttempt();
    void dropAttempt();

    QString m_target;
    Check m_check;
    pg_conn* m_conn = nullptr;
    // For streamQuery(), opened when first needed; shared with the cursor reading on it, which
    // may outlive a reader that was replaced.
    std::shared_ptr<pg_conn> m_reader;
    std::future<pg_conn*> m_readerOpening;
    QString m_password; // asked for in this run only, never stored
    bool m_readOnly = false;
    bool m_lost = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::unique_ptr<QTimer> m_retry;
    pg_conn* m_connecting = nullptr; // an attempt to connect again, under way
    std::unique_ptr<QSocketNotifier> m_connectNotifier;
    QElapsedTimer m_connectClock;
};

// Texts of PostgreSQL's type numbers that the rows are read by.
namespace PgTypes {
bool isInteger(unsigned int oid);
bool isFloat(unsigned int oid);
} // namespace PgTypes
