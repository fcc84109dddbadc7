// The project editor: validation, the rows it writes, loading a project, and the save faults
// it must not have (a failed or lost save reported as saved, numbers SQL cannot read, the
// owner picked by name).
#include "EditorTestUtil.h"
#include "editors/EditorSql.h"
#include "editors/Openers.h"

#include <QCalendarWidget>

using namespace EditorTest;

namespace {

// A new project owned by Bob Ray that saves.
const QStringList valid = {
    "Text1=Developing", "Combo1=Bob Ray", "Combo3=In process",          "Combo4=Main",
    "Combo5=High",      "Text4=1000",     "DateTimePicker1=2021-08-31", "DateTimePicker2=2021-09-30",
    "Text5=5"};

const QStringList fields =
    names("Text2 Text1 Combo1 Combo3 Combo4 Combo5 DateTimePicker1 DateTimePicker2 Text4 Text5 Text3");

const QString projectRow =
    "select ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,BudgetInDays,Budget from Projects";

} // namespace

class TestForm2 : public QObject {
    Q_OBJECT
private slots:
    void statementsFollowTheColumnOrder();
    void opensEmptyInAddMode();
    void validationReportsFirstFailure_data();
    void validationReportsFirstFailure();
    void addWritesOwnerIdNumbersAndDates();
    void textsRoundTripExactly_data() { awkwardTexts(); }
    void textsRoundTripExactly();
    void editSelectsOwnerByIdAndUpdatesOnlyThatRow();
    void missingOwnerOpensWithNoOwner();
    void fieldThatCannotBeShownKeepsItsDefault();
    void missingValuesOpenEmptyAndAreAskedFor_data();
    void missingValuesOpenEmptyAndAreAskedFor();
    void datesCanBeTyped_data();
    void datesCanBeTyped();
    void blankDateOpensTheCalendarOnThisMonth();
    void cancelWritesNothing();
    void failedSaveKeepsEditorOpen();
    void saveOfDeletedProjectSaysNothingWasSaved();
    void numbersAreWrittenAsSqlReadsThem();
    void listChangeClearsThePick();
    void keyboardFollowsTheTabOrder();
    void openerSetsCaptionAndRecordBeforeLoading();
    void openerOfARecordGoneElsewhereSaysSo_data();
    void openerOfARecordGoneElsewhereSaysSo();
};

void TestForm2::statementsFollowTheColumnOrder() {
    EditorSql::ProjectValues v{"Developing", 3,  QDate(2021, 8, 31), "In process", "Main Category",
                               "High",       {}, QDate(2021, 9, 30), "5",          "1000"};
    QCOMPARE(EditorSql::insertProject(v),
             QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                            "BudgetInDays,Budget) values ('Developing',3,'2021-08-31','In process','Main Category',"
                            "'High','','2021-09-30',5,1000)"));
    v.notes = "it's";
    QCOMPARE(EditorSql::updateProject(v, "12"),
             QStringLiteral("update Projects set ProjectName='Developing',Owner=3,StartDate='2021-08-31',"
                            "Status='In process',Category='Main Category',Priority='High',Notes='it''s',"
                            "EndDate='2021-09-30',BudgetInDays=5,Budget=1000 where ID=12"));
}

void TestForm2::opensEmptyInAddMode() {
    PeopleFixture f;
    auto form = open<Form2>();
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(entries(child<QComboBox>(form.get(), "Combo1")), QStringList({"Ann Lee", "Bob Ray"}));
    QCOMPARE(form->contactIDs(), QList<qint64>({f.ann, f.bob}));
    QCOMPARE(entries(child<QComboBox>(form.get(), "Combo3")), QStringList({"Closed", "In process"}));
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QCOMPARE(shown(form.get(), fields), QStringList({"", "", "", "", "", "", today, today, "0", "0", ""}));
    for (QComboBox* combo : form->findChildren<QComboBox*>())
        QVERIFY(!combo->isEditable());
    QVERIFY(!child<QLineEdit>(form.get(), "Text2")->isEnabled());
    QCOMPARE(form->focusWidget()->objectName(), QStringLiteral("Text1"));
}

void TestForm2::validationReportsFirstFailure_data() {
    refusalColumns();
    refusal("empty name", {"Text1="}, "You forgot to input Project Name.", "Text1");
    refusal("name of spaces", {"Text1=   "}, "You forgot to input Project Name.", "Text1");
    refusal("name, owner and status missing", {"Text1=", "Combo1=", "Combo3="}, "You forgot to input Project Name.",
            "Text1");
    refusal("owner", {"Combo1=", "Combo3="}, "You forgot to select Owner.", "Combo1");
    refusal("status before category", {"Combo4=", "Combo3=", "Combo5="}, "You forgot to select Status.", "Combo3");
    refusal("category", {"Combo4=", "Combo5="}, "You forgot to select Category.", "Combo4");
    refusal("priority", {"Combo5=", "Text4="}, "You forgot to select Priority.", "Combo5");
    refusal("empty budget", {"Text4=", "Text5=x"}, "You forgot to input Budget.", "Text4");
    refusal("budget of spaces", {"Text4=  "}, "You forgot to input Budget.", "Text4");
    refusal("budget letters", {"Text4=abc", "Text5="}, "Budget must be a numeric value.", "Text4");
    refusal("budget nan", {"Text4=nan"}, "Budget must be a numeric value.", "Text4");
    refusal("budget infinite", {"Text4=inf"}, "Budget must be a numeric value.", "Text4");
    refusal("empty days", {"Text5= "}, "You forgot to input Budget in Days.", "Text5");
    refusal("days letters", {"Text5=5d"}, "Budget in Days must be a numeric value.", "Text5");
    // Dates between the lists and the numbers, as on the form.
    refusal("start blank", {"DateTimePicker1=", "Text4="}, "You forgot to input Start Date.", "DateTimePicker1");
    refusal("start before 1900", {"DateTimePicker1=1899-12-31"}, "Start Date must be between 1900 and 2200.",
            "DateTimePicker1");
    refusal("end blank", {"DateTimePicker2=", "Text4="}, "You forgot to input End Date.", "DateTimePicker2");
    refusal("end after 2200", {"DateTimePicker2=2201-01-01"}, "End Date must be between 1900 and 2200.",
            "DateTimePicker2");
    refusal("end a year before start", {"DateTimePicker1=2022-09-30", "DateTimePicker2=2021-09-30", "Text4=x"},
            "End Date cannot be before Start Date.", "DateTimePicker2");
    refusal("budget exponent", {"Text4=1e3"}, "Budget must be a plain decimal number.", "Text4");
    refusal("budget negative", {"Text4=-10", "Text5=x"}, "Budget cannot be negative.", "Text4");
    refusal("days exponent", {"Text5=1e3"}, "Budget in Days must be a plain decimal number.", "Text5");
}

void TestForm2::validationReportsFirstFailure() {
    PeopleFixture f;
    checkRefusal(open<Form2>().get(), f.messages, valid, "Projects");
}

void TestForm2::addWritesOwnerIdNumbersAndDates() {
    PeopleFixture f;
    auto form = open<Form2>();
    set(form.get(), valid);
    set(form.get(), "Text1", "  Plan A  ");
    save(form.get());
    QCOMPARE(f.messages.notices(), QStringList{"Record Successfully Saved"});
    QVERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Accepted));
    QCOMPARE(rows(projectRow),
             QStringList{QString("  Plan A  |%1|2021-08-31|In process|Main|High||2021-09-30|5|1000").arg(f.bob)});
}

void TestForm2::textsRoundTripExactly() {
    QFETCH(QString, text);
    PeopleFixture f;
    addToValueLists(text);
    checkTextsRoundTrip<Form2>(f.messages, "Projects",
                               {{"Text1", "ProjectName"},
                                {"Combo3", "Status"},
                                {"Combo4", "Category"},
                                {"Combo5", "Priority"},
                                {"Text3", "Notes"}},
                               QStringList(5, text), valid);
}

void TestForm2::editSelectsOwnerByIdAndUpdatesOnlyThatRow() {
    PeopleFixture f;
    // Twins have the same entry text: the project's owner is found by ID, not by name.
    const qint64 twin1 = addContact("Sam", "Doe");
    const qint64 twin2 = addContact("Sam", "Doe");
    const qint64 other = addProject("Other", twin1);
    const qint64 id = addProject("Mine", twin2, "Closed", "Side", "Low");
    auto form = open<Form2>(QString::number(id));
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(shown(form.get(), fields), QStringList({QString::number(id), "Mine", "Sam Doe", "Closed", "Side", "Low",
                                                     "2021-08-31", "2021-09-30", "1000", "5", ""}));
    QCOMPARE(form->contactIDs().value(child<QComboBox>(form.get(), "Combo1")->currentIndex()), twin2);
    QVERIFY(!child<QLineEdit>(form.get(), "Text2")->isEnabled());
    set(form.get(), {"Text1=Mine, renamed", "Text4=250.5"});
    save(form.get());
    QCOMPARE(f.messages.notices(), QStringList{"Record Successfully Updated"});
    QVERIFY(!form->isVisible());
    QCOMPARE(rows("select ID,ProjectName,Owner,Budget from Projects order by ID"),
             QStringList({QString("%1|Other|%2|1000").arg(other).arg(twin1),
                          QString("%1|Mine, renamed|%2|250.5").arg(id).arg(twin2)}));
}

void TestForm2::missingOwnerOpensWithNoOwner() {
    PeopleFixture f;
    auto form = open<Form2>(QString::number(addProject("Orphan", 999)));
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(shown(form.get(), names("Combo1 Text1 Combo3")), QStringList({"", "Orphan", "In process"}));
    save(form.get());
    QCOMPARE(f.messages.notices(), QStringList{"You forgot to select Owner."});
}

void TestForm2::fieldThatCannotBeShownKeepsItsDefault() {
    if (TestEnvironment::isTeam())
        QSKIP("a team database's date columns hold nothing but dates");
    PeopleFixture f;
    // A status no longer in the list is shown as stored; a stored date that is no date cannot be.
    const qint64 id = addProject("P", f.ann, "Gone status");
    TestEnvironment::exec("update Projects set Budget=null, StartDate='someday'");
    auto form = open<Form2>(QString::number(id));
    const QStringList errors = f.messages.errors();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains("Form2.LoadData at line 8"), qPrintable(errors[0]));
    // The failing field keeps its default; the fields after it are still loaded, and a missing
    // budget is an empty field.
    QCOMPARE(shown(form.get(), names("Combo3 DateTimePicker1 Text4 Combo4 Text5")),
             QStringList({"Gone status", QDate::currentDate().toString(Qt::ISODate), "", "Main", "5"}));
}

void TestForm2::missingValuesOpenEmptyAndAreAskedFor_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("message");
    QTest::newRow("name") << "ProjectName"
                          << "Text1"
                          << "You forgot to input Project Name.";
    QTest::newRow("owner") << "Owner"
                           << "Combo1"
                           << "You forgot to select Owner.";
    QTest::newRow("status") << "Status"
                            << "Combo3"
                            << "You forgot to select Status.";
    QTest::newRow("category") << "Category"
                              << "Combo4"
                              << "You forgot to select Category.";
    QTest::newRow("priority") << "Priority"
                              << "Combo5"
                              << "You forgot to select Priority.";
    QTest::newRow("start") << "StartDate"
                           << "DateTimePicker1"
                           << "You forgot to input Start Date.";
    QTest::newRow("end") << "EndDate"
                         << "DateTimePicker2"
                         << "You forgot to input End Date.";
    QTest::newRow("budget") << "Budget"
                            << "Text4"
                            << "You forgot to input Budget.";
    QTest::newRow("budget in days") << "BudgetInDays"
                                    << "Text5"
                                    << "You forgot to input Budget in Days.";
}

// A project written without a value (by an import or another program) opens without an error,
// with that field empty; saving asks for it and writes nothing.
void TestForm2::missingValuesOpenEmptyAndAreAskedFor() {
    QFETCH(QString, column);
    QFETCH(QString, field);
    QFETCH(QString, message);
    PeopleFixture f;
    const qint64 id = addProject("P", f.ann);
    TestEnvironment::exec(QString("update Projects set %1=null").arg(column));
    const QStringList before = rows("select * from Projects");
    auto form = open<Form2>(QString::number(id));
    QVERIFY2(f.messages.shown().empty(), qPrintable(f.messages.errors().join('\n')));
    QCOMPARE(shown(form.get(), field), QString());
    QCOMPARE(shown(form.get(), "Text1") == "P", column != "ProjectName");
    save(form.get());
    QCOMPARE(f.messages.notices(), QStringList{message});
    QCOMPARE(form->focusWidget()->objectName(), field);
    QCOMPARE(rows("select * from Projects"), before);
}

void TestForm2::datesCanBeTyped_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("date"); // after leaving the field; the field showed 2021-08-31
    auto row = [](const char* locale, const char* typed, const char* date) {
        QTest::newRow(qPrintable(QString("%1 %2").arg(locale, typed))) << locale << typed << date;
    };
    row("en_GB", "31/12/2026", "2026-12-31");
    row("en_GB", "2026-12-31", "2026-12-31");
    row("en_GB", "31/12/26", "2026-12-31");
    row("en_GB", "31 Dec 2026", "2026-12-31");
    row("en_US", "12/31/2026", "2026-12-31");
    row("en_US", "1/2/2027", "2027-01-02");
    row("de_DE", "31.12.2026", "2026-12-31");
    // Part of a date: the rest comes from the date shown before.
    row("en_GB", "15", "2021-08-15");
    row("en_GB", "Jan", "2021-01-31");
    row("en_GB", "2027", "2027-08-31");
    row("en_GB", "15/3", "2021-03-15");
    row("en_US", "3/15", "2021-03-15");
    // Nothing readable: the date stays; nothing at all: the field is blank.
    row("en_GB", "soon", "2021-08-31");
    row("en_GB", "31/02/2026", "2021-08-31");
    row("en_GB", "", "");
}

void TestForm2::datesCanBeTyped() {
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(QString, date);
    PeopleFixture f;
    QLocale::setDefault(QLocale(locale));
    auto form = open<Form2>();
    QLocale::setDefault(QLocale::c());
    set(form.get(), valid);
    auto* picker = child<QDateEdit>(form.get(), "DateTimePicker1");
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    picker->setFocus(Qt::TabFocusReason);
    if (typed.isEmpty())
        QTest::keyClick(picker, Qt::Key_Delete);
    QTest::keyClicks(picker, typed);
    QTest::keyClick(picker, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("DateTimePicker2"));
    QCOMPARE(shown(form.get(), "DateTimePicker1"), date);
    QVERIFY(f.messages.shown().empty());
}

void TestForm2::blankDateOpensTheCalendarOnThisMonth() {
    PeopleFixture f;
    auto form = open<Form2>();
    auto* picker = child<DatePicker>(form.get(), "DateTimePicker2");
    picker->setBlank();
    QTest::mouseClick(picker, Qt::LeftButton, {}, QPoint(picker->width() - 4, picker->height() / 2));
    QCalendarWidget* calendar = picker->calendarWidget();
    QVERIFY(calendar->isVisible());
    QCOMPARE(calendar->yearShown(), QDate::currentDate().year());
    QCOMPARE(calendar->monthShown(), QDate::currentDate().month());
    calendar->window()->close();
    QVERIFY(picker->isBlank()); // opening the calendar picks nothing
}

void TestForm2::cancelWritesNothing() {
    PeopleFixture f;
    auto form = open<Form2>(QString::number(addProject("Keep", f.ann)));
    checkCancelWritesNothing(form.get(), f.messages, {"Text1=Changed", "Text4=1"}, "Projects");
}

void TestForm2::failedSaveKeepsEditorOpen() {
    PeopleFixture f;
    refuseInserts("Projects");
    auto form = open<Form2>();
    checkFailedSaveKeepsEditorOpen(form.get(), f.messages, valid + QStringList{"Text3=typed notes"}, "Projects");
    QVERIFY(f.messages.errors().value(0).startsWith("The disk is full."));
}

void TestForm2::saveOfDeletedProjectSaysNothingWasSaved() {
    PeopleFixture f;
    auto form = open<Form2>(QString::number(addProject("Doomed", f.ann)));
    // The status list's "-" deletes the status and, with it, the project being edited.
    f.messages.answerNext(true);
    click(form.get(), "PushButton8");
    QCOMPARE(rowCount("Projects"), 0);
    set(form.get(), "Combo3", "Closed");
    checkSaveOfDeletedRecord(form.get(), f.messages, "Projects");
}

void TestForm2::numbersAreWrittenAsSqlReadsThem() {
    PeopleFixture f;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    {
        auto form = open<Form2>();
        set(form.get(), valid + QStringList{"Text4= 1.000,5 ", "Text5=25"});
        save(form.get());
        QVERIFY(!form->isVisible());
    }
    // Shown back in the locale, so that an unchanged save keeps the value.
    auto form = open<Form2>(QString::number(lastId("Projects")));
    const QString budget = shown(form.get(), "Text4");
    save(form.get());
    QLocale::setDefault(QLocale::c());
    QCOMPARE(budget, QStringLiteral("1000,5"));
    QVERIFY(f.messages.errors().isEmpty());
    if (TestEnvironment::isTeam())
        QCOMPARE(rows("select Budget,BudgetInDays,pg_typeof(Budget) from Projects"),
                 QStringList{"1000.5|25|double precision"});
    else
        QCOMPARE(rows("select Budget,BudgetInDays,typeof(Budget) from Projects"), QStringList{"1000.5|25|real"});
}

void TestForm2::listChangeClearsThePick() {
    PeopleFixture f;
    auto form = open<Form2>(QString::number(addProject("P", f.ann)));
    // "-" takes the value away: no pick is left, and the save asks for one.
    f.messages.answerNext(true);
    TestEnvironment::exec("update Projects set Status='Closed'");
    set(form.get(), "Combo3", "In process");
    click(form.get(), "PushButton8");
    QCOMPARE(shown(form.get(), "Combo3"), QString());
    set(form.get(), "Text1", "P2");
    save(form.get());
    QCOMPARE(f.messages.notices(), QStringList{"You forgot to select Status."});
    QCOMPARE(form->focusWidget()->objectName(), QStringLiteral("Combo3"));
}

void TestForm2::keyboardFollowsTheTabOrder() {
    PeopleFixture f;
    auto form = open<Form2>();
    const QStringList order = names("Text1 Combo1 PushButton5 PushButton9 PushButton6 Combo4 PushButton11 "
                                    "PushButton12 Combo5 PushButton13 PushButton14 Combo3 PushButton7 PushButton8 "
                                    "DateTimePicker1 DateTimePicker2 Text4 Text5 Text3 PushButton2 PushButton1 Text1");
    QCOMPARE(focusRound(form.get(), order.size() - 1), order);
    QVERIFY(!shown(form.get(), "Text3").contains('\t'));
}

void TestForm2::openerSetsCaptionAndRecordBeforeLoading() {
    PeopleFixture f;
    const qint64 id = addProject("Opened", f.ann);
    QString caption;
    QString shownId;
    onNextModal([&](QWidget* w) {
        caption = w->windowTitle();
        shownId = shown(w, "Text2");
        click(w, "PushButton1");
    });
    Editors::openProjectEditor(nullptr, QString::number(id), "Edit Data");
    QCOMPARE(caption, QStringLiteral("Edit Data"));
    QCOMPARE(shownId, QString::number(id));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestForm2::openerOfARecordGoneElsewhereSaysSo_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("noun");
    QTest::newRow("project") << "Projects"
                             << "project";
    QTest::newRow("task") << "Tasks"
                          << "task";
    QTest::newRow("contact") << "Employees"
                             << "contact";
}

// A record that someone else deleted while its row was still listed: the opener says so and
// opens no editor, which would show blank fields with today's dates and save nothing.
void TestForm2::openerOfARecordGoneElsewhereSaysSo() {
    QFETCH(QString, table);
    QFETCH(QString, noun);
    PeopleFixture f;
    const qint64 project = addProject("Gone", f.ann);
    const qint64 task = addTask(project, "Gone too", f.ann);
    const qint64 id = table == "Projects" ? project : table == "Tasks" ? task : f.bob;
    if (table == "Projects")
        TestEnvironment::exec(QStringLiteral("delete from Tasks where ProjectID=%1").arg(project));
    TestEnvironment::exec(QStringLiteral("delete from %1 where ID=%2").arg(table).arg(id));
    bool opened = false;
    QTimer closer; // an editor that opens all the same is closed, so that the test goes on
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = true;
            click(modal, "PushButton1");
        }
    });
    closer.start(0);
    if (table == "Projects")
        Editors::openProjectEditor(nullptr, QString::number(id), "Edit Data");
    else if (table == "Tasks")
        Editors::openTaskEditor(nullptr, QString::number(id), QString::number(project), "Edit Tasks");
    else
        Editors::openContactEditor(nullptr, QString::number(id));
    QVERIFY(!opened);
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join('\n')));
    const QStringList notices = f.messages.notices();
    QVERIFY2(notices.size() == 1 && notices.first().contains("This " + noun + " no longer exists") &&
                 notices.first().contains("not opened"),
             qPrintable(notices.join('\n')));
    QCOMPARE(rowCount(table), table == "Employees" ? 1 : 0);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
