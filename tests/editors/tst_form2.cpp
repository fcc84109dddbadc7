// The project editor: validation, the rows it writes, loading a project, and the save faults
// it must not have (a failed or lost save reported as saved, numbers SQL cannot read, the
// owner picked by name).
#include "EditorTestUtil.h"
#include "editors/EditorSql.h"
#include "editors/Form2.h"
#include "editors/Openers.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace EditorTest;

namespace {

struct Fixture {
    TestEnvironment env;
    ScriptedMessages messages;
    qint64 ann = 0;
    qint64 bob = 0;
    Fixture() {
        env.openDatabase();
        addValueLists();
        ann = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
        bob = addContact(QStringLiteral("Bob"), QStringLiteral("Ray"));
    }
};

struct Controls {
    QLineEdit* name;
    QLineEdit* id;
    QComboBox* owner;
    QComboBox* status;
    QComboBox* category;
    QComboBox* priority;
    QDateEdit* start;
    QDateEdit* end;
    QLineEdit* budget;
    QLineEdit* budgetInDays;
    QPlainTextEdit* notes;
    QPushButton* save;
    QPushButton* cancel;
    explicit Controls(QWidget* w)
        : name(child<QLineEdit>(w, "Text1"))
        , id(child<QLineEdit>(w, "Text2"))
        , owner(child<QComboBox>(w, "Combo1"))
        , status(child<QComboBox>(w, "Combo3"))
        , category(child<QComboBox>(w, "Combo4"))
        , priority(child<QComboBox>(w, "Combo5"))
        , start(child<QDateEdit>(w, "DateTimePicker1"))
        , end(child<QDateEdit>(w, "DateTimePicker2"))
        , budget(child<QLineEdit>(w, "Text4"))
        , budgetInDays(child<QLineEdit>(w, "Text5"))
        , notes(child<QPlainTextEdit>(w, "Text3"))
        , save(child<QPushButton>(w, "PushButton2"))
        , cancel(child<QPushButton>(w, "PushButton1")) {}

    void fillValid() {
        name->setText(QStringLiteral("Developing"));
        pick(owner, QStringLiteral("Bob Ray"));
        pick(status, QStringLiteral("In process"));
        pick(category, QStringLiteral("Main"));
        pick(priority, QStringLiteral("High"));
        start->setDate(QDate(2021, 8, 31));
        end->setDate(QDate(2021, 9, 30));
        budget->setText(QStringLiteral("1000"));
        budgetInDays->setText(QStringLiteral("5"));
    }
};

const QString projectRow = QStringLiteral(
    "select ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,BudgetInDays,Budget from Projects");

} // namespace

class TestForm2 : public QObject {
    Q_OBJECT
private slots:
    void statementsFollowTheColumnOrder();
    void opensEmptyInAddMode();
    void validationReportsFirstFailure_data();
    void validationReportsFirstFailure();
    void addWritesOwnerIdNumbersAndDates();
    void textsRoundTripExactly_data();
    void textsRoundTripExactly();
    void editLoadsByIdAndUpdatesOnlyThatRow();
    void ownerIsSelectedByIdNotByName();
    void missingOwnerOpensWithNoOwner();
    void fieldThatCannotBeShownKeepsItsDefault();
    void cancelWritesNothing();
    void failedSaveKeepsEditorOpen();
    void saveOfDeletedProjectSaysNothingWasSaved();
    void numbersAreWrittenAsSqlReadsThem();
    void listChangeClearsThePick();
    void keyboardFollowsTheTabOrder();
    void openerSetsCaptionAndRecordBeforeLoading();
};

void TestForm2::statementsFollowTheColumnOrder() {
    EditorSql::ProjectValues v;
    v.name = QStringLiteral("Developing");
    v.owner = 3;
    v.startDate = QDate(2021, 8, 31);
    v.status = QStringLiteral("In process");
    v.category = QStringLiteral("Main Category");
    v.priority = QStringLiteral("High");
    v.endDate = QDate(2021, 9, 30);
    v.budgetInDays = QStringLiteral("5");
    v.budget = QStringLiteral("1000");
    QCOMPARE(EditorSql::insertProject(v),
             QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                            "BudgetInDays,Budget) values ('Developing',3,'2021-08-31','In process','Main Category',"
                            "'High','','2021-09-30',5,1000)"));
    v.notes = QStringLiteral("it's");
    QCOMPARE(EditorSql::updateProject(v, QStringLiteral("12")),
             QStringLiteral("update Projects set ProjectName='Developing',Owner=3,StartDate='2021-08-31',"
                            "Status='In process',Category='Main Category',Priority='High',Notes='it''s',"
                            "EndDate='2021-09-30',BudgetInDays=5,Budget=1000 where ID=12"));
}

void TestForm2::opensEmptyInAddMode() {
    Fixture f;
    Form2 form;
    form.setWindowTitle(QStringLiteral("Add New Project"));
    form.show();
    Controls c(&form);
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(entries(c.owner), QStringList({QStringLiteral("Ann Lee"), QStringLiteral("Bob Ray")}));
    QCOMPARE(form.contactIDs(), QList<qint64>({f.ann, f.bob}));
    QCOMPARE(entries(c.status), QStringList({QStringLiteral("Closed"), QStringLiteral("In process")}));
    for (QComboBox* combo : {c.owner, c.status, c.category, c.priority}) {
        QCOMPARE(combo->currentIndex(), -1);
        QVERIFY(!combo->isEditable());
    }
    QCOMPARE(c.start->date(), QDate::currentDate());
    QCOMPARE(c.end->date(), QDate::currentDate());
    QCOMPARE(c.budget->text(), QStringLiteral("0"));
    QCOMPARE(c.budgetInDays->text(), QStringLiteral("0"));
    QVERIFY(c.name->text().isEmpty() && c.id->text().isEmpty() && c.notes->toPlainText().isEmpty());
    QVERIFY(!c.id->isEnabled());
    QCOMPARE(form.focusWidget(), c.name);
    QCOMPARE(form.windowTitle(), QStringLiteral("Add New Project"));
}

void TestForm2::validationReportsFirstFailure_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cleared"); // drop-downs left without a pick
    QTest::addColumn<QString>("budget");
    QTest::addColumn<QString>("budgetInDays");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("empty name") << ""
                                << ""
                                << "1"
                                << "1"
                                << "You forgot to input Project Name."
                                << "Text1";
    QTest::newRow("name of spaces") << "   "
                                    << ""
                                    << "1"
                                    << "1"
                                    << "You forgot to input Project Name."
                                    << "Text1";
    QTest::newRow("name, owner and status missing") << ""
                                                    << "Combo1 Combo3"
                                                    << "1"
                                                    << "1"
                                                    << "You forgot to input Project Name."
                                                    << "Text1";
    QTest::newRow("owner") << "P"
                           << "Combo1 Combo3"
                           << "1"
                           << "1"
                           << "You forgot to select Owner."
                           << "Combo1";
    QTest::newRow("status before category") << "P"
                                            << "Combo4 Combo3 Combo5"
                                            << "1"
                                            << "1"
                                            << "You forgot to select Status."
                                            << "Combo3";
    QTest::newRow("category") << "P"
                              << "Combo4 Combo5"
                              << "1"
                              << "1"
                              << "You forgot to select Category."
                              << "Combo4";
    QTest::newRow("priority") << "P"
                              << "Combo5"
                              << ""
                              << "1"
                              << "You forgot to select Priority."
                              << "Combo5";
    QTest::newRow("empty budget") << "P"
                                  << ""
                                  << ""
                                  << "x"
                                  << "You forgot to input Budget."
                                  << "Text4";
    QTest::newRow("budget of spaces") << "P"
                                      << ""
                                      << "  "
                                      << "1"
                                      << "You forgot to input Budget."
                                      << "Text4";
    QTest::newRow("budget letters") << "P"
                                    << ""
                                    << "abc"
                                    << ""
                                    << "Budget must be a numeric value."
                                    << "Text4";
    QTest::newRow("budget nan") << "P"
                                << ""
                                << "nan"
                                << "1"
                                << "Budget must be a numeric value."
                                << "Text4";
    QTest::newRow("budget infinite") << "P"
                                     << ""
                                     << "inf"
                                     << "1"
                                     << "Budget must be a numeric value."
                                     << "Text4";
    QTest::newRow("empty days") << "P"
                                << ""
                                << "1"
                                << " "
                                << "You forgot to input Budget in Days."
                                << "Text5";
    QTest::newRow("days letters") << "P"
                                  << ""
                                  << "1"
                                  << "5d"
                                  << "Budget in Days must be a numeric value."
                                  << "Text5";
}

void TestForm2::validationReportsFirstFailure() {
    QFETCH(QString, name);
    QFETCH(QString, cleared);
    QFETCH(QString, budget);
    QFETCH(QString, budgetInDays);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    Fixture f;
    Form2 form;
    form.show();
    Controls c(&form);
    c.fillValid();
    c.name->setText(name);
    for (const QString& combo : cleared.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        form.findChild<QComboBox*>(combo)->setCurrentIndex(-1);
    c.budget->setText(budget);
    c.budgetInDays->setText(budgetInDays);
    c.save->click();
    QCOMPARE(f.messages.notices(), QStringList{message});
    QVERIFY(f.messages.errors().isEmpty());
    QCOMPARE(form.focusWidget()->objectName(), focus);
    QVERIFY(form.isVisible());
    QCOMPARE(count(QStringLiteral("select count(*) from Projects")), 0);
}

void TestForm2::addWritesOwnerIdNumbersAndDates() {
    Fixture f;
    Form2 form;
    form.show();
    Controls c(&form);
    c.fillValid();
    c.name->setText(QStringLiteral("  Plan A  "));
    c.budget->setText(QStringLiteral("1000"));
    c.budgetInDays->setText(QStringLiteral("5"));
    c.save->click();
    QCOMPARE(f.messages.notices(), QStringList{QStringLiteral("Record Successfully Saved")});
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(
        TestEnvironment::rows(projectRow),
        QStringList{QStringLiteral("  Plan A  |%1|2021-08-31|In process|Main|High||2021-09-30|5|1000").arg(f.bob)});
}

void TestForm2::textsRoundTripExactly_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("single quote") << "O'Neil's 'plan'";
    QTest::newRow("unicode") << QStringLiteral("Ünïcødé – 日本語 ✓");
    QTest::newRow("long") << QString(QStringLiteral("ab'c ")).repeated(2000);
}

void TestForm2::textsRoundTripExactly() {
    QFETCH(QString, text);
    Fixture f;
    for (const char* table : {"Status", "Categories", "Priorities"})
        TestEnvironment::exec(
            QStringLiteral("insert into %1 values (%2)").arg(QLatin1String(table), SqlText::quoted(text)));
    {
        Form2 form;
        form.show();
        Controls c(&form);
        c.fillValid();
        c.name->setText(text);
        c.notes->setPlainText(text);
        pick(c.status, text);
        pick(c.category, text);
        pick(c.priority, text);
        c.save->click();
        QVERIFY(!form.isVisible());
    }
    const QStringList stored = TestEnvironment::rows(
        QStringLiteral("select ProjectName||'|'||Status||'|'||Category||'|'||Priority||'|'||Notes from Projects"));
    QCOMPARE(stored, QStringList{QStringList(5, text).join(QLatin1Char('|'))});

    // Loaded back into the editor and saved unchanged, the row stays as it is.
    Form2 form;
    form.m_ID = QString::number(lastId("Projects"));
    form.show();
    Controls c(&form);
    QCOMPARE(c.name->text(), text);
    QCOMPARE(c.notes->toPlainText(), text);
    QCOMPARE(c.status->currentText(), text);
    QCOMPARE(c.category->currentText(), text);
    QCOMPARE(c.priority->currentText(), text);
    c.save->click();
    QCOMPARE(f.messages.notices().last(), QStringLiteral("Record Successfully Updated"));
    QCOMPARE(TestEnvironment::rows(QStringLiteral(
                 "select ProjectName||'|'||Status||'|'||Category||'|'||Priority||'|'||Notes from Projects")),
             stored);
}

void TestForm2::editLoadsByIdAndUpdatesOnlyThatRow() {
    Fixture f;
    const qint64 other = addProject(QStringLiteral("Other"), f.ann);
    const qint64 id = addProject(QStringLiteral("Mine"), f.bob, QStringLiteral("Closed"), QStringLiteral("Side"),
                                 QStringLiteral("Low"));
    Form2 form;
    form.m_ID = QString::number(id);
    form.setWindowTitle(QStringLiteral("Edit Data"));
    form.show();
    Controls c(&form);
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(c.id->text(), QString::number(id));
    QVERIFY(!c.id->isEnabled());
    QCOMPARE(c.name->text(), QStringLiteral("Mine"));
    QCOMPARE(c.owner->currentText(), QStringLiteral("Bob Ray"));
    QCOMPARE(c.status->currentText(), QStringLiteral("Closed"));
    QCOMPARE(c.category->currentText(), QStringLiteral("Side"));
    QCOMPARE(c.priority->currentText(), QStringLiteral("Low"));
    QCOMPARE(c.start->date(), QDate(2021, 8, 31));
    QCOMPARE(c.end->date(), QDate(2021, 9, 30));
    QCOMPARE(c.notes->toPlainText(), QString()); // stored as null
    QCOMPARE(c.budget->text(), QStringLiteral("1000"));
    QCOMPARE(c.budgetInDays->text(), QStringLiteral("5"));

    c.name->setText(QStringLiteral("Mine, renamed"));
    pick(c.owner, QStringLiteral("Ann Lee"));
    c.budget->setText(QStringLiteral("250.5"));
    c.save->click();
    QCOMPARE(f.messages.notices(), QStringList{QStringLiteral("Record Successfully Updated")});
    QVERIFY(!form.isVisible());
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ID,ProjectName,Owner,Budget from Projects order by ID")),
             QStringList({QStringLiteral("%1|Other|%2|1000").arg(other).arg(f.ann),
                          QStringLiteral("%1|Mine, renamed|%2|250.5").arg(id).arg(f.ann)}));
}

void TestForm2::ownerIsSelectedByIdNotByName() {
    Fixture f;
    const qint64 twin1 = addContact(QStringLiteral("Sam"), QStringLiteral("Doe"), QStringLiteral("first"));
    const qint64 twin2 = addContact(QStringLiteral("Sam"), QStringLiteral("Doe"), QStringLiteral("second"));
    const qint64 id = addProject(QStringLiteral("P"), twin2);
    Form2 form;
    form.m_ID = QString::number(id);
    form.show();
    Controls c(&form);
    QCOMPARE(form.contactIDs().value(c.owner->currentIndex()), twin2);
    c.save->click();
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select Owner from Projects")).toLongLong(), twin2);
    QVERIFY(twin1 != twin2);
}

void TestForm2::missingOwnerOpensWithNoOwner() {
    Fixture f;
    const qint64 id = addProject(QStringLiteral("Orphan"), 999);
    Form2 form;
    form.m_ID = QString::number(id);
    form.show();
    Controls c(&form);
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(c.owner->currentIndex(), -1);
    QCOMPARE(c.name->text(), QStringLiteral("Orphan"));
    QCOMPARE(c.status->currentText(), QStringLiteral("In process"));
    c.save->click();
    QCOMPARE(f.messages.notices(), QStringList{QStringLiteral("You forgot to select Owner.")});
}

void TestForm2::fieldThatCannotBeShownKeepsItsDefault() {
    Fixture f;
    const qint64 id = addProject(QStringLiteral("P"), f.ann, QStringLiteral("Gone status"));
    TestEnvironment::exec(QStringLiteral("update Projects set Budget=null"));
    Form2 form;
    form.m_ID = QString::number(id);
    form.show();
    Controls c(&form);
    const QStringList errors = f.messages.errors();
    QCOMPARE(errors.size(), 2);
    QVERIFY2(errors[0].contains(QStringLiteral("Form2.LoadData at line 5")), qPrintable(errors[0]));
    QVERIFY2(errors[1].contains(QStringLiteral("at line 11")), qPrintable(errors[1]));
    QCOMPARE(c.status->currentIndex(), -1);
    QCOMPARE(c.budget->text(), QStringLiteral("0"));
    // The fields after the failing ones are still loaded.
    QCOMPARE(c.category->currentText(), QStringLiteral("Main"));
    QCOMPARE(c.budgetInDays->text(), QStringLiteral("5"));
}

void TestForm2::cancelWritesNothing() {
    Fixture f;
    const qint64 id = addProject(QStringLiteral("Keep"), f.ann);
    const QStringList before = TestEnvironment::rows(projectRow);
    Form2 form;
    form.m_ID = QString::number(id);
    form.show();
    Controls c(&form);
    c.name->setText(QStringLiteral("Changed"));
    c.budget->setText(QStringLiteral("1"));
    c.cancel->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(TestEnvironment::rows(projectRow), before);
    QVERIFY(f.messages.shown().empty());
}

void TestForm2::failedSaveKeepsEditorOpen() {
    Fixture f;
    TestEnvironment::exec(QStringLiteral(
        "create trigger refuse before insert on Projects begin select raise(abort, 'The disk is full.'); end"));
    Form2 form;
    form.show();
    Controls c(&form);
    c.fillValid();
    c.notes->setPlainText(QStringLiteral("typed notes"));
    c.save->click();
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].startsWith(QStringLiteral("The disk is full.")));
    QVERIFY(f.messages.errors()[0].contains(QStringLiteral("Form2.PushButton2_Click ")));
    QVERIFY(f.messages.notices().isEmpty());
    QVERIFY(form.isVisible());
    QCOMPARE(c.name->text(), QStringLiteral("Developing"));
    QCOMPARE(c.notes->toPlainText(), QStringLiteral("typed notes"));
    QCOMPARE(c.owner->currentText(), QStringLiteral("Bob Ray"));
}

void TestForm2::saveOfDeletedProjectSaysNothingWasSaved() {
    Fixture f;
    const qint64 id = addProject(QStringLiteral("Doomed"), f.ann);
    Form2 form;
    form.m_ID = QString::number(id);
    form.show();
    Controls c(&form);
    // The status list's "-" deletes the status and, with it, the project being edited.
    f.messages.answerNext(true);
    pick(c.status, QStringLiteral("In process"));
    child<QPushButton>(&form, "PushButton8")->click();
    QCOMPARE(count(QStringLiteral("select count(*) from Projects")), 0);
    pick(c.status, QStringLiteral("Closed"));
    c.save->click();
    QCOMPARE(f.messages.notices().size(), 1);
    QVERIFY(f.messages.notices()[0].contains(QStringLiteral("no longer exists")));
    QVERIFY(f.messages.notices()[0].contains(QStringLiteral("Nothing was saved")));
    QVERIFY(form.isVisible());
    QCOMPARE(count(QStringLiteral("select count(*) from Projects")), 0);
}

void TestForm2::numbersAreWrittenAsSqlReadsThem() {
    Fixture f;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    {
        Form2 form;
        form.show();
        Controls c(&form);
        c.fillValid();
        c.budget->setText(QStringLiteral(" 1.000,5 "));
        c.budgetInDays->setText(QStringLiteral("2,5e1"));
        c.save->click();
        QVERIFY(!form.isVisible());
    }
    {
        // Shown back in the locale, so that an unchanged save keeps the value.
        Form2 form;
        form.m_ID = QString::number(lastId("Projects"));
        form.show();
        Controls c(&form);
        QCOMPARE(c.budget->text(), QStringLiteral("1000,5"));
        c.save->click();
    }
    QLocale::setDefault(QLocale::c());
    QVERIFY(f.messages.errors().isEmpty());
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Budget,BudgetInDays,typeof(Budget) from Projects")),
             QStringList{QStringLiteral("1000.5|25|real")});
}

void TestForm2::listChangeClearsThePick() {
    Fixture f;
    Form2 form;
    form.show();
    Controls c(&form);
    c.fillValid();
    f.messages.inputNext(QStringLiteral("Waiting"));
    child<QPushButton>(&form, "PushButton7")->click();
    QCOMPARE(c.status->currentIndex(), -1);
    c.save->click();
    QCOMPARE(f.messages.notices(), QStringList{QStringLiteral("You forgot to select Status.")});
    QCOMPARE(form.focusWidget(), c.status);
}

void TestForm2::keyboardFollowsTheTabOrder() {
    Fixture f;
    Form2 form;
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));
    const QStringList expected = {
        QStringLiteral("Combo1"),       QStringLiteral("PushButton5"),     QStringLiteral("PushButton9"),
        QStringLiteral("PushButton6"),  QStringLiteral("Combo4"),          QStringLiteral("PushButton11"),
        QStringLiteral("PushButton12"), QStringLiteral("Combo5"),          QStringLiteral("PushButton13"),
        QStringLiteral("PushButton14"), QStringLiteral("Combo3"),          QStringLiteral("PushButton7"),
        QStringLiteral("PushButton8"),  QStringLiteral("DateTimePicker1"), QStringLiteral("DateTimePicker2"),
        QStringLiteral("Text4"),        QStringLiteral("Text5"),           QStringLiteral("Text3"),
        QStringLiteral("PushButton2"),  QStringLiteral("PushButton1"),     QStringLiteral("Text1")};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
    QVERIFY(!child<QPlainTextEdit>(&form, "Text3")->toPlainText().contains(QLatin1Char('\t')));
}

void TestForm2::openerSetsCaptionAndRecordBeforeLoading() {
    Fixture f;
    const qint64 id = addProject(QStringLiteral("Opened"), f.ann);
    QString caption;
    QString shownId;
    onNextModal([&](QWidget* w) {
        caption = w->windowTitle();
        shownId = child<QLineEdit>(w, "Text2")->text();
        child<QPushButton>(w, "PushButton1")->click();
    });
    Editors::openProjectEditor(nullptr, QString::number(id), QStringLiteral("Edit Data"));
    QCOMPARE(caption, QStringLiteral("Edit Data"));
    QCOMPARE(shownId, QString::number(id));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
