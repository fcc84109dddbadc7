#include "SchemaViews.h"

#include "Connection.h"
#include "DbError.h"
#include "SqlText.h"

#include <QFile>
#include <QRegularExpression>

// The scripts are a resource of the core library, a static library: it must be registered by hand.
static void registerSchemaScripts() {
    Q_INIT_RESOURCE(schema);
}

namespace SchemaViews {

QStringList listViews(const QString& script) {
    QStringList views;
    static const QRegularExpression end(QStringLiteral(";\\s*(\\n|$)"));
    static const QRegularExpression listView(QStringLiteral("^CREATE VIEW\\s+[\\[\"]open (projects|tasks)[\\]\"]"),
                                             QRegularExpression::CaseInsensitiveOption);
    for (const QString& piece : script.split(end)) {
        QStringList lines;
        for (const QString& line : piece.split(QLatin1Char('\n'))) {
            if (!line.trimmed().startsWith(QLatin1String("--")))
                lines << line;
        }
        const QString statement = lines.join(QLatin1Char('\n')).trimmed();
        if (listView.match(statement).hasMatch())
            views << statement;
    }
    return views;
}

QString localScript() {
    static const bool registered = (registerSchemaScripts(), true);
    Q_UNUSED(registered);
    QFile file(QStringLiteral(":/schema/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(QStringLiteral("The schema script is missing from the program."));
    return QString::fromUtf8(file.readAll());
}

void bringLocalUpToDate(Connection& connection) {
    try {
        if (connection.isReadOnly())
            return;
        {
            auto old = connection.query(
                QStringLiteral("select count(*) from sqlite_master where type = 'view' and name in ('Open Projects', "
                               "'Open Tasks') and instr(sql, %1) = 0")
                    .arg(SqlText::quoted(QLatin1String(deletedContact))));
            if (!old->next() || old->value(0).toLongLong() == 0)
                return;
        }
        const QStringList views = listViews(localScript());
        if (views.size() != 2)
            return;
        static const QRegularExpression name(QStringLiteral("^CREATE VIEW\\s+(\\[[^\\]]+\\])"));
        connection.begin();
        try {
            for (const QString& view : views) {
                connection.execute(QStringLiteral("DROP VIEW IF EXISTS ") + name.match(view).captured(1));
                connection.execute(view);
            }
            connection.commit();
        } catch (const DbError&) {
            connection.rollback();
            throw;
        }
    } catch (const DbError&) {
        // Another program holds the file, or it cannot be written: the old views keep working,
        // and the next start tries again.
    }
}

} // namespace SchemaViews
