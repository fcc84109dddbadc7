#include "Database.h"

#include "SqlText.h"

#include <QFileInfo>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>
#include <QUuid>

#include <sqlite3.h>

#include <cmath>

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

} // namespace

// ---------------------------------------------------------------- ResultSet

ResultSet::ResultSet(QSqlQuery&& query)
    : m_query(std::make_unique<QSqlQuery>(std::move(query))) {
    const QSqlRecord record = m_query->record();
    for (int i = 0; i < record.count(); ++i)
        m_columns.insert(record.fieldName(i).toLower(), i);
    m_eof = !m_query->next();
}

ResultSet::ResultSet(ResultSet&&) noexcept = default;
ResultSet& ResultSet::operator=(ResultSet&&) noexcept = default;
ResultSet::~ResultSet() {
    close();
}

void ResultSet::moveNext() {
    if (m_eof)
        throw DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    m_eof = !m_query->next();
}

void ResultSet::close() {
    if (m_query) {
        m_query->finish();
        m_query.reset();
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
    if (m_eof || !m_query)
        throw DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    return m_query->value(column);
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
            throw DbError(QStringLiteral("The database '%1' could not be opened: %2").arg(path, reason));
        }
        sqlite3* handle = handleOf(db);
        if (handle) {
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
    } catch (const DbError&) {
        close();
        throw;
    }
}

bool Database::isOpen() const {
    return QSqlDatabase::contains(m_connectionName) && QSqlDatabase::database(m_connectionName, false).isOpen();
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
}

ResultSet Database::query(const QString& statement) {
    if (!isOpen())
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    q.setForwardOnly(true);
    if (!q.exec(SqlText::adaptDialect(statement)))
        throw DbError(errorText(q.lastError()));
    return ResultSet(std::move(q));
}

int Database::execute(const QString& statement) {
    if (!isOpen())
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    QSqlQuery q(QSqlDatabase::database(m_connectionName, false));
    if (!q.exec(SqlText::adaptDialect(statement)))
        throw DbError(errorText(q.lastError()));
    const int changed = q.numRowsAffected();
    q.finish();
    return changed;
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
