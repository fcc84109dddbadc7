// The sample data loader: what it adds to an empty, a partly filled and an already loaded database.
#include "app/Database.h"
#include "sample_data/SampleData.h"
#include "support/TestSupport.h"

#include <QtTest>

#include <optional>

namespace {

QStringList rows(const char* query) {
    return TestEnvironment::rows(QLatin1String(query));
}

QStringList projects() {
    return rows("select ProjectName,OwnerName,Status,Category,Priority,Notes,StartDate,EndDate,BudgetInDays,Budget "
                "from [Open Projects] order by ID");
}

int count(const char* table) {
    return TestEnvironment::scalar(QStringLiteral("select count(*) from ") + QLatin1String(table)).toInt();
}

} // namespace

// Every test starts on an open, empty database.
class TestSampleData : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env.emplace();
        m_env->openDatabase();
        m_messages.emplace();
    }
    void cleanup() {
        m_messages.reset();
        m_env.reset();
    }
    void emptyDatabaseGetsTheWorkedExample();
    void oneContactIsToppedUpWithJohnWilson();
    void secondLoadAddsOnlyProjectsAndTasks();
    void secondLoadAsksAndUsesItsOwnContacts_data();
    void secondLoadAsksAndUsesItsOwnContacts();
    void apostropheInValueListIsKept();
    void failedQueriesFallBackAndGoOn();

private:
    QStringList errors() const { return m_messages->errors(); }

    std::optional<TestEnvironment> m_env;
    std::optional<ScriptedMessages> m_messages;
};

void TestSampleData::emptyDatabaseGetsTheWorkedExample() {
    SampleData::load(QDate(2021, 8, 31));

    QVERIFY2(m_messages->shown().empty(), qPrintable(errors().join(QLatin1Char('\n'))));
    QCOMPARE(rows("select FirstName,LastName,Email,Company,JobTitle from Employees order by ID"),
             (QStringList{"John|Wilson|jwilson@example.com|ACME|Manager", "Daniel|Carter|carden@example.com|ACME|HR"}));
    QCOMPARE(rows("select Status from Status"), (QStringList{"In process", "Cancelled"}));
    QCOMPARE(rows("select Category from Categories"), (QStringList{"New Category", "Main Category"}));
    QCOMPARE(rows("select Priority from Priorities"), (QStringList{"High", "Low"}));
    QCOMPARE(projects(),
             (QStringList{"Developing|Daniel Carter|Cancelled|Main Category|Low|Notes here|2021-08-31|2021-08-31|11|36",
                          "Testing|John Wilson|In process|New Category|High|Maybe will require more time|2021-08-31|"
                          "2021-08-31|14|28",
                          "Implementinging|John Wilson|Cancelled|New Category|Low|Needs trip|2021-08-31|2021-08-31|5|"
                          "62"}));
    // Due dates 3, 2 and 5 days on, across the month's end.
    QCOMPARE(rows("select p.ProjectName,t.Title,t.AssignedTo,t.Priority,t.Status,t.Cost,t.CostInDays,"
                  "t.PercentComplete,t.Description,t.StartDate,t.DueDate "
                  "from [Open Tasks] t join Projects p on p.ID=t.ProjectID order by t.ID"),
             (QStringList{"Developing|Research|Daniel Carter|Low|Cancelled|14|3|62|research before start|2021-08-31|"
                          "2021-09-03",
                          "Testing|Blind test|John Wilson|High|In process|15|2|31|Create test methods|2021-08-31|"
                          "2021-09-02",
                          "Implementinging|Trip|John Wilson|Low|In process|36|4|0|Trip to work place|2021-08-31|"
                          "2021-09-05"}));
}

void TestSampleData::oneContactIsToppedUpWithJohnWilson() {
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('Ann','Lee')"));
    SampleData::load(QDate(2022, 1, 10));

    QCOMPARE(errors(), QStringList());
    QCOMPARE(rows("select FirstName||' '||LastName from Employees order by ID"),
             (QStringList{"Ann Lee", "John Wilson"}));
    // First contact is the existing one, last is John Wilson.
    QCOMPARE(rows("select OwnerName from [Open Projects] order by ID"),
             (QStringList{"John Wilson", "Ann Lee", "Ann Lee"}));
}

void TestSampleData::secondLoadAddsOnlyProjectsAndTasks() {
    QVERIFY(SampleData::load(QDate(2021, 8, 31)));
    const QStringList firstProjects = projects();
    m_messages->answerNext(true);
    QVERIFY(SampleData::load(QDate(2021, 9, 1)));

    QCOMPARE(errors(), QStringList());
    QCOMPARE(m_messages->questions(),
             QStringList{"The example projects are already in the list.\r\nDo you wish to add them again?"});
    for (const char* table : {"Employees", "Status", "Categories", "Priorities"})
        QCOMPARE(count(table), 2);
    QCOMPARE(count("Projects"), 6);
    QCOMPARE(count("Tasks"), 6);
    const QStringList all = projects();
    QCOMPARE(all.mid(0, 3), firstProjects);
    QCOMPARE(all.mid(3),
             QStringList(firstProjects).replaceInStrings(QStringLiteral("2021-08-31"), QStringLiteral("2021-09-01")));
    // Each new task belongs to the project inserted just before it.
    QCOMPARE(rows("select p.ProjectName||'/'||t.Title from Tasks t join Projects p on p.ID=t.ProjectID "
                  "where p.ID>3 order by t.ID"),
             (QStringList{"Developing/Research", "Testing/Blind test", "Implementinging/Trip"}));
}

void TestSampleData::secondLoadAsksAndUsesItsOwnContacts_data() {
    QTest::addColumn<QString>("change"); // made by the user between the loads
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("contacts");
    const QStringList examples{"John Wilson jwilson@example.com", "Daniel Carter carden@example.com"};
    QTest::newRow("answered No") << QString() << false << examples;
    QTest::newRow("own contact added") << "insert into Employees (FirstName,LastName) values ('Zoe','Young')" << true
                                       << examples + QStringList{"Zoe Young "};
    // A contact of the user's with an example's name is not the example's contact.
    QTest::newRow("own namesake") << "update Employees set Email='john@home.test' where FirstName='John'" << true
                                  << QStringList{"John Wilson john@home.test", examples[1], examples[0]};
    QTest::newRow("example contact deleted") << "delete from Employees where FirstName='Daniel'" << true << examples;
}

// Pressed again with the examples present, the loader asks first; after a Yes the new projects
// and tasks belong to the example's own contacts, never to a contact of the user's.
void TestSampleData::secondLoadAsksAndUsesItsOwnContacts() {
    QFETCH(QString, change);
    QFETCH(bool, yes);
    QFETCH(QStringList, contacts);
    SampleData::load(QDate(2021, 8, 31));
    if (!change.isEmpty())
        TestEnvironment::withoutForeignKeys([&] { TestEnvironment::exec(change); });
    m_messages->answerNext(yes);
    QCOMPARE(SampleData::load(QDate(2021, 9, 1)), yes);

    QCOMPARE(m_messages->questions().size(), 1);
    QCOMPARE(errors(), QStringList());
    QCOMPARE(count("Projects"), yes ? 6 : 3);
    QCOMPARE(count("Tasks"), yes ? 6 : 3);
    const QStringList people =
        yes ? QStringList{"Daniel carden@example.com", "John jwilson@example.com", "John jwilson@example.com"}
            : QStringList();
    QCOMPARE(rows("select e.FirstName||' '||e.Email from Projects p join Employees e on e.ID=p.Owner "
                  "where p.StartDate='2021-09-01' order by p.ID"),
             people);
    QCOMPARE(rows("select e.FirstName||' '||e.Email from Tasks t join Employees e on e.ID=t.AssignedTo "
                  "where t.StartDate='2021-09-01' order by t.ID"),
             people);
    QCOMPARE(rows("select FirstName||' '||LastName||' '||coalesce(Email,'') from Employees order by ID"), contacts);
}

void TestSampleData::apostropheInValueListIsKept() {
    TestEnvironment::exec(QStringLiteral("insert into [Status] values ('Won''t do'),('Done')"));
    TestEnvironment::exec(QStringLiteral("insert into [Priorities] values ('Boss''s pick')"));
    SampleData::load(QDate(2021, 8, 31));

    QCOMPARE(errors(), QStringList());
    QCOMPARE(count("Status"), 2);
    QCOMPARE(rows("select Priority from Priorities"), (QStringList{"Boss's pick", "High"}));
    QCOMPARE(rows("select ProjectName,Status,Priority from Projects order by ID"),
             (QStringList{"Developing|Done|High", "Testing|Won't do|Boss's pick", "Implementinging|Done|High"}));
    QCOMPARE(rows("select Title,Status,Priority from Tasks order by ID"),
             (QStringList{"Research|Done|High", "Blind test|Won't do|Boss's pick", "Trip|Won't do|High"}));
}

void TestSampleData::failedQueriesFallBackAndGoOn() {
    // Without a Categories table its count, inserts and reads fail; the rest still loads, and
    // the projects fall back to a single blank as category.
    // (On a team database the value list is a view over its table.)
    TestEnvironment::exec(TestEnvironment::isTeam() ? QStringLiteral("drop view Categories")
                                                    : QStringLiteral("drop table Categories"));
    SampleData::load(QDate(2021, 8, 31));

    QCOMPARE(errors().size(), 5); // count, two inserts, first, last
    for (const QString& e : errors())
        QVERIFY2(e.contains(QStringLiteral("in FennickPlanner2021/08/31.Form1.PushButton8_Click at line ")),
                 qPrintable(e));
    QCOMPARE(rows("select Category from Projects"), (QStringList{" ", " ", " "}));
    QCOMPARE(count("Tasks"), 3);
}

QTEST_GUILESS_MAIN(TestSampleData)
#include "tst_sampledata.moc"
