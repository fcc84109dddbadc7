// The working calendar: stored and read back on both kinds of database, linked tasks following
// a change of it, and a week without a working day refused in the dialog.
#include "app/Database.h"
#include "app/UndoSteps.h"
#include "editors/EditorTestUtil.h"
#include "scheduling/PlanStore.h"
#include "support/TestSupport.h"
#include "working_calendar/WorkingDaysDialog.h"

#include <QCheckBox>
#include <QtTest>

class TestWorkingDays : public QObject {
    Q_OBJECT
private slots:
    void calendarIsKeptAndLinkedTasksFollow_data();
    void calendarIsKeptAndLinkedTasksFollow();
    void weekWithoutWorkingDayIsRefused();
};

void TestWorkingDays::calendarIsKeptAndLinkedTasksFollow_data() {
    QTest::addColumn<int>("dayOff");      // a weekday (1 = Monday) not worked any more; 0: none
    QTest::addColumn<QString>("holiday"); // empty: none
    QTest::addColumn<QString>("successor");
    // A: Mon 4 - Fri 8 January 2027 (five working days), B two days, linked A -> B (FS).
    QTest::newRow("Monday to Friday") << 0 << ""
                                      << "2027-01-11|2027-01-12";
    QTest::newRow("a holiday on the Monday after") << 0 << "2027-01-11"
                                                   << "2027-01-12|2027-01-13";
    QTest::newRow("Fridays off") << 5 << ""
                                 << "2027-01-12|2027-01-13";
}

void TestWorkingDays::calendarIsKeptAndLinkedTasksFollow() {
    QFETCH(int, dayOff);
    QFETCH(QString, holiday);
    QFETCH(QString, successor);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    TestEnvironment::exec(QStringLiteral("insert into Projects (ID, ProjectName, Owner) values (1, 'Plan', 0)"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ID, ProjectID, Title, StartDate, DueDate) values "
                                         "(1, 1, 'A', '2027-01-04', '2027-01-08')"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ID, ProjectID, Title, StartDate, DueDate) values "
                                         "(2, 1, 'B', '2027-01-04', '2027-01-05')"));
    QCOMPARE(PlanStore::link(1, {1, 2, LinkKind::FinishToStart, 0}).kind, PlanStore::Outcome::Kind::Saved);
    UndoSteps::shared().attach(Database::shared());
    UndoSteps::shared().clear();

    WorkingCalendar::Calendar calendar = WorkingCalendar::read();
    QCOMPARE(std::vector<bool>(std::begin(calendar.working), std::end(calendar.working)),
             (std::vector<bool>{true, true, true, true, true, false, false}));
    if (dayOff > 0)
        calendar.working[dayOff - 1] = false;
    if (!holiday.isEmpty())
        calendar.holidays.append({QDate::fromString(holiday, Qt::ISODate), QStringLiteral("Closed")});
    WorkingCalendar::write(calendar);

    const WorkingCalendar::Calendar back = WorkingCalendar::read();
    QCOMPARE(back.holidays.size(), holiday.isEmpty() ? 0 : 1);
    if (dayOff > 0)
        QVERIFY(!back.working[dayOff - 1]);
    // B follows the working days; A keeps the length it has in them.
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select StartDate, DueDate from Tasks where ID=2")),
             QStringList{successor});

    // Undone, the moves are scheduled again on the calendar kept: no task stands on a day off.
    // What that rescheduling wrote is the program's own, so Redo and Undo go on without taking
    // it for someone else's change, and each lands on working days again.
    const WorkCalendar kept = PlanStore::readCalendar();
    auto onWorkingDays = [&] {
        for (const QString& row : TestEnvironment::rows(QStringLiteral("select StartDate, DueDate from Tasks"))) {
            const QStringList dates = row.split(QLatin1Char('|'));
            QVERIFY2(kept.isWorkingDay(QDate::fromString(dates[0], Qt::ISODate)) &&
                         kept.isWorkingDay(QDate::fromString(dates[1], Qt::ISODate)),
                     qPrintable(row));
        }
    };
    const bool moved = UndoSteps::shared().canUndo();
    QCOMPARE(moved, dayOff > 0 || !holiday.isEmpty());
    if (moved) {
        UndoSteps::shared().undo();
        onWorkingDays();
        UndoSteps::shared().redo();
        QCOMPARE(TestEnvironment::rows(QStringLiteral("select StartDate, DueDate from Tasks where ID=2")),
                 QStringList{successor});
        UndoSteps::shared().undo();
        onWorkingDays();
        QVERIFY(messages.shown().empty());
    }
    Database::shared().setHistoryListener({});
}

void TestWorkingDays::weekWithoutWorkingDayIsRefused() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    WorkingDaysDialog dialog;
    for (int day = 1; day <= 7; ++day)
        EditorTest::child<QCheckBox>(&dialog, qPrintable(QStringLiteral("Weekday%1").arg(day)))->setChecked(false);
    QVERIFY(!dialog.save());
    QCOMPARE(messages.notices(), QStringList{"At least one weekday must be a working day."});
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from WorkingDays where Weekday < 6 and "
                                                    "Working = (1=1)"))
                 .toInt(),
             5);
}

QTEST_MAIN(TestWorkingDays)
#include "tst_workingdays.moc"
