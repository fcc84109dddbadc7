// A team database: one libpq connection to a PostgreSQL server, named by a connection string or
// URI. Changes by other clients arrive as notifications on the same connection, watched by the
// event loop; a lost connection is re-established by itself once the server is back. A long list
// streams in on a second connection that is closed once the list has been read.
#pragma once

#include "app/Connection.h"

#include <QByteArray>
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
    static constexpr int schemaVersion = 7;

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
    // for the statements that run while the rows arrive; it is closed after the last row.
    std::unique_ptr<ResultCursor> streamQuery(const QString& statement) override;
    // A second connection with a list reader's settings, opened by its query on the thread that
    // runs it.
    std::unique_ptr<ThreadReader> openThreadReader() override;
    int execute(const QString& statement) override;
    int executeWith(const QString& statement, const QVariantList& values) override;
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
    bool keepsPlanOrder() const override { return true; }
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
    // Closes a reader, ending the transaction it may be left in.
    static void closeReader(pg_conn* conn);
    // Tries once to get a lost connection back, waiting for it; true when connected. False at
    // once while an attempt in the background is under way.
    bool reconnect();
    // Starts an attempt to connect again that the event loop carries on, so that the window
    // stays usable while a server that does not answer is waited for.
    void reconnectInBackground();

private:
    // A new libpq connection with the program's parameters and the password of this run, if any.
    static pg_conn* openConnection(const QString& target, const QString& password);
    pg_conn* openConnection() const { return openConnection(m_target, m_password); }
    // A connection for a list with the reader's settings; null when none can be had in time.
    static pg_conn* openReader(const QString& target, const QString& password, bool sessionKept);
    // Behind a pooler (the session not kept) a reader's read is a transaction that carries its
    // wait, which closeReader() ends; false when it could not be begun.
    static bool beginRead(pg_conn* conn, bool sessionKept);
    void connectNow(bool mayAsk);
    void prepareSession();
    // Behind a pooler: sends a notice from a second connection and, if it never arrives, tells
    // the user once that others' changes cannot reach this copy (transaction pooling).
    void checkListening();
    // Tells the user once that others' changes cannot arrive.
    void notListening();
    // A reader connection for one list, the one opened in the background if it is still good;
    // null when none can be had.
    std::shared_ptr<pg_conn> reader();
    void watchSocket();
    // Opens the listener when an address is set for it; false when none is.
    bool listenApart();
    void readNotifications();
    pg_result* run(const QString& statement, const QVariantList& values = {});
    // Throws the plain message for a failed statement; saving: it was part of a save.
    [[noreturn]] void fail(pg_result* result, bool saving);
    // Runs one statement on the connection. One that is not done at once (a record in use
    // elsewhere holds it back) waits with the windows still painting and a notice that it waits.
    pg_result* runWaiting(const QByteArray& text, bool saving, const QVariantList& values = {});
    void lost();
    // The steps of an attempt in the background: waiting for its socket, going on, giving up.
    void waitForAttempt(int polling);
    void continueAttempt();
    void dropAttempt();

    QString m_target;
    Check m_check;
    pg_conn* m_conn = nullptr;
    // The server session's process number (behind a pooler not the one that libpq knows).
    int m_serverPid = 0;
    // A reader opened in the background at the start, for the first list.
    std::future<pg_conn*> m_readerOpening;
    // Whether the server session lasts from one transaction to the next (not so behind a
    // transaction pooler), and the check that tells.
    bool m_sessionKept = true;
    std::unique_ptr<QTimer> m_listenCheck;
    int m_listenPid = 0; // the server session that took the LISTEN
    QByteArray m_listenToken;
    bool m_listenHeard = false;
    QElapsedTimer m_listenClock;
    QString m_password; // asked for in this run only, never stored
    bool m_readOnly = false;
    bool m_lost = false;
    bool m_waiting = false; // a statement waits, and the windows paint meanwhile
    std::unique_ptr<QSocketNotifier> m_notifier;
    // The notices of others' changes on a connection of their own to the server's own address
    // (setting TeamListenAddress), when the shared connection goes through a transaction pooler.
    pg_conn* m_listener = nullptr;
    std::unique_ptr<QSocketNotifier> m_listenerNotifier;
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
