#include "RecordIds.h"

#include "Connection.h"
#include "DbError.h"
#include "SqlText.h"
#include "ValueText.h"

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

// The sequence behind a team table's ID column ("public.employees_id_seq").
QString sequenceOf(Connection& connection, const char* table) {
    auto rows = connection.query(
        QStringLiteral("select pg_get_serial_sequence('%1', 'id')").arg(QString::fromLatin1(table).toLower()));
    if (!rows->next() || rows->isNull(0))
        throw DbError(QStringLiteral("The team database has no number sequence for %1.").arg(QLatin1String(table)));
    return rows->rawText(0);
}

qint64 teamCounter(Connection& connection, const QString& sequence) {
    auto rows = connection.query(QStringLiteral("select last_value, is_called from ") + sequence);
    if (!rows->next())
        return 0;
    const qint64 last = rows->value(0).toLongLong();
    return isStoredTruth(rows->rawText(1)) ? last : last - 1;
}

} // namespace

QHash<QString, qint64> counters(Connection& connection) {
    QHash<QString, qint64> out;
    for (const Counter& c : numbered) {
        const QString table = QLatin1String(c.table);
        if (connection.dialect() == SqlText::Dialect::PostgreSql)
            out.insert(table, teamCounter(connection, sequenceOf(connection, c.table)));
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
            connection.query(QStringLiteral("select setval(%1, %2, true)")
                                 .arg(SqlText::quoted(sequenceOf(connection, c.table)))
                                 .arg(wanted));
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
