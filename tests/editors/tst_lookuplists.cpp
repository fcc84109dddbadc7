// The value lists of the project and task editors and their "+", "*" and "-" buttons.
#include "EditorTestUtil.h"
#include "editors/Form2.h"
#include "editors/Form5.h"

#include <QLineEdit>
#include <QPushButton>

#include <memory>

using namespace EditorTest;

namespace {


std::unique_ptr<LookupEditor> openEditor(const QString& form) {
    std::unique_ptr<LookupEditor> editor;
    if (form == QLatin1String("Form2"))
        editor = std::make_unique<Form2>();
    else
        editor = std::make_unique<Form5>();
    editor->show();
    return editor;
}

const QString continueText = QStringLiteral("\r\nDo you wish to continue?");

} // namespace

class TestLookupLists : public QObject {
    Q_OBJECT
private slots:
    void addCancelledOrEmptyChangesNothing();
    void addStoresTheTextAsTyped_data();
    void addStoresTheTextAsTyped();
    void refusedAddIsReportedAndTheListReloaded();
    void deleteCascadesToExactlyTheProjectsWithTheValue_data();
    void deleteCascadesToExactlyTheProjectsWithTheValue();
    void deleteAnsweredNoChangesNothing();
    void minusWithoutSelectionSaysNothing();
    void twinContactsEachEditAndDeleteTheirOwnRecord();
    void addContactCancelledStillReloadsAndClearsThePick();
    void contactsWithMissingNamesStayAligned();
    void unreadableValueIsReportedAndSkipped();
};

void TestLookupLists::addCancelledOrEmptyChangesNothing() {
    Fixture f;
    for (const QString& form : {QStringLiteral("Form2"), QStringLiteral("Form5")}) {
        auto editor = openEditor(form);
        auto* status = child<QComboBox>(editor.get(), "Combo3");
        pick(status, QStringLiteral("Closed"));
        child<QPushButton>(editor.get(), "PushButton7")->click(); // cancelled
        f.messages.inputNext(QString());                          // OK with an empty field
        child<QPushButton>(editor.get(), "PushButton7")->click();
        QCOMPARE(status->currentText(), QStringLiteral("Closed"));
        QCOMPARE(status->count(), 2);
    }
    QCOMPARE(count(QStringLiteral("select count(*) from Status")), 2);
    QVERIFY(f.messages.errors().isEmpty());
}

void TestLookupLists::addStoresTheTextAsTyped_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("value");
    QTest::newRow("status of three spaces") << "Form2"
                                            << "PushButton7"
                                            << "Combo3"
                                            << "Status"
                                            << "Input Status"
                                            << "Enter new Status: "
                                            << "   ";
    QTest::newRow("category with quote") << "Form2"
                                         << "PushButton11"
                                         << "Combo4"
                                         << "Categories"
                                         << "Input Category"
                                         << "Enter new Category: "
                                         << "O'Neil";
    QTest::newRow("priority in task editor") << "Form5"
                                             << "PushButton13"
                                             << "Combo5"
                                             << "Priorities"
                                             << "Input Priority"
                                             << "Enter new Priority: "
                                             << " Urgent's ";
}

void TestLookupLists::addStoresTheTextAsTyped() {
    QFETCH(QString, form);
    QFETCH(QString, button);
    QFETCH(QString, combo);
    QFETCH(QString, table);
    QFETCH(QString, title);
    QFETCH(QString, prompt);
    QFETCH(QString, value);
    Fixture f;
    auto editor = openEditor(form);
    auto* list = editor->findChild<QComboBox*>(combo);
    list->setCurrentIndex(0);
    f.messages.inputNext(value);
    editor->findChild<QPushButton*>(button)->click();
    QCOMPARE(f.messages.shown().at(0).title, title);
    QCOMPARE(f.messages.shown().at(0).text, prompt);
    QVERIFY(f.messages.errors().isEmpty());
    QVERIFY(TestEnvironment::rows(QStringLiteral("select * from ") + table).contains(value));
    QVERIFY(entries(list).contains(value));
    QCOMPARE(list->currentIndex(), -1);
}

void TestLookupLists::refusedAddIsReportedAndTheListReloaded() {
    Fixture f;
    auto editor = openEditor(QStringLiteral("Form2"));
    auto* status = child<QComboBox>(editor.get(), "Combo3");
    pick(status, QStringLiteral("Closed"));
    f.messages.inputNext(QStringLiteral("Closed"));
    child<QPushButton>(editor.get(), "PushButton7")->click();
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].contains(QStringLiteral("Form2.PushButton7_Click ")));
    QCOMPARE(status->currentIndex(), -1);
    QCOMPARE(status->count(), 2);
}

void TestLookupLists::deleteCascadesToExactlyTheProjectsWithTheValue_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("warning");
    const QString status =
        QStringLiteral("Warning: Deleting status will also delete issue data that is linked to this status.");
    const QString category =
        QStringLiteral("Warning: Deleting category will also delete issue data that is linked to this category.");
    const QString priority =
        QStringLiteral("Warning: Deleting priority will also delete issue data that is linked to this priority.");
    QTest::newRow("status, project editor") << "Form2"
                                            << "PushButton8"
                                            << "Combo3"
                                            << "Status" << status;
    QTest::newRow("status, task editor") << "Form5"
                                         << "PushButton8"
                                         << "Combo3"
                                         << "Status" << status;
    QTest::newRow("category") << "Form2"
                              << "PushButton12"
                              << "Combo4"
                              << "Category" << category;
    QTest::newRow("priority, project editor") << "Form2"
                                              << "PushButton14"
                                              << "Combo5"
                                              << "Priority" << priority;
    QTest::newRow("priority, task editor") << "Form5"
                                           << "PushButton14"
                                           << "Combo5"
                                           << "Priority" << priority;
}

void TestLookupLists::deleteCascadesToExactlyTheProjectsWithTheValue() {
    QFETCH(QString, form);
    QFETCH(QString, button);
    QFETCH(QString, combo);
    QFETCH(QString, column);
    QFETCH(QString, warning);
    Fixture f;
    // The value to delete carries a quote; the projects differ only in the column tested.
    const QString doomed = QStringLiteral("Don't");
    for (const char* table : {"Status", "Categories", "Priorities"})
        TestEnvironment::exec(QStringLiteral("insert into %1 values ('Don''t')").arg(QLatin1String(table)));
    const qint64 owner = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    const qint64 hit1 = addProject(QStringLiteral("hit1"), owner);
    const qint64 hit2 = addProject(QStringLiteral("hit2"), owner);
    const qint64 kept = addProject(QStringLiteral("kept"), owner);
    TestEnvironment::exec(
        QStringLiteral("update Projects set %1='Don''t' where ID in (%2,%3)").arg(column).arg(hit1).arg(hit2));
    // A task of the kept project carries the value too; tasks are not part of the cascade.
    const qint64 task = addTask(kept, QStringLiteral("t"), owner, doomed, doomed);

    auto editor = openEditor(form);
    auto* list = editor->findChild<QComboBox*>(combo);
    pick(list, doomed);
    f.messages.answerNext(true);
    editor->findChild<QPushButton*>(button)->click();
    QCOMPARE(f.messages.questions(), QStringList{warning + continueText});
    QVERIFY(f.messages.errors().isEmpty());
    QVERIFY(!entries(list).contains(doomed));
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ID from Projects")), QStringList{QString::number(kept)});
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ID from Tasks")), QStringList{QString::number(task)});
}

void TestLookupLists::deleteAnsweredNoChangesNothing() {
    Fixture f;
    const qint64 owner = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    addProject(QStringLiteral("p"), owner);
    auto editor = openEditor(QStringLiteral("Form2"));
    auto* status = child<QComboBox>(editor.get(), "Combo3");
    auto* contacts = child<QComboBox>(editor.get(), "Combo1");
    pick(status, QStringLiteral("In process"));
    pick(contacts, QStringLiteral("Ann Lee"));
    f.messages.answerNext(false);
    f.messages.answerNext(false);
    child<QPushButton>(editor.get(), "PushButton8")->click();
    child<QPushButton>(editor.get(), "PushButton6")->click();
    QCOMPARE(f.messages.questions().size(), 2);
    QCOMPARE(
        f.messages.questions()[1],
        QStringLiteral("Warning: Deleting assigned to will also delete issue data that is linked to this contact.") +
            continueText);
    QCOMPARE(status->currentText(), QStringLiteral("In process"));
    QCOMPARE(contacts->currentText(), QStringLiteral("Ann Lee"));
    QCOMPARE(count(QStringLiteral("select count(*) from Projects")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from Status")), 2);
    QCOMPARE(count(QStringLiteral("select count(*) from Employees")), 1);
}

void TestLookupLists::minusWithoutSelectionSaysNothing() {
    Fixture f;
    const qint64 owner = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    addProject(QStringLiteral("p"), owner);
    for (const QString& form : {QStringLiteral("Form2"), QStringLiteral("Form5")}) {
        auto editor = openEditor(form);
        for (const char* name : {"PushButton6", "PushButton9", "PushButton8", "PushButton12", "PushButton14"}) {
            f.messages.answerNext(true); // would be taken if a question were asked
            if (auto* b = editor->findChild<QPushButton*>(QLatin1String(name)))
                b->click();
        }
    }
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(count(QStringLiteral("select count(*) from Projects")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) from Employees")), 1);
}

void TestLookupLists::twinContactsEachEditAndDeleteTheirOwnRecord() {
    Fixture f;
    const qint64 first = addContact(QStringLiteral("Sam"), QStringLiteral("Doe"), QStringLiteral("first"));
    const qint64 second = addContact(QStringLiteral("Sam"), QStringLiteral("Doe"), QStringLiteral("second"));
    addProject(QStringLiteral("of first"), first);
    const qint64 ofSecond = addProject(QStringLiteral("of second"), second);

    auto editor = openEditor(QStringLiteral("Form5"));
    auto* contacts = child<QComboBox>(editor.get(), "Combo1");
    QCOMPARE(entries(contacts), QStringList(2, QStringLiteral("Sam Doe")));
    const int secondEntry = static_cast<int>(editor->contactIDs().indexOf(second));
    QVERIFY(secondEntry >= 0);

    // "*" opens the contact of the entry picked, by its position.
    contacts->setCurrentIndex(secondEntry);
    QString shownJobTitle;
    onNextModal([&](QWidget* contactEditor) {
        QCOMPARE(contactEditor->objectName(), QStringLiteral("Form3"));
        shownJobTitle = child<QLineEdit>(contactEditor, "Text3")->text();
        child<QLineEdit>(contactEditor, "Text4")->setText(QStringLiteral("Acme"));
        child<QPushButton>(contactEditor, "PushButton2")->click();
    });
    child<QPushButton>(editor.get(), "PushButton9")->click();
    QCOMPARE(shownJobTitle, QStringLiteral("second"));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ID,Company from Employees order by ID")),
             QStringList({QStringLiteral("%1|").arg(first), QStringLiteral("%1|Acme").arg(second)}));
    QCOMPARE(contacts->currentIndex(), -1);

    // "-" deletes the contact of the entry picked and the projects it owns.
    contacts->setCurrentIndex(static_cast<int>(editor->contactIDs().indexOf(first)));
    f.messages.answerNext(true);
    child<QPushButton>(editor.get(), "PushButton6")->click();
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ID from Employees")), QStringList{QString::number(second)});
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ID from Projects")), QStringList{QString::number(ofSecond)});
    QCOMPARE(editor->contactIDs(), QList<qint64>{second});
    QCOMPARE(contacts->currentIndex(), -1);
}

void TestLookupLists::addContactCancelledStillReloadsAndClearsThePick() {
    Fixture f;
    addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    auto editor = openEditor(QStringLiteral("Form2"));
    auto* contacts = child<QComboBox>(editor.get(), "Combo1");
    pick(contacts, QStringLiteral("Ann Lee"));
    onNextModal([](QWidget* contactEditor) {
        child<QLineEdit>(contactEditor, "Text1")->setText(QStringLiteral("Zed"));
        child<QPushButton>(contactEditor, "PushButton1")->click();
    });
    child<QPushButton>(editor.get(), "PushButton5")->click();
    QCOMPARE(contacts->currentIndex(), -1);
    QCOMPARE(count(QStringLiteral("select count(*) from Employees")), 1);

    onNextModal([](QWidget* contactEditor) {
        child<QLineEdit>(contactEditor, "Text1")->setText(QStringLiteral("Al"));
        child<QLineEdit>(contactEditor, "Text2")->setText(QStringLiteral("Bo"));
        child<QPushButton>(contactEditor, "PushButton2")->click();
    });
    child<QPushButton>(editor.get(), "PushButton5")->click();
    QCOMPARE(entries(contacts), QStringList({QStringLiteral("Al Bo"), QStringLiteral("Ann Lee")}));
    QCOMPARE(editor->contactIDs().first(), lastId("Employees"));
    QCOMPARE(f.messages.notices(), QStringList{QStringLiteral("Record Successfully Saved")});
}

void TestLookupLists::contactsWithMissingNamesStayAligned() {
    Fixture f;
    const qint64 full = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
    const qint64 noFirst = addContact(QString(), QStringLiteral("Kim"));
    const qint64 noLast = addContact(QStringLiteral("Max"), QString());
    const qint64 none = addContact(QString(), QString());
    auto editor = openEditor(QStringLiteral("Form2"));
    auto* contacts = child<QComboBox>(editor.get(), "Combo1");
    QVERIFY(f.messages.errors().isEmpty());
    const QList<qint64> ids = editor->contactIDs();
    QCOMPARE(ids.size(), 4);
    QCOMPARE(contacts->count(), 4);
    QCOMPARE(contacts->itemText(static_cast<int>(ids.indexOf(full))), QStringLiteral("Ann Lee"));
    QCOMPARE(contacts->itemText(static_cast<int>(ids.indexOf(noFirst))), QStringLiteral("Kim"));
    QCOMPARE(contacts->itemText(static_cast<int>(ids.indexOf(noLast))), QStringLiteral("Max"));
    QCOMPARE(contacts->itemText(static_cast<int>(ids.indexOf(none))), QStringLiteral("(no name)"));
}

void TestLookupLists::unreadableValueIsReportedAndSkipped() {
    Fixture f;
    TestEnvironment::exec(QStringLiteral("insert into Status values (null)"));
    auto editor = openEditor(QStringLiteral("Form5"));
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].contains(QStringLiteral("Form5.LoadStatus ")));
    QCOMPARE(entries(child<QComboBox>(editor.get(), "Combo3")),
             QStringList({QStringLiteral("Closed"), QStringLiteral("In process")}));
}

QTEST_MAIN(TestLookupLists)
#include "tst_lookuplists.moc"
