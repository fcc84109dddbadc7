#include "Database.h"

#include "Backup.h"
#include "SqlText.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <QUuid>

#include <sqlite3.h>

#include <cctype>
#include <cmath>
#include <utility>

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
    default:
        return detail;
    }
}

} // namespace

// ---------------------------------------------------------------- ResultSet

ResultSet::ResultSet(sqlite3_stmt* statement)
    : m_statement(statement) {
    const int count = sqlite3_column_count(m_statement);
    for (int i = 0; i < count; ++i)
        m_columns.insert(QString::fromUtf8(sqlite3_column_name(m_statement, i)).toLower(), i);
    m_eof = false;
    step();
}

ResultSet::ResultSet(ResultSet&& other) noexcept
    : m_statement(std::exchange(other.m_statement, nullptr))
    , m_columns(std::move(other.m_columns))
    , m_eof(std::exchange(other.m_eof, true)) {}

ResultSet& ResultSet::operator=(ResultSet&& other) noexcept {
    if (this != &other) {
        close();
        m_statement = std::exchange(other.m_statement, nullptr);
        m_columns = std::move(other.m_columns);
        m_eof = std::exchange(other.m_eof, true);
    }
    return *this;
}

ResultSet::~ResultSet() {
    close();
}

void ResultSet::step() {
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return;
    m_eof = true;
    if (rc != SQLITE_DONE) {
        const QString message = failureText(sqlite3_db_handle(m_statement), rc);
        close();
        throw DbError(message);
    }
}

void ResultSet::requireRow() const {
    if (m_eof || !m_statement)
        throw DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
}

void ResultSet::moveNext() {
    requireRow();
    step();
}

void ResultSet::close() {
    if (m_statement) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
    m_eof = true;
}

int ResultSet::columnCount() const {
    return static_cast<int>(m_columns.size());
}

int ResultSet::column(const QString& name) const {
    const auto it = m_columns.constFind(name.toLower());
    if (it == m_columns.constEnd())
        throw DbError(QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                     "name or ordinal: %1")
                          .arg(name));
    return it.value();
}

bool ResultSet::hasColumn(const QString& name) const {
    return m_columns.contains(name.toLower());
}

QVariant ResultSet::value(int column) const {
    requireRow();
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

bool ResultSet::isNull(int column) const {
    requireRow();
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

QString ResultSet::rawText(int column) const {
    requireRow();
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

QVariant ResultSet::checkedValue(const QString& name) const {
    const QVariant v = value(name);
    if (v.isNull())
        throw DbError(QStringLiteral("Invalid use of Null (%1)").arg(name));
    return v;
}

QString ResultSet::text(const QString& name) const {
    return displayText(checkedValue(name), isDateColumnName(name));
}

QString ResultSet::textOrEmpty(const QString& name) const {
    const QVariant v = value(name);
    return v.isNull() ? QString() : displayText(v, isDateColumnName(name));
}

QDate ResultSet::date(const QString& name) const {
    const QVariant v = checkedValue(name);
    const QDate d = QDate::fromString(v.toString().left(10), Qt::ISODate);
    if (!d.isValid())
        throw DbError(QStringLiteral("Type mismatch (%1 is not a date)").arg(name));
    return d;
}

qint64 ResultSet::integer(const QString& name) const {
    bool ok = false;
    const qint64 n = checkedValue(name).toLongLong(&ok);
    if (!ok)
        throw DbError(QStringLiteral("Type mismatch (%1 is not a number)").arg(name));
    return n;
}

// ---------------------------------------------------------------- Database

Database& Database::shared() {
    // Never destroyed: Qt's connection registry may already be gone when static objects end.
    // Shutdown closes the connection explicitly.
    static Database* instance = new Database;
    return *instance;
}

Database::Database()
    : m_connectionName(QStringLiteral("fennick-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

Database::~Database() {
    close();
}

void Database::open(const QString& path) {
    close();
    m_wantedPath = path;
    openNow(path);
    Backup::makeDailyBackup(*this);
}

void Database::openNow(const QString& path) {
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
        {
            sqlite3_create_function_v2(handle, "First", 1, SQLITE_UTF8, nullptr, nullptr, firstStep, firstLastFinal,
                                       nullptr);
            sqlite3_create_function_v2(handle, "Last", 1, SQLITE_UTF8, nullptr, nullptr, lastStep, firstLastFinal,
                                       nullptr);
        }
        m_path = path;
    }

    // A file that is not a database (or is damaged) opens lazily: read it now so the user is
    // told at start-up, and leave the file as it is.
    try {
        execute(QStringLiteral("PRAGMA foreign_keys = ON"));
        query(QStringLiteral("select count(*) from sqlite_master"));
    } catch (const DbError& e) {
        const QString wanted = m_wantedPath;
        close();
        m_wantedPath = wanted;
        throw DbError(QStringLiteral("The database file '%1' could not be opened: %2").arg(path, e.description()));
    }
}

bool Database::isReadOnly() const {
    return m_handle && sqlite3_db_readonly(m_handle, "main") == 1;
}

bool Database::isOpen() const {
    return m_handle != nullptr;
}

void Database::close() {
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_path.clear();
    m_wantedPath.clear();
    m_handle = nullptr;
}

sqlite3_stmt* Database::prepare(const QString& statement) {
    if (!m_handle && !m_wantedPath.isEmpty())
        openNow(m_wantedPath); // the cause of an earlier failure may be gone
    if (!m_handle)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    const QString adapted = SqlText::adaptDialect(statement);
    if (m_observer)
        m_observer(adapted);
    const QByteArray text = adapted.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_handle, text.constData(), static_cast<int>(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        const QString message = failureText(m_handle, rc);
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

ResultSet Database::query(const QString& statement) {
    return ResultSet(prepare(statement));
}

int Database::execute(const QString& statement) {
    sqlite3_stmt* stmt = prepare(statement);
    if (!sqlite3_stmt_readonly(stmt)) {
        if (isReadOnly()) {
            sqlite3_finalize(stmt);
            throw DbError(QStringLiteral("The database file is read-only, so nothing was saved (%1).").arg(m_path));
        }
        try {
            backupBeforeDelete(statement);
        } catch (const DbError&) {
            sqlite3_finalize(stmt);
            throw;
        }
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

void Database::backupBeforeDelete(const QString& statement) {
    // A copy before a delete that takes other rows with it: a value-list entry or a contact (with
    // their projects), or a project that still has tasks.
    static const QRegularExpression cascading(
        QStringLiteral("^\\s*delete\\s+from\\s+(\\[?(status|categories|priorities)\\]?|employees)(\\s|$)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression project(
        QStringLiteral("^\\s*delete\\s+from\\s+projects\\s+where\\s+id\\s*=\\s*(\\d+)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    bool needed = cascading.match(statement).hasMatch();
    if (!needed) {
        const QRegularExpressionMatch m = project.match(statement);
        if (m.hasMatch()) {
            ResultSet rs = query(QStringLiteral("select count(*) from Tasks where ProjectID=") + m.captured(1));
            needed = !rs.eof() && rs.value(0).toLongLong() > 0;
        }
    }
    if (needed)
        Backup::makeBackup(*this);
}

// ---------------------------------------------------------------- value texts

QString numberText(double value) {
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

QString shortDateText(const QString& isoDate) {
    static QHash<QString, QString> cache;
    const auto it = cache.constFind(isoDate);
    if (it != cache.constEnd())
        return it.value();
    const QDate d = QDate::fromString(isoDate.left(10), Qt::ISODate);
    const QString shown = d.isValid() ? QLocale::system().toString(d, QLocale::ShortFormat) : isoDate;
    if (cache.size() > 10000)
        cache.clear();
    cache.insert(isoDate, shown);
    return shown;
}

QString displayText(const QVariant& value, bool isDateColumn) {
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return numberText(value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return QString::number(value.toLongLong());
    default:
        break;
    }
    const QString text = value.toString();
    return isDateColumn ? shortDateText(text) : text;
}

bool isDateColumnName(const QString& name) {
    return name.endsWith(QLatin1String("date"), Qt::CaseInsensitive);
}
