// The scheduling engine without a database: the working-day calendar against a day-by-day
// count, a table of hand-made cases (each link kind with lags across a weekend and a holiday,
// milestones, an outline, "start no earlier than"), and seeded random plans checked against a
// plain fixed-point schedule, with moves and loops.
#include "scheduling/Scheduler.h"

#include <QtTest>

#include <random>
#include <set>

namespace {

QDate day(const char* text) {
    return QDate::fromString(QString::fromLatin1(text), Qt::ISODate);
}

LinkKind kindOf(const QString& name) {
    if (name == "SS")
        return LinkKind::StartToStart;
    if (name == "FF")
        return LinkKind::FinishToFinish;
    if (name == "SF")
        return LinkKind::StartToFinish;
    return LinkKind::FinishToStart;
}

// A task's working days [s, e) read back from its dates, by the rule the engine documents.
struct Span {
    int s;
    int e;
};
Span spanOf(const WorkCalendar& calendar, const ScheduledTask& task) {
    if (task.milestone) {
        const int at = calendar.ordinalAfter(task.start);
        return {at, at};
    }
    return {calendar.ordinalOf(task.start), calendar.ordinalAfter(task.finish)};
}

// Whether a link holds between the working days its two tasks occupy.
bool satisfied(LinkKind kind, int lag, Span pred, Span succ) {
    switch (kind) {
    case LinkKind::FinishToStart:
        return succ.s >= pred.e + lag;
    case LinkKind::StartToStart:
        return succ.s >= pred.s + lag;
    case LinkKind::FinishToFinish:
        return succ.e >= pred.e + lag;
    case LinkKind::StartToFinish:
        return succ.e >= pred.s + lag;
    }
    return false;
}

} // namespace

class TestScheduling : public QObject {
    Q_OBJECT
private slots:
    void calendarSteps_data();
    void calendarSteps();
    void calendarAgainstCounting();
    void linkCases_data();
    void linkCases();
    void drags_data();
    void drags();
    void oddDates_data();
    void oddDates();
    void outline();
    void outlineLoops_data();
    void outlineLoops();
    void indents_data();
    void indents();
    void randomPlans_data();
    void randomPlans();
};

void TestScheduling::calendarSteps_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("holidays");
    QTest::addColumn<QString>("weekdays"); // worked, 1 = Monday
    QTest::addColumn<QDate>("expected");
    QTest::addColumn<int>("between"); // working days in [from, expected]
    const QString week = "12345";
    QTest::newRow("Friday + 1 is Monday") << day("2026-12-04") << 1 << "" << week << day("2026-12-07") << 2;
    QTest::newRow("Monday - 1 is Friday") << day("2026-12-07") << -1 << "" << week << day("2026-12-04") << 0;
    QTest::newRow("Saturday + 0 is Monday") << day("2026-12-05") << 0 << "" << week << day("2026-12-07") << 1;
    QTest::newRow("Sunday - 1 is Friday") << day("2026-12-06") << -1 << "" << week << day("2026-12-04") << 0;
    QTest::newRow("over a holiday Monday") << day("2026-12-04") << 1 << "2026-12-07" << week << day("2026-12-08") << 2;
    QTest::newRow("back over a holiday") << day("2026-12-08") << -1 << "2026-12-07" << week << day("2026-12-04") << 0;
    QTest::newRow("from a holiday") << day("2026-12-25") << 0 << "2026-12-25" << week << day("2026-12-28") << 1;
    QTest::newRow("a year of weeks") << day("2026-01-05") << 260 << "" << week << day("2027-01-04") << 261;
    QTest::newRow("a year back") << day("2026-01-05") << -260 << "" << week << day("2025-01-06") << 0;
    QTest::newRow("Sunday to Thursday week") << day("2026-12-03") << 1 << ""
                                             << "71234" << day("2026-12-06") << 2;
    QTest::newRow("six-day week") << day("2026-12-05") << 1 << ""
                                  << "123456" << day("2026-12-07") << 2;
    QTest::newRow("a run of holidays") << day("2026-12-24") << 1 << "2026-12-25,2026-12-28,2026-12-29,2026-12-30"
                                       << week << day("2026-12-31") << 2;
}

void TestScheduling::calendarSteps() {
    QFETCH(QDate, from);
    QFETCH(int, n);
    QFETCH(QString, holidays);
    QFETCH(QString, weekdays);
    QFETCH(QDate, expected);
    QFETCH(int, between);
    WorkCalendar calendar;
    for (int d = 1; d <= 7; ++d)
        calendar.setWorkingWeekday(d, true);
    for (int d = 1; d <= 7; ++d)
        calendar.setWorkingWeekday(d, weekdays.contains(QString::number(d)));
    for (const QString& holiday : holidays.split(',', Qt::SkipEmptyParts))
        calendar.addHoliday(QDate::fromString(holiday, Qt::ISODate));
    QCOMPARE(calendar.addWorkingDays(from, n), expected);
    QCOMPARE(calendar.workingDaysBetween(from, expected), between);
    // The same answer from a calendar whose table was first built elsewhere (grown both ways).
    WorkCalendar far = calendar;
    far.ordinalOf(from.addYears(3));
    QCOMPARE(far.addWorkingDays(from, n), expected);
    // A week without working days is refused.
    for (int d = 1; d <= 7; ++d)
        calendar.setWorkingWeekday(d, false);
    QString sorted = weekdays;
    std::sort(sorted.begin(), sorted.end());
    QVERIFY(calendar.isWorkingWeekday(sorted.right(1).toInt()));
}

void TestScheduling::calendarAgainstCounting() {
    std::mt19937 random(2112);
    for (int round = 0; round < 20; ++round) {
        WorkCalendar calendar;
        std::set<qint64> holidays;
        const QDate base(2020 + round % 7, 1 + round % 12, 1);
        if (round % 3 == 0)
            calendar.setWorkingWeekday(6, true);
        for (int h = 0; h < 40; ++h) {
            const QDate holiday = base.addDays(static_cast<int>(random() % 900) - 300);
            calendar.addHoliday(holiday);
            holidays.insert(holiday.toJulianDay());
        }
        auto works = [&](QDate d) {
            return !holidays.count(d.toJulianDay()) && (d.dayOfWeek() <= 5 || (round % 3 == 0 && d.dayOfWeek() == 6));
        };
        // Asked out of order, so the table grows in both directions.
        for (int probe = 0; probe < 50; ++probe) {
            const QDate a = base.addDays(static_cast<int>(random() % 1400) - 700);
            const QDate b = a.addDays(static_cast<int>(random() % 400));
            int counted = 0;
            for (QDate d = a; d <= b; d = d.addDays(1))
                counted += works(d) ? 1 : 0;
            QCOMPARE(calendar.workingDaysBetween(a, b), counted);
            QCOMPARE(calendar.isWorkingDay(a), works(a));
            const int n = static_cast<int>(random() % 61) - 30;
            QDate stepped = a;
            while (!works(stepped))
                stepped = stepped.addDays(1);
            for (int k = 0; k < std::abs(n); ++k) {
                do
                    stepped = stepped.addDays(n < 0 ? -1 : 1);
                while (!works(stepped));
            }
            QCOMPARE(calendar.addWorkingDays(a, n), stepped);
        }
    }
}

// Task A is Wednesday 9 to Friday 11 December 2026 (three days, unlinked, so it keeps its
// dates); task B (two days, or a milestone) is linked after it and starts as early as the link
// allows. A milestone at the start of its day (as other planners' files put them) stands at the
// same moment as one at the end of the working day before, and is dated on the later day.
void TestScheduling::linkCases_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("lag");
    QTest::addColumn<QString>("holidays");
    QTest::addColumn<bool>("aMilestone"); // A then stands at the end of Friday 11
    QTest::addColumn<bool>("bMilestone");
    QTest::addColumn<QDate>("bNoEarlier");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("finish");
    QTest::addColumn<bool>("atDayStart"); // the milestones stand at the start of their day
    const QDate none;
    bool atDayStart = false;
    auto row = [&](const char* name, const char* kind, int lag, const char* holidays, bool aMilestone, bool bMilestone,
                   QDate noEarlier, const char* start, const char* finish) {
        QTest::newRow(name) << QString(kind) << lag << QString(holidays) << aMilestone << bMilestone << noEarlier
                            << day(start) << day(finish) << atDayStart;
    };
    row("FS 0 over the weekend", "FS", 0, "", false, false, none, "2026-12-14", "2026-12-15");
    row("FS +1", "FS", 1, "", false, false, none, "2026-12-15", "2026-12-16");
    row("FS -1 back over the weekend", "FS", -1, "", false, false, none, "2026-12-11", "2026-12-14");
    row("FS 0 over a holiday Monday", "FS", 0, "2026-12-14", false, false, none, "2026-12-15", "2026-12-16");
    row("FS -1 with A's Thursday a holiday", "FS", -1, "2026-12-10", false, false, none, "2026-12-11", "2026-12-14");
    row("FS -2 lands before the holiday", "FS", -2, "2026-12-10", false, false, none, "2026-12-09", "2026-12-11");
    row("SS 0", "SS", 0, "", false, false, none, "2026-12-09", "2026-12-10");
    row("SS +2 over the weekend", "SS", 2, "", false, false, none, "2026-12-11", "2026-12-14");
    row("SS -1", "SS", -1, "", false, false, none, "2026-12-08", "2026-12-09");
    row("SS +3 over a holiday", "SS", 3, "2026-12-14", false, false, none, "2026-12-15", "2026-12-16");
    row("FF 0", "FF", 0, "", false, false, none, "2026-12-10", "2026-12-11");
    row("FF +1 over the weekend", "FF", 1, "", false, false, none, "2026-12-11", "2026-12-14");
    row("FF -3", "FF", -3, "", false, false, none, "2026-12-07", "2026-12-08");
    row("FF +1 over a holiday", "FF", 1, "2026-12-14", false, false, none, "2026-12-11", "2026-12-15");
    row("SF 0", "SF", 0, "", false, false, none, "2026-12-07", "2026-12-08");
    row("SF +2", "SF", 2, "", false, false, none, "2026-12-09", "2026-12-10");
    row("SF -1 back over the weekend", "SF", -1, "", false, false, none, "2026-12-04", "2026-12-07");
    row("SF -1 over a holiday Friday", "SF", -1, "2026-12-04", false, false, none, "2026-12-03", "2026-12-07");
    row("milestone after a task", "FS", 0, "", false, true, none, "2026-12-11", "2026-12-11");
    row("milestone after a task, +1", "FS", 1, "", false, true, none, "2026-12-14", "2026-12-14");
    row("milestone at a task's start", "SS", 0, "", false, true, none, "2026-12-08", "2026-12-08");
    row("task after a milestone", "FS", 0, "", true, false, none, "2026-12-14", "2026-12-15");
    row("task after a milestone, -1", "FS", -1, "", true, false, none, "2026-12-11", "2026-12-14");
    row("task finishing with a milestone", "FF", 0, "", true, false, none, "2026-12-10", "2026-12-11");
    row("no earlier than, later than the link", "FS", 0, "", false, false, day("2026-12-16"), "2026-12-16",
        "2026-12-17");
    row("no earlier than, earlier than the link", "FS", 0, "", false, false, day("2026-12-01"), "2026-12-14",
        "2026-12-15");
    row("no earlier than a Saturday", "SS", 0, "", false, false, day("2026-12-12"), "2026-12-14", "2026-12-15");
    row("milestone no earlier than", "FS", 0, "", false, true, day("2026-12-15"), "2026-12-15", "2026-12-15");
    atDayStart = true;
    row("milestone at the start of a day, after a task", "FS", 0, "", false, true, none, "2026-12-14", "2026-12-14");
    row("milestone at the start of a day, after a task, +1", "FS", 1, "", false, true, none, "2026-12-15",
        "2026-12-15");
    row("milestone at the start of a day, at a task's start", "SS", 0, "", false, true, none, "2026-12-09",
        "2026-12-09");
    row("milestone at the start of a day, no earlier than", "FS", 0, "", false, true, day("2026-12-16"), "2026-12-16",
        "2026-12-16");
    row("task after a milestone at the start of Monday", "FS", 0, "", true, false, none, "2026-12-14", "2026-12-15");
    atDayStart = false;
    // 100,000 working days of 5 in 7 after Monday 14 December 2026, then back: no overflow.
    row("a lag beyond all reason is held", "FS", INT_MAX, "", false, false, none, "2410-04-05", "2410-04-06");
    row("a lead beyond all reason is held", "FS", INT_MIN, "", false, false, none, "1643-08-24", "1643-08-25");
}

void TestScheduling::linkCases() {
    QFETCH(QString, kind);
    QFETCH(int, lag);
    QFETCH(QString, holidays);
    QFETCH(bool, aMilestone);
    QFETCH(bool, bMilestone);
    QFETCH(QDate, bNoEarlier);
    QFETCH(QDate, start);
    QFETCH(QDate, finish);
    QFETCH(bool, atDayStart);
    WorkCalendar calendar;
    for (const QString& holiday : holidays.split(',', Qt::SkipEmptyParts))
        calendar.addHoliday(QDate::fromString(holiday, Qt::ISODate));
    Plan plan;
    // A milestone A stands at the end of Friday 11, or at the start of Monday 14: the same moment.
    const QDate aDay = atDayStart ? day("2026-12-14") : day("2026-12-11");
    PlanTask taskA{1, 0, aMilestone ? aDay : day("2026-12-09"), aMilestone ? aDay : day("2026-12-11"), aMilestone, {}};
    taskA.atDayStart = atDayStart;
    plan.addTask(taskA);
    // B's own dates lie far away: a linked task goes where its link puts it.
    PlanTask taskB{2, 0, day("2026-11-02"), bMilestone ? day("2026-11-02") : day("2026-11-03"), bMilestone, bNoEarlier};
    taskB.atDayStart = atDayStart;
    plan.addTask(taskB);
    plan.addLink({1, 2, kindOf(kind), lag});
    const Schedule schedule = Scheduling::schedule(plan, calendar);
    QVERIFY(schedule.ok());
    const ScheduledTask& a = schedule.tasks[0];
    const ScheduledTask& b = schedule.tasks[1];
    QCOMPARE(a.start, aMilestone ? aDay : day("2026-12-09"));
    QCOMPARE(a.finish, aMilestone ? aDay : day("2026-12-11"));
    QCOMPARE(b.start, start);
    QCOMPARE(b.finish, finish);
    // Without slack, the late dates are the early ones, whichever way a milestone is dated.
    if (b.totalSlack == 0) {
        QCOMPARE(b.lateStart, b.start);
        QCOMPARE(b.lateFinish, b.finish);
    }
    QCOMPARE(b.milestone, bMilestone);
    QVERIFY(b.linked);
    QVERIFY(!a.linked);
    // The one that ends last is critical; nothing has negative slack.
    QVERIFY(a.totalSlack >= 0 && b.totalSlack >= 0);
    QVERIFY(a.critical || b.critical);
    if (b.finish > a.finish)
        QVERIFY(b.critical);
}

// A chain A -> B -> C (finish-to-start; A Monday 7 to Wednesday 9 December 2026, B and C two
// days each), then what a user does in the timeline: move or lengthen a task, by a drag or a
// typed date; the others follow.
void TestScheduling::drags_data() {
    QTest::addColumn<qint64>("task");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("finish");
    QTest::addColumn<QString>("expected");      // A, B and C as start..finish
    QTest::addColumn<QList<qint64>>("changed"); // what a save writes
    QTest::newRow("nothing moved") << qint64(0) << QDate() << QDate()
                                   << "2026-12-07..2026-12-09 2026-12-10..2026-12-11 2026-12-14..2026-12-15"
                                   << QList<qint64>{};
    QTest::newRow("A three days later: both follow, over the weekend")
        << qint64(1) << day("2026-12-10") << day("2026-12-14")
        << "2026-12-10..2026-12-14 2026-12-15..2026-12-16 2026-12-17..2026-12-18" << QList<qint64>{2, 3};
    QTest::newRow("A two days longer") << qint64(1) << day("2026-12-07") << day("2026-12-11")
                                       << "2026-12-07..2026-12-11 2026-12-14..2026-12-15 2026-12-16..2026-12-17"
                                       << QList<qint64>{2, 3};
    QTest::newRow("A a week earlier: both come back")
        << qint64(1) << day("2026-11-30") << day("2026-12-02")
        << "2026-11-30..2026-12-02 2026-12-03..2026-12-04 2026-12-07..2026-12-08" << QList<qint64>{2, 3};
    QTest::newRow("B dragged later: its date holds, C follows")
        << qint64(2) << day("2026-12-16") << day("2026-12-17")
        << "2026-12-07..2026-12-09 2026-12-16..2026-12-17 2026-12-18..2026-12-21" << QList<qint64>{3};
    QTest::newRow("B dragged earlier than A allows: A's finish holds it")
        << qint64(2) << day("2026-12-01") << day("2026-12-02")
        << "2026-12-07..2026-12-09 2026-12-10..2026-12-11 2026-12-14..2026-12-15" << QList<qint64>{2};
    QTest::newRow("C given four days") << qint64(3) << day("2026-12-14") << day("2026-12-17")
                                       << "2026-12-07..2026-12-09 2026-12-10..2026-12-11 2026-12-14..2026-12-17"
                                       << QList<qint64>{};
}

void TestScheduling::drags() {
    QFETCH(qint64, task);
    QFETCH(QDate, start);
    QFETCH(QDate, finish);
    QFETCH(QString, expected);
    QFETCH(QList<qint64>, changed);
    Plan plan;
    plan.addTask({1, 0, day("2026-12-07"), day("2026-12-09"), false, {}});
    plan.addTask({2, 0, day("2026-12-10"), day("2026-12-11"), false, {}});
    plan.addTask({3, 0, day("2026-12-14"), day("2026-12-15"), false, {}});
    plan.addLink({1, 2, LinkKind::FinishToStart, 0});
    plan.addLink({2, 3, LinkKind::FinishToStart, 0});
    if (task)
        QVERIFY(plan.moveTask(task, start, finish));
    const Schedule schedule = Scheduling::schedule(plan, WorkCalendar());
    QStringList got;
    for (const ScheduledTask& t : schedule.tasks)
        got << t.start.toString(Qt::ISODate) + ".." + t.finish.toString(Qt::ISODate);
    QCOMPARE(got.join(' '), expected);
    QCOMPARE(schedule.changedTasks(plan), changed);
    // Moving a task no link reaches is taken as it is.
    QVERIFY(plan.moveTask(1, day("2026-12-08"), day("2026-12-08")));
    QCOMPARE(Scheduling::schedule(plan, WorkCalendar()).tasks[0].finish, day("2026-12-08"));
    QVERIFY(!plan.moveTask(99, start, finish));
}

// Tasks as a database may hold them: dates missing or the wrong way round. They are scheduled
// on what there is, never on a date millions of years away.
void TestScheduling::oddDates_data() {
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("finish");
    QTest::addColumn<bool>("linked"); // finish-to-start after A, Wednesday 9 to Friday 11
    QTest::addColumn<QDate>("expectedStart");
    QTest::addColumn<QDate>("expectedFinish");
    QTest::addColumn<bool>("milestone");
    const QDate none;
    QTest::newRow("no dates, linked") << none << none << true << day("2026-12-14") << day("2026-12-14") << false;
    QTest::newRow("no dates, unlinked: at the plan's first date")
        << none << none << false << day("2026-12-09") << day("2026-12-09") << false;
    QTest::newRow("only a due date, linked")
        << none << day("2026-12-01") << true << day("2026-12-14") << day("2026-12-14") << false;
    QTest::newRow("finish before start, unlinked: one day")
        << day("2026-12-11") << day("2026-12-07") << false << day("2026-12-11") << day("2026-12-11") << false;
    QTest::newRow("a weekend only, linked: no working day, so a milestone")
        << day("2026-12-05") << day("2026-12-06") << true << day("2026-12-11") << day("2026-12-11") << true;
    QTest::newRow("a weekend only, unlinked: kept")
        << day("2026-12-05") << day("2026-12-06") << false << day("2026-12-05") << day("2026-12-06") << true;
}

void TestScheduling::oddDates() {
    QFETCH(QDate, start);
    QFETCH(QDate, finish);
    QFETCH(bool, linked);
    QFETCH(QDate, expectedStart);
    QFETCH(QDate, expectedFinish);
    QFETCH(bool, milestone);
    Plan plan;
    plan.addTask({1, 0, day("2026-12-09"), day("2026-12-11"), false, {}});
    plan.addTask({2, 0, start, finish, false, {}});
    if (linked)
        plan.addLink({1, 2, LinkKind::FinishToStart, 0});
    const Schedule schedule = Scheduling::schedule(plan, WorkCalendar());
    QVERIFY(schedule.ok());
    QCOMPARE(schedule.tasks[1].start, expectedStart);
    QCOMPARE(schedule.tasks[1].finish, expectedFinish);
    QCOMPARE(schedule.tasks[1].milestone, milestone);
    QVERIFY(schedule.tasks[0].lateFinish.isValid() && schedule.tasks[1].lateFinish.isValid());
}

// Three levels: P holds Q and D, Q holds C1 and C2 (C2 follows C1); E follows the summary P;
// H1 and H2 are the children of summary H, which follows G.
void TestScheduling::outline() {
    WorkCalendar calendar;
    Plan plan;
    plan.addTask({1, 0, day("2026-11-02"), day("2026-11-02"), false, {}}); // P: dates are computed
    plan.addTask({2, 1, day("2026-11-02"), day("2026-11-02"), false, {}}); // Q
    plan.addTask({3, 2, day("2026-12-07"), day("2026-12-08"), false, {}}); // C1
    plan.addTask({4, 2, day("2026-11-02"), day("2026-11-04"), false, {}}); // C2: 3 days
    plan.addTask({5, 1, day("2026-12-07"), day("2026-12-07"), false, {}}); // D
    plan.addTask({6, 0, day("2026-11-02"), day("2026-11-02"), false, {}}); // E
    plan.addTask({7, 0, day("2026-12-14"), day("2026-12-18"), false, {}}); // G
    plan.addTask({8, 0, day("2026-11-02"), day("2026-11-02"), false, {}}); // H
    plan.addTask({9, 8, day("2026-11-02"), day("2026-11-03"), false, {}}); // H1
    plan.addTask({10, 8, day("2026-11-02"), day("2026-11-02"), true, {}}); // H2, a milestone
    plan.addLink({3, 4, LinkKind::FinishToStart, 0});
    plan.addLink({1, 6, LinkKind::FinishToStart, 0});
    plan.addLink({7, 8, LinkKind::FinishToStart, 1});
    const Schedule schedule = Scheduling::schedule(plan, calendar);
    QVERIFY(schedule.ok());
    struct Expected {
        const char* start;
        const char* finish;
        bool summary;
        bool critical;
    };
    const Expected expected[] = {
        {"2026-12-07", "2026-12-11", true, false},  // P spans Q and D
        {"2026-12-07", "2026-12-11", true, false},  // Q spans C1 and C2
        {"2026-12-07", "2026-12-08", false, false}, // C1 keeps its dates
        {"2026-12-09", "2026-12-11", false, false}, // C2 after C1, three days kept
        {"2026-12-07", "2026-12-07", false, false}, // D
        {"2026-12-14", "2026-12-14", false, false}, // E after the summary P
        {"2026-12-14", "2026-12-18", false, true},  // G: on the longest way
        {"2026-12-21", "2026-12-23", true, true},   // H spans its children
        {"2026-12-22", "2026-12-23", false, true},  // H1: G's finish + 1 day
        {"2026-12-21", "2026-12-21", false, false}, // H2: the milestone at the end of Monday 21
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        const ScheduledTask& task = schedule.tasks[i];
        QCOMPARE(task.start, day(expected[i].start));
        QCOMPARE(task.finish, day(expected[i].finish));
        QCOMPARE(task.summary, expected[i].summary);
        QCOMPARE(task.critical, expected[i].critical);
    }
    // E may slip to the project's end (Wednesday 23), and P with all it holds as far: E follows
    // P's last child, so each child may finish as late as E's late start allows.
    const int slack[] = {7, 7, 7, 7, 11, 7, 0, 0, 0, 2};
    for (size_t i = 0; i < std::size(slack); ++i)
        QCOMPARE(schedule.tasks[i].totalSlack, slack[i]);
    QCOMPARE(schedule.tasks[4].lateFinish, day("2026-12-22"));
    QCOMPARE(schedule.tasks[5].lateStart, day("2026-12-23"));
    QCOMPARE(schedule.tasks[9].lateStart, day("2026-12-23")); // the milestone at the end of the project
}

void TestScheduling::outlineLoops_data() {
    QTest::addColumn<qint64>("predecessor");
    QTest::addColumn<qint64>("successor");
    QTest::addColumn<QList<qint64>>("loop");
    QTest::newRow("a task to itself") << qint64(3) << qint64(3) << QList<qint64>{3};
    QTest::newRow("back along a link") << qint64(4) << qint64(3) << QList<qint64>{4, 3};
    QTest::newRow("a child to its parent") << qint64(3) << qint64(2) << QList<qint64>{3, 2};
    QTest::newRow("a parent to its child") << qint64(2) << qint64(3) << QList<qint64>{2, 3};
    QTest::newRow("through two summaries") << qint64(6) << qint64(3) << QList<qint64>{6, 3, 2, 1};
    QTest::newRow("into a summary from after it") << qint64(6) << qint64(1) << QList<qint64>{6, 1};
    QTest::newRow("safe: across branches") << qint64(5) << qint64(4) << QList<qint64>{};
    QTest::newRow("safe: a parallel task") << qint64(3) << qint64(5) << QList<qint64>{};
    QTest::newRow("safe: an unknown task") << qint64(3) << qint64(99) << QList<qint64>{};
}

void TestScheduling::outlineLoops() {
    QFETCH(qint64, predecessor);
    QFETCH(qint64, successor);
    QFETCH(QList<qint64>, loop);
    Plan plan;
    plan.addTask({1, 0, day("2026-12-07"), day("2026-12-07"), false, {}});
    plan.addTask({2, 1, day("2026-12-07"), day("2026-12-07"), false, {}});
    plan.addTask({3, 2, day("2026-12-07"), day("2026-12-08"), false, {}});
    plan.addTask({4, 2, day("2026-12-09"), day("2026-12-09"), false, {}});
    plan.addTask({5, 1, day("2026-12-07"), day("2026-12-07"), false, {}});
    plan.addTask({6, 0, day("2026-12-14"), day("2026-12-14"), false, {}});
    plan.addLink({3, 4, LinkKind::FinishToStart, 0});
    plan.addLink({1, 6, LinkKind::FinishToStart, 0});
    QCOMPARE(PlanGraph(plan).loopIfLinked(predecessor, successor), loop);
    QVERIFY(PlanGraph(plan).loop().isEmpty());
    // Made anyway, the whole plan names the same loop (from some task of it) and is not scheduled.
    plan.addLink({predecessor, successor, LinkKind::StartToStart, 0});
    const QList<qint64> found = PlanGraph(plan).loop();
    QCOMPARE(found.isEmpty(), loop.isEmpty());
    if (!loop.isEmpty()) {
        // Another way round may be found first, but it runs through the new link.
        QVERIFY(found.contains(predecessor));
        QVERIFY(found.contains(successor));
        const Schedule schedule = Scheduling::schedule(plan, WorkCalendar());
        QVERIFY(!schedule.ok());
        QVERIFY(schedule.tasks.empty());
    }
}

// Putting a task under another (an indent, or a drag in the outline) is refused where it would
// close a loop; a plan that holds one anyway is not scheduled.
void TestScheduling::indents_data() {
    QTest::addColumn<qint64>("task");
    QTest::addColumn<qint64>("parent");
    QTest::addColumn<QList<qint64>>("loop"); // the tasks of the loop, in any order
    QTest::newRow("under itself") << qint64(3) << qint64(3) << QList<qint64>{3};
    QTest::newRow("under its own child") << qint64(1) << qint64(2) << QList<qint64>{1, 2};
    QTest::newRow("under its grandchild") << qint64(1) << qint64(3) << QList<qint64>{1, 2, 3};
    QTest::newRow("under a summary it is linked to") << qint64(6) << qint64(5) << QList<qint64>{5, 6};
    QTest::newRow("safe: under a sibling") << qint64(4) << qint64(3) << QList<qint64>{};
    QTest::newRow("safe: to the top") << qint64(3) << qint64(0) << QList<qint64>{};
    QTest::newRow("safe: an unknown parent") << qint64(3) << qint64(99) << QList<qint64>{};
}

void TestScheduling::indents() {
    QFETCH(qint64, task);
    QFETCH(qint64, parent);
    QFETCH(QList<qint64>, loop);
    // 1 holds 2, which holds 3 and 4; 5 holds 7; 6 follows the summary 5.
    Plan plan;
    plan.addTask({1, 0, day("2026-12-07"), day("2026-12-07"), false, {}});
    plan.addTask({2, 1, day("2026-12-07"), day("2026-12-07"), false, {}});
    plan.addTask({3, 2, day("2026-12-07"), day("2026-12-08"), false, {}});
    plan.addTask({4, 2, day("2026-12-09"), day("2026-12-09"), false, {}});
    plan.addTask({5, 0, day("2026-12-07"), day("2026-12-07"), false, {}});
    plan.addTask({6, 0, day("2026-12-14"), day("2026-12-14"), false, {}});
    plan.addTask({7, 5, day("2026-12-07"), day("2026-12-07"), false, {}});
    plan.addLink({5, 6, LinkKind::FinishToStart, 0});
    QList<qint64> found = Scheduling::loopIfParented(plan, task, parent);
    std::sort(found.begin(), found.end());
    QCOMPARE(found, loop);
    // Done anyway: the plan is refused with the same loop.
    PlanTask moved = *plan.task(task);
    moved.parentId = parent;
    plan.addTask(moved);
    const Schedule schedule = Scheduling::schedule(plan, WorkCalendar());
    QList<qint64> refused = schedule.loop;
    std::sort(refused.begin(), refused.end());
    QCOMPARE(refused, loop);
    QCOMPARE(schedule.tasks.empty(), !loop.isEmpty());
}

void TestScheduling::randomPlans_data() {
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<int>("taskCount");
    QTest::addColumn<int>("linkCount");
    for (unsigned seed = 1; seed <= 12; ++seed)
        QTest::newRow(qPrintable(QString("seed %1").arg(seed))) << seed << int(10 + seed * 17) << int(seed * 40);
}

// Random plans: leaf tasks in a random order with links (all kinds, lags -3..5) only forward in
// that order, an outline of summaries above them, holidays, some "no earlier than" dates. The
// schedule is checked against a plain fixed point computed here, before and after a random move,
// and random links that would close a loop are refused with the loop named.
void TestScheduling::randomPlans() {
    QFETCH(unsigned, seed);
    QFETCH(int, taskCount);
    QFETCH(int, linkCount);
    std::mt19937 random(seed);
    auto pick = [&](int below) { return static_cast<int>(random() % static_cast<unsigned>(below)); };
    WorkCalendar calendar;
    const QDate base = day("2026-03-02");
    for (int h = 0; h < 15; ++h)
        calendar.addHoliday(base.addDays(pick(200)));

    // Summaries 1..k (each under an earlier one or at the top), then the leaves under them.
    const int summaries = taskCount / 8;
    Plan plan;
    for (int i = 1; i <= summaries; ++i)
        plan.addTask({i, i > 1 && pick(2) ? pick(i - 1) + 1 : 0, base, base, false, {}});
    std::vector<qint64> leaves;
    for (int i = summaries + 1; i <= taskCount; ++i) {
        const QDate start = calendar.addWorkingDays(base.addDays(pick(60)), 0);
        const bool milestone = pick(8) == 0;
        const QDate finish = milestone ? start : calendar.addWorkingDays(start, pick(6));
        const QDate noEarlier = pick(4) == 0 ? base.addDays(pick(90)) : QDate();
        plan.addTask({i, summaries && pick(3) ? pick(summaries) + 1 : 0, start, finish, milestone, noEarlier});
        leaves.push_back(i);
    }
    // A summary with no children is a plain task: give each at least one.
    for (int i = 1; i <= summaries; ++i) {
        plan.addTask({taskCount + i, i, base, calendar.addWorkingDays(base, 1), false, {}});
        leaves.push_back(taskCount + i);
    }
    std::shuffle(leaves.begin(), leaves.end(), random);
    const LinkKind kinds[] = {LinkKind::FinishToStart, LinkKind::StartToStart, LinkKind::FinishToFinish,
                              LinkKind::StartToFinish};
    for (int l = 0; l < linkCount; ++l) {
        const int a = pick(static_cast<int>(leaves.size()) - 1);
        const int b = a + 1 + pick(std::min(12, static_cast<int>(leaves.size()) - a - 1));
        plan.addLink({leaves[static_cast<size_t>(a)], leaves[static_cast<size_t>(b)], kinds[pick(4)], pick(9) - 3});
    }

    // The descendant leaves of each task (a leaf's own is itself).
    auto leavesUnder = [](const Plan& plan) {
        const auto& tasks = plan.tasks();
        std::vector<std::vector<size_t>> under(tasks.size());
        std::vector<char> summary(tasks.size(), 0);
        for (const PlanTask& task : tasks)
            if (task.parentId)
                summary[static_cast<size_t>(plan.indexOf(task.parentId))] = 1;
        for (size_t i = 0; i < tasks.size(); ++i) {
            if (summary[i])
                continue;
            for (qsizetype at = static_cast<qsizetype>(i); at >= 0;
                 at = tasks[static_cast<size_t>(at)].parentId ? plan.indexOf(tasks[static_cast<size_t>(at)].parentId)
                                                              : -1)
                under[static_cast<size_t>(at)].push_back(i);
        }
        return under;
    };

    auto check = [&](const Plan& plan) {
        const Schedule schedule = Scheduling::schedule(plan, calendar);
        QVERIFY(schedule.ok());
        const auto& tasks = plan.tasks();
        QCOMPARE(schedule.tasks.size(), tasks.size());
        const size_t n = tasks.size();
        const auto under = leavesUnder(plan);
        auto isSummary = [&](size_t i) { return under[i].size() != 1 || under[i][0] != i; };
        // The fixed point: every linked leaf as early as its links and its own bound allow. A
        // summary spans its leaves; a link to it binds each of them.
        std::vector<int> s(n), len(n);
        std::vector<char> linked(n, 0);
        for (size_t i = 0; i < n; ++i) {
            len[i] = tasks[i].milestone ? 0 : calendar.workingDaysBetween(tasks[i].start, tasks[i].finish);
            s[i] = tasks[i].milestone ? calendar.ordinalAfter(tasks[i].finish) : calendar.ordinalOf(tasks[i].start);
        }
        for (const PlanLink& link : plan.links())
            for (size_t leaf : under[static_cast<size_t>(plan.indexOf(link.successor))])
                linked[leaf] = 1;
        auto spanIn = [&](const std::vector<int>& starts, size_t i) {
            Span span{INT_MAX, INT_MIN};
            for (size_t leaf : under[i]) {
                span.s = std::min(span.s, starts[leaf]);
                span.e = std::max(span.e, starts[leaf] + len[leaf]);
            }
            return span;
        };
        for (size_t i = 0; i < n; ++i)
            if (linked[i])
                s[i] = INT_MIN / 4;
        size_t rounds = 0;
        for (bool changed = true; changed && rounds <= n + 2; ++rounds) {
            changed = false;
            std::vector<int> bound(n, INT_MIN / 4);
            for (size_t i = 0; i < n; ++i)
                if (linked[i] && tasks[i].startNoEarlierThan.isValid())
                    bound[i] = len[i] ? calendar.ordinalOf(tasks[i].startNoEarlierThan)
                                      : calendar.ordinalAfter(tasks[i].startNoEarlierThan);
            for (const PlanLink& link : plan.links()) {
                const Span pred = spanIn(s, static_cast<size_t>(plan.indexOf(link.predecessor)));
                for (size_t q : under[static_cast<size_t>(plan.indexOf(link.successor))]) {
                    int b = 0;
                    switch (link.kind) {
                    case LinkKind::FinishToStart:
                        b = pred.e + link.lag;
                        break;
                    case LinkKind::StartToStart:
                        b = pred.s + link.lag;
                        break;
                    case LinkKind::FinishToFinish:
                        b = pred.e + link.lag - len[q];
                        break;
                    case LinkKind::StartToFinish:
                        b = pred.s + link.lag - len[q];
                        break;
                    }
                    bound[q] = std::max(bound[q], b);
                }
            }
            for (size_t i = 0; i < n; ++i)
                if (linked[i] && !isSummary(i) && bound[i] != s[i]) {
                    s[i] = bound[i];
                    changed = true;
                }
        }
        QVERIFY2(rounds <= n + 2, "the plan has no loop, so the fixed point is reached");

        // What the schedule gives, read back from its dates: early and late starts of the leaves.
        std::vector<int> early(n), late(n);
        int projectEnd = INT_MIN;
        for (size_t i = 0; i < n; ++i) {
            const ScheduledTask& out = schedule.tasks[i];
            if (isSummary(i)) {
                QVERIFY(out.summary);
                continue;
            }
            const Span got = spanOf(calendar, out);
            QCOMPARE(got.s, s[i]);
            QCOMPARE(got.e - got.s, len[i]); // lengths kept in working days
            if (!linked[i]) {
                QCOMPARE(out.start, tasks[i].start);
                QCOMPARE(out.finish, tasks[i].finish);
            }
            early[i] = got.s;
            projectEnd = std::max(projectEnd, got.e);
            // Slack: never negative (nothing here asks for a date it cannot have); critical
            // exactly when there is none; the late dates are the early ones moved by the slack.
            QVERIFY(out.totalSlack >= 0);
            QCOMPARE(out.critical, out.totalSlack == 0);
            const Span lateSpan =
                spanOf(calendar, {out.lateStart, out.lateFinish, {}, {}, 0, false, false, out.milestone, false});
            QCOMPARE(lateSpan.s - got.s, out.totalSlack);
            QCOMPARE(lateSpan.e - lateSpan.s, len[i]);
            late[i] = lateSpan.s;
        }
        // Every link holds, early and late (for a summary: its span, and each of its leaves when
        // it follows); the late dates stay within the project's end.
        for (const std::vector<int>* starts : {&early, &late}) {
            for (const PlanLink& link : plan.links()) {
                const Span pred = spanIn(*starts, static_cast<size_t>(plan.indexOf(link.predecessor)));
                for (size_t q : under[static_cast<size_t>(plan.indexOf(link.successor))])
                    QVERIFY(satisfied(link.kind, link.lag, pred, {(*starts)[q], (*starts)[q] + len[q]}));
            }
        }
        bool someCritical = false;
        for (size_t i = 0; i < n; ++i) {
            const ScheduledTask& out = schedule.tasks[i];
            someCritical = someCritical || out.critical;
            if (!isSummary(i)) {
                QVERIFY(late[i] + len[i] <= projectEnd);
                continue;
            }
            // A summary spans its children exactly; its slack is its most critical leaf's.
            QDate first, last;
            int slack = INT_MAX;
            for (size_t c = 0; c < n; ++c) {
                if (tasks[c].parentId != tasks[i].id)
                    continue;
                const ScheduledTask& child = schedule.tasks[c];
                if (!first.isValid() || child.start < first)
                    first = child.start;
                if (!last.isValid() || child.finish > last)
                    last = child.finish;
                slack = std::min(slack, child.totalSlack);
            }
            QCOMPARE(out.start, first);
            QCOMPARE(out.finish, last);
            QCOMPARE(out.totalSlack, slack);
            QCOMPARE(out.critical, slack <= 0);
        }
        QVERIFY(someCritical);
    };

    // Loops: a link from a leaf back to one it reaches is refused, with the way named.
    {
        PlanGraph graph(plan);
        std::map<qint64, std::vector<qint64>> next;
        for (const PlanLink& link : plan.links())
            next[link.predecessor].push_back(link.successor);
        for (int attempt = 0; attempt < 30; ++attempt) {
            const qint64 from = leaves[static_cast<size_t>(pick(static_cast<int>(leaves.size())))];
            const qint64 to = leaves[static_cast<size_t>(pick(static_cast<int>(leaves.size())))];
            // Does "to" reach "from" through links? Then from -> to closes a loop.
            std::set<qint64> seen{to};
            std::vector<qint64> stack{to};
            while (!stack.empty()) {
                const qint64 at = stack.back();
                stack.pop_back();
                for (qint64 following : next[at])
                    if (seen.insert(following).second)
                        stack.push_back(following);
            }
            const QList<qint64> loop = graph.loopIfLinked(from, to);
            QCOMPARE(!loop.isEmpty(), seen.count(from) > 0);
            if (loop.isEmpty())
                continue;
            QCOMPARE(loop.first(), from);
            if (from != to)
                QCOMPARE(loop.at(1), to);
            for (qsizetype k = 1; k < loop.size(); ++k) {
                const qint64 a = loop.at(k);
                const qint64 b = loop.at((k + 1) % loop.size());
                QVERIFY2(std::count(next[a].begin(), next[a].end(), b) > 0, "each step of the loop is a link");
            }
        }
    }

    check(plan);
    if (QTest::currentTestFailed())
        return;
    // Links to and from summaries, where they close no loop. A refused one names a loop in which
    // each task follows the one before by a link, or is its parent or child (the way into a
    // summary and out of it).
    int summaryLinks = 0;
    for (int l = 0; l < 40 && summaries > 0; ++l) {
        const qint64 summary = pick(summaries) + 1;
        const qint64 other =
            pick(2) ? leaves[static_cast<size_t>(pick(static_cast<int>(leaves.size())))] : pick(summaries) + 1;
        const qint64 from = pick(2) ? summary : other;
        const qint64 to = from == summary ? other : summary;
        const QList<qint64> loop = PlanGraph(plan).loopIfLinked(from, to);
        if (loop.isEmpty()) {
            plan.addLink({from, to, kinds[pick(4)], pick(9) - 3});
            ++summaryLinks;
            continue;
        }
        QCOMPARE(loop.first(), from);
        for (qsizetype k = 0; k < loop.size(); ++k) {
            const qint64 a = loop.at(k);
            const qint64 b = loop.at((k + 1) % loop.size());
            const bool linked = k == 0 || std::any_of(plan.links().begin(), plan.links().end(), [&](const PlanLink& x) {
                                    return x.predecessor == a && x.successor == b;
                                });
            QVERIFY2(linked || plan.task(a)->parentId == b || plan.task(b)->parentId == a,
                     qPrintable(QString("%1 then %2").arg(a).arg(b)));
        }
    }
    QVERIFY(summaryLinks > 0 || summaries == 0);
    check(plan);
    if (QTest::currentTestFailed())
        return;
    // A drag: one task moved and lengthened; the tasks after it follow.
    for (int move = 0; move < 3; ++move) {
        const qint64 id = leaves[static_cast<size_t>(pick(static_cast<int>(leaves.size())))];
        const PlanTask* task = plan.task(id);
        const QDate start = calendar.addWorkingDays(task->start, pick(11) - 5);
        plan.moveTask(id, start, task->milestone ? start : calendar.addWorkingDays(start, pick(5)));
        check(plan);
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_GUILESS_MAIN(TestScheduling)
#include "tst_scheduling.moc"
