// Start-up as a person sees it: from the start of the program's process to its painted main
// window, with an empty database and with 100,000 and 1,000,000 projects, on the local file and,
// when run inside pg_virtualenv (PGPORT set), on a team database. The program reports its
// first paint itself (FENNICK_STARTUP_PROBE); both sides read the same monotonic clock.
#include "BenchSupport.h"

#include "app/DbError.h"
#include "team_database/PgConnection.h"
#include "team_database/TeamSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

// A data home holding a working database with the given number of projects (none: the template).
QString makeDataHome(const QString& root, int rows) {
    const QString home = root + QStringLiteral("/home-%1").arg(rows);
    const QString folder = home + QStringLiteral("/data/Tarnwick/Fennick Planner");
    QDir().mkpath(folder);
    QDir().mkpath(home + QStringLiteral("/config"));
    const QString db = folder + QStringLiteral("/dbData.mdb");
    Bench::check(QFile::copy(QStringLiteral(FENNICK_TEMPLATE), db), "copying the template " FENNICK_TEMPLATE,
                 "missing, or the folder is not writable");
    Bench::check(QFile(db).setPermissions(QFile::ReadOwner | QFile::WriteOwner), "making the copy writable");
    if (rows > 0)
        Bench::fillDatabase(db, rows);
    return home;
}

// A team database with the given number of projects; its connection string.
QString makeTeamDatabase(int rows) {
    const QString name = QStringLiteral("fennick_start_%1").arg(rows);
    PgConnection admin(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
    admin.execute(QStringLiteral("drop database if exists %1 with (force)").arg(name));
    admin.execute(TeamSchema::createDatabaseStatement(name));
    const QString target = QStringLiteral("dbname=") + name;
    TeamSchema::create(target);
    PgConnection fill(target);
    fill.runScript(
        QStringLiteral("insert into employees (firstname, lastname) values ('John', 'Wilson'), ('Daniel', 'Carter');"
                       "insert into projects (projectname, owner, startdate, status, category, priority, notes, "
                       "enddate, budgetindays, budget) select 'Project ' || i, 1 + i % 2, date '2021-01-01' + i % "
                       "365, 'In process', 'Main Category', 'High', 'Notes here', date '2022-01-01', i % 50, i * 1.5 "
                       "from generate_series(1, %1) i;"
                       "insert into tasks (projectid, title, priority, status, cost, costindays, percentcomplete, "
                       "assignedto, description, startdate, duedate) select 1 + i % 1000, 'Task ' || i, 'Low', "
                       "'Open', i % 500, 2, 50, 1, 'Description', date '2021-08-31', date '2021-09-30' from "
                       "generate_series(1, %1) i;"
                       "analyze;")
            .arg(rows));
    return target;
}

// Milliseconds from the process start to the painted window; the benchmark stops with what the
// program said when it did not report.
double startOnce(const QString& program, const QString& home, const QString& team = QString()) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("FENNICK_STARTUP_PROBE"), QStringLiteral("1"));
    if (!team.isEmpty())
        env.insert(QStringLiteral("FENNICK_DATABASE"), team);
    process.setProcessEnvironment(env);
    auto nowMs = [] {
        return static_cast<qint64>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    };
    const qint64 started = nowMs();
    process.start(program, {});
    Bench::check(process.waitForStarted(60000), "starting " + program.toStdString(),
                 process.errorString().toStdString());
    Bench::check(process.waitForFinished(120000), "waiting for the program to paint and end",
                 "still running after two minutes");
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("painted "))
            return static_cast<double>(line.mid(8).toLongLong() - started);
    }
    Bench::fail("starting the program on " + home.toStdString() + (team.isEmpty() ? "" : " with " + team.toStdString()),
                "it reported no painted window (exit status " + std::to_string(process.exitCode()) +
                    "): " + process.readAllStandardError().toStdString());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    Bench::reportUncaughtErrors();
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/fennick-planner");
    const int repeats = 11;
    // "bench_startup N" measures an empty database and N projects only (a quick run).
    std::vector<int> sizes = {0, 100000, 1000000};
    if (const int asked = QCoreApplication::arguments().value(1).toInt(); asked > 0)
        sizes = {0, asked};

    std::vector<QString> homes;
    for (int rows : sizes)
        homes.push_back(makeDataHome(root.path(), rows));
    std::vector<QString> teams;
    if (qEnvironmentVariableIsSet("PGPORT")) {
        try {
            for (int rows : sizes)
                teams.push_back(makeTeamDatabase(rows));
        } catch (const DbError& e) {
            std::printf("no team database to measure on: %s\n", qPrintable(e.description()));
            teams.clear();
        }
    }

    auto measure = [&](const char* what, const std::vector<QString>& teamTargets) {
        auto once = [&](size_t s) {
            return startOnce(program, homes[s], teamTargets.empty() ? QString() : teamTargets[s]);
        };
        for (size_t s = 0; s < sizes.size(); ++s)
            once(s); // warm the page cache and the daily backup
        // Interleaved, so a slow moment of the machine falls on every size alike.
        std::vector<std::vector<double>> times(sizes.size());
        for (int i = 0; i < repeats; ++i)
            for (size_t s = 0; s < sizes.size(); ++s)
                times[s].push_back(once(s));
        const double empty = median(times[0]);
        std::printf("%s: start-up to the painted main window (median of %d, offscreen)\n", what, repeats);
        for (size_t s = 0; s < sizes.size(); ++s) {
            const double t = median(times[s]);
            std::printf("%9d projects: %8.1f ms  ratio to empty %.2f (goal 1.5)\n", sizes[s], t, t / empty);
        }
    };
    measure("local file", {});
    if (!teams.empty())
        measure("team database", teams);
    return 0;
}
