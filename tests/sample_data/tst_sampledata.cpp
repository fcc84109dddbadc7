// The sample data loader: what it adds to an empty, a partly filled and an already loaded database.
#include "app/Database.h"
#include "sample_data/SampleData.h"
#include "support/TestSupport.h"

#include <QtTest>

class TestSampleData : public QObject {
    Q_OBJECT
private slots:
    void emptyDatabaseGetsTheWorkedExample();
    void oneContactIsToppedUpWithJohnWilson();
    void secondLoadAddsOnlyProjectsAndTasks();
    void apostropheInValueListIsKept();
    void failedQueriesFallBackAndGoOn();

private:
    static QStringList projects() {
        return TestEnvironment::rows(QStringLiteral(
            "select ProjectName,OwnerName,Status,Category,Priority,Notes,StartDate,EndDate,BudgetInDays,Budget "
            "from [Open Projects] order by ID"));
    }
    static QStringList tasks() {
        return TestEnvironment::rows(
            QStringLiteral("select p.ProjectName,t.Title,t.AssignedTo,t.Priority,t.Status,t.Cost,t.CostInDays,"
                           "t.PercentComplete,t.Description,t.StartDate,t.DueDate "
                           "from [Open Tasks] t join Projects p on p.ID=t.ProjectID order by t.ID"));
    }
    static int count(const char* table) {
        return TestEnvironment::scalar(QStringLiteral("select count(*) from ") + QLatin1String(table)).toInt();
    }
};

void TestSampleData::emptyDatabaseGetsTheWorkedExample() {
    TestEnvironment env;
    env.openDatabase();
    ScriptedMessages messages;

    SampleData::load(QDate(2021, 8, 31));

    QVERIFY2(messages.shown().empty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(TestEnvironment::rows(
                 QStringLiteral("select FirstName,LastName,Email,Company,JobTitle from Employees order by ID")),
             QStringList({QStringLiteral("John|Wilson|jwilson@example.com|ACME|Manager"),
                          QStringLiteral("Daniel|Carter|carden@example.com|ACME|HR")}));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Status from Status")),
             QStringList({QStringLiteral("In process"), QStringLiteral("Cancelled")}));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Category from Categories")),
             QStringList({QStringLiteral("New Category"), QStringLiteral("Main Category")}));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Priority from Priorities")),
             QStringList({QStringLiteral("High"), QStringLiteral("Low")}));
    QCOMPARE(projects(),
             QStringList({QStringLiteral("Developing|Daniel Carter|Cancelled|Main Category|Low|Notes here|"
                                         "2021-08-31|2021-08-31|11|36"),
                          QStringLiteral("Testing|John Wilson|In process|New Category|High|"
                                         "Maybe will require more time|2021-08-31|2021-08-31|14|28"),
                          QStringLiteral("Implementinging|John Wilson|Cancelled|New Category|Low|Needs trip|"
                                         "2021-08-31|2021-08-31|5|62")}));
    // Due dates 3, 2 and 5 days on, across the month's end.
    QCOMPARE(tasks(), QStringList({QStringLiteral("Developing|Research|Daniel Carter|Low|Cancelled|14|3|62|"
                                                  "research before start|2021-08-31|2021-09-03"),
                                   QStringLiteral("Testing|Blind test|John Wilson|High|In process|15|2|31|"
                                                  "Create test methods|2021-08-31|2021-09-02"),
                                   QStringLiteral("Implementinging|Trip|John Wilson|Low|In process|36|4|0|"
                                                  "Trip to work place|2021-08-31|2021-09-05")}));
}

void TestSampleData::oneContactIsToppedUpWithJohnWilson() {
    TestEnvironment env;
    env.openDatabase();
    ScriptedMessages messages;
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('Ann','Lee')"));

    SampleData::load(QDate(2022, 1, 10));

    QVERIFY(messages.errors().isEmpty());
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select FirstName||' '||LastName from Employees order by ID")),
             QStringList({QStringLiteral("Ann Lee"), QStringLiteral("John Wilson")}));
    // First contact is the existing one, last is John Wilson.
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select OwnerName from [Open Projects] order by ID")),
             QStringList({QStringLiteral("John Wilson"), QStringLiteral("Ann Lee"), QStringLiteral("Ann Lee")}));
}

void TestSampleData::secondLoadAddsOnlyProjectsAndTasks() {
    TestEnvironment env;
    env.openDatabase();
    ScriptedMessages messages;
    SampleData::load(QDate(2021, 8, 31));
    const QStringList firstProjects = projects();

    SampleData::load(QDate(2021, 9, 1));

    QVERIFY(messages.errors().isEmpty());
    QCOMPARE(count("Employees"), 2);
    QCOMPARE(count("Status"), 2);
    QCOMPARE(count("Categories"), 2);
    QCOMPARE(count("Priorities"), 2);
    QCOMPARE(count("Projects"), 6);
    QCOMPARE(count("Tasks"), 6);
    const QStringList all = projects();
    QCOMPARE(all.mid(0, 3), firstProjects);
    QCOMPARE(all.mid(3),
             QStringList(firstProjects).replaceInStrings(QStringLiteral("2021-08-31"), QStringLiteral("2021-09-01")));
    // Each new task belongs to the project inserted just before it.
    QCOMPARE(TestEnvironment::rows(
                 QStringLiteral("select p.ProjectName||'/'||t.Title from Tasks t join Projects p on p.ID=t.ProjectID "
                                "where p.ID>3 order by t.ID")),
             QStringList({QStringLiteral("Developing/Research"), QStringLiteral("Testing/Blind test"),
                          QStringLiteral("Implementinging/Trip")}));
}

void TestSampleData::apostropheInValueListIsKept() {
    TestEnvironment env;
    env.openDatabase();
    ScriptedMessages messages;
    TestEnvironment::exec(QStringLiteral("insert into [Status] values ('Won''t do')"));
    TestEnvironment::exec(QStringLiteral("insert into [Status] values ('Done')"));
    TestEnvironment::exec(QStringLiteral("insert into [Priorities] values ('Boss''s pick')"));

    SampleData::load(QDate(2021, 8, 31));

    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(count("Status"), 2);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Priority from Priorities")),
             QStringList({QStringLiteral("Boss's pick"), QStringLiteral("High")}));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName,Status,Priority from Projects order by ID")),
             QStringList({QStringLiteral("Developing|Done|High"), QStringLiteral("Testing|Won't do|Boss's pick"),
                          QStringLiteral("Implementinging|Done|High")}));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title,Status,Priority from Tasks order by ID")),
             QStringList({QStringLiteral("Research|Done|High"), QStringLiteral("Blind test|Won't do|Boss's pick"),
                          QStringLiteral("Trip|Won't do|High")}));
}

void TestSampleData::failedQueriesFallBackAndGoOn() {
    TestEnvironment env;
    env.openDatabase();
    ScriptedMessages messages;
    // Without a Categories table its count, inserts and reads fail; the rest still loads, and
    // the projects fall back to a single blank as category.
    TestEnvironment::exec(QStringLiteral("drop table Categories"));

    SampleData::load(QDate(2021, 8, 31));

    const QStringList errors = messages.errors();
    QCOMPARE(errors.size(), 5); // count, two inserts, first, last
    for (const QString& e : errors)
        QVERIFY2(e.contains(QStringLiteral("in FennickPlanner2021/08/31.Form1.PushButton8_Click at line ")),
                 qPrintable(e));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Category from Projects")),
             QStringList({QStringLiteral(" "), QStringLiteral(" "), QStringLiteral(" ")}));
    QCOMPARE(count("Tasks"), 3);
}

QTEST_GUILESS_MAIN(TestSampleData)
#include "tst_sampledata.moc"
