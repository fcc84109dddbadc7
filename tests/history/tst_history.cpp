// The history of the records and Undo/Redo: every kind of change is recorded by the database with
// who made it (also when another program makes it), each command undone and redone gives back
// the same tables, an undo never overwrites another client's change, random sequences of commands
// and undos leave a consistent database, and a deleted project comes back whole.
#include "app/Backup.h"
#include "app/Cascade.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/History.h"
#include "app/SqlText.h"
#include "app/UndoSteps.h"
#include "history/HistoryWindow.h"
#include "main_window/Form1.h"
#include "scheduling/PlanStore.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QJsonDocument>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <sqlite3.h>

namespace {

QStringList snapshot() {
    QStringList all;
    auto add = [&](const QString& name, const QString& query) {
        for (const QString& row : TestEnvironment::rows(query))
            all << name + QLatin1Char('|') + row;
    };
    add(QStringLiteral("projects"),
        QStringLiteral("select ID, ProjectName, Owner, StartDate, Status, Category, Priority, Notes, EndDate, "
                       "BudgetInDays, Budget from Projects order by ID"));
    add(QStringLiteral("tasks"),
        QStringLiteral(
            "select ID, ProjectID, Title, Priority, Status, Cost, CostInDays, PercentComplete, AssignedTo, "
            "Description, StartDate, DueDate, ParentID, Milestone, StartNoEarlierThan from Tasks order by ID"));
    add(QStringLiteral("employees"), QStringLiteral("select ID, FirstName, LastName, Email, Company, JobTitle, "
                                                    "BusinessPhone, HomePhone, MobilePhone, FaxNumber, Address, City, "
                                                    "State, ZIP, Country, WebPage, Notes from Employees order by ID"));
    add(QStringLiteral("links"),
        QStringLiteral("select ID, PredecessorID, SuccessorID, Kind, Lag from TaskLinks order by ID"));
    for (const char* list : {"Status", "Categories", "Priorities"}) {
        const QString table = QLatin1String(list);
        add(table, TestEnvironment::isTeam()
                       ? QStringLiteral("select * from %1_entries order by seq").arg(table.toLower())
                       : QStringLiteral("select rowid, * from %1 order by rowid").arg(table));
    }
    return all;
}

// psql on the team database as the role given (password 'secret'), or as the run's own user:
// its exit code and what it wrote on its error stream.
std::pair<int, QString> psqlAs(const QString& role, const QString& statements) {
    QProcess psql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!role.isEmpty()) {
        env.insert(QStringLiteral("PGUSER"), role);
        env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("secret"));
    }
    psql.setProcessEnvironment(env);
    psql.start(QStringLiteral("psql"),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                QStringLiteral("-d"), Database::shared().target(), QStringLiteral("-c"), statements});
    psql.closeWriteChannel();
    if (!psql.waitForFinished(-1))
        return {-1, QStringLiteral("psql did not run")};
    return {psql.exitCode(), QString::fromUtf8(psql.readAllStandardError())};
}

// Another program writing to the database: sqlite3 on the file, psql as the role given.
void otherProgram(const QString& statement, const QString& role = {}) {
    if (TestEnvironment::isTeam()) {
        const auto [code, errors] = psqlAs(role, statement);
        QVERIFY2(code == 0, qPrintable(errors));
        return;
    }
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(Database::shared().path().toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 10000);
    char* error = nullptr;
    const int rc =
        sqlite3_exec(db, ("PRAGMA foreign_keys = ON; " + statement).toUtf8().constData(), nullptr, nullptr, &error);
    const QString text = error ? QString::fromUtf8(error) : QString();
    sqlite3_free(error);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(text));
}

// A role of the team database with the rights the team guide gives its members (or with every
// right on the tables, or none).
void teamMember(const QString& role, const QString& rights = QStringLiteral("SELECT, INSERT, UPDATE, DELETE")) {
    TestServer::admin(QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN "
                                     "CREATE ROLE %1 LOGIN PASSWORD 'secret'; END IF; END $$")
                          .arg(role));
    if (rights.isEmpty())
        return;
    TestEnvironment::exec(QStringLiteral("GRANT %1 ON ALL TABLES IN SCHEMA public TO %2").arg(rights, role));
    TestEnvironment::exec(QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %1").arg(role));
}

// Two projects; the first has three tasks (the third under the second, linked from the first) and
// the second one task; a contact owns the first; one status, category and priority each.
struct Fixture {
    TestEnvironment env;
    ScriptedMessages messages;
    Fixture() {
        env.openDatabase();
        UndoSteps::shared().attach(Database::shared());
        UndoSteps::shared().clear();
        TestEnvironment::exec(QStringLiteral("insert into Status (Status) values ('Open')"));
        TestEnvironment::exec(QStringLiteral("insert into Categories (Category) values ('Work')"));
        TestEnvironment::exec(QStringLiteral("insert into Priorities (Priority) values ('High')"));
        TestEnvironment::exec(QStringLiteral(
            "insert into Employees (ID, FirstName, LastName, Email) values (1, 'Ada', 'Byron', 'ada@x')"));
        TestEnvironment::exec(QStringLiteral(
            "insert into Projects (ID, ProjectName, Owner, StartDate, EndDate, Status, Category, Priority, Budget) "
            "values (1, 'Testing', 1, '2027-01-04', '2027-01-29', 'Open', 'Work', 'High', 1500.5)"));
        TestEnvironment::exec(
            QStringLiteral("insert into Projects (ID, ProjectName, Status) values (2, 'Other', 'Open')"));
        TestEnvironment::exec(QStringLiteral(
            "insert into Tasks (ID, ProjectID, Title, StartDate, DueDate, AssignedTo, PercentComplete, Status) values "
            "(1, 1, 'Plan', '2027-01-04', '2027-01-08', 1, 50, 'Open'), "
            "(2, 1, 'Build', '2027-01-11', '2027-01-15', null, 0, 'Open'), "
            "(3, 1, 'Wire', '2027-01-11', '2027-01-15', null, 0, 'Open'), "
            "(4, 2, 'Alone', '2027-02-01', '2027-02-02', null, 0, null)"));
        TestEnvironment::exec(QStringLiteral("update Tasks set ParentID = 2 where ID = 3"));
        TestEnvironment::exec(
            QStringLiteral("insert into TaskLinks (PredecessorID, SuccessorID, Kind, Lag) values (1, 2, 'FS', 0)"));
        Database::shared().moveIdsPastKept(
            {QStringLiteral("Employees"), QStringLiteral("Projects"), QStringLiteral("Tasks")});
        UndoSteps::shared().clear();
    }
    ~Fixture() { Database::shared().setHistoryListener({}); }
};

struct Command {
    const char* name;
    std::function<void()> run;
    const char* step; // the name Undo gives it: what the user did, not what followed from it
};

// The program's commands as the windows run them.
const std::vector<Command>& commands() {
    static const std::vector<Command> all{
        {"edit a project",
         [] {
             Database::shared().transaction([] {
                 Database::shared().execute(QStringLiteral(
                     "update Projects set ProjectName='Testing 2', EndDate='2027-02-05', Budget=99.25 where ID=1"));
             });
         },
         "Change Project 'Testing 2'"},
        {"delete a project with its tasks",
         [] { Database::shared().execute(QStringLiteral("delete from Projects where ID=1")); },
         "Delete Project 'Testing'"},
        {"delete a task with a subtask and a link",
         [] { Database::shared().execute(QStringLiteral("delete from Tasks where ID=2")); }, "Delete Task 'Build'"},
        {"delete a status with its projects",
         [] {
             ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("PushButton8_Click"));
             std::optional<Backup::Cover> cover; // as the editors make it
             if (Database::shared().keepsOwnBackups())
                 cover.emplace(Database::shared());
             Cascade::run(trap, QStringLiteral("delete from [Status] where Status='Open'"),
                          QStringLiteral("delete from Projects where Status='Open'"));
             QVERIFY(!trap.failed());
         },
         "Delete Status 'Open'"},
        {"delete a contact with the projects it owns",
         [] {
             ErrorTrap trap(QStringLiteral("Form3"), QStringLiteral("PushButton3_Click"));
             std::optional<Backup::Cover> cover; // as the editors make it
             if (Database::shared().keepsOwnBackups())
                 cover.emplace(Database::shared());
             Cascade::run(trap, QStringLiteral("delete from Employees where ID=1"),
                          QStringLiteral("delete from Projects where Owner=1"));
             QVERIFY(!trap.failed());
         },
         "Delete Contact 'Ada Byron'"},
        {"add a task",
         [] {
             Database::shared().execute(QStringLiteral("insert into Tasks (ProjectID, Title, StartDate, DueDate) "
                                                       "values (2, 'New', '2027-02-03', '2027-02-04')"));
         },
         "Add Task 'New'"},
        {"add a category",
         [] { Database::shared().execute(QStringLiteral("insert into [Categories] (Category) values ('Home')")); },
         "Add Category 'Home'"},
        {"move a linked task in the plan",
         [] {
             QVERIFY(PlanStore::moveTask(1, 1, QDate(2027, 1, 11), QDate(2027, 1, 15)).kind ==
                     PlanStore::Outcome::Kind::Saved);
         },
         "Change 3 Tasks"},
        {"link two tasks",
         [] {
             QVERIFY(PlanStore::link(1, PlanLink{1, 3, LinkKind::StartToStart, 1}).kind ==
                     PlanStore::Outcome::Kind::Saved);
         },
         "Add Link"},
    };
    return all;
}

QStringList entriesText(const QList<History::Entry>& entries) {
    QStringList lines;
    for (const History::Entry& e : entries) {
        QStringList fields;
        for (const History::FieldChange& c : History::changedFields(e))
            fields << c.field;
        lines << QStringLiteral("%1 %2 %3 %4").arg(e.kind, e.table).arg(e.recordId).arg(fields.join(QLatin1Char(',')));
    }
    return lines;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void everyChangeIsRecordedWithWhoMadeIt();
    void changesOfOtherProgramsAreRecorded();
    void undoAndRedoGiveBackTheSameTables_data();
    void undoAndRedoGiveBackTheSameTables();
    void undoNeverOverwritesAnotherChange();
    void randomCommandsAndUndosStayConsistent();
    void deletedProjectComesBackWhole();
    void historyWindowShowsFiltersAndRestores();
    void restoredDatesKeepTheLinks_data();
    void restoredDatesKeepTheLinks();
    void ctrlZBringsADeletedProjectBack();
    void retentionRemovesTheOldest();
    void restoreTakesNoNameFromTheHistory_data();
    void restoreTakesNoNameFromTheHistory();
    void historyIsTheOwnersAlone_data();
    void historyIsTheOwnersAlone();
};

void TestHistory::everyChangeIsRecordedWithWhoMadeIt() {
    Fixture f;
    const QString me = TestEnvironment::isTeam()
                           ? TestEnvironment::scalar(QStringLiteral("select session_user")).toString()
                           : qEnvironmentVariable("USER", QDir::home().dirName());
    Database::shared().execute(QStringLiteral("update Tasks set DueDate='2027-01-12', Title='Plan it' where ID=1"));
    QList<History::Entry> task = History::ofRecord(QStringLiteral("tasks"), 1);
    QCOMPARE(entriesText(task),
             QStringList({"update tasks 1 title,duedate", "insert tasks 1 projectid,title,status,"
                                                          "assignedto,startdate,duedate,"
                                                          "percentcomplete,milestone,milestoneatstart"}));
    QCOMPARE(task.first().by, me);
    QCOMPARE(History::valueText(QStringLiteral("duedate"), task.first().before.value(QStringLiteral("duedate"))),
             QLocale::system().toString(QDate(2027, 1, 8), QLocale::ShortFormat));
    QVERIFY(qAbs(task.first().at.secsTo(QDateTime::currentDateTimeUtc())) < 600);

    // A delete that takes tasks and links with it is recorded record by record, as one change.
    Database::shared().execute(QStringLiteral("delete from Projects where ID=1"));
    const QList<History::Entry> deletion = History::together(History::ofRecord(QStringLiteral("projects"), 1).first());
    QStringList kinds = entriesText(deletion);
    for (QString& k : kinds)
        k = k.section(QLatin1Char(' '), 0, 2);
    kinds.sort();
    QCOMPARE(kinds, QStringList({"delete projects 1", "delete tasklinks 1", "delete tasks 1", "delete tasks 2",
                                 "delete tasks 3"}));
    QCOMPARE(History::describe(deletion), QStringLiteral("Delete Project 'Testing'"));
    QCOMPARE(UndoSteps::shared().undoName(), QStringLiteral("Delete Project 'Testing'"));

    // Value lists and contacts too; a save that changes nothing is no entry.
    Database::shared().execute(QStringLiteral("update Employees set Email='ada@y' where ID=1"));
    Database::shared().execute(QStringLiteral("update Employees set Email='ada@y' where ID=1"));
    QCOMPARE(entriesText(History::ofRecord(QStringLiteral("employees"), 1)).first(),
             QStringLiteral("update employees 1 email"));
    QCOMPARE(History::ofRecord(QStringLiteral("employees"), 1).size(), 2);
    Database::shared().execute(QStringLiteral("delete from [Priorities] where Priority='High'"));
    QCOMPARE(UndoSteps::shared().undoName(), QStringLiteral("Delete Priority 'High'"));
}

void TestHistory::changesOfOtherProgramsAreRecorded() {
    Fixture f;
    const QString role = QStringLiteral("editor_2");
    if (TestEnvironment::isTeam())
        teamMember(role);
    otherProgram(QStringLiteral("update Tasks set DueDate='2027-01-20' where ID=2"), role);
    otherProgram(QStringLiteral("delete from Projects where ID=2"), role);
    const History::Entry changed = History::ofRecord(QStringLiteral("tasks"), 2).first();
    QCOMPARE(entriesText({changed}), QStringList{"update tasks 2 duedate"});
    QCOMPARE(History::personText(changed),
             TestEnvironment::isTeam() ? QStringLiteral("role editor_2") : QStringLiteral("another program"));
    // Another program's delete of a project is in Recently Deleted with its task.
    const QList<History::DeletedProject> deleted = History::deletedProjects();
    QCOMPARE(deleted.size(), 1);
    QCOMPARE(History::recordLabel(deleted.first().entry), QStringLiteral("Other"));
    QCOMPARE(deleted.first().tasks, 1);
    // Nobody but the owner changes the history.
    if (TestEnvironment::isTeam()) {
        QProcess psql;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGUSER"), role);
        env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("secret"));
        psql.setProcessEnvironment(env);
        for (const QString& forge :
             {QStringLiteral("delete from history"), QStringLiteral("update history set changedby = 'x'"),
              QStringLiteral("insert into history (tablename, recordid, kind) values ('tasks', 1, 'insert')")}) {
            psql.start(QStringLiteral("psql"),
                       {QStringLiteral("-X"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                        QStringLiteral("-d"), Database::shared().target(), QStringLiteral("-c"), forge});
            QVERIFY(psql.waitForFinished(60000));
            QVERIFY2(psql.exitCode() != 0, qPrintable(forge));
            QVERIFY(psql.readAllStandardError().contains("can be read, not changed"));
        }
    }
}

void TestHistory::undoAndRedoGiveBackTheSameTables_data() {
    QTest::addColumn<int>("command");
    for (int i = 0; i < static_cast<int>(commands().size()); ++i)
        QTest::newRow(commands()[i].name) << i;
}

void TestHistory::undoAndRedoGiveBackTheSameTables() {
    QFETCH(int, command);
    Fixture f;
    const QStringList before = snapshot();
    commands()[command].run();
    const QStringList after = snapshot();
    QVERIFY(before != after);
    QCOMPARE(UndoSteps::shared().depth(), 1);
    QCOMPARE(UndoSteps::shared().undoName(), QLatin1String(commands()[command].step));
    UndoSteps::shared().undo();
    QCOMPARE(snapshot(), before);
    QVERIFY(UndoSteps::shared().canRedo());
    UndoSteps::shared().redo();
    QCOMPARE(snapshot(), after);
    UndoSteps::shared().undo();
    QCOMPARE(snapshot(), before);
    QCOMPARE(UndoSteps::shared().depth(), 0);
    // A new change after an undo leaves nothing to redo: the undone step no longer follows on.
    QVERIFY(UndoSteps::shared().canRedo());
    commands()[command].run();
    QCOMPARE(UndoSteps::shared().depth(), 1);
    QVERIFY(!UndoSteps::shared().canRedo());
}

void TestHistory::undoNeverOverwritesAnotherChange() {
    Fixture f;
    commands()[5].run(); // a task added: an older step that stays
    Database::shared().execute(QStringLiteral("update Projects set ProjectName='Mine' where ID=2"));
    otherProgram(QStringLiteral("update Projects set Notes='theirs' where ID=2"));
    const QStringList theirs = snapshot();
    try {
        UndoSteps::shared().undo();
        QFAIL("undone over another program's change");
    } catch (const History::Conflict& conflict) {
        QCOMPARE(conflict.description(),
                 QStringLiteral("Project 'Other' was changed by someone else since, so nothing was changed. Reopen it "
                                "to see it as it is now."));
    }
    QCOMPARE(snapshot(), theirs);
    QCOMPARE(UndoSteps::shared().undoName(), QStringLiteral("Add Task 'New'"));
    UndoSteps::shared().undo();
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks where Title='New'")).toInt(), 0);
}

void TestHistory::randomCommandsAndUndosStayConsistent() {
    Fixture f;
    QRandomGenerator random(20261207);
    QList<QStringList> states{snapshot()}; // the state after each step not undone
    for (int round = 0; round < 60; ++round) {
        const int pick = random.bounded(10);
        if (pick < 3 && UndoSteps::shared().canUndo()) {
            UndoSteps::shared().undo();
            states.removeLast();
        } else if (pick < 4 && UndoSteps::shared().canRedo()) {
            UndoSteps::shared().redo();
            states << snapshot();
        } else {
            const int depth = UndoSteps::shared().depth();
            try {
                commands()[random.bounded(static_cast<int>(commands().size()))].run();
            } catch (const DbError&) {
            }
            if (UndoSteps::shared().depth() > depth)
                states << snapshot();
        }
        QCOMPARE(snapshot(), states.last());
    }
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks t where not exists (select 1 from "
                                                    "Projects p where p.ID = t.ProjectID)"))
                 .toInt(),
             0);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from TaskLinks l where not exists (select 1 from "
                                                    "Tasks t where t.ID = l.PredecessorID) or not exists (select 1 "
                                                    "from Tasks t where t.ID = l.SuccessorID)"))
                 .toInt(),
             0);
    if (!TestEnvironment::isTeam())
        QCOMPARE(TestEnvironment::scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    while (UndoSteps::shared().canUndo())
        UndoSteps::shared().undo();
    QCOMPARE(snapshot(), states.first());
}

void TestHistory::deletedProjectComesBackWhole() {
    Fixture f;
    const QStringList before = snapshot();
    Database::shared().execute(QStringLiteral("delete from Projects where ID=1"));
    Database::shared().execute(QStringLiteral("update Projects set ProjectName='Kept' where ID=2"));
    const QList<History::DeletedProject> deleted = History::deletedProjects();
    QCOMPARE(deleted.size(), 1);
    QCOMPARE(deleted.first().tasks, 3);
    History::apply(History::deletionOfProject(deleted.first().entry), History::Direction::Back);
    QStringList expected = before;
    expected.replaceInStrings(QStringLiteral("projects|2|Other|"), QStringLiteral("projects|2|Kept|"));
    QCOMPARE(snapshot(), expected);
    QVERIFY(History::deletedProjects().isEmpty());
    // Restoring twice finds it back already.
    QVERIFY_THROWS_EXCEPTION(
        History::Conflict, History::apply(History::deletionOfProject(deleted.first().entry), History::Direction::Back));
}

void TestHistory::historyWindowShowsFiltersAndRestores() {
    Fixture f;
    Database::shared().execute(QStringLiteral("update Tasks set DueDate='2027-01-12' where ID=1"));
    otherProgram(QStringLiteral("update Tasks set Title='Plan well' where ID=1"));
    HistoryWindow window(QStringLiteral("tasks"), 1, QStringLiteral("Plan well"));
    auto* list = window.findChild<QTreeWidget*>(QStringLiteral("historyList"));
    QCOMPARE(list->topLevelItemCount(), 3);
    const QString due = QStringLiteral("Due Date %1 → %2")
                            .arg(QLocale::system().toString(QDate(2027, 1, 8), QLocale::ShortFormat),
                                 QLocale::system().toString(QDate(2027, 1, 12), QLocale::ShortFormat));
    QCOMPARE(list->topLevelItem(1)->text(2), due);
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("Title Plan → Plan well"));
    auto* field = window.findChild<QComboBox*>(QStringLiteral("fieldFilter"));
    field->setCurrentIndex(field->findText(QStringLiteral("Due Date")));
    QCOMPARE(list->topLevelItemCount(), 2); // the change and the insert that set it
    auto* person = window.findChild<QComboBox*>(QStringLiteral("personFilter"));
    person->setCurrentIndex(person->findText(TestEnvironment::isTeam()
                                                 ? QStringLiteral("role %1").arg(list->topLevelItem(0)->text(1).mid(5))
                                                 : QStringLiteral("another program")));
    field->setCurrentIndex(0);
    QCOMPARE(list->topLevelItemCount(), TestEnvironment::isTeam() ? 3 : 1);
    person->setCurrentIndex(0);
    // Restore the version before the date changed: the title stays as the other program made it?
    // No: a version is the whole record, so the record is as it was then.
    list->setCurrentItem(list->topLevelItem(2));
    window.findChild<QPushButton*>(QStringLiteral("restoreVersion"))->click();
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title, DueDate from Tasks where ID=1")),
             QStringList{"Plan|2027-01-08"});
    QVERIFY(window.restoredAnything());
    QCOMPARE(list->topLevelItemCount(), 4);
}

void TestHistory::restoredDatesKeepTheLinks_data() {
    QTest::addColumn<QStringList>("moves");    // "task first last", in the plan, before the restore
    QTest::addColumn<int>("task");             // whose version is restored
    QTest::addColumn<QString>("version");      // the start date of that version
    QTest::addColumn<QStringList>("expected"); // Plan and Wire (under Build, which Plan links to)
    QTest::newRow("a successor's date before its link allows")
        << QStringList{"1 2027-01-11 2027-01-15"} << 3 << "2027-01-11"
        << QStringList{"Plan|2027-01-11|2027-01-15|2027-01-11", "Wire|2027-01-18|2027-01-22|2027-01-11"};
    QTest::newRow("a predecessor's later date: its successors follow")
        << QStringList{"1 2027-01-11 2027-01-15", "1 2027-01-04 2027-01-08"} << 1 << "2027-01-11"
        << QStringList{"Plan|2027-01-11|2027-01-15|2027-01-11", "Wire|2027-01-18|2027-01-22|"};
}

// History -> Restore this version goes through the plan: the date restored is held as a typed
// date is, and the links stay kept.
void TestHistory::restoredDatesKeepTheLinks() {
    QFETCH(QStringList, moves);
    QFETCH(int, task);
    QFETCH(QString, version);
    QFETCH(QStringList, expected);
    Fixture f;
    for (const QString& move : moves) {
        const QStringList m = move.split(QLatin1Char(' '));
        QCOMPARE(PlanStore::moveTask(1, m[0].toLongLong(), QDate::fromString(m[1], Qt::ISODate),
                                     QDate::fromString(m[2], Qt::ISODate))
                     .kind,
                 PlanStore::Outcome::Kind::Saved);
    }
    const QList<History::Entry> versions = History::ofRecord(QStringLiteral("tasks"), task);
    const auto chosen = std::find_if(versions.begin(), versions.end(), [&](const History::Entry& e) {
        return e.after.value(QStringLiteral("startdate")).toString().startsWith(version);
    });
    QVERIFY(chosen != versions.end());
    History::restoreVersion(*chosen);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title, StartDate, DueDate, StartNoEarlierThan from Tasks "
                                                  "where ID in (1, 3) order by ID")),
             expected);
}

void TestHistory::ctrlZBringsADeletedProjectBack() {
    Fixture f;
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Form_Load();
    QTreeView* projects = form.ListView1;
    QTRY_COMPARE(projects->model()->rowCount(), 2);
    Form1::selectRow(projects, 0);
    f.messages.answerNext(true);
    form.findChild<QPushButton*>(QStringLiteral("PushButton3"))->click();
    QTRY_COMPARE(projects->model()->rowCount(), 1);
    auto* undo = form.findChild<QAction*>(QStringLiteral("actionUndo"));
    QCOMPARE(undo->text(), QStringLiteral("&Undo Delete Project 'Testing'"));
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    QTRY_COMPARE(projects->model()->rowCount(), 2);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks where ProjectID=1")).toInt(), 3);
    auto* redo = form.findChild<QAction*>(QStringLiteral("actionRedo"));
    QCOMPARE(redo->text(), QStringLiteral("&Redo Delete Project 'Testing'"));
    QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
    QTRY_COMPARE(projects->model()->rowCount(), 1);
}

void TestHistory::retentionRemovesTheOldest() {
    Fixture f;
    const int total = TestEnvironment::scalar(QStringLiteral("select count(*) from History")).toInt();
    QVERIFY(total >= 10);
    if (TestEnvironment::isTeam()) {
        TestEnvironment::exec(QStringLiteral("update fennick_history.history_retention set entries = 4"));
        QCOMPARE(History::prune(180, 4), qint64(total - 4));
    } else {
        QCOMPARE(History::prune(180, 4), qint64(total - 4));
    }
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from History")).toInt(), 4);
    QCOMPARE(History::prune(180, 4), qint64(0));
}

void TestHistory::restoreTakesNoNameFromTheHistory_data() {
    QTest::addColumn<QString>("change"); // the program's change of project 2, then undone
    QTest::addColumn<QString>("name");   // a field name put into its entry by someone else
    QTest::newRow("a change undone, a name that sets other columns")
        << "update Projects set ProjectName='Other 2' where ID=2"
        << "projectname = 'forged', notes";
    QTest::newRow("a deleted project restored, a name that calls a function")
        << "delete from Projects where ID=2"
        << "fennick_id_counter('projects',9223372036854775807)--";
}

// What the history holds is data, never a statement's names: an entry whose record carries a field
// that is no column of its table (written there by another program, or by the file's owner) is
// put back with the table's own columns, and the odd name goes nowhere.
void TestHistory::restoreTakesNoNameFromTheHistory() {
    QFETCH(QString, change);
    QFETCH(QString, name);
    Fixture f;
    const QStringList before = snapshot();
    Database::shared().execute(change);
    const History::Entry entry = History::ofRecord(QStringLiteral("projects"), 2).first();
    QJsonObject row = entry.before;
    row.insert(name, 1);
    TestEnvironment::exec(
        (TestEnvironment::isTeam()
             ? QStringLiteral("update fennick_history.history set oldrow = %1::jsonb where id = %2")
             : QStringLiteral("update History set OldRow = %1 where ID = %2"))
            .arg(SqlText::quoted(QString::fromUtf8(QJsonDocument(row).toJson(QJsonDocument::Compact))))
            .arg(entry.id));
    History::apply(History::together(History::ofRecord(QStringLiteral("projects"), 2).first()),
                   History::Direction::Back);
    QCOMPARE(snapshot(), before);
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName) values ('Next')"));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select ID from Projects where ProjectName = 'Next'")).toInt(), 3);
}

void TestHistory::historyIsTheOwnersAlone_data() {
    QTest::addColumn<QString>("rights"); // on the tables of public; "-": the run's own superuser
    QTest::addColumn<QString>("statements");
    QTest::addColumn<QString>("refusal");
    const QString forge = QStringLiteral(
        "create temp table fake (id bigint, projectname text); create trigger fake after insert or delete on fake "
        "for each row execute function public.fennick_history('projects', 'id'); insert into fake values (77, "
        "'Fake'); delete from fake");
    const QString mute = QStringLiteral("create function pg_temp.mute() returns trigger language plpgsql as $$ begin "
                                        "return null; end $$; create trigger mute before insert on %1 for each row "
                                        "execute function pg_temp.mute()");
    QTest::newRow("a deleted project forged by a role without rights")
        << "" << forge << "permission denied for function";
    QTest::newRow("a deleted project forged by a role that may run the function") << "-" << forge << "own tables only";
    QTest::newRow("the history muted by a member with every right on the tables")
        << "ALL" << mute.arg(QStringLiteral("fennick_history.history")) << "permission denied for schema";
    QTest::newRow("the history that the team reads muted")
        << "ALL" << mute.arg(QStringLiteral("history")) << "is a view";
    QTest::newRow("the tasks truncated by a member with every right on the tables") << "ALL"
                                                                                    << "truncate tasks cascade"
                                                                                    << "deleted, not truncated";
    QTest::newRow("the retention shortened by a member with every right on the tables")
        << "ALL"
        << "update fennick_history.history_retention set entries = 1"
        << "permission denied for schema";
}

// In a team database no role but the owner writes, silences or bypasses the history, whatever it
// was granted on the planner's tables.
void TestHistory::historyIsTheOwnersAlone() {
    if (!TestEnvironment::isTeam())
        QSKIP("roles are the team database's");
    QFETCH(QString, rights);
    QFETCH(QString, statements);
    QFETCH(QString, refusal);
    Fixture f;
    const QString role = rights == QLatin1String("-") ? QString() : QStringLiteral("intruder");
    if (!role.isEmpty())
        teamMember(role, rights);
    const QStringList before = snapshot();
    const int entries = TestEnvironment::scalar(QStringLiteral("select count(*) from History")).toInt();
    const auto [code, errors] = psqlAs(role, statements);
    QVERIFY2(code != 0 && errors.contains(refusal), qPrintable(errors));
    QCOMPARE(snapshot(), before);
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from History")).toInt(), entries);
    QVERIFY(History::deletedProjects().isEmpty());
    // A change afterwards is recorded as ever.
    Database::shared().execute(QStringLiteral("update Tasks set Title = 'After' where ID = 4"));
    QCOMPARE(History::ofRecord(QStringLiteral("tasks"), 4).first().after.value(QStringLiteral("title")).toString(),
             QStringLiteral("After"));
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
