// The task editor: validation, the rows it writes, loading a task, and the mended save faults.
#include "EditorTestUtil.h"
#include "editors/EditorSql.h"

#include <QLabel>

using namespace EditorTest;

namespace {

// The contacts Ann Lee and Bob Ray, and a project the tasks belong to.
struct TaskFixture : PeopleFixture {
    qint64 project = addProject("Project", ann);
    QString projectId = QString::number(project);
};

// A new task assigned to Bob Ray that saves.
const QStringList valid = {"Text1=Plan", "Combo1=Bob Ray", "Combo3=In process",          "Combo5=High",
                           "Text4=10",   "Text5=2",        "DateTimePicker1=2021-08-31", "DateTimePicker2=2021-09-30",
                           "Text6=0"};

const QStringList fields =
    names("Text2 Text1 Combo1 Combo3 Combo5 DateTimePicker1 DateTimePicker2 Text4 Text5 Text6 Text3");

const QString taskRow = "select ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,AssignedTo,"
                        "Description,StartDate,DueDate from Tasks";

} // namespace

class TestForm5 : public QObject {
    Q_OBJECT
private slots:
    void statementsFollowTheColumnOrder();
    void validationReportsFirstFailure_data();
    void validationReportsFirstFailure();
    void addWritesProjectAssigneeIdNumbersAndDates();
    void textsRoundTripExactly_data() { awkwardTexts(); }
    void textsRoundTripExactly();
    void editSelectsAssigneeByIdAndUpdatesOnlyThatTask();
    void missingAssigneeOpensWithNoneSelected();
    void fieldThatCannotBeShownEndsTheLoading();
    void missingValuesOpenEmptyAndAreAskedFor_data();
    void missingValuesOpenEmptyAndAreAskedFor();
    void cancelWritesNothing();
    void failedSaveKeepsEditorOpen();
    void saveOfDeletedTaskSaysNothingWasSaved();
    void saveForMissingProjectSaysSo_data();
    void saveForMissingProjectSaysSo();
    void numbersAreWrittenAsSqlReadsThem();
    void keyboardFollowsTheTabOrder();
    void typedDatesFollowThePlan_data();
    void typedDatesFollowThePlan();
};

void TestForm5::statementsFollowTheColumnOrder() {
    EditorSql::TaskValues v{"7", "Plan", "High", "Open", "10", "2", "0", 3, {}, QDate(2021, 8, 31), QDate(2021, 9, 30)};
    QCOMPARE(EditorSql::insertTask(v),
             QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,"
                            "AssignedTo,Description,StartDate,DueDate) values (7,'Plan','High','Open',10,2,0,3,'',"
                            "'2021-08-31','2021-09-30')"));
    v.description = "a'b";
    QCOMPARE(EditorSql::updateTask(v, "4"),
             QStringLiteral("update Tasks set ProjectID=7,Title='Plan',Priority='High',Status='Open',Cost=10,"
                            "CostInDays=2,PercentComplete=0,AssignedTo=3,Description='a''b',StartDate='2021-08-31',"
                            "DueDate='2021-09-30' where ID=4"));
}

void TestForm5::validationReportsFirstFailure_data() {
    refusalColumns();
    refusal("title of spaces", {"Text1=  ", "Combo1="}, "You forgot to input Title.", "Text1");
    refusal("assignee", {"Combo1=", "Combo3="}, "You forgot to select Assigned To.", "Combo1");
    refusal("status", {"Combo3=", "Combo5="}, "You forgot to select Status.", "Combo3");
    refusal("priority", {"Combo5=", "Text4=", "Text5=", "Text6="}, "You forgot to select Priority.", "Combo5");
    refusal("empty cost", {"Text4=", "Text5=x", "Text6=x"}, "You forgot to input Cost.", "Text4");
    refusal("cost letters", {"Text4=abc", "Text5=", "Text6="}, "Cost must be numeric value.", "Text4");
    refusal("cost in days empty", {"Text5= ", "Text6=x"}, "You forgot to input Cost in Days.", "Text5");
    refusal("cost in days infinite", {"Text5=-inf"}, "Cost in Days must be a numeric value.", "Text5");
    refusal("percent empty", {"Text6="}, "You forgot to input % Complete.", "Text6");
    refusal("percent letters", {"Text6=half"}, "% Complete must be numeric value.", "Text6");
    refusal("start blank", {"DateTimePicker1=", "Text4="}, "You forgot to input Start Date.", "DateTimePicker1");
    refusal("start in 1850", {"DateTimePicker1=1850-06-01"}, "Start Date must be between 1900 and 2200.",
            "DateTimePicker1");
    refusal("due blank", {"DateTimePicker2="}, "You forgot to input Due Date.", "DateTimePicker2");
    refusal("due in 9999", {"DateTimePicker2=9999-12-31"}, "Due Date must be between 1900 and 2200.",
            "DateTimePicker2");
    refusal("due a day before start", {"DateTimePicker2=2021-08-30", "Text6=x"},
            "Due Date cannot be before Start Date.", "DateTimePicker2");
    refusal("cost negative", {"Text4=-10", "Text5=x"}, "Cost cannot be negative.", "Text4");
    refusal("cost exponent", {"Text4=1E2"}, "Cost must be a plain decimal number.", "Text4");
    refusal("cost in days exponent", {"Text5=1e3"}, "Cost in Days must be a plain decimal number.", "Text5");
    refusal("percent 150", {"Text6=150"}, "% Complete must be between 0 and 100.", "Text6");
}

void TestForm5::validationReportsFirstFailure() {
    TaskFixture f;
    checkRefusal(open<Form5>({}, f.projectId).get(), f.messages, valid, "Tasks");
}

void TestForm5::addWritesProjectAssigneeIdNumbersAndDates() {
    TaskFixture f;
    auto form = open<Form5>({}, f.projectId);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QCOMPARE(shown(form.get(), fields), QStringList({"", "", "", "", "", today, today, "0", "0", "0", ""}));
    set(form.get(), valid + QStringList{"Text1= Plan ", "Text4=10.5", "Text6=100"});
    save(form.get());
    QCOMPARE(f.messages.notices(), QStringList{"Record Successfully Saved"});
    QVERIFY(!form->isVisible());
    QCOMPARE(rows(taskRow),
             QStringList{
                 QString("%1| Plan |High|In process|10.5|2|100|%2||2021-08-31|2021-09-30").arg(f.project).arg(f.bob)});
}

void TestForm5::textsRoundTripExactly() {
    QFETCH(QString, text);
    TaskFixture f;
    addToValueLists(text);
    checkTextsRoundTrip<Form5>(
        f.messages, "Tasks",
        {{"Text1", "Title"}, {"Combo3", "Status"}, {"Combo5", "Priority"}, {"Text3", "Description"}},
        QStringList(4, text), valid, f.projectId);
}

void TestForm5::editSelectsAssigneeByIdAndUpdatesOnlyThatTask() {
    TaskFixture f;
    // Twins have the same entry text: the task's assignee is found by ID, not by name.
    const qint64 twin1 = addContact("Sam", "Doe");
    const qint64 twin2 = addContact("Sam", "Doe");
    const qint64 other = addTask(f.project, "Other", twin1);
    const qint64 id = addTask(f.project, "Mine", twin2, "Closed", "Low");
    auto form = open<Form5>(QString::number(id), f.projectId);
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(shown(form.get(), fields), QStringList({QString::number(id), "Mine", "Sam Doe", "Closed", "Low",
                                                     "2021-08-31", "2021-09-30", "10", "2", "50", ""}));
    QCOMPARE(form->contactIDs().value(child<QComboBox>(form.get(), "Combo1")->currentIndex()), twin2);
    QCOMPARE(child<QComboBox>(form.get(), "Combo1")->placeholderText(), QString());
    set(form.get(), "Text6", "75");
    save(form.get());
    QCOMPARE(f.messages.notices(), QStringList{"Record Successfully Updated"});
    QCOMPARE(rows("select ID,AssignedTo,PercentComplete from Tasks order by ID"),
             QStringList({QString("%1|%2|50").arg(other).arg(twin1), QString("%1|%2|75").arg(id).arg(twin2)}));
}

void TestForm5::missingAssigneeOpensWithNoneSelected() {
    TaskFixture f;
    auto form = open<Form5>(QString::number(addTask(f.project, "T", 999)), f.projectId);
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(shown(form.get(), names("Combo1 Combo5")), QStringList({"", "High"}));
    // The box says that the contact is gone, never showing a blank or someone else.
    QCOMPARE(child<QComboBox>(form.get(), "Combo1")->placeholderText(), QStringLiteral("(deleted contact)"));
}

void TestForm5::fieldThatCannotBeShownEndsTheLoading() {
    if (TestEnvironment::isTeam())
        QSKIP("a team database's date columns hold nothing but dates");
    TaskFixture f;
    // A status no longer in the list is shown as stored; a stored date that is no date cannot be.
    const qint64 id = addTask(f.project, "T", f.bob, "Gone");
    TestEnvironment::exec(QString("update Tasks set StartDate='someday' where ID=%1").arg(id));
    auto form = open<Form5>(QString::number(id), f.projectId);
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY2(f.messages.errors()[0].contains("Form5.Form_Load at line 7"), qPrintable(f.messages.errors()[0]));
    // Read before the start date: shown. After it: the load defaults.
    QCOMPARE(shown(form.get(), names("Text1 Combo1 Combo3 Combo5 DateTimePicker1 Text6")),
             QStringList({"T", "Bob Ray", "Gone", "High", QDate::currentDate().toString(Qt::ISODate), "0"}));
}

void TestForm5::missingValuesOpenEmptyAndAreAskedFor_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message");
    QTest::newRow("title") << "Title"
                           << "Text1"
                           << "You forgot to input Title.";
    QTest::newRow("assignee") << "AssignedTo"
                              << "Combo1"
                              << "You forgot to select Assigned To.";
    QTest::newRow("status") << "Status"
                            << "Combo3"
                            << "You forgot to select Status.";
    QTest::newRow("priority") << "Priority"
                              << "Combo5"
                              << "You forgot to select Priority.";
    QTest::newRow("start") << "StartDate"
                           << "DateTimePicker1"
                           << "You forgot to input Start Date.";
    QTest::newRow("due") << "DueDate"
                         << "DateTimePicker2"
                         << "You forgot to input Due Date.";
    QTest::newRow("cost") << "Cost"
                          << "Text4"
                          << "You forgot to input Cost.";
    QTest::newRow("cost in days") << "CostInDays"
                                  << "Text5"
                                  << "You forgot to input Cost in Days.";
    QTest::newRow("percent") << "PercentComplete"
                             << "Text6"
                             << "You forgot to input % Complete.";
}

// A task written without a value opens without an error, with that field empty; saving asks
// for it and writes nothing.
void TestForm5::missingValuesOpenEmptyAndAreAskedFor() {
    QFETCH(QString, column);
    QFETCH(QString, field);
    QFETCH(QString, message);
    TaskFixture f;
    const qint64 id = addTask(f.project, "T", f.bob);
    TestEnvironment::exec(QString("update Tasks set %1=null").arg(column));
    const QStringList before = rows("select * from Tasks");
    auto form = open<Form5>(QString::number(id), f.projectId);
    QVERIFY2(f.messages.shown().empty(), qPrintable(f.messages.errors().join('\n')));
    QCOMPARE(shown(form.get(), field), QString());
    // The fields after it are loaded too.
    QCOMPARE(shown(form.get(), "Text6") == "50", column != "PercentComplete");
    save(form.get());
    QCOMPARE(f.messages.notices(), QStringList{message});
    QCOMPARE(form->focusWidget()->objectName(), field);
    QCOMPARE(rows("select * from Tasks"), before);
}

void TestForm5::cancelWritesNothing() {
    TaskFixture f;
    auto form = open<Form5>(QString::number(addTask(f.project, "Keep", f.ann)), f.projectId);
    checkCancelWritesNothing(form.get(), f.messages, {"Text1=Changed"}, "Tasks");
}

void TestForm5::failedSaveKeepsEditorOpen() {
    TaskFixture f;
    auto form = open<Form5>({}, f.projectId);
    refuseInserts("Tasks");
    checkFailedSaveKeepsEditorOpen(form.get(), f.messages, valid + QStringList{"Text3=typed"}, "Tasks");
}

void TestForm5::saveOfDeletedTaskSaysNothingWasSaved() {
    TaskFixture f;
    auto form = open<Form5>(QString::number(addTask(f.project, "T", f.ann)), f.projectId);
    TestEnvironment::exec("delete from Tasks");
    checkSaveOfDeletedRecord(form.get(), f.messages, "Tasks");
}

void TestForm5::saveForMissingProjectSaysSo_data() {
    QTest::addColumn<QString>("combo"); // the list whose value is deleted inside the editor
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("value");
    QTest::newRow("project deleted elsewhere") << ""
                                               << ""
                                               << "";
    QTest::newRow("its status deleted in this editor") << "Combo3"
                                                       << "PushButton8"
                                                       << "In process";
    QTest::newRow("its owner deleted in this editor") << "Combo1"
                                                      << "PushButton6"
                                                      << "Ann Lee";
}

void TestForm5::saveForMissingProjectSaysSo() {
    QFETCH(QString, combo);
    QFETCH(QString, button);
    QFETCH(QString, value);
    TaskFixture f;
    auto form = open<Form5>({}, f.projectId);
    if (combo.isEmpty()) {
        TestEnvironment::exec("delete from Projects");
    } else {
        set(form.get(), combo, value);
        f.messages.answerNext(true);
        click(form.get(), qPrintable(button));
    }
    QCOMPARE(rowCount("Projects"), 0);
    QStringList typed = valid;
    typed.replaceInStrings("Combo3=In process", "Combo3=Closed");
    set(form.get(), typed);
    save(form.get());
    QCOMPARE(f.messages.notices(), QStringList{"The project of this task no longer exists: it may have been deleted "
                                               "while the window was open. Nothing was saved."});
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join('\n')));
    QVERIFY(form->isVisible());
    QCOMPARE(rowCount("Tasks"), 0);
}

void TestForm5::numbersAreWrittenAsSqlReadsThem() {
    TaskFixture f;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto form = open<Form5>({}, f.projectId);
    set(form.get(), valid + QStringList{"Text4=1.234,5", "Text5=0,5", "Text6=+12,5"});
    save(form.get());
    QLocale::setDefault(QLocale::c());
    QVERIFY(!form->isVisible());
    QVERIFY(f.messages.errors().isEmpty());
    QCOMPARE(rows("select Cost,CostInDays,PercentComplete from Tasks"), QStringList{"1234.5|0.5|12.5"});
}

void TestForm5::keyboardFollowsTheTabOrder() {
    TaskFixture f;
    auto form = open<Form5>({}, f.projectId);
    const QStringList order = names("Text1 Combo1 PushButton5 PushButton9 PushButton6 Combo3 PushButton7 PushButton8 "
                                    "Combo5 PushButton13 PushButton14 DateTimePicker1 DateTimePicker2 Text4 Text5 "
                                    "Text6 Text3 PushButton2 PushButton1 Text2 Text1");
    QCOMPARE(focusRound(form.get(), order.size() - 1), order);
}

// A plan in September 2021 (Monday to Friday): A (3 days) links to B (2 days) finish to start;
// the summary P spans its subtasks C1 and C2; U stands alone.
struct PlanFixture : TaskFixture {
    QHash<QString, qint64> ids;
    PlanFixture() {
        for (const QString& line : QString("A 06 08 ,B 09 10 ,P 06 14 ,C1 06 07 P,C2 13 14 P,U 06 07 ").split(',')) {
            const QStringList t = line.split(' '); // title, first and last day, parent
            ids.insert(t[0], addTask(project, t[0], bob));
            TestEnvironment::exec(QString("update Tasks set StartDate='2021-09-%1',DueDate='2021-09-%2',ParentID=%3 "
                                          "where ID=%4")
                                      .arg(t[1], t[2], t[3].isEmpty() ? "null" : QString::number(ids[t[3]]))
                                      .arg(ids[t[0]]));
        }
        link("A", "B");
    }
    void link(const char* from, const char* to) {
        TestEnvironment::exec(
            QString("insert into TaskLinks (PredecessorID,SuccessorID) values (%1,%2)").arg(ids[from]).arg(ids[to]));
    }
};

void TestForm5::typedDatesFollowThePlan_data() {
    QTest::addColumn<QString>("task");
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<bool>("loop");           // B also links back to A
    QTest::addColumn<QStringList>("changed"); // title|start|due|start no earlier than; none: nothing saved
    QTest::addColumn<QDate>("heldUntil");     // a question names the link that holds the task until then
    QTest::addColumn<bool>("removeLink");     // the answer to it
    const QStringList moveTo13 = {"DateTimePicker1=2021-09-13", "DateTimePicker2=2021-09-15"};
    const QStringList typedEarly = {"DateTimePicker1=2021-09-01", "DateTimePicker2=2021-09-02"};
    QTest::newRow("linked task moved: its successor follows")
        << "A" << moveTo13 << false << QStringList{"A|2021-09-13|2021-09-15|2021-09-13", "B|2021-09-16|2021-09-17|"}
        << QDate() << false;
    QTest::newRow("successor typed before its link allows: kept by the link")
        << "B" << typedEarly << false << QStringList{"B|2021-09-09|2021-09-10|2021-09-01"} << QDate(2021, 9, 9)
        << false;
    QTest::newRow("successor typed before its link allows: link removed")
        << "B" << typedEarly << false << QStringList{"B|2021-09-01|2021-09-02|2021-09-01"} << QDate(2021, 9, 9) << true;
    QTest::newRow("successor typed after its link allows: no question")
        << "B" << QStringList{"DateTimePicker1=2021-09-14", "DateTimePicker2=2021-09-15"} << false
        << QStringList{"B|2021-09-14|2021-09-15|2021-09-14"} << QDate() << false;
    QTest::newRow("subtask moved: its summary spans it")
        << "C2" << QStringList{"DateTimePicker1=2021-09-20", "DateTimePicker2=2021-09-21"} << false
        << QStringList{"P|2021-09-06|2021-09-21|", "C2|2021-09-20|2021-09-21|2021-09-20"} << QDate() << false;
    QTest::newRow("summary: dates kept") << "P" << QStringList{"Text1=Phase"} << false
                                         << QStringList{"Phase|2021-09-06|2021-09-14|"} << QDate() << false;
    QTest::newRow("linked task renamed: not pinned") << "A" << QStringList{"Text1=First"} << false
                                                     << QStringList{"First|2021-09-06|2021-09-08|"} << QDate() << false;
    QTest::newRow("task outside the plan") << "U" << QStringList{"DateTimePicker2=2021-09-08"} << false
                                           << QStringList{"U|2021-09-06|2021-09-08|"} << QDate() << false;
    QTest::newRow("links in a loop: nothing saved") << "A" << moveTo13 << true << QStringList{} << QDate() << false;
}

// A date typed for a linked task or a subtask goes through the plan in the save's transaction;
// a summary's dates are shown, not typed; every other save is as it always was.
void TestForm5::typedDatesFollowThePlan() {
    QFETCH(QString, task);
    QFETCH(QStringList, typed);
    QFETCH(bool, loop);
    QFETCH(QStringList, changed);
    QFETCH(QDate, heldUntil);
    QFETCH(bool, removeLink);
    PlanFixture f;
    if (loop)
        f.link("B", "A");
    const QString query = "select Title,StartDate,DueDate,StartNoEarlierThan from Tasks order by ID";
    const QStringList before = rows(query);
    auto form = open<Form5>(QString::number(f.ids[task]), f.projectId);
    auto* start = child<QDateEdit>(form.get(), "DateTimePicker1");
    QCOMPARE(start->isReadOnly(), task == "P");
    QCOMPARE(child<QLabel>(form.get(), "lblSummaryDates")->isVisibleTo(form.get()), task == "P");
    if (start->isReadOnly()) { // typing changes nothing
        QTest::keyClicks(start, "2022-01-03");
        QCOMPARE(shown(form.get(), "DateTimePicker1"), QString("2021-09-06"));
    }
    set(form.get(), typed);
    f.messages.answerNext(removeLink);
    save(form.get());
    QCOMPARE(f.messages.questions(),
             heldUntil.isValid() ? QStringList{QString("The link from \"A\" (finish to start) holds this task: it "
                                                       "cannot start before %1.\n\nRemove that link and keep the "
                                                       "dates you typed?\n(No: the task starts on %1.)")
                                                   .arg(QLocale().toString(heldUntil, QLocale::ShortFormat))}
                                 : QStringList{});
    QCOMPARE(rows("select count(*) from TaskLinks").value(0).toInt(), (removeLink ? 0 : 1) + (loop ? 1 : 0));
    QCOMPARE(f.messages.notices().value(0),
             loop ? R"(The links of this project's tasks form a loop, so these dates cannot be planned and nothing )"
                    R"(was saved: "A" -> "B" -> "A".)"
                  : "Record Successfully Updated");
    QCOMPARE(form->isVisible(), loop);
    QStringList after = rows(query);
    for (const QString& row : before)
        after.removeOne(row);
    QCOMPARE(after, changed);
}

QTEST_MAIN(TestForm5)
#include "tst_form5.moc"
