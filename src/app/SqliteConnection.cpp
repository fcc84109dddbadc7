#include "SqliteConnection.h"

#include "ChangeFeed.h"

#include "Backup.h"
#include "DbError.h"
#include "HistoryUser.h"
#include "SchemaViews.h"
#include "ValueText.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <sqlite3.h>

#include <cctype>

namespace {

// First() and Last(): the value of the first and of the last row that the aggregate sees.
struct FirstLastState {
    sqlite3_value* value;
    bool seen;
};

void firstStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* state = static_cast<FirstLastState*>(sqlite3_aggregate_context(ctx, sizeof(FirstLastState)));
    if (state && !state->seen) {
        state->value = sqlite3_value_dup(argv[0]);
        state->seen = true;
    }
}

void lastStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* state = static_cast<FirstLastState*>(sqlite3_aggregate_context(ctx, sizeof(FirstLastState)));
    if (state) {
        sqlite3_value_free(state->value);
        state->value = sqlite3_value_dup(argv[0]);
        state->seen = true;
    }
}

void firstLastFinal(sqlite3_context* ctx) {
    auto* state = static_cast<FirstLastState*>(sqlite3_aggregate_context(ctx, 0));
    if (state && state->value) {
        sqlite3_result_value(ctx, state->value);
        sqlite3_value_free(state->value);
        state->value = nullptr;
    } else {
        sqlite3_result_null(ctx);
    }
}

sqlite3* handleOf(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

QString errorText(const QSqlError& error) {
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.driverText();
    if (text.isEmpty())
        text = QStringLiteral("Unknown database error");
    return text;
}

// A rule of the schema refused a change: what that means for the user. The schema's own
// messages (raised by its triggers) are already in the user's words.
QString constraintText(int extendedCode, const QString& detail) {
    switch (extendedCode) {
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return QStringLiteral("The record that this one belongs to no longer exists, so nothing was saved.");
    case SQLITE_CONSTRAINT_NOTNULL:
        return QStringLiteral("A value that must be given is missing, so nothing was saved (%1).").arg(detail);
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        return QStringLiteral("This entry is already there, so nothing was saved (%1).").arg(detail);
    case SQLITE_CONSTRAINT_CHECK:
        return QStringLiteral("A value is not one that may be stored here, so nothing was saved (%1).").arg(detail);
    case SQLITE_CONSTRAINT_TRIGGER:
        return detail;
    default:
        return QStringLiteral("The database refused the change, so nothing was saved (%1).").arg(detail);
    }
}

// The database's message for a failure, in words a user understands for the usual causes.
QString failureText(sqlite3* handle, int code) {
    const QString detail = QString::fromUtf8(sqlite3_errmsg(handle));
    switch (code & 0xff) {
    case SQLITE_READONLY:
        return QStringLiteral("The database file is read-only, so nothing was saved (%1).").arg(detail);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("The database file is in use by another program, so nothing was saved; please try "
                              "again (%1).")
            .arg(detail);
    case SQLITE_FULL:
        return QStringLiteral("The disk is full, so nothing was saved (%1).").arg(detail);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("The database file is damaged or is not a Fennick Planner database (%1).").arg(detail);
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return QStringLiteral("The database file could not be read or written (%1).").arg(detail);
    case SQLITE_CONSTRAINT:
        return constraintText(sqlite3_extended_errcode(handle), detail);
    default:
        return detail;
    }
}

// One prepared statement, stepped row by row.
class SqliteCursor final : public ResultCursor {
public:
    explicit SqliteCursor(sqlite3_stmt* statement)
        : m_statement(statement) {}
    ~SqliteCursor() override { sqlite3_finalize(m_statement); }
    SqliteCursor(const SqliteCursor&) = delete;
    SqliteCursor& operator=(const SqliteCursor&) = delete;

    int columnCount() const override { return sqlite3_column_count(m_statement); }
    QString columnName(int column) const override {
        return QString::fromUtf8(sqlite3_column_name(m_statement, column));
    }
    bool next() override {
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw DbError(failureText(sqlite3_db_handle(m_statement), rc));
        return false;
    }
    QVariant value(int column) const override {
        switch (sqlite3_column_type(m_statement, column)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER:
            return QVariant(static_cast<qint64>(sqlite3_column_int64(m_statement, column)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(m_statement, column));
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, column)),
                              sqlite3_column_bytes(m_statement, column));
        default:
            return rawText(column);
        }
    }
    bool isNull(int column) const override { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }
    QString rawText(int column) const override {
        switch (sqlite3_column_type(m_statement, column)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER:
            return QString::number(sqlite3_column_int64(m_statement, column));
        case SQLITE_FLOAT:
            return numberText(sqlite3_column_double(m_statement, column));
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
            return QString::fromUtf8(text, sqlite3_column_bytes(m_statement, column));
        }
        }
    }

    RawValue raw(int column) const override {
        RawValue v;
        switch (sqlite3_column_type(m_statement, column)) {
        case SQLITE_NULL:
            break;
        case SQLITE_INTEGER:
            v.type = RawValue::Type::Integer;
            v.integer = sqlite3_column_int64(m_statement, column);
            break;
        case SQLITE_FLOAT:
            v.type = RawValue::Type::Real;
            v.real = sqlite3_column_double(m_statement, column);
            break;
        default:
            v.type = RawValue::Type::Text;
            v.text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
            v.size = sqlite3_column_bytes(m_statement, column);
            break;
        }
        return v;
    }

private:
    sqlite3_stmt* m_statement;
};

sqlite3_stmt* prepareOne(sqlite3* handle, const QString& statement) {
    const QByteArray text = statement.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(handle, text.constData(), static_cast<int>(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        const QString message = failureText(handle, rc);
        sqlite3_finalize(stmt);
        throw DbError(message);
    }
    if (!stmt)
        throw DbError(QStringLiteral("The statement is empty."));
    // One statement per call: anything after its end is refused, never run.
    for (const char* p = tail; p && *p; ++p) {
        if (!isspace(static_cast<unsigned char>(*p)) && *p != ';') {
            sqlite3_finalize(stmt);
            throw DbError(QStringLiteral("Characters found after end of SQL statement."));
        }
    }
    return stmt;
}

// A second handle on the file, read-only and without the shared connection's set-up (no schema
// upgrade, no temporary tables, no watch), for one query read on another thread.
class SqliteThreadReader final : public Connection::ThreadReader {
public:
    explicit SqliteThreadReader(sqlite3* handle)
        : m_handle(handle) {}
    ~SqliteThreadReader() override { sqlite3_close_v2(m_handle); }
    SqliteThreadReader(const SqliteThreadReader&) = delete;
    SqliteThreadReader& operator=(const SqliteThreadReader&) = delete;

    std::unique_ptr<ResultCursor> query(const QString& statement) override {
        return std::make_unique<SqliteCursor>(prepareOne(m_handle, statement));
    }

private:
    sqlite3* m_handle;
};

} // namespace

SqliteConnection::SqliteConnection(const QString& path)
    : m_connectionName(QStringLiteral("fennick-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        throw DbError(QStringLiteral("The SQLite database driver is not installed."));
    if (!QFileInfo(path).isFile())
        throw DbError(QStringLiteral("Could not find file '%1'.").arg(path));

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        // mode=rw: opening never creates a file; a busy timeout lets a second copy of the
        // program wait for a lock instead of failing at once.
        const QString uri = QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded()) + QStringLiteral("?mode=rw");
        db.setDatabaseName(uri);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            const QString reason = errorText(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            throw DbError(QStringLiteral("The database file '%1' could not be opened: %2").arg(path, reason));
        }
        sqlite3* handle = handleOf(db);
        if (!handle) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            throw DbError(QStringLiteral("The SQLite driver gave no database handle."));
        }
        m_handle = handle;
        sqlite3_create_function_v2(handle, "First", 1, SQLITE_UTF8, nullptr, nullptr, firstStep, firstLastFinal,
                                   nullptr);
        sqlite3_create_function_v2(handle, "Last", 1, SQLITE_UTF8, nullptr, nullptr, lastStep, firstLastFinal, nullptr);
        m_path = path;
    }

    // A file that is not a database (or is damaged) opens lazily: read it now so the user is
    // told at start-up, and leave the file as it is.
    try {
        execute(QStringLiteral("PRAGMA foreign_keys = ON"));
        auto cursor = query(QStringLiteral("select count(*) from sqlite_master"));
        cursor->next();
        cursor.reset();
        SchemaViews::bringLocalUpToDate(*this);
    } catch (const DbError& e) {
        close();
        throw DbError(QStringLiteral("The database file '%1' could not be opened: %2").arg(path, e.description()));
    }
    upgrade();
    markOwnHistory();
    watchOtherWriters();
}

void SqliteConnection::markOwnHistory() {
    if (!keepsHistory())
        return;
    // Temporary objects live with this connection only: other programs' entries stay unmarked.
    // The mark of a transaction is the ID of its first entry, kept while the transaction lasts
    // (a statement outside one is a transaction of its own).
    try {
        runScript(
            QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS fennick_step (id INTEGER PRIMARY KEY);"
                           "CREATE TEMP TRIGGER IF NOT EXISTS fennick_history_mark AFTER INSERT ON main.History "
                           "FOR EACH ROW BEGIN "
                           "INSERT INTO fennick_step SELECT NEW.ID WHERE NOT EXISTS (SELECT 1 FROM fennick_step); "
                           "UPDATE History SET ChangedBy = %1, Tx = (SELECT id FROM fennick_step) "
                           "WHERE ID = NEW.ID; END;")
                .arg(SqlText::quoted(HistoryUser::localName())));
        m_marksHistory = true;
    } catch (const DbError&) {
        // A file whose history cannot be marked still records it, without who made the changes.
    }
}

bool SqliteConnection::inTransaction() const {
    return m_handle && !sqlite3_get_autocommit(m_handle);
}

qint64 SqliteConnection::historyMark() {
    if (!m_marksHistory)
        return 0;
    auto cursor = query(QStringLiteral("SELECT id FROM temp.fennick_step"));
    return cursor->next() ? cursor->value(0).toLongLong() : 0;
}

namespace {

// The name of a table as the change feed gives it (the team database's), from the history's.
QString feedTableName(const QByteArray& historyName) {
    if (historyName == "status" || historyName == "categories" || historyName == "priorities")
        return QString::fromLatin1(historyName + "_entries");
    return QString::fromLatin1(historyName);
}

} // namespace

void SqliteConnection::watchOtherWriters() {
    if (!QCoreApplication::instance())
        return;
    auto dataVersion = [this]() -> qint64 {
        sqlite3_stmt* stmt = nullptr;
        qint64 version = -1;
        if (m_handle && sqlite3_prepare_v2(m_handle, "PRAGMA data_version", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            version = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return version;
    };
    // The history names what the other copies changed: the entries after the last one seen.
    m_lastEntry = -1;
    if (keepsHistory()) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_handle, "SELECT ifnull(max(ID), 0) FROM History", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            m_lastEntry = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
    }
    m_dataVersion = dataVersion();
    m_watch = std::make_unique<QTimer>();
    m_watch->setInterval(1000);
    QObject::connect(m_watch.get(), &QTimer::timeout, [this, dataVersion] {
        // data_version changes only for commits of other connections, never for this one's own.
        const qint64 now = dataVersion();
        if (now < 0 || now == std::exchange(m_dataVersion, now))
            return;
        if (ChangeFeed* feed = changeFeed())
            announceOthersChanges(*feed);
    });
    m_watch->start();
}

void SqliteConnection::announceOthersChanges(ChangeFeed& feed) {
    if (m_lastEntry < 0 || !sqlite3_get_autocommit(m_handle)) {
        feed.announce(QString());
        return;
    }
    // (This copy's own entries since the last look come too: reading those rows again is harmless.)
    sqlite3_stmt* stmt = nullptr;
    QHash<QString, QList<qint64>> records;
    qint64 last = m_lastEntry;
    int entries = 0;
    bool read = sqlite3_prepare_v2(m_handle, "SELECT ID, TableName, RecordID FROM History WHERE ID > ? ORDER BY ID", -1,
                                   &stmt, nullptr) == SQLITE_OK &&
                sqlite3_bind_int64(stmt, 1, m_lastEntry) == SQLITE_OK;
    int step = SQLITE_DONE;
    while (read && (step = sqlite3_step(stmt)) == SQLITE_ROW) {
        last = sqlite3_column_int64(stmt, 0);
        const QByteArray table(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)),
                               sqlite3_column_bytes(stmt, 1));
        records[feedTableName(table)].append(sqlite3_column_int64(stmt, 2));
        if (++entries > ChangeFeed::maxRecords)
            break;
    }
    sqlite3_finalize(stmt);
    if (!read || (step != SQLITE_DONE && step != SQLITE_ROW) || entries > ChangeFeed::maxRecords) {
        // Which records is not known (or too many of them): every list is read again.
        if (read && sqlite3_prepare_v2(m_handle, "SELECT max(ID) FROM History", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            m_lastEntry = std::max(m_lastEntry, sqlite3_column_int64(stmt, 0));
        sqlite3_finalize(stmt);
        feed.announce(QString());
        return;
    }
    m_lastEntry = last;
    if (entries == 0) // a change the history does not keep (the calendar, say)
        feed.announce(QString());
    for (auto it = records.cbegin(); it != records.cend(); ++it)
        feed.announce(it.key(), it.value());
}

namespace {

// The file's schema version (PRAGMA user_version): 1 row versions, 2 the planner's tables, 3 the
// bounds of its texts.
constexpr int rowVersionSchema = 1;
constexpr int plannerSchema = 2;
constexpr int textLimitsSchema = 3;
constexpr int historySchema = 4;
constexpr int planOrderSchema = 5;
constexpr const char* versionedTables[] = {"Employees", "Projects", "Tasks"};

} // namespace

// The scripts are a resource of the core library, a static library: registered by hand, and from
// outside any namespace.
static void registerSchemaScripts() {
    Q_INIT_RESOURCE(schema);
}

namespace {

// The script of a step, built into the program (the same one the template was made with).
QString stepScript(const QString& name) {
    static const bool registered = (registerSchemaScripts(), true);
    Q_UNUSED(registered);
    QFile file(QStringLiteral(":/schema/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("The schema script is missing from the program."));
    return QString::fromUtf8(file.readAll());
}

} // namespace

void SqliteConnection::runScript(const QString& script) {
    char* error = nullptr;
    if (sqlite3_exec(m_handle, script.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString text = error ? QString::fromUtf8(error) : QStringLiteral("unknown error");
        sqlite3_free(error);
        throw DbError(text);
    }
}

bool SqliteConnection::hasColumnsOf(const QString& script) {
    // SQLite looks up a trigger's columns only when it fires: a missing one would make every
    // later change of the table fail.
    static const QRegularExpression trigger(QStringLiteral("CREATE TRIGGER \\w+ \\w+ \\w+ ON (\\w+)([^;]*;[^;]*;)"));
    static const QRegularExpression column(QStringLiteral("\\b(?:NEW|OLD)\\.(\\w+)"));
    for (auto t = trigger.globalMatch(script); t.hasNext();) {
        const auto found = t.next();
        QSet<QString> present;
        auto columns =
            query(QStringLiteral("select name from pragma_table_info(%1)").arg(SqlText::quoted(found.captured(1))));
        while (columns->next())
            present.insert(columns->value(0).toString().toLower());
        for (auto c = column.globalMatch(found.captured(2)); c.hasNext();) {
            const QString name = c.next().captured(1).toLower();
            if (name != QLatin1String("rowid") && !present.contains(name))
                return false;
        }
    }
    return true;
}

void SqliteConnection::upgrade() {
    auto scalar = [this](const QString& sql) {
        auto cursor = query(sql);
        return cursor->next() ? cursor->value(0).toLongLong() : 0;
    };
    try {
        m_schemaVersion = static_cast<int>(scalar(QStringLiteral("PRAGMA user_version")));
        if (m_schemaVersion >= planOrderSchema)
            return;
        for (const char* table : versionedTables) {
            if (scalar(QStringLiteral("select count(*) from sqlite_master where type='table' and name='%1'")
                           .arg(QLatin1String(table))) == 0)
                return; // not a file of this program's: left alone
        }
        if (isReadOnly())
            return;
        Backup::copyOpenFile(m_handle, m_path);
        // Each step in one transaction: a file is at one version or the next, never between.
        if (m_schemaVersion < rowVersionSchema) {
            begin();
            for (const char* table : versionedTables) {
                const QString t = QLatin1String(table);
                if (scalar(QStringLiteral("select count(*) from pragma_table_info('%1') where name='row_version'")
                               .arg(t)) == 0)
                    execute(QStringLiteral("ALTER TABLE %1 ADD COLUMN row_version INTEGER NOT NULL DEFAULT 1").arg(t));
                execute(QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_Version AFTER UPDATE ON %1 FOR EACH ROW "
                                       "WHEN NEW.row_version = OLD.row_version "
                                       "BEGIN UPDATE %1 SET row_version = OLD.row_version + 1 WHERE ID = NEW.ID; END")
                            .arg(t));
            }
            execute(QStringLiteral("PRAGMA user_version = %1").arg(rowVersionSchema));
            commit();
            m_schemaVersion = rowVersionSchema;
        }
        if (m_schemaVersion < plannerSchema) {
            begin();
            runScript(stepScript(QStringLiteral("planner.sql")));
            commit();
            m_schemaVersion = plannerSchema;
        }
        if (m_schemaVersion < textLimitsSchema) {
            begin();
            runScript(stepScript(QStringLiteral("limits.sql")));
            commit();
            m_schemaVersion = textLimitsSchema;
        }
        if (m_schemaVersion < historySchema) {
            const QString history = stepScript(QStringLiteral("history.sql"));
            if (!hasColumnsOf(history))
                return; // a file with columns of its own keeps working without a history
            begin();
            runScript(history);
            commit();
            m_schemaVersion = historySchema;
        }
        // The order's step rewrites the history's triggers of tasks: it follows the history.
        begin();
        runScript(stepScript(QStringLiteral("order.sql")));
        commit();
        m_schemaVersion = planOrderSchema;
    } catch (const DbError&) {
        // The file works as before at the version it reached; the next open tries again.
        try {
            rollback();
        } catch (const DbError&) {
        }
    }
}

QString SqliteConnection::kindAndPlace() const {
    return QStringLiteral("SQLite file %1").arg(m_path);
}

SqliteConnection::~SqliteConnection() {
    close();
}

void SqliteConnection::close() {
    m_watch.reset();
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_handle = nullptr;
}

bool SqliteConnection::isReadOnly() const {
    return m_handle && sqlite3_db_readonly(m_handle, "main") == 1;
}

std::unique_ptr<ResultCursor> SqliteConnection::query(const QString& statement) {
    return std::make_unique<SqliteCursor>(prepareOne(m_handle, statement));
}

std::unique_ptr<Connection::ThreadReader> SqliteConnection::openThreadReader() {
    if (!m_handle || inTransaction())
        return nullptr;
    const QByteArray uri = QUrl::fromLocalFile(m_path).toEncoded() + "?mode=ro";
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(uri.constData(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(handle); // the file is gone from its place, say: the shared connection reads
        return nullptr;
    }
    sqlite3_busy_timeout(handle, 5000);
    return std::make_unique<SqliteThreadReader>(handle);
}

int SqliteConnection::execute(const QString& statement) {
    return executeWith(statement, {});
}

int SqliteConnection::executeWith(const QString& statement, const QVariantList& values) {
    // A new transaction (a BEGIN, or a statement outside any) starts a new history mark.
    if (m_marksHistory && sqlite3_get_autocommit(m_handle))
        sqlite3_exec(m_handle, "DELETE FROM temp.fennick_step", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = prepareOne(m_handle, statement);
    if (!values.isEmpty() && sqlite3_bind_parameter_count(stmt) != values.size()) {
        sqlite3_finalize(stmt);
        throw DbError(QStringLiteral("The statement takes %1 values, and %2 were given.")
                          .arg(sqlite3_bind_parameter_count(stmt))
                          .arg(values.size()));
    }
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values[i];
        const int at = i + 1;
        if (v.isNull()) {
            sqlite3_bind_null(stmt, at);
        } else if (v.typeId() == QMetaType::Bool) {
            sqlite3_bind_int(stmt, at, v.toBool() ? 1 : 0);
        } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
            sqlite3_bind_int64(stmt, at, v.toLongLong());
        } else if (v.typeId() == QMetaType::Double) {
            sqlite3_bind_double(stmt, at, v.toDouble());
        } else {
            const QByteArray text = v.toString().toUtf8();
            sqlite3_bind_text(stmt, at, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
    }
    if (!sqlite3_stmt_readonly(stmt) && isReadOnly()) {
        sqlite3_finalize(stmt);
        throw DbError(QStringLiteral("The database file is read-only, so nothing was saved (%1).").arg(m_path));
    }
    int rc = sqlite3_step(stmt);
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
        const QString message = failureText(m_handle, rc);
        sqlite3_finalize(stmt);
        throw DbError(message);
    }
    sqlite3_finalize(stmt);
    return sqlite3_changes(m_handle);
}

void SqliteConnection::begin() {
    execute(QStringLiteral("BEGIN IMMEDIATE"));
}

void SqliteConnection::commit() {
    execute(QStringLiteral("COMMIT"));
}

void SqliteConnection::rollback() {
    if (m_handle && !sqlite3_get_autocommit(m_handle))
        execute(QStringLiteral("ROLLBACK"));
}
