// The user's data stays safe: damaged, read-only, locked and full files, killed processes,
// two copies of the program on one file, and the backup copies.
#include "app/Backup.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/SqlText.h"
#include "app/UndoSteps.h"
#include "app/widgets/QtMessages.h"
#include "app/widgets/RecordListModel.h"
#include "main_window/Form1.h"
#include "main_window/SessionEnd.h"
#include "sample_data/SampleData.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Reads the child's lines until one equals `line` (or the child ends).
bool waitForLine(QProcess* child, const QByteArray& line, QList<QByteArray>* seen = nullptr) {
    while (true) {
        while (child->canReadLine()) {
            const QByteArray got = child->readLine().trimmed();
            if (seen)
                seen->append(got);
            if (got == line)
                return true;
        }
        if (child->state() == QProcess::NotRunning)
            return false;
        child->waitForReadyRead(1000);
    }
}

QString integrity(const QString& path) {
    Database db;
    db.open(path);
    ResultSet rs = db.query(QStringLiteral("PRAGMA integrity_check"));
    return rs.eof() ? QString() : rs.value(0).toString();
}

void addProject(const QString& name) {
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,"
                                         "Notes,EndDate,BudgetInDays,Budget) values (%1,1,'2021-08-31','Open','Main',"
                                         "'High','','2021-09-30',5,10)")
                              .arg(SqlText::quoted(name)));
}

// ------------------------------------------------------------------ child programs

// Each child prints one line per finished action, so the parent knows what had returned.
int childMain(const QStringList& args) {
    const QString mode = args.value(0);
    const QString path = args.value(1);
    if (mode == QLatin1String("readonly") && geteuid() == 0) {
        // Root writes through file modes: act as an unprivileged user, as a normal user would be.
        if (setgid(65534) != 0 || setuid(65534) != 0)
            return 3;
    }
    Database& db = Database::shared();
    try {
        db.open(path);
    } catch (const DbError& e) {
        std::printf("open failed: %s\n", qPrintable(e.description()));
        return 1;
    }
    std::printf("opened\n");
    std::fflush(stdout);
    if (mode == QLatin1String("readonly")) {
        ResultSet rs = db.query(QStringLiteral("select count(*) from Projects"));
        std::printf("rows %lld\nreadonly %d\n", rs.value(0).toLongLong(), db.isReadOnly() ? 1 : 0);
        rs.close();
        try {
            db.execute(QStringLiteral("insert into Projects (ProjectName) values ('x')"));
            std::printf("write succeeded\n");
        } catch (const DbError& e) {
            std::printf("write refused: %s\n", qPrintable(e.description()));
        }
    } else if (mode == QLatin1String("lock")) {
        db.execute(QStringLiteral("BEGIN EXCLUSIVE"));
        std::printf("locked\n");
        std::fflush(stdout);
        char buffer[16];
        (void)!std::fgets(buffer, sizeof buffer, stdin); // hold the lock until told
        db.execute(QStringLiteral("COMMIT"));
        std::printf("released\n");
    } else if (mode == QLatin1String("edits")) {
        // Saves edits one by one; each printed number had returned before the line was printed.
        for (int i = 1;; ++i) {
            db.execute(QStringLiteral("insert into Projects (ProjectName) values ('edit %1')").arg(i));
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
    } else if (mode == QLatin1String("sample")) {
        // Every load after the first asks whether to add the examples again: Yes.
        ScriptedMessages yes;
        for (int i = 1;; ++i) {
            yes.answerNext(true);
            SampleData::load(QDate(2021, 8, 31));
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
    } else if (mode == QLatin1String("undo")) {
        // A project with three tasks deleted, then the delete undone and redone, over and over:
        // each undo and redo puts four records back or takes them in one transaction.
        UndoSteps::shared().attach(db);
        db.transaction([&] {
            db.execute(QStringLiteral("insert into Projects (ID, ProjectName) values (1, 'Kept')"));
            for (int t = 1; t <= 3; ++t)
                db.execute(QStringLiteral("insert into Tasks (ProjectID, Title, ParentID) values (1, 'Task %1', %2)")
                               .arg(t)
                               .arg(t == 3 ? QStringLiteral("2") : QStringLiteral("null")));
        });
        db.execute(QStringLiteral("delete from Projects where ID=1"));
        for (int i = 1;; ++i) {
            UndoSteps::shared().undo();
            UndoSteps::shared().redo();
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
    } else if (mode == QLatin1String("writer")) {
        const QString who = args.value(2);
        for (int i = 1; i <= 200; ++i)
            db.execute(QStringLiteral("insert into [Status] values ('%1 %2')").arg(who).arg(i));
        std::printf("done\n");
    }
    std::fflush(stdout);
    db.close();
    return 0;
}

// The program's own window with an editor open ("editor") or the input box of its first "+" button
// on top of it ("prompt"), the Project Name typed but not saved. Prints "ready" then; a line on
// standard input ends the session as the desktop's session manager would. Every message box is
// printed instead of shown, so that the parent sees it.
class PrintedMessages final : public Messages {
public:
    void notice(const QString& text) override { print("notice", text); }
    bool ask(const QString& text) override {
        print("question", text);
        return false;
    }
    void error(const QString& text) override { print("error", text); }
    QString input(const QString& title, const QString& prompt) override { return m_real.input(title, prompt); }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QStringList openFileNames(const QString&, const QString&, bool) override { return {}; }
    QString password(const QString&, const QString&) override { return {}; }

private:
    static void print(const char* kind, const QString& text) {
        std::printf("%s: %s\n", kind, qPrintable(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        std::fflush(stdout);
    }
    QtMessages m_real;
};

int sessionChildMain(const QStringList& args) {
    const QString what = args.value(0);
    DataStore::setProgramFolderForTesting(args.value(1));
    PrintedMessages messages;
    Messages::install(&messages);
    Form1 form;
    SessionEnd sessionEnd(form);
    form.Form_Load();
    form.show();
    QSocketNotifier endOfSession(0, QSocketNotifier::Read);
    QObject::connect(&endOfSession, &QSocketNotifier::activated, &sessionEnd, [&] {
        endOfSession.setEnabled(false);
        sessionEnd.endNow();
    });
    QTimer::singleShot(0, &form, [&] {
        form.PushButton2_Click(); // Add New Project: returns when the editor closes
        std::printf("editor closed\n");
        std::fflush(stdout);
    });
    // Waits for the editor (and the input box) to be on the screen, then says so once.
    QTimer watch;
    bool typed = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!typed && modal && modal->inherits("Form2")) {
            typed = true;
            modal->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("half typed"));
            if (what == QLatin1String("prompt")) {
                QPushButton* plus = modal->findChild<QPushButton*>(QStringLiteral("PushButton7"));
                QTimer::singleShot(0, plus, &QPushButton::click);
            }
        }
        const char* wanted = what == QLatin1String("prompt") ? "QInputDialog" : "Form2";
        if (typed && modal && modal->inherits(wanted)) {
            if (auto* box = qobject_cast<QInputDialog*>(modal))
                box->setTextValue(QStringLiteral("half typed status"));
            watch.stop();
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
    watch.start(20);
    const int code = QApplication::exec();
    Messages::install(nullptr);
    return code;
}

} // namespace

class TestRobustness : public QObject {
    Q_OBJECT
private slots:
    void notADatabaseIsKeptAndReplacedLater();
    void truncatedFileIsReportedNotTouched();
    void readOnlyFileCanBeBrowsedNotWritten();
    void lockedFileWaitsThenWorksWhenFree();
    void fullDiskRefusesAndRecovers();
    void killedWhileSavingEditsLosesNothing();
    void killedWhileLoadingSampleDataStaysIntact();
    void killedWhileUndoingADeleteLeavesItWholeOrGone();
    void twoCopiesKeepEachOthersWrites();
    void cascadingDeletesAreBackedUp();
    void onlyOneStatementRuns();
    void dailyCopyFollowsTheWindow_data();
    void endSignalsSaveTheSettingsAndEndCleanly_data();
    void endSignalsSaveTheSettingsAndEndCleanly();
    void endingWithAWindowOpenSavesNothingHalfDone_data();
    void endingWithAWindowOpenSavesNothingHalfDone();
    void dailyCopyFollowsTheWindow();
};

void TestRobustness::notADatabaseIsKeptAndReplacedLater() {
    TestEnvironment env;
    ScriptedMessages messages;
    QVERIFY(QDir().mkpath(DataStore::dataFolder()));
    const QByteArray junk = QByteArray("This is a letter, not a database.\n").repeated(200);
    writeFile(DataStore::workingDatabase(), junk);
    Form1 form;
    form.Form_Load();
    QVERIFY(!messages.errors().isEmpty());
    QVERIFY(messages.errors().first().contains(QStringLiteral("could not be opened")));
    QCOMPARE(readAll(DataStore::workingDatabase()), junk);
    QCOMPARE(form.projectModel()->rowCount(), 0);

    // The user puts a good file back: the next refill works without a restart.
    QVERIFY(QFile::remove(DataStore::workingDatabase()));
    QVERIFY(QFile::copy(templatePath(), DataStore::workingDatabase()));
    QFile::setPermissions(DataStore::workingDatabase(), QFile::ReadOwner | QFile::WriteOwner);
    messages.clear();
    Database::shared().execute(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,"
                                              "Priority,EndDate,Budget) values ('back',1,'2021-01-01','s','c','p',"
                                              "'2021-01-02',1)"));
    form.ListData();
    QVERIFY(messages.errors().isEmpty());
    QCOMPARE(form.projectModel()->rowCount(), 1);
}

void TestRobustness::truncatedFileIsReportedNotTouched() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    for (int i = 0; i < 300; ++i)
        addProject(QStringLiteral("project %1 ").arg(i) + QString(200, QLatin1Char('x')));
    Database::shared().close();
    const QString path = DataStore::workingDatabase();
    QByteArray bytes = readAll(path);
    bytes.truncate(bytes.size() / 3);
    writeFile(path, bytes);

    Form1 form;
    form.Form_Load();
    QVERIFY(!messages.errors().isEmpty());
    QVERIFY(messages.errors().join(QLatin1Char(' ')).contains(QStringLiteral("damaged")));
    QCOMPARE(readAll(path), bytes);
}

void TestRobustness::readOnlyFileCanBeBrowsedNotWritten() {
    TestEnvironment env;
    env.openDatabase();
    addProject(QStringLiteral("kept"));
    Database::shared().close();
    const QString path = DataStore::workingDatabase();
    const QByteArray before = readAll(path);
    // Every folder on the way must be passable for the unprivileged child.
    // (The temporary folder's own parent is world-passable already.)
    for (QString dir = QFileInfo(path).absolutePath(); dir.startsWith(env.root()); dir = QFileInfo(dir).absolutePath())
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                       QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);

    std::unique_ptr<QProcess> child(startChild({QStringLiteral("readonly"), path}));
    QVERIFY(child->waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(child->readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("rows 1")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("readonly 1")), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("write refused: The database file is read-only")), qPrintable(out));
    QCOMPARE(readAll(path), before);

    // Once the file may be written again, writing works.
    QFile::setPermissions(QFileInfo(path).absolutePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    Database::shared().open(path);
    addProject(QStringLiteral("new"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Projects")).toInt(), 2);
}

void TestRobustness::lockedFileWaitsThenWorksWhenFree() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    addProject(QStringLiteral("mine"));
    Database::shared().close();
    const QString path = DataStore::workingDatabase();

    std::unique_ptr<QProcess> child(startChild({QStringLiteral("lock"), path}));
    QVERIFY(waitForLine(child.get(), "locked"));
    Form1 form;
    form.Form_Load(); // waits for the lock, then reports
    QVERIFY(!messages.errors().isEmpty());
    QVERIFY2(messages.errors().join(QLatin1Char(' ')).contains(QStringLiteral("locked")),
             qPrintable(messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(form.projectModel()->rowCount(), 0);

    child->write("go\n");
    QVERIFY(waitForLine(child.get(), "released"));
    child->waitForFinished();
    messages.clear();
    form.ListData();
    QVERIFY(messages.errors().isEmpty());
    QCOMPARE(form.projectModel()->rowCount(), 1);
    QCOMPARE(integrity(path), QStringLiteral("ok"));
}

void TestRobustness::fullDiskRefusesAndRecovers() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    addProject(QStringLiteral("before"));
    const int pages = TestEnvironment::scalar(QStringLiteral("PRAGMA page_count")).toInt();
    TestEnvironment::exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
    const QString why = refusalOf([&] {
        for (int i = 0; i < 50; ++i)
            addProject(QString(4000, QLatin1Char('y')));
    });
    QVERIFY2(why.startsWith(QStringLiteral("The disk is full, so nothing was saved")), qPrintable(why));
    // Fill what is left to the last byte, then the loader reports each failed statement and the
    // file stays sound.
    for (int size : {400, 40, 1}) {
        try {
            for (int i = 0; i < 1000; ++i)
                addProject(QString(size, QLatin1Char('z')));
        } catch (const DbError&) {
        }
    }
    SampleData::load(QDate(2021, 8, 31));
    QVERIFY(!messages.errors().isEmpty());
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    QVERIFY(
        TestEnvironment::rows(QStringLiteral("select ProjectName from Projects")).contains(QStringLiteral("before")));

    TestEnvironment::exec(QStringLiteral("PRAGMA max_page_count = 1000000"));
    addProject(QStringLiteral("after"));
    QVERIFY(
        TestEnvironment::rows(QStringLiteral("select ProjectName from Projects")).contains(QStringLiteral("after")));
}

void TestRobustness::killedWhileSavingEditsLosesNothing() {
    TestEnvironment env;
    env.openDatabase();
    Database::shared().close();
    const QString path = DataStore::workingDatabase();
    std::unique_ptr<QProcess> child(startChild({QStringLiteral("edits"), path}));
    QList<QByteArray> lines;
    QVERIFY(waitForLine(child.get(), "200", &lines));
    ::kill(static_cast<pid_t>(child->processId()), SIGKILL);
    child->waitForFinished();
    while (child->canReadLine())
        lines.append(child->readLine().trimmed());
    const int returned = lines.last().toInt();
    QVERIFY(returned >= 200);

    QCOMPARE(integrity(path), QStringLiteral("ok"));
    Database::shared().open(path);
    const int stored = TestEnvironment::scalar(QStringLiteral("select count(*) from Projects")).toInt();
    QVERIFY2(stored >= returned, qPrintable(QStringLiteral("%1 returned, %2 stored").arg(returned).arg(stored)));
    QVERIFY(stored <= returned + 1);
}

void TestRobustness::killedWhileLoadingSampleDataStaysIntact() {
    TestEnvironment env;
    env.openDatabase();
    Database::shared().close();
    const QString path = DataStore::workingDatabase();
    std::unique_ptr<QProcess> child(startChild({QStringLiteral("sample"), path}));
    QList<QByteArray> lines;
    QVERIFY(waitForLine(child.get(), "20", &lines));
    ::kill(static_cast<pid_t>(child->processId()), SIGKILL);
    child->waitForFinished();
    while (child->canReadLine())
        lines.append(child->readLine().trimmed());
    const int loads = lines.last().toInt();

    QCOMPARE(integrity(path), QStringLiteral("ok"));
    Database::shared().open(path);
    // Every finished load left its three projects and tasks; a load cut short left at most part of one.
    const int projects = TestEnvironment::scalar(QStringLiteral("select count(*) from Projects")).toInt();
    const int tasks = TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks")).toInt();
    QVERIFY(projects >= 3 * loads && projects <= 3 * loads + 3);
    QVERIFY(tasks >= 3 * loads && tasks <= 3 * loads + 3);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Employees")).toInt(), 2);
}

void TestRobustness::killedWhileUndoingADeleteLeavesItWholeOrGone() {
    TestEnvironment env;
    env.openDatabase();
    Database::shared().close();
    const QString path = DataStore::workingDatabase();
    std::unique_ptr<QProcess> child(startChild({QStringLiteral("undo"), path}));
    QVERIFY(waitForLine(child.get(), "30"));
    ::kill(static_cast<pid_t>(child->processId()), SIGKILL);
    child->waitForFinished();

    QCOMPARE(integrity(path), QStringLiteral("ok"));
    Database::shared().open(path);
    const QStringList state = TestEnvironment::rows(QStringLiteral(
        "select (select count(*) from Projects), (select count(*) from Tasks), (select count(*) from Tasks where "
        "ParentID = 2)"));
    QVERIFY2(state == QStringList{"1|3|1"} || state == QStringList{"0|0|0"}, qPrintable(state.join(QLatin1Char(' '))));
}

void TestRobustness::twoCopiesKeepEachOthersWrites() {
    TestEnvironment env;
    env.openDatabase();
    Database::shared().close();
    const QString path = DataStore::workingDatabase();
    std::unique_ptr<QProcess> first(startChild({QStringLiteral("writer"), path, QStringLiteral("first")}));
    std::unique_ptr<QProcess> second(startChild({QStringLiteral("writer"), path, QStringLiteral("second")}));
    QVERIFY(first->waitForFinished(120000));
    QVERIFY(second->waitForFinished(120000));
    QCOMPARE(QString::fromLocal8Bit(first->readAllStandardOutput()), QStringLiteral("opened\ndone\n"));
    QCOMPARE(QString::fromLocal8Bit(second->readAllStandardOutput()), QStringLiteral("opened\ndone\n"));
    Database::shared().open(path);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Status where Status like 'first %'")).toInt(),
             200);
    QCOMPARE(
        TestEnvironment::scalar(QStringLiteral("select count(*) from Status where Status like 'second %'")).toInt(),
        200);
}

void TestRobustness::cascadingDeletesAreBackedUp() {
    TestEnvironment env;
    env.openDatabase();
    const QString path = DataStore::workingDatabase();
    QVERIFY(Backup::existing(path).isEmpty()); // opening makes no copy: start-up makes it later
    QVERIFY(!Backup::makeDailyBackup(path).isEmpty());
    QVERIFY(Backup::makeDailyBackup(path).isEmpty()); // not twice a day
    QCOMPARE(Backup::existing(path).size(), 1);

    TestEnvironment::exec(QStringLiteral("insert into [Status] values ('Open')"));
    addProject(QStringLiteral("with task"));
    addProject(QStringLiteral("without task"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title) values (1,'t')"));
    TestEnvironment::exec(QStringLiteral("delete from Projects where ID=2")); // takes nothing with it
    QCOMPARE(Backup::existing(path).size(), 1);
    TestEnvironment::exec(QStringLiteral("delete from Projects where ID=1"));
    QCOMPARE(Backup::existing(path).size(), 2);

    // The copy holds the project and its task as they were before the delete.
    const QString copy = Backup::folderFor(path) + QLatin1Char('/') + Backup::existing(path).last();
    {
        Database old;
        old.open(copy);
        ResultSet rs = old.query(QStringLiteral("select count(*) from Tasks"));
        QCOMPARE(rs.value(0).toInt(), 1);
    }
    for (int i = 0; i < 8; ++i)
        TestEnvironment::exec(QStringLiteral("delete from [Status] where Status='Open'"));
    QCOMPARE(Backup::existing(path).size(), Backup::kept);
}

void TestRobustness::onlyOneStatementRuns() {
    TestEnvironment env;
    env.openDatabase();
    addProject(QStringLiteral("safe"));
    QVERIFY_THROWS_EXCEPTION(DbError, Database::shared().execute(QStringLiteral(
                                          "update Projects set Notes='' where ID=1; delete from Projects")));
    QVERIFY_THROWS_EXCEPTION(DbError, Database::shared().query(QStringLiteral("select 1; delete from Projects")));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Projects")).toInt(), 1);
}

void TestRobustness::dailyCopyFollowsTheWindow_data() {
    QTest::addColumn<int>("partAgeSeconds"); // age of a partial copy left by a killed copy
    QTest::addColumn<bool>("partRemoved");
    QTest::newRow("no partial copy") << -1 << false;
    QTest::newRow("stale partial copy") << 3600 << true;
    QTest::newRow("partial copy being written") << 0 << false;
}

void TestRobustness::dailyCopyFollowsTheWindow() {
    QFETCH(int, partAgeSeconds);
    QFETCH(bool, partRemoved);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    const QString path = DataStore::workingDatabase();
    const QString part = Backup::folderFor(path) + QStringLiteral("/dbData-20210831-120000-000.mdb.part");
    if (partAgeSeconds >= 0) {
        QVERIFY(QDir().mkpath(Backup::folderFor(path)));
        QFile f(part);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("half a copy");
        f.flush();
        QVERIFY(
            f.setFileTime(QDateTime::currentDateTime().addSecs(-partAgeSeconds), QFileDevice::FileModificationTime));
    }
    Database::shared().close();
    QVERIFY(Backup::existing(path).isEmpty());

    Form1 form;
    form.Form_Load();
    QCOMPARE(form.projectModel()->rowCount(), 0);
    Backup::waitForDailyBackup();
    QCOMPARE(Backup::existing(path).size(), 1);
    QCOMPARE(QFile::exists(part), partAgeSeconds >= 0 && !partRemoved);
    QVERIFY(messages.errors().isEmpty());
    // The copy is a whole database.
    QCOMPARE(integrity(Backup::folderFor(path) + QLatin1Char('/') + Backup::existing(path).first()),
             QStringLiteral("ok"));
}

void TestRobustness::endSignalsSaveTheSettingsAndEndCleanly_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestRobustness::endSignalsSaveTheSettingsAndEndCleanly() {
    QFETCH(int, signalNumber);
    // The program itself, in folders of its own.
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(FENNICK_PLANNER), {});
    QVERIFY(program.waitForStarted());
    // The working database is made after the handlers are in place; the signal comes at once,
    // while the program is still starting, and is answered once its window is up.
    const QString database = dir.filePath(QStringLiteral("data/Tarnwick/Fennick Planner/dbData.mdb"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(database), 60000);
    QCOMPARE(::kill(static_cast<pid_t>(program.processId()), signalNumber), 0);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    const QSettings saved(dir.filePath(QStringLiteral("config/Tarnwick/Tarnwick.conf")), QSettings::IniFormat);
    QCOMPARE(saved.value(QStringLiteral("Fennick Planner/WindowState")).toString(), QStringLiteral("0"));
    for (const char* key : {"ColumnHeaders1", "ColumnHeaders10", "ColumnHeaders21", "ColumnHeaders210"})
        QVERIFY2(saved.value(QStringLiteral("Fennick Planner/") + QLatin1String(key)).toInt() > 0, key);
    QCOMPARE(integrity(database), QStringLiteral("ok"));
}

void TestRobustness::endingWithAWindowOpenSavesNothingHalfDone_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("signalNumber"); // 0: the end of the desktop session
    for (const char* window : {"editor", "prompt"}) {
        QTest::addRow("%s, SIGTERM", window) << QString::fromLatin1(window) << int(SIGTERM);
        QTest::addRow("%s, SIGHUP", window) << QString::fromLatin1(window) << int(SIGHUP);
        QTest::addRow("%s, session end", window) << QString::fromLatin1(window) << 0;
    }
}

void TestRobustness::endingWithAWindowOpenSavesNothingHalfDone() {
    QFETCH(QString, window);
    QFETCH(int, signalNumber);
    TestEnvironment env;
    env.openDatabase();
    SampleData::load(QDate(2021, 8, 31));
    const QString counts = QStringLiteral("select (select count(*) from Projects)||' '||(select count(*) from "
                                          "Tasks)||' '||(select count(*) from Status)||' '||(select count(*) from "
                                          "Employees)");
    const QString before = TestEnvironment::scalar(counts).toString();
    const QString path = DataStore::workingDatabase();
    Backup::stopDailyBackup();
    Database::shared().close();

    std::unique_ptr<QProcess> child(startChild({QStringLiteral("session"), window, env.programFolder()}));
    QList<QByteArray> seen;
    QVERIFY2(waitForLine(child.get(), "ready", &seen), seen.join(" | ").constData());
    if (signalNumber)
        QCOMPARE(::kill(static_cast<pid_t>(child->processId()), signalNumber), 0);
    else
        child->write("end\n");
    QVERIFY(child->waitForFinished(60000));
    seen += child->readAllStandardOutput().split('\n');
    QCOMPARE(child->exitStatus(), QProcess::NormalExit);
    QCOMPARE(child->exitCode(), 0);
    // The open window's command finished quietly before the connection closed.
    QVERIFY2(seen.contains("editor closed"), seen.join(" | ").constData());
    for (const QByteArray& line : seen)
        QVERIFY2(!line.contains(':'), line.constData()); // no message box

    Database::shared().open(path);
    QCOMPARE(TestEnvironment::scalar(counts).toString(), before);
    QCOMPARE(
        TestEnvironment::scalar(QStringLiteral("select count(*) from Projects where ProjectName like 'half%'")).toInt(),
        0);
    Database::shared().close();
    QCOMPARE(integrity(path), QStringLiteral("ok"));
}

int main(int argc, char** argv) {
    if (argc > 2 && qstrcmp(argv[1], "--child") == 0 && qstrcmp(argv[2], "session") == 0) {
        QApplication app(argc, argv);
        return sessionChildMain(app.arguments().mid(3));
    }
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0) {
        QCoreApplication app(argc, argv);
        return childMain(app.arguments().mid(2));
    }
    QApplication app(argc, argv);
    TestRobustness test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_robustness.moc"
