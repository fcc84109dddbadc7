// What one saved project costs the other copies of the program on a team database (run it inside
// pg_virtualenv, or with FENNICK_ADMIN_DATABASE naming a server database you may create databases
// from). Headless clients, this program in client mode (the main window offscreen with its whole
// project list, then idle as a copy on a desk is), watch one project:
//  - rows the server reads for one saved project, summed over all clients (pg_stat_database), at
//    100,000 and 1,000,000 projects; and the same for clients that read their whole list again on
//    every change, as copies did before (the baseline);
//  - propagation: a save in this copy until every other copy's list shows it, median and 99th
//    percentile over 200 saves with 50 clients and 1,000,000 projects;
//  - a 1,000,000-row list refilled while others save 20 times a second: whether it ends whole and
//    current, and how often it was read again.
// The count of copies a stock server carries is bench_connections' figure.
#include "BenchSupport.h"

#include "app/ChangeFeed.h"
#include "app/Database.h"
#include "app/Messages.h"
#include "app/widgets/RecordListModel.h"
#include "main_window/Form1.h"
#include "team_database/PgConnection.h"
#include "team_database/TeamSchema.h"

#include <QApplication>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

using Bench::check;

namespace {

constexpr const char* database = "fennick_bench_live";

qint64 nowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class Quiet final : public Messages {
public:
    void notice(const QString&) override {}
    bool ask(const QString&) override { return false; }
    void error(const QString& text) override { errors << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')); }
    QString input(const QString&, const QString&) override { return {}; }
    QStringList errors;
};

// A client: the main window on FENNICK_DATABASE with its whole list; says "ready" (or "failed
// <box>"), then "seen <name> <microseconds>" each time the watched project shows a new name.
// With "refill", it also reads its whole list again on every change, as copies did before.
int client(int argc, char** argv, qint64 watched, bool refill) {
    Bench::Environment env;
    Quiet messages;
    Messages::install(&messages);
    QApplication app(argc, argv);
    env.workingDatabase();
    Form1 form;
    form.Form_Load();
    form.resize(800, 600);
    form.show();
    form.projectModel()->ensureComplete();
    RecordListModel* model = form.projectModel();
    QString last;
    auto look = [&] {
        const int row = model->rowOfRecord(watched);
        const QString name = row >= 0 ? model->cellText(row, 1) : QString();
        if (name != last && name.startsWith(QLatin1String("saved "))) {
            std::printf("seen %s %lld\n", qPrintable(name), static_cast<long long>(nowMicros()));
            std::fflush(stdout);
        }
        last = name;
    };
    QObject::connect(model, &RecordListModel::rowsPatched, look);
    QObject::connect(model, &RecordListModel::rowsReplaced, look);
    if (refill)
        QObject::connect(&Database::shared().changes(), &ChangeFeed::changed, &form, [&form] {
            form.ListData();
            form.projectModel()->ensureComplete();
        });
    std::printf("%s\n", messages.errors.isEmpty() ? "ready" : qPrintable("failed " + messages.errors.join(" | ")));
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    QCoreApplication::exec();
    form.Form_QueryUnload();
    Messages::install(nullptr);
    return 0;
}

// Others saving: `rate` saves a second for `seconds` (renames, with an add and a delete among
// every twenty), each a transaction of its own.
int writer(const QString& target, int rate, int seconds, qint64 projects) {
    Database db;
    db.open(target);
    QRandomGenerator random(20261208);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rate * seconds; ++i) {
        while (clock.elapsed() < i * 1000 / rate)
            QThread::msleep(1);
        if (i % 20 == 7)
            db.execute(QStringLiteral("insert into Projects (ProjectName,Owner) values ('added %1',1)").arg(i));
        else if (i % 20 == 13)
            db.execute(QStringLiteral("delete from Projects where ID=%1").arg(1 + random.bounded(projects)));
        else
            db.execute(QStringLiteral("update Projects set ProjectName='busy %1' where ID=%2")
                           .arg(i)
                           .arg(1 + random.bounded(projects)));
    }
    return 0;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())));
    return values[at];
}

// The headless clients of one round.
class Clients {
public:
    Clients(const QString& target, int count, qint64 watched, bool refill) {
        for (int i = 0; i < count; ++i) {
            auto p = std::make_unique<QProcess>();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("FENNICK_DATABASE"), target);
            p->setProcessEnvironment(env);
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--client"), QString::number(watched),
                                                               refill ? QStringLiteral("refill") : QString()});
            m_processes.push_back(std::move(p));
        }
        for (auto& p : m_processes) {
            while (!p->canReadLine())
                check(p->waitForReadyRead(600000), "starting a client", "no answer");
            const QString said = QString::fromUtf8(p->readLine()).trimmed();
            check(said == QLatin1String("ready"), "starting a client", said.toStdString());
        }
    }
    ~Clients() {
        for (auto& p : m_processes)
            p->closeWriteChannel();
        for (auto& p : m_processes)
            if (!p->waitForFinished(60000))
                p->kill();
    }
    int count() const { return static_cast<int>(m_processes.size()); }

    // When each client showed `name`, in microseconds; empty when one did not within the wait.
    std::vector<qint64> waitFor(const QString& name, int waitMs = 30000) {
        std::vector<qint64> seen(m_processes.size(), 0);
        QElapsedTimer clock;
        clock.start();
        size_t got = 0;
        while (got < seen.size() && clock.elapsed() < waitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            for (size_t i = 0; i < m_processes.size(); ++i) {
                QProcess& p = *m_processes[i];
                p.waitForReadyRead(0);
                while (p.canReadLine()) {
                    const QString line = QString::fromUtf8(p.readLine()).trimmed();
                    const qsizetype lastSpace = line.lastIndexOf(QLatin1Char(' '));
                    if (line.mid(5, lastSpace - 5) == name && seen[i] == 0) {
                        seen[i] = line.mid(lastSpace + 1).toLongLong();
                        ++got;
                    }
                }
            }
        }
        if (got < seen.size())
            return {};
        return seen;
    }

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// Rows the server has read in the database so far (rows returned by scans and fetched by index).
// Each session hands its counts to the statistics when idle, within about ten seconds.
qint64 rowsRead(PgConnection& admin) {
    QThread::msleep(11000);
    auto rows =
        admin.query(QStringLiteral("select tup_returned + tup_fetched from pg_stat_database where datname = '") +
                    QLatin1String(database) + QLatin1Char('\''));
    rows->next();
    return rows->value(0).toLongLong();
}

int saveNumber = 0;

// One save here, until every client shows it: the rows the server read for it, over all clients.
qint64 rowsForOneSave(PgConnection& admin, Clients& clients, qint64 watched) {
    const qint64 before = rowsRead(admin);
    const QString name = QStringLiteral("saved %1").arg(++saveNumber);
    Database::shared().execute(
        QStringLiteral("update Projects set ProjectName='%1' where ID=%2").arg(name).arg(watched));
    check(!clients.waitFor(name).empty(), "a save reaching every client", "one did not show it within 30 s");
    return rowsRead(admin) - before;
}

void addProjects(const QString& target, qint64 from, qint64 to) {
    PgConnection fill(target);
    fill.runScript(QStringLiteral("insert into projects (projectname, owner, startdate, status, category, priority, "
                                  "notes, enddate, budgetindays, budget) select 'Project ' || i, 1 + i % 100, date "
                                  "'2021-01-01' + i % 365, 'Open', 'Main', 'High', 'Notes', date '2021-06-01' + i % "
                                  "365, i % 50, i * 1.5 from generate_series(%1, %2) i; analyze;")
                       .arg(from)
                       .arg(to));
}

// The list of a window against the stored rows: how many rows differ (missing, extra or stale).
qint64 differences(RecordListModel* model) {
    QHash<qint64, QString> shown;
    shown.reserve(model->rowCount());
    for (int row = 0; row < model->rowCount(); ++row)
        shown.insert(model->rawCell(row, 0).toLongLong(), model->rawCell(row, 1));
    qint64 differ = 0, stored = 0;
    for (ResultSet rs = Database::shared().query(QStringLiteral("select ID, ProjectName from Projects")); !rs.eof();
         rs.moveNext()) {
        ++stored;
        const auto it = shown.constFind(rs.value(0).toLongLong());
        if (it == shown.cend() || *it != rs.value(1).toString())
            ++differ;
    }
    return differ + std::max<qint64>(0, static_cast<qint64>(shown.size()) - stored);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && qstrcmp(argv[1], "--client") == 0)
        return client(argc, argv, QByteArray(argv[2]).toLongLong(), argc > 3 && qstrcmp(argv[3], "refill") == 0);
    if (argc > 5 && qstrcmp(argv[1], "--writer") == 0)
        return writer(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt(), QByteArray(argv[4]).toInt(),
                      QByteArray(argv[5]).toLongLong());

    Bench::Environment env;
    QApplication app(argc, argv);
    const QString target = QStringLiteral("dbname=") + QLatin1String(database);
    std::unique_ptr<PgConnection> admin;
    try {
        PgConnection server(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
        server.execute(QStringLiteral("drop database if exists %1 with (force)").arg(QLatin1String(database)));
        server.execute(TeamSchema::createDatabaseStatement(QLatin1String(database)));
        TeamSchema::create(target);
        admin = std::make_unique<PgConnection>(QStringLiteral("dbname=postgres"), PgConnection::Check::None);
    } catch (const DbError& e) {
        std::printf("no team database to measure on: %s\n", qPrintable(e.description()));
        return 0;
    }
    env.workingDatabase();
    qputenv("FENNICK_DATABASE", target.toUtf8());
    {
        PgConnection fill(target);
        fill.runScript(QStringLiteral("insert into employees (firstname, lastname) select 'First' || i, 'Last' || i "
                                      "from generate_series(1, 100) i;"
                                      // No vacuum of its own may read rows while they are counted.
                                      "alter table projects set (autovacuum_enabled = off);"
                                      "alter table employees set (autovacuum_enabled = off);"));
    }
    Database::shared().open(target);
    const qint64 watched = 1;

    std::printf("rows the server reads for one saved project, over all clients (median of 3 saves):\n");
    qint64 size = 100000;
    addProjects(target, 1, size);
    {
        const int count = 5;
        Clients before(target, count, watched, true);
        std::vector<double> rows;
        for (int i = 0; i < 3; ++i)
            rows.push_back(static_cast<double>(rowsForOneSave(*admin, before, watched)));
        const double median = percentile(rows, 0.5);
        std::printf("  %7lld projects, %2d clients reading their whole list again (as before): %10.0f rows, %9.1f "
                    "per client\n",
                    static_cast<long long>(size), count, median, median / count);
    }
    auto measureRows = [&](Clients& clients) {
        // The first change after a fill makes each list's index of its records once.
        Database::shared().execute(
            QStringLiteral("update Projects set ProjectName='saved 0' where ID=%1").arg(watched));
        check(!clients.waitFor(QStringLiteral("saved 0")).empty(), "a first save reaching every client", "timeout");
        std::vector<double> rows;
        for (int i = 0; i < 3; ++i)
            rows.push_back(static_cast<double>(rowsForOneSave(*admin, clients, watched)));
        const double median = percentile(rows, 0.5);
        std::printf("  %7lld projects, %2d clients patching their lists:                    %10.0f rows, %9.1f per "
                    "client (goal: at most 10 per client plus the changed rows)\n",
                    static_cast<long long>(size), clients.count(), median, median / clients.count());
    };
    {
        Clients now(target, 20, watched, false);
        measureRows(now);
    }
    addProjects(target, size + 1, 1000000);
    size = 1000000;
    {
        Clients now(target, 50, watched, false);
        measureRows(now);

        std::vector<double> delays;
        for (int i = 0; i < 200; ++i) {
            const QString name = QStringLiteral("saved %1").arg(++saveNumber);
            const qint64 start = nowMicros();
            Database::shared().execute(
                QStringLiteral("update Projects set ProjectName='%1' where ID=%2").arg(name).arg(watched));
            const std::vector<qint64> seen = now.waitFor(name);
            check(!seen.empty(), "a save reaching every client", "one did not show it within 30 s");
            for (qint64 at : seen)
                delays.push_back(static_cast<double>(at - start) / 1000.0);
        }
        std::printf("propagation of a save to the patched list of every other copy (50 clients, 1,000,000 projects, "
                    "200 saves, %zu arrivals):\n",
                    delays.size());
        std::printf("  median %7.1f ms   99th percentile %7.1f ms   (goal: median <= 50 ms, 99th percentile <= 200 "
                    "ms)\n",
                    percentile(delays, 0.5), percentile(delays, 0.99));
    }

    // A long list read again while others save 20 times a second.
    {
        Form1 form;
        form.Form_Load();
        form.projectModel()->ensureComplete();
        int fills = 0, patches = 0;
        QObject::connect(form.projectModel(), &RecordListModel::rowsReplaced, [&] { ++fills; });
        QObject::connect(form.projectModel(), &RecordListModel::rowsPatched, [&] { ++patches; });
        const int seconds = 20;
        QProcess others;
        others.setProcessChannelMode(QProcess::ForwardedChannels);
        others.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--writer"), target, QStringLiteral("20"),
                                                               QString::number(seconds), QString::number(size)});
        check(others.waitForStarted(), "starting the writer", others.errorString().toStdString());
        QThread::msleep(500);
        fills = 0;
        form.ListData(); // read again while the saves go on
        QElapsedTimer clock;
        clock.start();
        qint64 wholeAfter = -1;
        while (others.state() != QProcess::NotRunning) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            if (wholeAfter < 0 && !form.projectModel()->isFilling())
                wholeAfter = clock.elapsed();
        }
        check(others.exitCode() == 0, "the writer's saves", "it failed");
        // The last saves' notices arrive.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const qint64 differ = differences(form.projectModel());
        std::printf("a 1,000,000-row list read again while others save 20 times a second for %d s:\n", seconds);
        std::printf("  whole after %lld ms; read again %d time(s) in all; %d patches; %lld of %d rows differ from the "
                    "stored ones at the end (goal: whole and current)\n",
                    static_cast<long long>(wholeAfter), fills, patches, static_cast<long long>(differ),
                    form.projectModel()->rowCount());
        check(differ == 0, "the list staying current", "rows differ from the stored ones");
        form.Form_QueryUnload();
    }
    Database::shared().close();
    admin->execute(QStringLiteral("drop database if exists %1 with (force)").arg(QLatin1String(database)));
    return 0;
}
