// The contact editor: its sixteen fields, the two read-only lists, validation and saving.
#include "EditorTestUtil.h"
#include "app/Database.h"
#include "app/Twips.h"
#include "editors/EditorSql.h"
#include "editors/Openers.h"

#include <QTreeWidget>

using namespace EditorTest;

namespace {

// Text1 to Text16.
QStringList boxes() {
    QStringList names;
    for (int box = 1; box <= EditorSql::contactFieldCount; ++box)
        names << QStringLiteral("Text%1").arg(box);
    return names;
}

const QString contactRow = "select " + EditorSql::contactColumns().join(',') + " from Employees";

// Each row of a list as its cells joined by "|"; the header first.
QStringList listTexts(QTreeWidget* list) {
    QStringList rows;
    for (int i = -1; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = i < 0 ? list->headerItem() : list->topLevelItem(i);
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << item->text(c);
        rows << cells.join('|');
    }
    return rows;
}

} // namespace

class TestForm3 : public QObject {
    Q_OBJECT
private slots:
    void statementsNameEveryColumn();
    void addModeShowsEmptyFieldsAndHeaders();
    void validationChecksBothNames_data();
    void validationChecksBothNames();
    void newContactWithOnlyNamesGetsEmptyTexts();
    void exactDuplicateIsSavedOnlyAfterYes_data();
    void exactDuplicateIsSavedOnlyAfterYes();
    void everyFieldRoundTripsQuotesAndUnicode_data() { awkwardTexts(); }
    void everyFieldRoundTripsQuotesAndUnicode();
    void editShowsTheContactsProjectsAndTasks();
    void missingNameIsReportedAndLoadingGoesOn();
    void nullInAListEndsThatListOnly();
    void cancelWritesNothing();
    void failedSaveKeepsEditorOpen();
    void saveOfDeletedContactSaysNothingWasSaved();
    void openerShowsTheEditorModally();
    void keyboardRunsThroughTheFieldsInNumberOrder();
};

void TestForm3::statementsNameEveryColumn() {
    QStringList fields;
    for (int i = 1; i <= 16; ++i)
        fields << QStringLiteral("v%1").arg(i);
    fields[13] = "o'k";
    QCOMPARE(EditorSql::insertContact(fields),
             QStringLiteral("insert into Employees ([FirstName],[LastName],[Email],Company,[JobTitle],[BusinessPhone],"
                            "[HomePhone],[MobilePhone],[FaxNumber],Address,City,State,ZIP,Country,[WebPage],Notes) "
                            "values ('v1','v2','o''k','v4','v3','v5','v6','v7','v8','v9','v10','v11','v12','v13',"
                            "'v15','v16')"));
    QCOMPARE(EditorSql::updateContact(fields, "9"),
             QStringLiteral("update Employees set [FirstName]='v1',[LastName]='v2',[Email]='o''k',Company='v4',"
                            "[JobTitle]='v3',[BusinessPhone]='v5',[HomePhone]='v6',[MobilePhone]='v7',"
                            "[FaxNumber]='v8',Address='v9',City='v10',State='v11',ZIP='v12',Country='v13',"
                            "[WebPage]='v15',Notes='v16' where ID=9"));
}

void TestForm3::addModeShowsEmptyFieldsAndHeaders() {
    Fixture f;
    auto form = open<Form3>();
    QCOMPARE(form->windowTitle(), QStringLiteral("Employees"));
    QCOMPARE(shown(form.get(), boxes()), QStringList(16, QString()));
    auto* projects = child<QTreeWidget>(form.get(), "ListView1");
    auto* tasks = child<QTreeWidget>(form.get(), "ListView2");
    QCOMPARE(listTexts(projects), QStringList{"Project Name|Category|Status|Start Date|End Date|Budget"});
    QCOMPARE(listTexts(tasks),
             QStringList{"Title|Assigned To|Start Date|Due Date|Priority|Status|% Complete|Cost|Cost in Days"});
    QCOMPARE(projects->columnWidth(0), Twips::toPixels(2000, projects->logicalDpiX()));
    QCOMPARE(tasks->columnWidth(3), Twips::toPixels(1200, tasks->logicalDpiX()));
    QCOMPARE(form->focusWidget()->objectName(), QStringLiteral("Text1"));
    QVERIFY(f.messages.shown().empty());
}

void TestForm3::validationChecksBothNames_data() {
    refusalColumns();
    refusal("both empty", {"Text1=", "Text2="}, "You forgot to input first name.", "Text1");
    refusal("first of spaces", {"Text1=   "}, "You forgot to input first name.", "Text1");
    refusal("last empty", {"Text2="}, "You forgot to input last name.", "Text2");
    refusal("last of spaces", {"Text2= "}, "You forgot to input last name.", "Text2");
}

void TestForm3::validationChecksBothNames() {
    Fixture f;
    checkRefusal(open<Form3>().get(), f.messages, {"Text1=Ann", "Text2=Lee", "Text14=not an address"}, "Employees");
}

void TestForm3::exactDuplicateIsSavedOnlyAfterYes_data() {
    QTest::addColumn<QString>("edit");      // "": add a contact; else the first name of the one edited
    QTest::addColumn<QStringList>("typed"); // first name, last name, e-mail address
    QTest::addColumn<QString>("question");  // "": none asked
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("names"); // of the contacts afterwards
    const QStringList before{"Ann Lee ann@example.com", "Bob Ray "};
    QTest::newRow("same names and address, No")
        << "" << QStringList{"Ann", "Lee", "ann@example.com"}
        << "A contact named Ann Lee with the e-mail address ann@example.com already exists.\r\n"
           "Do you wish to save this one as well?"
        << false << before;
    QTest::newRow("same names and address, Yes")
        << "" << QStringList{"Ann", "Lee", "ann@example.com"} << "already exists" << true
        << before + QStringList{"Ann Lee ann@example.com"};
    QTest::newRow("both without address")
        << "" << QStringList{"Bob", "Ray", ""}
        << "A contact named Bob Ray without an e-mail address already exists.\r\nDo you wish to save this one as well?"
        << false << before;
    QTest::newRow("another address") << "" << QStringList{"Ann", "Lee", "lee@example.com"} << "" << false
                                     << before + QStringList{"Ann Lee lee@example.com"};
    QTest::newRow("another last name") << "" << QStringList{"Ann", "Leeds", "ann@example.com"} << "" << false
                                       << before + QStringList{"Ann Leeds ann@example.com"};
    QTest::newRow("edited, unchanged") << "Ann" << QStringList{"Ann", "Lee", "ann@example.com"} << "" << false
                                       << before;
    // Twins kept on purpose are not asked about at every edit.
    QTest::newRow("twin edited, names kept") << "Twin" << QStringList{"Ann", "Lee", "ann@example.com"} << "" << false
                                             << before + QStringList{"Ann Lee ann@example.com"};
    QTest::newRow("edited into the other, No")
        << "Bob" << QStringList{"Ann", "Lee", "ann@example.com"} << "already exists" << false << before;
}

// A contact with the names and e-mail address of another is saved only after a Yes.
void TestForm3::exactDuplicateIsSavedOnlyAfterYes() {
    QFETCH(QString, edit);
    QFETCH(QStringList, typed);
    QFETCH(QString, question);
    QFETCH(bool, yes);
    QFETCH(QStringList, names);
    Fixture f;
    addContact("Ann", "Lee");
    TestEnvironment::exec("update Employees set Email='ann@example.com'");
    addContact("Bob", "Ray");
    if (edit == "Twin")
        TestEnvironment::exec(
            "insert into Employees (FirstName,LastName,Email) values ('Ann','Lee','ann@example.com')");
    const QString id =
        edit.isEmpty() ? QString()
        : edit == "Twin"
            ? TestEnvironment::scalar("select max(ID) from Employees").toString()
            : TestEnvironment::scalar("select ID from Employees where FirstName='" + edit + "'").toString();
    auto form = open<Form3>(id);
    set(form.get(), {"Text1=" + typed[0], "Text2=" + typed[1], "Text14=" + typed[2]});
    f.messages.answerNext(yes);
    save(form.get());
    const QStringList questions = f.messages.questions();
    QCOMPARE(questions.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty())
        QVERIFY2(questions[0].contains(question), qPrintable(questions[0]));
    QCOMPARE(form->isVisible(), !question.isEmpty() && !yes);
    QCOMPARE(rows("select FirstName||' '||LastName||' '||coalesce(Email,'') from Employees order by ID"), names);
    QVERIFY(f.messages.errors().isEmpty());
}

void TestForm3::newContactWithOnlyNamesGetsEmptyTexts() {
    Fixture f;
    auto form = open<Form3>();
    set(form.get(), {"Text1= Ann ", "Text2=Lee"});
    save(form.get());
    QCOMPARE(f.messages.notices(), QStringList{"Record Successfully Saved"});
    QVERIFY(!form->isVisible());
    QCOMPARE(rows(contactRow), QStringList{" Ann |Lee" + QString(14, '|')});
    QCOMPARE(rowCount("Employees where Email is null or Notes is null"), 0);
}

void TestForm3::everyFieldRoundTripsQuotesAndUnicode() {
    QFETCH(QString, text);
    Fixture f;
    // Each box gets its own value, so a field saved into the wrong column shows.
    QList<Binding> bindings;
    QStringList values;
    for (int box = 1; box <= 16; ++box) {
        bindings.append({QStringLiteral("Text%1").arg(box), EditorSql::contactColumns()[box - 1]});
        values << QString::number(box) + text;
    }
    checkTextsRoundTrip<Form3>(f.messages, "Employees", bindings, values, {});
}

void TestForm3::editShowsTheContactsProjectsAndTasks() {
    Fixture f;
    const qint64 ann = addContact("Ann", "Lee");
    const qint64 bob = addContact("Bob", "Ray");
    const qint64 p1 = addProject("One", ann);
    addProject("Two", ann, "Closed", "Side");
    addProject("Bob's", bob);
    addTask(p1, "t1", ann);
    addTask(p1, "t2", ann);
    const qint64 t3 = addTask(p1, "t3", ann);
    addTask(p1, "not Ann's", bob);
    TestEnvironment::exec(QStringLiteral("update Tasks set Status=null where ID=%1").arg(t3));

    auto form = open<Form3>(QString::number(ann));
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(shown(form.get(), names("Text1 Text2 Text16")), QStringList({"Ann", "Lee", ""}));
    const QString dates = shortDateText("2021-08-31") + '|' + shortDateText("2021-09-30");
    QCOMPARE(listTexts(child<QTreeWidget>(form.get(), "ListView1")).mid(1),
             QStringList({"One|Main|In process|" + dates + "|1000", "Two|Side|Closed|" + dates + "|1000"}));
    QCOMPARE(
        listTexts(child<QTreeWidget>(form.get(), "ListView2")).mid(1),
        QStringList({"t1|Ann Lee|" + dates + "|High|In process|50|10|2",
                     "t2|Ann Lee|" + dates + "|High|In process|50|10|2", "t3|Ann Lee|" + dates + "|High||50|10|2"}));
    QCOMPARE(form->windowTitle(), QStringLiteral("Employees"));
}

void TestForm3::missingNameIsReportedAndLoadingGoesOn() {
    Fixture f;
    auto form = open<Form3>(QString::number(addContact(QString(), "Lee", "Boss")));
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].contains("Form3.LoadData at line 2"));
    QCOMPARE(shown(form.get(), names("Text1 Text2 Text3")), QStringList({"", "Lee", "Boss"}));
}

void TestForm3::nullInAListEndsThatListOnly() {
    Fixture f;
    const qint64 ann = addContact("Ann", "Lee");
    const qint64 p1 = addProject("One", ann);
    const qint64 p2 = addProject("Two", ann);
    addProject("Three", ann);
    TestEnvironment::exec(QStringLiteral("update Projects set Category=null where ID=%1").arg(p2));
    addTask(p1, "t1", ann);
    auto form = open<Form3>(QString::number(ann));
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].contains("Form3.Form_Load at line 6"));
    // The row before stays, and so does the failing row's first cell.
    const QStringList projects = listTexts(child<QTreeWidget>(form.get(), "ListView1"));
    QCOMPARE(projects.size(), 3);
    QVERIFY2(projects[2].startsWith("Two||"), qPrintable(projects[2]));
    QCOMPARE(child<QTreeWidget>(form.get(), "ListView2")->topLevelItemCount(), 1);
}

void TestForm3::cancelWritesNothing() {
    Fixture f;
    auto form = open<Form3>(QString::number(addContact("Ann", "Lee")));
    checkCancelWritesNothing(form.get(), f.messages, {"Text1=Changed"}, "Employees");
}

void TestForm3::failedSaveKeepsEditorOpen() {
    Fixture f;
    refuseInserts("Employees");
    auto form = open<Form3>();
    checkFailedSaveKeepsEditorOpen(form.get(), f.messages, {"Text1=Ann", "Text2=Lee", "Text16=typed notes"},
                                   "Employees");
}

void TestForm3::saveOfDeletedContactSaysNothingWasSaved() {
    Fixture f;
    auto form = open<Form3>(QString::number(addContact("Ann", "Lee")));
    TestEnvironment::exec("delete from Employees");
    checkSaveOfDeletedRecord(form.get(), f.messages, "Employees");
}

void TestForm3::openerShowsTheEditorModally() {
    Fixture f;
    const qint64 id = addContact("Ann", "Lee");
    QString name;
    bool modal = false;
    onNextModal([&](QWidget* w) {
        name = shown(w, "Text1");
        modal = w->isModal();
        click(w, "PushButton1");
    });
    Editors::openContactEditor(nullptr, QString::number(id));
    QCOMPARE(name, QStringLiteral("Ann"));
    QVERIFY(modal);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestForm3::keyboardRunsThroughTheFieldsInNumberOrder() {
    Fixture f;
    auto form = open<Form3>();
    const QStringList order = boxes() + names("PushButton2 PushButton1 Text1");
    QCOMPARE(focusRound(form.get(), order.size() - 1), order);
    QCOMPARE(shown(form.get(), "Text16"), QString());
}

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"
