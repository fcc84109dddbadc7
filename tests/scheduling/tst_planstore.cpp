// A project's plan as the database keeps it: links made and removed, moves that carry the
// successors along, loops refused by name, and nothing written over a change made meanwhile.
#include "app/Database.h"
#include "scheduling/PlanStore.h"
#include "support/TestSupport.h"

#include <QtTest>

namespace {

const QDate monday(2027, 1, 4);

QString iso(QDate d) {
    return d.toString(Qt::ISODate);
}

// Project 1 with tasks A (Mon-Fri), B (Mon-Wed) and C (Mon-Tue) of the same week, no links.
struct Fixture {
    TestEnvironment env;
    ScriptedMessages messages;
    Fixture() {
        env.openDatabase();
        TestEnvironment::exec(QStringLiteral("insert into Projects (ID, ProjectName, Owner) values (1, 'Plan', 0)"));
        addTask(1, "A", monday, monday.addDays(4));
        addTask(2, "B", monday, monday.addDays(2));
        addTask(3, "C", monday, monday.addDays(1));
    }
    static void addTask(int id, const char* title, QDate start, QDate due) {
        TestEnvironment::exec(QStringLiteral("insert into Tasks (ID, ProjectID, Title, StartDate, DueDate) values "
                                             "(%1, 1, '%2', '%3', '%4')")
                                  .arg(id)
                                  .arg(QLatin1String(title), iso(start), iso(due)));
    }
    static QStringList dates() {
        return TestEnvironment::rows(QStringLiteral("select Title, StartDate, DueDate from Tasks order by ID"));
    }
};

} // namespace

class TestPlanStore : public QObject {
    Q_OBJECT
private slots:
    void linksCarrySuccessorsAlong_data();
    void linksCarrySuccessorsAlong();
    void loopIsRefusedByName();
    void changeMadeMeanwhileIsNotOverwritten();
    void outlineMilestonesAndUndo();
    void planOrderIsKeptAndUndone_data();
    void planOrderIsKeptAndUndone();
    void mendingMovesOnlyWhatBreaksALink_data();
    void mendingMovesOnlyWhatBreaksALink();
};

void TestPlanStore::linksCarrySuccessorsAlong_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("lag");
    QTest::addColumn<QStringList>("expected"); // after A->B and B->C of that kind, then A moved a week later
    QTest::newRow("finish to start") << "FS" << 0
                                     << QStringList{"A|2027-01-11|2027-01-15", "B|2027-01-18|2027-01-20",
                                                    "C|2027-01-21|2027-01-22"};
    QTest::newRow("start to start, two days' lag")
        << "SS" << 2 << QStringList{"A|2027-01-11|2027-01-15", "B|2027-01-13|2027-01-15", "C|2027-01-15|2027-01-18"};
    QTest::newRow("finish to start, a day's lead")
        << "FS" << -1 << QStringList{"A|2027-01-11|2027-01-15", "B|2027-01-15|2027-01-19", "C|2027-01-19|2027-01-20"};
}

void TestPlanStore::linksCarrySuccessorsAlong() {
    QFETCH(QString, kind);
    QFETCH(int, lag);
    QFETCH(QStringList, expected);
    Fixture f;
    QVERIFY(PlanStore::available());
    using Kind = PlanStore::Outcome::Kind;
    QCOMPARE(PlanStore::link(1, {1, 2, PlanStore::kindOf(kind), lag}).kind, Kind::Saved);
    QCOMPARE(PlanStore::link(1, {2, 3, PlanStore::kindOf(kind), lag}).kind, Kind::Saved);
    const PlanStore::Outcome moved = PlanStore::moveTask(1, 1, monday.addDays(7), monday.addDays(11));
    QCOMPARE(moved.kind, Kind::Saved);
    QCOMPARE(moved.moved.size(), 3);
    QCOMPARE(Fixture::dates(), expected);
    // Without its links, a task keeps the dates it has.
    QCOMPARE(PlanStore::unlink(1, 1, 2).kind, Kind::Saved);
    QCOMPARE(PlanStore::moveTask(1, 1, monday, monday.addDays(4)).kind, Kind::Saved);
    QCOMPARE(Fixture::dates().mid(1), expected.mid(1));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from TaskLinks")).toInt(), 1);
}

void TestPlanStore::loopIsRefusedByName() {
    Fixture f;
    using Kind = PlanStore::Outcome::Kind;
    QCOMPARE(PlanStore::link(1, {1, 2, LinkKind::FinishToStart, 0}).kind, Kind::Saved);
    QCOMPARE(PlanStore::link(1, {2, 3, LinkKind::FinishToStart, 0}).kind, Kind::Saved);
    const QStringList before = Fixture::dates();
    const PlanStore::Outcome loop = PlanStore::link(1, {3, 1, LinkKind::StartToStart, 0});
    QCOMPARE(loop.kind, Kind::Loop);
    QCOMPARE(loop.loopText, QStringLiteral("\"C\" -> \"A\" -> \"B\" -> \"C\""));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from TaskLinks")).toInt(), 2);
    QCOMPARE(Fixture::dates(), before);
}

// Another user (here: a statement between the read and the write) changes a task the move would
// write: nothing of the move is written, and the other change stays.
void TestPlanStore::changeMadeMeanwhileIsNotOverwritten() {
    Fixture f;
    using Kind = PlanStore::Outcome::Kind;
    QCOMPARE(PlanStore::link(1, {1, 2, LinkKind::FinishToStart, 0}).kind, Kind::Saved);
    const QStringList before = Fixture::dates();
    const PlanStore::Outcome outcome = PlanStore::change(1, [](Plan& plan) {
        TestEnvironment::exec(QStringLiteral("update Tasks set Title='B renamed' where ID=2"));
        plan.moveTask(1, monday.addDays(7), monday.addDays(11));
    });
    QCOMPARE(outcome.kind, Kind::Changed);
    QStringList expected = before;
    expected[1].replace(QStringLiteral("B|"), QStringLiteral("B renamed|"));
    QCOMPARE(Fixture::dates(), expected);
}

// The outline in the plan's own order, the tasks under a task in brackets: "A[B,C],D".
static QString outlineText(const Plan& plan, qint64 parent = 0) {
    QStringList parts;
    for (qint64 id : PlanStore::siblingsInOrder(plan, parent)) {
        const QString under = outlineText(plan, id);
        parts << QChar(static_cast<char16_t>(u'A' + id - 1)) + (under.isEmpty() ? QString() : '[' + under + ']');
    }
    return parts.join(',');
}

void TestPlanStore::planOrderIsKeptAndUndone_data() {
    QTest::addColumn<QStringList>("steps"); // "place|under|out|milestone <task> <index|parent|after>"
    QTest::addColumn<QString>("expected");  // A, B and C all start on Monday: "A,B,C" before
    QTest::newRow("up to the first place") << QStringList{"place 3 0"} << "C,A,B";
    QTest::newRow("down past the end") << QStringList{"place 1 9"} << "B,C,A";
    QTest::newRow("indented: last under the task above") << QStringList{"under 3 1", "under 2 1"} << "A[C,B]";
    QTest::newRow("outdented: right after its former parent")
        << QStringList{"under 2 1", "under 3 1", "out 2 1"} << "A[C],B";
    QTest::newRow("nothing under a milestone") << QStringList{"milestone 1", "under 2 1"} << "A,B,C";
}

// The order is the plan's own (not the dates'), read back as written, and each step undone by
// putting back what it wrote.
void TestPlanStore::planOrderIsKeptAndUndone() {
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);
    Fixture f;
    QList<PlanStore::Outcome> done;
    for (const QString& step : steps) {
        const QStringList w = step.split(' ');
        const qint64 task = w[1].toLongLong(), other = w.value(2).toLongLong();
        done << (w[0] == "place"   ? PlanStore::placeTask(1, task, static_cast<int>(other))
                 : w[0] == "under" ? PlanStore::setParent(1, task, other)
                 : w[0] == "out"   ? PlanStore::setParent(1, task, 0, other)
                                   : PlanStore::setMilestone(1, task, true));
    }
    QCOMPARE(outlineText(PlanStore::read(1).plan), expected);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks where Milestone=(1=1)")).toInt(),
             int(steps[0].startsWith("milestone"))); // a milestone stays one
    for (auto step = done.crbegin(); step != done.crend(); ++step)
        QCOMPARE(PlanStore::restore(step->after, step->before).kind, PlanStore::Outcome::Kind::Saved);
    QCOMPARE(outlineText(PlanStore::read(1).plan), QStringLiteral("A,B,C"));
}

void TestPlanStore::mendingMovesOnlyWhatBreaksALink_data() {
    QTest::addColumn<QString>("b"); // B's and C's dates as another program wrote them (start, due)
    QTest::addColumn<QString>("c");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("earlier than the links allow: moved, with what follows")
        << "'2027-01-04', '2027-01-06'"
        << "'2027-01-04', '2027-01-05'" << QStringList{"B|2027-01-11|2027-01-13", "C|2027-01-14|2027-01-15"};
    QTest::newRow("later than the links need: kept")
        << "'2027-01-18', '2027-01-20'"
        << "'2027-01-25', '2027-01-26'" << QStringList{"B|2027-01-18|2027-01-20", "C|2027-01-25|2027-01-26"};
    QTest::newRow("without dates: given none") << "'2027-01-04', '2027-01-06'"
                                               << "null, null" << QStringList{"B|2027-01-11|2027-01-13", "C||"};
}

// Dates written past the plan (A -> B -> C, finish to start): only what breaks a link moves.
void TestPlanStore::mendingMovesOnlyWhatBreaksALink() {
    QFETCH(QString, b);
    QFETCH(QString, c);
    QFETCH(QStringList, expected);
    Fixture f;
    TestEnvironment::exec(QStringLiteral("insert into TaskLinks (PredecessorID, SuccessorID) values (1, 2), (2, 3)"));
    TestEnvironment::exec(QStringLiteral("update Tasks set (StartDate, DueDate) = (%1) where ID=2").arg(b));
    TestEnvironment::exec(QStringLiteral("update Tasks set (StartDate, DueDate) = (%1) where ID=3").arg(c));
    QCOMPARE(PlanStore::followLinks(1).kind, PlanStore::Outcome::Kind::Saved);
    QCOMPARE(Fixture::dates().mid(1), expected);
    QCOMPARE(Fixture::dates().first(), QStringLiteral("A|2027-01-04|2027-01-08"));
}

QTEST_MAIN(TestPlanStore)
#include "tst_planstore.moc"

// A task put under another makes that one a summary spanning it; a summary moved carries its
// tasks along; a milestone has no length; a parent linked with its child is a loop; and every
// change is put back by restoring what it wrote, unless a task changed since.
void TestPlanStore::outlineMilestonesAndUndo() {
    Fixture f;
    using Kind = PlanStore::Outcome::Kind;
    const QStringList before = Fixture::dates();
    const PlanStore::Outcome under = PlanStore::setParent(1, 2, 1); // B under A
    QCOMPARE(under.kind, Kind::Saved);
    QCOMPARE(Fixture::dates(),
             (QStringList{"A|2027-01-04|2027-01-06", "B|2027-01-04|2027-01-06", "C|2027-01-04|2027-01-05"}));
    // The summary a week later: B moves with it, keeping its three working days.
    QCOMPARE(PlanStore::moveTask(1, 1, monday.addDays(7), monday.addDays(9)).kind, Kind::Saved);
    QCOMPARE(Fixture::dates().mid(0, 2), (QStringList{"A|2027-01-11|2027-01-13", "B|2027-01-11|2027-01-13"}));
    // A link between a summary and a task under it would close a loop.
    QCOMPARE(PlanStore::link(1, {2, 1, LinkKind::FinishToStart, 0}).kind, Kind::Loop);
    const PlanStore::Outcome milestone = PlanStore::setMilestone(1, 3, true);
    QCOMPARE(Fixture::dates().at(2), QStringLiteral("C|2027-01-04|2027-01-04"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks where Milestone=(1=1)")).toInt(), 1);

    // Undone: the milestone first, then the outline, each in one restore.
    QCOMPARE(PlanStore::restore(milestone.after, milestone.before).kind, Kind::Saved);
    QCOMPARE(Fixture::dates().at(2), before.at(2));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks where Milestone=(1=1)")).toInt(), 0);
    // A task changed since the step is not written over, nor is any other.
    TestEnvironment::exec(QStringLiteral("update Tasks set DueDate='2027-02-01' where ID=2"));
    QCOMPARE(PlanStore::restore(under.after, under.before).kind, Kind::Changed);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select ParentID from Tasks where ID=2")).toInt(), 1);

    // C a milestone at the start of its day, as an import leaves one, linked after B (which ends
    // on Monday 1 February): it stands where Tuesday starts and is dated on it, and a date typed
    // before that is held there. Made a task and a milestone again by the user, it stands at the
    // end of its day, the same moment, dated on the Monday.
    TestEnvironment::exec(
        QStringLiteral("update Tasks set Milestone=(1=1), MilestoneAtStart=(1=1), DueDate=StartDate where ID=3"));
    QCOMPARE(PlanStore::link(1, {2, 3, LinkKind::FinishToStart, 0}).kind, Kind::Saved);
    QCOMPARE(Fixture::dates().at(2), QStringLiteral("C|2027-02-02|2027-02-02"));
    const PlanStore::Hold hold = PlanStore::holdOf(1, 3, monday, monday);
    QVERIFY(hold.held);
    QCOMPARE(hold.earliest, QDate(2027, 2, 2));
    QCOMPARE(PlanStore::setMilestone(1, 3, false).kind, Kind::Saved);
    QCOMPARE(PlanStore::setMilestone(1, 3, true).kind, Kind::Saved);
    QCOMPARE(Fixture::dates().at(2), QStringLiteral("C|2027-02-01|2027-02-01"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks where MilestoneAtStart=(1=1)")).toInt(),
             0);
}
