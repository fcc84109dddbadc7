// Benchmark of the calendar sync: a project of 10,000 tasks whose to-dos a CalDAV server
// (Debian's Radicale on 127.0.0.1, started here) already holds. The first sync pairs every task
// with its to-do (the baseline: one listing and the to-dos read in batches); a sync with nothing
// changed on either side must cost one request for the task list, whatever the number of tasks;
// a sync with one change on each side a handful. Requests and bytes are printed, and checked.
#include "BenchSupport.h"
#include "app/Database.h"
#include "calendar_sync/CalendarSync.h"
#include "calendar_sync/Discovery.h"
#include "plan_files/ICalendar.h"
#include "plan_files/PlanExport.h"
#include "plan_files/PlanImport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <cstdio>

namespace {

using Bench::check;
using Bench::timeMs;

constexpr int taskCount = 10000;

class Server;
Server* running = nullptr; // stopped when a failed check ends the benchmark

class Server {
public:
    explicit Server(const QString& folder)
        : m_folder(folder) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        QFile config(folder + QStringLiteral("/config"));
        check(config.open(QIODevice::WriteOnly), "writing Radicale's configuration");
        config.write(QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n[auth]\ntype = none\n[storage]\n"
                                    "filesystem_folder = %2/store\n[logging]\nlevel = warning\n")
                         .arg(m_port)
                         .arg(folder)
                         .toUtf8());
    }
    ~Server() { stop(); }
    void start() {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-m"), QStringLiteral("radicale"), QStringLiteral("--config"),
                         m_folder + QStringLiteral("/config")});
        check(m_process.waitForStarted(-1), "starting Radicale (Debian's radicale)");
        running = this;
        for (;;) {
            check(m_process.state() == QProcess::Running, "Radicale", "it stopped at start");
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(1000))
                return;
            QThread::msleep(100);
        }
    }
    void stop() {
        running = nullptr;
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(-1);
        }
    }
    QString url(const QString& path = {}) const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(path);
    }
    QString folder() const { return m_folder; }

private:
    QString m_folder;
    quint16 m_port = 0;
    QProcess m_process;
};

CalendarSync::Report sync(const QString& url, CalendarSync::State& state, double* ms) {
    CalendarSync::Engine engine{QUrl(url), QStringLiteral("bench"), QString(), state};
    CalendarSync::Report report;
    bool done = false;
    QEventLoop loop;
    QObject::connect(&engine, &CalendarSync::Engine::finished, &loop, [&](const CalendarSync::Report& r) {
        report = r;
        done = true;
        loop.quit();
    });
    *ms = timeMs([&] {
        engine.start();
        if (!done)
            loop.exec();
    });
    check(report.problems.isEmpty(), "the sync", report.problems.join(QLatin1Char(' ')).toStdString());
    return report;
}

} // namespace

int main(int argc, char** argv) {
    std::atexit([] {
        if (running)
            running->stop();
    });
    Bench::Environment env;
    QCoreApplication app(argc, argv);
    Database::shared().open(env.workingDatabase());
    PlanFiles::PlanFile plan;
    plan.format = QStringLiteral("bench");
    for (int i = 1; i <= taskCount; ++i) {
        PlanFiles::FileTask t;
        t.key = QString::number(i);
        t.name = QStringLiteral("Task %1 of the sync benchmark").arg(i);
        t.notes = QStringLiteral("Notes of task %1").arg(i);
        t.start = t.finish = t.startNoEarlierThan = QDate(2027, 1, 4).addDays(i % 300);
        t.percentComplete = i % 101;
        plan.tasks.append(t);
    }
    const qint64 project = PlanImport::write(plan, QStringLiteral("Sync bench"), QString());

    QDir().mkpath(env.path() + QStringLiteral("/radicale"));
    Server server(env.path() + QStringLiteral("/radicale"));
    server.start();
    QString list;
    {
        CalDav::Client client(QUrl(server.url()), QStringLiteral("bench"), QString());
        QEventLoop loop;
        QString error;
        CalendarSync::makeTaskList(client, QStringLiteral("/bench/"), QStringLiteral("Bench"),
                                   [&](const QString& url, const QString& e) {
                                       list = url;
                                       error = e;
                                       loop.quit();
                                   });
        loop.exec();
        check(!list.isEmpty(), "making the task list", error.toStdString());
    }
    // The server already holds the project's to-dos, as another copy of the program left them:
    // written into its folder while it is stopped.
    server.stop();
    const QString folder = server.folder() + QStringLiteral("/store/collection-root") + QUrl(list).path();
    const Database& db = Database::shared();
    // The to-dos carry the UIDs this database gives its tasks.
    CalendarSync::State state;
    state.load(CalendarSync::State::fileFor(db.target()));
    const QString database = CalendarSync::databaseIdentity(state);
    for (const PlanFiles::FileTask& t : PlanExport::read(project).tasks) {
        QFile file(folder + PlanFiles::todoUid(t.key, database).replace(QLatin1Char('@'), QLatin1Char('-')) +
                   QStringLiteral(".ics"));
        check(file.open(QIODevice::WriteOnly), "seeding the server");
        file.write(PlanFiles::writeTodo(t, PlanFiles::todoUid(t.key, database), QString()));
    }
    server.start();
    // The server reads the to-dos it was given on the first request: that is its own start, not
    // a sync's cost.
    const double warm = timeMs([&] {
        QNetworkAccessManager network;
        QNetworkRequest request{QUrl(list)};
        request.setRawHeader("Depth", "1");
        QNetworkReply* reply = network.sendCustomRequest(request, "PROPFIND", QByteArray());
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        check(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 207, "warming the server",
              reply->errorString().toStdString());
        delete reply;
    });
    std::printf("the server read its %d to-dos in %.1f ms\n", taskCount, warm);
    std::fflush(stdout);

    state.assign(project, list);
    double firstMs = 0, secondMs = 0, quietMs = 0, changedMs = 0;
    const CalendarSync::Report first = sync(server.url(), state, &firstMs);
    check(first.upNew + first.upChanged + first.downNew + first.downChanged == 0 && first.conflicts.isEmpty(),
          "pairing", QStringLiteral("%1").arg(first.lines().join(QLatin1Char(' '))).toStdString());
    const CalendarSync::Report second = sync(server.url(), state, &secondMs);
    const CalendarSync::Report quiet = sync(server.url(), state, &quietMs);
    check(quiet.requests == 1, "a sync with nothing changed",
          QStringLiteral("%1 requests").arg(quiet.requests).toStdString());

    // One change on each side.
    Database::shared().execute(QStringLiteral("update Tasks set Title='Renamed' where ProjectID=%1 and ID=(select "
                                              "min(ID) from Tasks where ProjectID=%1)")
                                   .arg(project));
    const CalendarSync::Report changed = sync(server.url(), state, &changedMs);
    check(changed.upChanged == 1, "one change going up", changed.lines().join(QLatin1Char(' ')).toStdString());

    std::printf("%d tasks in one task list\n", taskCount);
    std::printf("first sync, every task paired with its to-do (baseline): %6d requests %10lld bytes %8.1f ms\n",
                first.requests, first.bytesSent + first.bytesReceived, firstMs);
    std::printf("second sync:                                             %6d requests %10lld bytes %8.1f ms\n",
                second.requests, second.bytesSent + second.bytesReceived, secondMs);
    std::printf("nothing changed on either side:                          %6d requests %10lld bytes %8.1f ms  "
                "ratio %.4f (bytes %.5f)\n",
                quiet.requests, quiet.bytesSent + quiet.bytesReceived, quietMs, double(quiet.requests) / first.requests,
                double(quiet.bytesSent + quiet.bytesReceived) / double(first.bytesSent + first.bytesReceived));
    std::printf("one task changed here:                                   %6d requests %10lld bytes %8.1f ms\n",
                changed.requests, changed.bytesSent + changed.bytesReceived, changedMs);
    Database::shared().close();
    return 0;
}
