// Benchmark of a team database on a PostgreSQL server (run it inside pg_virtualenv, or with
// FENNICK_DATABASE naming an empty database that you may create tables in):
//  - the project list filled from 100,000 and 1,000,000 projects, against a raw libpq read of the
//    same view (the floor), and one header-click sort;
//  - propagation: a save in one client until the other client's refilled list shows it, median and
//    99th percentile over 200 saves;
//  - 20 writer processes adding rows at once: saves per second and rows lost.
#include "BenchSupport.h"

#include "app/ChangeFeed.h"
#include "app/Database.h"
#include "app/widgets/RecordListModel.h"
#include "main_window/Form1.h"
#include "team_database/PgConnection.h"
#include "team_database/TeamSchema.h"

#include <QApplication>
#include <QProcess>

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using Bench::timeMs;

namespace {

// The raw read: the view's result fetched with libpq and every value of it touched once.
double rawReadMs(const QString& target) {
    PGconn* conn = PQconnectdb(target.toUtf8().constData());
    Bench::check(PQstatus(conn) == CONNECTION_OK, "connecting to " + target.toStdString(), PQerrorMessage(conn));
    long long bytes = 0;
    const double ms = timeMs([&] {
        PGresult* r = PQexec(conn, "select * from \"open projects\"");
        Bench::check(PQresultStatus(r) == PGRES_TUPLES_OK, "reading the project view", PQerrorMessage(conn));
        const int rows = PQntuples(r);
        const int columns = PQnfields(r);
        for (int row = 0; row < rows; ++row)
            for (int c = 0; c < columns; ++c)
                bytes += PQgetlength(r, row, c) + (PQgetvalue(r, row, c)[0] != 0 ? 1 : 0);
        PQclear(r);
    });
    PQfinish(conn);
    if (bytes == 0)
        std::printf("(empty read)\n");
    return ms;
}

int writer(const QString& target, int count) {
    Database db;
    db.open(target);
    for (int i = 0; i < count; ++i)
        db.execute(QStringLiteral("insert into Projects (ProjectName,Owner) values ('writer row',1)"));
    return 0;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())));
    return values[at];
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 3 && qstrcmp(argv[1], "--writer") == 0)
        return writer(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());

    Bench::Environment env;
    QApplication app(argc, argv);
    QString target = qEnvironmentVariable("FENNICK_DATABASE");
    try {
        if (target.isEmpty()) {
            PgConnection admin(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
            admin.execute(QStringLiteral("drop database if exists fennick_bench with (force)"));
            admin.execute(TeamSchema::createDatabaseStatement(QStringLiteral("fennick_bench")));
            target = QStringLiteral("dbname=fennick_bench");
        }
        TeamSchema::create(target);
    } catch (const DbError& e) {
        std::printf("no team database to measure on: %s\n", qPrintable(e.description()));
        return 0;
    }
    env.workingDatabase();
    qputenv("FENNICK_DATABASE", target.toUtf8());

    const int rowCount = 100000;
    {
        PgConnection fill(target);
        // The rows are made in one statement each, longer than the program lets a statement run.
        fill.runScript(
            QStringLiteral(
                "set statement_timeout = 0;"
                "insert into employees (firstname, lastname) select 'First' || i, 'Last' || i from generate_series(1, "
                "100) i;"
                "insert into projects (projectname, owner, startdate, status, category, priority, notes, enddate, "
                "budgetindays, budget) select 'Project ' || i, 1 + i % 100, date '2021-01-01' + i % 365, 'Open', "
                "'Main', 'High', 'Notes', date '2021-06-01' + i % 365, i % 50, i * 1.5 from generate_series(1, %1) i;"
                "insert into tasks (projectid, title, priority, status, cost, costindays, percentcomplete, assignedto, "
                "description, startdate, duedate) select 1 + i % %1, 'Task ' || i, 'High', 'Open', i, 1, 50, 1 + i % "
                "100, 'Description', date '2021-01-01', date '2021-02-01' from generate_series(1, %1) i;"
                "analyze;")
                .arg(rowCount));
    }

    Form1 form;
    form.Form_Load();
    form.projectModel()->ensureComplete();
    for (int size : {rowCount, 10 * rowCount}) {
        if (size > rowCount) {
            PgConnection more(target);
            more.runScript(QStringLiteral("set statement_timeout = 0;"
                                          "insert into projects (projectname, owner, startdate, status, category, "
                                          "priority, notes, enddate, budgetindays, budget) select 'Project ' || i, "
                                          "1 + i % 100, date '2021-01-01' + i % 365, 'Open', 'Main', 'High', 'Notes', "
                                          "date '2021-06-01' + i % 365, i % 50, i * 1.5 from generate_series(%1, %2) i;"
                                          "analyze;")
                               .arg(rowCount + 1)
                               .arg(size));
        }
        rawReadMs(target);
        const int repeats = size > rowCount ? 3 : 5;
        double floor = 1e300, fill = 1e300, sort = 1e300;
        for (int i = 0; i < repeats; ++i) {
            floor = std::min(floor, rawReadMs(target));
            fill = std::min(fill, timeMs([&] {
                                form.ListData();
                                form.projectModel()->ensureComplete();
                            }));
            sort = std::min(sort, timeMs([&] { Form1::headerClick(form.ListView1, i % 2 ? 2 : 9); }));
        }
        std::printf("rows: %d projects, %d tasks (best of %d)\n", size, rowCount, repeats);
        std::printf("raw libpq read of \"open projects\" (floor): %8.1f ms\n", floor);
        std::printf("project list fill (complete):              %8.1f ms  ratio %.2f (goal 1.2)\n", fill, fill / floor);
        std::printf("one header-click sort:                     %8.1f ms  ratio %.2f (goal 0.5)\n", sort, sort / floor);
    }
    form.projectModel()->setSortingEnabled(false);
    {
        PgConnection fewer(target);
        fewer.runScript(QStringLiteral("set statement_timeout = 0; delete from projects where id > %1").arg(rowCount));
    }

    // Propagation, on a small list so that the time is the way there, not the fill.
    {
        PgConnection other(target);
        other.runScript(
            QStringLiteral("set statement_timeout = 0; delete from tasks; delete from projects where id > 20"));
    }
    form.ListData();
    Database other;
    other.open(target);
    std::vector<double> delays;
    for (int i = 0; i < 200; ++i) {
        const QString name = QStringLiteral("saved %1").arg(i);
        QElapsedTimer timer;
        timer.start();
        other.execute(QStringLiteral("update Projects set ProjectName='%1' where ID=1").arg(name));
        while (form.projectModel()->rowCount() == 0 || form.projectModel()->cellText(0, 1) != name) {
            if (timer.elapsed() > 5000)
                break;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        delays.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    other.close();
    std::printf("propagation of a save to the other client's list (200 saves):\n");
    std::printf("  median %8.1f ms   99th percentile %8.1f ms   (goal: median <= 100 ms)\n", percentile(delays, 0.5),
                percentile(delays, 0.99));

    // 20 writers at once.
    const int writers = 20, each = 200;
    const qint64 before =
        Database::shared().query(QStringLiteral("select count(*) from Projects")).value(0).toLongLong();
    std::vector<QProcess*> processes;
    const double ms = timeMs([&] {
        for (int w = 0; w < writers; ++w) {
            auto* p = new QProcess;
            p->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--writer"), target, QString::number(each)});
            processes.push_back(p);
        }
        for (QProcess* p : processes) {
            p->waitForFinished(300000);
            delete p;
        }
    });
    const qint64 after =
        Database::shared().query(QStringLiteral("select count(*) from Projects")).value(0).toLongLong();
    std::printf("%d writer processes x %d adds: %8.1f ms, %.0f saves per second, %lld rows lost\n", writers, each, ms,
                writers * each / (ms / 1000.0), static_cast<long long>(writers * each - (after - before)));
    form.Form_QueryUnload();
    return 0;
}
