// The shared connection, the SQL text rules and the dialect adaptation.
#include "app/Backup.h"
#include "app/ChangeFeed.h"
#include "app/Connection.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/FieldBounds.h"
#include "app/SqlText.h"
#include "app/SqliteConnection.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

class TestDatabase : public QObject {
    Q_OBJECT
private slots:
    void quotesAreDoubled();
    void dialectLeavesTextsAndSignsAlone_data();
    void dialectLeavesTextsAndSignsAlone();
    void apostropheRoundTrips();
    void plusJoinsContactNames();
    void firstAndLastFollowStoredOrder();
    void columnsAreCaseInsensitiveAndDatesRead();
    void missingFileIsNeverCreated();
    void anotherCopysCommitsAreAnnounced();
    void notADatabaseIsReportedAndKept();
    void deletingProjectRemovesItsTasks();
    void viewsKeepRowsOfDeletedContacts();
    void olderDatabaseGetsTodaysViews();
    void refusedChangesSayWhyInPlainWords_data();
    void refusedChangesSayWhyInPlainWords();
    void fileFromBeforeRowVersionsIsUpgraded();
    void plannerTablesKeepTheirRules_data();
    void plannerTablesKeepTheirRules();
};

void TestDatabase::quotesAreDoubled() {
    QCOMPARE(SqlText::quoted(QStringLiteral("O'Brien's plan")), QStringLiteral("'O''Brien''s plan'"));
    QCOMPARE(SqlText::quoted(QString()), QStringLiteral("''"));
    QCOMPARE(SqlText::doubled(QStringLiteral("''")), QStringLiteral("''''"));
    QCOMPARE(SqlText::dateText(QDate(2021, 8, 31)), QStringLiteral("2021-08-31"));
}

void TestDatabase::dialectLeavesTextsAndSignsAlone_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("sqlite");
    QTest::newRow("contact name") << "select FirstName+' '+LastName from Employees"
                                  << "select FirstName||' '||LastName from Employees";
    QTest::newRow("plus inside text") << "insert into [Status] values ('a+b')"
                                      << "insert into [Status] values ('a+b')";
    QTest::newRow("plus in doubled quotes") << "select 'it''s+'+Notes from Projects"
                                            << "select 'it''s+'||Notes from Projects";
    QTest::newRow("signed number") << "update Projects set Budget=+5,BudgetInDays=1e+3 where ID=1"
                                   << "update Projects set Budget=+5,BudgetInDays=1e+3 where ID=1";
    QTest::newRow("bracketed names") << "select [a+b]+[c] from t"
                                     << "select [a+b]||[c] from t";
    QTest::newRow("last scans table") << "SELECT Last(Projects.ID) AS [MaxID] FROM Projects"
                                      << "SELECT Last(Projects.ID) AS [MaxID] FROM Projects NOT INDEXED";
}

void TestDatabase::dialectLeavesTextsAndSignsAlone() {
    QFETCH(QString, jet);
    QFETCH(QString, sqlite);
    QCOMPARE(SqlText::adaptDialect(jet), sqlite);
}

void TestDatabase::apostropheRoundTrips() {
    TestEnvironment env;
    env.openDatabase();
    const QString name = QStringLiteral("O'Brien's plan");
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName) values (") + SqlText::quoted(name) +
                          QStringLiteral(")"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select ProjectName from Projects")).toString(), name);
}

void TestDatabase::plusJoinsContactNames() {
    TestEnvironment env;
    env.openDatabase();
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('John','Wilson')"));
    ResultSet rs = Database::shared().query(QStringLiteral(
        "select ID,FirstName+' '+LastName as ContactName from Employees order by FirstName+' '+LastName"));
    QVERIFY(!rs.eof());
    QCOMPARE(rs.text(QStringLiteral("contactname")), QStringLiteral("John Wilson"));
}

void TestDatabase::firstAndLastFollowStoredOrder() {
    TestEnvironment env;
    env.openDatabase();
    // Inserted out of alphabetical order: stored order, not sorted order, must win.
    TestEnvironment::exec(QStringLiteral("insert into [Status] values ('In process')"));
    TestEnvironment::exec(QStringLiteral("insert into [Status] values ('Cancelled')"));
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('Zed','A')"));
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('Abe','B')"));
    for (int i = 0; i < 3; ++i)
        TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner) values ('p',%1)").arg(9 - i));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("SELECT First(Status.Status) AS [MaxID] FROM Status")).toString(),
             QStringLiteral("In process"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("SELECT Last(Status.Status) AS [MaxID] FROM Status")).toString(),
             QStringLiteral("Cancelled"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("SELECT First(Employees.ID) AS [MaxID] FROM Employees")).toInt(),
             1);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("SELECT Last(Projects.ID) AS [MaxID] FROM Projects")).toInt(), 3);
    QVERIFY(TestEnvironment::scalar(QStringLiteral("SELECT First(Priorities.Priority) AS [MaxID] FROM Priorities"))
                .isNull());
}

void TestDatabase::columnsAreCaseInsensitiveAndDatesRead() {
    TestEnvironment env;
    env.openDatabase();
    TestEnvironment::exec(QStringLiteral(
        "insert into Projects (ProjectName,StartDate,Budget,BudgetInDays) values ('x','2021-08-31',1000,2.5)"));
    ResultSet rs = Database::shared().query(QStringLiteral("select * from [Open Projects]"));
    QVERIFY(!rs.eof());
    QCOMPARE(rs.date(QStringLiteral("StartDAte")), QDate(2021, 8, 31));
    QCOMPARE(rs.text(QStringLiteral("budget")), QStringLiteral("1000"));
    QCOMPARE(rs.text(QStringLiteral("BUDGETINDAYS")), QStringLiteral("2.5"));
    QVERIFY_THROWS_EXCEPTION(DbError, rs.text(QStringLiteral("EndDate")));
    QCOMPARE(rs.textOrEmpty(QStringLiteral("EndDate")), QString());
    QVERIFY_THROWS_EXCEPTION(DbError, rs.value(QStringLiteral("NoSuchColumn")));
    rs.moveNext();
    QVERIFY(rs.eof());
}

void TestDatabase::missingFileIsNeverCreated() {
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/missing.mdb");
    QVERIFY_THROWS_EXCEPTION(DbError, Database::shared().open(path));
    QVERIFY(!QFile::exists(path));
    QVERIFY(!Database::shared().isOpen());
    QVERIFY_THROWS_EXCEPTION(DbError, Database::shared().query(QStringLiteral("select 1")));
}

// Two copies of the program on one file: what the other commits reaches this one's change feed
// (and so its lists); its own commits do not.
void TestDatabase::anotherCopysCommitsAreAnnounced() {
    if (TestEnvironment::isTeam())
        QSKIP("the team database announces changes through the server");
    TestEnvironment env;
    env.openDatabase();
    QSignalSpy changed(&Database::shared().changes(), &ChangeFeed::changed);
    TestEnvironment::exec(QStringLiteral("insert into Status (Status) values ('Mine')"));
    QVERIFY(!changed.wait(2500));
    SqliteConnection other(Database::shared().path());
    other.execute(QStringLiteral("insert into Status (Status) values ('Theirs')"));
    QVERIFY(changed.wait(5000));
}

void TestDatabase::notADatabaseIsReportedAndKept() {
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/junk.mdb");
    QFile junk(path);
    QVERIFY(junk.open(QIODevice::WriteOnly));
    const QByteArray content(4096, 'x');
    junk.write(content);
    junk.close();
    QVERIFY_THROWS_EXCEPTION(DbError, Database::shared().open(path));
    QVERIFY(junk.open(QIODevice::ReadOnly));
    QCOMPARE(junk.readAll(), content);
}

void TestDatabase::deletingProjectRemovesItsTasks() {
    TestEnvironment env;
    env.openDatabase();
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName) values ('a')"));
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName) values ('b')"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title) values (1,'t1')"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title) values (2,'t2')"));
    QCOMPARE(Database::shared().execute(QStringLiteral("delete from Projects where ID=1")), 1);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title from Tasks")), QStringList{QStringLiteral("t2")});
}

void TestDatabase::viewsKeepRowsOfDeletedContacts() {
    TestEnvironment env;
    env.openDatabase();
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('Ann','Lee')"));
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner) values ('p',1)"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,AssignedTo) values (1,'t',1)"));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select OwnerName from [Open Projects]")),
             QStringList{QStringLiteral("Ann Lee")});
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select AssignedID, AssignedTo from [Open Tasks]")),
             QStringList{QStringLiteral("1|Ann Lee")});
    TestEnvironment::exec(QStringLiteral("delete from Employees where ID=1"));
    // A contact that is gone says so; no contact at all stays empty.
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName) values ('nobody''s')"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title) values (1,'open')"));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName, OwnerName from [Open Projects]")),
             QStringList({"p|(deleted contact)", "nobody's|"}));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title, AssignedTo from [Open Tasks]")),
             QStringList({"t|(deleted contact)", "open|"}));
}

void TestDatabase::olderDatabaseGetsTodaysViews() {
    // A database made by an earlier version: its views showed a deleted contact as an empty name.
    TestEnvironment env;
    env.openDatabase();
    for (const char* view :
         {"drop view [Open Projects]", "drop view [Open Tasks]",
          "create view [Open Projects] as select ID, ProjectName, '' as OwnerName from Projects",
          "create view [Open Tasks] as select ID, Title, AssignedTo as AssignedID, '' as AssignedTo from Tasks",
          "insert into Projects (ProjectName,Owner) values ('p',7)",
          "insert into Tasks (ProjectID,Title,AssignedTo) values (1,'t',7)"})
        TestEnvironment::exec(QLatin1String(view));

    // Opened again, the database has today's views; the rows are untouched.
    const QString target = env.databaseTarget();
    Database::shared().close();
    Database::shared().open(target);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName, OwnerName, Budget from [Open Projects]")),
             QStringList{"p|(deleted contact)|"});
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title, AssignedID, AssignedTo from [Open Tasks]")),
             QStringList{"t|7|(deleted contact)"});
}

void TestDatabase::refusedChangesSayWhyInPlainWords_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("words");
    QTest::newRow("task of a missing project") << "insert into Tasks (ProjectID,Title) values (999,'t')"
                                               << "The record that this one belongs to no longer exists, so "
                                                  "nothing was saved.";
    QTest::newRow("missing value") << "insert into Rules (Code) values (null)"
                                   << "A value that must be given is missing, so nothing was saved";
    QTest::newRow("duplicate") << "insert into Rules (Code) values (1)"
                               << "This entry is already there";
    QTest::newRow("value out of range") << "update Rules set Code=-5"
                                        << "A value is not one that may be stored here";
    QTest::newRow("the schema's own words") << "insert into [Status] values ('Open')"
                                            << "This status is already in the list.";
}

void TestDatabase::refusedChangesSayWhyInPlainWords() {
    QFETCH(QString, statement);
    QFETCH(QString, words);
    TestEnvironment env;
    env.openDatabase();
    TestEnvironment::exec(QStringLiteral("create table Rules (Code integer not null unique check (Code > 0))"));
    TestEnvironment::exec(QStringLiteral("insert into Rules (Code) values (1)"));
    TestEnvironment::exec(QStringLiteral("insert into [Status] values ('Open')"));
    const QString why = refusalOf([&] { Database::shared().execute(statement); });
    QVERIFY2(why.startsWith(words), qPrintable(why));
    QVERIFY2(!why.contains(QStringLiteral("FOREIGN KEY")), qPrintable(why));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks")).toInt(), 0);
}

QTEST_MAIN(TestDatabase)
#include "tst_database.moc"

// A local file of the first version (no row versions, no planner tables) is brought up to date
// when it is opened, after one backup copy, and keeps its rows; each update then raises the
// version, the planner's tables work, and the upgrade happens once.
void TestDatabase::fileFromBeforeRowVersionsIsUpgraded() {
    SKIP_FOR_TEAM_DATABASE();
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/old.mdb");
    {
        QFile empty(path);
        QVERIFY(empty.open(QIODevice::WriteOnly));
        QFile script(QStringLiteral(FENNICK_TEST_DATA "/old-files/schema-v0.sql"));
        QVERIFY(script.open(QIODevice::ReadOnly));
        empty.close();
        SqliteConnection old(path);
        old.runScript(QString::fromUtf8(script.readAll()));
        old.execute(QStringLiteral("insert into Projects (ProjectName, Owner) values ('kept', 0)"));
        old.execute(QStringLiteral("insert into Tasks (ProjectID, Title) values (1, 'summary')"));
        old.execute(QStringLiteral("insert into Tasks (ProjectID, Title) values (1, 'detail')"));
    }
    QDir(Backup::folderFor(path)).removeRecursively();
    Database db;
    db.open(path);
    QVERIFY(db.connection()->hasRowVersions());
    QCOMPARE(static_cast<SqliteConnection*>(db.connection())->schemaVersion(), 5);
    QCOMPARE(Backup::existing(path).size(), 1);
    // The tasks keep the order they were shown in (no dates: by ID) as their places.
    QCOMPARE(db.query(QStringLiteral("select group_concat(PlanOrder) from (select PlanOrder from Tasks order by ID)"))
                 .value(0)
                 .toString(),
             QStringLiteral("1,2"));
    QCOMPARE(db.query(QStringLiteral("select ProjectName from Projects")).value(0).toString(), QStringLiteral("kept"));
    db.execute(QStringLiteral("update Projects set ProjectName = 'renamed'"));
    QCOMPARE(db.query(QStringLiteral("select row_version from Projects")).value(0).toInt(), 2);
    db.execute(QStringLiteral("update Tasks set ParentID = 1 where Title = 'detail'"));
    db.execute(QStringLiteral("insert into TaskLinks (PredecessorID, SuccessorID, Kind, Lag) values (1, 2, 'SS', -1)"));
    QCOMPARE(db.query(QStringLiteral("select count(*) from WorkingDays where Working = 1")).value(0).toInt(), 5);
    // Texts now have bounds.
    QVERIFY_THROWS_EXCEPTION(DbError, db.execute(QStringLiteral("update Projects set ProjectName = '%1'")
                                                     .arg(QString(FieldBounds::maxShortText + 1, QLatin1Char('x')))));
    // Changes are now in the history, with who made them.
    QCOMPARE(db.query(QStringLiteral("select count(*) from History where TableName = 'projects' and Kind = 'update' "
                                     "and ChangedBy is not null"))
                 .value(0)
                 .toInt(),
             1);
    db.close();
    db.open(path); // brought up to date once: no second copy
    QCOMPARE(Backup::existing(path).size(), 1);
}

void TestDatabase::plannerTablesKeepTheirRules_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("refusal"); // empty: accepted
    QTest::newRow("link in one project") << "insert into TaskLinks (PredecessorID, SuccessorID) values (1, 2)"
                                         << "";
    QTest::newRow("link across projects") << "insert into TaskLinks (PredecessorID, SuccessorID) values (1, 3)"
                                          << "Only tasks of one project can be linked.";
    QTest::newRow("link to itself") << "insert into TaskLinks (PredecessorID, SuccessorID) values (1, 1)"
                                    << "nothing was saved";
    QTest::newRow("unknown kind") << "insert into TaskLinks (PredecessorID, SuccessorID, Kind) values (1, 2, 'XX')"
                                  << "nothing was saved";
    QTest::newRow("parent in the project") << "update Tasks set ParentID = 1 where ID = 2"
                                           << "";
    QTest::newRow("parent of another project") << "update Tasks set ParentID = 3 where ID = 2"
                                               << "A task can only be placed under another task of its own project.";
    QTest::newRow("its own parent") << "update Tasks set ParentID = 2 where ID = 2"
                                    << "A task can only be placed under another task of its own project.";
}

// The planner's tables refuse what no plan can hold, on both kinds of database, and deleting a
// summary hands its children on and takes its links with it.
void TestDatabase::plannerTablesKeepTheirRules() {
    QFETCH(QString, statement);
    QFETCH(QString, refusal);
    TestEnvironment env;
    env.openDatabase();
    for (const char* name : {"one", "two"})
        TestEnvironment::exec(QStringLiteral("insert into Projects (ID, ProjectName, Owner) values (%1, '%2', 0)")
                                  .arg(QLatin1String(name) == QLatin1String("one") ? 1 : 2)
                                  .arg(QLatin1String(name)));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ID, ProjectID, Title) values (1, 1, 'a')"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ID, ProjectID, Title) values (2, 1, 'b')"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ID, ProjectID, Title) values (3, 2, 'c')"));
    const QString refused = refusalOf([&] { TestEnvironment::exec(statement); });
    if (refusal.isEmpty())
        QCOMPARE(refused, QStringLiteral("(not refused)"));
    else
        QVERIFY2(refused.contains(refusal), qPrintable(refused));
    if (!refusal.isEmpty())
        return;
    // Deleting the summary (task 1): its child stays, without a parent; its links go.
    TestEnvironment::exec(QStringLiteral("update Tasks set ParentID = 1 where ID = 2"));
    TestEnvironment::exec(QStringLiteral("delete from Tasks where ID = 1"));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ID, coalesce(ParentID, 0) from Tasks order by ID")),
             (QStringList{"2|0", "3|0"}));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from TaskLinks")).toInt(), 0);
}
