#include "Database.h"

#include "Backends.h"
#include "Backup.h"
#include "Connection.h"

#include <QRegularExpression>

#include <utility>

// ---------------------------------------------------------------- ResultSet

ResultSet::ResultSet(std::unique_ptr<ResultCursor> cursor)
    : m_cursor(std::move(cursor)) {
    const int count = m_cursor->columnCount();
    for (int i = 0; i < count; ++i)
        m_columns.insert(m_cursor->columnName(i).toLower(), i);
    m_eof = false;
    step();
}

ResultSet::ResultSet(ResultSet&& other) noexcept
    : m_cursor(std::move(other.m_cursor))
    , m_columns(std::move(other.m_columns))
    , m_eof(std::exchange(other.m_eof, true)) {}

ResultSet& ResultSet::operator=(ResultSet&& other) noexcept {
    if (this != &other) {
        close();
        m_cursor = std::move(other.m_cursor);
        m_columns = std::move(other.m_columns);
        m_eof = std::exchange(other.m_eof, true);
    }
    return *this;
}

ResultSet::~ResultSet() {
    close();
}

void ResultSet::step() {
    try {
        if (m_cursor->next())
            return;
    } catch (const DbError&) {
        close();
        throw;
    }
    m_eof = true;
}

void ResultSet::requireRow() const {
    if (m_eof || !m_cursor)
        throw DbError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
}

void ResultSet::moveNext() {
    requireRow();
    step();
}

void ResultSet::close() {
    m_cursor.reset();
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
    return m_cursor->value(column);
}

bool ResultSet::isNull(int column) const {
    requireRow();
    return m_cursor->isNull(column);
}

QString ResultSet::rawText(int column) const {
    requireRow();
    return m_cursor->rawText(column);
}

RawValue ResultSet::raw(int column) const {
    requireRow();
    return m_cursor->raw(column);
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

Database::Database() = default;

Database::~Database() {
    close();
}

void Database::open(const QString& target) {
    close();
    m_wanted = target;
    openNow();
}

void Database::adopt(const QString& target, std::unique_ptr<Connection> connection) {
    close();
    m_wanted = target;
    m_connection = std::move(connection);
    if (m_connection) {
        m_connection->setChangeFeed(&m_changes);
        emit m_changes.opened();
    }
}

void Database::openNow() {
    m_transactionDepth = 0;
    m_connection = Backends::open(m_wanted);
    m_connection->setChangeFeed(&m_changes);
    emit m_changes.opened();
}

bool Database::isOpen() const {
    return m_connection != nullptr;
}

bool Database::isReadOnly() const {
    return m_connection && m_connection->isReadOnly();
}

void Database::close() {
    m_connection.reset();
    m_wanted.clear();
    m_transactionDepth = 0;
}

QString Database::path() const {
    return m_connection ? m_connection->filePath() : QString();
}

QString Database::titleName() const {
    if (m_connection)
        return m_connection->titleName();
    return isShared() ? m_wanted : QString(); // not reached: named as it was asked for
}

bool Database::isShared() const {
    return Backends::isShared(m_wanted);
}

QString Database::describe() const {
    return m_connection ? m_connection->describe() : m_wanted;
}

Connection& Database::ready() {
    if (!m_connection && !m_wanted.isEmpty())
        openNow(); // the cause of an earlier failure may be gone
    if (!m_connection)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    return *m_connection;
}

QString Database::adapt(const QString& statement) {
    const QString adapted = SqlText::adaptDialect(statement, m_connection->dialect());
    if (m_observer)
        m_observer(adapted);
    return adapted;
}

ResultSet Database::query(const QString& statement) {
    Connection& connection = ready();
    return ResultSet(connection.query(adapt(statement)));
}

ResultSet Database::streamQuery(const QString& statement) {
    Connection& connection = ready();
    return ResultSet(connection.streamQuery(adapt(statement)));
}

int Database::execute(const QString& statement) {
    return executeWith(statement, {});
}

int Database::executeWith(const QString& statement, const QVariantList& values) {
    Connection& connection = ready();
    const QString adapted = adapt(statement);
    if (connection.keepsOwnBackups() && !connection.isReadOnly())
        backupBeforeDelete(statement);
    static const QRegularExpression write(QStringLiteral("^\\s*(insert|update|delete)\\s"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression ending(QStringLiteral("^\\s*(commit|end)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (m_transactionDepth == 0 && m_historyListener && connection.keepsHistory()) {
        if (!connection.inTransaction() && write.match(adapted).hasMatch()) {
            // A single write is a transaction of its own, found in the history by its mark.
            int changed = 0;
            transaction([&] { changed = connection.executeWith(adapted, values); });
            return changed;
        }
        if (connection.inTransaction() && ending.match(adapted).hasMatch()) {
            // A transaction begun and committed by statements (an import's).
            const qint64 mark = connection.historyMark();
            const int changed = connection.executeWith(adapted, values);
            if (mark != 0 && m_historyListener)
                m_historyListener(mark);
            return changed;
        }
    }
    return connection.executeWith(adapted, values);
}

void Database::transaction(const std::function<void()>& work) {
    Connection& connection = ready();
    if (m_transactionDepth > 0) { // already inside one: it takes this work with it
        work();
        return;
    }
    connection.begin();
    ++m_transactionDepth;
    try {
        work();
    } catch (...) {
        m_transactionDepth = 0;
        try {
            if (m_connection)
                m_connection->rollback();
        } catch (const DbError&) {
            // The connection is gone: the server rolled the work back itself.
        }
        throw;
    }
    qint64 mark = 0;
    if (m_historyListener && connection.keepsHistory()) {
        try {
            mark = connection.historyMark();
        } catch (...) {
            m_transactionDepth = 0;
            connection.rollback();
            throw;
        }
    }
    m_transactionDepth = 0;
    connection.commit();
    if (mark != 0 && m_historyListener)
        m_historyListener(mark);
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
