// The shared connection: the one SQLite connection that every window reads and writes through.
#pragma once

#include "DbError.h"
#include "RawValue.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// A read-only result opened on the shared connection and walked forward to its end.
// Column names are looked up without regard to case. Errors throw DbError.
class ResultSet {
public:
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
    // The value of a column of the current row without conversion.
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
    friend class Database;
    explicit ResultSet(sqlite3_stmt* statement);
    QVariant checkedValue(const QString& name) const;
    void step();
    void requireRow() const;

    sqlite3_stmt* m_statement = nullptr;
    QHash<QString, int> m_columns; // lower-case name -> index
    bool m_eof = true;
};

class Database {
public:
    // The program-wide shared connection.
    static Database& shared();

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing SQLite file for reading and writing. A missing or unreadable file is
    // an error: no empty database is ever created in its place. When the open fails, the next
    // query or statement tries again, so the program works once the cause is gone.
    void open(const QString& path);
    bool isOpen() const;
    // Whether the open file can only be read (writes are refused with a clear message).
    bool isReadOnly() const;
    void close();
    QString path() const { return m_path; }

    // Runs a query; the result is walked forward with eof()/moveNext() and closed by its owner.
    ResultSet query(const QString& statement);
    // Runs one statement and returns the number of rows it changed.
    int execute(const QString& statement);

    // The name of the Qt connection (for code that needs a QSqlDatabase, such as backups).
    QString connectionName() const { return m_connectionName; }

    // Called with the text of every statement as it is sent to SQLite (after the dialect
    // adaptation). For diagnostics and tests; an empty function switches it off.
    void setStatementObserver(std::function<void(const QString&)> observer) { m_observer = std::move(observer); }

    // The raw handle while open (for the online backup); nullptr when closed.
    sqlite3* handle() const { return m_handle; }

private:
    sqlite3_stmt* prepare(const QString& statement);
    void openNow(const QString& path);
    void backupBeforeDelete(const QString& statement);

    QString m_connectionName;
    sqlite3* m_handle = nullptr;
    QString m_path;
    QString m_wantedPath; // the file start-up asked for; reopened on demand after a failure
    std::function<void(const QString&)> m_observer;
};

// Plain decimal text of a number: no grouping, no exponent for ordinary sizes, "." as separator.
QString numberText(double value);
// A stored value as shown in lists: ISO dates in the system's short date format, numbers as
// plain decimal text, texts as they are.
QString displayText(const QVariant& value, bool isDateColumn);
// The system's short date text of an ISO date text (cached: lists show the same dates often).
QString shortDateText(const QString& isoDate);
// Whether a column name is one of the date columns (StartDate, EndDate, DueDate...).
bool isDateColumnName(const QString& name);
