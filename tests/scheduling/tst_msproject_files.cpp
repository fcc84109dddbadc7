// The scheduler against MS Project: real files saved by MS Project hold its computed dates and
// slack next to the lengths, links, lags and constraints. Each file is read into a plan, our
// schedule made, and every task's dates compared day by day with MS Project's; tasks using what
// the plan does not hold are listed with the reason and left out of the comparison.
#include "plan_files/MsProjectXml.h"
#include "scheduling/Scheduler.h"

#include <QBuffer>
#include <QFile>
#include <QtTest>

class TestMsProjectFiles : public QObject {
    Q_OBJECT
private slots:
    void sameDatesAsMsProject_data();
    void sameDatesAsMsProject();
    void calendars_data();
    void calendars();
    void refusedFiles_data();
    void refusedFiles();
};

void TestMsProjectFiles::sameDatesAsMsProject_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("compared");        // tasks whose dates are compared
    QTest::addColumn<int>("links");           // links in the plan
    QTest::addColumn<QString>("unscheduled"); // "uid: reason" of the tasks left out, in file order
    QTest::newRow("four link kinds") << "mspdirelations.xml" << 5 << 4 << "";
    QTest::newRow("lags in days and weeks") << "task-links-project2007-mspdi.xml" << 16 << 8 << "";
    QTest::newRow("outline, milestone, constraints")
        << "sample.xml" << 17 << 6 << "1: holds a task left out; 2: its work follows another calendar (a resource's)";
}

void TestMsProjectFiles::sameDatesAsMsProject() {
    QFETCH(QString, file);
    QFETCH(int, compared);
    QFETCH(int, links);
    QFETCH(QString, unscheduled);
    QFile device(QStringLiteral(FENNICK_TEST_DATA "/msproject/") + file);
    QVERIFY(device.open(QIODevice::ReadOnly));
    MsProjectXml::Project project;
    QString error;
    QVERIFY2(MsProjectXml::read(device, project, &error), qPrintable(error));
    const WorkCalendar calendar = MsProjectXml::workCalendar(project);
    const MsProjectXml::Import import = MsProjectXml::toPlan(project, calendar);
    QCOMPARE(static_cast<int>(import.plan.links().size()), links);
    // The linked tasks' own dates are moved away first (their lengths kept), so that their dates
    // come from the links alone and not from the file's answers.
    Plan plan = import.plan;
    int shift = 7;
    for (const PlanLink& link : import.plan.links()) {
        PlanTask task = *plan.task(link.successor);
        task.start = calendar.addWorkingDays(task.start, shift);
        task.finish = calendar.addWorkingDays(task.finish, shift);
        plan.addTask(task);
        shift = shift > 0 ? -shift - 3 : -shift + 5;
    }
    const Schedule schedule = Scheduling::schedule(plan, calendar);
    QVERIFY(schedule.ok());

    // Left out: what the plan cannot hold, and the summaries above it.
    QHash<qint64, QString> leftOut;
    for (const MsProjectXml::Unscheduled& task : import.unscheduled)
        leftOut.insert(task.uid, task.reason);
    for (bool more = true; more;) {
        more = false;
        for (const PlanTask& task : import.plan.tasks())
            if (leftOut.contains(task.id) && task.parentId && !leftOut.contains(task.parentId)) {
                leftOut.insert(task.parentId, "holds a task left out");
                more = true;
            }
    }
    QStringList listed;
    for (const MsProjectXml::Task& task : project.tasks)
        if (leftOut.contains(task.uid))
            listed << QString("%1: %2").arg(task.uid).arg(leftOut.value(task.uid));
    QCOMPARE(listed.join("; "), unscheduled);

    int checked = 0;
    const qint64 tenthsPerDay = project.minutesPerDay * 10;
    for (const MsProjectXml::Task& task : project.tasks) {
        const qsizetype at = plan.indexOf(task.uid);
        if (at < 0 || leftOut.contains(task.uid))
            continue;
        const ScheduledTask& ours = schedule.tasks[static_cast<size_t>(at)];
        const QDate start = task.milestone ? MsProjectXml::finishDay(project, calendar, task.start)
                                           : MsProjectXml::startDay(project, calendar, task.start);
        const QDate finish = task.milestone ? start : MsProjectXml::finishDay(project, calendar, task.finish);
        const QString what = QString("task %1 (%2)").arg(task.uid).arg(task.name);
        QVERIFY2(ours.start == start, qPrintable(what + ": start " + ours.start.toString(Qt::ISODate) +
                                                 ", MS Project " + start.toString(Qt::ISODate)));
        QVERIFY2(ours.finish == finish, qPrintable(what + ": finish " + ours.finish.toString(Qt::ISODate) +
                                                   ", MS Project " + finish.toString(Qt::ISODate)));
        QCOMPARE(ours.summary, task.summary);
        QCOMPARE(ours.milestone, task.milestone);
        if (task.hasTotalSlack) {
            QVERIFY2(ours.totalSlack * tenthsPerDay == task.totalSlack,
                     qPrintable(what + QString(": slack %1 days, MS Project %2 tenths of a minute")
                                           .arg(ours.totalSlack)
                                           .arg(task.totalSlack)));
        }
        ++checked;
    }
    QCOMPARE(checked, compared);
}

// A base calendar of six days a week with Christmas off, a yearly holiday and a working Sunday
// (neither of which is held), and a calendar on it that also gives Mondays off.
const char calendarFile[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<Project xmlns="http://schemas.microsoft.com/project">
  <CalendarUID>%1</CalendarUID>
  <Calendars>
    <Calendar><UID>1</UID><Name>Six days</Name><BaseCalendarUID>-1</BaseCalendarUID>
      <WeekDays>
        <WeekDay><DayType>1</DayType><DayWorking>0</DayWorking></WeekDay>
        <WeekDay><DayType>2</DayType><DayWorking>1</DayWorking></WeekDay>
        <WeekDay><DayType>3</DayType><DayWorking>1</DayWorking></WeekDay>
        <WeekDay><DayType>4</DayType><DayWorking>1</DayWorking></WeekDay>
        <WeekDay><DayType>5</DayType><DayWorking>1</DayWorking></WeekDay>
        <WeekDay><DayType>6</DayType><DayWorking>1</DayWorking></WeekDay>
        <WeekDay><DayType>7</DayType><DayWorking>1</DayWorking></WeekDay>
      </WeekDays>
      <Exceptions>
        <Exception><TimePeriod><FromDate>2026-12-24T00:00:00</FromDate><ToDate>2026-12-25T23:59:00</ToDate>
          </TimePeriod><Occurrences>1</Occurrences><Name>Christmas</Name><Type>1</Type><DayWorking>0</DayWorking>
        </Exception>
        <Exception><TimePeriod><FromDate>2026-01-01T00:00:00</FromDate><ToDate>2030-01-01T23:59:00</ToDate>
          </TimePeriod><Occurrences>5</Occurrences><Name>New Year</Name><Type>2</Type><Month>0</Month>
          <MonthDay>1</MonthDay><DayWorking>0</DayWorking></Exception>
        <Exception><TimePeriod><FromDate>2026-12-20T00:00:00</FromDate><ToDate>2026-12-20T23:59:00</ToDate>
          </TimePeriod><Type>1</Type><DayWorking>1</DayWorking></Exception>
      </Exceptions>
    </Calendar>
    <Calendar><UID>2</UID><Name>No Mondays</Name><BaseCalendarUID>1</BaseCalendarUID>
      <WeekDays><WeekDay><DayType>2</DayType><DayWorking>0</DayWorking></WeekDay></WeekDays>
    </Calendar>
  </Calendars>
</Project>)";

void TestMsProjectFiles::calendars_data() {
    QTest::addColumn<int>("calendarUid");
    QTest::addColumn<QString>("working"); // each day from Monday 21 to Sunday 27 December 2026: 1 worked
    QTest::addColumn<QString>("newYear"); // 1 January 2027 (a Friday), left worked
    QTest::newRow("six days, Christmas off") << 1 << "1110010"
                                             << "1";
    QTest::newRow("based on it, Mondays off too") << 2 << "0110010"
                                                  << "1";
    QTest::newRow("an unknown calendar: Monday to Friday") << 9 << "1111100"
                                                           << "1";
}

void TestMsProjectFiles::calendars() {
    QFETCH(int, calendarUid);
    QFETCH(QString, working);
    QFETCH(QString, newYear);
    QByteArray content = QString::fromLatin1(calendarFile).arg(calendarUid).toUtf8();
    QBuffer buffer(&content);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    MsProjectXml::Project project;
    QString error;
    QVERIFY2(MsProjectXml::read(buffer, project, &error), qPrintable(error));
    QCOMPARE(project.calendars.size(), 2);
    QCOMPARE(project.calendars[0].exceptionsNotRead, 2);
    const WorkCalendar calendar = MsProjectXml::workCalendar(project);
    QString got;
    for (QDate d(2026, 12, 21); d <= QDate(2026, 12, 27); d = d.addDays(1))
        got += calendar.isWorkingDay(d) ? '1' : '0';
    QCOMPARE(got, working);
    QCOMPARE(calendar.isWorkingDay(QDate(2027, 1, 1)) ? "1" : "0", newYear);
}

void TestMsProjectFiles::refusedFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");
    QTest::newRow("another XML file") << QByteArray("<?xml version=\"1.0\"?><project><Tasks/></project>")
                                      << "Line 1: not an MS Project XML file";
    QTest::newRow("a document type with an entity")
        << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE Project [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n"
                      "<Project xmlns=\"http://schemas.microsoft.com/project\"><Name>&x;</Name></Project>")
        << "Line 2: a document type declaration is not read";
    QTest::newRow("cut short") << QByteArray("<?xml version=\"1.0\"?>\n<Project "
                                             "xmlns=\"http://schemas.microsoft.com/project\"><Tasks><Task><UID>1")
                               << "Line 2: Premature end of document.";
}

void TestMsProjectFiles::refusedFiles() {
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    QBuffer buffer(&content);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    MsProjectXml::Project project;
    QString message;
    QVERIFY(!MsProjectXml::read(buffer, project, &message));
    QCOMPARE(message, error);
}

QTEST_GUILESS_MAIN(TestMsProjectFiles)
#include "tst_msproject_files.moc"
