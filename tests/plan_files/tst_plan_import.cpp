// Plans from other planners' files imported as new projects, all or nothing, and projects
// exported again: from the real files under tests/data, through the preview, the writing and the
// command line, on either kind of database.
#include "app/Database.h"
#include "app/DbError.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"
#include "main_window/Form1.h"
#include "plan_exchange/PlanPreviewDialog.h"
#include "plan_files/PlanCommandLine.h"
#include "plan_files/PlanExport.h"
#include "plan_files/PlanImport.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

QString dataFile(const QString& name) {
    return QStringLiteral(FENNICK_TEST_DATA "/") + name;
}

int count(const QString& query) {
    return TestEnvironment::scalar(query).toInt();
}

} // namespace

class TestPlanImport : public QObject {
    Q_OBJECT
private slots:
    void importsRealFiles_data();
    void importsRealFiles();
    void roundTripKeepsTheOrderOfTasks_data();
    void roundTripKeepsTheOrderOfTasks();
    void refusedWriteLeavesNothing_data();
    void refusedWriteLeavesNothing();
    void exportReadsAsTheSharedConnection_data();
    void exportReadsAsTheSharedConnection();
    void refusesBadFiles_data();
    void refusesBadFiles();
    void deepOutlineAndOddValues();
    void exportOpensInGnomePlanner_data();
    void exportOpensInGnomePlanner();
    void commandLine();
    void fromTheMenus();
};

void TestPlanImport::importsRealFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<int>("links");
    QTest::addColumn<int>("milestones");
    QTest::addColumn<int>("parents"); // tasks under another
    QTest::addColumn<int>("differences");
    QTest::addColumn<QString>("milestoneDays"); // as the file's planner shows them, by date
    QTest::newRow("MS Project 2007, links of four kinds")
        << "msproject/task-links-project2007-mspdi.xml" << 16 << 8 << 0 << 0 << 0 << "";
    QTest::newRow("MS Project, relations with lags") << "msproject/mspdirelations.xml" << 5 << 4 << 0 << 0 << 0 << "";
    // Its milestone stands on the project's first day, where MS Project shows it, and so its
    // summary starts there too.
    QTest::newRow("MS Project, outline and a milestone")
        << "msproject/sample.xml" << 19 << 6 << 1 << 16 << 0 << "2003-01-07";
    // Milestones of 0 hours that the file does not flag, summaries it does not flag either, and
    // two resources on no task: every one of them a contact.
    QTest::newRow("ProjectLibre sample") << "projectlibre/new-product.xml" << 42 << 37 << 12 << 35 << 0
                                         << "2001-01-01 2001-01-19 2001-01-19 2001-02-09 2001-03-02 2001-03-02 "
                                            "2001-04-13 2001-04-25 2001-04-25 2001-04-25 2001-05-17 2001-05-23";
    // Seven resources, one of them only ever "responsible" beside others. Its milestones stand at
    // the start of their Mondays, those that links place too.
    QTest::newRow("GanttProject sample") << "ganttproject/HouseBuildingSample.gan" << 20 << 17 << 4 << 15 << 0
                                         << "2024-05-27 2024-07-01 2024-09-30 2024-10-14";
}

void TestPlanImport::importsRealFiles() {
    QFETCH(QString, file);
    QFETCH(int, tasks);
    QFETCH(int, links);
    QFETCH(int, milestones);
    QFETCH(int, parents);
    QFETCH(int, differences);
    QFETCH(QString, milestoneDays);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    PlanFiles::PlanFile plan;
    QString error;
    QVERIFY2(PlanImport::readFile(dataFile(file), plan, &error), qPrintable(error));
    const PlanImport::Preview preview = PlanImport::preview(plan);
    QVERIFY(preview.loop.isEmpty());
    QCOMPARE(preview.tasks, tasks);
    QCOMPARE(preview.links, links);
    QCOMPARE(preview.milestones, milestones);
    // Scheduled here as MS Project scheduled it: the dates the file stores.
    QStringList differing;
    for (const PlanImport::Difference& d : preview.differences)
        differing << QStringLiteral("%1 %2..%3 here %4..%5")
                         .arg(d.task, d.fileStart.toString(Qt::ISODate), d.fileFinish.toString(Qt::ISODate),
                              d.start.toString(Qt::ISODate), d.finish.toString(Qt::ISODate));
    QVERIFY2(preview.differences.size() == differences, qPrintable(differing.join(QLatin1Char('\n'))));

    const int contactsBefore = count(QStringLiteral("select count(*) from Employees"));
    const qint64 id = PlanImport::write(plan, plan.projectName, plan.owner);
    const QString project = QString::number(id);
    // Every person the preview called new is a contact now.
    QCOMPARE(count(QStringLiteral("select count(*) from Employees")) - contactsBefore, preview.newContacts.size());
    QCOMPARE(PlanImport::preview(plan).newContacts, QStringList());
    QCOMPARE(count(QStringLiteral("select count(*) from Tasks where ProjectID=") + project), tasks);
    QCOMPARE(count(QStringLiteral("select count(*) from TaskLinks l join Tasks t on t.ID=l.SuccessorID where "
                                  "t.ProjectID=") +
                   project),
             links);
    QCOMPARE(count(QStringLiteral("select count(*) from Tasks where Milestone=(1=1) and ProjectID=") + project),
             milestones);
    QCOMPARE(count(QStringLiteral("select count(*) from Tasks where ParentID is not null and ProjectID=") + project),
             parents);
    QStringList stored;
    for (const QString& row : TestEnvironment::rows(
             QStringLiteral("select StartDate from Tasks where Milestone=(1=1) and ProjectID=") + project))
        stored << row.left(10);
    stored.sort();
    QCOMPARE(stored.join(QLatin1Char(' ')), milestoneDays);
    // Exported and read back: the same tasks, outline and links.
    const PlanFiles::PlanFile back = PlanExport::read(id);
    QCOMPARE(back.tasks.size(), plan.tasks.size());
    QCOMPARE(back.links.size(), plan.links.size());
    // Exported to a file (the tasks' part made while the links are read): the same bytes as the
    // project read and written in one step.
    for (const QString& suffix : {QStringLiteral("xml"), QStringLiteral("gan")}) {
        const QString path = env.root() + QStringLiteral("/back.") + suffix;
        QVERIFY2(PlanExport::writeFile(path, id, &error), qPrintable(error));
        QBuffer expected;
        expected.open(QIODevice::WriteOnly);
        QVERIFY(suffix == QLatin1String("xml") ? PlanFiles::writeMsProject(expected, back)
                                               : PlanFiles::writeGanttProject(expected, back));
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), expected.data());
        // Read back, its milestones stand on the same days. (GanttProject's milestones stand at
        // the start of a day: one at the end of its day is written, and comes back, at the start
        // of the next working day, the same moment.)
        if (suffix == QLatin1String("gan") && !file.endsWith(QLatin1String(".gan")))
            continue;
        PlanFiles::PlanFile again;
        QVERIFY2(PlanImport::readFile(path, again, &error), qPrintable(error));
        QStringList days;
        for (const PlanFiles::FileTask& task : std::as_const(again.tasks))
            if (task.milestone)
                days << task.start.toString(Qt::ISODate);
        days.sort();
        QCOMPARE(days.join(QLatin1Char(' ')), milestoneDays);
    }
    QVERIFY(messages.errors().isEmpty());
}

void TestPlanImport::roundTripKeepsTheOrderOfTasks_data() {
    QTest::addColumn<QString>("file");
    for (const char* folder : {"msproject", "ganttproject", "planner"})
        for (const QString& name : QDir(dataFile(QLatin1String(folder))).entryList({"*.xml", "*.gan", "*.planner"}))
            QTest::newRow(qPrintable(name)) << QLatin1String(folder) + QLatin1Char('/') + name;
}

// Every real file imported and exported to either kind of file: its tasks come out in the file's
// own order (MS Project's IDs, the others' order of tasks), not in the order of their dates, each
// on the dates the file gave it.
void TestPlanImport::roundTripKeepsTheOrderOfTasks() {
    QFETCH(QString, file);
    TestEnvironment env;
    env.openDatabase();
    auto names = [](const QString& path) {
        PlanFiles::PlanFile plan;
        QString error;
        QStringList list{PlanImport::readFile(path, plan, &error) ? QString() : error};
        for (const PlanFiles::FileTask& task : plan.tasks)
            list << QStringLiteral("%1|%2|%3")
                        .arg(task.name, task.start.toString(Qt::ISODate), task.finish.toString(Qt::ISODate));
        return list;
    };
    PlanFiles::PlanFile plan;
    QVERIFY(PlanImport::readFile(dataFile(file), plan, nullptr));
    const qint64 id = PlanImport::write(plan, plan.projectName, plan.owner);
    for (const QString& back : {QStringLiteral("/back.xml"), QStringLiteral("/back.gan")}) {
        QVERIFY(PlanExport::writeFile(env.root() + back, id, nullptr));
        QCOMPARE(names(env.root() + back), names(dataFile(file)));
    }
}

// A write refused after the import began (the database's own refusal, as a trigger or a right
// missing gives it) undoes all of it: no project, task, link or person is left behind.
void TestPlanImport::refusedWriteLeavesNothing_data() {
    QTest::addColumn<QString>("table");
    QTest::newRow("links, after the project and its tasks") << "TaskLinks";
    QTest::newRow("tasks, after the project and its people") << "Tasks";
}

void TestPlanImport::refusedWriteLeavesNothing() {
    QFETCH(QString, table);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    PlanFiles::PlanFile plan;
    QString error;
    QVERIFY2(PlanImport::readFile(dataFile(QStringLiteral("msproject/sample.xml")), plan, &error), qPrintable(error));
    QVERIFY(!plan.links.isEmpty());
    const QStringList tables = {QStringLiteral("Projects"), QStringLiteral("Tasks"), QStringLiteral("TaskLinks"),
                                QStringLiteral("Employees")};
    auto counts = [&] {
        QStringList c;
        for (const QString& t : tables)
            c << t + QLatin1Char(' ') + QString::number(count(QStringLiteral("select count(*) from ") + t));
        return c;
    };
    const QStringList before = counts();
    TestEnvironment::refuse(QStringLiteral("insert"), table, QStringLiteral("refused for the test"));
    const QString why = refusalOf([&] { PlanImport::write(plan, plan.projectName, plan.owner); });
    QVERIFY2(why.contains(QLatin1String("refused for the test")), qPrintable(why));
    QCOMPARE(counts(), before);
}

// The export reads the links on a second connection while the tasks are read: what it writes, or
// the error it gives, is what the shared connection alone reads.
void TestPlanImport::exportReadsAsTheSharedConnection_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("refused");
    QTest::newRow("the links' table gone: the second connection's error, in the same words")
        << "alter table TaskLinks rename to TaskLinksGone" << true;
    QTest::newRow("links deleted in a transaction still open: read where they are gone")
        << "begin;delete from TaskLinks" << false;
    QTest::newRow("the file moved away while open: read on the open file") << "move" << false;
    QTest::newRow("written over a larger file, held while it is replaced") << "over" << false;
}

void TestPlanImport::exportReadsAsTheSharedConnection() {
    QFETCH(QString, change);
    QFETCH(bool, refused);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    PlanFiles::PlanFile plan;
    QString error;
    QVERIFY(PlanImport::readFile(dataFile(QStringLiteral("msproject/mspdirelations.xml")), plan, &error));
    const qint64 id = PlanImport::write(plan, plan.projectName, plan.owner);
    const QString path = env.root() + QStringLiteral("/back.xml");
    if (change == QLatin1String("move")) {
        SKIP_FOR_TEAM_DATABASE();
        QVERIFY(QFile::rename(Database::shared().path(), env.root() + QStringLiteral("/moved.mdb")));
    } else if (change == QLatin1String("over")) {
        QFile older(path);
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write(QByteArray(4 << 20, 'x')) == 4 << 20);
    } else {
        for (const QString& statement : change.split(QLatin1Char(';')))
            TestEnvironment::exec(statement);
    }
    QBuffer expected;
    expected.open(QIODevice::WriteOnly);
    const QString serial = refusalOf([&] { PlanFiles::writeMsProject(expected, PlanExport::read(id)); });
    const QString threaded = refusalOf([&] { PlanExport::writeFile(path, id, &error); });
    if (Database::shared().connection()->inTransaction())
        TestEnvironment::exec(QStringLiteral("rollback"));
    QCOMPARE(threaded, serial);
    QCOMPARE(serial != QLatin1String("(not refused)"), refused);
    QFile written(path);
    QCOMPARE(written.open(QIODevice::ReadOnly), !refused);
    if (!refused)
        QCOMPARE(written.readAll(), expected.data());
}

void TestPlanImport::refusesBadFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    const QByteArray head = "<?xml version=\"1.0\"?><Project xmlns=\"http://schemas.microsoft.com/project\">";
    QTest::newRow("not XML") << "plan.xml" << QByteArray("Task,Start\nA,2027-01-04\n") << "Line 1";
    QTest::newRow("another root") << "plan.xml" << QByteArray("<?xml version=\"1.0\"?><Tasks/>")
                                  << "not an MS Project XML file";
    QTest::newRow("entities") << "plan.xml"
                              << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE Project [<!ENTITY x SYSTEM "
                                            "\"file:///etc/passwd\">]><Project/>")
                              << "document type declaration";
    QTest::newRow("internal entities only")
        << "plan.xml"
        << head.left(head.indexOf("<Project")) + "<!DOCTYPE Project [<!ENTITY x \"A\">]>" +
               head.mid(head.indexOf("<Project")) +
               "<Tasks><Task><UID>1</UID><Name>&x;</Name><OutlineLevel>1</OutlineLevel><OutlineNumber>1</OutlineNumber>"
               "<Start>2027-01-04T08:00:00</Start><Finish>2027-01-04T17:00:00</Finish></Task></Tasks></Project>"
        << "document type declaration";
    QTest::newRow("a link to a task the file lacks")
        << "plan.xml"
        << head +
               "<Tasks><Task><UID>1</UID><Name>A</Name><OutlineLevel>1</OutlineLevel><OutlineNumber>1</OutlineNumber>"
               "<Start>2027-01-04T08:00:00</Start><Finish>2027-01-04T17:00:00</Finish><Duration>PT8H0M0S</Duration>"
               "<PredecessorLink><PredecessorUID>9</PredecessorUID><Type>1</Type></PredecessorLink></Task></Tasks>"
               "</Project>"
        << "linked to task 9, which the file does not have";
    QTest::newRow("a date out of range")
        << "plan.xml"
        << head +
               "<Tasks><Task><UID>1</UID><Name>A</Name><OutlineLevel>1</OutlineLevel><OutlineNumber>1</OutlineNumber>"
               "<Start>1200-01-04T08:00:00</Start><Finish>1200-01-04T17:00:00</Finish></Task></Tasks></Project>"
        << "date out of range";
    QTest::newRow("a task without dates")
        << "plan.xml"
        << head +
               "<Tasks><Task><UID>1</UID><Name>A</Name><OutlineLevel>1</OutlineLevel><OutlineNumber>1</OutlineNumber>"
               "</Task></Tasks></Project>"
        << "has no start or finish";
    QTest::newRow("a byte that is not UTF-8, on line 3")
        << "plan.xml"
        << head + "\n<Tasks>\n<Task><UID>1</UID><Name>Caf\xE9</Name><OutlineLevel>1</OutlineLevel>"
                  "<OutlineNumber>1</OutlineNumber><Start>2027-01-04T08:00:00</Start><Finish>2027-01-04T17:00:00"
                  "</Finish></Task></Tasks></Project>"
        << "Line 3: a byte that is not UTF-8";
    QTest::newRow("a name longer than the database holds")
        << "plan.xml"
        << head + "<Tasks><Task><UID>1</UID><Name>" + QByteArray(100001, 'x') +
               "</Name><OutlineLevel>1</OutlineLevel><OutlineNumber>1</OutlineNumber><Start>2027-01-04T08:00:00"
               "</Start><Finish>2027-01-04T17:00:00</Finish></Task></Tasks></Project>"
        << "task 1 has a name of 100001 characters";
    QTest::newRow("of no known kind") << "plan.txt" << QByteArray("<?xml version=\"1.0\"?><plan/>")
                                      << "not a plan file this program reads";
}

void TestPlanImport::refusesBadFiles() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    TestEnvironment env;
    const QString path = env.root() + QLatin1Char('/') + name;
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    PlanFiles::PlanFile plan;
    QString error;
    QVERIFY(!PlanImport::readFile(path, plan, &error));
    QVERIFY2(error.startsWith(name + QStringLiteral(": ")) && error.contains(message), qPrintable(error));
}

// An outline deeper than a thousand levels, children listed before their parents, keeps every
// parent; a link of no known type and a negative length are named in the preview, not passed over.
void TestPlanImport::deepOutlineAndOddValues() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    constexpr int depth = 1200;
    QByteArray xml = "<?xml version=\"1.0\"?><Project xmlns=\"http://schemas.microsoft.com/project\"><Tasks>";
    QList<QByteArray> numbers{"1"};
    for (int level = 2; level <= depth; ++level)
        numbers << numbers.last() + ".1";
    for (int level = depth; level >= 1; --level) {
        const QByteArray uid = QByteArray::number(level);
        xml += "<Task><UID>" + uid + "</UID><Name>T" + uid + "</Name><OutlineNumber>" + numbers[level - 1] +
               "</OutlineNumber><OutlineLevel>" + uid +
               "</OutlineLevel><Start>2027-01-04T08:00:00</Start><Finish>2027-01-04T17:00:00</Finish>"
               "<Duration>PT8H0M0S</Duration></Task>";
    }
    xml += "<Task><UID>5000</UID><Name>Odd</Name><OutlineNumber>2</OutlineNumber><OutlineLevel>1</OutlineLevel>"
           "<Start>2027-01-04T08:00:00</Start><Finish>2027-01-04T17:00:00</Finish><Duration>-PT16H0M0S</Duration>"
           "<PredecessorLink><PredecessorUID>" +
           QByteArray::number(depth) + "</PredecessorUID><Type>77</Type></PredecessorLink></Task></Tasks></Project>";
    const QString path = env.root() + QStringLiteral("/deep.xml");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(xml) == xml.size());
    file.close();
    PlanFiles::PlanFile plan;
    QString error;
    QVERIFY2(PlanImport::readFile(path, plan, &error), qPrintable(error));
    const QStringList notKept = PlanImport::preview(plan).notKept;
    QVERIFY2(notKept.filter(QStringLiteral("1 link of a type MS Project does not have (77)")).size() == 1,
             qPrintable(notKept.join(QLatin1Char('\n'))));
    QVERIFY2(notKept.filter(QStringLiteral("1 task with a negative length")).size() == 1,
             qPrintable(notKept.join(QLatin1Char('\n'))));
    const QString project = QString::number(PlanImport::write(plan, plan.projectName, plan.owner));
    QCOMPARE(count(QStringLiteral("select count(*) from Tasks where ParentID is not null and ProjectID=") + project),
             depth - 1);
    // Each under the one a level up: T2 under T1, ... T1200 under T1199.
    QCOMPARE(count(QStringLiteral("select count(*) from Tasks t join Tasks p on p.ID=t.ParentID where "
                                  "t.ProjectID=%1 and %2")
                       .arg(project, QStringLiteral("p.Title = 'T' || cast(cast(substr(t.Title, 2) as integer) - 1 "
                                                    "as varchar(10))"))),
             depth - 1);
}

// Every real file, imported and exported again as MS Project XML, opens in GNOME Planner: its own
// stylesheet (under xsltproc, as Planner runs it) reads each stored task on its days, and a length
// (the work Planner schedules by) for each task that has one.
void TestPlanImport::exportOpensInGnomePlanner_data() {
    QTest::addColumn<QString>("file");
    for (const QString& folder : QStringList{"ganttproject", "planner", "msproject", "projectlibre"})
        for (const QString& file : QDir(dataFile(folder)).entryList({"*.gan", "*.planner", "*.xml"}, QDir::Files))
            QTest::newRow(qPrintable(folder + '/' + file)) << folder + '/' + file;
}

void TestPlanImport::exportOpensInGnomePlanner() {
    QFETCH(QString, file);
    if (QStandardPaths::findExecutable(QStringLiteral("xsltproc")).isEmpty())
        QSKIP("xsltproc is not installed (Debian package: xsltproc)");
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    PlanFiles::PlanFile plan;
    QString error;
    QVERIFY2(PlanImport::readFile(dataFile(file), plan, &error), qPrintable(error));
    const qint64 id = PlanImport::write(plan, plan.projectName, plan.owner);
    const QString path = env.root() + QStringLiteral("/export.xml");
    QVERIFY2(PlanExport::writeFile(path, id, &error), qPrintable(error));
    QProcess xsltproc;
    xsltproc.start(QStringLiteral("xsltproc"),
                   {QStringLiteral("--nonet"), dataFile(QStringLiteral("planner/msp2planner.xsl")), path});
    QVERIFY(xsltproc.waitForFinished(-1));
    QCOMPARE(xsltproc.exitCode(), 0);
    // "name first..last kind" of each task, as stored and as Planner reads it.
    QStringList stored;
    for (const QString& row : TestEnvironment::rows(
             QStringLiteral("select Title, StartDate, DueDate, case when Milestone=(1=1) then 'milestone' when "
                            "exists (select 1 from Tasks c where c.ParentID=t.ID) then 'summary' else 'work' end "
                            "from Tasks t where ProjectID=%1")
                 .arg(id))) {
        const QStringList v = row.split(QLatin1Char('|'));
        stored << QStringLiteral("%1 %2..%3 %4")
                      .arg(v.at(0), v.at(1).left(10).remove(QLatin1Char('-')),
                           v.at(2).left(10).remove(QLatin1Char('-')), v.at(3));
    }
    QStringList read;
    struct Open {
        QString text;
        bool milestone = false, children = false;
        qint64 work = 0;
    };
    QList<Open> open;
    QXmlStreamReader planner(xsltproc.readAllStandardOutput());
    while (!planner.atEnd()) {
        planner.readNext();
        if (planner.isStartElement() && planner.name() == QLatin1String("task")) {
            if (!open.isEmpty())
                open.last().children = true;
            const QXmlStreamAttributes a = planner.attributes();
            open.append(
                {QStringLiteral("%1 %2..%3")
                     .arg(a.value(QLatin1String("name")).toString(), a.value(QLatin1String("start")).left(8).toString(),
                          a.value(QLatin1String("end")).left(8).toString()),
                 a.value(QLatin1String("type")) == QLatin1String("milestone"), false,
                 a.value(QLatin1String("work")).toLongLong()});
        } else if (planner.isEndElement() && planner.name() == QLatin1String("task")) {
            const Open task = open.takeLast();
            read << task.text + QLatin1Char(' ') +
                        (task.milestone  ? QStringLiteral("milestone")
                         : task.children ? QStringLiteral("summary")
                         : task.work > 0 ? QStringLiteral("work")
                                         : QStringLiteral("no length"));
        }
    }
    QVERIFY2(!planner.hasError(), qPrintable(planner.errorString()));
    stored.sort();
    read.sort();
    QCOMPARE(read, stored);
}

// The command line imports into the chosen database and writes a project (or all) by suffix.
void TestPlanImport::commandLine() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    Database::shared().close(); // the command opens the chosen database itself
    QCOMPARE(PlanCommandLine::importPlan(dataFile(QStringLiteral("msproject/mspdirelations.xml"))), 0);
    QCOMPARE(PlanCommandLine::importPlan(env.root() + QStringLiteral("/missing.xml")), 1);
    const QString csv = env.root() + QStringLiteral("/tasks.csv");
    QCOMPARE(PlanCommandLine::exportPlan(csv, QStringLiteral("all")), 0);
    QFile written(csv);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll().count('\n'), 6); // the header and five tasks
    QCOMPARE(PlanCommandLine::exportPlan(csv, QStringLiteral("first")), 1);
}

// File -> Import Plan shows the preview, takes the name typed there and selects the new project;
// File -> Export Plan writes the selected project, which reads back the same.
void TestPlanImport::fromTheMenus() {
    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    QString summary;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* preview = qobject_cast<PlanPreviewDialog*>(QApplication::activeModalWidget());
        if (!preview)
            return;
        summary = preview->findChild<QLabel*>(QStringLiteral("PreviewSummary"))->text();
        preview->findChild<QLineEdit*>(QStringLiteral("ProjectName"))->setText(QStringLiteral("Relations"));
        preview->accept();
    });
    answer.start(0);
    messages.fileNext({dataFile(QStringLiteral("msproject/mspdirelations.xml"))});
    form.findChild<QAction*>(QStringLiteral("actionImportPlan"))->trigger();
    answer.stop();
    QVERIFY2(summary.startsWith(QLatin1String("MS Project XML file: 5 tasks (0 summaries, 0 milestones), 4 links.")),
             qPrintable(summary));
    QCOMPARE(RowSelection::selectedCell(form.ListView1, 1), QStringLiteral("Relations"));
    QCOMPARE(static_cast<RecordListModel*>(form.ListView2->model())->rowCount(), 5);

    const QString out = env.root() + QStringLiteral("/relations.xml");
    messages.saveFileNameNext(out);
    form.findChild<QAction*>(QStringLiteral("actionExportPlan"))->trigger();
    QVERIFY2(messages.notices().isEmpty(), qPrintable(messages.notices().join(QLatin1Char('\n'))));
    PlanFiles::PlanFile back;
    QString error;
    QVERIFY2(PlanImport::readFile(out, back, &error), qPrintable(error));
    QCOMPARE(back.projectName, QStringLiteral("Relations"));
    QCOMPARE(back.tasks.size(), 5);
    QCOMPARE(back.links.size(), 4);
    QVERIFY(messages.errors().isEmpty());
}

QTEST_MAIN(TestPlanImport)
#include "tst_plan_import.moc"
