#include "TeamSchema.h"

#include "PgConnection.h"
#include "app/DbError.h"

#include <QFile>

// The script is a resource of the core library, a static library: it must be registered by hand.
static void registerSchemaResource() {
    Q_INIT_RESOURCE(schema);
}

namespace TeamSchema {

QString script() {
    static const bool registered = (registerSchemaResource(), true);
    Q_UNUSED(registered);
    QFile file(QStringLiteral(":/schema/postgresql.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("The schema script is missing from the program."));
    return QString::fromUtf8(file.readAll());
}

void create(const QString& target) {
    PgConnection connection(target, PgConnection::Check::None);
    {
        auto present = connection.query(QStringLiteral("select to_regclass('fennick_schema') is not null"));
        if (present->next() && present->value(0).toBool())
            throw DbError(QStringLiteral("The team database %1 already has the Fennick Planner tables; nothing was "
                                         "changed.")
                              .arg(connection.describe()));
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
