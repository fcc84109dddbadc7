// The shared connection that every window reads and writes through, and the rows it reads.
#pragma once

#include "ChangeFeed.h"
#include "Connection.h"
#include "DbError.h"
#include "RawValue.h"
#include "SqlText.h"
#include "ValueText.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class Connection;
class ResultCursor;

// A read-only result opened on the shared connection and walked forward to its end.
// Column names are looked up without regard to case. Errors throw DbError.
class ResultSet {
public:
    explicit ResultSet(std::unique_ptr<ResultCursor> cursor);
    ResultSet(ResultSet&&) noexcept;
    ResultSet& operator=(ResultSet&&) noexcept;
    ~ResultSet();

    bool eof() const { return m_eof; }
    void moveNext();
    void close();

    int columnCount() const;
    // Index of a column by name (any letter case); throws when there is no such column.
    int column(const QString& name) const;
    bool hasColumn(const QString& name) const;

    QVariant value(int column) const;
    bool isNull(int column) const;
    // The plain text of a column of the current row: numbers as plain decimal text, dates as
    // stored (ISO). A missing value gives the empty text.
    QString rawText(int column) const;
    // The value of a column of the current row without conversion (texts valid until the next
    // move), for fills that must not make a QString for every cell.
    RawValue raw(int column) const;
    QVariant value(const QString& name) const { return value(column(name)); }
    bool isNull(const QString& name) const { return value(name).isNull(); }

    // The value as the user sees it: a date in the system's short date format, a number as
    // plain decimal text. A missing value is an error ("Invalid use of Null").
    QString text(const QString& name) const;
    // As text(), but a missing value gives the empty text.
    QString textOrEmpty(const QString& name) const;
    // A date column's value as a date; a missing or malformed value is an error.
    QDate date(const QString& name) const;
    // An integer column's value; a missing value is an error.
    qint64 integer(const QString& name) const;

private:
    QVariant checkedValue(const QString& name) const;
    void step();
    void requireRow() const;

    std::unique_ptr<ResultCursor> m_cursor;
    QHash<QString, int> m_columns; // lower-case name -> index
    bool m_eof = true;
};

// The shared connection: one open database of a kind that the composition root registered
// (Backends): the local SQLite file, or a team database on a PostgreSQL server.
class Database {
public:
    // The program-wide shared connection.
    static Database& shared();

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens a local file or a team database. A missing or unreadable file is an error: no empty
    // database is ever created in its place. When the open fails, the next query or statement
    // tries again, so the program works once the cause is gone.
    void open(const QString& target);
    // Takes over a connection that is open already (tested before switching to it), in place of
    // the one in use.
    void adopt(const QString& target, std::unique_ptr<Connection> connection);
    bool isOpen() const;
    // Whether every write is refused (a read-only file, a role that may only read).
    bool isReadOnly() const;
    void close();
    // The local file's path; empty for a database on a server.
    QString path() const;
    // What was opened (file path or connection string), even after a failed open.
    QString target() const { return m_wanted; }
    // Whether what was opened lives on a server shared by a team (for the team's own commands).
    bool isShared() const;
    // Where the data lives, for the user: the file path, or host and database name.
    QString describe() const;
    // Whether the program makes its own backup copies of this database (see Connection).
    bool keepsOwnBackups() const { return m_connection && m_connection->keepsOwnBackups(); }
    // The name that the window title carries for the database in use (empty: none).
    QString titleName() const;

    // Runs a query; the result is walked forward with eof()/moveNext() and closed by its owner.
    ResultSet query(const QString& statement);
    // As query(), for a long list that is read a slice at a time while other statements run.
    ResultSet streamQuery(const QString& statement);
    // Runs one statement and returns the number of rows it changed.
    int execute(const QString& statement);
    // As execute(), with values bound to the statement's parameters $1, $2, ... (each once, in
    // that order): for values that came from outside the program.
    int executeWith(const QString& statement, const QVariantList& values);
    // After rows were written with IDs of their own: new records of these tables get IDs past
    // every ID in use.
    void moveIdsPastKept(const QStringList& tables) { ready().moveIdsPastKept(tables); }
    // Runs work so that all of its statements take effect or none: a throw rolls back and is
    // passed on.
    void transaction(const std::function<void()>& work);

    // Called with the text of every statement as it is sent to the database (after the dialect
    // adaptation). For diagnostics and tests; an empty function switches it off.
    void setStatementObserver(std::function<void(const QString&)> observer) { m_observer = std::move(observer); }

    // Called after every write transaction of this program that the history recorded, with the
    // mark its entries share (see Connection::historyMark); none by default. Single writes
    // outside a transaction then run in one of their own, so that each is found.
    void setHistoryListener(std::function<void(qint64 mark)> listener) { m_historyListener = std::move(listener); }

    // The open connection, or nullptr.
    Connection* connection() const { return m_connection.get(); }
    // The news of changes made by others, for as long as this shared connection lives.
    ChangeFeed& changes() { return m_changes; }

private:
    Connection& ready();
    QString adapt(const QString& statement);
    void openNow();
    void backupBeforeDelete(const QString& statement);

    ChangeFeed m_changes;
    std::unique_ptr<Connection> m_connection;
    QString m_wanted; // what start-up asked for; reopened on demand after a failure
    int m_transactionDepth = 0;
    std::function<void(const QString&)> m_observer;
    std::function<void(qint64)> m_historyListener;
};
