// Other planners' files: real GanttProject, GNOME Planner and MS Project files read with the
// right counts, dates and lags; our exports read back as the same plan and accepted by xmllint
// (MS Project XML against the schema of what we write); bad input refused with the line named.
#include "plan_files/PlanFile.h"
#include "scheduling/Scheduler.h"

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace PlanFiles;

namespace {

const QString data = QStringLiteral(FENNICK_TEST_DATA);

bool readAs(const QString& format, QIODevice& in, PlanFile& plan, QString* error) {
    if (format == "gan")
        return readGanttProject(in, plan, error);
    if (format == "planner")
        return readPlanner(in, plan, error);
    return readMsProject(in, plan, error);
}

QString formatOf(const QString& file) {
    return file.endsWith(".gan") ? "gan" : file.endsWith(".planner") ? "planner" : "xml";
}

bool readFile(const QString& file, PlanFile& plan, QString* error) {
    QFile device(data + '/' + file);
    if (!device.open(QIODevice::ReadOnly)) {
        *error = "cannot open " + file;
        return false;
    }
    return readAs(formatOf(file), device, plan, error);
}

QByteArray written(const QString& format, const PlanFile& plan) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const bool ok = format == "gan" ? writeGanttProject(buffer, plan) : writeMsProject(buffer, plan);
    return ok ? buffer.data() : QByteArray();
}

QString kindName(LinkKind kind) {
    switch (kind) {
    case LinkKind::StartToStart:
        return "SS";
    case LinkKind::FinishToFinish:
        return "FF";
    case LinkKind::StartToFinish:
        return "SF";
    default:
        return "FS";
    }
}

QString day(QDate date) {
    return date.toString(Qt::ISODate);
}

// Facts of a file in its own keys: "key start..finish length" (with " milestone",
// " earliest DATE" and a priority other than normal), "pred>succ KIND lag".
QStringList facts(const PlanFile& plan) {
    QStringList result;
    for (const FileTask& task : plan.tasks) {
        QString fact = QString("%1 %2..%3 %4").arg(task.key, day(task.start), day(task.finish)).arg(task.lengthDays);
        if (task.milestone)
            fact += " milestone";
        if (task.startNoEarlierThan.isValid())
            fact += " earliest " + day(task.startNoEarlierThan);
        static const char* const priorities[] = {"", "lowest", "low", "", "high", "highest"};
        if (priorities[int(task.priority)][0])
            fact += QString(" ") + priorities[int(task.priority)];
        result << fact;
    }
    for (const FileLink& link : plan.links)
        result << QString("%1>%2 %3 %4")
                      .arg(link.predecessorKey, link.successorKey, kindName(link.kind))
                      .arg(link.lagDays);
    return result;
}

// The plan without its keys (a writer may number the tasks anew): tasks by position, parents
// and links by positions, every field a file carries.
QStringList shape(const PlanFile& plan, bool finishFromLength = false) {
    QHash<QString, int> position;
    for (int i = 0; i < plan.tasks.size(); ++i)
        position.insert(plan.tasks.at(i).key, i);
    QStringList result;
    for (const FileTask& task : plan.tasks) {
        QDate finish = task.finish;
        int length = task.lengthDays;
        if (task.summary)
            length = plan.calendar.workingDaysBetween(task.start, task.finish);
        else if (finishFromLength && !task.milestone)
            finish = plan.calendar.addWorkingDays(task.start, task.lengthDays - 1);
        const Priority priority = task.priority == Priority::Unknown ? Priority::Normal : task.priority;
        result
            << QString(
                   "%1 parent=%2 %3..%4 len=%5 ms=%6 sum=%7 done=%8 prio=%9 earliest=%10 notes=%11 who=%12 others=%13")
                   .arg(task.name)
                   .arg(position.value(task.parentKey, -1))
                   .arg(day(task.start), day(finish))
                   .arg(length)
                   .arg(task.milestone)
                   .arg(task.summary)
                   .arg(task.percentComplete)
                   .arg(int(priority))
                   .arg(day(task.startNoEarlierThan), task.notes, task.assignee, task.otherAssignees.join('|'));
    }
    QStringList links;
    for (const FileLink& link : plan.links)
        links << QString("%1>%2 %3 %4")
                     .arg(position.value(link.predecessorKey))
                     .arg(position.value(link.successorKey))
                     .arg(kindName(link.kind))
                     .arg(link.lagDays);
    links.sort();
    return result + links;
}

QString workingDays(const PlanFile& plan) {
    QString week;
    for (int weekday = 1; weekday <= 7; ++weekday)
        week += plan.calendar.isWorkingWeekday(weekday) ? '1' : '0';
    QStringList off;
    if (plan.start.isValid() && plan.finish.isValid())
        for (QDate date = plan.start; date <= plan.finish; date = date.addDays(1))
            if (plan.calendar.isWorkingWeekday(date.dayOfWeek()) && !plan.calendar.isWorkingDay(date))
                off << day(date);
    return week + ' ' + off.join(',');
}

// xmllint's verdict on a file: empty when accepted, else what it said.
QString xmllint(const QByteArray& bytes, const QString& schema = QString()) {
    QTemporaryDir dir;
    QFile file(dir.filePath("export.xml"));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return "cannot write the file for xmllint";
    file.close();
    QStringList arguments{"--noout", "--nonet"};
    if (!schema.isEmpty())
        arguments << "--schema" << schema;
    QProcess process;
    process.start("xmllint", arguments << file.fileName());
    process.waitForFinished(-1);
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardError()).trimmed();
}

bool haveXmllint() {
    return !QStandardPaths::findExecutable("xmllint").isEmpty();
}

} // namespace

class TestPlanFiles : public QObject {
    Q_OBJECT
private slots:
    void realFiles_data();
    void realFiles();
    void scheduledAsTheFileDatesThem_data();
    void scheduledAsTheFileDatesThem();
    void roundTrips_data();
    void roundTrips();
    void linkAndPriorityCodes_data();
    void linkAndPriorityCodes();
    void awkwardPlansWrittenAndReadBack_data();
    void awkwardPlansWrittenAndReadBack();
    void schemaRefusesElementsOutOfOrder();
    void plainDocumentTypePassedOver();
    void refusedInput_data();
    void refusedInput();
    void readAsTheFileMeansIt_data();
    void readAsTheFileMeansIt();
};

void TestPlanFiles::realFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<int>("links");
    QTest::addColumn<int>("milestones");
    QTest::addColumn<int>("parents");
    QTest::addColumn<QString>("kinds");       // links per kind
    QTest::addColumn<QStringList>("facts");   // some of facts()
    QTest::addColumn<QStringList>("notKept"); // the start of each line, in order
    QTest::addColumn<QString>("assignees");   // "key=assignee+others;..." of some tasks

    QTest::newRow("GanttProject sample: outline, milestones, shared resources")
        << "ganttproject/HouseBuildingSample.gan" << 20 << 17 << 4 << 4 << "FS:17"
        << QStringList{"0 2024-05-27..2024-06-28 25", "10 2024-06-10..2024-06-28 15",
                       // A milestone at the start of Monday 1 July, after a task ending on Friday.
                       "17 2024-07-01..2024-07-01 0 milestone", "15 2024-10-07..2024-10-09 3", "10>17 FS 0",
                       "49>0 FS 0"}
        << QStringList{"10 tasks with more than one resource", "6 costs and rates", "1 vacation of",
                       "1 custom task field:"}
        << "9=Michelangelo+Jack House;12=Jack House+Michelangelo;20=";
    QTest::newRow("GanttProject: four link kinds, a lead, a holiday")
        << "ganttproject/task-with-dependencies.gan" << 5 << 4 << 0 << 0
        << "FF:1 FS:1 SF:1 SS:1"
        // Task C starts on Friday 5 January and takes two working days: to Monday 8.
        << QStringList{"2 2024-01-05..2024-01-08 2 earliest 2024-01-05", "0>1 SS 0", "1>2 FS 0", "2>3 FF -1",
                       "3>4 SF 0"}
        << QStringList{} << "0=";
    QTest::newRow("GanttProject: three levels")
        << "ganttproject/task-with-expanded-subtasks.gan" << 6 << 0 << 0 << 3 << ""
        << QStringList{"0 2023-12-28..2023-12-29 2", "7 2023-12-29..2023-12-29 1 earliest 2023-12-29"} << QStringList{}
        << "";
    QTest::newRow("GanttProject: a holiday every year, inside a task")
        << "ganttproject/task-crossing-recurring-holiday.gan" << 1 << 0 << 0 << 0 << ""
        << QStringList{"0 2024-01-02..2024-01-04 2 earliest 2024-01-02"}
        << QStringList{"1 holiday that recurs every year"} << "";
    QTest::newRow("GanttProject: five priorities")
        << "ganttproject/task-with-priority.gan" << 5 << 0 << 0 << 0 << ""
        << QStringList{"0 2024-01-04..2024-01-05 2 earliest 2024-01-04 lowest",
                       "3 2024-01-04..2024-01-05 2 earliest 2024-01-04 low",
                       "2 2024-01-04..2024-01-05 2 earliest 2024-01-04",
                       "1 2024-01-04..2024-01-05 2 earliest 2024-01-04 high",
                       "4 2024-01-04..2024-01-05 2 earliest 2024-01-04 highest"}
        << QStringList{} << "";
    QTest::newRow("GanttProject: earliest start")
        << "ganttproject/task-with-earliest-start-date.gan" << 1 << 0 << 0 << 0 << ""
        << QStringList{"0 2024-01-04..2024-01-05 2 earliest 2024-01-04"} << QStringList{} << "";
    QTest::newRow("GanttProject: a milestone and a baseline")
        << "ganttproject/baseline-with-milestone.gan" << 1 << 0 << 1 << 0 << ""
        << QStringList{"0 2024-01-01..2024-01-01 0 milestone earliest 2024-01-01"} << QStringList{"1 baseline:"} << "";
    QTest::newRow("GanttProject: one resource") << "ganttproject/task-with-basic-assignee.gan" << 1 << 0 << 0 << 0 << ""
                                                << QStringList{} << QStringList{} << "0=John Doe";

    QTest::newRow("Planner: four link kinds, an elapsed lag, constraints")
        << "planner/project1.planner" << 30 << 5 << 1 << 1 << "FF:1 FS:2 SF:1 SS:1"
        << QStringList{// 86,400 seconds after Thursday's end: Friday, one working day.
                       "16>17 FS 1", "17 2007-03-12..2007-03-23 10", "14>15 FS 0", "18>19 FF 0", "20>21 SS 0",
                       "22>23 SF 0",
                       // A milestone no link places, at the start of Friday, stands on Friday.
                       "10 2007-02-23..2007-02-23 0 milestone earliest 2007-02-23", "12 2007-02-23..2007-02-23 1 earliest 2007-02-23",
                       "25 2007-02-28..2007-03-06 5 earliest 2007-02-28",
                       // Ending at 13:30 on Monday: the Monday counts.
                       "3 2007-02-23..2007-02-26 2"}
        << QStringList{"3 tasks with more than one resource", "3 \"must start on\" constraints",
                       "1 lag in elapsed time", "6 tasks that start or end within a working day",
                       "1 calendar besides"}
        << "30=Resource Two+Resource One;7=Resource One+Resource Two;1=";
    QTest::newRow("Planner: manager, the project's calendar among several")
        << "planner/planner-sample.planner" << 2 << 1 << 0 << 0 << "FS:1"
        << QStringList{"1 2007-02-22..2007-03-07 10", "2 2007-03-08..2007-03-21 10", "1>2 FS 0"}
        << QStringList{"5 calendars besides"} << "";
    QTest::newRow("Planner: a summary, three resources on a task")
        << "planner/planner-resource.planner" << 3 << 1 << 0 << 1 << "FS:1"
        << QStringList{"0 2006-08-25..2006-09-08 11", "3 2006-08-30..2006-09-08 8", "2>3 FS 0"}
        << QStringList{"1 task with more than one resource", "1 task that starts or ends", "6 calendars besides"}
        << "2=Wade Golden+Jon Iles|Brian Leach";
    QTest::newRow("Planner: derived calendars")
        << "planner/planner-calendar.planner" << 2 << 0 << 0 << 1 << "" << QStringList{"2 2006-08-23..2006-08-23 1"}
        << QStringList{"7 calendars besides"} << "";

    QTest::newRow("MS Project: four link kinds, a lag over a weekend")
        << "msproject/mspdirelations.xml" << 5 << 4 << 0 << 0 << "FF:1 FS:1 SF:1 SS:1"
        << QStringList{"1>2 FS 0", "2>3 SS 1", "3>4 FF 0", "4>5 SF 0", "3 2006-09-25..2006-09-25 1"} << QStringList{}
        << "";
    QTest::newRow("MS Project: outline, milestone, constraints, a lead")
        << "msproject/sample.xml" << 19 << 6 << 1 << 3 << "FF:1 FS:3 SF:1 SS:1"
        << QStringList{"13>14 FS -1", "11>12 FS 1", "3 2003-01-07..2003-01-07 0 milestone earliest 2003-01-07",
                       "1 2003-01-07..2003-03-17 50", "7 2003-02-03..2003-02-03 1 earliest 2003-02-03 highest"}
        << QStringList{"2 tasks with costs", "1 task with progress", "1 task with several resources"} << "";
    // ProjectLibre flags neither its summaries nor its milestones (0 hours): their outline and
    // length say what they are.
    QTest::newRow("ProjectLibre sample: unflagged milestones and summaries")
        << "projectlibre/new-product.xml" << 42 << 37 << 12 << 6 << "FF:1 FS:36"
        << QStringList{"6 2001-03-02..2001-03-02 0 milestone earliest 2000-12-29", "12 2001-01-29..2001-02-09 10",
                       "3 2001-01-01..2001-03-02 45"}
        << QStringList{"2 tasks with several resources"} << "";
    QTest::newRow("MS Project: blank rows in an outline")
        << "msproject/mspdinulltasks.xml" << 5 << 0 << 0 << 2 << ""
        << QStringList{"3 2008-11-03..2008-11-14 10", "8 2008-11-03..2008-11-14 10"} << QStringList{} << "";
    QTest::newRow("MS Project: its priorities")
        << "msproject/mspdipriority.xml" << 10 << 0 << 0 << 0 << ""
        << QStringList{"1 2005-08-09..2005-08-09 1 highest", "4 2005-08-09..2005-08-09 1 high",
                       "6 2005-08-09..2005-08-09 1", "8 2005-08-09..2005-08-09 1 low",
                       "10 2005-08-09..2005-08-09 1 lowest"}
        << QStringList{} << "";
}

void TestPlanFiles::realFiles() {
    QFETCH(QString, file);
    QFETCH(int, tasks);
    QFETCH(int, links);
    QFETCH(int, milestones);
    QFETCH(int, parents);
    QFETCH(QString, kinds);
    QFETCH(QStringList, facts);
    QFETCH(QStringList, notKept);
    QFETCH(QString, assignees);

    PlanFile plan;
    QString error;
    QVERIFY2(readFile(file, plan, &error), qPrintable(error));
    QCOMPARE(plan.tasks.size(), tasks);
    QCOMPARE(plan.links.size(), links);
    int milestoneCount = 0;
    QSet<QString> parentKeys;
    for (const FileTask& task : plan.tasks) {
        milestoneCount += task.milestone ? 1 : 0;
        if (!task.parentKey.isEmpty())
            parentKeys.insert(task.parentKey);
    }
    QCOMPARE(milestoneCount, milestones);
    QCOMPARE(parentKeys.size(), parents);
    for (const FileTask& task : plan.tasks)
        QCOMPARE(task.summary, parentKeys.contains(task.key));
    QMap<QString, int> perKind;
    for (const FileLink& link : plan.links)
        ++perKind[kindName(link.kind)];
    QStringList kindCounts;
    for (auto it = perKind.cbegin(); it != perKind.cend(); ++it)
        kindCounts << QString("%1:%2").arg(it.key()).arg(it.value());
    QCOMPARE(kindCounts.join(' '), kinds);
    const QStringList all = ::facts(plan);
    for (const QString& fact : facts)
        QVERIFY2(all.contains(fact), qPrintable(fact + " not in\n" + all.join('\n')));
    QCOMPARE(plan.notKept.size(), notKept.size());
    for (int i = 0; i < notKept.size(); ++i)
        QVERIFY2(plan.notKept.at(i).startsWith(notKept.at(i)), qPrintable(plan.notKept.at(i)));
    for (const QString& expected : assignees.split(';', Qt::SkipEmptyParts)) {
        const QString key = expected.section('=', 0, 0);
        const auto it =
            std::find_if(plan.tasks.cbegin(), plan.tasks.cend(), [&](const FileTask& t) { return t.key == key; });
        QVERIFY(it != plan.tasks.cend());
        QString shown = it->assignee;
        if (!it->otherAssignees.isEmpty())
            shown += '+' + it->otherAssignees.join('|');
        QCOMPARE(key + '=' + shown, expected);
    }
    // Every task lies within the plan's span (a milestone at the project's start stands at the
    // end of the day before), and a task's parent comes before it.
    QSet<QString> seen;
    for (const FileTask& task : plan.tasks) {
        QVERIFY(task.start >= plan.start || (task.milestone && task.start.daysTo(plan.start) <= 3));
        QVERIFY(task.finish <= plan.finish);
        QVERIFY(task.parentKey.isEmpty() || seen.contains(task.parentKey));
        seen.insert(task.key);
    }
}

void TestPlanFiles::scheduledAsTheFileDatesThem_data() {
    QTest::addColumn<QString>("file");
    for (const QString& file : QDir(data + "/ganttproject").entryList({"*.gan"}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(file)) << "ganttproject/" + file;
    for (const QString& file : QDir(data + "/planner").entryList({"*.planner"}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(file)) << "planner/" + file;
    QTest::newRow("new-product.xml") << "projectlibre/new-product.xml";
}

// Scheduled as an import schedules a plan (each task as early as its links and its earliest
// start allow, else from the project's start), every task of the real files falls on the dates
// the file stores: the readers carry what those programs schedule by.
void TestPlanFiles::scheduledAsTheFileDatesThem() {
    QFETCH(QString, file);
    PlanFile read;
    QString error;
    QVERIFY2(readFile(file, read, &error), qPrintable(error));
    const WorkCalendar& calendar = read.calendar;
    QHash<QString, qint64> idOf;
    for (const FileTask& task : read.tasks)
        idOf.insert(task.key, idOf.size() + 1);
    Plan plan;
    for (const FileTask& task : read.tasks) {
        PlanTask planned;
        planned.id = idOf.value(task.key);
        planned.parentId = idOf.value(task.parentKey, 0);
        planned.milestone = task.milestone;
        planned.atDayStart = task.atDayStart;
        planned.start =
            calendar.addWorkingDays(task.startNoEarlierThan.isValid() ? task.startNoEarlierThan : read.start, 0);
        planned.finish = task.milestone ? planned.start : calendar.addWorkingDays(planned.start, task.lengthDays - 1);
        planned.startNoEarlierThan = planned.start;
        plan.addTask(planned);
    }
    for (const FileLink& link : read.links)
        plan.addLink({idOf.value(link.predecessorKey), idOf.value(link.successorKey), link.kind, link.lagDays});
    const Schedule schedule = Scheduling::schedule(plan, calendar);
    QVERIFY(schedule.ok());
    QStringList differing;
    for (qsizetype i = 0; i < read.tasks.size(); ++i) {
        const FileTask& task = read.tasks.at(i);
        const ScheduledTask& here = schedule.tasks.at(static_cast<size_t>(i));
        if (here.start != task.start || here.finish != task.finish)
            differing << QString("%1: file %2..%3, here %4..%5")
                             .arg(task.name, day(task.start), day(task.finish), day(here.start), day(here.finish));
    }
    QCOMPARE(differing.join('\n'), QString());
}

void TestPlanFiles::roundTrips_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    const QStringList files{"ganttproject/HouseBuildingSample.gan",
                            "ganttproject/task-with-dependencies.gan",
                            "ganttproject/task-with-expanded-subtasks.gan",
                            "ganttproject/task-with-priority.gan",
                            "ganttproject/task-crossing-recurring-holiday.gan",
                            "ganttproject/task-with-earliest-start-date.gan",
                            "planner/project1.planner",
                            "planner/planner-resource.planner",
                            "planner/planner-sample.planner",
                            "msproject/mspdirelations.xml",
                            "msproject/task-links-project2007-mspdi.xml",
                            "msproject/sample.xml",
                            "msproject/mspdinulltasks.xml",
                            "msproject/mspdipriority.xml"};
    for (const QString& file : files)
        for (const QString& format : {QString("xml"), QString("gan")})
            QTest::newRow(qPrintable(file + " as " + format)) << file << format;
}

void TestPlanFiles::roundTrips() {
    QFETCH(QString, file);
    QFETCH(QString, format);
    PlanFile original;
    QString error;
    QVERIFY2(readFile(file, original, &error), qPrintable(error));
    const QByteArray bytes = written(format, original);
    QVERIFY(!bytes.isEmpty());
    // Written twice, the same bytes.
    QCOMPARE(written(format, original), bytes);

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    PlanFile back;
    QVERIFY2(readAs(format, buffer, back, &error), qPrintable(error));
    QCOMPARE(back.projectName, original.projectName);
    // The MS Project reader holds a task it cannot schedule here (one with progress, say) to its
    // start, and a milestone to the project's start; GanttProject, which has no "as soon as
    // possible", holds an unlinked task to its start: no earliest start after the task's own.
    for (qsizetype i = 0; i < back.tasks.size() && i < original.tasks.size(); ++i)
        if (!original.tasks.at(i).startNoEarlierThan.isValid() &&
            back.tasks.at(i).startNoEarlierThan <= back.tasks.at(i).start)
            back.tasks[i].startNoEarlierThan = QDate();
    // GanttProject keeps a task's start and length, its finish follows from them.
    QCOMPARE(shape(back), shape(original, format == "gan"));
    back.start = original.start;
    back.finish = original.finish;
    QCOMPARE(workingDays(back), workingDays(original));
    for (const QString& resource : original.resources)
        QVERIFY(back.resources.contains(resource));

    if (!haveXmllint())
        QSKIP("xmllint is not installed (Debian package: libxml2-utils)");
    QCOMPARE(xmllint(bytes, format == "xml" ? data + "/msproject-export.xsd" : QString()), QString());
}

void TestPlanFiles::linkAndPriorityCodes_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("lag");
    QTest::addColumn<int>("priority");
    QTest::addColumn<QString>("msProject"); // Type LinkLag LagFormat Priority
    QTest::addColumn<QString>("gan");       // type difference priority
    QTest::newRow("finish to start, 2 days, high")
        << int(LinkKind::FinishToStart) << 2 << int(Priority::High) << "1 9600 7 700"
        << "2 2 2";
    QTest::newRow("start to start, lead of a day, lowest")
        << int(LinkKind::StartToStart) << -1 << int(Priority::Lowest) << "3 -4800 7 100"
        << "1 -1 3";
    QTest::newRow("finish to finish, none, low")
        << int(LinkKind::FinishToFinish) << 0 << int(Priority::Low) << "0 0 7 300"
        << "3 0 0";
    QTest::newRow("start to finish, 5 days, highest")
        << int(LinkKind::StartToFinish) << 5 << int(Priority::Highest) << "2 24000 7 900"
        << "4 5 4";
    QTest::newRow("normal priority is GanttProject's default")
        << int(LinkKind::FinishToStart) << 0 << int(Priority::Normal) << "1 0 7 500"
        << "2 0 ";
}

void TestPlanFiles::linkAndPriorityCodes() {
    QFETCH(int, kind);
    QFETCH(int, lag);
    QFETCH(int, priority);
    QFETCH(QString, msProject);
    QFETCH(QString, gan);
    PlanFile plan;
    plan.projectName = "Codes";
    for (const QString& key : {QString("1"), QString("2")}) {
        FileTask task;
        task.key = key;
        task.name = "Task " + key;
        task.start = QDate(2026, 3, 2);
        task.finish = QDate(2026, 3, 6);
        task.lengthDays = 5;
        task.priority = Priority(priority);
        plan.tasks << task;
    }
    plan.links << FileLink{"1", "2", LinkKind(kind), lag};

    // The values of the link's and the second task's codes as the written files hold them.
    const QByteArray msBytes = written("xml", plan);
    QXmlStreamReader ms(msBytes);
    QStringList msValues;
    QString priorityOfSecond;
    bool inLink = false;
    while (!ms.atEnd()) {
        ms.readNext();
        if (ms.isStartElement() && ms.name() == QLatin1String("PredecessorLink"))
            inLink = true;
        else if (ms.isEndElement() && ms.name() == QLatin1String("PredecessorLink"))
            inLink = false;
        else if (ms.isStartElement() && inLink && ms.name() != QLatin1String("PredecessorUID"))
            msValues << ms.readElementText();
        else if (ms.isStartElement() && ms.name() == QLatin1String("Priority"))
            priorityOfSecond = ms.readElementText(); // the last task's: the second
    }
    QCOMPARE((msValues + QStringList{priorityOfSecond}).join(' '), msProject);

    QXmlStreamReader gp(written("gan", plan));
    QStringList ganValues;
    QString ganPriority = "none";
    while (!gp.atEnd()) {
        gp.readNext();
        if (!gp.isStartElement())
            continue;
        if (gp.name() == QLatin1String("depend"))
            ganValues << gp.attributes().value("type").toString() << gp.attributes().value("difference").toString();
        if (gp.name() == QLatin1String("task") && gp.attributes().value("id") == QLatin1String("2"))
            ganPriority = gp.attributes().value("priority").toString();
    }
    QCOMPARE((ganValues + QStringList{ganPriority}).join(' '), gan);
}

void TestPlanFiles::awkwardPlansWrittenAndReadBack_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("awkward");
    for (const QString& format : {QString("xml"), QString("gan")}) {
        QTest::newRow(qPrintable(format + ": text XML cannot hold, CDATA's end in notes")) << format << "text";
        QTest::newRow(qPrintable(format + ": keys that are not numbers, children before parents")) << format << "keys";
        QTest::newRow(qPrintable(format + ": a loop of parents, links to nothing")) << format << "loops";
        QTest::newRow(qPrintable(format + ": Saturday worked, holidays, an empty plan name")) << format << "calendar";
        QTest::newRow(qPrintable(format + ": only the weekend worked")) << format << "weekend";
        QTest::newRow(qPrintable(format + ": 3,000 tasks in an outline, each linked (made in parts at once)"))
            << format << "many";
    }
}

void TestPlanFiles::awkwardPlansWrittenAndReadBack() {
    QFETCH(QString, format);
    QFETCH(QString, awkward);
    PlanFile plan;
    plan.projectName = "Awkward";
    auto add = [&](const QString& key, const QString& parent, QDate start, int length) {
        FileTask task;
        task.key = key;
        task.parentKey = parent;
        task.name = "Task " + key;
        task.start = start;
        task.finish = plan.calendar.addWorkingDays(start, std::max(length, 1) - 1);
        task.lengthDays = length;
        task.milestone = length == 0;
        plan.tasks << task;
    };
    QStringList expectedNames;
    if (awkward == "text") {
        add("1", "", QDate(2026, 5, 4), 2);
        plan.tasks[0].name = QString("A\x01 bell\x07, a NUL ") + QChar(0) + " & <tag> \"quoted\" " + QChar(0xD800);
        plan.tasks[0].notes = "ends ]]> here ]]]]>";
        expectedNames << "A bell, a NUL  & <tag> \"quoted\" ";
    } else if (awkward == "keys") {
        add("child-b", "parent-a", QDate(2026, 5, 5), 1);
        add("parent-a", "", QDate(2026, 5, 4), 3);
        add("x", "", QDate(2026, 5, 11), 0);
        plan.tasks[1].summary = true;
        plan.links << FileLink{"child-b", "x", LinkKind::FinishToStart, 1};
        expectedNames << "Task parent-a"
                      << "Task child-b"
                      << "Task x";
    } else if (awkward == "loops") {
        add("1", "2", QDate(2026, 5, 4), 1);
        add("2", "1", QDate(2026, 5, 5), 1);
        plan.links << FileLink{"1", "9", LinkKind::FinishToStart, 0} << FileLink{"9", "2", LinkKind::StartToStart, 0};
        expectedNames << "Task 1"
                      << "Task 2";
    } else if (awkward == "weekend") {
        plan.calendar.setWorkingWeekday(6, true);
        plan.calendar.setWorkingWeekday(7, true);
        for (int day = 1; day <= 5; ++day)
            plan.calendar.setWorkingWeekday(day, false);
        add("1", "", QDate(2026, 5, 2), 3); // Saturday, Sunday and the next Saturday
        expectedNames << "Task 1";
    } else if (awkward == "many") {
        // A summary over each nine tasks, each task after the one before with a lag.
        QDate day(2026, 5, 4);
        for (int i = 0; i < 3000; ++i) {
            const bool summary = i % 10 == 0;
            add(QString::number(i), summary ? QString() : QString::number(i / 10 * 10), day, summary ? 9 : 1);
            plan.tasks.last().summary = summary;
            if (!summary && i % 10 != 1)
                plan.links << FileLink{QString::number(i - 1), QString::number(i), LinkKind(i % 4), i % 3};
            if (!summary)
                day = plan.calendar.addWorkingDays(day, 1);
            expectedNames << "Task " + QString::number(i);
        }
        for (int i = 0; i < 3000; i += 10)
            plan.tasks[i].finish = plan.tasks[i + 9].finish;
    } else {
        plan.projectName.clear();
        plan.calendar.setWorkingWeekday(6, true);
        plan.calendar.addHoliday(QDate(2026, 5, 1));
        plan.calendar.addHoliday(QDate(2026, 5, 14));
        plan.calendar.addHoliday(QDate(2026, 5, 15));
        plan.calendar.addHoliday(QDate(2031, 12, 25)); // years after the plan's last task
        add("1", "", QDate(2026, 5, 4), 12);
        expectedNames << "Task 1";
    }
    const QByteArray bytes = written(format, plan);
    QVERIFY(!bytes.isEmpty());
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    PlanFile back;
    QString error;
    QVERIFY2(readAs(format, buffer, back, &error), qPrintable(error + '\n' + bytes));
    QStringList names;
    for (const FileTask& task : back.tasks)
        names << task.name;
    QCOMPARE(names, expectedNames);
    if (awkward == "text")
        QCOMPARE(back.tasks.at(0).notes, plan.tasks.at(0).notes);
    if (awkward == "keys") {
        QCOMPARE(back.tasks.at(1).parentKey, back.tasks.at(0).key);
        QCOMPARE(back.links.size(), 1);
        QCOMPARE(back.links.at(0).predecessorKey, back.tasks.at(1).key);
        QCOMPARE(back.tasks.at(2).milestone, true);
    }
    if (awkward == "loops")
        QCOMPARE(back.links.size(), 0);
    if (awkward == "many") {
        // Every parent, date and link in place (no earliest start after a task's own, as above).
        for (FileTask& task : back.tasks)
            if (task.startNoEarlierThan <= task.start)
                task.startNoEarlierThan = QDate();
        QCOMPARE(back.links.size(), plan.links.size());
        QCOMPARE(shape(back), shape(plan, format == "gan"));
    }
    if (awkward == "calendar") {
        QCOMPARE(back.calendar.isWorkingWeekday(6), true);
        QCOMPARE(back.calendar.isWorkingWeekday(7), false);
        QCOMPARE(back.calendar.isWorkingDay(QDate(2026, 5, 1)), false);
        QCOMPARE(back.calendar.isWorkingDay(QDate(2026, 5, 15)), false);
        QCOMPARE(back.calendar.isWorkingDay(QDate(2026, 5, 16)), true);
        QCOMPARE(back.calendar.isWorkingDay(QDate(2031, 12, 25)), false);
        QCOMPARE(back.tasks.at(0).finish, plan.tasks.at(0).finish);
    }
    if (awkward == "weekend") {
        for (int day = 1; day <= 7; ++day)
            QCOMPARE(back.calendar.isWorkingWeekday(day), day >= 6);
        QCOMPARE(back.tasks.at(0).finish, QDate(2026, 5, 9));
    }
    if (haveXmllint())
        QCOMPARE(xmllint(bytes, format == "xml" ? data + "/msproject-export.xsd" : QString()), QString());
}

void TestPlanFiles::schemaRefusesElementsOutOfOrder() {
    if (!haveXmllint())
        QSKIP("xmllint is not installed (Debian package: libxml2-utils)");
    PlanFile plan;
    QString error;
    QVERIFY2(readFile("ganttproject/task-with-dependencies.gan", plan, &error), qPrintable(error));
    const QByteArray bytes = written("xml", plan);
    QCOMPARE(xmllint(bytes, data + "/msproject-export.xsd"), QString());
    // The schema is no formality: a finish before the start, or a link to no task, is refused.
    QByteArray disordered = bytes;
    const qsizetype start = disordered.indexOf("<Start>", disordered.indexOf("<UID>1</UID>"));
    const qsizetype finish = disordered.indexOf("<Finish>", start);
    const qsizetype end = disordered.indexOf("</Finish>", finish) + qsizetype(sizeof "</Finish>" - 1);
    const QByteArray finishElement = disordered.mid(finish, end - finish);
    disordered.remove(finish, end - finish);
    disordered.insert(start, finishElement);
    QVERIFY(disordered.indexOf("<Finish>", start) < disordered.indexOf("<Start>", start));
    QCOMPARE(disordered.size(), bytes.size());
    QVERIFY(!xmllint(disordered, data + "/msproject-export.xsd").isEmpty());
    QByteArray dangling = bytes;
    dangling.replace("<PredecessorUID>2</PredecessorUID>", "<PredecessorUID>77</PredecessorUID>");
    QVERIFY(dangling != bytes);
    QVERIFY(!xmllint(dangling, data + "/msproject-export.xsd").isEmpty());
}

void TestPlanFiles::refusedInput_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("message"); // the error starts with it

    const QByteArray gan = "<?xml version=\"1.0\"?>\n<project name=\"p\">\n<tasks>\n%1\n</tasks>\n</project>\n";
    const QByteArray planner =
        "<?xml version=\"1.0\"?>\n<project name=\"p\" mrproject-version=\"2\">\n<tasks>\n%1\n</tasks>\n</project>\n";
    const QByteArray entities = "<?xml version=\"1.0\"?>\n<!DOCTYPE project [\n<!ENTITY a \"aaaaaaaaaa\">\n"
                                "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n"
                                "<!ENTITY c SYSTEM \"file:///etc/passwd\">]>\n"
                                "<project name=\"&b;&c;\" mrproject-version=\"2\"/>\n";
    for (const QString& format : {QString("gan"), QString("planner")}) {
        const QByteArray form = format == "gan" ? gan : planner;
        const QString prefix = format + ": ";
        const QString kind = format == "gan" ? "not a GanttProject file" : "not a GNOME Planner file";
        QTest::newRow(qPrintable(prefix + "empty")) << format << QByteArray() << "Line 1: not an XML file";
        QTest::newRow(qPrintable(prefix + "not XML"))
            << format << QByteArray("Task;Start\nA;2026-01-01\n") << "Line 1: not an XML file";
        QTest::newRow(qPrintable(prefix + "another root"))
            << format
            << QByteArray("<?xml version=\"1.0\"?>\n\n<Project xmlns=\"http://schemas.microsoft.com/project\"/>")
            << "Line 3: " + kind;
        QTest::newRow(qPrintable(prefix + "entities and an external one"))
            << format << entities << "Line 5: a document type declaration with entities is not read";
        // Entities that XML itself expands without complaint: only this program's own check refuses them.
        QTest::newRow(qPrintable(prefix + "internal entities only"))
            << format
            << QByteArray(entities).replace("<!ENTITY c SYSTEM \"file:///etc/passwd\">", "").replace("&c;", "")
            << "Line 5: a document type declaration with entities is not read";
        QTest::newRow(qPrintable(prefix + "cut short"))
            << format << QByteArray(form).replace("</tasks>\n</project>\n", "<task")
            << "Line 5: not a well-formed XML file";
    }
    QTest::newRow("planner: an entity with no declaration")
        << "planner" << QByteArray("<?xml version=\"1.0\"?>\n<project mrproject-version=\"2\" name=\"&x;\"/>")
        << "Line 2: not a well-formed XML file";
    QTest::newRow("gan: the other format")
        << "gan" << QByteArray(planner).replace("%1", "") << "Line 2: not a GanttProject file";
    QTest::newRow("planner: the other format")
        << "planner" << QByteArray(gan).replace("%1", "") << "Line 2: not a GNOME Planner file";
    QTest::newRow("gan: a link to a missing task")
        << "gan"
        << QByteArray(gan).replace("%1", "<task id=\"0\" name=\"A\" start=\"2026-01-05\" duration=\"1\">\n"
                                         "<depend id=\"7\" type=\"2\" difference=\"0\"/></task>")
        << "Line 5: a link from task 0 to task 7";
    QTest::newRow("gan: a start out of range")
        << "gan" << QByteArray(gan).replace("%1", "<task id=\"0\" name=\"A\" start=\"1850-01-05\" duration=\"1\"/>")
        << "Line 4: task 0 starts on a date out of range";
    QTest::newRow("gan: no start") << "gan"
                                   << QByteArray(gan).replace("%1", "<task id=\"0\" name=\"A\" duration=\"1\"/>")
                                   << "Line 4: task 0 starts on a date out of range";
    QTest::newRow("gan: a length beyond any date")
        << "gan"
        << QByteArray(gan).replace("%1", "<task id=\"0\" name=\"A\" start=\"2026-01-05\" duration=\"99999999\"/>")
        << "Line 4: task 0 has a length out of range";
    QTest::newRow("gan: a length that ends past the last date")
        << "gan" << QByteArray(gan).replace("%1", "<task id=\"0\" name=\"A\" start=\"2990-01-05\" duration=\"9000\"/>")
        << "Line 4: task 0 ends on a date out of range";
    QTest::newRow("gan: two tasks with one id")
        << "gan"
        << QByteArray(gan).replace("%1", "<task id=\"0\" name=\"A\" start=\"2026-01-05\" duration=\"1\"/>\n"
                                         "<task id=\"0\" name=\"B\" start=\"2026-01-05\" duration=\"1\"/>")
        << "Line 5: a second task with the id 0";
    QTest::newRow("planner: a predecessor that is missing")
        << "planner"
        << QByteArray(planner).replace(
               "%1", "<task id=\"1\" name=\"A\" start=\"20260105T000000Z\" end=\"20260105T170000Z\">\n<predecessors>\n"
                     "<predecessor id=\"1\" predecessor-id=\"5\" type=\"FS\"/>\n</predecessors>\n</task>")
        << "Line 6: task 1 follows task 5";
    QTest::newRow("planner: an end out of range")
        << "planner"
        << QByteArray(planner).replace(
               "%1", "<task id=\"1\" name=\"A\" start=\"20260105T000000Z\" end=\"99990105T170000Z\"/>")
        << "Line 4: task 1 ends on a date out of range";
    QTest::newRow("planner: a lag beyond any date")
        << "planner"
        << QByteArray(planner).replace(
               "%1", "<task id=\"1\" name=\"A\" start=\"20260105T000000Z\" end=\"20260105T170000Z\"/>\n"
                     "<task id=\"2\" name=\"B\" start=\"20260105T000000Z\" end=\"20260105T170000Z\">\n<predecessors>\n"
                     "<predecessor id=\"1\" predecessor-id=\"1\" type=\"FS\" lag=\"99999999999999\"/>\n"
                     "</predecessors>\n</task>")
        << "Line 7: a link of task 2 has a lag out of range";
}

void TestPlanFiles::plainDocumentTypePassedOver() {
    // A declaration that names a document type and declares nothing is read past, its system
    // file never loaded.
    QByteArray input =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE project SYSTEM \"http://example.invalid/mrproject-0.6.dtd\">\n"
        "<project name=\"P\" mrproject-version=\"2\"><tasks><task id=\"1\" name=\"A\" "
        "start=\"20260105T000000Z\" end=\"20260105T170000Z\"/></tasks></project>\n";
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    PlanFile plan;
    QString error;
    QVERIFY2(readPlanner(buffer, plan, &error), qPrintable(error));
    QCOMPARE(plan.tasks.size(), 1);
    QCOMPARE(plan.tasks.at(0).start, QDate(2026, 1, 5));
}

void TestPlanFiles::refusedInput() {
    QFETCH(QString, format);
    QFETCH(QByteArray, input);
    QFETCH(QString, message);
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    PlanFile plan;
    plan.tasks << FileTask{}; // left over from before: must not survive a refusal
    QString error;
    QVERIFY(!readAs(format, buffer, plan, &error));
    QVERIFY2(error.startsWith(message), qPrintable(error));
    QVERIFY(plan.tasks.isEmpty());
    QVERIFY(plan.links.isEmpty());
}

// What a file says in an odd way is read as it means it, or named among what is not kept.
void TestPlanFiles::readAsTheFileMeansIt_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("facts"); // some of facts()
    QTest::addColumn<QString>("notKept");   // the start of one line, if any
    const QByteArray gan = "<?xml version=\"1.0\"?>\n<project name=\"p\">\n<tasks>\n%1\n</tasks>\n</project>\n";
    QTest::newRow("gan: a summary of no length spans its tasks, no milestone")
        << "gan"
        << QByteArray(gan).replace("%1", "<task id=\"1\" name=\"S\" start=\"2026-01-05\" duration=\"0\">\n"
                                         "<task id=\"2\" name=\"A\" start=\"2026-01-06\" duration=\"3\"/></task>")
        << QStringList{"1 2026-01-06..2026-01-08 3", "2 2026-01-06..2026-01-08 3 earliest 2026-01-06"} << "";
    QTest::newRow("gan: a note keeps its trailing blanks")
        << "gan"
        << QByteArray(gan).replace("%1", "<task id=\"1\" name=\"A\" start=\"2026-01-05\" duration=\"1\">"
                                         "<notes><![CDATA[Call back  \n  ]]></notes></task>")
        << QStringList{"1 notes=Call back  \n  "} << "";
    QTest::newRow("planner: an end before the start")
        << "planner"
        << QByteArray("<?xml version=\"1.0\"?>\n<project name=\"p\" mrproject-version=\"2\"><tasks>"
                      "<task id=\"1\" name=\"A\" start=\"20260107T080000Z\" end=\"20260105T170000Z\"/>"
                      "</tasks></project>")
        << QStringList{"1 2026-01-07..2026-01-07 1"} << "1 task that ends before it starts: read as 1 day";
    QTest::newRow("gan: a link of a type GanttProject does not have")
        << "gan"
        << QByteArray(gan).replace("%1", "<task id=\"1\" name=\"A\" start=\"2026-01-05\" duration=\"1\">"
                                         "<depend id=\"2\" type=\"77\"/></task>\n"
                                         "<task id=\"2\" name=\"B\" start=\"2026-01-06\" duration=\"1\"/>")
        << QStringList{"1>2 FS 0"} << "1 link of a type GanttProject does not have (77): read as finish-to-start";
    QTest::newRow("planner: a link of a type Planner does not have")
        << "planner"
        << QByteArray("<?xml version=\"1.0\"?>\n<project name=\"p\" mrproject-version=\"2\"><tasks>"
                      "<task id=\"1\" name=\"A\" start=\"20260105T080000Z\" end=\"20260105T170000Z\"/>"
                      "<task id=\"2\" name=\"B\" start=\"20260106T080000Z\" end=\"20260106T170000Z\">"
                      "<predecessors><predecessor id=\"1\" predecessor-id=\"1\" type=\"XY\"/></predecessors>"
                      "</task></tasks></project>")
        << QStringList{"1>2 FS 0"} << "1 link of a type Planner does not have (XY): read as finish-to-start";
    const QByteArray msp = "<?xml version=\"1.0\"?><Project xmlns=\"http://schemas.microsoft.com/project\">"
                           "<StartDate>2026-01-05T08:00:00</StartDate><Tasks>%1</Tasks></Project>";
    QTest::newRow("MS Project: 0 hours, not flagged: a milestone")
        << "xml"
        << QByteArray(msp).replace("%1", "<Task><UID>1</UID><Name>M</Name><OutlineNumber>1</OutlineNumber>"
                                         "<OutlineLevel>1</OutlineLevel><Start>2026-01-07T17:00:00</Start>"
                                         "<Finish>2026-01-07T17:00:00</Finish><Duration>PT0H0M0S</Duration>"
                                         "<Milestone>0</Milestone></Task>")
        << QStringList{"1 2026-01-07..2026-01-07 0 milestone earliest 2026-01-02"} << "";
}

void TestPlanFiles::readAsTheFileMeansIt() {
    QFETCH(QString, format);
    QFETCH(QByteArray, input);
    QFETCH(QStringList, facts);
    QFETCH(QString, notKept);
    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    PlanFile plan;
    QString error;
    QVERIFY2(readAs(format, buffer, plan, &error), qPrintable(error));
    QStringList all = ::facts(plan);
    for (const FileTask& task : plan.tasks)
        all << task.key + " notes=" + task.notes;
    // Through our own GanttProject file and back, the same.
    const QByteArray gan = written("gan", plan);
    QBuffer again;
    again.setData(gan);
    again.open(QIODevice::ReadOnly);
    PlanFile back;
    QVERIFY2(readGanttProject(again, back, &error), qPrintable(error));
    for (const FileTask& task : back.tasks)
        all << "back " + task.key + " notes=" + task.notes;
    for (const QString& fact : facts)
        QVERIFY2(all.contains(fact), qPrintable(fact + " not in\n" + all.join('\n')));
    if (format == "gan")
        for (const FileTask& task : plan.tasks)
            QVERIFY2(all.contains("back " + task.key + " notes=" + task.notes), qPrintable(all.join('\n')));
    if (!notKept.isEmpty())
        QVERIFY2(!plan.notKept.filter(notKept).isEmpty(), qPrintable(plan.notKept.join('\n')));
}

QTEST_GUILESS_MAIN(TestPlanFiles)
#include "tst_plan_files.moc"
