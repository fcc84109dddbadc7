// The check of the database components at start-up, the repair dialogue, the processor width and
// starting a program and waiting for it.
//
// Run with FENNICK_CHECK_CHILD set to an empty folder, this binary is instead a program whose
// plugin folder is that empty folder, so the SQLite driver is really missing; it runs the main
// window's start-up and writes what it showed to its output (see childMain()).
#include "app/ComponentCheck.h"
#include "app/DataStore.h"
#include "app/ErrorTrap.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <cstdio>

namespace {

const char* const childVariable = "FENNICK_CHECK_CHILD";

// An executable script in the folder that appends its own name to the marker file.
void writePackage(const QString& folder, const QString& name, const QString& marker) {
    QFile file(folder + QLatin1Char('/') + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho " + name.toUtf8() + " >> '" + QFile::encodeName(marker) + "'\n");
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
}

QStringList markerLines(const QString& marker) {
    QFile file(marker);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString escaped(QString text) {
    return text.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}

// The child: answers the questions as FENNICK_CHECK_ANSWERS says ("yes,no"), runs the start-up
// of the main window and reports the driver, every box shown, the caption and whether it ended.
int childMain(int argc, char** argv) {
    QApplication app(argc, argv);
    // Only this folder is searched for plugins from now on, the platform plugin is loaded already.
    QCoreApplication::setLibraryPaths({qEnvironmentVariable(childVariable)});
    DataStore::setProgramFolderForTesting(qEnvironmentVariable("FENNICK_CHECK_PROGRAM"));

    ScriptedMessages messages;
    const QStringList answers =
        qEnvironmentVariable("FENNICK_CHECK_ANSWERS").split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& answer : answers)
        messages.answerNext(answer == QLatin1String("yes"));

    QStringList out;
    out << QStringLiteral("driver\t%1").arg(QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")) ? 1 : 0);
    Form1 form;
    form.Form_Load();
    for (const ScriptedMessages::Shown& shown : messages.shown())
        out << QStringLiteral("shown\t%1\t%2\t%3").arg(int(shown.kind)).arg(shown.title, escaped(shown.text));
    out << QStringLiteral("caption\t") + form.windowTitle();
    out << QStringLiteral("ended\t%1").arg(form.programEnded() ? 1 : 0);
    std::fputs(qPrintable(out.join(QLatin1Char('\n')) + QLatin1Char('\n')), stdout);
    return 0;
}

struct ChildReport {
    bool driver = true;
    QList<ScriptedMessages::Shown> shown;
    QString caption;
    bool ended = false;

    QStringList texts(ScriptedMessages::Kind kind) const {
        QStringList list;
        for (const auto& s : shown)
            if (s.kind == kind)
                list << s.text;
        return list;
    }
};

ChildReport runChild(const QString& programFolder, const QString& answers) {
    QTemporaryDir scratch;
    QDir(scratch.path()).mkpath(QStringLiteral("plugins"));
    QDir(scratch.path()).mkpath(QStringLiteral("data"));
    QDir(scratch.path()).mkpath(QStringLiteral("config"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(childVariable), scratch.filePath(QStringLiteral("plugins")));
    env.insert(QStringLiteral("QT_PLUGIN_PATH"), scratch.filePath(QStringLiteral("plugins")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), scratch.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("FENNICK_CHECK_PROGRAM"), programFolder);
    env.insert(QStringLiteral("FENNICK_CHECK_ANSWERS"), answers);

    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    ChildReport report;
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        qWarning("the child did not finish cleanly");
        return report;
    }
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char('\t'));
        if (parts.value(0) == QLatin1String("driver"))
            report.driver = parts.value(1) == QLatin1String("1");
        else if (parts.value(0) == QLatin1String("caption"))
            report.caption = parts.value(1);
        else if (parts.value(0) == QLatin1String("ended"))
            report.ended = parts.value(1) == QLatin1String("1");
        else if (parts.value(0) == QLatin1String("shown"))
            report.shown.push_back({ScriptedMessages::Kind(parts.value(1).toInt()), parts.value(2),
                                    parts.value(3)
                                        .replace(QStringLiteral("\\n"), QStringLiteral("\n"))
                                        .replace(QStringLiteral("\\\\"), QStringLiteral("\\"))});
    }
    return report;
}

ComponentCheck::Services missingComponents(const QString& width) {
    ComponentCheck::Services services;
    services.componentsUsable = [] { return false; };
    services.processorWidth = [width] { return width; };
    return services;
}

} // namespace

class TestComponentCheck : public QObject {
    Q_OBJECT
private slots:
    void presentComponentsShowNothing();
    void missingDriverForRealAnswerNo();
    void missingDriverForRealRepairAndStop();
    void answerNoGivesNoticeOnce();
    void answerYesRunsPackageForWidth_data();
    void answerYesRunsPackageForWidth();
    void packageAbsentSaysNothingMore();
    void packageThatCannotRunStillOffersStop();
    void failuresInsideAreIgnored();
    void windowStyleIsClamped_data();
    void windowStyleIsClamped();
    void exitCodeComesBack_data();
    void exitCodeComesBack();
    void commandThatCannotStart_data();
    void commandThatCannotStart();
    void eventsAreProcessedWhileWaiting();
};

void TestComponentCheck::presentComponentsShowNothing() {
    TestEnvironment env;
    ScriptedMessages messages;
    const QStringList connectionsBefore = QSqlDatabase::connectionNames();

    QVERIFY(ComponentCheck::componentsUsable());
    Form1 form;
    form.IsADOInstalled();

    QVERIFY(messages.shown().empty());
    QVERIFY(!form.programEnded());
    QCOMPARE(QSqlDatabase::connectionNames(), connectionsBefore);
}

void TestComponentCheck::missingDriverForRealAnswerNo() {
    TestEnvironment env;
    const ChildReport report = runChild(env.programFolder(), QStringLiteral("no"));

    QVERIFY(!report.driver);
    QCOMPARE(report.texts(ScriptedMessages::Kind::Question), QStringList{ComponentCheck::repairQuestion()});
    QCOMPARE(report.texts(ScriptedMessages::Kind::Notice), QStringList{ComponentCheck::manualRepairNotice()});
    QCOMPARE(report.shown.value(0).title, QStringLiteral("Fennick Planner"));
    QCOMPARE(report.shown.value(1).title, QStringLiteral("Fennick Planner"));
    // Start-up went on past the check.
    QVERIFY(!report.ended);
    QCOMPARE(report.caption, QStringLiteral("Fennick Planner"));
}

void TestComponentCheck::missingDriverForRealRepairAndStop() {
    TestEnvironment env;
    const QString marker = env.root() + QStringLiteral("/ran.txt");
    writePackage(env.programFolder(), QStringLiteral("ADOFix64.msu"), marker);
    writePackage(env.programFolder(), QStringLiteral("ADOFix86.msu"), marker);

    const ChildReport report = runChild(env.programFolder(), QStringLiteral("yes,yes"));

    QVERIFY(!report.driver);
    QCOMPARE(markerLines(marker), QStringList{ComponentCheck::packageName(Main::GetProcessorWidth())});
    QCOMPARE(report.texts(ScriptedMessages::Kind::Question),
             (QStringList{ComponentCheck::repairQuestion(), ComponentCheck::restartQuestion()}));
    QCOMPARE(report.shown.size(), 2);
    // Ended at once: no later start-up step ran (the caption is set by the next one).
    QVERIFY(report.ended);
    QVERIFY(report.caption != QStringLiteral("Fennick Planner"));
}

void TestComponentCheck::answerNoGivesNoticeOnce() {
    TestEnvironment env;
    ScriptedMessages messages;
    messages.answerNext(false);
    int started = 0;
    ComponentCheck::Services services = missingComponents(QStringLiteral("64"));
    services.startAndWait = [&](const QString&, std::optional<int>) { return ++started; };

    QCOMPARE(ComponentCheck::run(services), ComponentCheck::Outcome::Continue);

    QCOMPARE(messages.questions(), QStringList{ComponentCheck::repairQuestion()});
    QCOMPARE(messages.notices().size(), 1);
    const QString notice = messages.notices().value(0);
    QCOMPARE(notice, ComponentCheck::manualRepairNotice());
    QVERIFY(notice.startsWith(QStringLiteral("Please check for MDAC installation.\n\nPlease check this: https://")));
    QVERIFY(notice.contains(QStringLiteral("2640696 and look for 'How to obtain this update' section")));
    QVERIFY(notice.endsWith(QStringLiteral("\n\nPlease email ") + ErrorTrap::supportAddress() +
                            QStringLiteral(" with a screenshot of this message if you have any questions.")));
    QCOMPARE(started, 0);
}

void TestComponentCheck::answerYesRunsPackageForWidth_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<QString>("package");
    QTest::newRow("64-bit, stop") << "64" << true << "ADOFix64.msu";
    QTest::newRow("64-bit, go on") << "64" << false << "ADOFix64.msu";
    QTest::newRow("32-bit") << "32" << false << "ADOFix86.msu";
    QTest::newRow("width unknown") << "" << false << "ADOFix86.msu";
}

void TestComponentCheck::answerYesRunsPackageForWidth() {
    QFETCH(QString, width);
    QFETCH(bool, stop);
    QFETCH(QString, package);
    TestEnvironment env;
    const QString marker = env.root() + QStringLiteral("/ran.txt");
    writePackage(env.programFolder(), QStringLiteral("ADOFix64.msu"), marker);
    writePackage(env.programFolder(), QStringLiteral("ADOFix86.msu"), marker);
    ScriptedMessages messages;
    messages.answerNext(true);
    messages.answerNext(stop);

    const ComponentCheck::Outcome outcome = ComponentCheck::run(missingComponents(width));

    QCOMPARE(markerLines(marker), QStringList{package});
    QCOMPARE(messages.questions(), (QStringList{ComponentCheck::repairQuestion(), ComponentCheck::restartQuestion()}));
    QVERIFY(messages.notices().isEmpty());
    QCOMPARE(outcome, stop ? ComponentCheck::Outcome::Stop : ComponentCheck::Outcome::Continue);
}

void TestComponentCheck::packageAbsentSaysNothingMore() {
    TestEnvironment env;
    // Only the other width's package is there.
    writePackage(env.programFolder(), QStringLiteral("ADOFix86.msu"), env.root() + QStringLiteral("/ran.txt"));
    ScriptedMessages messages;
    messages.answerNext(true);
    messages.answerNext(true);

    QCOMPARE(ComponentCheck::run(missingComponents(QStringLiteral("64"))), ComponentCheck::Outcome::Continue);

    QCOMPARE(messages.questions(), QStringList{ComponentCheck::repairQuestion()});
    QCOMPARE(messages.shown().size(), std::size_t(1));
    QVERIFY(markerLines(env.root() + QStringLiteral("/ran.txt")).isEmpty());
}

void TestComponentCheck::packageThatCannotRunStillOffersStop() {
    TestEnvironment env;
    // A package file that may not be run: starting it fails, the stop question still comes.
    QFile file(env.programFolder() + QStringLiteral("/ADOFix86.msu"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a program");
    file.close();
    ScriptedMessages messages;
    messages.answerNext(true);
    messages.answerNext(false);

    QCOMPARE(ComponentCheck::run(missingComponents(QStringLiteral("32"))), ComponentCheck::Outcome::Continue);

    QCOMPARE(messages.questions(), (QStringList{ComponentCheck::repairQuestion(), ComponentCheck::restartQuestion()}));
}

void TestComponentCheck::failuresInsideAreIgnored() {
    TestEnvironment env;
    writePackage(env.programFolder(), QStringLiteral("ADOFix86.msu"), env.root() + QStringLiteral("/ran.txt"));
    ScriptedMessages messages;
    messages.answerNext(true);
    messages.answerNext(true);
    ComponentCheck::Services services;
    services.componentsUsable = [] { return false; };
    // A failing width query means the 32-bit package; a failing start still offers the stop.
    services.processorWidth = []() -> QString { throw std::runtime_error("no management service"); };
    QString started;
    std::optional<int> startedStyle;
    services.startAndWait = [&](const QString& command, std::optional<int> style) -> qint32 {
        started = command;
        startedStyle = style;
        throw std::runtime_error("cannot start");
    };

    QCOMPARE(ComponentCheck::run(services), ComponentCheck::Outcome::Stop);

    QCOMPARE(QProcess::splitCommand(started), QStringList{env.programFolder() + QStringLiteral("/ADOFix86.msu")});
    QCOMPARE(startedStyle, std::optional<int>(0));
    QCOMPARE(messages.questions().size(), 2);
    QVERIFY(messages.errors().isEmpty());
}

void TestComponentCheck::windowStyleIsClamped_data() {
    QTest::addColumn<std::optional<int>>("requested");
    QTest::addColumn<int>("used");
    QTest::newRow("missing") << std::optional<int>() << 6;
    QTest::newRow("-1") << std::optional<int>(-1) << 6;
    QTest::newRow("7") << std::optional<int>(7) << 6;
    QTest::newRow("0") << std::optional<int>(0) << 0;
    QTest::newRow("6") << std::optional<int>(6) << 6;
    QTest::newRow("3") << std::optional<int>(3) << 3;
}

void TestComponentCheck::windowStyleIsClamped() {
    QFETCH(std::optional<int>, requested);
    QFETCH(int, used);
    QCOMPARE(Shell32::windowStyle(requested), used);
}

void TestComponentCheck::exitCodeComesBack_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("code");
    QTest::newRow("success") << "sh -c \"exit 0\"" << 0;
    QTest::newRow("exit 3") << "sh -c \"exit 3\"" << 3;
    QTest::newRow("killed") << "sh -c \"kill -9 $$\"" << 128 + 9;
}

void TestComponentCheck::exitCodeComesBack() {
    QFETCH(QString, command);
    QFETCH(int, code);
    QCOMPARE(Shell32::ShellAndWait(command, 0), code);
    QCOMPARE(Shell32::ShellAndWait(command), code);
}

void TestComponentCheck::commandThatCannotStart_data() {
    QTest::addColumn<bool>("executableFile");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("error");
    QTest::newRow("no such program") << false << "missing-program" << ENOENT;
    QTest::newRow("not executable") << true << "plain file" << EACCES;
    QTest::newRow("empty command") << false << "" << EINVAL;
}

void TestComponentCheck::commandThatCannotStart() {
    QFETCH(bool, executableFile);
    QFETCH(QString, name);
    QFETCH(int, error);
    QTemporaryDir dir;
    QString command;
    if (!name.isEmpty()) {
        const QString path = dir.filePath(name);
        if (executableFile) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("data");
        }
        command = QLatin1Char('"') + path + QLatin1Char('"');
    }
    QCOMPARE(Shell32::ShellAndWait(command, 0), qint32(error + Shell32::objectErrorBase));
}

void TestComponentCheck::eventsAreProcessedWhileWaiting() {
    // The timer is due at once, but only an event loop runs it: the child finds the timer's file
    // (exit 5) only when events were processed while the routine waited for it.
    QTemporaryDir dir;
    const QString signal = dir.filePath(QStringLiteral("go"));
    bool fired = false;
    QTimer::singleShot(0, [&] {
        fired = true;
        QFile file(signal);
        QVERIFY(file.open(QIODevice::WriteOnly));
    });
    const QString command = QStringLiteral("sh -c \"sleep 0.5; [ -e '%1' ] && exit 5; exit 6\"").arg(signal);
    QCOMPARE(Shell32::ShellAndWait(command, 0), 5);
    QVERIFY(fired);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(childVariable))
        return childMain(argc, argv);
    QApplication app(argc, argv);
    TestComponentCheck test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_componentcheck.moc"
