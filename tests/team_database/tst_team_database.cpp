// The team database: the dialect, the choice of database, the schema checks, refused writes,
// the cascades as one transaction, no lost update, and several real clients at once. The cases
// that need a server run when the suite tests the team database (FENNICK_TEST_BACKEND=postgresql).
#include "app/ChangeFeed.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/DatabaseChoice.h"
#include "app/ErrorTrap.h"
#include "app/FieldBounds.h"
#include "app/Settings.h"
#include "app/SqlText.h"
#include "app/SqliteConnection.h"
#include "app/ValueText.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "editors/EditorSql.h"
#include "editors/EditorTestUtil.h"
#include "editors/Form2.h"
#include "help/HelpWindows.h"
#include "live_lists/LiveLists.h"
#include "main_window/Form1.h"
#include "sample_data/SampleData.h"
#include "support/TestSupport.h"
#include "team_database/PgConnection.h"
#include "team_database/TeamCopy.h"
#include "team_database/TeamSchema.h"
#include "team_database/widgets/TeamCommands.h"

#include <QAction>
#include <QLabel>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTreeView>
#include <QtTest>

#include <cstdio>
#include <optional>
#include <pwd.h>
#include <unistd.h>

using namespace EditorTest;

namespace {

#define REQUIRE_SERVER()                                                                                               \
    if (!TestEnvironment::isTeam())                                                                                    \
    QSKIP("needs the team database run (FENNICK_TEST_BACKEND=postgresql)")

int finish(QProcess* child) {
    child->waitForFinished(120000);
    const int code = child->exitCode();
    delete child;
    return code;
}

// A project with every field the lists show.
QString projectInsert(const QString& name, int owner = 0) {
    return QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                          "BudgetInDays,Budget) values (%1,%2,'2021-08-31','Open','Main','High','','2021-09-30',5,10)")
        .arg(SqlText::quoted(name), QString::number(owner));
}

qint64 addProject(const QString& name) {
    TestEnvironment::exec(projectInsert(name));
    return TestEnvironment::scalar(QStringLiteral("select max(ID) from Projects")).toLongLong();
}

QStringList projectNames(Form1& form) {
    QStringList names;
    for (int row = 0; row < form.projectModel()->rowCount(); ++row)
        names << form.projectModel()->cellText(row, 1);
    return names;
}

// A client of its own: this test program in client mode (the main window on the database named
// in FENNICK_DATABASE), answering one line per command (see clientMain).
class Client {
public:
    Client(const QString& target, const QString& programFolder, const QStringList& environment = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FENNICK_DATABASE"), target);
        env.insert(QStringLiteral("FENNICK_TEST_PROGRAM_FOLDER"), programFolder);
        env.remove(QStringLiteral("FENNICK_TEST_BACKEND")); // the client is no test run of its own
        for (const QString& pair : environment)
            env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
        m_process.setProcessEnvironment(env);
        m_process.setProgram(QCoreApplication::applicationFilePath());
        m_process.setArguments({QStringLiteral("--client")});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        m_ready = reply();
    }
    ~Client() {
        m_process.write("quit\n");
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // What the client said when its window had loaded: "ready" and any error boxes.
    QString ready() const { return m_ready; }
    QString ask(const QString& command) {
        m_process.write(command.toUtf8() + '\n');
        return reply();
    }

private:
    QString reply() {
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(20000))
                return QStringLiteral("no answer");
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    QProcess m_process;
    QString m_ready;
};

// A PostgreSQL server of one test's own, in a temporary folder and listening only on a socket
// there, so that stopping it cuts off no other test. The server refuses to run as root: then it
// runs as the postgres user.
class OwnServer {
public:
    OwnServer() {
        const QString version = qEnvironmentVariable("PGVERSION", QStringLiteral("15"));
        m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(version);
        if (geteuid() == 0) {
            const passwd* user = getpwnam("postgres");
            if (!user || chown(QFile::encodeName(m_dir.path()).constData(), user->pw_uid, user->pw_gid) != 0)
                return;
        }
        m_made = run(QStringLiteral("initdb"),
                     {QStringLiteral("-D"), data(), QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"),
                      QStringLiteral("postgres"), QStringLiteral("--no-sync")});
    }
    ~OwnServer() {
        if (m_made)
            run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-w"), QStringLiteral("-m"),
                                           QStringLiteral("immediate"), QStringLiteral("stop")});
    }
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;

    bool start() {
        return m_made && run(QStringLiteral("pg_ctl"),
                             {QStringLiteral("-D"), data(), QStringLiteral("-w"), QStringLiteral("-l"),
                              m_dir.path() + QStringLiteral("/log"), QStringLiteral("-o"),
                              QStringLiteral("-p 5432 -k %1 -c listen_addresses= -c fsync=off").arg(m_dir.path()),
                              QStringLiteral("start")});
    }
    // A fast stop, as an administrator restarting the server does: clients are disconnected.
    bool stop() {
        return run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-w"), QStringLiteral("-m"),
                                              QStringLiteral("fast"), QStringLiteral("stop")});
    }
    QString target(const QString& database) const {
        return QStringLiteral("host=%1 port=5432 user=postgres dbname=%2").arg(m_dir.path(), database);
    }

private:
    QString data() const { return m_dir.path() + QStringLiteral("/data"); }
    bool run(const QString& tool, const QStringList& args) {
        QProcess p;
        if (geteuid() == 0) {
            p.setProgram(QStringLiteral("runuser"));
            p.setArguments(
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), m_bin + tool} +
                args);
        } else {
            p.setProgram(m_bin + tool);
            p.setArguments(args);
        }
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start();
        const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok)
            qWarning("%s failed: %s", qPrintable(tool), p.readAll().constData());
        return ok;
    }

    QTemporaryDir m_dir;
    QString m_bin;
    bool m_made = false;
};

// PgBouncer (Debian's) in front of the run's server, in a temporary folder and listening only on
// a socket there; it refuses to run as root, so then it runs as the postgres user. It lets in
// the user postgres without a password and logs in to the server with the run's password.
class Bouncer {
public:
    Bouncer(const QString& mode, int poolSize)
        : m_program(QStandardPaths::findExecutable(QStringLiteral("pgbouncer"),
                                                   {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")})) {
        if (m_program.isEmpty())
            return;
        if (geteuid() == 0) {
            const passwd* user = getpwnam("postgres");
            if (!user || chown(QFile::encodeName(m_dir.path()).constData(), user->pw_uid, user->pw_gid) != 0)
                return;
        }
        const QString host = qEnvironmentVariable("PGHOST", QStringLiteral("localhost"));
        QFile users(m_dir.filePath(QStringLiteral("users.txt")));
        QFile ini(m_dir.filePath(QStringLiteral("pgbouncer.ini")));
        if (!users.open(QIODevice::WriteOnly) || !ini.open(QIODevice::WriteOnly))
            return;
        users.write("\"postgres\" \"\"\n");
        ini.write(QStringLiteral("[databases]\n* = host=%1 port=%2 user=postgres password=%3\n"
                                 "[pgbouncer]\nlisten_addr =\nlisten_port = 6432\nunix_socket_dir = %4\n"
                                 "auth_type = trust\nauth_file = %5\npool_mode = %6\ndefault_pool_size = %7\n"
                                 "logfile = %4/log\npidfile = %4/pid\n")
                      .arg(host, qEnvironmentVariable("PGPORT", QStringLiteral("5432")),
                           qEnvironmentVariable("FENNICK_TEST_PGPASSWORD"), m_dir.path(), users.fileName(), mode)
                      .arg(poolSize)
                      .toUtf8());
        users.close();
        ini.close();
        m_process.setStandardOutputFile(QProcess::nullDevice()); // its log goes to the file
        m_process.setStandardErrorFile(QProcess::nullDevice());
        if (geteuid() == 0)
            m_process.start(QStringLiteral("runuser"), {QStringLiteral("-u"), QStringLiteral("postgres"),
                                                        QStringLiteral("--"), m_program, ini.fileName()});
        else
            m_process.start(m_program, {ini.fileName()});
        // Up once its socket is there.
        QDeadlineTimer patience(60000);
        while (m_process.state() != QProcess::NotRunning && !patience.hasExpired() &&
               !QFile::exists(m_dir.filePath(QStringLiteral(".s.PGSQL.6432"))))
            m_process.waitForFinished(50);
        m_up = m_process.state() == QProcess::Running && QFile::exists(m_dir.filePath(QStringLiteral(".s.PGSQL.6432")));
    }
    ~Bouncer() {
        m_process.terminate();
        if (!m_process.waitForFinished(20000))
            m_process.kill();
        m_process.waitForFinished();
    }
    Bouncer(const Bouncer&) = delete;
    Bouncer& operator=(const Bouncer&) = delete;

    bool up() const { return m_up; }
    QString log() const {
        QFile file(m_dir.filePath(QStringLiteral("log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    // The connection string of a database of the run's server, through the pooler.
    QString target(const QString& direct) const {
        return QStringLiteral("host=%1 port=6432 user=postgres dbname=%2")
            .arg(m_dir.path(), direct.section(QLatin1String("dbname="), 1).section(QLatin1Char(' '), 0, 0));
    }

private:
    QString m_program;
    QTemporaryDir m_dir;
    QProcess m_process;
    bool m_up = false;
};

#define REQUIRE_BOUNCER(bouncer)                                                                                       \
    if (!(bouncer).up())                                                                                               \
    QSKIP("needs PgBouncer (Debian's pgbouncer package)")

// The texts of an editor's fields, to tell whether anything changed them.
QStringList fieldTexts(QWidget* window) {
    QStringList texts;
    for (const auto* edit : window->findChildren<QLineEdit*>())
        texts << edit->objectName() + QLatin1Char('=') + edit->text();
    for (const auto* edit : window->findChildren<QPlainTextEdit*>())
        texts << edit->objectName() + QLatin1Char('=') + edit->toPlainText();
    for (const auto* box : window->findChildren<QComboBox*>())
        texts << box->objectName() + QLatin1Char('=') + box->currentText();
    for (const auto* date : window->findChildren<QDateEdit*>())
        texts << date->objectName() + QLatin1Char('=') + date->text();
    return texts;
}

// Another client of the server: psql running a script in the background, as an administrator's
// session does, until it ends or is cut off.
class OtherSession {
public:
    explicit OtherSession(const QString& target, const QString& script) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGAPPNAME"), name());
        env.insert(QStringLiteral("PGPASSWORD"), qEnvironmentVariable("FENNICK_TEST_PGPASSWORD"));
        m_process.setProcessEnvironment(env);
        m_process.setStandardOutputFile(QProcess::nullDevice()); // and its farewell when cut off
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                                 QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), target,
                                                 QStringLiteral("-c"), script});
    }
    ~OtherSession() {
        end();
        m_process.waitForFinished();
    }
    OtherSession(const OtherSession&) = delete;
    OtherSession& operator=(const OtherSession&) = delete;

    bool started() { return m_process.waitForStarted(); }
    // Cuts the session off on the server; its transaction is rolled back and its locks go.
    void end() {
        TestServer::admin(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where "
                                         "application_name = '%1'")
                              .arg(name()));
    }
    int finish() {
        m_process.waitForFinished(120000);
        return m_process.exitCode();
    }

private:
    static QString name() { return QStringLiteral("fennick-other-session"); }
    QProcess m_process;
};

// Whether another session holds the table locked.
bool lockedElsewhere(const QString& table) {
    return TestEnvironment::scalar(QStringLiteral("select count(*) from pg_locks l join pg_class c on c.oid = "
                                                  "l.relation where c.relname = '%1' and l.mode = "
                                                  "'AccessExclusiveLock' and l.granted")
                                       .arg(table))
               .toInt() == 1;
}

} // namespace

// ------------------------------------------------------------------ child programs

// The main window on FENNICK_DATABASE, offscreen, with message boxes recorded. Prints "ready"
// (and the text of any error box) once loaded, then answers one line per command:
//   list        "list " and the names of the project list, joined by "|"
//   add <name>  adds a project as a handler does: "saved" or "refused", and the text of any error box
//               and of any notice (after "notice:")
//   open <id>   opens the project editor on a project; type <name> types its name;
//   save        saves it: "saved", or "refused ", the boxes shown, and the name it still shows
//   title       "title " and the window title
//   errors      "errors " and the text of every error box shown since the start, joined by " | "
//   quit
int clientMain() {
    ScriptedMessages messages;
    DataStore::setProgramFolderForTesting(qEnvironmentVariable("FENNICK_TEST_PROGRAM_FOLDER"));
    QApplication::setQuitOnLastWindowClosed(false); // "quit" ends the client
    Form1 form;
    form.Form_Load();
    form.show();
    QStringList everyError;
    const auto answer = [&messages, &everyError](const QString& text) {
        std::printf("%s\n", qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        std::fflush(stdout);
        everyError << messages.errors();
        messages.clear();
    };
    answer(QStringLiteral("ready ") + messages.errors().join(QLatin1Char(' ')));
    std::unique_ptr<Form2> editor;
    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QString line = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            const QString command = line.section(QLatin1Char(' '), 0, 0);
            const QString rest = line.section(QLatin1Char(' '), 1);
            if (command == QLatin1String("list")) {
                answer(QStringLiteral("list ") + projectNames(form).join(QLatin1Char('|')));
            } else if (command == QLatin1String("add")) {
                ErrorTrap trap(QStringLiteral("Client"), QStringLiteral("Add"));
                const bool saved = trap.step(1, [&] {
                    Database::shared().execute(projectInsert(rest));
                    form.ListData(); // as after an add in the window
                });
                QStringList said{saved ? QStringLiteral("saved") : QStringLiteral("refused")};
                said << messages.errors();
                for (const QString& notice : messages.notices())
                    said << QStringLiteral("notice: ") + notice;
                answer(said.join(QLatin1Char(' ')));
            } else if (command == QLatin1String("open")) {
                editor = open<Form2>(rest);
                answer(QStringLiteral("opened ") + messages.errors().join(QLatin1Char(' ')));
            } else if (command == QLatin1String("type") && editor) {
                set(editor.get(), QStringLiteral("Text1"), rest);
                answer(QStringLiteral("typed"));
            } else if (command == QLatin1String("save") && editor) {
                save(editor.get());
                QStringList said = messages.errors();
                for (const QString& notice : messages.notices())
                    said << QStringLiteral("notice: ") + notice;
                if (messages.errors().isEmpty() && !editor->isVisible())
                    answer(QStringLiteral("saved"));
                else
                    answer(QStringLiteral("refused ") + said.join(QLatin1Char(' ')) + QStringLiteral(" (still open: ") +
                           shown(editor.get(), QStringLiteral("Text1")) + QLatin1Char(')'));
            } else if (command == QLatin1String("title")) {
                answer(QStringLiteral("title ") + form.windowTitle());
            } else if (command == QLatin1String("errors")) {
                answer(QStringLiteral("errors ") + QStringList(everyError + messages.errors())
                                                       .join(QStringLiteral(" | "))
                                                       .replace(QLatin1Char('\n'), QLatin1Char(' ')));
            } else {
                QCoreApplication::quit();
            }
        }
    });
    return QCoreApplication::exec();
}

// add <target> <prefix> <count>: adds projects one statement at a time, then prints "done".
// edit <target> <id> <name>: renames a project.
// exec <target> <statement>: runs one statement, as another program on the database would.
int childMain(const QStringList& args) {
    const QString mode = args.value(0);
    Database& db = Database::shared();
    try {
        db.open(args.value(1));
        if (mode == QLatin1String("add")) {
            const int count = args.value(3).toInt();
            for (int i = 0; i < count; ++i)
                db.execute(QStringLiteral("insert into Projects (ProjectName,Owner) values (%1,0)")
                               .arg(SqlText::quoted(args.value(2) + QString::number(i))));
        } else if (mode == QLatin1String("exec")) {
            db.execute(args.value(2));
        } else if (mode == QLatin1String("edit")) {
            db.execute(QStringLiteral("update Projects set ProjectName=%1 where ID=%2")
                           .arg(SqlText::quoted(args.value(3)), args.value(2)));
        }
    } catch (const DbError& e) {
        std::fprintf(stderr, "child failed: %s\n", qPrintable(e.description()));
        return 1;
    }
    std::printf("done\n");
    return 0;
}

// Passes connections on to the server until it falls silent: then it drops them and takes new
// ones without ever answering, as a network that drops packets does. It runs on a thread of its
// own, so that it answers while the program's thread waits.
class Relay {
public:
    explicit Relay(quint16 serverPort) {
        m_thread.start();
        m_worker.moveToThread(&m_thread);
        on([&] {
            m_worker.server = new QTcpServer(&m_worker);
            m_worker.server->listen(QHostAddress::LocalHost);
            QObject::connect(m_worker.server, &QTcpServer::newConnection, &m_worker,
                             [this, serverPort] { accept(serverPort); });
            m_port = m_worker.server->serverPort();
        });
    }
    ~Relay() {
        on([&] { delete m_worker.server; });
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_port; }
    void fallSilent() {
        on([&] {
            m_silent = true;
            for (QTcpSocket* s : std::exchange(m_passed, {}))
                s->abort();
        });
    }
    void speakAgain() {
        on([&] {
            m_silent = false;
            for (QTcpSocket* s : std::exchange(m_held, {}))
                s->abort();
        });
    }
    // Connections taken while silent whose other end has sent something and still waits.
    int waiting() {
        int n = 0;
        on([&] {
            n = static_cast<int>(std::count_if(m_held.begin(), m_held.end(), [](QTcpSocket* s) {
                return s->state() == QAbstractSocket::ConnectedState && s->bytesAvailable() > 0;
            }));
        });
        return n;
    }

private:
    struct Worker : QObject {
        QTcpServer* server = nullptr;
    };
    // Runs on the relay's thread and waits for it.
    template <typename F> void on(F&& f) { QMetaObject::invokeMethod(&m_worker, f, Qt::BlockingQueuedConnection); }
    void accept(quint16 serverPort) {
        while (QTcpSocket* in = m_worker.server->nextPendingConnection()) {
            if (m_silent) {
                m_held.push_back(in);
                continue;
            }
            auto* out = new QTcpSocket(in);
            out->connectToHost(QHostAddress::LocalHost, serverPort);
            // What the client sends before the server's side is connected waits in its socket.
            const auto pass = [in, out] {
                if (out->state() == QAbstractSocket::ConnectedState)
                    out->write(in->readAll());
            };
            QObject::connect(in, &QTcpSocket::readyRead, out, pass);
            QObject::connect(out, &QTcpSocket::connected, out, pass);
            QObject::connect(out, &QTcpSocket::readyRead, in, [in, out] { in->write(out->readAll()); });
            QObject::connect(out, &QTcpSocket::disconnected, in, &QTcpSocket::abort);
            QObject::connect(in, &QTcpSocket::disconnected, out, &QTcpSocket::abort);
            m_passed.push_back(in);
        }
    }

    QThread m_thread;
    Worker m_worker;
    quint16 m_port = 0;
    bool m_silent = false;
    std::vector<QTcpSocket*> m_passed, m_held; // used on the relay's thread only
};

class TestTeamDatabase : public QObject {
    Q_OBJECT
private slots:
    void dialectForPostgres_data();
    void dialectForPostgres();
    void teamDatabaseNames_data();
    void teamDatabaseNames();
    void firstFoundChoiceWins();

    void schemaIsCheckedWhenOpening_data();
    void schemaIsCheckedWhenOpening();
    void createSchemaRefusesTwiceAndWithoutRights();
    void earlierTablesAreBroughtUpToDateByTheirOwner();
    void upgradeKeepsTheShownOrderOfTasks_data();
    void upgradeKeepsTheShownOrderOfTasks();
    void createSchemaRefusesADatabaseNotInUtf8();
    void createSchemaAsksForThePasswordOnTheTerminal();
    void valueListsKeepOrderAndIgnoreCase();
    void refusedTexts_data();
    void refusedTexts();
    void readOnlyRoleBrowsesButCannotWrite();
    void roleWithoutRightsIsToldOnce_data();
    void roleWithoutRightsIsToldOnce();
    void passwordIsAskedForThisRunOnly();
    void titleNamesTheDatabaseOnceThePasswordIsRight_data();
    void titleNamesTheDatabaseOnceThePasswordIsRight();
    void conflictingEditIsNotLost_data();
    void conflictingEditIsNotLost();
    void saveBlockedByALockSaysSoAndSavesNothing_data();
    void saveBlockedByALockSaysSoAndSavesNothing();
    void deleteUnderALockIsANoticeAndChangesNothing();
    void listNotReadUnderALockIsReadAgainWhenFree_data();
    void listNotReadUnderALockIsReadAgainWhenFree();
    void valueDeletedElsewhereIsShownAndKept_data();
    void valueDeletedElsewhereIsShownAndKept();
    void listCellsCarryTheStartOfALongText();
    void overLongTextsAreRefused_data();
    void overLongTextsAreRefused();
    void projectWithoutDatesFromPsqlShowsEverywhere();
    void lostConnectionIsReportedAndRestored();
    void serverRestartDuringASession();
    void readOnlyClientBrowsesWhileAnotherWrites();
    void liveRefreshKeepsSortSelectionAndScroll();
    void changeDuringARefillIsNotLost_data();
    void changeDuringARefillIsNotLost();
    void othersChangesArePatchedInPlace_data();
    void othersChangesArePatchedInPlace();
    void silentServerDoesNotFreezeTheWindow();
    void longListStreamsWhileTheConnectionIsFree();
    void throughAPooler_data();
    void throughAPooler();
    void poolersOtherClientsGetNoSettingsOfTheProgram();
    void fullServerOrPoolIsToldOnceAndPlainly_data();
    void fullServerOrPoolIsToldOnceAndPlainly();
    void openEditorIsNotDisturbedByARefill_data();
    void openEditorIsNotDisturbedByARefill();
    void twentyWritersLoseNothing();
    void teamDatabaseCommandSwitchesBackAndForth();
    void copiesBothWaysKeepEveryRow();
    void copyIntoAFilledTeamDatabaseIsRefused();
    void teamMemberCopiesWithTheDocumentedGrants();
    void guideStepsGiveATeamThatSharesLiveChanges();
    void copyCommandsOfTheFileMenu();
};

void TestTeamDatabase::dialectForPostgres_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("adapted");
    QTest::newRow("bracketed view") << "select * from [Open Projects] where [Owner]=3"
                                    << "select * from \"open projects\" where \"owner\"=3";
    QTest::newRow("joined names") << "select FirstName+' '+LastName as ContactName from Employees"
                                  << "select FirstName||' '||LastName as ContactName from Employees";
    QTest::newRow("text untouched") << "insert into [Status] values ('[a]+b')"
                                    << "insert into \"status\" values ('[a]+b')";
    QTest::newRow("first of value list")
        << "SELECT First(Status.Status) AS [MaxID] FROM Status"
        << "SELECT (array_agg(Status.Status ORDER BY seq))[1] AS \"maxid\" FROM status_entries AS status";
    QTest::newRow("last of table") << "SELECT Last(Projects.ID) AS [MaxID] FROM Projects"
                                   << "SELECT (array_agg(Projects.ID ORDER BY id DESC))[1] AS \"maxid\" FROM Projects";
    QTest::newRow("number sign") << "update Tasks set Cost=+5 where ID=1"
                                 << "update Tasks set Cost=+5 where ID=1";
}

void TestTeamDatabase::dialectForPostgres() {
    QFETCH(QString, statement);
    QFETCH(QString, adapted);
    QCOMPARE(SqlText::adaptDialect(statement, SqlText::Dialect::PostgreSql), adapted);
}

void TestTeamDatabase::teamDatabaseNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("team");
    QTest::newRow("uri") << "postgresql://db.example.org/fennick?sslmode=verify-full" << true;
    QTest::newRow("short uri") << "postgres://localhost/fennick" << true;
    QTest::newRow("service") << "service=fennick" << true;
    QTest::newRow("pairs") << "host=db port=5433 dbname=fennick" << true;
    QTest::newRow("file") << "/home/ann/.local/share/Tarnwick/Fennick Planner/dbData.mdb" << false;
    QTest::newRow("file with equals") << "/data/a=b/dbData.mdb" << false;
}

void TestTeamDatabase::teamDatabaseNames() {
    QFETCH(QString, name);
    QFETCH(bool, team);
    QCOMPARE(PgConnection::recognises(name), team);
}

void TestTeamDatabase::firstFoundChoiceWins() {
    TestEnvironment env;
    qunsetenv("FENNICK_DATABASE");
    DatabaseChoice::setFromCommandLine(QString());
    QCOMPARE(DatabaseChoice::chosen(), env.dataHome() + QStringLiteral("/Tarnwick/Fennick Planner/dbData.mdb"));
    Settings::write(QStringLiteral("Database"), QStringLiteral("service=from_settings"));
    QCOMPARE(DatabaseChoice::chosen(), QStringLiteral("service=from_settings"));
    qputenv("FENNICK_DATABASE", "service=from_environment");
    QCOMPARE(DatabaseChoice::chosen(), QStringLiteral("service=from_environment"));
    DatabaseChoice::setFromCommandLine(QStringLiteral("service=from_command_line"));
    QCOMPARE(DatabaseChoice::chosen(), QStringLiteral("service=from_command_line"));
    DatabaseChoice::setFromCommandLine(QString());
    qunsetenv("FENNICK_DATABASE");
}

void TestTeamDatabase::schemaIsCheckedWhenOpening_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("message");
    QTest::newRow("other version") << "update fennick_schema set version=99"
                                   << "another version (99)";
    QTest::newRow("no tables") << "drop table fennick_schema"
                               << "--create-schema";
}

void TestTeamDatabase::schemaIsCheckedWhenOpening() {
    REQUIRE_SERVER();
    QFETCH(QString, change);
    QFETCH(QString, message);
    TestEnvironment env;
    env.openDatabase();
    TestEnvironment::exec(change);
    Database::shared().close();
    const QString why = refusalOf([&] { Database::shared().open(env.databaseTarget()); });
    QVERIFY2(why.contains(message), qPrintable(why));
}

void TestTeamDatabase::createSchemaRefusesTwiceAndWithoutRights() {
    REQUIRE_SERVER();
    TestEnvironment env;
    const QString twice = refusalOf([&] { TeamSchema::create(env.databaseTarget()); });
    QVERIFY2(twice.contains(QLatin1String("already has")), qPrintable(twice));
    TestServer::admin(QStringLiteral("drop role if exists fennick_no_create"));
    TestServer::admin(QStringLiteral("create role fennick_no_create login password 'x'"));
    const QString empty = TestServer::freshDatabase(); // has the tables: make it empty
    TestServer::admin(QStringLiteral("drop database %1").arg(empty.section(QLatin1Char('='), 1)));
    TestServer::admin(TeamSchema::createDatabaseStatement(empty.section(QLatin1Char('='), 1)));
    qputenv("PGPASSWORD", "x");
    const QString why = refusalOf([&] { TeamSchema::create(empty + QStringLiteral(" user=fennick_no_create")); });
    QVERIFY2(why.contains(QLatin1String("may not create tables")), qPrintable(why));
    qputenv("PGPASSWORD", qgetenv("FENNICK_TEST_PGPASSWORD"));
    TestServer::dropDatabase(empty);
}

// A team database of the first version is not opened (the message says how to bring it up to
// date); --create-schema by a role without rights changes nothing; by the owner it keeps every row
// and the program opens it.
void TestTeamDatabase::earlierTablesAreBroughtUpToDateByTheirOwner() {
    REQUIRE_SERVER();
    TestEnvironment env;
    const QString name = QStringLiteral("fennick_old_%1").arg(QCoreApplication::applicationPid());
    TestServer::admin(QStringLiteral("drop database if exists %1 with (force)").arg(name));
    TestServer::admin(
        QStringLiteral("create database %1 template template0 encoding 'UTF8' lc_collate 'C' lc_ctype 'C'").arg(name));
    const QString target = QStringLiteral("dbname=") + name;
    QFile script(QStringLiteral(FENNICK_TEST_DATA "/old-files/postgresql-v1.sql"));
    QVERIFY(script.open(QIODevice::ReadOnly));
    {
        PgConnection old(target, PgConnection::Check::None);
        old.runScript(QString::fromUtf8(script.readAll()));
        old.execute(QStringLiteral("insert into projects (projectname, owner) values ('kept', 0)"));
        old.execute(QStringLiteral("insert into tasks (projectid, title) select id, 'its task' from projects"));
        // Written by another program before texts had bounds: kept by the upgrade.
        old.execute(QStringLiteral("insert into projects (projectname, owner) values (repeat('x', 200000), 0)"));
    }
    const QString refused = refusalOf([&] { Database::shared().open(target); });
    QVERIFY2(refused.contains(QLatin1String("earlier version")) && refused.contains(QLatin1String("--create-schema")),
             qPrintable(refused));

    TestServer::admin(QStringLiteral("drop role if exists fennick_no_create"));
    TestServer::admin(QStringLiteral("create role fennick_no_create login password 'x'"));
    qputenv("PGPASSWORD", "x");
    const QString why = refusalOf([&] { TeamSchema::create(target + QStringLiteral(" user=fennick_no_create")); });
    qputenv("PGPASSWORD", qgetenv("FENNICK_TEST_PGPASSWORD"));
    QVERIFY2(why.contains(QLatin1String("may not change the tables")), qPrintable(why));

    TeamSchema::create(target);
    Database::shared().open(target);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select p.projectname, t.title from projects p join tasks t on "
                                                  "t.projectid = p.id")),
             QStringList{"kept|its task"});
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select max(length(projectname)) from projects")).toInt(), 200000);
    const QString tooLong = refusalOf([] {
        TestEnvironment::exec(QStringLiteral("insert into projects (projectname, owner) values (repeat('y', %1), 0)")
                                  .arg(FieldBounds::maxShortText + 1));
    });
    QVERIFY2(tooLong.startsWith(QLatin1String("A text is too long")), qPrintable(tooLong));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from tasklinks")).toInt(), 0);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from workingdays where working")).toInt(), 5);
    const QString again = refusalOf([&] { TeamSchema::create(target); });
    QVERIFY2(again.contains(QLatin1String("already has")), qPrintable(again));
    Database::shared().close();
    TestServer::admin(QStringLiteral("drop database if exists %1 with (force)").arg(name));
    TestServer::admin(QStringLiteral("drop owned by fennick_no_create"));
}

void TestTeamDatabase::upgradeKeepsTheShownOrderOfTasks_data() {
    QTest::addColumn<QString>("tasks");      // (ID, StartDate, ParentID, ProjectID) as stored
    QTest::addColumn<QStringList>("places"); // ID|place
    QTest::newRow("by start date") << "(1,'2027-01-06',null,1),(2,'2027-01-04',null,1),(3,'2027-01-05',null,1)"
                                   << QStringList{"1|3", "2|1", "3|2"};
    QTest::newRow("on one day by ID, without a date last")
        << "(1,null,null,1),(3,'2027-01-04',null,1),(2,'2027-01-04',null,1)" << QStringList{"1|3", "2|1", "3|2"};
    QTest::newRow("each parent's tasks apart")
        << "(1,'2027-01-04',null,1),(2,'2027-01-08',1,1),(3,'2027-01-05',1,1)" << QStringList{"1|1", "2|2", "3|1"};
}

// A file of version 4 opened, a team database of version 6 brought up to date by its owner: each
// task gets its place among its siblings in the order the timeline showed them, in no one's name
// (no entry in the history); every milestone stands at the end of its day, as before, and the
// history keeps a change of that as of any other column.
void TestTeamDatabase::upgradeKeepsTheShownOrderOfTasks() {
    QFETCH(QString, tasks);
    QFETCH(QStringList, places);
    TestEnvironment env;
    auto script = [](const char* name) {
        QFile file(QStringLiteral(FENNICK_TEST_DATA "/../../schema/") + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    const QString fill = QStringLiteral("insert into projects (id, projectname, owner) values (1, 'Plan', 0);"
                                        "insert into tasks (id, startdate, parentid, projectid) values %1;")
                             .arg(tasks);
    const QString name = QStringLiteral("fennick_v6_%1").arg(QCoreApplication::applicationPid());
    QString target = env.root() + QStringLiteral("/version4.mdb");
    if (TestEnvironment::isTeam()) {
        target = QStringLiteral("dbname=") + name;
        TestServer::admin(TeamSchema::createDatabaseStatement(name));
        QString v6 = script("postgresql.sql");
        for (int version = 2; version <= 6; ++version)
            v6 += QLatin1Char('\n') + TeamSchema::upgradeScript(version);
        PgConnection(target, PgConnection::Check::None).runScript(v6 + fill);
        TeamSchema::create(target);
    } else {
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        SqliteConnection(target).runScript(script("schema.sql") + script("planner.sql") + script("limits.sql") +
                                           script("history.sql") + fill);
    }
    Database::shared().open(target);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ID, PlanOrder from Tasks order by ID")), places);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from History where Kind='update'")).toInt(), 0);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks where MilestoneAtStart=(1=0)")).toInt(),
             places.size());
    TestEnvironment::exec(QStringLiteral("update Tasks set MilestoneAtStart=(1=1) where ID=1"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from History where Kind='update'")).toInt(), 1);
    Database::shared().close();
    if (TestEnvironment::isTeam())
        TestServer::admin(QStringLiteral("drop database %1 with (force)").arg(name));
}

void TestTeamDatabase::createSchemaRefusesADatabaseNotInUtf8() {
    REQUIRE_SERVER();
    // What a server set up without a locale makes by default.
    const QString name = QStringLiteral("fennick_ascii_%1").arg(QCoreApplication::applicationPid());
    TestServer::admin(QStringLiteral("drop database if exists %1").arg(name));
    TestServer::admin(QStringLiteral("create database %1 template template0 encoding 'SQL_ASCII' lc_collate 'C' "
                                     "lc_ctype 'C'")
                          .arg(name));
    auto createSchema = [&](QString* errors) {
        QProcess program;
        program.start(QStringLiteral(FENNICK_PLANNER), {QStringLiteral("--create-schema"), QStringLiteral("--database"),
                                                        QStringLiteral("dbname=") + name});
        program.waitForFinished(120000);
        *errors = QString::fromLocal8Bit(program.readAllStandardError());
        return program.exitCode();
    };
    QString errors;
    QCOMPARE(createSchema(&errors), 1);
    QVERIFY2(errors.contains(QLatin1String("uses the encoding SQL_ASCII")), qPrintable(errors));
    QVERIFY2(errors.contains(QLatin1String("nothing was created")), qPrintable(errors));
    {
        PgConnection ascii(QStringLiteral("dbname=") + name, PgConnection::Check::None);
        auto tables = ascii.query(QStringLiteral("select count(*) from pg_tables where schemaname = 'public'"));
        QVERIFY(tables->next());
        QCOMPARE(tables->value(0).toInt(), 0);
    }
    // The statement the message gives makes a database the tables can be created in.
    const QRegularExpressionMatch advice =
        QRegularExpression(QStringLiteral("(CREATE DATABASE %1 [^;]*);").arg(name)).match(errors);
    QVERIFY2(advice.hasMatch(), qPrintable(errors));
    TestServer::admin(QStringLiteral("drop database %1").arg(name));
    TestServer::admin(advice.captured(1));
    QCOMPARE(createSchema(&errors), 0);
    TestServer::admin(QStringLiteral("drop database %1 with (force)").arg(name));
}

// --create-schema, run by the owner with no password stored anywhere, asks for it on the terminal
// (as the guide says) and creates the tables; without a terminal it says what to do instead.
void TestTeamDatabase::createSchemaAsksForThePasswordOnTheTerminal() {
    REQUIRE_SERVER();
    if (qEnvironmentVariable("PGHOST").isEmpty() || qEnvironmentVariable("PGHOST").startsWith(QLatin1Char('/')))
        QSKIP("the server does not ask for passwords on its socket");
    const QString name = QStringLiteral("fennick_asked_%1").arg(QCoreApplication::applicationPid());
    TestServer::admin(QStringLiteral("drop database if exists %1").arg(name));
    TestServer::admin(QStringLiteral("drop role if exists fennick_schema_owner"));
    TestServer::admin(QStringLiteral("create role fennick_schema_owner login password 'secret'"));
    TestServer::admin(TeamSchema::createDatabaseStatement(name) + QStringLiteral(" OWNER fennick_schema_owner"));
    const QString target = QStringLiteral("dbname=%1 user=fennick_schema_owner").arg(name);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("PGPASSWORD"));
    env.insert(QStringLiteral("PGPASSFILE"), QStringLiteral("/nonexistent"));
    const QStringList arguments{QStringLiteral("--create-schema"), QStringLiteral("--database"), target};

    QProcess withoutTerminal;
    withoutTerminal.setProcessEnvironment(env);
    withoutTerminal.start(QStringLiteral(FENNICK_PLANNER), arguments);
    withoutTerminal.closeWriteChannel();
    withoutTerminal.waitForFinished(120000);
    const QString said = QString::fromLocal8Bit(withoutTerminal.readAllStandardError());
    QCOMPARE(withoutTerminal.exitCode(), 1);
    QVERIFY2(said.contains(QLatin1String("none was given")) && said.contains(QLatin1String(".pgpass")),
             qPrintable(said));

    // A terminal of its own (script gives the program one); the password is typed once asked for.
    QProcess atTerminal;
    atTerminal.setProcessEnvironment(env);
    atTerminal.setProcessChannelMode(QProcess::MergedChannels);
    QStringList command{QStringLiteral(FENNICK_PLANNER)};
    command << arguments;
    for (QString& word : command)
        word = QLatin1Char('\'') + word + QLatin1Char('\'');
    atTerminal.start(QStringLiteral("script"), {QStringLiteral("-q"), QStringLiteral("-e"), QStringLiteral("-c"),
                                                command.join(QLatin1Char(' ')), QStringLiteral("/dev/null")});
    QByteArray shown;
    while (!shown.contains("password of fennick_schema_owner") && atTerminal.waitForReadyRead(20000))
        shown += atTerminal.readAll();
    QVERIFY2(shown.contains("password of fennick_schema_owner"), shown.constData());
    atTerminal.write("secret\n");
    atTerminal.waitForFinished(120000);
    shown += atTerminal.readAll();
    QVERIFY2(atTerminal.exitCode() == 0 && shown.contains("tables were created"), shown.constData());
    QVERIFY(!shown.contains("secret")); // not echoed
    {
        PgConnection made(QStringLiteral("dbname=") + name);
        QVERIFY(made.query(QStringLiteral("select version from fennick_schema"))->next());
    }
    TestServer::admin(QStringLiteral("drop database %1 with (force)").arg(name));
    TestServer::admin(QStringLiteral("drop role fennick_schema_owner"));
}

void TestTeamDatabase::valueListsKeepOrderAndIgnoreCase() {
    TestEnvironment env;
    env.openDatabase();
    for (const char* value : {"Zeta", "alpha", "Mid"})
        TestEnvironment::exec(EditorSql::insertValue(EditorSql::ValueList::Status, QLatin1String(value)));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("SELECT First(Status.Status) AS [MaxID] FROM Status")).toString(),
             QStringLiteral("Zeta"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("SELECT Last(Status.Status) AS [MaxID] FROM Status")).toString(),
             QStringLiteral("Mid"));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Status from Status order by Status")),
             QStringList({"alpha", "Mid", "Zeta"}));
    QVERIFY_THROWS_EXCEPTION(
        DbError, TestEnvironment::exec(EditorSql::insertValue(EditorSql::ValueList::Status, QStringLiteral("ZETA"))));
    addProject(QStringLiteral("p"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Projects where Status='OPEN'")).toInt(), 1);
}

void TestTeamDatabase::refusedTexts_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("message");
    QTest::newRow("NUL") << QStringLiteral("insert into Projects (ProjectName) values (%1)")
                                .arg(SqlText::quoted(QStringLiteral("a") + QChar(0) + QStringLiteral("b")))
                         << "NUL character";
    QTest::newRow("two statements") << "update Projects set Notes='' where ID=1; delete from Projects"
                                    << "multiple commands";
}

void TestTeamDatabase::refusedTexts() {
    REQUIRE_SERVER();
    QFETCH(QString, statement);
    QFETCH(QString, message);
    TestEnvironment env;
    env.openDatabase();
    addProject(QStringLiteral("safe"));
    const QString why = refusalOf([&] { TestEnvironment::exec(statement); });
    QVERIFY2(why.contains(message), qPrintable(why));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName from Projects")), QStringList{"safe"});
}

void TestTeamDatabase::readOnlyRoleBrowsesButCannotWrite() {
    REQUIRE_SERVER();
    TestEnvironment env;
    env.openDatabase();
    addProject(QStringLiteral("shared plan"));
    TestServer::admin(QStringLiteral("drop role if exists fennick_reader"));
    // One connection only: the project list cannot stream in on a second one and is read whole.
    TestServer::admin(QStringLiteral("create role fennick_reader login password 'r' connection limit 1"));
    TestEnvironment::exec(QStringLiteral("grant select on all tables in schema public to fennick_reader"));
    for (int i = 0; i < 400; ++i)
        addProject(QStringLiteral("more %1").arg(i));
    Database::shared().close();
    qputenv("PGPASSWORD", "r");
    Database::shared().open(env.databaseTarget() + QStringLiteral(" user=fennick_reader"));
    QVERIFY(Database::shared().isReadOnly());
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName from [Open Projects]")).value(0),
             QStringLiteral("shared plan"));
    {
        const QByteArray team = qgetenv("FENNICK_DATABASE");
        qputenv("FENNICK_DATABASE", (env.databaseTarget() + QStringLiteral(" user=fennick_reader")).toUtf8());
        ScriptedMessages messages;
        Form1 form;
        form.Form_Load();
        qputenv("FENNICK_DATABASE", team);
        QVERIFY2(messages.shown().empty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
        form.projectModel()->ensureComplete();
        QCOMPARE(form.projectModel()->rowCount(), 401);
        // A delete that the role may not make: a notice, not the error box.
        messages.answerNext(true);
        form.PushButton3_Click();
        QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
        QVERIFY(messages.notices().value(0).contains(QLatin1String("not change it")));
    }
    const QString why = refusalOf([&] { TestEnvironment::exec(QStringLiteral("delete from Projects")); });
    QVERIFY2(why.contains(QLatin1String("not change it")), qPrintable(why));
    Database::shared().close();
    qputenv("PGPASSWORD", qgetenv("FENNICK_TEST_PGPASSWORD"));
    TestServer::admin(QStringLiteral("drop owned by fennick_reader"));
}

// A role that may log in but was never granted the tables: one plain message at start-up, and
// About names the team database that was tried.
void TestTeamDatabase::roleWithoutRightsIsToldOnce_data() {
    QTest::addColumn<QString>("granted"); // the tables the role may read
    QTest::addColumn<QString>("said");
    QTest::addColumn<bool>("opened");
    QTest::newRow("no table") << ""
                              << "fennick_no_rights may not read the tables" << false;
    QTest::newRow("the schema's version only") << "fennick_schema"
                                               << "fennick_no_rights may not read these records" << true;
}

void TestTeamDatabase::roleWithoutRightsIsToldOnce() {
    REQUIRE_SERVER();
    QFETCH(QString, granted);
    QFETCH(QString, said);
    QFETCH(bool, opened);
    TestEnvironment env;
    ScriptedMessages messages;
    TestServer::admin(QStringLiteral("drop role if exists fennick_no_rights"));
    TestServer::admin(QStringLiteral("create role fennick_no_rights login password 'n'"));
    if (!granted.isEmpty())
        PgConnection(env.databaseTarget(), PgConnection::Check::None)
            .execute(QStringLiteral("grant select on %1 to fennick_no_rights").arg(granted));
    qputenv("PGPASSWORD", "n");
    const QString target = env.databaseTarget() + QStringLiteral(" user=fennick_no_rights");
    qputenv("FENNICK_DATABASE", target.toUtf8());
    {
        Form1 form;
        form.Form_Load();
        // The role's situation, not a fault of the program: a notice, not the error box.
        QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
        QCOMPARE(messages.notices().size(), 1);
        const QString shown = messages.notices().first();
        QVERIFY2(shown.contains(said), qPrintable(shown));
        QCOMPARE(Database::shared().isOpen(), opened);
        if (!opened) {
            QVERIFY2(!shown.contains(QLatin1String("permission denied")), qPrintable(shown));
            Help::AboutWindow about;
            const QString database = about.findChild<QLabel*>(QStringLiteral("lblDatabase"))->text();
            QVERIFY2(database.contains(QLatin1String("team database")) && database.contains(target) &&
                         !database.contains(DataStore::workingDatabase()),
                     qPrintable(database));
        }
        form.Form_QueryUnload();
    }
    qputenv("PGPASSWORD", qgetenv("FENNICK_TEST_PGPASSWORD"));
    qputenv("FENNICK_DATABASE", env.databaseTarget().toUtf8());
    PgConnection(env.databaseTarget(), PgConnection::Check::None)
        .execute(QStringLiteral("drop owned by fennick_no_rights"));
    TestServer::admin(QStringLiteral("drop role fennick_no_rights"));
}

void TestTeamDatabase::passwordIsAskedForThisRunOnly() {
    REQUIRE_SERVER();
    if (qEnvironmentVariable("PGHOST").isEmpty() || qEnvironmentVariable("PGHOST").startsWith(QLatin1Char('/')))
        QSKIP("the server does not ask for passwords on its socket");
    TestEnvironment env;
    ScriptedMessages messages;
    TestServer::admin(QStringLiteral("drop role if exists fennick_writer"));
    TestServer::admin(QStringLiteral("create role fennick_writer login password 'secret'"));
    env.openDatabase();
    TestEnvironment::exec(QStringLiteral("grant select on all tables in schema public to fennick_writer"));
    Database::shared().close();
    qunsetenv("PGPASSWORD");
    messages.passwordNext(QStringLiteral("secret"));
    Database::shared().open(env.databaseTarget() + QStringLiteral(" user=fennick_writer"));
    QCOMPARE(messages.texts(ScriptedMessages::Kind::Password).size(), 1);
    QVERIFY(messages.texts(ScriptedMessages::Kind::Password).first().contains(QLatin1String("fennick_writer")));
    Database::shared().close();
    // Cancel: no connection, a plain message.
    QVERIFY_THROWS_EXCEPTION(DbError,
                             Database::shared().open(env.databaseTarget() + QStringLiteral(" user=fennick_writer")));
    qputenv("PGPASSWORD", qgetenv("FENNICK_TEST_PGPASSWORD"));
    TestServer::admin(QStringLiteral("drop owned by fennick_writer"));
}

void TestTeamDatabase::titleNamesTheDatabaseOnceThePasswordIsRight_data() {
    QTest::addColumn<QStringList>("typed"); // in the password boxes, in order; empty = Cancel
    QTest::addColumn<int>("errors");
    QTest::newRow("right at once") << QStringList{"secret"} << 0;
    QTest::newRow("wrong, then right") << QStringList{"wrong", "secret"} << 0;
    QTest::newRow("cancelled, then right") << QStringList{"", "secret"} << 1;
}

// However the right password comes, the window ends up connected and its title names the
// database, at once and not only after the next reconnect.
void TestTeamDatabase::titleNamesTheDatabaseOnceThePasswordIsRight() {
    REQUIRE_SERVER();
    if (qEnvironmentVariable("PGHOST").isEmpty() || qEnvironmentVariable("PGHOST").startsWith(QLatin1Char('/')))
        QSKIP("the server does not ask for passwords on its socket");
    QFETCH(QStringList, typed);
    QFETCH(int, errors);
    TestEnvironment env;
    ScriptedMessages messages;
    TestServer::admin(QStringLiteral("drop role if exists fennick_writer"));
    TestServer::admin(QStringLiteral("create role fennick_writer login password 'secret'"));
    env.openDatabase();
    addProject(QStringLiteral("visible"));
    TestEnvironment::exec(QStringLiteral("grant select on all tables in schema public to fennick_writer"));
    Database::shared().close();
    qunsetenv("PGPASSWORD");
    qputenv("FENNICK_DATABASE", (env.databaseTarget() + QStringLiteral(" user=fennick_writer")).toUtf8());
    for (const QString& text : typed)
        messages.passwordNext(text);
    {
        Form1 form;
        form.Form_Load();
        QCOMPARE(messages.texts(ScriptedMessages::Kind::Password).size(), typed.size());
        if (typed.size() > 1 && !typed.first().isEmpty())
            QVERIFY(messages.texts(ScriptedMessages::Kind::Password)
                        .last()
                        .startsWith(QLatin1String("The password was not accepted.")));
        QCOMPARE(messages.errors().size(), errors);
        QVERIFY2(form.windowTitle().startsWith(QLatin1String("Fennick Planner - ")) &&
                     form.windowTitle().contains(Database::shared().describe()),
                 qPrintable(form.windowTitle()));
        QCOMPARE(projectNames(form), QStringList{"visible"});
        form.Form_QueryUnload();
    }
    qputenv("PGPASSWORD", qgetenv("FENNICK_TEST_PGPASSWORD"));
    qputenv("FENNICK_DATABASE", env.databaseTarget().toUtf8());
    TestServer::admin(QStringLiteral("drop owned by fennick_writer"));
}

void TestTeamDatabase::conflictingEditIsNotLost_data() {
    QTest::addColumn<bool>("otherSavesFirst");
    QTest::addColumn<QList<bool>>("answers"); // load theirs?, overwrite?
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("closed");
    QTest::newRow("mine first") << false << QList<bool>{} << "mine"
                                << "mine" << true;
    QTest::newRow("theirs first, keep editing") << true << QList<bool>{false, false} << "theirs"
                                                << "mine" << false;
    QTest::newRow("theirs first, load theirs") << true << QList<bool>{true} << "theirs"
                                               << "theirs" << false;
    QTest::newRow("theirs first, overwrite") << true << QList<bool>{false, true} << "mine"
                                             << "mine" << true;
}

// On the local file too: two copies of the program on one file (the child is the other copy).
void TestTeamDatabase::conflictingEditIsNotLost() {
    QFETCH(bool, otherSavesFirst);
    QFETCH(QList<bool>, answers);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(bool, closed);
    PeopleFixture f;
    const qint64 id = EditorTest::addProject(QStringLiteral("first"), f.ann);
    auto form = open<Form2>(QString::number(id));
    set(form.get(), QStringLiteral("Text1"), QStringLiteral("mine"));
    const QStringList theirEdit{QStringLiteral("edit"), Database::shared().target(), QString::number(id),
                                QStringLiteral("theirs")};
    // The other person saves from a process of their own, before or after this editor.
    if (otherSavesFirst)
        QCOMPARE(finish(startChild(theirEdit)), 0);
    for (bool answer : answers)
        f.messages.answerNext(answer);
    save(form.get());
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(f.messages.questions().size(), answers.size());
    if (!answers.isEmpty())
        QVERIFY(f.messages.questions().first().contains(QLatin1String("Someone else saved this project")));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select ProjectName from Projects where ID=%1").arg(id)).toString(),
             stored);
    QCOMPARE(form->isVisible(), !closed);
    QCOMPARE(EditorTest::shown(form.get(), QStringLiteral("Text1")), shown);
    if (!otherSavesFirst) { // a save that comes later is a change like any other
        QCOMPARE(finish(startChild(theirEdit)), 0);
        QCOMPARE(
            TestEnvironment::scalar(QStringLiteral("select ProjectName from Projects where ID=%1").arg(id)).toString(),
            QStringLiteral("theirs"));
    }
}

void TestTeamDatabase::saveBlockedByALockSaysSoAndSavesNothing_data() {
    QTest::addColumn<QString>("lockSeconds"); // the program's own waits, as set by the user
    QTest::addColumn<QString>("statementSeconds");
    QTest::newRow("lock timeout") << "0.5"
                                  << "60";
    QTest::newRow("statement timeout") << "60"
                                       << "0.5";
}

// An administrator's session holds the projects table locked for longer than anyone waits: a save
// gives up after the program's own wait, says in plain words why, and saves nothing; what was
// typed stays, and saves once the lock is gone.
void TestTeamDatabase::saveBlockedByALockSaysSoAndSavesNothing() {
    REQUIRE_SERVER();
    QFETCH(QString, lockSeconds);
    QFETCH(QString, statementSeconds);
    PeopleFixture f;
    Settings::write(QStringLiteral("TeamLockTimeout"), lockSeconds);
    Settings::write(QStringLiteral("TeamStatementTimeout"), statementSeconds);
    Database::shared().open(Database::shared().target()); // the settings hold from the next connection
    const qint64 id = EditorTest::addProject(QStringLiteral("first"), f.ann);
    auto form = open<Form2>(QString::number(id));
    set(form.get(), QStringLiteral("Text1"), QStringLiteral("typed"));
    OtherSession locker(Database::shared().target(),
                        QStringLiteral("begin; lock table projects in access exclusive mode; select pg_sleep(60);"));
    QVERIFY(locker.started());
    QTRY_VERIFY(lockedElsewhere(QStringLiteral("projects")));
    // While the save waits, the windows go on with their events (they paint) and say it waits.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(20);
    save(form.get());
    ticker.stop();
    QVERIFY2(ticks > 3, qPrintable(QString::number(ticks)));
    const QStringList waits = f.messages.texts(ScriptedMessages::Kind::Waiting);
    QVERIFY2(waits.size() == 1 && waits.first().contains(QLatin1String("in use elsewhere")),
             qPrintable(waits.join(QLatin1Char('\n'))));
    // The wait is taken down when it ends, before the notice says why.
    QVERIFY(!f.messages.waitShown());
    std::vector<ScriptedMessages::Kind> kinds;
    for (const ScriptedMessages::Shown& shown : f.messages.shown())
        if (shown.kind != ScriptedMessages::Kind::Question)
            kinds.push_back(shown.kind);
    QVERIFY(kinds == std::vector({ScriptedMessages::Kind::Waiting, ScriptedMessages::Kind::WaitEnded,
                                  ScriptedMessages::Kind::Notice}));
    // A notice: the user's situation, not a fault to report.
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(f.messages.notices().size(), 1);
    const QString said = f.messages.notices().first();
    QVERIFY2(said.contains(QLatin1String("in use elsewhere")) && said.contains(QLatin1String("Nothing was saved")),
             qPrintable(said));
    QVERIFY2(!said.contains(QLatin1String("canceling statement")), qPrintable(said));
    QVERIFY(form->isVisible());
    QCOMPARE(EditorTest::shown(form.get(), QStringLiteral("Text1")), QStringLiteral("typed"));
    locker.end();
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select ProjectName from Projects where ID=%1").arg(id)).toString(),
             QStringLiteral("first"));
    f.messages.clear();
    save(form.get());
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select ProjectName from Projects where ID=%1").arg(id)).toString(),
             QStringLiteral("typed"));
}

// A delete refused because another session holds the table locked is the user's situation, not a
// fault: a plain notice, and the lists keep showing what is there (no refill waits for the same
// lock again and leaves them empty).
void TestTeamDatabase::deleteUnderALockIsANoticeAndChangesNothing() {
    REQUIRE_SERVER();
    PeopleFixture f;
    EditorTest::addTask(EditorTest::addProject(QStringLiteral("kept"), f.ann), QStringLiteral("kept too"), f.ann);
    Settings::write(QStringLiteral("TeamLockTimeout"), QStringLiteral("0.5"));
    Database::shared().close();
    Form1 form;
    form.Form_Load();
    OtherSession locker(Database::shared().target(),
                        QStringLiteral("begin; lock table projects in access exclusive mode; select pg_sleep(60);"));
    QVERIFY(locker.started());
    QTRY_VERIFY(lockedElsewhere(QStringLiteral("projects")));
    f.messages.clear();
    f.messages.answerNext(true);
    form.PushButton3_Click();
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join(QLatin1Char('\n'))));
    const QStringList notices = f.messages.notices();
    QVERIFY2(notices.size() == 1 && notices.first().contains(QLatin1String("in use elsewhere")),
             qPrintable(notices.join(QLatin1Char('\n'))));
    QCOMPARE(projectNames(form), QStringList{"kept"});
    QCOMPARE(form.taskModel()->rowCount(), 1);
    locker.end();
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title from Tasks")), QStringList{"kept too"});
}

void TestTeamDatabase::listNotReadUnderALockIsReadAgainWhenFree_data() {
    QTest::addColumn<QString>("table"); // the table held locked elsewhere
    QTest::newRow("projects") << "projects";
    QTest::newRow("tasks") << "tasks";
}

// A list that could not be read because a table was locked elsewhere is read again once the lock
// is gone, without the user doing anything; until then, news of a changed record refills it
// rather than patch a lone row into a list that was never read.
void TestTeamDatabase::listNotReadUnderALockIsReadAgainWhenFree() {
    REQUIRE_SERVER();
    QFETCH(QString, table);
    PeopleFixture f;
    const qint64 project = EditorTest::addProject(QStringLiteral("first"), f.ann);
    EditorTest::addProject(QStringLiteral("second"), f.ann);
    for (int i = 0; i < 3; ++i)
        EditorTest::addTask(project, QStringLiteral("task %1").arg(i), f.ann);
    Settings::write(QStringLiteral("TeamLockTimeout"), QStringLiteral("0.5"));
    Database::shared().close();
    Form1 form;
    form.Form_Load();
    QCOMPARE(form.projectModel()->rowCount(), 2);
    QCOMPARE(form.taskModel()->rowCount(), 3);
    f.messages.clear();
    OtherSession locker(
        Database::shared().target(),
        QStringLiteral("begin; lock table %1 in access exclusive mode; select pg_sleep(60);").arg(table));
    QVERIFY(locker.started());
    QTRY_VERIFY(lockedElsewhere(table));
    ErrorTrap trap(QStringLiteral("Test"), QStringLiteral("Refill"));
    trap.step(1, [&] { form.ListData(); });
    trap.step(2, [&] { form.ListTasks(); });
    const QStringList notices = f.messages.notices();
    QVERIFY2(notices.size() == 1 && notices.first().contains(QLatin1String("in use elsewhere")),
             qPrintable(notices.join(QLatin1Char('\n'))));
    QCOMPARE((table == QLatin1String("projects") ? form.projectModel() : form.taskModel())->rowCount(), 0);
    // A change named by the feed is not patched into the list that was not read.
    bool patched = true;
    QVERIFY(trap.step(3, [&] { patched = form.patchLists(QStringLiteral("projects"), {project}); }));
    QVERIFY(!patched);
    locker.end();
    QTRY_COMPARE(projectNames(form), QStringList({"first", "second"}));
    QTRY_COMPARE(form.taskModel()->rowCount(), 3);
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(f.messages.notices().size(), 1); // the wait for the lock said nothing more
    // OLDCHECK
}

void TestTeamDatabase::valueDeletedElsewhereIsShownAndKept_data() {
    QTest::addColumn<QString>("editor");
    QTest::newRow("project editor") << "Form2";
    QTest::newRow("task editor") << "Form5";
}

// Another program deletes a status that records still carry: the editor opens with the stored
// value shown, and a save keeps it. An editor that is open meanwhile follows the other's changes
// to its lists as soon as they are announced, keeping the user's choice.
void TestTeamDatabase::valueDeletedElsewhereIsShownAndKept() {
    QFETCH(QString, editor);
    PeopleFixture f;
    const qint64 project = EditorTest::addProject(QStringLiteral("carried"), f.ann);
    const qint64 task = addTask(project, QStringLiteral("its task"), f.bob);
    const QString id = QString::number(editor == QLatin1String("Form2") ? project : task);
    const QString table = editor == QLatin1String("Form2") ? QStringLiteral("Projects") : QStringLiteral("Tasks");
    const auto other = [](const QString& statement) {
        QCOMPARE(finish(startChild({QStringLiteral("exec"), Database::shared().target(), statement})), 0);
    };
    other(QStringLiteral("delete from Status where Status='In process'"));
    auto form = open(editor, id, QString::number(project));
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(EditorTest::shown(form.get(), QStringLiteral("Combo3")), QStringLiteral("In process"));
    QCOMPARE(EditorTest::shown(form.get(), QStringLiteral("Combo5")), QStringLiteral("High"));
    set(form.get(), QStringLiteral("Text1"), QStringLiteral("renamed"));
    save(form.get());
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(f.messages.notices(), QStringList{"Record Successfully Updated"});
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select Status from %1 where ID=%2").arg(table, id)).toString(),
             QStringLiteral("In process"));

    auto open2 = open(editor, id, QString::number(project));
    set(open2.get(), QStringLiteral("Combo3"), QStringLiteral("Closed"));
    other(QStringLiteral("insert into Status values ('Blocked')"));
    auto* statuses = open2->findChild<QComboBox*>(QStringLiteral("Combo3"));
    QTRY_VERIFY(entries(statuses).contains(QStringLiteral("Blocked")));
    QCOMPARE(statuses->currentText(), QStringLiteral("Closed"));
    other(QStringLiteral("delete from Status where Status='Closed'"));
    // Gone from the list, yet still the user's choice.
    QTRY_COMPARE(entries(statuses), QStringList({"Blocked", "Closed"}));
    QCOMPARE(statuses->currentText(), QStringLiteral("Closed"));
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join(QLatin1Char('\n'))));
}

// A name as long as may be stored fills its list cell with its start only, so that it cannot slow
// every refill; the editor shows it whole.
void TestTeamDatabase::listCellsCarryTheStartOfALongText() {
    PeopleFixture f;
    const QString longName = QString(FieldBounds::maxShortText - 1, QLatin1Char('n')) + QLatin1Char('!');
    const qint64 id = EditorTest::addProject(longName, f.ann);
    EditorTest::addProject(QStringLiteral("short"), f.ann);
    Form1 form;
    form.Form_Load();
    form.projectModel()->ensureComplete();
    QCOMPARE(projectNames(form),
             QStringList({QString(FieldBounds::listCellChars, QLatin1Char('n')), QStringLiteral("short")}));
    auto editor = open<Form2>(QString::number(id));
    QCOMPARE(EditorTest::shown(editor.get(), QStringLiteral("Text1")), longName);
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join(QLatin1Char('\n'))));
}

void TestTeamDatabase::overLongTextsAreRefused_data() {
    QTest::addColumn<QString>("statement"); // %1: a text one character longer than allowed
    QTest::addColumn<bool>("longText");     // notes and descriptions: the longer bound
    QTest::newRow("project name") << "insert into Projects (ProjectName, Owner) values (%1, 0)" << false;
    QTest::newRow("project renamed") << "update Projects set ProjectName = %1" << false;
    QTest::newRow("project notes") << "update Projects set Notes = %1" << true;
    QTest::newRow("status entry") << "insert into Status values (%1)" << false;
    QTest::newRow("contact") << "update Employees set LastName = %1" << false;
    QTest::newRow("task description") << "update Tasks set Description = %1" << true;
    QTest::newRow("holiday") << "insert into Holidays (Day, Name) values ('2021-12-24', %1)" << false;
}

// Both kinds of database refuse a text longer than their bound with the same plain words, and
// nothing of the change is kept; a text at the bound is taken.
void TestTeamDatabase::overLongTextsAreRefused() {
    QFETCH(QString, statement);
    QFETCH(bool, longText);
    PeopleFixture f;
    const qint64 project = EditorTest::addProject(QStringLiteral("kept"), f.ann);
    addTask(project, QStringLiteral("its task"), f.bob);
    const int bound = longText ? FieldBounds::maxLongText : FieldBounds::maxShortText;
    const QString snapshot = QStringLiteral("select ProjectName, Notes, (select count(*) from Status), "
                                            "(select max(LastName) from Employees), (select max(Description) from "
                                            "Tasks), (select count(*) from Holidays) from Projects");
    const QStringList before = TestEnvironment::rows(snapshot);
    const QString why =
        refusalOf([&] { TestEnvironment::exec(statement.arg(SqlText::quoted(QString(bound + 1, QLatin1Char('x'))))); });
    QCOMPARE(why, QStringLiteral("A text is too long to be stored, so nothing was saved: names and other short texts "
                                 "take at most %1 characters, notes and descriptions at most %2.")
                      .arg(FieldBounds::maxShortText)
                      .arg(FieldBounds::maxLongText));
    QCOMPARE(TestEnvironment::rows(snapshot), before);
    TestEnvironment::exec(statement.arg(SqlText::quoted(QString(bound, QLatin1Char('x')))));
}

// psql adds a project with nothing but a name (no dates, owner, status...): every copy of the
// program that is connected shows it live, without an error box, and opens it.
void TestTeamDatabase::projectWithoutDatesFromPsqlShowsEverywhere() {
    REQUIRE_SERVER();
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    addProject(QStringLiteral("dated"));
    Client first(env.databaseTarget(), env.programFolder());
    Client second(env.databaseTarget(), env.programFolder());
    QCOMPARE(first.ready(), QStringLiteral("ready"));
    QCOMPARE(second.ready(), QStringLiteral("ready"));
    Form1 here;
    here.Form_Load();
    OtherSession psql(env.databaseTarget(), QStringLiteral("insert into projects (projectname) values ('no dates')"));
    QCOMPARE(psql.finish(), 0);
    const qint64 id = TestEnvironment::scalar(QStringLiteral("select max(ID) from Projects")).toLongLong();
    for (Client* client : {&first, &second}) {
        QTRY_COMPARE(client->ask(QStringLiteral("list")), QStringLiteral("list dated|no dates"));
        QCOMPARE(client->ask(QStringLiteral("open %1").arg(id)), QStringLiteral("opened"));
        QCOMPARE(client->ask(QStringLiteral("errors")), QStringLiteral("errors"));
    }
    QTRY_COMPARE(projectNames(here), QStringList({"dated", "no dates"}));
    here.projectModel()->ensureComplete();
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
}

void TestTeamDatabase::lostConnectionIsReportedAndRestored() {
    REQUIRE_SERVER();
    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    addProject(QStringLiteral("before")); // this client's own change: no refill
    QCOMPARE(form.projectModel()->rowCount(), 0);
    QSignalSpy lost(&Database::shared().changes(), &ChangeFeed::connectionLost);
    QSignalSpy back(&Database::shared().changes(), &ChangeFeed::reconnected);
    // The server drops this client, as a restart or a cut network does.
    TestServer::admin(QStringLiteral("select pg_terminate_backend(pid) from pg_stat_activity where datname='%1' and "
                                     "application_name='fennick-planner'")
                          .arg(env.databaseTarget().section(QLatin1Char('='), 1)));
    const QString why = refusalOf([&] { addProject(QStringLiteral("lost")); });
    QVERIFY2(why.contains(QLatin1String("was lost")) || why.contains(QLatin1String("cannot be reached")),
             qPrintable(why));
    QVERIFY(lost.count() >= 1);
    QTRY_VERIFY_WITH_TIMEOUT(back.count() >= 1, 20000);
    QVERIFY(form.windowTitle().endsWith(Database::shared().describe()));
    QCOMPARE(form.projectModel()->rowCount(), 1); // refilled after the reconnect
    // Nothing reported saved is gone, and the program works again.
    addProject(QStringLiteral("after"));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName from Projects order by ID")),
             QStringList({"before", "after"}));
}

void TestTeamDatabase::serverRestartDuringASession() {
    REQUIRE_SERVER();
    TestEnvironment env;
    OwnServer server;
    if (!server.start())
        QSKIP("no server of this test's own could be started (initdb, pg_ctl)");
    {
        PgConnection admin(server.target(QStringLiteral("postgres")), PgConnection::Check::None);
        admin.execute(TeamSchema::createDatabaseStatement(QStringLiteral("fennick")));
    }
    const QString target = server.target(QStringLiteral("fennick"));
    TeamSchema::create(target);
    {
        PgConnection seed(target);
        for (const char* statement : {
                 "insert into Status values ('Open')",
                 "insert into Categories values ('Main')",
                 "insert into Priorities values ('High')",
                 "insert into Employees (FirstName) values ('Ann')",
             })
            seed.execute(QLatin1String(statement));
        seed.execute(projectInsert(QStringLiteral("edited"), 1));
    }
    Client client(target, env.programFolder());
    QCOMPARE(client.ready(), QStringLiteral("ready"));
    QCOMPARE(client.ask(QStringLiteral("add saved before")), QStringLiteral("saved"));
    {
        // A change that reaches the client only through the refill after its reconnect.
        PgConnection other(target, PgConnection::Check::None);
        other.execute(QStringLiteral("set session_replication_role = replica")); // no notification
        other.execute(projectInsert(QStringLiteral("unannounced")));
    }
    QCOMPARE(client.ask(QStringLiteral("list")), QStringLiteral("list edited|saved before"));
    // An editor open through the restart, saved while the server is away and again once it is back.
    QCOMPARE(client.ask(QStringLiteral("open 1")), QStringLiteral("opened"));
    QCOMPARE(client.ask(QStringLiteral("type edited while away")), QStringLiteral("typed"));

    QVERIFY(server.stop());
    QTRY_VERIFY(client.ask(QStringLiteral("title")).contains(QLatin1String("server unreachable")));
    // A server away is no fault of the program: plain notices, not the error box.
    const QString refused = client.ask(QStringLiteral("add while away"));
    QVERIFY2(refused.startsWith(QLatin1String("refused notice: ")) &&
                 refused.contains(QLatin1String("cannot be reached")) && !refused.contains(QLatin1String("screenshot")),
             qPrintable(refused));
    const QString kept = client.ask(QStringLiteral("save"));
    QVERIFY2(kept.startsWith(QLatin1String("refused notice: ")) && kept.contains(QLatin1String("cannot be reached")) &&
                 !kept.contains(QLatin1String("screenshot")) &&
                 kept.endsWith(QLatin1String("(still open: edited while away)")),
             qPrintable(kept));
    QCOMPARE(client.ask(QStringLiteral("list")), QStringLiteral("list edited|saved before")); // still there to read

    QVERIFY(server.start());
    QTRY_COMPARE_WITH_TIMEOUT(client.ask(QStringLiteral("list")),
                              QStringLiteral("list edited|saved before|unannounced"), 10000);
    QVERIFY(!client.ask(QStringLiteral("title")).contains(QLatin1String("unreachable")));
    QCOMPARE(client.ask(QStringLiteral("save")), QStringLiteral("saved"));
    QCOMPARE(client.ask(QStringLiteral("add after")), QStringLiteral("saved"));
    // Other clients' changes reach it live again.
    PgConnection other(target, PgConnection::Check::None);
    other.execute(projectInsert(QStringLiteral("announced")));
    QTRY_VERIFY(client.ask(QStringLiteral("list")).endsWith(QLatin1String("|announced")));
    PgConnection check(target);
    QStringList stored;
    for (auto rows = check.query(QStringLiteral("select ProjectName from Projects order by ID")); rows->next();)
        stored << rows->value(0).toString();
    QCOMPARE(stored, QStringList({"edited while away", "saved before", "unannounced", "after", "announced"}));
}

void TestTeamDatabase::readOnlyClientBrowsesWhileAnotherWrites() {
    REQUIRE_SERVER();
    TestEnvironment env;
    env.openDatabase();
    addValueLists();
    const qint64 shared = EditorTest::addProject(QStringLiteral("shared plan"), addContact(QStringLiteral("Ann"), {}));
    TestServer::admin(QStringLiteral("drop role if exists fennick_browser"));
    TestServer::admin(QStringLiteral("create role fennick_browser login password 'b'"));
    TestEnvironment::exec(QStringLiteral("grant select on all tables in schema public to fennick_browser"));
    {
        Client reader(env.databaseTarget() + QStringLiteral(" user=fennick_browser"), env.programFolder(),
                      {QStringLiteral("PGPASSWORD=b")});
        QCOMPARE(reader.ready(), QStringLiteral("ready"));
        QCOMPARE(reader.ask(QStringLiteral("list")), QStringLiteral("list shared plan"));
        const QString refused = reader.ask(QStringLiteral("add not mine to add"));
        QVERIFY2(refused.startsWith(QLatin1String("refused notice: ")) &&
                     refused.contains(QLatin1String("not change it")),
                 qPrintable(refused));
        QCOMPARE(reader.ask(QStringLiteral("open %1").arg(shared)), QStringLiteral("opened"));
        reader.ask(QStringLiteral("type not mine to rename"));
        const QString renamed = reader.ask(QStringLiteral("save"));
        QVERIFY2(renamed.startsWith(QLatin1String("refused notice: ")) &&
                     renamed.contains(QLatin1String("not change it")) &&
                     renamed.endsWith(QLatin1String("(still open: not mine to rename)")),
                 qPrintable(renamed));
        // The writer next to it saves as always, and the reader sees it live.
        addProject(QStringLiteral("second plan"));
        QTRY_COMPARE(reader.ask(QStringLiteral("list")), QStringLiteral("list shared plan|second plan"));
    }
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName from Projects order by ID")),
             QStringList({"shared plan", "second plan"}));
    TestServer::admin(QStringLiteral("drop owned by fennick_browser"));
}

void TestTeamDatabase::liveRefreshKeepsSortSelectionAndScroll() {
    REQUIRE_SERVER();
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    // More rows than the first part of a fill: the place is given back once the list is whole.
    const int count = 400;
    for (int i = 0; i < count; ++i)
        addProject(QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')));
    Form1 form;
    form.Form_Load();
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Form1::headerClick(form.ListView1, 2);
    Form1::headerClick(form.ListView1, 2); // by name, descending
    const int row = 350;
    Form1::selectRow(form.ListView1, row);
    form.ListView1->scrollTo(form.projectModel()->index(row, 0));
    const QString selected = Form1::selectedCell(form.ListView1, 0);
    const int scroll = form.ListView1->verticalScrollBar()->value();
    QVERIFY(scroll > 0);

    QSignalSpy changed(&Database::shared().changes(), &ChangeFeed::changed);
    QCOMPARE(finish(startChild(
                 {QStringLiteral("add"), env.databaseTarget(), QStringLiteral("ZZ new "), QStringLiteral("1")})),
             0);
    QTRY_VERIFY_WITH_TIMEOUT(changed.count() >= 1, 5000);
    QTRY_COMPARE(form.projectModel()->rowCount(), count + 1);
    QTRY_COMPARE(Form1::selectedCell(form.ListView1, 0), selected);
    QCOMPARE(projectNames(form).first(), QStringLiteral("ZZ new 0")); // still sorted by name, descending
    QCOMPARE(Form1::selectedCell(form.ListView1, 0), selected);
    QCOMPARE(form.ListView1->verticalScrollBar()->value(), scroll);
}

void TestTeamDatabase::changeDuringARefillIsNotLost_data() {
    QTest::addColumn<int>("rows"); // a short list is read at once, a long one streams in
    QTest::newRow("short list") << 3;
    QTest::newRow("list that streams in") << 400;
}

// News of a change that comes while a live refill is still reading the list (as it does when a
// box of that refill waits for the user) leads to one more refill once the list is whole.
void TestTeamDatabase::changeDuringARefillIsNotLost() {
    QFETCH(int, rows);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    for (int i = 0; i < rows; ++i)
        addProject(QStringLiteral("P%1").arg(i));
    Form1 form;
    form.Form_Load();
    QTRY_VERIFY(!form.projectModel()->isFilling());
    bool arrived = false;
    QObject::connect(form.projectModel(), &RecordListModel::rowsReplaced, &form, [&] {
        if (std::exchange(arrived, true))
            return;
        addProject(QStringLiteral("arrived during the refill"));
        LiveLists::refill(form.port()); // as the change feed does
    });
    LiveLists::refill(form.port());
    QTRY_VERIFY(projectNames(form).contains(QStringLiteral("arrived during the refill")));
    QTRY_COMPARE(form.projectModel()->rowCount(), rows + 1);
}

void TestTeamDatabase::othersChangesArePatchedInPlace_data() {
    // %1: a project of the list (not the selected one), %2: the selected project, %3: its first
    // task, %4: the owner of every project.
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("patched"); // false: too many records for a patch (a refill may follow)
    QTest::newRow("project renamed") << "update Projects set ProjectName='AA renamed' where ID=%1" << true;
    QTest::newRow("selected project changed") << "update Projects set Budget=99 where ID=%2" << true;
    QTest::newRow("project added") << "insert into Projects (ProjectName,Owner) values ('P175 added',%4)" << true;
    QTest::newRow("project deleted") << "delete from Projects where ID=%1" << true;
    QTest::newRow("contact renamed") << "update Employees set LastName='Renamed' where ID=%4" << true;
    QTest::newRow("task renamed") << "update Tasks set Title='Task renamed' where ID=%3" << true;
    QTest::newRow("task deleted") << "delete from Tasks where ID=%3" << true;
    QTest::newRow("task added") << "insert into Tasks (ProjectID,Title) values (%2,'Task added')" << true;
    QTest::newRow("every project at once") << "update Projects set Budget=Budget+1" << false;
}

// A change by another program reaches the lists as just the rows it touched: the list is not read
// again, and its sort, selection and scroll stay, while it shows exactly what is stored.
void TestTeamDatabase::othersChangesArePatchedInPlace() {
    QFETCH(QString, statement);
    QFETCH(bool, patched);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('Ann','Lee')"));
    const qint64 owner = TestEnvironment::scalar(QStringLiteral("select max(ID) from Employees")).toLongLong();
    TestEnvironment::exec(QStringLiteral("begin"));
    const int count = 600; // more than a notice names at once
    for (int i = 0; i < count; ++i)
        TestEnvironment::exec(projectInsert(QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')), int(owner)));
    TestEnvironment::exec(QStringLiteral("commit"));
    const qint64 first = TestEnvironment::scalar(QStringLiteral("select min(ID) from Projects")).toLongLong();
    const qint64 selected = first + 350, other = first + 420;
    for (int i = 0; i < 3; ++i)
        TestEnvironment::exec(
            QStringLiteral("insert into Tasks (ProjectID,Title) values (%1,'T%2')").arg(selected).arg(i));
    const qint64 task = TestEnvironment::scalar(QStringLiteral("select min(ID) from Tasks")).toLongLong();
    Form1 form;
    form.Form_Load();
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.projectModel()->ensureComplete();
    Form1::headerClick(form.ListView1, 2);
    Form1::headerClick(form.ListView1, 2); // by name, descending
    for (int row = 0; row < form.projectModel()->rowCount(); ++row)
        if (form.projectModel()->cellText(row, 0).toLongLong() == selected)
            Form1::selectRow(form.ListView1, row);
    form.ListView1->scrollTo(form.ListView1->currentIndex());
    QCOMPARE(form.taskModel()->rowCount(), 3);
    const int scroll = form.ListView1->verticalScrollBar()->value();
    QVERIFY(scroll > 0);
    QSignalSpy refills(form.projectModel(), &RecordListModel::rowsReplaced);
    QSignalSpy patches(&form.port(), &PlannerWindow::listsRefilled);

    QCOMPARE(finish(startChild({QStringLiteral("exec"), env.databaseTarget(),
                                statement.arg(other).arg(selected).arg(task).arg(owner)})),
             0);
    // What each list should show: every stored row, as stored.
    auto stored = [](const QString& query) {
        QStringList rows;
        for (ResultSet rs = Database::shared().query(query); !rs.eof(); rs.moveNext())
            rows << rs.value(0).toString() + QLatin1Char('|') + rs.value(1).toString() + QLatin1Char('|') +
                        rs.value(2).toString();
        rows.sort();
        return rows;
    };
    auto shown = [](RecordListModel* model, std::initializer_list<int> columns) {
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int c : columns)
                cells << model->rawCell(row, c);
            rows << cells.join(QLatin1Char('|'));
        }
        rows.sort();
        return rows;
    };
    const QString projects = QStringLiteral("select ID, ProjectName, OwnerName from [Open Projects]");
    const QString tasks =
        QStringLiteral("select ID, Title, AssignedTo from [Open Tasks] where ProjectID=%1").arg(selected);
    QTRY_COMPARE_WITH_TIMEOUT(shown(form.projectModel(), {0, 1, 2}), stored(projects), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(shown(form.taskModel(), {0, 1, 2}), stored(tasks), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(
        shown(form.projectModel(), {0, 8}),
        [&] {
            QStringList rows;
            for (ResultSet rs = Database::shared().query(QStringLiteral("select ID, Budget from Projects")); !rs.eof();
                 rs.moveNext())
                rows << rs.value(0).toString() + QLatin1Char('|') +
                            (rs.value(1).isNull() ? QString() : numberText(rs.value(1).toDouble()));
            rows.sort();
            return rows;
        }(),
        10000);
    // Still sorted by name, descending, with the same project selected and the list where it was.
    for (int row = 1; row < form.projectModel()->rowCount(); ++row)
        QVERIFY(QString::compare(form.projectModel()->cellText(row - 1, 1), form.projectModel()->cellText(row, 1),
                                 Qt::CaseInsensitive) >= 0);
    QCOMPARE(Form1::selectedCell(form.ListView1, 0).toLongLong(), selected);
    if (patched) {
        QCOMPARE(refills.count(), 0);
        QCOMPARE(patches.count(), 0);
        QCOMPARE(form.ListView1->verticalScrollBar()->value(), scroll);
    }
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
}

void TestTeamDatabase::silentServerDoesNotFreezeTheWindow() {
    REQUIRE_SERVER();
    if (qEnvironmentVariable("PGHOST").isEmpty() || qEnvironmentVariable("PGHOST").startsWith(QLatin1Char('/')))
        QSKIP("the server is reached on its socket, not over the network");
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    Relay relay(static_cast<quint16>(qEnvironmentVariableIntValue("PGPORT")));
    Database::shared().open(env.databaseTarget() + QStringLiteral(" host=127.0.0.1 port=%1").arg(relay.port()));
    addProject(QStringLiteral("before"));
    // The second connection (for long lists), opened in the background at the start, is used
    // and closed before the server falls silent: only the shared connection's attempts are
    // counted below.
    Database::shared().streamQuery(QStringLiteral("select * from [Open Projects]")).close();
    QSignalSpy back(&Database::shared().changes(), &ChangeFeed::reconnected);

    relay.fallSilent();
    // The program tries again and waits for the silent server while its events go on: the relay,
    // which lives on the same thread, sees the attempt still waiting, again and again.
    QTRY_VERIFY_WITH_TIMEOUT(relay.waiting() >= 1, 20000);
    for (int i = 0; i < 3; ++i) {
        QTest::qWait(50);
        QCOMPARE(relay.waiting(), 1);
    }
    // A save meanwhile is refused at once instead of waiting too.
    const QString why = refusalOf([&] { addProject(QStringLiteral("while silent")); });
    QVERIFY2(why.contains(QLatin1String("cannot be reached")), qPrintable(why));
    QCOMPARE(relay.waiting(), 1);

    relay.speakAgain();
    QTRY_VERIFY_WITH_TIMEOUT(back.count() >= 1, 20000);
    addProject(QStringLiteral("after"));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName from Projects order by ID")),
             QStringList({"before", "after"}));
}

void TestTeamDatabase::longListStreamsWhileTheConnectionIsFree() {
    REQUIRE_SERVER();
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    const int count = 5000;
    {
        PgConnection seed(env.databaseTarget());
        seed.execute(
            QStringLiteral("insert into projects (projectname, owner, startdate, status, category, priority, "
                           "notes, enddate, budgetindays, budget) select 'P' || i, 0, date '2021-08-31', "
                           "'Open', 'Main', 'High', '', date '2021-09-30', 5, 10 from generate_series(1, %1) i")
                .arg(count));
    }
    Form1 form;
    form.Form_Load();
    RecordListModel* list = form.projectModel();
    QVERIFY(list->rowCount() < count); // the first part; the rest still on its way
    // Meanwhile the shared connection answers other statements.
    QCOMPARE(Database::shared().query(QStringLiteral("select count(*) from Projects")).value(0).toInt(), count);
    const auto whole = [&](int rows) {
        list->ensureComplete();
        QCOMPARE(list->rowCount(), rows);
        QCOMPARE(list->rawCell(0, 1), QStringLiteral("P1"));
        QCOMPARE(list->rawCell(count - 1, 1), QStringLiteral("P%1").arg(count));
    };
    // Refills that replace a list still streaming in.
    form.ListData();
    form.ListData();
    whole(count);
    // Within a transaction the list shows the transaction's own changes.
    Database::shared().transaction([&] {
        Database::shared().execute(projectInsert(QStringLiteral("Zed")));
        form.ListData();
        whole(count + 1);
    });
    form.ListData();
    whole(count + 1);
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    // Once the list is read, the copy holds one connection only.
    QTRY_COMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from pg_stat_activity where datname = "
                                                        "current_database()"))
                     .toInt(),
                 1);
}

void TestTeamDatabase::throughAPooler_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("apart"); // the notices on the server's own address (TeamListenAddress)
    QTest::addColumn<bool>("live");  // whether others' changes arrive
    QTest::newRow("session pooling") << "session" << false << true;
    QTest::newRow("transaction pooling") << "transaction" << false << false;
    QTest::newRow("transaction pooling, notices on the server's own address") << "transaction" << true << true;
}

// Behind PgBouncer the program connects (no start-up option that the pooler refuses), a long list
// streams in on a second connection, and others' changes arrive live; where the pooler cannot
// keep the LISTEN, the user is told so once, with what to do.
void TestTeamDatabase::throughAPooler() {
    REQUIRE_SERVER();
    QFETCH(QString, mode);
    QFETCH(bool, apart);
    QFETCH(bool, live);
    TestEnvironment env;
    ScriptedMessages messages;
    Bouncer bouncer(mode, 5);
    REQUIRE_BOUNCER(bouncer);
    const int count = 5000;
    {
        PgConnection seed(env.databaseTarget());
        seed.execute(
            QStringLiteral("insert into projects (projectname, owner, startdate, status, category, priority, "
                           "notes, enddate, budgetindays, budget) select 'P' || i, 0, date '2021-08-31', "
                           "'Open', 'Main', 'High', '', date '2021-09-30', 5, 10 from generate_series(1, %1) i")
                .arg(count));
    }
    qputenv("FENNICK_DATABASE", bouncer.target(env.databaseTarget()).toUtf8());
    if (apart)
        Settings::write(QStringLiteral("TeamListenAddress"), env.databaseTarget());
    Form1 form;
    form.Form_Load();
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    form.projectModel()->ensureComplete();
    QCOMPARE(form.projectModel()->rowCount(), count);
    // The list's reader got in too.
    QVERIFY2(!bouncer.log().contains(QLatin1String("unsupported startup parameter")), qPrintable(bouncer.log()));

    // (Before any statement of this copy's own, which might pick up a notice by chance.)
    if (live) {
        QCOMPARE(
            finish(startChild({QStringLiteral("exec"), env.databaseTarget(), projectInsert(QStringLiteral("theirs"))})),
            0);
        QTRY_COMPARE_WITH_TIMEOUT(form.projectModel()->rowCount(), count + 1, 30000);
        QVERIFY(!form.windowTitle().contains(QLatin1String("not shown live")));
    }
    addProject(QStringLiteral("mine")); // saved through the pooler
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Projects")).toInt(), count + (live ? 2 : 1));
    if (!live) {
        QTRY_COMPARE_WITH_TIMEOUT(messages.notices().size(), 1, 30000);
        const QString told = messages.notices().constFirst();
        QVERIFY2(told.contains(QLatin1String("do not reach this copy")) &&
                     told.contains(QLatin1String("pool_mode = session")),
                 qPrintable(told));
        QVERIFY(form.windowTitle().endsWith(QLatin1String("(others' changes not shown live)")));
    }
    if (mode == QLatin1String("transaction")) {
        // A save is still one transaction with the program's own waits, whatever the session
        // that the pooler gives it was left with.
        Database::shared().execute(QStringLiteral("set lock_timeout = 0"));
        Database::shared().transaction([] {
            QCOMPARE(TestEnvironment::scalar(QStringLiteral("select current_setting('lock_timeout')")).toString(),
                     QStringLiteral("5s"));
        });
    }
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(messages.notices().size(), live ? 0 : 1);
}

// Behind a transaction pooler the program's waits belong to its own transactions: another client
// of the same pool (its one server connection) never finds them in its session, whether the
// program saved, read, or read a list on a second connection.
void TestTeamDatabase::poolersOtherClientsGetNoSettingsOfTheProgram() {
    REQUIRE_SERVER();
    TestEnvironment env;
    ScriptedMessages messages;
    Bouncer bouncer(QStringLiteral("transaction"), 1);
    REQUIRE_BOUNCER(bouncer);
    const QString pooled = bouncer.target(env.databaseTarget());
    Database::shared().open(pooled);
    addProject(QStringLiteral("mine"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Projects")).toInt(), 1);
    int read = 0;
    for (ResultSet rows = Database::shared().streamQuery(QStringLiteral("select ProjectName from Projects"));
         !rows.eof(); rows.moveNext())
        ++read;
    QCOMPARE(read, 1);
    // The program's own statements wait as long as ever.
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select current_setting('lock_timeout') || ' ' || "
                                                    "current_setting('statement_timeout')"))
                 .toString(),
             QStringLiteral("5s 30s"));
    for (int client = 0; client < 3; ++client) {
        QProcess psql;
        psql.start(QStringLiteral("psql"),
                   {QStringLiteral("-X"), QStringLiteral("-At"), QStringLiteral("-d"), pooled, QStringLiteral("-c"),
                    QStringLiteral("select current_setting('lock_timeout') || ' ' || "
                                   "current_setting('statement_timeout')")});
        QVERIFY(psql.waitForFinished(-1));
        QCOMPARE(QString::fromUtf8(psql.readAllStandardOutput()).trimmed(), QStringLiteral("0 0"));
    }
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
}

void TestTeamDatabase::fullServerOrPoolIsToldOnceAndPlainly_data() {
    QTest::addColumn<bool>("pooled"); // a pooler whose pool is full, or a server refusing outright
    QTest::addColumn<QString>("told");
    QTest::newRow("server with no connection free") << false << "has no free connection";
    QTest::newRow("pooler with no server connection free") << true << "had no server connection free";
}

// A copy that finds every connection in use is told so in one plain message, within the
// connect timeout, and does not try again for each list.
void TestTeamDatabase::fullServerOrPoolIsToldOnceAndPlainly() {
    REQUIRE_SERVER();
    QFETCH(bool, pooled);
    QFETCH(QString, told);
    TestEnvironment env;
    ScriptedMessages messages;
    std::optional<Bouncer> bouncer;
    QString target = env.databaseTarget();
    if (pooled) {
        bouncer.emplace(QStringLiteral("session"), 1);
        REQUIRE_BOUNCER(*bouncer);
        target = bouncer->target(target);
    } else {
        // A role that may hold one connection: the server refuses it a second.
        TestServer::admin(QStringLiteral("drop role if exists fennick_one"));
        TestServer::admin(QStringLiteral("create role fennick_one login password 'o' connection limit 1"));
        PgConnection owner(target);
        owner.execute(QStringLiteral("grant select on all tables in schema public to fennick_one"));
        target += QStringLiteral(" user=fennick_one password=o");
    }
    PgConnection first(target); // the copy that holds the one connection
    qputenv("FENNICK_DATABASE", target.toUtf8());
    Form1 form;
    form.Form_Load();
    // No fault of the program: a notice, not the error box.
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(messages.notices().size(), 1);
    const QString box = messages.notices().constFirst();
    QVERIFY2(box.contains(told) && box.contains(QLatin1String("Try again in a while")) &&
                 !box.contains(QLatin1String("saved")) && !box.contains(QLatin1String("password=o")),
             qPrintable(box));
    QCOMPARE(form.projectModel()->rowCount(), 0);
    if (!pooled)
        TestServer::admin(QStringLiteral("drop owned by fennick_one"));
}

void TestTeamDatabase::openEditorIsNotDisturbedByARefill_data() {
    QTest::addColumn<bool>("sameProject");    // whether the other client changes the project being edited
    QTest::addColumn<QList<bool>>("answers"); // load theirs?, overwrite?
    QTest::addColumn<QString>("stored");
    QTest::newRow("another project") << false << QList<bool>{} << "typed";
    QTest::newRow("this project, keep editing") << true << QList<bool>{false, false} << "theirs";
    QTest::newRow("this project, overwrite") << true << QList<bool>{false, true} << "typed";
}

void TestTeamDatabase::openEditorIsNotDisturbedByARefill() {
    REQUIRE_SERVER();
    QFETCH(bool, sameProject);
    QFETCH(QList<bool>, answers);
    QFETCH(QString, stored);
    PeopleFixture f;
    const qint64 edited = EditorTest::addProject(QStringLiteral("first"), f.ann);
    const qint64 other = EditorTest::addProject(QStringLiteral("second"), f.ann);
    Form1 list;
    list.Form_Load();
    auto form = open<Form2>(QString::number(edited));
    set(form.get(), {QStringLiteral("Text1=typed"), QStringLiteral("Text3=typed notes"),
                     QStringLiteral("Combo3=Closed"), QStringLiteral("DateTimePicker1=2021-09-02")});
    const QStringList typed = fieldTexts(form.get());
    QCOMPARE(finish(startChild({QStringLiteral("edit"), Database::shared().target(),
                                QString::number(sameProject ? edited : other), QStringLiteral("theirs")})),
             0);
    QTRY_VERIFY(projectNames(list).contains(QStringLiteral("theirs"))); // the list was refilled
    QCOMPARE(fieldTexts(form.get()), typed);
    QVERIFY(form->isVisible());
    for (bool answer : answers)
        f.messages.answerNext(answer);
    save(form.get());
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(f.messages.questions().size(), answers.size());
    if (!answers.isEmpty())
        QVERIFY(f.messages.questions().first().contains(QLatin1String("Someone else saved this project")));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName,Status from Projects where ID=%1").arg(edited)),
             QStringList{stored + (stored == QLatin1String("typed") ? "|Closed" : "|In process")});
}

void TestTeamDatabase::twentyWritersLoseNothing() {
    REQUIRE_SERVER();
    TestEnvironment env;
    env.openDatabase();
    std::vector<QProcess*> writers;
    for (int w = 0; w < 20; ++w)
        writers.push_back(startChild(
            {QStringLiteral("add"), env.databaseTarget(), QStringLiteral("w%1-").arg(w), QStringLiteral("200")}));
    for (QProcess* writer : writers)
        QCOMPARE(finish(writer), 0);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Projects")).toInt(), 4000);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(distinct ProjectName) from Projects")).toInt(), 4000);
}

void TestTeamDatabase::teamDatabaseCommandSwitchesBackAndForth() {
    REQUIRE_SERVER();
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    addProject(QStringLiteral("team row"));
    Form1 form;
    form.Form_Load();
    QVERIFY(form.windowTitle().contains(QLatin1String(" on ")));
    QCOMPARE(form.projectModel()->rowCount(), 1);
    messages.inputNext(QStringLiteral("local"));
    TeamCommands::chooseDatabase(form.port());
    QVERIFY(!Database::shared().isShared());
    QCOMPARE(form.windowTitle(), QStringLiteral("Fennick Planner"));
    QCOMPARE(form.projectModel()->rowCount(), 0);
    // A database that cannot be reached: the local file stays in use.
    messages.inputNext(QStringLiteral("host=localhost port=1 dbname=nothing connect_timeout=2"));
    TeamCommands::chooseDatabase(form.port());
    QVERIFY(!Database::shared().isShared());
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    QVERIFY(messages.notices().value(messages.notices().size() - 1).contains(QLatin1String("Could not connect")));
    messages.inputNext(env.databaseTarget());
    TeamCommands::chooseDatabase(form.port());
    QVERIFY(Database::shared().isShared());
    QCOMPARE(form.projectModel()->rowCount(), 1);
    QCOMPARE(Settings::read(QStringLiteral("Database"), QString()), env.databaseTarget());
}

namespace {
const QStringList copiedViews{"select * from [Open Projects] order by ID", "select * from [Open Tasks] order by ID",
                              "select ID,FirstName,LastName,Email,Notes from Employees order by ID",
                              "SELECT First(Status.Status) AS [MaxID] FROM Status",
                              "SELECT Last(Priorities.Priority) AS [MaxID] FROM Priorities",
                              "select count(*) from Categories",
                              // The planner's: outline, milestones, links, the working calendar.
                              "select ID, coalesce(ParentID, 0), case when Milestone = (1=1) then 1 else 0 end, "
                              "StartNoEarlierThan from Tasks order by ID",
                              "select ID, PredecessorID, SuccessorID, Kind, Lag from TaskLinks order by ID",
                              "select Day, Name from Holidays order by Day",
                              "select Weekday from WorkingDays where Working = (1=1) order by Weekday"};

QStringList snapshot() {
    QStringList all;
    for (const QString& q : copiedViews)
        all << TestEnvironment::rows(q);
    return all;
}

QStringList snapshotOf(const QString& target) {
    Database::shared().open(target);
    const QStringList all = snapshot();
    Database::shared().close();
    return all;
}
} // namespace

void TestTeamDatabase::copiesBothWaysKeepEveryRow() {
    REQUIRE_SERVER();
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    const QString local = DataStore::workingDatabase();
    Database::shared().open(local);
    SampleData::load(QDate(2021, 8, 31));
    TestEnvironment::exec(QStringLiteral("delete from Projects where ID=1")); // a gap in the IDs
    // The last contact deleted: no row holds its number, yet it is never given again.
    const qint64 goneContact = TestEnvironment::scalar(QStringLiteral("select max(ID) from Employees")).toLongLong();
    TestEnvironment::exec(QStringLiteral("delete from Employees where ID=%1").arg(goneContact));
    TestEnvironment::exec(QStringLiteral("update Employees set Notes=%1 where ID=2")
                              .arg(SqlText::quoted(QStringLiteral("O'Brien's \"notes\"\n\u00e9\U0001F600"))));
    // A plan: a summary that comes after its child, a milestone, a link with a lead, a holiday,
    // Saturdays worked.
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ID, ProjectID, Title, StartDate, DueDate, Milestone, "
                                         "StartNoEarlierThan) select 90, ProjectID, 'Done', DueDate, DueDate, 1, "
                                         "DueDate from Tasks where ID = (select max(ID) from Tasks)"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ID, ProjectID, Title) select 91, ProjectID, 'Summary' "
                                         "from Tasks where ID = 90"));
    TestEnvironment::exec(QStringLiteral("update Tasks set ParentID = 91 where ID = 90"));
    TestEnvironment::exec(
        QStringLiteral("insert into TaskLinks (PredecessorID, SuccessorID, Kind, Lag) select max(ID), "
                       "90, 'SF', -2 from Tasks where ID < 90 and ProjectID = (select ProjectID "
                       "from Tasks where ID = 90)"));
    TestEnvironment::exec(QStringLiteral("insert into Holidays (Day, Name) values ('2021-12-24', 'Closed')"));
    TestEnvironment::exec(QStringLiteral("update WorkingDays set Working = 1 where Weekday = 6"));
    const QStringList before = snapshot();
    Database::shared().close();
    QVERIFY(messages.errors().isEmpty());

    QList<qint64> seen;
    TeamCopy::localToTeam(local, env.databaseTarget(), [&seen](qint64 done, qint64 total) {
        seen << done << total;
        return true;
    });
    QVERIFY(seen.size() >= 4);
    QCOMPARE(seen.at(seen.size() - 2), seen.last()); // ends at all rows
    QCOMPARE(snapshotOf(env.databaseTarget()), before);
    // New records get IDs past the copied ones.
    Database::shared().open(env.databaseTarget());
    const qint64 highest = TestEnvironment::scalar(QStringLiteral("select max(ID) from Projects")).toLongLong();
    const qint64 added = addProject(QStringLiteral("new"));
    QVERIFY(added > highest);
    TestEnvironment::exec(QStringLiteral("delete from Projects where ID=%1").arg(added));
    const auto newContact = [] {
        TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('New','One')"));
        return TestEnvironment::scalar(QStringLiteral("select max(ID) from Employees")).toLongLong();
    };
    const qint64 teamContact = newContact();
    QVERIFY(teamContact > goneContact);
    TestEnvironment::exec(QStringLiteral("delete from Employees where ID=%1").arg(teamContact));
    Database::shared().close();

    const QString back = env.root() + QStringLiteral("/back.mdb");
    TeamCopy::teamToLocal(env.databaseTarget(), back);
    QCOMPARE(snapshotOf(back), before);
    // The file goes on from the team database's numbers, deleted records included.
    Database::shared().open(back);
    QVERIFY(newContact() > teamContact);
    QVERIFY(addProject(QStringLiteral("newer")) > added);
    Database::shared().close();
    // An existing file is never overwritten.
    QVERIFY_THROWS_EXCEPTION(DbError, TeamCopy::teamToLocal(env.databaseTarget(), back));
}

void TestTeamDatabase::copyIntoAFilledTeamDatabaseIsRefused() {
    REQUIRE_SERVER();
    TestEnvironment env;
    env.openDatabase();
    addProject(QStringLiteral("already here"));
    Database::shared().close();
    // A local file whose copy would fail half-way: nothing of it may stay.
    const QString why = refusalOf([&] { TeamCopy::localToTeam(DataStore::workingDatabase(), env.databaseTarget()); });
    QVERIFY2(why.contains(QLatin1String("not empty")), qPrintable(why));
    Database::shared().open(env.databaseTarget());
    TestEnvironment::exec(QStringLiteral("delete from Projects"));
    Database::shared().close();
    Database::shared().open(DataStore::workingDatabase());
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName) values ('Ann')"));
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,StartDate) values ('bad date','someday')"));
    Database::shared().close();
    QVERIFY_THROWS_EXCEPTION(DbError, TeamCopy::localToTeam(DataStore::workingDatabase(), env.databaseTarget()));
    Database::shared().open(env.databaseTarget());
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Employees")).toInt(), 0);
}

// A member of the team role, with the grants that the team database guide gives (read from the
// guide itself), copies a local file in and back out; new records then get IDs past the copied.
void TestTeamDatabase::teamMemberCopiesWithTheDocumentedGrants() {
    REQUIRE_SERVER();
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    const QString local = DataStore::workingDatabase();
    Database::shared().open(local);
    SampleData::load(QDate(2021, 8, 31));
    const QStringList before = snapshot();
    Database::shared().close();

    QFile guide(QStringLiteral(FENNICK_TEST_DATA "/../../docs/team-database.md"));
    QVERIFY(guide.open(QIODevice::ReadOnly));
    QStringList grants;
    const QRegularExpression grant(QStringLiteral("^\\s*(GRANT .* TO fennick_team);$"),
                                   QRegularExpression::MultilineOption);
    for (auto it = grant.globalMatch(QString::fromUtf8(guide.readAll())); it.hasNext();)
        grants << it.next().captured(1).replace(QLatin1String("fennick_team"), QLatin1String("fennick_members"));
    QVERIFY(!grants.isEmpty());
    const QString target = env.databaseTarget();
    const auto dropRoles = [&] {
        PgConnection(target, PgConnection::Check::None).execute(QStringLiteral("drop owned by fennick_members"));
        TestServer::admin(QStringLiteral("drop role if exists fennick_member"));
        TestServer::admin(QStringLiteral("drop role if exists fennick_members"));
    };
    TestServer::admin(QStringLiteral("drop role if exists fennick_member"));
    TestServer::admin(QStringLiteral("drop role if exists fennick_members"));
    TestServer::admin(QStringLiteral("create role fennick_members nologin"));
    TestServer::admin(QStringLiteral("create role fennick_member login password 'm' in role fennick_members"));
    {
        PgConnection owner(target, PgConnection::Check::None);
        for (const QString& statement : grants)
            owner.execute(statement);
    }
    qputenv("PGPASSWORD", "m");
    const QString member = target + QStringLiteral(" user=fennick_member");
    const QString copied = refusalOf([&] { TeamCopy::localToTeam(local, member); });
    const QString back = env.root() + QStringLiteral("/back.mdb");
    const QString copiedBack = refusalOf([&] { TeamCopy::teamToLocal(member, back); });
    qputenv("PGPASSWORD", qgetenv("FENNICK_TEST_PGPASSWORD"));
    QCOMPARE(copied, QStringLiteral("(not refused)"));
    QCOMPARE(copiedBack, QStringLiteral("(not refused)"));
    QCOMPARE(snapshotOf(target), before);
    QCOMPARE(snapshotOf(back), before);
    Database::shared().open(target);
    const qint64 highest = TestEnvironment::scalar(QStringLiteral("select max(ID) from Projects")).toLongLong();
    QVERIFY(addProject(QStringLiteral("new")) > highest);
    Database::shared().close();
    dropRoles();
}

// The team database guide followed word by word, as far as a script can: its roles, the owner's
// --create-schema, the owner's grants; then two members see each other's changes live and a reader
// may only read. (Names are this run's own: roles belong to the whole server.)
void TestTeamDatabase::guideStepsGiveATeamThatSharesLiveChanges() {
    REQUIRE_SERVER();
    if (qEnvironmentVariable("PGHOST").isEmpty() || qEnvironmentVariable("PGHOST").startsWith(QLatin1Char('/')))
        QSKIP("the roles' passwords are asked for over the network only");
    TestEnvironment env;
    QFile file(QStringLiteral(FENNICK_TEST_DATA "/../../docs/team-database.md"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString prefix = QStringLiteral("guide_%1").arg(QCoreApplication::applicationPid());
    QString guide = QString::fromUtf8(file.readAll());
    for (const char* role : {"fennick_owner", "fennick_team", "fennick_readers"})
        guide.replace(QLatin1String(role), prefix + QLatin1String(role).mid(7));
    guide.replace(QRegularExpression(QStringLiteral("\\b(ann|bob)\\b")), prefix + QStringLiteral("_\\1"));
    guide.replace(QRegularExpression(QStringLiteral("\\bfennick\\b(?!-)")), prefix);
    guide.replace(QLatin1String("'...'"), QLatin1String("'pw'"));
    const auto statementsOf = [](const QString& block) {
        QStringList statements;
        for (QString statement : block.split(QLatin1Char(';'))) {
            statement.remove(QRegularExpression(QStringLiteral("--[^\\n]*")));
            if (!statement.trimmed().isEmpty())
                statements << statement.trimmed();
        }
        return statements;
    };
    const QRegularExpression roles(QStringLiteral("<<'SQL'\\n(.*?)\\n\\s*SQL\\n"),
                                   QRegularExpression::DotMatchesEverythingOption);
    const QString step4 = guide.section(QStringLiteral("\n4. "), 1).section(QStringLiteral("\n5. "), 0, 0);
    QStringList grants;
    for (auto it = QRegularExpression(QStringLiteral("^\\s+(GRANT [^\\n]*;)$"), QRegularExpression::MultilineOption)
                       .globalMatch(step4);
         it.hasNext();)
        grants << it.next().captured(1);
    QCOMPARE(grants.size(), 3);

    // 1. The database, 2. the roles (as the server's administrator).
    TestServer::admin(TeamSchema::createDatabaseStatement(prefix));
    const QString database = QStringLiteral("dbname=") + prefix;
    {
        PgConnection administrator(database, PgConnection::Check::None);
        const QStringList made = statementsOf(roles.match(guide).captured(1));
        QCOMPARE(made.size(), 7);
        for (const QString& statement : made)
            administrator.execute(statement);
    }
    // 3. The tables, by the owner; 4. the grants, by the owner.
    qputenv("PGPASSWORD", "pw");
    QProcess createSchema;
    createSchema.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    createSchema.start(QStringLiteral(FENNICK_PLANNER),
                       {QStringLiteral("--create-schema"), QStringLiteral("--database"),
                        database + QStringLiteral(" user=%1_owner").arg(prefix)});
    QVERIFY(createSchema.waitForFinished(120000));
    QCOMPARE(createSchema.exitCode(), 0);
    {
        PgConnection owner(database + QStringLiteral(" user=%1_owner").arg(prefix), PgConnection::Check::None);
        for (const QString& statement : grants)
            owner.execute(statement.chopped(1));
    }
    qputenv("PGPASSWORD", qgetenv("FENNICK_TEST_PGPASSWORD"));

    {
        const QStringList password{QStringLiteral("PGPASSWORD=pw")};
        Client ann(database + QStringLiteral(" user=%1_ann").arg(prefix), env.programFolder(), password);
        Client annElsewhere(database + QStringLiteral(" user=%1_ann").arg(prefix), env.programFolder(), password);
        Client bob(database + QStringLiteral(" user=%1_bob").arg(prefix), env.programFolder(), password);
        for (Client* client : {&ann, &annElsewhere, &bob})
            QCOMPARE(client->ready(), QStringLiteral("ready"));
        QCOMPARE(ann.ask(QStringLiteral("add shared plan")), QStringLiteral("saved"));
        QTRY_COMPARE(annElsewhere.ask(QStringLiteral("list")), QStringLiteral("list shared plan"));
        QTRY_COMPARE(bob.ask(QStringLiteral("list")), QStringLiteral("list shared plan"));
        QVERIFY(bob.ask(QStringLiteral("add not allowed")).contains(QLatin1String("not change it")));
    }
    TestServer::admin(QStringLiteral("drop database %1 with (force)").arg(prefix));
    for (const char* role : {"_ann", "_bob", "_team", "_readers", "_owner"})
        TestServer::admin(QStringLiteral("drop role %1%2").arg(prefix, QLatin1String(role)));
}

void TestTeamDatabase::copyCommandsOfTheFileMenu() {
    REQUIRE_SERVER();
    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    addProject(QStringLiteral("from the team"));
    const QString file = env.root() + QStringLiteral("/copy.mdb");
    messages.inputNext(file);
    form.findChild<QAction*>(QStringLiteral("actionCopyToLocal"))->trigger();
    QCOMPARE(messages.notices(), QStringList{"Everything was copied."});
    // The local file goes back into an emptied team database through the other command.
    TestEnvironment::exec(QStringLiteral("delete from Projects"));
    QVERIFY(QFile::remove(DataStore::workingDatabase()));
    QVERIFY(QFile::copy(file, DataStore::workingDatabase()));
    form.findChild<QAction*>(QStringLiteral("actionCopyToTeam"))->trigger();
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName from Projects")), QStringList{"from the team"});
    QCOMPARE(form.projectModel()->rowCount(), 1);
}

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--client") == 0) {
        QApplication app(argc, argv);
        return clientMain();
    }
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0) {
        QCoreApplication app(argc, argv);
        return childMain(app.arguments().mid(2));
    }
    // The tests change PGPASSWORD for other roles; this is the run's own.
    qputenv("FENNICK_TEST_PGPASSWORD", qgetenv("PGPASSWORD"));
    QApplication app(argc, argv);
    TestTeamDatabase test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_team_database.moc"
