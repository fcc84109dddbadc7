// Two-way calendar sync against a real CalDAV server: Debian's Radicale, started by this test on
// 127.0.0.1 with a folder of its own, with a password (htpasswd) so that the account's password
// is proven to be sent. A second client edits to-dos with plain HTTP as another program would.
// Covers the first sync up, changes coming down and going up (another program's fields kept),
// conflicts and the user's choice, deletes both ways, the server stopped in the middle of a sync
// and started again, the cost of a sync with nothing changed, the command line, and the choices
// of the sync plan for every combination of changes; on either kind of database.
#include "app/Database.h"
#include "app/Settings.h"
#include "app/UndoSteps.h"
#include "calendar_sync/CalendarSync.h"
#include "calendar_sync/Credentials.h"
#include "calendar_sync/Discovery.h"
#include "calendar_sync/SyncPlan.h"
#include "calendar_sync/widgets/CalendarAccountsDialog.h"
#include "calendar_sync/widgets/CalendarSyncCommands.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QEventLoop>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

using namespace CalendarSync;

namespace {

const QString user = QStringLiteral("alice");
const QString secret = QStringLiteral("s3cret-pass");

// Radicale on a free port of 127.0.0.1, storing under a folder that outlives a restart.
class Radicale {
public:
    explicit Radicale(const QString& folder)
        : m_folder(folder) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        QFile users(folder + QStringLiteral("/users"));
        users.open(QIODevice::WriteOnly);
        users.write((user + QLatin1Char(':') + secret + QLatin1Char('\n')).toUtf8());
        users.close();
        QFile config(folder + QStringLiteral("/config"));
        config.open(QIODevice::WriteOnly);
        config.write(
            QStringLiteral("[server]\nhosts = 127.0.0.1:%1\n[auth]\ntype = htpasswd\nhtpasswd_filename = %2/users\n"
                           "htpasswd_encryption = plain\n[storage]\nfilesystem_folder = %2/store\n"
                           "[logging]\nlevel = warning\n")
                .arg(m_port)
                .arg(folder)
                .toUtf8());
    }
    ~Radicale() { stop(); }

    bool start() {
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The server ends with this test, however it ends: one left running by a test that
        // aborted keeps the test's output open, and CTest waits for it.
        m_process->setChildProcessModifier([parent = ::getpid()] {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) // the test ended before the line above
                ::_exit(1);
        });
        // Debian's own Python, which has Debian's radicale module.
        m_process->start(QStringLiteral("/usr/bin/python3"),
                         {QStringLiteral("-m"), QStringLiteral("radicale"), QStringLiteral("--config"),
                          m_folder + QStringLiteral("/config")});
        if (!m_process->waitForStarted(-1))
            return false;
        for (int i = 0; i < 600 && m_process->state() == QProcess::Running; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(1000))
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    void stop() {
        if (!m_process)
            return;
        m_process->kill();
        m_process->waitForFinished(-1);
        m_process.reset();
    }
    QString url(const QString& path = QString()) const {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(path);
    }
    quint16 port() const { return m_port; }
    // The collections of the user's home as the server stores them.
    QStringList collections() const {
        return QDir(m_folder + QStringLiteral("/store/collection-root/alice"))
            .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }
    // The .ics files of a collection as the server stores them.
    QStringList files(const QString& collection) const {
        return QDir(m_folder + QStringLiteral("/store/collection-root/alice/") + collection)
            .entryList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name);
    }

private:
    QString m_folder;
    quint16 m_port = 0;
    std::unique_ptr<QProcess> m_process;
};

// A pass-through between the sync and the server that lets a test act just before a PUT gets
// there (the sync's requests are sent one after the other's answer on each connection).
class Relay : public QObject {
public:
    explicit Relay(quint16 target)
        : m_target(target) {
        m_listener.listen(QHostAddress::LocalHost, 0);
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* in = m_listener.nextPendingConnection()) {
                auto* out = new QTcpSocket(in);
                out->connectToHost(QHostAddress::LocalHost, m_target);
                connect(in, &QTcpSocket::readyRead, in, [this, in, out] {
                    const QByteArray data = in->readAll();
                    if (beforePut && data.startsWith("PUT ")) {
                        const auto act = std::exchange(beforePut, {});
                        act();
                    }
                    out->write(data);
                });
                connect(out, &QTcpSocket::readyRead, in, [in, out] { in->write(out->readAll()); });
                connect(out, &QTcpSocket::disconnected, in, [in] { in->disconnectFromHost(); });
                connect(in, &QTcpSocket::disconnected, in, &QObject::deleteLater);
            }
        });
    }
    quint16 port() const { return m_listener.serverPort(); }
    std::function<void()> beforePut; // done once, before the first PUT is passed on

private:
    QTcpServer m_listener;
    quint16 m_target;
};

struct Answer {
    int status = 0;
    QByteArray body;
    QByteArray etag;
};

// The second client: plain HTTP requests, as another calendar program sends them.
Answer http(const QByteArray& verb, const QString& url, const QByteArray& body = {},
            const QList<QPair<QByteArray, QByteArray>>& headers = {}) {
    QNetworkAccessManager network;
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Authorization", "Basic " + (user + QLatin1Char(':') + secret).toUtf8().toBase64());
    for (const auto& h : headers)
        request.setRawHeader(h.first, h.second);
    if (!body.isEmpty() && request.rawHeader("Content-Type").isEmpty())
        request.setRawHeader("Content-Type", "text/calendar; charset=utf-8");
    QNetworkReply* reply = network.sendCustomRequest(request, verb, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    Answer a{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
             reply->rawHeader("ETag")};
    delete reply;
    return a;
}

// A replaced resource: 204, or 201 as some servers answer.
bool written(int status) {
    return status == 201 || status == 204;
}

qint64 addProject(const QString& name) {
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName, Status) values ('%1', 'Open')").arg(name));
    return TestEnvironment::scalar(QStringLiteral("select max(ID) from Projects")).toLongLong();
}

qint64 addTask(qint64 project, const QString& title, const QString& start, const QString& due, int percent = 0) {
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID, Title, Status, PercentComplete, Description, "
                                         "StartDate, DueDate) values (%1, '%2', 'Not Started', %3, 'About %2', '%4', "
                                         "'%5')")
                              .arg(project)
                              .arg(title)
                              .arg(percent)
                              .arg(start, due));
    return TestEnvironment::scalar(QStringLiteral("select max(ID) from Tasks")).toLongLong();
}

QString field(qint64 task, const QString& column) {
    return TestEnvironment::scalar(QStringLiteral("select %1 from Tasks where ID=%2").arg(column).arg(task)).toString();
}

// One line of an iCalendar text, unfolded ("SUMMARY:..."), or empty.
QString line(const QByteArray& ics, const QString& name) {
    QByteArray text = ics;
    text.replace("\r\n ", "").replace("\n ", "");
    for (const QByteArray& l : text.split('\n'))
        if (l.startsWith(name.toUtf8() + ':') || l.startsWith(name.toUtf8() + ';'))
            return QString::fromUtf8(l.trimmed());
    return {};
}

} // namespace

class TestCalendarSync : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_serverDir;
    std::unique_ptr<Radicale> m_server;
    State m_state;
    QString m_list; // the collection's URL
    QString m_name; // its folder on the server
    QString m_via;  // the server's URL the sync is given, when not the server's own

    // The server for this test, and a task list made on it (MKCALENDAR through our own code) for
    // the project.
    void makeList(qint64 project) {
        m_serverDir = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<Radicale>(m_serverDir->path());
        QVERIFY(m_server->start());
        CalDav::Client client(QUrl(m_server->url(QStringLiteral("alice/"))), user, secret);
        QString made, error;
        bool done = false;
        makeTaskList(client, QStringLiteral("/alice/"), QStringLiteral("Launch tasks"),
                     [&](const QString& url, const QString& e) {
                         made = url;
                         error = e;
                         done = true;
                     });
        QTRY_VERIFY_WITH_TIMEOUT(done, 300000);
        QVERIFY2(!made.isEmpty(), qPrintable(error));
        m_list = made;
        m_name = QUrl(made).path().section(QLatin1Char('/'), 2, 2);
        QVERIFY(m_state.load(State::fileFor(Database::shared().target())));
        m_state.assign(project, m_list);
        QVERIFY(m_state.save());
    }

    Report syncOnce(const std::function<void(Engine&)>& whileRunning = {}) {
        m_state.load(State::fileFor(Database::shared().target()));
        Engine engine(QUrl(m_via.isEmpty() ? m_server->url() : m_via), user, secret, m_state);
        Report report;
        bool done = false;
        connect(&engine, &Engine::finished, this, [&](const Report& r) {
            report = r;
            done = true;
        });
        engine.start();
        if (whileRunning)
            whileRunning(engine);
        // A sync that never ends fails here rather than at CTest's limit for the whole program.
        if (!QTest::qWaitFor([&] { return done; }, 300000))
            QTest::qFail("the sync did not end in 5 minutes", __FILE__, __LINE__);
        return report;
    }

    QString hrefOf(qint64 task) {
        m_state.load(State::fileFor(Database::shared().target()));
        for (const CollectionState& cs : m_state.collections())
            for (const ItemState& item : cs.items)
                if (item.task == task)
                    return item.href;
        return {};
    }

private slots:
    void initTestCase() {
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import radicale")});
        probe.waitForFinished(-1);
        if (probe.exitCode() != 0)
            QSKIP("Debian's radicale is not installed (tools/setup.sh installs it)");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS"); // never the desktop's real secret store
    }

    void init() {
        m_env = std::make_unique<TestEnvironment>();
        m_env->openDatabase();
    }

    void cleanup() {
        m_via.clear();
        m_server.reset();
        m_serverDir.reset();
        Database::shared().close();
        m_env.reset();
    }

    void firstSyncGoesUpAndANothingChangedSyncCostsOneRequest() {
        const qint64 project = addProject(QStringLiteral("Launch"));
        const qint64 design =
            addTask(project, QStringLiteral("Design"), QStringLiteral("2026-03-02"), QStringLiteral("2026-03-06"), 40);
        addTask(project, QStringLiteral("Build"), QStringLiteral("2026-03-09"), QStringLiteral("2026-03-20"));
        addTask(addProject(QStringLiteral("Not synced")), QStringLiteral("Elsewhere"), QStringLiteral("2026-03-09"),
                QStringLiteral("2026-03-09"));
        makeList(project);

        const Report first = syncOnce();
        QVERIFY2(first.problems.isEmpty(), qPrintable(first.problems.join(QLatin1Char('\n'))));
        QCOMPARE(first.upNew, 2);
        QCOMPARE(m_server->files(m_name).size(), 2);
        const Answer got = http("GET", m_server->url() + hrefOf(design).mid(1));
        QCOMPARE(got.status, 200);
        QCOMPARE(line(got.body, QStringLiteral("SUMMARY")), QStringLiteral("SUMMARY:Design"));
        QCOMPARE(line(got.body, QStringLiteral("DUE")), QStringLiteral("DUE;VALUE=DATE:20260306"));
        QCOMPARE(line(got.body, QStringLiteral("PERCENT-COMPLETE")), QStringLiteral("PERCENT-COMPLETE:40"));
        QCOMPARE(line(got.body, QStringLiteral("STATUS")), QStringLiteral("STATUS:IN-PROCESS"));

        // Our own writes are listed once more (their versions match); after that only the
        // collection's version is asked.
        const Report second = syncOnce();
        QVERIFY(!second.moved());
        const Report third = syncOnce();
        QVERIFY(!third.moved());
        QCOMPARE(third.requests, 1);
    }

    void changesOfAnotherProgramComeDownAndOursGoUp() {
        const qint64 project = addProject(QStringLiteral("Launch"));
        const qint64 design =
            addTask(project, QStringLiteral("Design"), QStringLiteral("2026-03-02"), QStringLiteral("2026-03-06"));
        const qint64 build =
            addTask(project, QStringLiteral("Build"), QStringLiteral("2026-03-09"), QStringLiteral("2026-03-20"));
        makeList(project);
        QCOMPARE(syncOnce().upNew, 2);

        // Another program moves the due date, renames, completes, and adds an alarm.
        const QString url = m_server->url() + hrefOf(design).mid(1);
        Answer got = http("GET", url);
        QByteArray edited = got.body;
        edited.replace("DUE;VALUE=DATE:20260306", "DUE;VALUE=DATE:20260313");
        edited.replace("SUMMARY:Design", "SUMMARY:Design review");
        edited.replace(
            "END:VTODO",
            "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Soon\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\nEND:VTODO");
        QVERIFY(written(http("PUT", url, edited, {{"If-Match", got.etag}}).status));
        // ...and makes a to-do of its own.
        const QByteArray todo =
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//EN\r\nBEGIN:VTODO\r\nUID:other-1\r\n"
            "DTSTAMP:20260301T100000Z\r\nSUMMARY:Call supplier\r\nDUE;VALUE=DATE:20260310\r\n"
            "STATUS:NEEDS-ACTION\r\nEND:VTODO\r\nEND:VCALENDAR\r\n";
        QCOMPARE(http("PUT", m_list + QStringLiteral("other-1.ics"), todo, {{"If-None-Match", "*"}}).status, 201);

        const Report down = syncOnce();
        QVERIFY2(down.problems.isEmpty(), qPrintable(down.problems.join(QLatin1Char('\n'))));
        QCOMPARE(down.downChanged, 1);
        QCOMPARE(down.downNew, 1);
        QCOMPARE(field(design, QStringLiteral("Title")), QStringLiteral("Design review"));
        QCOMPARE(field(design, QStringLiteral("DueDate")).left(10), QStringLiteral("2026-03-13"));
        QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks where Title='Call supplier' and "
                                                        "ProjectID=%1")
                                             .arg(project))
                     .toInt(),
                 1);

        // Ours go up, and the other program's alarm stays in the to-do.
        TestEnvironment::exec(
            QStringLiteral("update Tasks set PercentComplete=100, Status='Completed' where ID=%1").arg(design));
        TestEnvironment::exec(QStringLiteral("update Tasks set StartDate='2026-03-10' where ID=%1").arg(build));
        const Report up = syncOnce();
        QCOMPARE(up.upChanged, 2);
        QCOMPARE(up.conflicts.size(), 0);
        got = http("GET", url);
        QCOMPARE(line(got.body, QStringLiteral("STATUS")), QStringLiteral("STATUS:COMPLETED"));
        QCOMPARE(line(got.body, QStringLiteral("SUMMARY")), QStringLiteral("SUMMARY:Design review"));
        QVERIFY(got.body.contains("BEGIN:VALARM"));
        QCOMPARE(line(http("GET", m_server->url() + hrefOf(build).mid(1)).body, QStringLiteral("DTSTART")),
                 QStringLiteral("DTSTART;VALUE=DATE:20260310"));
    }

    // A due date moved in the calendar moves a linked task as the planner moves it: its successor
    // follows, and the successor's new dates go up on the next sync.
    void aDueDateFromTheCalendarMovesThePlan() {
        const qint64 project = addProject(QStringLiteral("Launch"));
        const qint64 design =
            addTask(project, QStringLiteral("Design"), QStringLiteral("2026-03-02"), QStringLiteral("2026-03-06"));
        const qint64 build =
            addTask(project, QStringLiteral("Build"), QStringLiteral("2026-03-09"), QStringLiteral("2026-03-13"));
        TestEnvironment::exec(QStringLiteral("insert into TaskLinks (PredecessorID, SuccessorID, Kind, Lag) values "
                                             "(%1, %2, 'FS', 0)")
                                  .arg(design)
                                  .arg(build));
        makeList(project);
        QCOMPARE(syncOnce().upNew, 2);

        const QString url = m_server->url() + hrefOf(design).mid(1);
        const Answer got = http("GET", url);
        QByteArray edited = got.body;
        edited.replace("DUE;VALUE=DATE:20260306", "DUE;VALUE=DATE:20260311");
        QVERIFY(written(http("PUT", url, edited, {{"If-Match", got.etag}}).status));
        const Report down = syncOnce();
        QVERIFY2(down.problems.isEmpty(), qPrintable(down.problems.join(QLatin1Char('\n'))));
        QCOMPARE(down.downChanged, 1);
        QCOMPARE(field(design, QStringLiteral("DueDate")).left(10), QStringLiteral("2026-03-11"));
        QCOMPARE(field(build, QStringLiteral("StartDate")).left(10), QStringLiteral("2026-03-12"));

        const Report up = syncOnce();
        QCOMPARE(up.upChanged, 1);
        QCOMPARE(line(http("GET", m_server->url() + hrefOf(build).mid(1)).body, QStringLiteral("DTSTART")),
                 QStringLiteral("DTSTART;VALUE=DATE:20260312"));
        QVERIFY(!syncOnce().moved());
    }

    void aChangeOnBothSidesIsAConflictUntilTheUserChooses() {
        const qint64 project = addProject(QStringLiteral("Launch"));
        const qint64 design =
            addTask(project, QStringLiteral("Design"), QStringLiteral("2026-03-02"), QStringLiteral("2026-03-06"));
        makeList(project);
        QCOMPARE(syncOnce().upNew, 1);
        const QString url = m_server->url() + hrefOf(design).mid(1);
        auto theirEdit = [&](const QByteArray& title) {
            const Answer got = http("GET", url);
            QByteArray edited = got.body;
            edited.replace(line(got.body, QStringLiteral("SUMMARY")).toUtf8(), "SUMMARY:" + title);
            QVERIFY(written(http("PUT", url, edited, {{"If-Match", got.etag}}).status));
        };

        theirEdit("Design (theirs)");
        TestEnvironment::exec(QStringLiteral("update Tasks set Title='Design (ours)' where ID=%1").arg(design));
        Report report = syncOnce();
        QCOMPARE(report.conflicts.size(), 1);
        QCOMPARE(report.conflicts[0].kind, ConflictKind::Both);
        QVERIFY(report.conflicts[0].describe().contains(QStringLiteral("Design (theirs)")));
        QVERIFY(report.conflicts[0].describe().contains(QStringLiteral("Design (ours)")));
        // Neither side was overwritten, and the next sync still sees the conflict.
        QCOMPARE(field(design, QStringLiteral("Title")), QStringLiteral("Design (ours)"));
        QCOMPARE(line(http("GET", url).body, QStringLiteral("SUMMARY")), QStringLiteral("SUMMARY:Design (theirs)"));
        report = syncOnce();
        QCOMPARE(report.conflicts.size(), 1);

        // The user takes the calendar's version.
        QVERIFY(Engine::resolve(m_state, report.conflicts[0], false));
        report = syncOnce();
        QCOMPARE(report.conflicts.size(), 0);
        QCOMPARE(report.downChanged, 1);
        QCOMPARE(field(design, QStringLiteral("Title")), QStringLiteral("Design (theirs)"));

        // Again, and this time ours stays and goes up.
        theirEdit("Design (theirs again)");
        TestEnvironment::exec(QStringLiteral("update Tasks set Title='Design (ours again)' where ID=%1").arg(design));
        report = syncOnce();
        QCOMPARE(report.conflicts.size(), 1);
        QVERIFY(Engine::resolve(m_state, report.conflicts[0], true));
        // The calendar's copy changes once more before the choice is carried out: the choice was
        // not about this version, so it is asked again and the newer edit stays.
        theirEdit("Design (theirs later)");
        report = syncOnce();
        QCOMPARE(report.conflicts.size(), 1);
        QCOMPARE(report.upChanged, 0);
        QCOMPARE(line(http("GET", url).body, QStringLiteral("SUMMARY")),
                 QStringLiteral("SUMMARY:Design (theirs later)"));
        QVERIFY(Engine::resolve(m_state, report.conflicts[0], true));
        report = syncOnce();
        QCOMPARE(report.upChanged, 1);
        QCOMPARE(line(http("GET", url).body, QStringLiteral("SUMMARY")), QStringLiteral("SUMMARY:Design (ours again)"));
        QCOMPARE(field(design, QStringLiteral("Title")), QStringLiteral("Design (ours again)"));
    }

    void deletesGoBothWays() {
        const qint64 project = addProject(QStringLiteral("Launch"));
        const qint64 design =
            addTask(project, QStringLiteral("Design"), QStringLiteral("2026-03-02"), QStringLiteral("2026-03-06"));
        const qint64 build =
            addTask(project, QStringLiteral("Build"), QStringLiteral("2026-03-09"), QStringLiteral("2026-03-20"));
        const qint64 test =
            addTask(project, QStringLiteral("Test"), QStringLiteral("2026-03-23"), QStringLiteral("2026-03-27"));
        makeList(project);
        QCOMPARE(syncOnce().upNew, 3);
        const QString buildUrl = m_server->url() + hrefOf(build).mid(1);
        const QString testUrl = m_server->url() + hrefOf(test).mid(1);

        TestEnvironment::exec(QStringLiteral("delete from Tasks where ID=%1").arg(design));
        QCOMPARE(http("DELETE", buildUrl).status, 200);
        Report report = syncOnce();
        QCOMPARE(report.upDeleted, 1);
        QCOMPARE(report.downDeleted, 1);
        QCOMPARE(m_server->files(m_name).size(), 1);
        QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title from Tasks order by ID")),
                 QStringList{QStringLiteral("Test")});

        // Deleted on one side after a change on the other: the user is asked, nothing goes.
        const Answer got = http("GET", testUrl);
        QByteArray edited = got.body;
        edited.replace("SUMMARY:Test", "SUMMARY:Test all");
        QVERIFY(written(http("PUT", testUrl, edited, {{"If-Match", got.etag}}).status));
        TestEnvironment::exec(QStringLiteral("delete from Tasks where ID=%1").arg(test));
        report = syncOnce();
        QCOMPARE(report.conflicts.size(), 1);
        QCOMPARE(report.conflicts[0].kind, ConflictKind::DeletedHere);
        QCOMPARE(m_server->files(m_name).size(), 1);
        // Taking the calendar's version brings the task back.
        QVERIFY(Engine::resolve(m_state, report.conflicts[0], false));
        report = syncOnce();
        QCOMPARE(report.downNew, 1);
        QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title from Tasks")),
                 QStringList{QStringLiteral("Test all")});
    }

    // A to-do changed by another program after the sync read it and before our change reaches
    // the server: the upload names the version read, the server refuses it, the newer edit stays,
    // and the next sync puts both to the user.
    void anUploadOverwritesOnlyTheVersionItRead() {
        const qint64 project = addProject(QStringLiteral("Launch"));
        const qint64 design =
            addTask(project, QStringLiteral("Design"), QStringLiteral("2026-03-02"), QStringLiteral("2026-03-06"));
        makeList(project);
        Relay relay(m_server->port());
        QUrl via(m_list);
        via.setPort(relay.port());
        m_state.assign(project, via.toString());
        QVERIFY(m_state.save());
        via.setPath(QStringLiteral("/"));
        m_via = via.toString();
        QCOMPARE(syncOnce().upNew, 1);
        const QString url = m_server->url() + hrefOf(design).mid(1);

        TestEnvironment::exec(QStringLiteral("update Tasks set Title='Design (ours)' where ID=%1").arg(design));
        relay.beforePut = [&] {
            const Answer got = http("GET", url);
            QByteArray edited = got.body;
            edited.replace("SUMMARY:Design", "SUMMARY:Design (theirs)");
            QVERIFY(written(http("PUT", url, edited, {{"If-Match", got.etag}}).status));
        };
        Report report = syncOnce();
        QVERIFY(!relay.beforePut);
        QCOMPARE(report.upChanged, 0);
        QCOMPARE(line(http("GET", url).body, QStringLiteral("SUMMARY")), QStringLiteral("SUMMARY:Design (theirs)"));
        report = syncOnce();
        QCOMPARE(report.conflicts.size(), 1);
        QCOMPARE(field(design, QStringLiteral("Title")), QStringLiteral("Design (ours)"));
    }

    // Two databases (every local file has the same name, and numbers its tasks from 1) sync to
    // one task list: each keeps its own to-dos, and no task is paired with the other's.
    void twoDatabasesOnOneListKeepTheirOwnToDos() {
        const qint64 first = addTask(addProject(QStringLiteral("Launch")), QStringLiteral("Design"),
                                     QStringLiteral("2026-03-02"), QStringLiteral("2026-03-06"));
        makeList(
            TestEnvironment::scalar(QStringLiteral("select ProjectID from Tasks where ID=%1").arg(first)).toLongLong());
        QCOMPARE(syncOnce().upNew, 1);
        QVERIFY(!syncOnce().moved()); // the UID stays the one it was paired with

        m_env.reset();
        m_env = std::make_unique<TestEnvironment>();
        m_env->openDatabase();
        const qint64 project = addProject(QStringLiteral("Accounts"));
        const qint64 other =
            addTask(project, QStringLiteral("Invoice"), QStringLiteral("2026-03-09"), QStringLiteral("2026-03-10"));
        QCOMPARE(other, first);
        QVERIFY(m_state.load(State::fileFor(Database::shared().target())));
        m_state.assign(project, m_list);
        QVERIFY(m_state.save());
        const Report report = syncOnce();
        QVERIFY2(report.problems.isEmpty(), qPrintable(report.problems.join(QLatin1Char('\n'))));
        QCOMPARE(report.conflicts.size(), 0);
        QCOMPARE(report.upNew, 1);
        QCOMPARE(report.downNew, 1);
        QCOMPARE(m_server->files(m_name).size(), 2);
        QCOMPARE(field(other, QStringLiteral("Title")), QStringLiteral("Invoice"));
    }

    void aServerStoppedMidSyncLosesNothing() {
        const qint64 project = addProject(QStringLiteral("Launch"));
        for (int i = 1; i <= 40; ++i)
            addTask(project, QStringLiteral("Task %1").arg(i), QStringLiteral("2026-04-01"),
                    QStringLiteral("2026-04-03"));
        makeList(project);

        // The server stops once a few to-dos are written.
        const Report broken = syncOnce([&](Engine& engine) {
            QTRY_VERIFY_WITH_TIMEOUT(engine.client().requests() >= 8 || !engine.running(), 300000);
            m_server->stop();
        });
        QVERIFY(broken.serverAway);
        QVERIFY(broken.upNew < 40);
        QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks")).toInt(), 40);

        // A sync while it is away changes nothing and says so.
        const Report away = syncOnce();
        QVERIFY(away.serverAway);
        QCOMPARE(away.upNew, 0);

        QVERIFY(m_server->start());
        const Report resumed = syncOnce();
        QVERIFY2(resumed.problems.isEmpty(), qPrintable(resumed.problems.join(QLatin1Char('\n'))));
        QCOMPARE(resumed.conflicts.size(), 0);
        QCOMPARE(m_server->files(m_name).size(), 40);
        QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks")).toInt(), 40);
        syncOnce();
        const Report quiet = syncOnce();
        QVERIFY(!quiet.moved());
        QCOMPARE(quiet.requests, 1);
    }

    void theCommandLineSyncsOnceWithThePasswordFromNetrc() {
        const qint64 project = addProject(QStringLiteral("Launch"));
        addTask(project, QStringLiteral("Design"), QStringLiteral("2026-03-02"), QStringLiteral("2026-03-06"));
        addTask(project, QStringLiteral("Build"), QStringLiteral("2026-03-09"), QStringLiteral("2026-03-20"));
        makeList(project);
        Database::shared().close();
        QFile netrc(m_env->root() + QStringLiteral("/netrc"));
        QVERIFY(netrc.open(QIODevice::WriteOnly));
        netrc.write("machine other.example login alice password wrong\nmachine 127.0.0.1 login alice password " +
                    secret.toUtf8() + "\n");
        netrc.close();
        QUrl calendar(m_list);
        calendar.setUserName(user);

        auto run = [&](const QString& netrcPath, const QString& url = QString(), const QString& which = QString()) {
            QProcess program;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("NETRC"), netrcPath);
            environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
            program.setProcessEnvironment(environment);
            program.setStandardInputFile(QProcess::nullDevice());
            program.start(QStringLiteral(FENNICK_PLANNER),
                          {QStringLiteral("--sync"), QStringLiteral("--calendar"),
                           url.isEmpty() ? calendar.toString() : url, QStringLiteral("--project"),
                           which.isEmpty() ? QString::number(project) : which});
            program.waitForFinished(-1);
            return std::make_pair(program.exitCode(),
                                  QString::fromUtf8(program.readAllStandardOutput() + program.readAllStandardError()));
        };
        auto [code, output] = run(netrc.fileName());
        QVERIFY2(code == 0, qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("up: 2 new, 0 changed, 0 deleted")), qPrintable(output));
        QCOMPARE(m_server->files(m_name).size(), 2);

        // The user's calendar home is no task list: refused before anything is written, on every
        // run, and no task goes.
        QUrl home(m_server->url(QStringLiteral("alice/")));
        home.setUserName(user);
        for (int i = 0; i < 2; ++i) {
            std::tie(code, output) = run(netrc.fileName(), home.toString());
            QCOMPARE(code, 6);
            QVERIFY2(output.contains(QStringLiteral("is not a task list")), qPrintable(output));
        }
        QCOMPARE(m_server->collections(), QStringList{m_name});
        QCOMPARE(m_server->files(m_name).size(), 2);

        // A project the database does not have.
        std::tie(code, output) = run(netrc.fileName(), QString(), QStringLiteral("999"));
        QCOMPARE(code, 3);
        QVERIFY2(output.contains(QStringLiteral("no project 999")), qPrintable(output));

        // A conflict left for the user's choice is a code of its own.
        const QString firstUrl = m_list + m_server->files(m_name).constFirst();
        const Answer got = http("GET", firstUrl);
        QByteArray edited = got.body;
        edited.replace(line(got.body, QStringLiteral("SUMMARY")).toUtf8(), "SUMMARY:Theirs");
        QVERIFY(written(http("PUT", firstUrl, edited, {{"If-Match", got.etag}}).status));
        m_env->openDatabase();
        TestEnvironment::exec(QStringLiteral("update Tasks set Title='Ours' where ProjectID=%1").arg(project));
        Database::shared().close();
        std::tie(code, output) = run(netrc.fileName());
        QCOMPARE(code, 5);
        QVERIFY2(output.contains(QStringLiteral("conflicts: 1")), qPrintable(output));

        // Without a password the server refuses, and the run says so and fails.
        std::tie(code, output) = run(m_env->root() + QStringLiteral("/no-netrc"));
        QCOMPARE(code, 1);
        QVERIFY2(output.contains(QStringLiteral("refused the user or password")), qPrintable(output));

        // With the server away: a plain message and a failure, nothing lost.
        m_server->stop();
        std::tie(code, output) = run(netrc.fileName());
        QCOMPARE(code, 1);
        QVERIFY2(output.contains(QStringLiteral("could not be reached")), qPrintable(output));

        // A database without projects has nothing to sync.
        m_env->openDatabase();
        TestEnvironment::exec(QStringLiteral("delete from Tasks"));
        TestEnvironment::exec(QStringLiteral("delete from Projects"));
        Database::shared().close();
        std::tie(code, output) = run(netrc.fileName());
        QCOMPARE(code, 4);
        QVERIFY2(output.contains(QStringLiteral("no projects")), qPrintable(output));
    }

    // A new user: nothing runs before the account is set up; File -> Calendar Accounts finds the
    // task lists and assigns one to the project; the sync then runs behind the window, and a
    // conflict is put to the user, whose answer is carried out.
    void theWindowSetsUpTheAccountAndAsksAboutConflicts() {
        const qint64 project = addProject(QStringLiteral("Launch"));
        const qint64 design =
            addTask(project, QStringLiteral("Design"), QStringLiteral("2026-03-02"), QStringLiteral("2026-03-06"));
        makeList(project);
        m_state.assign(project, QString()); // the window assigns it
        QVERIFY(m_state.save());

        ScriptedMessages messages;
        Form1 form;
        form.Form_Load();
        auto* scheduler = CalendarSyncCommands::Scheduler::of(&form);
        QVERIFY(scheduler);
        scheduler->syncNow();
        QVERIFY(!scheduler->running());
        QVERIFY(m_server->files(m_name).isEmpty());

        bool filled = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<CalendarSyncCommands::AccountsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("calendarUrl"))
                ->setText(m_server->url(QStringLiteral("alice/")));
            dialog->findChild<QLineEdit*>(QStringLiteral("calendarUser"))->setText(user);
            dialog->findChild<QLineEdit*>(QStringLiteral("calendarPassword"))->setText(secret);
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("project%1").arg(project));
            QVERIFY(combo);
            dialog->findTaskLists();
            QTRY_VERIFY_WITH_TIMEOUT(combo->findData(m_list) > 0, 300000);
            combo->setCurrentIndex(combo->findData(m_list));
            filled = true;
            dialog->accept();
        });
        form.findChild<QAction*>(QStringLiteral("actionCalendarAccounts"))->trigger();
        QVERIFY(filled);
        QCOMPARE(Settings::read(QStringLiteral("Calendar User"), QString()), user);
        // The password is in no file of the settings nor of the data.
        for (const QString& folder : {m_env->configHome(), m_env->dataHome()})
            for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
                QFile file(it.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                QVERIFY2(!file.readAll().contains(secret.toUtf8()), qPrintable(file.fileName()));
            }

        QTRY_COMPARE_WITH_TIMEOUT(m_server->files(m_name).size(), 1, 300000);
        QTRY_VERIFY_WITH_TIMEOUT(!scheduler->running(), 300000);

        // A change on both sides: the user takes the calendar's version.
        const QString url = m_server->url() + hrefOf(design).mid(1);
        const Answer got = http("GET", url);
        QByteArray edited = got.body;
        edited.replace("SUMMARY:Design", "SUMMARY:Design (calendar)");
        QVERIFY(written(http("PUT", url, edited, {{"If-Match", got.etag}}).status));
        TestEnvironment::exec(QStringLiteral("update Tasks set Title='Design (here)' where ID=%1").arg(design));
        messages.answerNext(true);
        const int steps = UndoSteps::shared().depth();
        scheduler->syncNow();
        QTRY_COMPARE_WITH_TIMEOUT(field(design, QStringLiteral("Title")), QStringLiteral("Design (calendar)"), 300000);
        QCOMPARE(messages.questions().size(), 1);
        QCOMPARE(UndoSteps::shared().depth(), steps); // the calendar's change is no step of the user's to undo
        QVERIFY(messages.questions()[0].contains(QStringLiteral("Design (here)")));
        QVERIFY(messages.questions()[0].contains(QStringLiteral("Design (calendar)")));
        QCOMPARE(line(http("GET", url).body, QStringLiteral("SUMMARY")), QStringLiteral("SUMMARY:Design (calendar)"));

        // A project that syncs to the user's home (set up outside the window): a plain notice,
        // and nothing written there.
        QTRY_VERIFY_WITH_TIMEOUT(!scheduler->running(), 300000);
        m_state.load(State::fileFor(Database::shared().target()));
        m_state.assign(project, m_server->url(QStringLiteral("alice/")));
        QVERIFY(m_state.save());
        scheduler->syncNow();
        QTRY_COMPARE_WITH_TIMEOUT(messages.notices().filter(QStringLiteral("is not a task list")).size(), 1, 300000);
        QVERIFY(messages.errors().isEmpty());
        QCOMPARE(m_server->collections(), QStringList{m_name});
    }

    // The sync plan's choice for each combination of what changed on either side.
    void thePlanDecidesEachCombination_data() {
        QTest::addColumn<bool>("local");
        QTest::addColumn<bool>("localChanged");
        QTest::addColumn<bool>("server");
        QTest::addColumn<bool>("serverChanged");
        QTest::addColumn<bool>("samePrint");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("step");
        QTest::newRow("nothing changed") << true << false << true << false << false << "" << int(Step::Record);
        QTest::newRow("ours changed") << true << true << true << false << false << "" << int(Step::Upload);
        QTest::newRow("theirs changed") << true << false << true << true << false << "" << int(Step::Apply);
        QTest::newRow("both, differently") << true << true << true << true << false << "" << int(Step::Conflict);
        QTest::newRow("both, the same way") << true << true << true << true << true << "" << int(Step::Record);
        QTest::newRow("both, ours chosen") << true << true << true << true << false << "ours" << int(Step::Upload);
        QTest::newRow("both, theirs chosen") << true << true << true << true << false << "theirs" << int(Step::Apply);
        QTest::newRow("deleted here") << false << false << true << false << false << "" << int(Step::DeleteRemote);
        QTest::newRow("deleted here, changed there")
            << false << false << true << true << false << "" << int(Step::Conflict);
        QTest::newRow("deleted here, theirs chosen")
            << false << false << true << true << false << "theirs" << int(Step::CreateLocal);
        QTest::newRow("deleted there") << true << false << false << false << false << "" << int(Step::DeleteLocal);
        QTest::newRow("deleted there, changed here")
            << true << true << false << false << false << "" << int(Step::Conflict);
        QTest::newRow("deleted there, ours chosen")
            << true << true << false << false << false << "ours" << int(Step::UploadNew);
        QTest::newRow("deleted on both sides") << false << false << false << false << false << "" << int(Step::Drop);
    }
    void thePlanDecidesEachCombination() {
        QFETCH(bool, local);
        QFETCH(bool, localChanged);
        QFETCH(bool, server);
        QFETCH(bool, serverChanged);
        QFETCH(bool, samePrint);
        QFETCH(QString, choice);
        QFETCH(int, step);
        CollectionState state;
        ItemState item;
        item.href = QStringLiteral("/alice/list/t.ics");
        item.uid = QStringLiteral("t");
        item.task = 7;
        item.etag = "\"e1\"";
        item.version = 3;
        item.print = QStringLiteral("base");
        QHash<qint64, LocalTask> tasks;
        QHash<QString, ServerItem> items;
        if (local)
            tasks.insert(7, LocalTask{7, localChanged ? 4 : 3, QStringLiteral("t"),
                                      localChanged ? QStringLiteral("ours") : QStringLiteral("base")});
        if (server)
            items.insert(item.href,
                         ServerItem{item.href, serverChanged ? "\"e2\"" : "\"e1\"", true, QStringLiteral("t"), true,
                                    serverChanged ? (samePrint ? QStringLiteral("ours") : QStringLiteral("theirs"))
                                                  : QStringLiteral("base")});
        if (!choice.isEmpty()) {
            item.choice = choice;
            item.choiceEtag = server ? items[item.href].etag : QByteArray();
            item.choiceVersion = local ? tasks[7].version : -1;
        }
        state.items << item;
        const QList<Action> actions = decide(state, tasks, items);
        QCOMPARE(actions.size(), 1);
        QCOMPARE(int(actions[0].step), step);
        // A choice made for other versions than these (either side changed again) is asked again.
        if (!choice.isEmpty() && local && server) {
            state.items[0].choiceVersion = 99;
            QCOMPARE(decide(state, tasks, items).value(0).step, Step::Conflict);
            state.items[0].choiceVersion = tasks[7].version;
            state.items[0].choiceEtag = "\"e3\"";
            QCOMPARE(decide(state, tasks, items).value(0).step, Step::Conflict);
        }
    }

    void unpairedTasksAndToDosArePairedByUid() {
        CollectionState state;
        QHash<qint64, LocalTask> tasks{{1, LocalTask{1, 1, QStringLiteral("task-1@x"), QStringLiteral("p1")}},
                                       {2, LocalTask{2, 1, QStringLiteral("task-2@x"), QStringLiteral("p2")}},
                                       {3, LocalTask{3, 1, QStringLiteral("task-3@x"), QStringLiteral("p3")}}};
        QHash<QString, ServerItem> items{
            {QStringLiteral("/a.ics"),
             ServerItem{QStringLiteral("/a.ics"), "1", true, QStringLiteral("task-1@x"), true, QStringLiteral("p1")}},
            {QStringLiteral("/b.ics"), ServerItem{QStringLiteral("/b.ics"), "1", true, QStringLiteral("task-2@x"), true,
                                                  QStringLiteral("other")}},
            {QStringLiteral("/c.ics"),
             ServerItem{QStringLiteral("/c.ics"), "1", true, QStringLiteral("new@app"), true, QStringLiteral("pc")}},
            {QStringLiteral("/e.ics"), ServerItem{QStringLiteral("/e.ics"), "1", true, QString(), false, QString()}}};
        QHash<QString, Step> byUid;
        for (const Action& a : decide(state, tasks, items))
            byUid.insert(a.item.uid.isEmpty() ? a.item.href : a.item.uid, a.step);
        QCOMPARE(byUid.value(QStringLiteral("task-1@x")), Step::Record);     // the same on both sides
        QCOMPARE(byUid.value(QStringLiteral("task-2@x")), Step::Conflict);   // different, no common past
        QCOMPARE(byUid.value(QStringLiteral("task-3@x")), Step::UploadNew);  // only here
        QCOMPARE(byUid.value(QStringLiteral("new@app")), Step::CreateLocal); // only there
        QCOMPARE(byUid.value(QStringLiteral("/e.ics")), Step::Record);       // an event: remembered, not taken
        QCOMPARE(hrefFor(QStringLiteral("/alice/list/"), QStringLiteral("task-3@db/x y")),
                 QStringLiteral("/alice/list/task-3-db-x-y.ics"));
    }

    void netrcGivesThePasswordOfTheHostAndUser_data() {
        QTest::addColumn<QByteArray>("netrc");
        QTest::addColumn<QString>("password");
        QTest::newRow("one line") << QByteArray("machine cal.example login alice password pw1\n") << "pw1";
        QTest::newRow("other host first")
            << QByteArray(
                   "machine x.example login alice password no\nmachine cal.example\n  login alice\n  password pw2\n")
            << "pw2";
        QTest::newRow("other user") << QByteArray("machine cal.example login bob password no\n") << "";
        QTest::newRow("default") << QByteArray(
                                        "machine x.example login alice password no\ndefault login alice password pw3\n")
                                 << "pw3";
        QTest::newRow("none") << QByteArray("") << "";
    }
    void netrcGivesThePasswordOfTheHostAndUser() {
        QFETCH(QByteArray, netrc);
        QFETCH(QString, password);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("netrc")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(netrc);
        file.close();
        qputenv("NETRC", QFile::encodeName(file.fileName()));
        QCOMPARE(Credentials::netrcPassword(QStringLiteral("cal.example"), QStringLiteral("alice")), password);
        qunsetenv("NETRC");
    }
};

QTEST_MAIN(TestCalendarSync)
#include "tst_calendar_sync.moc"
