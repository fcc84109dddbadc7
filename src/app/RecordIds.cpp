#include "RecordIds.h"

#include "Connection.h"
#include "SqlText.h"

#include <algorithm>

namespace RecordIds {

namespace {

struct Counter {
    const char* table;
    const char* used; // the highest number in use or referred to
};

constexpr Counter numbered[] = {
    {"Employees", "select max(n) from (select max(ID) as n from Employees union all select max(Owner) from Projects "
                  "union all select max(AssignedTo) from Tasks) as used"},
    {"Projects", "select max(n) from (select max(ID) as n from Projects union all select max(ProjectID) from Tasks) "
                 "as used"},
    {"Tasks", "select max(ID) from Tasks"},
};

qint64 single(Connection& connection, const QString& statement) {
    auto rows = connection.query(statement);
    return rows->next() && !rows->isNull(0) ? rows->value(0).toLongLong() : 0;
}

// A team table's ID counter (the last number given), first moved up to `past` when that is
// higher: through the schema's function, which every role that may add rows may use.
qint64 teamCounter(Connection& connection, const char* table, qint64 past = 0) {
    auto rows = connection.query(
        QStringLiteral("select fennick_id_counter('%1', %2)").arg(QString::fromLatin1(table).toLower()).arg(past));
    return rows->next() && !rows->isNull(0) ? rows->value(0).toLongLong() : 0;
}

} // namespace

QHash<QString, qint64> counters(Connection& connection) {
    QHash<QString, qint64> out;
    for (const Counter& c : numbered) {
        const QString table = QLatin1String(c.table);
        if (connection.dialect() == SqlText::Dialect::PostgreSql)
            out.insert(table, teamCounter(connection, c.table));
        else
            out.insert(table, single(connection, QStringLiteral("select seq from sqlite_sequence where name = ") +
                                                     SqlText::quoted(table)));
    }
    return out;
}

void moveCountersPastUsed(Connection& connection, const QHash<QString, qint64>& floors) {
    const QHash<QString, qint64> now = counters(connection);
    for (const Counter& c : numbered) {
        const QString table = QLatin1String(c.table);
        const qint64 wanted = std::max(single(connection, QLatin1String(c.used)), floors.value(table));
        if (wanted <= now.value(table))
            continue;
        if (connection.dialect() == SqlText::Dialect::PostgreSql) {
            teamCounter(connection, c.table, wanted);
        } else if (connection.execute(QStringLiteral("update sqlite_sequence set seq = %1 where name = %2")
                                          .arg(wanted)
                                          .arg(SqlText::quoted(table))) == 0) {
            connection.execute(QStringLiteral("insert into sqlite_sequence (name, seq) values (%1, %2)")
                                   .arg(SqlText::quoted(table))
                                   .arg(wanted));
        }
    }
}

} // namespace RecordIds
