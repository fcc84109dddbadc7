// Benchmark of the history of the records, on the local file and (inside pg_virtualenv, or with
// FENNICK_DATABASE naming an empty database) on a team database:
//  - a version-checked save of a project, as the editor makes it, with the history recorded,
//    against the same save with the history's triggers switched off (limit 1.3);
//  - the project list, a filter and a project's plan read with 1,000,000 history entries, against
//    the same with none (limit 1.05);
//  - one record's history among 1,000,000 entries: read by index, the rows examined equal to the
//    rows shown (the query plan and the statement's own counters).
#include "BenchSupport.h"

#include "app/Database.h"
#include "app/History.h"
#include "app/RecordGuard.h"
#include "scheduling/PlanStore.h"
#include "team_database/PgConnection.h"
#include "team_database/TeamSchema.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using Bench::check;
using Bench::timeMs;

namespace {

constexpr int projects = 20000;
constexpr int saves = 300;
constexpr int historyEntries = 1000000;

// `saves` editor saves of projects, each a version-checked update in its own transaction.
double savesMs(int round) {
    return timeMs([&] {
        for (int i = 0; i < saves; ++i) {
            const QString id = QString::number(1 + (i * 37) % projects);
            const qint64 version = RecordVersions::current(QStringLiteral("Projects"), id);
            int changed = 0;
            const auto written = RecordVersions::writeIf(
                QStringLiteral("Projects"), id, version,
                QStringLiteral("update Projects set ProjectName='Saved %1', Notes='Round %2' where ID=%3")
                    .arg(i)
                    .arg(round)
                    .arg(id),
                changed);
            check(written == RecordVersions::Write::Written && changed == 1, "saving project " + id.toStdString());
        }
    });
}

// The lists and a plan, read whole: the project view, a filter of it, and one project's plan.
double readsMs() {
    Database& db = Database::shared();
    long long cells = 0;
    const double ms = timeMs([&] {
        for (const char* statement :
             {"select * from [Open Projects]", "select * from [Open Projects] where ProjectName like '%7%'",
              "select * from [Open Tasks] where ProjectID = 1"}) {
            auto rows = db.query(QString::fromLatin1(statement));
            while (!rows.eof()) {
                cells += rows.columnCount();
                rows.moveNext();
            }
        }
        PlanStore::read(1);
    });
    check(cells > 0, "reading the lists");
    return ms;
}

struct Figures;
void alternate(const QString& with, const QString& none, Figures& f);

double bestOf(int rounds, const std::function<double()>& f) {
    f(); // caches warmed alike for both
    double best = 1e300;
    for (int i = 0; i < rounds; ++i)
        best = std::min(best, f());
    return best;
}

void fillProjects(Database& db) {
    db.transaction([&] {
        for (int i = 1; i <= projects; ++i)
            db.execute(QStringLiteral("insert into Projects (ProjectName, Owner, Status, StartDate, EndDate) values "
                                      "('Project %1', 1, 'Open', '2027-01-04', '2027-03-01')")
                           .arg(i));
        for (int i = 1; i <= 200; ++i)
            db.execute(QStringLiteral("insert into Tasks (ProjectID, Title, StartDate, DueDate) values (1 + %1 %% 10, "
                                      "'Task %1', '2027-01-04', '2027-01-08')")
                           .arg(i)
                           .replace(QStringLiteral("%%"), QStringLiteral("%")));
    });
}

struct Figures {
    double withHistory = 0, without = 0, readsWith = 0, readsWithout = 0;
    QString plan;
    long long examined = 0, shown = 0;
};

// The reads on the database with entries and on the one without, in turns, the best of each:
// both see the same machine.
void alternate(const QString& with, const QString& none, Figures& f) {
    ::sync();
    Database& db = Database::shared();
    f.readsWith = f.readsWithout = 1e300;
    for (int round = 0; round < 7; ++round) {
        db.open(with);
        f.readsWith = std::min(f.readsWith, bestOf(3, readsMs));
        db.close();
        db.open(none);
        f.readsWithout = std::min(f.readsWithout, bestOf(3, readsMs));
        db.close();
    }
}

void print(const char* backend, const Figures& f) {
    std::printf("%s: %d saves with history %.1f ms, without %.1f ms: ratio %.2f (limit 1.3)\n", backend, saves,
                f.withHistory, f.without, f.withHistory / f.without);
    std::printf("%s: lists, filter and plan with %d history entries %.1f ms, with none %.1f ms: ratio %.3f (limit "
                "1.05)\n",
                backend, historyEntries, f.readsWith, f.readsWithout, f.readsWith / f.readsWithout);
    std::printf("%s: one record's history: %lld rows examined, %lld shown; plan: %s\n", backend, f.examined, f.shown,
                qPrintable(f.plan));
}

// ----------------------------------------------------------------- local file

Figures localFile(const Bench::Environment& env) {
    Figures f;
    const QString path = env.workingDatabase();
    Database& db = Database::shared();
    db.open(path);
    fillProjects(db);
    // Alternating rounds, the best of each kept: both see the same machine.
    double with = 1e300, without = 1e300;
    const QString withoutPath = path + QStringLiteral(".nohistory.mdb");
    QFile::remove(withoutPath);
    db.close();
    check(QFile::copy(path, withoutPath), "copying the file");
    {
        Database::shared().open(withoutPath);
        Database::shared().close();
        Bench::BulkWriter w(withoutPath);
        for (const char* t : {"Employees", "Status", "Categories", "Priorities", "Projects", "Tasks", "TaskLinks"})
            for (const char* k : {"Insert", "Update", "Delete"})
                w.exec(("drop trigger " + std::string(t) + "_History_" + k).c_str());
    }
    for (int round = 0; round < 3; ++round) {
        db.open(path);
        with = std::min(with, savesMs(round));
        db.close();
        db.open(withoutPath);
        without = std::min(without, savesMs(round));
        db.close();
    }
    f.withHistory = with;
    f.without = without;
    db.open(withoutPath);
    check(db.query(QStringLiteral("select count(*) from History where Kind = 'update'")).value(0).toLongLong() == 0,
          "no history written without its triggers");
    db.close();
    db.open(path);
    check(db.query(QStringLiteral("select count(*) from History where Kind = 'update'")).value(0).toLongLong() ==
              3 * saves,
          "every save recorded with its triggers");
    db.close();

    // A million entries, written straight into the file (a year of a busy team's changes); a copy
    // of the same file holds none.
    const QString nonePath = path + QStringLiteral(".none.mdb");
    QFile::remove(nonePath);
    check(QFile::copy(path, nonePath), "copying the file");
    {
        Bench::BulkWriter w(nonePath);
        w.exec("delete from History");
    }
    {
        Bench::BulkWriter w(path);
        sqlite3_stmt* insert =
            w.prepare("insert into History (ChangedAt, ChangedBy, TableName, RecordID, Kind, OldRow, "
                      "NewRow, Tx) values ('2026-06-01T10:00:00.000Z', 'someone', ?1, ?2, 'update', "
                      "'{\"projectname\":\"a\"}', '{\"projectname\":\"b\"}', ?3)");
        for (int i = 0; i < historyEntries; ++i) {
            sqlite3_bind_text(insert, 1, i % 2 ? "tasks" : "projects", -1, SQLITE_STATIC);
            sqlite3_bind_int(insert, 2, 1 + (i * 7) % 500000);
            sqlite3_bind_int(insert, 3, 1000000 + i);
            w.run(insert);
        }
    }
    alternate(path, nonePath, f);

    db.open(path);
    check(db.query(QStringLiteral("select count(*) from History")).value(0).toLongLong() >= historyEntries,
          "the million entries");

    // One record's history: the plan names the index, and SQLite's counters show no scan.
    const QString statement =
        QStringLiteral("SELECT ID, ChangedAt, ChangedBy, TableName, RecordID, Kind, OldRow, NewRow, Tx FROM History "
                       "WHERE TableName = 'projects' AND RecordID = 15 ORDER BY ID DESC");
    auto plan = db.query(QStringLiteral("EXPLAIN QUERY PLAN ") + statement);
    while (!plan.eof()) {
        f.plan += plan.value(QStringLiteral("detail")).toString() + QLatin1Char(' ');
        plan.moveNext();
    }
    f.plan = f.plan.trimmed();
    check(f.plan.contains(QLatin1String("USING INDEX History_Record")), "reading one record's history by index");
    sqlite3* raw = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(raw, statement.toUtf8().constData(), -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        ++f.shown;
    // Rows visited by the index search = rows returned; no full scan step and no sort.
    f.examined = f.shown + sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_FULLSCAN_STEP, 0) +
                 sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_SORT, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
    check(f.shown > 0 && f.examined == f.shown, "rows examined equal rows shown");
    check(History::ofRecord(QStringLiteral("projects"), 15).size() == f.shown, "the history read through the program");
    db.close();
    return f;
}

// ----------------------------------------------------------------- team database

Figures teamDatabase(const QString& target) {
    Figures f;
    Database& db = Database::shared();
    db.open(target);
    db.execute(QStringLiteral("insert into Employees (FirstName) values ('Bench')"));
    fillProjects(db);
    auto triggers = [&](bool on) {
        for (const char* t : {"projects_history"})
            db.execute(QStringLiteral("ALTER TABLE projects %1 TRIGGER %2")
                           .arg(on ? QStringLiteral("ENABLE") : QStringLiteral("DISABLE"), QLatin1String(t)));
    };
    double with = 1e300, without = 1e300;
    for (int round = 0; round < 3; ++round) {
        triggers(true);
        with = std::min(with, savesMs(round));
        triggers(false);
        without = std::min(without, savesMs(round));
    }
    triggers(true);
    f.withHistory = with;
    f.without = without;

    // The same database without entries, to read in turns with this one.
    const QString noneName = QStringLiteral("fennick_bench_history_none");
    db.close();
    {
        PgConnection admin(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
        admin.execute(QStringLiteral("drop database if exists %1 with (force)").arg(noneName));
        admin.execute(QStringLiteral("create database %1 template %2")
                          .arg(noneName, QString(target).remove(QStringLiteral("dbname="))));
    }
    const QString noneTarget = QStringLiteral("dbname=") + noneName;
    db.open(noneTarget);
    db.execute(QStringLiteral("TRUNCATE fennick_history.history"));
    db.close();
    db.open(target);
    // History rows are the owner's to write: the bench's role owns the database it made.
    db.execute(QStringLiteral("ALTER TABLE fennick_history.history DISABLE TRIGGER history_insert_read_only"));
    db.execute(QStringLiteral(
                   "insert into fennick_history.history (changedat, changedby, tablename, recordid, kind, oldrow, newrow, tx) "
                   "select now() - interval '1 day', 'someone', case when i % 2 = 1 then 'tasks' else 'projects' end, "
                   "1 + (i * 7) % 500000, 'update', '{\"projectname\":\"a\"}', '{\"projectname\":\"b\"}', 1000000 + i "
                   "from generate_series(0, %1) i")
                   .arg(historyEntries - 1));
    db.execute(QStringLiteral("ALTER TABLE fennick_history.history ENABLE TRIGGER history_insert_read_only"));
    db.execute(QStringLiteral("VACUUM ANALYZE fennick_history.history"));
    db.execute(QStringLiteral("CHECKPOINT"));
    db.close();
    alternate(target, noneTarget, f);
    db.open(target);

    auto plan = db.query(QStringLiteral(
        "EXPLAIN (ANALYZE, FORMAT JSON) SELECT ID, ChangedAt, ChangedBy, TableName, RecordID, Kind, OldRow, NewRow, Tx "
        "FROM History WHERE TableName = 'projects' AND RecordID = 15 ORDER BY ID DESC"));
    const QJsonObject top =
        QJsonDocument::fromJson(plan.value(0).toString().toUtf8()).array().first().toObject().value("Plan").toObject();
    // Walk down to the scan node.
    QJsonObject node = top;
    while (node.contains(QStringLiteral("Plans")))
        node = node.value(QStringLiteral("Plans")).toArray().first().toObject();
    f.plan = node.value(QStringLiteral("Node Type")).toString() + QStringLiteral(" using ") +
             node.value(QStringLiteral("Index Name")).toString();
    f.shown = top.value(QStringLiteral("Actual Rows")).toInteger();
    f.examined = node.value(QStringLiteral("Actual Rows")).toInteger() +
                 node.value(QStringLiteral("Rows Removed by Filter")).toInteger() +
                 node.value(QStringLiteral("Rows Removed by Index Recheck")).toInteger();
    check(f.plan.contains(QLatin1String("history_record")), "reading one record's history by index");
    check(f.shown > 0 && f.examined == f.shown, "rows examined equal rows shown");
    db.close();
    return f;
}

} // namespace

int main(int argc, char** argv) {
    Bench::Environment env;
    QCoreApplication app(argc, argv);
    Database::shared().close();

    const Figures local = localFile(env);
    print("local file", local);

    QString target = qEnvironmentVariable("FENNICK_DATABASE");
    if (target.isEmpty() && qEnvironmentVariableIsEmpty("PGHOST")) {
        std::printf("team database: skipped (no server; run inside pg_virtualenv)\n");
        return 0;
    }
    if (target.isEmpty()) {
        PgConnection admin(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
        admin.execute(QStringLiteral("drop database if exists fennick_bench_history with (force)"));
        admin.execute(TeamSchema::createDatabaseStatement(QStringLiteral("fennick_bench_history")));
        target = QStringLiteral("dbname=fennick_bench_history");
        TeamSchema::create(target);
    }
    const Figures team = teamDatabase(target);
    print("team database", team);
    return 0;
}
