// One open database behind the shared connection: the local SQLite file or a team database on
// a PostgreSQL server. The shared connection (Database) adapts the statement texts and hands
// them to the connection it holds; lists, editors, reports and the sample loader never see which.
#pragma once

#include "RawValue.h"
#include "RecordIds.h"
#include "SqlText.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class ChangeFeed;
// The rows of one query, read forward. Errors throw DbError.
class ResultCursor {
public:
    virtual ~ResultCursor() = default;
    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    // Moves to the next row (the first on the first call); false when there is none.
    virtual bool next() = 0;
    // Values of the current row: integers as qint64, other numbers as double, everything else
    // (dates too, as yyyy-MM-dd) as text; a missing value is a null QVariant.
    virtual QVariant value(int column) const = 0;
    virtual bool isNull(int column) const = 0;
    // Numbers as plain decimal text, texts and dates as stored; a missing value gives "".
    virtual QString rawText(int column) const = 0;
    // The value as the database gave it, without making a QString (for list fills).
    virtual RawValue raw(int column) const = 0;
};

class Connection {
public:
    virtual ~Connection() = default;

    virtual SqlText::Dialect dialect() const = 0;
    // Runs one statement (already adapted to the dialect) and returns its rows.
    virtual std::unique_ptr<ResultCursor> query(const QString& statement) = 0;
    // As query(), for a long list read a slice at a time while other statements run: the first
    // rows are there as soon as the database has them, the rest arrive as they are read.
    virtual std::unique_ptr<ResultCursor> streamQuery(const QString& statement) { return query(statement); }

    // A read-only connection of its own to the same database, for one query whose rows are read
    // on another thread while this connection goes on serving its own. Made on this connection's
    // thread; then used by one thread at a time.
    class ThreadReader {
    public:
        virtual ~ThreadReader() = default;
        // Runs one statement (already adapted to the dialect) and returns its rows, valid while
        // the reader lives; nullptr when no connection could be had (the caller then reads on
        // the shared connection). Errors throw DbError in the shared connection's words.
        virtual std::unique_ptr<ResultCursor> query(const QString& statement) = 0;
    };
    // A reader for another thread; nullptr where there is none, or while a transaction is open
    // here (the reader would not see its changes): the caller reads on this connection then.
    virtual std::unique_ptr<ThreadReader> openThreadReader() { return nullptr; }
    // Runs one statement (already adapted) and returns the number of rows it changed.
    virtual int execute(const QString& statement) = 0;
    // As execute(), with values bound to its parameters $1, $2, ... (each once, in that order): a
    // null QVariant is NULL; bools, whole and other numbers, and texts are given as such.
    virtual int executeWith(const QString& statement, const QVariantList& values) = 0;
    // Whether every write would be refused (a read-only file, a role that may not write).
    virtual bool isReadOnly() const = 0;
    // What the user is told about where the data lives (a file path, or host and database).
    virtual QString describe() const = 0;

    // Groups statements so that all of them or none take effect.
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;

    // What sets one kind of database apart, asked as properties so that no caller needs to know
    // which kind it has.

    // Whether the program makes its own backup copies before deletes and imports (a local file);
    // a server's backups are its administrator's business.
    virtual bool keepsOwnBackups() const = 0;
    // The local file's path; empty for a database on a server.
    virtual QString filePath() const { return {}; }
    // The name the window title carries for this database ("fennick on db.example.org"); empty
    // when the title names no database (the local file).
    virtual QString titleName() const { return {}; }
    // What About says of the database in use ("SQLite file /home/...").
    virtual QString kindAndPlace() const = 0;
    // Whether the records carry a row version (row_version) that each update raises, so that a
    // save can tell that someone else changed the record since it was read.
    virtual bool hasRowVersions() const = 0;
    // Whether the database has the planner's tables (task outline, milestones, links, calendar).
    virtual bool hasPlanner() const { return false; }
    // Whether tasks keep the plan's own order among their siblings (PlanOrder; schema version 5 of
    // the file, 7 of a team database) and whether a milestone stands at the start of its day
    // (MilestoneAtStart, the same step).
    virtual bool keepsPlanOrder() const { return false; }
    // What a read of a record's version adds to keep the record locked until the transaction
    // ends (" for update"); empty where the transaction itself holds the lock.
    virtual QString lockSuffix() const { return {}; }
    // After rows were written with IDs of their own (an import that keeps IDs): moves the
    // numbering of new records past every ID in use or referred to (a task's deleted contact), and
    // never back, so that no number is handed out twice. Every numbered table is moved.
    virtual void moveIdsPastKept(const QStringList& tables) {
        Q_UNUSED(tables)
        RecordIds::moveCountersPastUsed(*this);
    }

    // Whether a transaction is open on the connection (one begun by a BEGIN statement too).
    virtual bool inTransaction() const { return false; }
    // The history of the records (schema version 4): whether the database keeps one.
    virtual bool keepsHistory() const { return false; }
    // Inside a write transaction, after its statements: the mark shared by the history entries
    // this transaction wrote (their Tx), or 0 when it wrote none.
    virtual qint64 historyMark() { return 0; }
    // The table that stores the records of a kind named in the history ("status" ...), and the
    // column that keeps a value-list entry's place in its list ("seq" in the history).
    virtual QString storedTable(const QString& kind) const { return kind; }
    virtual QString entryOrderColumn() const { return QStringLiteral("rowid"); }
    // What an insert that gives a record back its own ID adds after the column list.
    virtual QString keepingIds() const { return {}; }
    // Who made a change, as the history window names them (a desktop user; a role).
    virtual QString personText(const QString& name) const { return name; }
    // The statements that remove history entries older than the days or beyond the newest
    // number of entries (a SELECT gives the number removed; others count their rows).
    virtual QStringList historyPruneStatements(int days, qint64 entries) const {
        return {QStringLiteral("DELETE FROM History WHERE ID < coalesce((SELECT ID FROM History WHERE ChangedAt >= "
                               "strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-%1 days') ORDER BY ID LIMIT 1), "
                               "(SELECT max(ID) + 1 FROM History))")
                    .arg(days),
                QStringLiteral(
                    "DELETE FROM History WHERE ID <= (SELECT ID FROM History ORDER BY ID DESC LIMIT 1 OFFSET %1)")
                    .arg(entries)};
    }

    // Where this connection announces the changes other clients make (none until set).
    void setChangeFeed(ChangeFeed* feed) { m_feed = feed; }
    ChangeFeed* changeFeed() const { return m_feed; }

private:
    ChangeFeed* m_feed = nullptr;
};
