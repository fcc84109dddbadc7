#include "TeamSchema.h"

#include "PgConnection.h"
#include "app/DbError.h"

#include <QFile>
#include <QRegularExpression>

// The script is a resource of the core library, a static library: it must be registered by hand.
static void registerSchemaResource() {
    Q_INIT_RESOURCE(schema);
}

namespace TeamSchema {

namespace {
QString resource(const QString& name) {
    static const bool registered = (registerSchemaResource(), true);
    Q_UNUSED(registered);
    QFile file(QStringLiteral(":/schema/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("The schema script is missing from the program."));
    return QString::fromUtf8(file.readAll());
}
// What a role that may not change the tables is told.
DbError mayNotChange(const PgConnection& connection) {
    return DbError(QStringLiteral("The role %1 may not change the tables of the team database %2, so nothing was "
                                  "changed. Ask the database's owner to run --create-schema.")
                       .arg(connection.userName(), connection.describe()));
}

} // namespace

QString script() {
    QString all = resource(QStringLiteral("postgresql.sql"));
    for (int version = 2; version <= PgConnection::schemaVersion; ++version)
        all += QLatin1Char('\n') + upgradeScript(version);
    return all;
}

QString upgradeScript(int toVersion) {
    if (toVersion == 2)
        return resource(QStringLiteral("postgresql-planner.sql"));
    if (toVersion == 3) // the bounds of the texts, and the ID counters every writing role may move
        return resource(QStringLiteral("postgresql-limits.sql")) + QLatin1Char('\n') +
               resource(QStringLiteral("postgresql-counters.sql"));
    if (toVersion == 4) // the history of the records
        return resource(QStringLiteral("postgresql-history.sql"));
    if (toVersion == 5) // notices that name the records changed
        return resource(QStringLiteral("postgresql-changes.sql"));
    if (toVersion == 6) // the history out of the team's reach; TRUNCATE refused
        return resource(QStringLiteral("postgresql-guard.sql"));
    if (toVersion == 7) // the plan's own order of tasks
        return resource(QStringLiteral("postgresql-order.sql"));
    throw DbError(QStringLiteral("The program has no way to schema version %1.").arg(toVersion));
}

QString createDatabaseStatement(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[a-z_][a-z0-9_]*$"));
    const QString quotedName =
        plain.match(name).hasMatch()
            ? name
            : QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    return QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' LC_CTYPE 'C'")
        .arg(quotedName);
}

void create(const QString& target) {
    PgConnection connection(target, PgConnection::Check::None);
    int version = 0;
    {
        // A server set up without a locale makes SQL_ASCII databases; names in any script and the
        // case-insensitive collation need UTF-8.
        auto encoding = connection.query(QStringLiteral("select pg_encoding_to_char(encoding) from pg_database "
                                                        "where datname = current_database()"));
        const QString name = encoding->next() ? encoding->value(0).toString() : QString();
        if (name != QLatin1String("UTF8"))
            throw DbError(QStringLiteral("The team database %1 uses the encoding %2, and the program needs UTF-8, "
                                         "so nothing was created. Make a new database for the team with:\n  %3;\n"
                                         "then run --create-schema on it.")
                              .arg(connection.describe(), name, createDatabaseStatement(connection.databaseName())));
    }
    {
        auto present = connection.query(QStringLiteral("select to_regclass('fennick_schema') is not null"));
        if (present->next() && present->value(0).toBool()) {
            try {
                auto found = connection.query(QStringLiteral("select max(version) from fennick_schema"));
                version = found->next() ? static_cast<int>(found->value(0).toLongLong()) : 0;
            } catch (const DbError&) {
                throw mayNotChange(connection);
            }
            if (version >= PgConnection::schemaVersion)
                throw DbError(QStringLiteral("The team database %1 already has the Fennick Planner tables; nothing "
                                             "was changed.")
                                  .arg(connection.describe()));
        }
    }
    if (version > 0) {
        // Tables of an earlier version: brought up to date, each step in one transaction.
        try {
            for (int next = version + 1; next <= PgConnection::schemaVersion; ++next)
                connection.runScript(upgradeScript(next));
        } catch (const DbError& e) {
            if (e.description().contains(QLatin1String("must be owner")) ||
                e.description().contains(QLatin1String("permission denied")))
                throw mayNotChange(connection);
            throw DbError(QStringLiteral("The tables of the team database %1 could not be brought up to date: %2")
                              .arg(connection.describe(), e.description()));
        }
        return;
    }
    try {
        // One script is one transaction: the tables are all made, or none.
        connection.runScript(script());
    } catch (const DbError& e) {
        if (e.description().contains(QLatin1String("may read this team database")) ||
            e.description().contains(QLatin1String("permission denied")))
            throw DbError(QStringLiteral("The role %1 may not create tables in the team database %2, so nothing "
                                         "was created. Ask the database's owner to run --create-schema, or to "
                                         "grant CREATE on its schema.")
                              .arg(connection.userName(), connection.describe()));
        throw DbError(QStringLiteral("The tables could not be created in the team database %1: %2")
                          .arg(connection.describe(), e.description()));
    }
}

} // namespace TeamSchema
