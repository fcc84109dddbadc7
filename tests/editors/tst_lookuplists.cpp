// The value lists of the project and task editors and their "+", "*" and "-" buttons.
#include "EditorTestUtil.h"

using namespace EditorTest;

namespace {

const QString continueText = "\r\nDo you wish to continue?";

} // namespace

class TestLookupLists : public QObject {
    Q_OBJECT
private slots:
    void cascadeIsAllOrNothing_data();
    void cascadeIsAllOrNothing();
    void addCancelledOrEmptyChangesNothing();
    void addStoresTheTextAsTyped_data();
    void addStoresTheTextAsTyped();
    void refusedAddIsReportedAndTheListReloaded();
    void deleteCascadesToExactlyTheProjectsWithTheValue_data();
    void deleteCascadesToExactlyTheProjectsWithTheValue();
    void deleteAnsweredNoChangesNothing();
    void deleteWithoutBackupDeletesNothing_data();
    void deleteWithoutBackupDeletesNothing();
    void minusWithoutSelectionSaysNothing();
    void twinContactsEachEditAndDeleteTheirOwnRecord();
    void addContactCancelledStillReloadsAndClearsThePick();
    void contactsWithMissingNamesStayAligned();
    void unreadableValueIsReportedAndSkipped();
};

void TestLookupLists::addCancelledOrEmptyChangesNothing() {
    Fixture f;
    for (const QString form : {"Form2", "Form5"}) {
        auto editor = open(form);
        set(editor.get(), "Combo3", "Closed");
        click(editor.get(), "PushButton7"); // cancelled
        f.messages.inputNext(QString());    // OK with an empty field
        click(editor.get(), "PushButton7");
        QCOMPARE(entries(child<QComboBox>(editor.get(), "Combo3")), QStringList({"Closed", "In process"}));
        QCOMPARE(shown(editor.get(), "Combo3"), QStringLiteral("Closed"));
    }
    QCOMPARE(rowCount("Status"), 2);
    QVERIFY(f.messages.errors().isEmpty());
}

void TestLookupLists::addStoresTheTextAsTyped_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("value");
    auto row = [](const char* tag, QString form, QString button, QString combo, QString table, QString word,
                  QString value) { QTest::newRow(tag) << form << button << combo << table << word << value; };
    row("status of three spaces", "Form2", "PushButton7", "Combo3", "Status", "Status", "   ");
    row("category with quote", "Form2", "PushButton11", "Combo4", "Categories", "Category", "O'Neil");
    row("priority in task editor", "Form5", "PushButton13", "Combo5", "Priorities", "Priority", " Urgent's ");
}

void TestLookupLists::addStoresTheTextAsTyped() {
    QFETCH(QString, form);
    QFETCH(QString, button);
    QFETCH(QString, combo);
    QFETCH(QString, table);
    QFETCH(QString, word);
    QFETCH(QString, value);
    Fixture f;
    auto editor = open(form);
    auto* list = editor->findChild<QComboBox*>(combo);
    list->setCurrentIndex(0);
    f.messages.inputNext(value);
    click(editor.get(), qPrintable(button));
    QCOMPARE(f.messages.shown().at(0).title, "Input " + word);
    QCOMPARE(f.messages.shown().at(0).text, "Enter new " + word + ": ");
    QVERIFY(f.messages.errors().isEmpty());
    QVERIFY(rows("select * from " + table).contains(value));
    QVERIFY(entries(list).contains(value));
    // The new value is picked, not a blank.
    QCOMPARE(list->currentIndex(), list->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive));
    QCOMPARE(list->currentText(), value);
}

void TestLookupLists::refusedAddIsReportedAndTheListReloaded() {
    Fixture f;
    auto editor = open<Form2>();
    set(editor.get(), "Combo3", "Closed");
    f.messages.inputNext("Closed");
    click(editor.get(), "PushButton7");
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].contains("Form2.PushButton7_Click "));
    // The pick made before stays.
    QCOMPARE(shown(editor.get(), "Combo3"), QStringLiteral("Closed"));
    QCOMPARE(child<QComboBox>(editor.get(), "Combo3")->count(), 2);
}

void TestLookupLists::deleteCascadesToExactlyTheProjectsWithTheValue_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("column");
    auto row = [](const char* tag, QString form, QString button, QString combo, QString column) {
        QTest::newRow(tag) << form << button << combo << column;
    };
    row("status, project editor", "Form2", "PushButton8", "Combo3", "Status");
    row("status, task editor", "Form5", "PushButton8", "Combo3", "Status");
    row("category", "Form2", "PushButton12", "Combo4", "Category");
    row("priority, project editor", "Form2", "PushButton14", "Combo5", "Priority");
    row("priority, task editor", "Form5", "PushButton14", "Combo5", "Priority");
}

void TestLookupLists::deleteCascadesToExactlyTheProjectsWithTheValue() {
    QFETCH(QString, form);
    QFETCH(QString, button);
    QFETCH(QString, combo);
    QFETCH(QString, column);
    Fixture f;
    // The value to delete carries a quote; the projects differ only in the column tested.
    const QString doomed = "Don't";
    addToValueLists(doomed);
    const qint64 owner = addContact("Ann", "Lee");
    const qint64 hit1 = addProject("hit1", owner);
    const qint64 hit2 = addProject("hit2", owner);
    const qint64 kept = addProject("kept", owner);
    TestEnvironment::exec(
        QStringLiteral("update Projects set %1='Don''t' where ID in (%2,%3)").arg(column).arg(hit1).arg(hit2));
    // A task of the kept project carries the value too; tasks are not part of the cascade.
    const qint64 task = addTask(kept, "t", owner, doomed, doomed);

    auto editor = open(form);
    set(editor.get(), combo, doomed);
    f.messages.answerNext(true);
    click(editor.get(), qPrintable(button));
    const QString word = column.toLower();
    QCOMPARE(f.messages.questions(), QStringList{"Warning: Deleting " + word +
                                                 " will also delete issue data that is "
                                                 "linked to this " +
                                                 word + "." + continueText});
    QVERIFY(f.messages.errors().isEmpty());
    QVERIFY(!entries(child<QComboBox>(editor.get(), qPrintable(combo))).contains(doomed));
    QCOMPARE(shown(editor.get(), combo), QString());
    QCOMPARE(rows("select ID from Projects"), QStringList{QString::number(kept)});
    QCOMPARE(rows("select ID from Tasks"), QStringList{QString::number(task)});
}

void TestLookupLists::deleteWithoutBackupDeletesNothing_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("pick");
    auto row = [](const char* tag, QString form, QString button, QString combo, QString pick) {
        QTest::newRow(tag) << form << button << combo << pick;
    };
    row("status", "Form2", "PushButton8", "Combo3", "In process");
    row("category", "Form2", "PushButton12", "Combo4", "Main");
    row("priority, task editor", "Form5", "PushButton14", "Combo5", "High");
    row("contact, project editor", "Form2", "PushButton6", "Combo1", "Ann Lee");
    row("contact, task editor", "Form5", "PushButton6", "Combo1", "Ann Lee");
}

void TestLookupLists::deleteWithoutBackupDeletesNothing() {
    SKIP_FOR_TEAM_DATABASE(); // a team database's backups are the server's business
    QFETCH(QString, form);
    QFETCH(QString, button);
    QFETCH(QString, combo);
    QFETCH(QString, pick);
    PeopleFixture f;
    const qint64 project = addProject("carries them all", f.ann);
    addTask(project, "its task", f.ann);
    TestEnvironment::blockBackups();
    const QStringList before = rows("select count(*) from Employees") + rows("select count(*) from Status") +
                               rows("select count(*) from Categories") + rows("select count(*) from Priorities");

    auto editor = open(form);
    set(editor.get(), combo, pick);
    f.messages.answerNext(true);
    click(editor.get(), qPrintable(button));
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY2(f.messages.errors()[0].contains("so nothing was deleted") &&
                 f.messages.errors()[0].contains(form + "." + button + "_Click "),
             qPrintable(f.messages.errors()[0]));
    QCOMPARE(rows("select count(*) from Employees") + rows("select count(*) from Status") +
                 rows("select count(*) from Categories") + rows("select count(*) from Priorities"),
             before);
    QCOMPARE(rowCount("Projects"), 1);
    QCOMPARE(rowCount("Tasks"), 1);
    QCOMPARE(shown(editor.get(), combo), pick); // nothing changed, so the pick stays
}

void TestLookupLists::deleteAnsweredNoChangesNothing() {
    Fixture f;
    addProject("p", addContact("Ann", "Lee"));
    auto editor = open<Form2>();
    set(editor.get(), {"Combo3=In process", "Combo1=Ann Lee"});
    f.messages.answerNext(false);
    f.messages.answerNext(false);
    click(editor.get(), "PushButton8");
    click(editor.get(), "PushButton6");
    QCOMPARE(f.messages.questions().size(), 2);
    QCOMPARE(f.messages.questions()[1],
             "Warning: Deleting assigned to will also delete issue data that is linked to this contact." +
                 continueText);
    QCOMPARE(shown(editor.get(), names("Combo3 Combo1")), QStringList({"In process", "Ann Lee"}));
    QCOMPARE(rowCount("Projects"), 1);
    QCOMPARE(rowCount("Status"), 2);
    QCOMPARE(rowCount("Employees"), 1);
}

void TestLookupLists::minusWithoutSelectionSaysNothing() {
    Fixture f;
    addProject("p", addContact("Ann", "Lee"));
    for (const QString form : {"Form2", "Form5"}) {
        auto editor = open(form);
        for (const char* name : {"PushButton6", "PushButton9", "PushButton8", "PushButton12", "PushButton14"}) {
            f.messages.answerNext(true); // would be taken if a question were asked
            if (auto* b = editor->findChild<QPushButton*>(QLatin1String(name)))
                b->click();
        }
    }
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(rowCount("Projects"), 1);
    QCOMPARE(rowCount("Employees"), 1);
}

void TestLookupLists::twinContactsEachEditAndDeleteTheirOwnRecord() {
    Fixture f;
    const qint64 first = addContact("Sam", "Doe", "first");
    const qint64 second = addContact("Sam", "Doe", "second");
    addProject("of first", first);
    const qint64 ofSecond = addProject("of second", second);

    auto editor = open<Form5>();
    auto* contacts = child<QComboBox>(editor.get(), "Combo1");
    QCOMPARE(entries(contacts), QStringList(2, "Sam Doe"));
    const int secondEntry = static_cast<int>(editor->contactIDs().indexOf(second));
    QVERIFY(secondEntry >= 0);

    // "*" opens the contact of the entry picked, by its position.
    contacts->setCurrentIndex(secondEntry);
    QString shownJobTitle;
    onNextModal([&](QWidget* contactEditor) {
        QCOMPARE(contactEditor->objectName(), QStringLiteral("Form3"));
        shownJobTitle = shown(contactEditor, "Text3");
        set(contactEditor, "Text4", "Acme");
        save(contactEditor);
    });
    click(editor.get(), "PushButton9");
    QCOMPARE(shownJobTitle, QStringLiteral("second"));
    QCOMPARE(rows("select ID,Company from Employees order by ID"),
             QStringList({QString("%1|").arg(first), QString("%1|Acme").arg(second)}));
    QCOMPARE(contacts->currentIndex(), -1);

    // "-" deletes the contact of the entry picked and the projects it owns.
    contacts->setCurrentIndex(static_cast<int>(editor->contactIDs().indexOf(first)));
    f.messages.answerNext(true);
    click(editor.get(), "PushButton6");
    QCOMPARE(rows("select ID from Employees"), QStringList{QString::number(second)});
    QCOMPARE(rows("select ID from Projects"), QStringList{QString::number(ofSecond)});
    QCOMPARE(editor->contactIDs(), QList<qint64>{second});
    QCOMPARE(contacts->currentIndex(), -1);
}

void TestLookupLists::addContactCancelledStillReloadsAndClearsThePick() {
    Fixture f;
    addContact("Ann", "Lee");
    auto editor = open<Form2>();
    set(editor.get(), "Combo1", "Ann Lee");
    onNextModal([](QWidget* contactEditor) {
        set(contactEditor, "Text1", "Zed");
        click(contactEditor, "PushButton1");
    });
    click(editor.get(), "PushButton5");
    QCOMPARE(shown(editor.get(), "Combo1"), QString());
    QCOMPARE(rowCount("Employees"), 1);

    onNextModal([](QWidget* contactEditor) {
        set(contactEditor, {"Text1=Al", "Text2=Bo"});
        save(contactEditor);
    });
    click(editor.get(), "PushButton5");
    QCOMPARE(entries(child<QComboBox>(editor.get(), "Combo1")), QStringList({"Al Bo", "Ann Lee"}));
    QCOMPARE(editor->contactIDs().first(), lastId("Employees"));
    QCOMPARE(f.messages.notices(), QStringList{"Record Successfully Saved"});
}

void TestLookupLists::contactsWithMissingNamesStayAligned() {
    Fixture f;
    const qint64 full = addContact("Ann", "Lee");
    const qint64 noFirst = addContact(QString(), "Kim");
    const qint64 noLast = addContact("Max", QString());
    const qint64 none = addContact(QString(), QString());
    auto editor = open<Form2>();
    auto* contacts = child<QComboBox>(editor.get(), "Combo1");
    QVERIFY(f.messages.errors().isEmpty());
    const QList<qint64> ids = editor->contactIDs();
    QCOMPARE(ids.size(), 4);
    QCOMPARE(contacts->count(), 4);
    auto entryOf = [&](qint64 id) { return contacts->itemText(static_cast<int>(ids.indexOf(id))); };
    QCOMPARE(QStringList({entryOf(full), entryOf(noFirst), entryOf(noLast), entryOf(none)}),
             QStringList({"Ann Lee", "Kim", "Max", "(no name)"}));
}

void TestLookupLists::unreadableValueIsReportedAndSkipped() {
    Fixture f;
    TestEnvironment::exec("insert into Status values (null)");
    auto editor = open<Form5>();
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].contains("Form5.LoadStatus "));
    QCOMPARE(entries(child<QComboBox>(editor.get(), "Combo3")), QStringList({"Closed", "In process"}));
}

QTEST_MAIN(TestLookupLists)
#include "tst_lookuplists.moc"

void TestLookupLists::cascadeIsAllOrNothing_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("refusedTable");
    QTest::addColumn<int>("line");
    QTest::newRow("status refused") << "PushButton8"
                                    << "Combo3"
                                    << "Doomed"
                                    << "Status" << 3;
    QTest::newRow("its projects refused") << "PushButton8"
                                          << "Combo3"
                                          << "Doomed"
                                          << "Projects" << 4;
    QTest::newRow("contact refused") << "PushButton6"
                                     << "Combo1"
                                     << "Ann Lee"
                                     << "Employees" << 3;
    QTest::newRow("contact's projects refused") << "PushButton6"
                                                << "Combo1"
                                                << "Ann Lee"
                                                << "Projects" << 4;
}

// A delete that takes projects with it, through the editor's own command: when either statement
// is refused, neither takes effect, and the error names the step that failed.
void TestLookupLists::cascadeIsAllOrNothing() {
    QFETCH(QString, button);
    QFETCH(QString, combo);
    QFETCH(QString, pick);
    QFETCH(QString, refusedTable);
    QFETCH(int, line);
    Fixture f;
    addToValueLists("Doomed");
    const qint64 owner = addContact("Ann", "Lee");
    addProject("carries it", owner);
    TestEnvironment::exec("update Projects set Status='Doomed'");
    // A team database keeps the value lists' entries in tables of their own behind views.
    TestEnvironment::refuse(
        "delete", TestEnvironment::isTeam() && refusedTable == "Status" ? "status_entries" : refusedTable, "refused");
    const QStringList before = rows("select ID, Status, Owner from Projects") + rows("select Status from Status") +
                               rows("select ID from Employees");

    auto editor = open("Form2");
    set(editor.get(), combo, pick);
    f.messages.answerNext(true);
    click(editor.get(), qPrintable(button));
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY2(f.messages.errors().first().contains(QStringLiteral("at line %1").arg(line)),
             qPrintable(f.messages.errors().first()));
    QCOMPARE(rows("select ID, Status, Owner from Projects") + rows("select Status from Status") +
                 rows("select ID from Employees"),
             before);
}
