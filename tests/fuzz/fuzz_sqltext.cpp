// Fuzz target for the SQL text rules and the numeric test. Each input is read as UTF-8 text x:
// - quoted(x) in an INSERT stores exactly one row whose value is x, read back unchanged by a
//   SELECT; the statement sent (after the dialect adaptation) still holds quoted(x) as it was;
//   x split in two and joined with the Jet '+' stores x as well; a WHERE on quoted(x) finds it.
// - in every locale tried, x either fails the numeric test (and toSql gives nothing) or
//   toSql(x) is a plain SQL number that SQLite reads as the value the locale gives x.
// Everything goes through Database, so the dialect adaptation and the one-statement rule run.
// With FENNICK_TEST_BACKEND=postgresql the same checks run on a team database (a PostgreSQL server
// found through libpq's environment), where a text holding NUL must be refused instead of stored.
#include "FuzzTarget.h"

#include "app/Backends.h"
#include "app/Database.h"
#include "app/NumericText.h"
#include "app/SqlText.h"
#include "app/SqliteConnection.h"
#include "team_database/PgConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QList>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct Harness {
    QTemporaryDir dir;
    Database db;
    bool team = false;
    QList<QLocale> locales;
    QStringList sent; // statements the connection sent for the current check
};

Harness* harness = nullptr;
bool abortOnFault = true;
long faults = 0;

QString escaped(const QString& text) {
    QString out;
    const int shown = 200;
    for (qsizetype i = 0; i < text.size() && i < shown; ++i) {
        const QChar c = text.at(i);
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f && c != QLatin1Char('\\'))
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    if (text.size() > shown)
        out += QStringLiteral("... (%1 characters)").arg(text.size());
    return out;
}

void fault(const char* rule, const QString& text, const QString& detail) {
    ++faults;
    std::fprintf(stderr, "FAULT: %s\n  text: \"%s\"\n  %s\n", rule, escaped(text).toUtf8().constData(),
                 detail.toUtf8().constData());
    if (abortOnFault)
        std::abort(); // libFuzzer keeps the input that did it
}

void createDatabase(const QString& path) {
    sqlite3* handle = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (sqlite3_open(name.constData(), &handle) != SQLITE_OK ||
        sqlite3_exec(handle, "create table T (V TEXT)", nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot create %s: %s\n", name.constData(), sqlite3_errmsg(handle));
        std::exit(2);
    }
    sqlite3_close(handle);
}

// A database of its own on the test run's PostgreSQL server, with the table T and the mark of the
// program's schema; the run is skipped (77) without a server.
QString createTeamDatabase() {
    const QString name = QStringLiteral("fennick_fuzz_%1").arg(QCoreApplication::applicationPid());
    try {
        PgConnection admin(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
        admin.execute(QStringLiteral("drop database if exists ") + name);
        admin.execute(QStringLiteral("create database ") + name);
    } catch (const DbError& e) {
        std::fprintf(stderr, "SKIP: no PostgreSQL server (%s)\n", e.description().toUtf8().constData());
        std::exit(77);
    }
    PgConnection setup(QStringLiteral("dbname=") + name, PgConnection::Check::None);
    setup.execute(QStringLiteral("create table fennick_schema (version integer)"));
    setup.execute(QStringLiteral("insert into fennick_schema values (%1)").arg(PgConnection::schemaVersion));
    setup.execute(QStringLiteral("create table projects (id bigint)")); // where the right to write is read
    setup.execute(QStringLiteral("create table T (V text)"));
    return QStringLiteral("dbname=") + name;
}

// Runs a statement, recording what was sent; a refused statement is a fault.
bool execute(const QString& statement, const QString& x, int* changed) {
    try {
        *changed = harness->db.execute(statement);
        return true;
    } catch (const DbError& e) {
        fault("the statement was refused", x, e.description());
        return false;
    }
}

QStringList column(const QString& query, const QString& x) {
    QStringList values;
    try {
        ResultSet rs = harness->db.query(query);
        for (; !rs.eof(); rs.moveNext()) {
            const QVariant v = rs.value(0);
            if (v.typeId() != QMetaType::QString)
                fault("a stored text came back as another type", x, QString::fromLatin1(v.typeName()));
            values << v.toString();
        }
    } catch (const DbError& e) {
        fault("the query was refused", x, e.description());
    }
    return values;
}

// Runs statement, which must insert exactly x, and expects the connection to have sent exactly
// the text sent (the statement after the dialect adaptation).
void checkStoredOnce(const QString& x, const QString& statement, const QString& sent, const char* rule) {
    harness->sent.clear();
    int changed = 0;
    if (harness->team && x.contains(QChar(0))) {
        try {
            harness->db.execute(statement);
            fault("a text holding NUL was not refused by the team database", x, statement);
        } catch (const DbError& e) {
            if (!e.description().contains(QLatin1String("NUL")))
                fault("a text holding NUL was refused without saying why", x, e.description());
        }
        if (!column(QStringLiteral("select V from T"), x).isEmpty())
            fault("a refused text left a row", x, QString());
        return;
    }
    if (!execute(statement, x, &changed))
        return;
    if (changed != 1)
        fault(rule, x, QStringLiteral("%1 rows inserted").arg(changed));
    if (harness->sent != QStringList{sent})
        fault(rule, x, QStringLiteral("sent: ") + escaped(harness->sent.join(QStringLiteral(" ; "))));
    const QStringList stored = column(QStringLiteral("select V from T"), x);
    if (stored != QStringList{x})
        fault(rule, x, QStringLiteral("stored: [\"%1\"]").arg(escaped(stored.join(QStringLiteral("\", \"")))));
    harness->sent.clear();
    if (execute(QStringLiteral("delete from T where V = ") + SqlText::quoted(x), x, &changed) && changed != 1)
        fault("a WHERE on the quoted text does not find it", x, QStringLiteral("%1 rows deleted").arg(changed));
    if (execute(QStringLiteral("delete from T"), x, &changed) && changed != 0)
        fault("rows were left after the WHERE delete", x, QStringLiteral("%1 rows").arg(changed));
}

void checkText(const QString& x) {
    const QString literal = SqlText::quoted(x);
    if (literal != QLatin1Char('\'') + SqlText::doubled(x) + QLatin1Char('\''))
        fault("quoted() is not doubled() in quotes", x, literal);

    const QString insert = QStringLiteral("insert into T (V) values (") + literal + QLatin1Char(')');
    // Nothing outside the literal needs adapting, so the statement is sent as it stands.
    checkStoredOnce(x, insert, insert, "a quoted text does not round-trip through INSERT and SELECT");

    // The two halves joined the Jet way: the adaptation turns the '+' into '||' and nothing else.
    qsizetype middle = x.size() / 2;
    if (middle < x.size() && x.at(middle).isLowSurrogate())
        ++middle;
    const QString joined = QStringLiteral("insert into T (V) values (") + SqlText::quoted(x.left(middle)) +
                           QStringLiteral(" + ") + SqlText::quoted(x.mid(middle)) + QLatin1Char(')');
    const QString adapted = QStringLiteral("insert into T (V) values (") + SqlText::quoted(x.left(middle)) +
                            QStringLiteral(" || ") + SqlText::quoted(x.mid(middle)) + QLatin1Char(')');
    checkStoredOnce(x, joined, adapted, "two quoted halves joined with '+' do not give the text");
}

void checkNumber(const QString& x, const QLocale& locale) {
    const bool numeric = NumericText::isNumeric(x, locale);
    const QString sql = NumericText::toSql(x, locale);
    const QString where = QStringLiteral(" (locale %1)").arg(locale.name());
    if (!numeric) {
        if (!sql.isEmpty())
            fault("toSql gave a number for a text that fails the numeric test", x, sql + where);
        return;
    }
    static const QRegularExpression plainNumber(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?(e[-+][0-9]+)?$"));
    if (!plainNumber.match(sql).hasMatch()) {
        fault("toSql did not give a plain SQL number", x, escaped(sql) + where);
        return;
    }
    // toSql's text passes the numeric test of the C locale and is its own SQL form.
    if (NumericText::toSql(sql, QLocale::c()) != sql)
        fault("toSql is not stable", x, sql + QStringLiteral(" -> ") + NumericText::toSql(sql, QLocale::c()) + where);

    bool ok = false;
    const double meant = locale.toDouble(x.trimmed(), &ok);
    if (!ok || !std::isfinite(meant)) {
        fault("the numeric test accepted a text the locale cannot read", x, sql + where);
        return;
    }
    const QString query = QStringLiteral("select ") + sql + QStringLiteral(" as N, ") +
                          (harness->team ? QStringLiteral("pg_typeof(") + sql + QStringLiteral(")::text as T")
                                         : QStringLiteral("typeof(") + sql + QStringLiteral(") as T"));
    const SqlText::Dialect dialect = harness->team ? SqlText::Dialect::PostgreSql : SqlText::Dialect::Sqlite;
    if (SqlText::adaptDialect(query, dialect) != query)
        fault("the dialect adaptation changed a number", x, SqlText::adaptDialect(query, dialect) + where);
    static const QStringList numberTypes{QStringLiteral("integer"), QStringLiteral("real"), QStringLiteral("bigint"),
                                         QStringLiteral("numeric")};
    try {
        ResultSet rs = harness->db.query(query);
        const QString type = rs.value(QStringLiteral("T")).toString();
        const double read = rs.value(QStringLiteral("N")).toDouble();
        if (!numberTypes.contains(type))
            fault("SQL does not read toSql's text as a number", x, sql + QStringLiteral(" is ") + type + where);
        // SQLite's own decimal conversion may differ from Qt's in the last bits.
        const double tolerance = 1e-14 * std::fabs(meant);
        if (!(std::fabs(read - meant) <= tolerance))
            fault("SQL reads another number than the text means", x,
                  QStringLiteral("meant %1, toSql %2, read %3").arg(meant, 0, 'g', 17).arg(sql).arg(read, 0, 'g', 17) +
                      where);
    } catch (const DbError& e) {
        fault("the number query was refused", x, sql + QStringLiteral(": ") + e.description() + where);
    }
}

} // namespace

namespace FuzzTarget {

void setUp(int* argc, char*** argv) {
    if (harness)
        return;
    new QCoreApplication(*argc, *argv); // the SQL driver plugin is found through it
    harness = new Harness;
    if (!harness->dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        std::exit(2);
    }
    harness->team = qEnvironmentVariable("FENNICK_TEST_BACKEND") == QLatin1String("postgresql");
    // The two kinds of database, as the program registers them.
    Backends::add({QStringLiteral("PostgreSQL"), PgConnection::recognises,
                   [](const QString& target) { return std::make_unique<PgConnection>(target); }, true});
    Backends::add({QStringLiteral("SQLite"), [](const QString&) { return true; },
                   [](const QString& target) { return std::make_unique<SqliteConnection>(target); }, false});
    try {
        if (harness->team) {
            const QString target = createTeamDatabase();
            harness->db.open(target);
        } else {
            const QString path = QDir(harness->dir.path()).filePath(QStringLiteral("fuzz.db"));
            createDatabase(path);
            harness->db.open(path);
            // Speed: the file is thrown away; nothing here needs to survive a crash.
            harness->db.execute(QStringLiteral("PRAGMA synchronous = OFF"));
            harness->db.query(QStringLiteral("PRAGMA journal_mode = MEMORY"));
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "cannot open the database: %s\n", e.description().toUtf8().constData());
        std::exit(2);
    }
    harness->db.setStatementObserver([](const QString& statement) { harness->sent << statement; });
    harness->locales = {QLocale::c(),
                        QLocale(),
                        QLocale(QLocale::English, QLocale::UnitedStates),
                        QLocale(QLocale::German, QLocale::Germany),
                        QLocale(QLocale::French, QLocale::France),
                        QLocale(QLocale::Arabic, QLocale::Egypt)};
}

void setAbortOnFault(bool abort) {
    abortOnFault = abort;
}

long faultCount() {
    return faults;
}

void run(const QString& x) {
    checkText(x);
    for (const QLocale& locale : std::as_const(harness->locales))
        checkNumber(x, locale);
}

} // namespace FuzzTarget

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    FuzzTarget::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzTarget::run(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
