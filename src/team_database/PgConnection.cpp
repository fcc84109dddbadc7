#include "PgConnection.h"

#include "TeamSchema.h"
#include "app/ChangeFeed.h"
#include "app/DbError.h"
#include "app/FieldBounds.h"
#include "app/Messages.h"
#include "app/SchemaViews.h"
#include "app/Settings.h"
#include "app/SqlText.h"
#include "app/ValueText.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <libpq-fe.h>

#include <poll.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace PgTypes {
bool isInteger(unsigned int oid) {
    return oid == 20 || oid == 21 || oid == 23 || oid == 26; // int8, int2, int4, oid
}
bool isFloat(unsigned int oid) {
    return oid == 700 || oid == 701 || oid == 1700; // float4, float8, numeric
}
} // namespace PgTypes

namespace {

// Connections opened on threads of their own. Before the process's exit handlers run, those
// threads are joined, not merely waited for: a thread that has handed over its connection still
// frees its TLS library state (OpenSSL's random generator of the thread) as it ends, and that must
// not meet the library's exit handler tearing the same state down (the heap breaks: glibc's
// "malloc_consolidate(): invalid chunk size" in a program that opened and ended at once).
struct OpeningThread {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
};
std::mutex openingsMutex;
std::vector<OpeningThread> openingThreads;

void joinOpenings() {
    std::vector<OpeningThread> threads;
    {
        const std::lock_guard lock(openingsMutex);
        threads.swap(openingThreads);
    }
    for (OpeningThread& t : threads)
        t.thread.join();
}

// Runs `work` on a thread of its own; its result comes through the future.
template <typename Work> std::future<std::invoke_result_t<Work>> inBackground(Work work) {
    // Registered after the shared connection set up TLS, so it runs before TLS is torn down.
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(joinOpenings); });
    std::packaged_task<std::invoke_result_t<Work>()> task(std::move(work));
    std::future<std::invoke_result_t<Work>> result = task.get_future();
    auto done = std::make_shared<std::atomic<bool>>(false);
    const std::lock_guard lock(openingsMutex);
    // The threads of earlier openings that did their work are let go (their end is a moment away).
    std::erase_if(openingThreads, [](OpeningThread& t) {
        if (!t.done->load())
            return false;
        t.thread.join();
        return true;
    });
    openingThreads.push_back({std::thread([task = std::move(task), done]() mutable {
                                  task();
                                  done->store(true);
                              }),
                              done});
    return result;
}

constexpr const char* channel = "fennick_changes";
// A statement not done after this long shows that it waits, and the windows paint meanwhile.
constexpr qint64 waitShownAfterMs = 300;
// While the server is away, how often the program looks for it again.
constexpr int retryMilliseconds = 1000;
// How long a connection may take: libpq's wait for a server that does not answer (connect_timeout),
// an attempt to connect again in the background, and the first statement of a session, which a
// pooler holds back until one of its server connections is free.
constexpr qint64 connectTimeoutMilliseconds = 10000;
// How long a notice sent to the program's own channel from a second connection may take to
// arrive before the program concludes that its LISTEN does not last (behind a pooler only).
constexpr qint64 listenCheckMilliseconds = 3000;
// The payload of those notices; other copies of the program ignore them.
constexpr const char* listenCheckPrefix = "listen check ";

// How long a statement may wait for a lock that another session holds, and how long it may run
// at all, before the server gives it up (seconds; settings TeamLockTimeout, TeamStatementTimeout).
// A save never waits for ever behind someone else's lock.
constexpr double defaultLockSeconds = 5;
constexpr double defaultStatementSeconds = 30;

int waitMilliseconds(const QString& key, double defaultSeconds) {
    bool ok = false;
    const double seconds = Settings::read(key, QString()).toDouble(&ok);
    return static_cast<int>((ok && seconds > 0 ? seconds : defaultSeconds) * 1000);
}

// What the server's refusal means for the user, in plain words, for the causes that are not the
// program's fault: a record locked elsewhere, a statement that took too long. Empty for others.
QString waitText(const QByteArray& code, bool saving) {
    if (code == "55P03") // lock_not_available: the program's own lock timeout
        return saving ? QStringLiteral("This record is in use elsewhere: another user or program holds it locked. "
                                       "Nothing was saved; please try again in a moment.")
                      : QStringLiteral("These records are in use elsewhere: another user or program holds them "
                                       "locked, so they could not be read. Please try again in a moment.");
    if (code == "57014") // query_canceled: a statement timeout, the program's or the server's
        return saving ? QStringLiteral("The team database did not answer in time (the record may be in use "
                                       "elsewhere). Nothing was saved; please try again in a moment.")
                      : QStringLiteral("The team database did not answer in time (the records may be in use "
                                       "elsewhere), so they could not be read. Please try again in a moment.");
    return {};
}

// The settings of the program's sessions, sent as statements once connected: a pooler such as
// PgBouncer refuses them as start-up options. They end by asking the server which session serves
// the connection. A list's reader reads dates as the shared connection does and waits for a lock
// no longer; it has no statement timeout of the program's, as a long list may take its time.
QByteArray sessionSettings(bool reader) {
    QByteArray text = "SET DateStyle = ISO, YMD; SET lock_timeout = " +
                      QByteArray::number(waitMilliseconds(QStringLiteral("TeamLockTimeout"), defaultLockSeconds));
    if (!reader)
        text += "; SET statement_timeout = " +
                QByteArray::number(waitMilliseconds(QStringLiteral("TeamStatementTimeout"), defaultStatementSeconds));
    return text + "; select pg_backend_pid()";
}

// The shared connection's waits for the transaction under way alone (SET LOCAL): behind a pooler
// that hands each transaction to whichever server session is free, a session's own settings would
// stay with that server session and reach the pooler's other clients. (DateStyle is one that
// PgBouncer keeps apart for each client.)
QByteArray localWaits() {
    return "SET LOCAL lock_timeout = " +
           QByteArray::number(waitMilliseconds(QStringLiteral("TeamLockTimeout"), defaultLockSeconds)) +
           "; SET LOCAL statement_timeout = " +
           QByteArray::number(waitMilliseconds(QStringLiteral("TeamStatementTimeout"), defaultStatementSeconds));
}

// A bound value as PostgreSQL reads it in text form; the server takes its type from the column.
QByteArray parameterText(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? "true" : "false";
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 9.0e15)
            return QByteArray::number(static_cast<qint64>(d));
        return QByteArray::number(d, 'g', 17);
    }
    return value.toString().toUtf8();
}

// Runs statements (several may be given) and waits for them at most `milliseconds`: the result of
// the first that failed, or else of the last. Null with `timedOut` set when the time ran out; the
// connection is then of no further use.
PGresult* execWithin(PGconn* conn, const QByteArray& statements, qint64 milliseconds, bool& timedOut) {
    timedOut = false;
    if (!PQsendQuery(conn, statements.constData()))
        return nullptr;
    const QDeadlineTimer deadline(milliseconds);
    PGresult* kept = nullptr;
    for (;;) {
        while (PQisBusy(conn)) {
            pollfd socket{PQsocket(conn), POLLIN, 0};
            const int ready = poll(&socket, 1, static_cast<int>(deadline.remainingTime()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0) {
                PQclear(kept);
                timedOut = true;
                return nullptr;
            }
            if (ready < 0 || !PQconsumeInput(conn))
                break; // PQgetResult reports the broken connection
        }
        PGresult* next = PQgetResult(conn);
        if (!next)
            return kept;
        if (kept && PQresultStatus(kept) == PGRES_FATAL_ERROR) {
            PQclear(next);
            continue;
        }
        PQclear(kept);
        kept = next;
    }
}

// Whether the server, or a pooler in front of it, refused a connection because all it allows
// are in use.
bool refusedAsFull(const QString& reason) {
    for (const char* full : {"too many clients already", "too many connections",
                             "remaining connection slots are reserved", "no more connections allowed"})
        if (reason.contains(QLatin1String(full)))
            return true;
    return false;
}

// A connection string as it may be shown: a password written into it is left out.
QString withoutPassword(const QString& target) {
    static const QRegularExpression keyValue(QStringLiteral("(\\bpassword\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'|\\S+)"));
    static const QRegularExpression inUri(QStringLiteral("^(postgres(?:ql)?://[^:/@?]*):[^@/?]*@"));
    QString shown = target;
    shown.replace(inUri, QStringLiteral("\\1@")).replace(keyValue, QStringLiteral("\\1..."));
    return shown;
}

// What a role granted only some of the tables is told when a read is refused.
QString readRefusal(PGconn* conn, const QString& detail) {
    return QStringLiteral("The role %1 may not read these records of the team database %2 on %3. Ask the "
                          "database's owner to grant the role its rights (%4).")
        .arg(QString::fromUtf8(PQuser(conn)), QString::fromUtf8(PQdb(conn)), QString::fromUtf8(PQhost(conn)), detail);
}

double toDouble(const char* text, int length) {
    double value = 0;
    std::from_chars(text, text + length, value);
    return value;
}

qint64 toInteger(const char* text, int length) {
    qint64 value = 0;
    std::from_chars(text, text + length, value);
    return value;
}

// The values of the current row of a result.
class PgRowValues : public ResultCursor {
public:
    int columnCount() const override { return m_columns; }
    QString columnName(int column) const override { return m_names[static_cast<size_t>(column)]; }
    bool isNull(int column) const override { return PQgetisnull(m_result, m_row, column) != 0; }
    QVariant value(int column) const override {
        if (isNull(column))
            return {};
        const char* text = PQgetvalue(m_result, m_row, column);
        const int length = PQgetlength(m_result, m_row, column);
        const Oid type = m_types[static_cast<size_t>(column)];
        if (PgTypes::isInteger(type))
            return QVariant(toInteger(text, length));
        if (PgTypes::isFloat(type))
            return QVariant(toDouble(text, length));
        if (type == 16) // bool
            return QVariant(text[0] == 't');
        return QString::fromUtf8(text, length);
    }
    QString rawText(int column) const override {
        if (isNull(column))
            return {};
        const char* text = PQgetvalue(m_result, m_row, column);
        const int length = PQgetlength(m_result, m_row, column);
        const Oid type = m_types[static_cast<size_t>(column)];
        if (PgTypes::isInteger(type))
            return QString::fromLatin1(text, length);
        if (PgTypes::isFloat(type))
            return numberText(toDouble(text, length));
        return QString::fromUtf8(text, length);
    }

    RawValue raw(int column) const override {
        RawValue v;
        if (isNull(column))
            return v;
        const char* text = PQgetvalue(m_result, m_row, column);
        const int length = PQgetlength(m_result, m_row, column);
        const Oid type = m_types[static_cast<size_t>(column)];
        if (PgTypes::isInteger(type)) {
            v.type = RawValue::Type::Integer;
            v.integer = toInteger(text, length);
        } else if (PgTypes::isFloat(type)) {
            v.type = RawValue::Type::Real;
            v.real = toDouble(text, length);
        } else {
            v.type = RawValue::Type::Text;
            v.text = text;
            v.size = length;
        }
        return v;
    }

protected:
    // Takes the columns from a result.
    void describe(const PGresult* result) {
        m_columns = PQnfields(result);
        m_types.clear();
        m_names.clear();
        for (int i = 0; i < m_columns; ++i) {
            m_types.push_back(PQftype(result, i));
            m_names.push_back(QString::fromUtf8(PQfname(result, i)));
        }
    }

    PGresult* m_result = nullptr;
    int m_row = -1;
    int m_columns = 0;
    std::vector<Oid> m_types;
    std::vector<QString> m_names;
};

// All rows of one result, held by the client and read forward.
class PgCursor final : public PgRowValues {
public:
    explicit PgCursor(PGresult* result)
        : m_rows(PQntuples(result)) {
        m_result = result;
        describe(result);
    }
    ~PgCursor() override { PQclear(m_result); }
    PgCursor(const PgCursor&) = delete;
    PgCursor& operator=(const PgCursor&) = delete;

    bool next() override { return ++m_row < m_rows; }

private:
    int m_rows;
};

// The rows of one query as the server sends them, one result per row (libpq's single-row
// mode): the first row is there as soon as the server has it, and reading the rows overlaps
// the server's work. The connection is this cursor's alone and is closed once the last row has
// been read or the cursor is closed; closing early asks the server to stop.
class PgStreamCursor final : public PgRowValues {
public:
    // Sends the statement and waits for the first row (or the end, or an error).
    PgStreamCursor(std::shared_ptr<PGconn> connection, const QByteArray& statement)
        : m_connection(std::move(connection))
        , m_conn(m_connection.get()) {
        if (!PQsendQueryParams(m_conn, statement.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0))
            throw DbError(QString::fromUtf8(PQerrorMessage(m_conn)).trimmed());
        PQsetSingleRowMode(m_conn);
        m_ahead = take();
        describe(m_ahead);
    }
    ~PgStreamCursor() override {
        PQclear(m_result);
        PQclear(m_ahead);
        if (m_done)
            return;
        if (PGcancel* cancel = PQgetCancel(m_conn)) {
            char reason[256];
            PQcancel(cancel, reason, sizeof reason);
            PQfreeCancel(cancel);
        }
        while (PGresult* rest = PQgetResult(m_conn))
            PQclear(rest);
    }
    PgStreamCursor(const PgStreamCursor&) = delete;
    PgStreamCursor& operator=(const PgStreamCursor&) = delete;

    bool next() override {
        PQclear(m_result);
        m_result = m_ahead ? std::exchange(m_ahead, nullptr) : (m_done ? nullptr : take());
        m_row = 0;
        if (m_result && PQresultStatus(m_result) == PGRES_SINGLE_TUPLE)
            return true;
        PQclear(m_result);
        m_result = nullptr;
        // The last row has been read: the reader goes, so that an idle copy holds one connection.
        if (m_done)
            m_connection.reset();
        return false;
    }

private:
    // The next result: a row, or the end (after which the connection is free again).
    PGresult* take() {
        PGresult* result = PQgetResult(m_conn);
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_SINGLE_TUPLE)
            return result;
        // The end of the rows (or an error): the connection has nothing more to give after it.
        while (PGresult* rest = PQgetResult(m_conn))
            PQclear(rest);
        m_done = true;
        if (status == PGRES_TUPLES_OK)
            return result;
        const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        if (const QString waited = waitText(QByteArray(state ? state : ""), false); !waited.isEmpty()) {
            PQclear(result);
            throw DbError(waited, DbError::Kind::InUse);
        }
        if (state && qstrcmp(state, "42501") == 0) {
            const QString refused =
                readRefusal(m_conn, QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)));
            PQclear(result);
            throw DbError(refused, DbError::Kind::Lasting);
        }
        QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(m_conn)).trimmed();
        PQclear(result);
        if (PQstatus(m_conn) != CONNECTION_OK || message.isEmpty())
            throw DbError(QStringLiteral("The connection to the team database server was lost while the rows were "
                                         "read (%1).")
                              .arg(message.isEmpty() ? QStringLiteral("no reason given") : message),
                          DbError::Kind::Away);
        throw DbError(message);
    }

    std::shared_ptr<PGconn> m_connection;
    PGconn* m_conn;
    PGresult* m_ahead = nullptr; // read before it was asked for: the first row, or the end
    bool m_done = false;
};

// Stops a socket notifier. It may be the one whose signal runs now: it is deleted once that has
// returned.
void retire(std::unique_ptr<QSocketNotifier>& notifier) {
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier.release()->deleteLater();
}

QString serverMessage(const PGresult* result, pg_conn* conn) {
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    QString text = QString::fromUtf8(primary ? primary : PQerrorMessage(conn)).trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Unknown database error");
    return text;
}

} // namespace

PgConnection::PgConnection(const QString& target, Check check)
    : m_target(target)
    , m_check(check) {
    connectNow(true);
    try {
        prepareSession();
    } catch (...) {
        PQfinish(m_conn);
        m_conn = nullptr;
        throw;
    }
    watchSocket();
}

PgConnection::~PgConnection() {
    dropAttempt();
    if (m_readerOpening.valid())
        PQfinish(m_readerOpening.get());
    m_listenCheck.reset(); // its check on a second connection, if still under way, is waited for
    m_notifier.reset();
    m_listenerNotifier.reset();
    m_retry.reset();
    if (m_listener)
        PQfinish(m_listener);
    if (m_conn)
        PQfinish(m_conn);
}

namespace {
// The program's connection parameters; the connection string comes after them, so its own
// parameters win. (The session's settings follow as statements: see sessionSettings().)
class ConnectParams {
public:
    ConnectParams(const QString& target, const QString& password)
        : m_target(target.toUtf8())
        , m_password(password.toUtf8()) {
        for (const auto& [key, value] : {std::pair{"connect_timeout", "10"},
                                         {"keepalives_idle", "10"},
                                         {"keepalives_interval", "5"},
                                         {"keepalives_count", "3"}})
            add(key, value);
        add("dbname", m_target.constData());
        add("fallback_application_name", "fennick-planner");
        add("client_encoding", "UTF8");
        if (!m_password.isEmpty())
            add("password", m_password.constData());
        m_keys.push_back(nullptr);
        m_values.push_back(nullptr);
    }
    const char* const* keys() const { return m_keys.data(); }
    const char* const* values() const { return m_values.data(); }

private:
    void add(const char* key, const char* value) {
        m_keys.push_back(key);
        m_values.push_back(value);
    }
    QByteArray m_target, m_password;
    std::vector<const char*> m_keys, m_values;
};
} // namespace

PGconn* PgConnection::openConnection(const QString& target, const QString& password) {
    const ConnectParams params(target, password);
    return PQconnectdbParams(params.keys(), params.values(), 1);
}

void PgConnection::connectNow(bool mayAsk) {
    for (;;) {
        if (m_conn)
            PQfinish(m_conn);
        m_conn = openConnection();
        if (m_conn && PQstatus(m_conn) == CONNECTION_OK) {
            // The server's notices (NOTICE, WARNING) are not for the user.
            PQsetNoticeProcessor(
                m_conn, [](void*, const char*) {}, nullptr);
            m_lost = false;
            return;
        }
        const QString reason =
            m_conn ? QString::fromUtf8(PQerrorMessage(m_conn)).trimmed() : QStringLiteral("out of memory");
        const bool wantsPassword = m_conn && PQconnectionNeedsPassword(m_conn);
        // A password typed in this run that the server refused: asked for again, saying so.
        const bool refused = m_conn && !m_password.isEmpty() && PQconnectionUsedPassword(m_conn) &&
                             reason.contains(QLatin1String("password authentication failed"));
        if ((wantsPassword || refused) && mayAsk) {
            const QString user = QString::fromUtf8(PQuser(m_conn));
            m_password.clear();
            const QString typed = Messages::current().password(
                QStringLiteral("Team Database"),
                (refused ? QStringLiteral("The password was not accepted. ") : QString()) +
                    QStringLiteral("The team database %1 asks for the password of %2:").arg(describe(), user));
            if (!typed.isEmpty()) {
                m_password = typed;
                continue;
            }
        }
        if (m_conn)
            PQfinish(m_conn);
        m_conn = nullptr;
        if (wantsPassword || refused)
            m_password.clear(); // a wrong password is asked for again next time
        if (wantsPassword && !refused)
            throw DbError(QStringLiteral("Could not connect to the team database %1: the server asks for a password, "
                                         "and none was given. Type it when asked, or keep it in ~/.pgpass (or "
                                         "PGPASSWORD).")
                              .arg(withoutPassword(m_target)));
        // Trying again at once would only be refused again: said once (see Form_Load).
        if (refusedAsFull(reason))
            throw DbError(QStringLiteral("The team database %1 has no free connection: every connection that its "
                                         "server (or the connection pooler in front of it) allows is in use by other "
                                         "copies of the program or other programs (%2). Try again in a while, or ask "
                                         "its administrator to allow more connections.")
                              .arg(withoutPassword(m_target), reason.section(QLatin1Char('\n'), 0, 0)),
                          DbError::Kind::Lasting);
        throw DbError(QStringLiteral("Could not connect to the team database: %1").arg(reason), DbError::Kind::Away);
    }
}

namespace {

// A team database made by an earlier version shows a contact that no longer exists as an empty
// name. Its owner's connection replaces the two list views by today's in one transaction (views
// hold no data); any other role, or any failure, leaves them as they are.
void bringTeamViewsUpToDate(PGconn* conn) {
    const QByteArray check = QStringLiteral("select count(*) from pg_class c where c.oid in "
                                            "(to_regclass('\"open projects\"'), to_regclass('\"open tasks\"')) "
                                            "and pg_has_role(c.relowner, 'USAGE') and "
                                            "position(%1 in pg_get_viewdef(c.oid)) = 0")
                                 .arg(SqlText::quoted(QLatin1String(SchemaViews::deletedContact)))
                                 .toUtf8();
    PGresult* old = PQexec(conn, check.constData());
    const bool outdated =
        PQresultStatus(old) == PGRES_TUPLES_OK && PQntuples(old) == 1 && QByteArray(PQgetvalue(old, 0, 0)) != "0";
    PQclear(old);
    if (!outdated)
        return;
    QStringList views;
    try {
        views = SchemaViews::listViews(TeamSchema::script());
    } catch (const DbError&) {
        return;
    }
    auto ok = [conn](const QByteArray& statement) {
        PGresult* result = PQexec(conn, statement.constData());
        const bool done = PQresultStatus(result) == PGRES_COMMAND_OK;
        PQclear(result);
        return done;
    };
    if (views.size() != 2 || !ok("BEGIN"))
        return;
    static const QRegularExpression name(QStringLiteral("^CREATE VIEW\\s+(\"[^\"]+\")"));
    for (const QString& view : views) {
        if (!ok(QStringLiteral("DROP VIEW IF EXISTS %1").arg(name.match(view).captured(1)).toUtf8()) ||
            !ok(view.toUtf8())) {
            ok("ROLLBACK");
            return;
        }
    }
    if (!ok("COMMIT"))
        ok("ROLLBACK");
}

} // namespace

bool PgConnection::inTransaction() const {
    return m_conn && PQtransactionStatus(m_conn) != PQTRANS_IDLE;
}

qint64 PgConnection::historyMark() {
    // The entries of a transaction carry its ID.
    auto cursor = query(QStringLiteral("SELECT fennick_history_mark()"));
    return cursor->next() && !cursor->isNull(0) ? cursor->value(0).toLongLong() : 0;
}

QString PgConnection::storedTable(const QString& kind) const {
    // A value list is a view over a table that keeps the order of its entries.
    if (kind == QLatin1String("status") || kind == QLatin1String("categories") || kind == QLatin1String("priorities"))
        return kind + QLatin1String("_entries");
    return kind;
}

void PgConnection::prepareSession() {
    // A pooler lets the program in at once but makes its first statement wait for a free server
    // connection, for minutes if it must: the wait is bounded like a connect.
    bool timedOut = false;
    PGresult* session =
        execWithin(m_conn, "SET DateStyle = ISO, YMD; select pg_backend_pid()", connectTimeoutMilliseconds, timedOut);
    if (timedOut) {
        const QString place = describe();
        PQfinish(m_conn);
        m_conn = nullptr;
        throw DbError(QStringLiteral("The team database %1 took the connection but had no server connection free "
                                     "for it within %2 seconds: every connection of its connection pooler's pool is "
                                     "in use by other copies of the program. Try again in a while, or ask its "
                                     "administrator to make the pool larger (default_pool_size in PgBouncer).")
                          .arg(place)
                          .arg(connectTimeoutMilliseconds / 1000),
                      DbError::Kind::Lasting);
    }
    if (PQresultStatus(session) != PGRES_TUPLES_OK)
        fail(session, false);
    m_serverPid = QByteArray(PQgetvalue(session, 0, 0)).toInt();
    PQclear(session);
    // Through a pooler the session is not the server's (the numbers differ), and its settings
    // would outlive the program's transactions there: each transaction sets its own waits.
    m_sessionKept = m_serverPid == PQbackendPID(m_conn);
    if (m_sessionKept) {
        session = PQexec(m_conn, sessionSettings(false).constData());
        if (PQresultStatus(session) != PGRES_TUPLES_OK)
            fail(session, false);
        PQclear(session);
    }
    if (m_check == Check::Schema) {
        PGresult* version = PQexec(m_conn, "select version from fennick_schema");
        if (PQresultStatus(version) != PGRES_TUPLES_OK) {
            const char* state = PQresultErrorField(version, PG_DIAG_SQLSTATE);
            const bool missing = state && qstrcmp(state, "42P01") == 0;
            const bool noRights = state && qstrcmp(state, "42501") == 0;
            const QString detail = serverMessage(version, m_conn);
            PQclear(version);
            if (missing)
                throw DbError(QStringLiteral("The team database %1 has no Fennick Planner tables. Create them with: "
                                             "fennick-planner --create-schema --database \"%2\"")
                                  .arg(describe(), withoutPassword(m_target)),
                              DbError::Kind::Lasting);
            if (noRights)
                throw DbError(QStringLiteral("The role %1 may not read the tables of the team database %2, so it was "
                                             "not opened. Ask the database's owner to grant the role its rights "
                                             "(GRANT ... TO %1, as the team database guide shows).")
                                  .arg(userName(), describe()),
                              DbError::Kind::Lasting);
            throw DbError(QStringLiteral("The team database %1 could not be read: %2").arg(describe(), detail));
        }
        const int found = PQntuples(version) == 1 ? QByteArray(PQgetvalue(version, 0, 0)).toInt() : -1;
        PQclear(version);
        if (found > 0 && found < schemaVersion)
            throw DbError(QStringLiteral("The team database %1 has the tables of an earlier version of Fennick "
                                         "Planner, so it was not opened. Its owner brings them up to date, keeping "
                                         "every row, with: fennick-planner --create-schema --database \"%2\"")
                              .arg(describe(), withoutPassword(m_target)),
                          DbError::Kind::Lasting);
        if (found != schemaVersion)
            throw DbError(QStringLiteral("The team database %1 has tables of another version (%2) than this program "
                                         "uses (%3), so it was not opened.")
                              .arg(describe(), QString::number(found), QString::number(schemaVersion)),
                          DbError::Kind::Lasting);
        PGresult* rights = PQexec(m_conn, "select has_table_privilege('projects', 'INSERT') and "
                                          "current_setting('transaction_read_only') = 'off'");
        m_readOnly = PQresultStatus(rights) != PGRES_TUPLES_OK || PQgetvalue(rights, 0, 0)[0] != 't';
        PQclear(rights);
        if (!m_readOnly)
            bringTeamViewsUpToDate(m_conn);
    }
    // Through a pooler, the session is not the server's: the numbers differ.
    const bool pooled = m_serverPid != PQbackendPID(m_conn);
    if (!listenApart()) {
        // Which server session took the LISTEN, in the same round trip.
        const QByteArray listen = "LISTEN " + QByteArray(channel) + "; select pg_backend_pid()";
        PGresult* listening = PQexec(m_conn, listen.constData());
        if (PQresultStatus(listening) != PGRES_TUPLES_OK)
            fail(listening, false);
        m_listenPid = QByteArray(PQgetvalue(listening, 0, 0)).toInt();
        PQclear(listening);
        if (pooled) // whether the LISTEN lasts is found out once
            checkListening();
    }
    m_lost = false;
}

bool PgConnection::listenApart() {
    retire(m_listenerNotifier);
    if (m_listener)
        PQfinish(m_listener);
    m_listener = nullptr;
    const QString address = Settings::read(QStringLiteral("TeamListenAddress"), QString()).trimmed();
    if (address.isEmpty())
        return false;
    PGconn* conn = openConnection(address, m_password);
    PGresult* listening = PQstatus(conn) == CONNECTION_OK
                              ? PQexec(conn, QByteArray("LISTEN " + QByteArray(channel)).constData())
                              : nullptr;
    const bool ok = PQresultStatus(listening) == PGRES_COMMAND_OK;
    const QString reason = serverMessage(listening, conn);
    PQclear(listening);
    if (!ok) {
        PQfinish(conn);
        throw DbError(QStringLiteral("The team database %1 was not opened: the address set for the notices of "
                                     "others' changes (the setting TeamListenAddress, \"%2\") could not be used: %3")
                          .arg(describe(), address, reason));
    }
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    m_listener = conn;
    return true;
}

void PgConnection::checkListening() {
    if (m_listenCheck || !QCoreApplication::instance())
        return;
    m_listenToken = QByteArray(listenCheckPrefix) + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    // Sent once the event loop runs, while this copy is idle: a statement of its own under way on
    // the listening server session would take the notice by chance. The second connection says
    // which server session it got (0: none could be had).
    auto sent = std::make_shared<std::future<int>>();
    m_listenCheck = std::make_unique<QTimer>();
    m_listenCheck->setInterval(100);
    QObject::connect(m_listenCheck.get(), &QTimer::timeout, [this, sent] {
        if (!m_listenClock.isValid()) {
            if (!sent->valid()) {
                *sent = inBackground([target = m_target, password = m_password, token = m_listenToken] {
                    PGconn* conn = openConnection(target, password);
                    int pid = 0;
                    if (PQstatus(conn) == CONNECTION_OK) {
                        bool timedOut = false;
                        PGresult* result = execWithin(
                            conn, "select pg_backend_pid(), pg_notify('" + QByteArray(channel) + "', '" + token + "')",
                            connectTimeoutMilliseconds, timedOut);
                        if (PQresultStatus(result) == PGRES_TUPLES_OK)
                            pid = QByteArray(PQgetvalue(result, 0, 0)).toInt();
                        PQclear(result);
                    }
                    PQfinish(conn);
                    return pid;
                });
            }
            if (sent->wait_for(std::chrono::seconds(0)) != std::future_status::ready)
                return;
            const int pid = sent->get();
            if (pid == 0) { // no second connection to be had: nothing is known
                m_listenCheck->stop();
                return;
            }
            // The pooler gave the other connection the very server session that took the
            // LISTEN: that session is not this copy's.
            m_listenClock.start();
            if (pid == m_listenPid) {
                notListening();
                return;
            }
        }
        // The notice may wait in the socket while the event loop was busy.
        if (!m_listenHeard && isConnected() && PQtransactionStatus(m_conn) == PQTRANS_IDLE && PQconsumeInput(m_conn))
            readNotifications();
        if (!m_listenHeard && m_listenClock.elapsed() < listenCheckMilliseconds)
            return;
        if (m_listenHeard || !isConnected()) { // heard, or cut off meanwhile: nothing to say
            m_listenCheck->stop();
            return;
        }
        notListening();
    });
    m_listenCheck->start();
}

void PgConnection::notListening() {
    m_listenCheck->stop();
    m_sessionKept = false;
    if (ChangeFeed* feed = changeFeed())
        emit feed->notListening(
            QStringLiteral("Changes that others save do not reach this copy of Fennick Planner: the team database %1 "
                           "is reached through a connection pooler that gives each transaction to whichever server "
                           "connection is free (transaction pooling), and the notices of changes need one server "
                           "connection for the whole session. Your own saves are not affected, and the lists show "
                           "others' changes whenever they are filled again. To see them live, ask the administrator "
                           "to pool this database in session mode (pool_mode = session in PgBouncer), or give the "
                           "program the server's own address for the notices alone (the setting "
                           "TeamListenAddress).")
                .arg(describe()));
}

void PgConnection::watchSocket() {
    m_notifier.reset();
    m_listenerNotifier.reset();
    if (!QCoreApplication::instance() || !m_conn)
        return;
    const auto watch = [this](PGconn* conn) {
        auto notifier = std::make_unique<QSocketNotifier>(PQsocket(conn), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this, conn] {
            if (PQconsumeInput(conn) == 0 || PQstatus(conn) != CONNECTION_OK) {
                lost();
                return;
            }
            readNotifications();
        });
        return notifier;
    };
    m_notifier = watch(m_conn);
    if (m_listener)
        m_listenerNotifier = watch(m_listener);
}

void PgConnection::readNotifications() {
    for (PGconn* conn : {m_conn, m_listener}) {
        if (!conn)
            continue;
        while (PGnotify* note = PQnotifies(conn)) {
            const QByteArray extra(note->extra);
            if (extra.startsWith(listenCheckPrefix))
                m_listenHeard = m_listenHeard || extra == m_listenToken;
            else if (note->be_pid != m_serverPid && qstrcmp(note->relname, channel) == 0)
                // The program refills after its own changes itself. (Behind a pooler the number
                // that libpq knows is the pooler's, not the server session's.)
                if (ChangeFeed* feed = changeFeed())
                    feed->announceNotice(QString::fromUtf8(extra));
            PQfreemem(note);
        }
    }
}

void PgConnection::lost() {
    if (m_lost)
        return;
    m_lost = true;
    retire(m_notifier);
    retire(m_listenerNotifier);
    if (ChangeFeed* feed = changeFeed())
        emit feed->connectionLost();
    if (!QCoreApplication::instance())
        return;
    if (!m_retry) {
        m_retry = std::make_unique<QTimer>();
        m_retry->setInterval(retryMilliseconds);
        QObject::connect(m_retry.get(), &QTimer::timeout, [this] { reconnectInBackground(); });
    }
    m_retry->start();
}

bool PgConnection::reconnect() {
    if (isConnected())
        return true;
    if (m_connecting)
        return false; // an attempt is under way; it reports when it is through
    try {
        connectNow(false); // never a password box from a timer
        prepareSession();
    } catch (const DbError&) {
        return false;
    }
    watchSocket();
    if (m_retry)
        m_retry->stop();
    if (ChangeFeed* feed = changeFeed())
        emit feed->reconnected();
    return true;
}

void PgConnection::reconnectInBackground() {
    if (isConnected())
        return;
    if (m_connecting) {
        // A server that neither answers nor refuses: give up this attempt after the connect
        // timeout that a blocking connect keeps.
        if (m_connectClock.elapsed() < connectTimeoutMilliseconds)
            return;
        dropAttempt();
    }
    const ConnectParams params(m_target, m_password);
    m_connecting = PQconnectStartParams(params.keys(), params.values(), 1);
    if (!m_connecting || PQstatus(m_connecting) == CONNECTION_BAD) {
        dropAttempt();
        return;
    }
    m_connectClock.start();
    // As libpq asks: first wait until the socket can be written to.
    waitForAttempt(PGRES_POLLING_WRITING);
}

void PgConnection::waitForAttempt(int polling) {
    retire(m_connectNotifier);
    if (PQsocket(m_connecting) < 0) {
        dropAttempt();
        return;
    }
    m_connectNotifier = std::make_unique<QSocketNotifier>(
        PQsocket(m_connecting), polling == PGRES_POLLING_READING ? QSocketNotifier::Read : QSocketNotifier::Write);
    QObject::connect(m_connectNotifier.get(), &QSocketNotifier::activated, [this] { continueAttempt(); });
}

void PgConnection::continueAttempt() {
    if (!m_connecting)
        return;
    switch (PQconnectPoll(m_connecting)) {
    case PGRES_POLLING_READING:
        waitForAttempt(PGRES_POLLING_READING);
        return;
    case PGRES_POLLING_WRITING:
        waitForAttempt(PGRES_POLLING_WRITING);
        return;
    case PGRES_POLLING_OK:
        break;
    default:
        dropAttempt(); // the next tick of the retry timer tries again
        return;
    }
    retire(m_connectNotifier);
    if (m_conn)
        PQfinish(m_conn);
    m_conn = std::exchange(m_connecting, nullptr);
    PQsetNoticeProcessor(
        m_conn, [](void*, const char*) {}, nullptr);
    m_lost = false;
    try {
        prepareSession();
    } catch (const DbError&) {
        m_lost = true;
        return; // the retry timer goes on
    }
    watchSocket();
    if (m_retry)
        m_retry->stop();
    if (ChangeFeed* feed = changeFeed())
        emit feed->reconnected();
}

void PgConnection::dropAttempt() {
    retire(m_connectNotifier);
    if (m_connecting)
        PQfinish(m_connecting);
    m_connecting = nullptr;
}

bool PgConnection::isConnected() const {
    return m_conn && !m_lost && PQstatus(m_conn) == CONNECTION_OK;
}

PGresult* PgConnection::runWaiting(const QByteArray& text, bool saving, const QVariantList& values) {
    // Through the extended protocol: exactly one statement per call.
    std::vector<QByteArray> texts;
    std::vector<const char*> given;
    texts.reserve(values.size());
    for (const QVariant& value : values) {
        if (value.isNull()) {
            given.push_back(nullptr);
        } else {
            texts.push_back(parameterText(value));
            given.push_back(texts.back().constData());
        }
    }
    if (!PQsendQueryParams(m_conn, text.constData(), static_cast<int>(values.size()), nullptr, given.data(), nullptr,
                           nullptr, 0))
        return nullptr;
    QCoreApplication* app = QCoreApplication::instance();
    const bool windows = app && QThread::currentThread() == app->thread();
    QElapsedTimer clock;
    clock.start();
    bool shown = false;
    while (PQconsumeInput(m_conn) && PQisBusy(m_conn)) {
        pollfd socket{PQsocket(m_conn), POLLIN, 0};
        ::poll(&socket, 1, shown ? 20 : 50);
        if (!shown && windows && clock.elapsed() >= waitShownAfterMs) {
            // Nothing else may use the connection meanwhile: others' news waits, and what the
            // events would run on the database is refused (see run()).
            shown = m_waiting = true;
            if (m_notifier)
                m_notifier->setEnabled(false);
            if (ChangeFeed* feed = changeFeed())
                feed->setHeld(true);
            Messages::current().waiting(saving ? QStringLiteral("Saving... A record is in use elsewhere; the save "
                                                                "waits for it a few seconds.")
                                               : QStringLiteral("Reading... Records are in use elsewhere; waiting "
                                                                "for them a few seconds."));
        }
        if (shown)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
    PGresult* result = nullptr;
    while (PGresult* next = PQgetResult(m_conn)) {
        PQclear(result);
        result = next;
    }
    if (shown) {
        m_waiting = false;
        Messages::current().waiting(QString());
        if (m_notifier)
            m_notifier->setEnabled(true);
        if (ChangeFeed* feed = changeFeed())
            feed->setHeld(false);
    }
    return result;
}

PGresult* PgConnection::run(const QString& statement, const QVariantList& values) {
    if (m_waiting) // asked by an event while a statement waits
        throw DbError(QStringLiteral("The team database is busy with a statement that waits for a record in use "
                                     "elsewhere, so nothing was read or saved. Try again in a moment."),
                      DbError::Kind::InUse);
    if (!isConnected() && !reconnect())
        throw DbError(QStringLiteral("The team database server %1 cannot be reached, so nothing was read or "
                                     "saved. The program connects again by itself when the server is back.")
                          .arg(describe()),
                      DbError::Kind::Away);
    const QByteArray text = statement.toUtf8();
    // A statement inside a transaction, or any that is not a plain read, is part of a save.
    const bool saving = PQtransactionStatus(m_conn) != PQTRANS_IDLE ||
                        !statement.trimmed().startsWith(QLatin1String("select"), Qt::CaseInsensitive);
    // Outside a transaction, behind a pooler: one of its own, so that the waits stay with it.
    const bool own = !m_sessionKept && PQtransactionStatus(m_conn) == PQTRANS_IDLE &&
                     !statement.trimmed().startsWith(QLatin1String("BEGIN"), Qt::CaseInsensitive);
    if (own) {
        PGresult* begun = PQexec(m_conn, ("BEGIN; " + localWaits()).constData());
        if (PQresultStatus(begun) != PGRES_COMMAND_OK)
            fail(begun, saving);
        PQclear(begun);
    }
    PGresult* result = runWaiting(text, saving, values);
    ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK;
    if (own && PQstatus(m_conn) == CONNECTION_OK) {
        PGresult* ended = PQexec(m_conn, ok ? "COMMIT" : "ROLLBACK");
        if (ok && PQresultStatus(ended) != PGRES_COMMAND_OK) {
            PQclear(result);
            result = ended;
            status = PGRES_FATAL_ERROR;
        } else {
            PQclear(ended);
        }
    }
    readNotifications();
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
        return result;
    fail(result, saving);
}

void PgConnection::fail(PGresult* result, bool saving) {
    if (PQstatus(m_conn) != CONNECTION_OK) {
        PQclear(result);
        lost();
        throw DbError(QStringLiteral("The connection to the team database server %1 was lost, so %2. The program "
                                     "connects again by itself when the server is back.")
                          .arg(describe(), saving ? QStringLiteral("this was not saved")
                                                  : QStringLiteral("the records could not be read")),
                      DbError::Kind::Away);
    }
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QByteArray code(state ? state : "");
    const QString detail = serverMessage(result, m_conn);
    const char* refusedBy = result ? PQresultErrorField(result, PG_DIAG_CONSTRAINT_NAME) : nullptr;
    const QByteArray constraint(refusedBy ? refusedBy : "");
    PQclear(result);
    if (code == "42501" && !saving) // a role granted some of the tables only
        throw DbError(readRefusal(m_conn, detail), DbError::Kind::Lasting);
    if (code == "42501" || code == "25006")
        throw DbError(QStringLiteral("You may read this team database but not change it, so nothing was saved "
                                     "(%1).")
                          .arg(detail),
                      DbError::Kind::Lasting);
    // A rule of the schema refused the change: the same plain words as for the local file.
    if (code == "23503")
        throw DbError(QStringLiteral("The record that this one belongs to no longer exists, so nothing was saved."));
    if (code == "23502")
        throw DbError(QStringLiteral("A value that must be given is missing, so nothing was saved (%1).").arg(detail));
    if (code == "23505")
        throw DbError(QStringLiteral("This entry is already there, so nothing was saved (%1).").arg(detail));
    if (code == "23514" && constraint.endsWith("_text_lengths"))
        throw DbError(QStringLiteral("A text is too long to be stored, so nothing was saved: names and other short "
                                     "texts take at most %1 characters, notes and descriptions at most %2.")
                          .arg(FieldBounds::maxShortText)
                          .arg(FieldBounds::maxLongText));
    if (code == "23514")
        throw DbError(
            QStringLiteral("A value is not one that may be stored here, so nothing was saved (%1).").arg(detail));
    if (code.startsWith("08"))
        throw DbError(QStringLiteral("The team database server %1 cannot be reached (%2).").arg(describe(), detail),
                      DbError::Kind::Away);
    if (const QString waited = waitText(code, saving); !waited.isEmpty())
        throw DbError(waited, DbError::Kind::InUse);
    throw DbError(detail);
}

std::unique_ptr<ResultCursor> PgConnection::query(const QString& statement) {
    return std::make_unique<PgCursor>(run(statement));
}

PGconn* PgConnection::openReader(const QString& target, const QString& password, bool sessionKept) {
    PGconn* conn = openConnection(target, password);
    if (PQstatus(conn) != CONNECTION_OK)
        return conn;
    // Behind a pooler the reader's wait is set by the transaction of its read (beginRead()).
    const QByteArray settings =
        sessionKept ? sessionSettings(true) : QByteArray("SET DateStyle = ISO, YMD; select pg_backend_pid()");
    bool timedOut = false;
    PGresult* result = execWithin(conn, settings, connectTimeoutMilliseconds, timedOut);
    const bool ready = PQresultStatus(result) == PGRES_TUPLES_OK;
    PQclear(result);
    if (ready)
        return conn;
    PQfinish(conn); // a pool with no connection free: the list is read on the shared connection
    return nullptr;
}

bool PgConnection::beginRead(PGconn* conn, bool sessionKept) {
    if (sessionKept)
        return true;
    // Begun right before the read, so that an idle reader holds no server connection of the pool.
    PGresult* begun =
        PQexec(conn, "BEGIN; SET LOCAL lock_timeout = " +
                         QByteArray::number(waitMilliseconds(QStringLiteral("TeamLockTimeout"), defaultLockSeconds)));
    const bool ok = PQresultStatus(begun) == PGRES_COMMAND_OK;
    PQclear(begun);
    return ok;
}

void PgConnection::closeReader(PGconn* conn) {
    // A pooler gives a server session back at the end of a transaction: it is ended, not cut.
    if (conn && PQstatus(conn) == CONNECTION_OK && PQtransactionStatus(conn) == PQTRANS_INTRANS)
        PQclear(PQexec(conn, "COMMIT"));
    PQfinish(conn);
}

void PgConnection::openReaderSoon() {
    if (m_readerOpening.valid())
        return;
    m_readerOpening = inBackground([target = m_target, password = m_password, kept = m_sessionKept] {
        return openReader(target, password, kept);
    });
}

std::shared_ptr<PGconn> PgConnection::reader() {
    // The one opened in the background at the start, or a new one.
    PGconn* conn = m_readerOpening.valid() ? m_readerOpening.get() : nullptr;
    if (PQstatus(conn) != CONNECTION_OK || PQtransactionStatus(conn) != PQTRANS_IDLE) {
        PQfinish(conn);
        conn = openReader(m_target, m_password, m_sessionKept);
    }
    if (PQstatus(conn) != CONNECTION_OK || !beginRead(conn, m_sessionKept)) {
        PQfinish(conn);
        return nullptr;
    }
    PQsetNoticeProcessor(
        conn, [](void*, const char*) {}, nullptr);
    return std::shared_ptr<PGconn>(conn, [](PGconn* c) { closeReader(c); });
}

std::unique_ptr<ResultCursor> PgConnection::streamQuery(const QString& statement) {
    // Inside a transaction only the shared connection sees its changes; without a reader (the
    // server refuses a second connection, or the reader is still busy) the rows are read at
    // once, as any query's.
    if (!isConnected() || PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        return query(statement);
    const QByteArray text = statement.toUtf8();
    // The reader opened at the start may have been cut off since (the server restarted): then
    // it is replaced once. Each list gets a reader of its own, closed once it has been read.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::shared_ptr<PGconn> conn = reader();
        if (!conn)
            break;
        try {
            return std::make_unique<PgStreamCursor>(conn, text);
        } catch (const DbError&) {
            if (PQstatus(conn.get()) == CONNECTION_OK)
                throw; // the statement itself was refused
        }
    }
    return query(statement);
}

namespace {

// A second connection for one query read on another thread: opened there by its first query
// (with a list reader's settings), closed with the reader.
class PgThreadReader final : public Connection::ThreadReader {
public:
    PgThreadReader(std::function<PGconn*()> open, QString described)
        : m_open(std::move(open))
        , m_described(std::move(described)) {}
    ~PgThreadReader() override { PgConnection::closeReader(m_conn); }
    PgThreadReader(const PgThreadReader&) = delete;
    PgThreadReader& operator=(const PgThreadReader&) = delete;

    std::unique_ptr<ResultCursor> query(const QString& statement) override {
        PgConnection::closeReader(std::exchange(m_conn, m_open()));
        if (PQstatus(m_conn) != CONNECTION_OK)
            return nullptr; // no second connection to be had: read on the shared one
        PGresult* result =
            PQexecParams(m_conn, statement.toUtf8().constData(), 0, nullptr, nullptr, nullptr, nullptr, 0);
        if (PQresultStatus(result) == PGRES_TUPLES_OK)
            return std::make_unique<PgCursor>(result);
        fail(result);
    }

private:
    // Throws the shared connection's words for a read that failed.
    [[noreturn]] void fail(PGresult* result) const {
        const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        const QByteArray code(state ? state : "");
        const QString detail = serverMessage(result, m_conn);
        PQclear(result);
        if (PQstatus(m_conn) != CONNECTION_OK)
            throw DbError(QStringLiteral("The connection to the team database server %1 was lost, so the records "
                                         "could not be read. The program connects again by itself when the server "
                                         "is back.")
                              .arg(m_described),
                          DbError::Kind::Away);
        if (code == "42501")
            throw DbError(readRefusal(m_conn, detail), DbError::Kind::Lasting);
        if (code.startsWith("08"))
            throw DbError(
                QStringLiteral("The team database server %1 cannot be reached (%2).").arg(m_described, detail),
                DbError::Kind::Away);
        if (const QString waited = waitText(code, false); !waited.isEmpty())
            throw DbError(waited, DbError::Kind::InUse);
        throw DbError(detail);
    }

    std::function<PGconn*()> m_open;
    QString m_described;
    PGconn* m_conn = nullptr;
};

} // namespace

std::unique_ptr<Connection::ThreadReader> PgConnection::openThreadReader() {
    if (!isConnected() || inTransaction())
        return nullptr;
    return std::make_unique<PgThreadReader>(
        [target = m_target, password = m_password, kept = m_sessionKept]() -> PGconn* {
            PGconn* conn = openReader(target, password, kept);
            if (PQstatus(conn) == CONNECTION_OK && !beginRead(conn, kept)) {
                PQfinish(conn);
                return nullptr;
            }
            if (conn)
                PQsetNoticeProcessor(
                    conn, [](void*, const char*) {}, nullptr);
            return conn;
        },
        describe());
}

int PgConnection::execute(const QString& statement) {
    return executeWith(statement, {});
}

int PgConnection::executeWith(const QString& statement, const QVariantList& values) {
    if (m_readOnly)
        throw DbError(QStringLiteral("You may read this team database but not change it, so nothing was saved."),
                      DbError::Kind::Lasting);
    PGresult* result = run(statement, values);
    const int changed = QByteArray(PQcmdTuples(result)).toInt();
    PQclear(result);
    return changed;
}

void PgConnection::begin() {
    PQclear(run(QStringLiteral("BEGIN")));
    if (m_sessionKept)
        return;
    // A pooler that hands each transaction to another server session keeps none of the session's
    // settings, and must get none: a transaction sets its own.
    PGresult* set = PQexec(m_conn, localWaits().constData());
    if (PQresultStatus(set) != PGRES_COMMAND_OK)
        fail(set, true);
    PQclear(set);
}

void PgConnection::commit() {
    PQclear(run(QStringLiteral("COMMIT")));
}

void PgConnection::rollback() {
    if (isConnected() && PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        PQclear(run(QStringLiteral("ROLLBACK")));
}

void PgConnection::runScript(const QString& script) {
    if (!isConnected())
        throw DbError(QStringLiteral("The team database server %1 cannot be reached.").arg(describe()));
    PGresult* result = PQexec(m_conn, script.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
        PQclear(result);
        return;
    }
    fail(result, true);
}

QString PgConnection::hostText() const {
    if (!m_conn)
        return {};
    const QString host = QString::fromUtf8(PQhost(m_conn));
    return host.startsWith(QLatin1Char('/')) ? QStringLiteral("localhost") : host;
}

QString PgConnection::databaseName() const {
    return m_conn ? QString::fromUtf8(PQdb(m_conn)) : QString();
}

QString PgConnection::userName() const {
    return m_conn ? QString::fromUtf8(PQuser(m_conn)) : QString();
}

QString PgConnection::describe() const {
    if (!m_conn)
        return withoutPassword(m_target);
    return QStringLiteral("%1 on %2").arg(databaseName(), hostText());
}

bool PgConnection::recognises(const QString& target) {
    // libpq's two forms: a URI, or key=value pairs (host=..., dbname=..., service=...).
    static const QRegularExpression keyValue(QStringLiteral("^\\s*[a-z_]+\\s*="));
    return target.startsWith(QLatin1String("postgresql://")) || target.startsWith(QLatin1String("postgres://")) ||
           keyValue.match(target).hasMatch();
}

QString PgConnection::kindAndPlace() const {
    return QStringLiteral("Team database %1").arg(describe());
}
