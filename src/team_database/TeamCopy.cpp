#include "TeamCopy.h"

#include "PgConnection.h"
#include "app/DataStore.h"
#include "app/DbError.h"
#include "app/RecordIds.h"
#include "app/SqlText.h"
#include "app/SqliteConnection.h"
#include "app/ValueText.h"

#include <QFile>
#include <QStringList>

#include <memory>

namespace TeamCopy {

namespace {

// The tables in an order that keeps every reference valid; value lists in the order of entry.
struct Table {
    const char* name;
    const char* localOrder;
    const char* teamSource; // where a team database keeps the rows in stored order
    const char* teamOrder;
};

constexpr Table tables[] = {
    {"Employees", "ID", "employees", "id"},
    {"Status", "rowid", "status_entries", "seq"},
    {"Categories", "rowid", "categories_entries", "seq"},
    {"Priorities", "rowid", "priorities_entries", "seq"},
    {"Projects", "ID", "projects", "id"},
    {"Tasks", "ID", "tasks", "id"},
    {"TaskLinks", "ID", "tasklinks", "id"},
    {"Holidays", "Day", "holidays", "day"},
};

// Columns that hold a truth: 0 and 1 in the local file, false and true in a team database.
bool isTruth(const QString& column) {
    return column == QLatin1String("Milestone") || column == QLatin1String("MilestoneAtStart") ||
           column == QLatin1String("Working");
}

// The columns the program knows (row_version and seq stay behind).
QStringList columnsOf(const char* table) {
    const QString t = QLatin1String(table);
    if (t == QLatin1String("Employees"))
        return {QStringLiteral("ID"),
                QStringLiteral("FirstName"),
                QStringLiteral("LastName"),
                QStringLiteral("Email"),
                QStringLiteral("Company"),
                QStringLiteral("JobTitle"),
                QStringLiteral("BusinessPhone"),
                QStringLiteral("HomePhone"),
                QStringLiteral("MobilePhone"),
                QStringLiteral("FaxNumber"),
                QStringLiteral("Address"),
                QStringLiteral("City"),
                QStringLiteral("State"),
                QStringLiteral("ZIP"),
                QStringLiteral("Country"),
                QStringLiteral("WebPage"),
                QStringLiteral("Notes")};
    if (t == QLatin1String("Status"))
        return {QStringLiteral("Status")};
    if (t == QLatin1String("Categories"))
        return {QStringLiteral("Category")};
    if (t == QLatin1String("Priorities"))
        return {QStringLiteral("Priority")};
    if (t == QLatin1String("Projects"))
        return {QStringLiteral("ID"),           QStringLiteral("ProjectName"), QStringLiteral("Owner"),
                QStringLiteral("StartDate"),    QStringLiteral("Status"),      QStringLiteral("Category"),
                QStringLiteral("Priority"),     QStringLiteral("Notes"),       QStringLiteral("EndDate"),
                QStringLiteral("BudgetInDays"), QStringLiteral("Budget")};
    if (t == QLatin1String("TaskLinks"))
        return {QStringLiteral("ID"), QStringLiteral("PredecessorID"), QStringLiteral("SuccessorID"),
                QStringLiteral("Kind"), QStringLiteral("Lag")};
    if (t == QLatin1String("Holidays"))
        return {QStringLiteral("Day"), QStringLiteral("Name")};
    // A task's parent is set once every task is there (a parent may come after its child).
    return {QStringLiteral("ID"),         QStringLiteral("ProjectID"),
            QStringLiteral("Title"),      QStringLiteral("Priority"),
            QStringLiteral("Status"),     QStringLiteral("Cost"),
            QStringLiteral("CostInDays"), QStringLiteral("PercentComplete"),
            QStringLiteral("AssignedTo"), QStringLiteral("Description"),
            QStringLiteral("StartDate"),  QStringLiteral("DueDate"),
            QStringLiteral("Milestone"),  QStringLiteral("StartNoEarlierThan")};
}

// A truth as the target keeps it.
QString truthLiteral(const QVariant& value, bool toTeam) {
    if (value.isNull())
        return QStringLiteral("NULL");
    const bool on = value.typeId() == QMetaType::Bool ? value.toBool() : isStoredTruth(value.toString());
    if (toTeam)
        return on ? QStringLiteral("true") : QStringLiteral("false");
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// One value as a literal of the statement: numbers as numbers, texts through the one quoting rule.
QString literal(const QVariant& value, bool toTeam) {
    if (value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
        return numberText(value.toDouble());
    default:
        break;
    }
    const QString text = value.toString();
    if (toTeam && text.contains(QChar(0)))
        throw DbError(QStringLiteral("A text in the local file holds a NUL character (code 0), which the team "
                                     "database cannot store, so nothing was copied."));
    return SqlText::quoted(text);
}

qint64 count(Connection& db, const QString& table) {
    auto rows = db.query(QStringLiteral("select count(*) from %1").arg(table));
    return rows->next() ? rows->value(0).toLongLong() : 0;
}

// Copies every table from one connection to the other inside the target's open transaction.
void copyAll(Connection& from, Connection& to, bool toTeam, const Progress& progress) {
    qint64 total = 0;
    for (const Table& t : tables)
        total += count(from, toTeam ? QLatin1String(t.name) : QLatin1String(t.teamSource));
    qint64 done = 0;
    if (progress && !progress(done, total))
        throw DbError(QStringLiteral("The copy was cancelled; nothing was copied."));
    constexpr int batch = 500;
    for (const Table& t : tables) {
        QStringList columns = columnsOf(t.name);
        // The plan's order and the milestones' moments, where both keep them (a local file of an
        // earlier version opened only for reading does not).
        if (QLatin1String(t.name) == QLatin1String("Tasks") && from.keepsPlanOrder() && to.keepsPlanOrder())
            columns << QStringLiteral("PlanOrder") << QStringLiteral("MilestoneAtStart");
        const QString source = toTeam ? QLatin1String(t.name) : QLatin1String(t.teamSource);
        const QString order = toTeam ? QLatin1String(t.localOrder) : QLatin1String(t.teamOrder);
        auto rows = from.query(
            QStringLiteral("select %1 from %2 order by %3").arg(columns.join(QLatin1Char(',')), source, order));
        const QString head = QStringLiteral("insert into %1 (%2) values ")
                                 .arg(QString::fromLatin1(t.name).toLower(), columns.join(QLatin1Char(',')).toLower());
        QStringList values;
        auto flush = [&] {
            if (values.isEmpty())
                return;
            to.execute(head + values.join(QLatin1Char(',')));
            done += values.size();
            values.clear();
            if (progress && !progress(done, total))
                throw DbError(QStringLiteral("The copy was cancelled; nothing was copied."));
        };
        while (rows->next()) {
            QStringList row;
            for (int i = 0; i < columns.size(); ++i)
                row << (isTruth(columns[i]) ? truthLiteral(rows->value(i), toTeam) : literal(rows->value(i), toTeam));
            values << QLatin1Char('(') + row.join(QLatin1Char(',')) + QLatin1Char(')');
            if (values.size() == batch)
                flush();
        }
        flush();
    }
    // The outline, once every task is there; the working weekdays, which every database has.
    auto parents = from.query(QStringLiteral("select ID, ParentID from %1 where ParentID is not null")
                                  .arg(toTeam ? QStringLiteral("Tasks") : QStringLiteral("tasks")));
    while (parents->next())
        to.execute(QStringLiteral("update tasks set parentid=%1 where id=%2")
                       .arg(literal(parents->value(1), toTeam), literal(parents->value(0), toTeam)));
    auto week = from.query(QStringLiteral("select Weekday, Working from WorkingDays"));
    while (week->next())
        to.execute(QStringLiteral("update workingdays set working=%1 where weekday=%2")
                       .arg(truthLiteral(week->value(1), toTeam), literal(week->value(0), toTeam)));
}

} // namespace

void localToTeam(const QString& localFile, const QString& target, const Progress& progress) {
    SqliteConnection local(localFile);
    PgConnection team(target);
    if (team.isReadOnly())
        throw DbError(QStringLiteral("You may read the team database %1 but not change it, so nothing was copied.")
                          .arg(team.describe()));
    for (const Table& t : tables) {
        if (count(team, QLatin1String(t.teamSource)) > 0)
            throw DbError(QStringLiteral("The team database %1 is not empty (%2 has rows), so nothing was copied. "
                                         "Copy into a database that was just created.")
                              .arg(team.describe(), QLatin1String(t.name)));
    }
    // New records get IDs past the copied ones and past every number the file ever gave.
    const QHash<QString, qint64> given = RecordIds::counters(local);
    team.begin();
    try {
        copyAll(local, team, true, progress);
        RecordIds::moveCountersPastUsed(team, given);
        // Links are never referred to from elsewhere: past the copied ones is enough.
        team.query(QStringLiteral("select fennick_id_counter('tasklinks', coalesce(max(id), 0)) from tasklinks"));
        team.commit();
    } catch (...) {
        try {
            team.rollback();
        } catch (const DbError&) {
            // The server rolls back by itself when the connection is gone.
        }
        throw;
    }
}

void teamToLocal(const QString& target, const QString& localFile, const Progress& progress) {
    if (QFile::exists(localFile))
        throw DbError(QStringLiteral("The file '%1' exists already; choose a new file name.").arg(localFile));
    PgConnection team(target);
    const QString partial = localFile + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(DataStore::templateDatabase(), partial))
        throw DbError(QStringLiteral("The empty database '%1' could not be copied to '%2'.")
                          .arg(DataStore::templateDatabase(), partial));
    QFile::setPermissions(partial, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    try {
        {
            SqliteConnection local(partial);
            // A number the team database ever gave is never given again by the file.
            const QHash<QString, qint64> given = RecordIds::counters(team);
            local.begin();
            try {
                copyAll(team, local, false, progress);
                RecordIds::moveCountersPastUsed(local, given);
                local.commit();
            } catch (...) {
                local.rollback();
                throw;
            }
        }
        if (!QFile::rename(partial, localFile))
            throw DbError(QStringLiteral("The file '%1' could not be written.").arg(localFile));
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
}

} // namespace TeamCopy
