// The task editor: validation, the rows it writes, loading a task, and the mended save faults.
#include "EditorTestUtil.h"
#include "editors/EditorSql.h"
#include "editors/Form5.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace EditorTest;

namespace {

struct TaskFixture {
    TestEnvironment env;
    ScriptedMessages messages;
    qint64 ann = 0;
    qint64 bob = 0;
    qint64 project = 0;
    TaskFixture() {
        env.openDatabase();
        addValueLists();
        ann = addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
        bob = addContact(QStringLiteral("Bob"), QStringLiteral("Ray"));
        project = addProject(QStringLiteral("Project"), ann);
    }
};

struct Controls {
    QLineEdit* title;
    QLineEdit* id;
    QComboBox* assigned;
    QComboBox* status;
    QComboBox* priority;
    QDateEdit* start;
    QDateEdit* due;
    QLineEdit* cost;
    QLineEdit* costInDays;
    QLineEdit* percent;
    QPlainTextEdit* description;
    QPushButton* save;
    QPushButton* cancel;
    explicit Controls(QWidget* w)
        : title(child<QLineEdit>(w, "Text1"))
        , id(child<QLineEdit>(w, "Text2"))
        , assigned(child<QComboBox>(w, "Combo1"))
        , status(child<QComboBox>(w, "Combo3"))
        , priority(child<QComboBox>(w, "Combo5"))
        , start(child<QDateEdit>(w, "DateTimePicker1"))
        , due(child<QDateEdit>(w, "DateTimePicker2"))
        , cost(child<QLineEdit>(w, "Text4"))
        , costInDays(child<QLineEdit>(w, "Text5"))
        , percent(child<QLineEdit>(w, "Text6"))
        , description(child<QPlainTextEdit>(w, "Text3"))
        , save(child<QPushButton>(w, "PushButton2"))
        , cancel(child<QPushButton>(w, "PushButton1")) {}

    void fillValid() {
        title->setText(QStringLiteral("Plan"));
        pick(assigned, QStringLiteral("Bob Ray"));
        pick(status, QStringLiteral("In process"));
        pick(priority, QStringLiteral("High"));
        start->setDate(QDate(2021, 8, 31));
        due->setDate(QDate(2021, 9, 30));
        cost->setText(QStringLiteral("10"));
        costInDays->setText(QStringLiteral("2"));
        percent->setText(QStringLiteral("0"));
    }
};

const QString taskRow =
    QStringLiteral("select ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,AssignedTo,Description,"
                   "StartDate,DueDate from Tasks");

} // namespace

class TestForm5 : public QObject {
    Q_OBJECT
private slots:
    void statementsFollowTheColumnOrder();
    void validationReportsFirstFailure_data();
    void validationReportsFirstFailure();
    void addWritesProjectAssigneeIdNumbersAndDates();
    void textsRoundTripExactly_data();
    void textsRoundTripExactly();
    void editLoadsByIdAndUpdatesOnlyThatTask();
    void missingAssigneeOpensWithNoneSelected();
    void fieldThatCannotBeShownEndsTheLoading();
    void cancelWritesNothing();
    void failedSaveKeepsEditorOpen();
    void saveOfDeletedTaskSaysNothingWasSaved();
    void numbersAreWrittenAsSqlReadsThem();
    void keyboardFollowsTheTabOrder();
};

void TestForm5::statementsFollowTheColumnOrder() {
    EditorSql::TaskValues v;
    v.projectId = QStringLiteral("7");
    v.title = QStringLiteral("Plan");
    v.priority = QStringLiteral("High");
    v.status = QStringLiteral("Open");
    v.cost = QStringLiteral("10");
    v.costInDays = QStringLiteral("2");
    v.percentComplete = QStringLiteral("0");
    v.assignedTo = 3;
    v.startDate = QDate(2021, 8, 31);
    v.dueDate = QDate(2021, 9, 30);
    QCOMPARE(EditorSql::insertTask(v),
             QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,"
                            "AssignedTo,Description,StartDate,DueDate) values (7,'Plan','High','Open',10,2,0,3,'',"
                            "'2021-08-31','2021-09-30')"));
    v.description = QStringLiteral("a'b");
    QCOMPARE(EditorSql::updateTask(v, QStringLiteral("4")),
             QStringLiteral("update Tasks set ProjectID=7,Title='Plan',Priority='High',Status='Open',Cost=10,"
                            "CostInDays=2,PercentComplete=0,AssignedTo=3,Description='a''b',StartDate='2021-08-31',"
                            "DueDate='2021-09-30' where ID=4"));
}

void TestForm5::validationReportsFirstFailure_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("cleared");
    QTest::addColumn<QStringList>("numbers"); // cost, cost in days, % complete
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QStringList ok = {QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")};
    QTest::newRow("title of spaces") << "  "
                                     << "Combo1" << ok << "You forgot to input Title."
                                     << "Text1";
    QTest::newRow("assignee") << "T"
                              << "Combo1 Combo3" << ok << "You forgot to select Assigned To."
                              << "Combo1";
    QTest::newRow("status") << "T"
                            << "Combo3 Combo5" << ok << "You forgot to select Status."
                            << "Combo3";
    QTest::newRow("priority") << "T"
                              << "Combo5" << QStringList{"", "", ""} << "You forgot to select Priority."
                              << "Combo5";
    QTest::newRow("empty cost") << "T"
                                << "" << QStringList{"", "x", "x"} << "You forgot to input Cost."
                                << "Text4";
    QTest::newRow("cost letters") << "T"
                                  << "" << QStringList{"abc", "", ""} << "Cost must be numeric value."
                                  << "Text4";
    QTest::newRow("cost in days empty") << "T"
                                        << "" << QStringList{"1", " ", "x"} << "You forgot to input Cost in Days."
                                        << "Text5";
    QTest::newRow("cost in days infinite")
        << "T"
        << "" << QStringList{"1", "-inf", "1"} << "Cost in Days must be a numeric value."
        << "Text5";
    QTest::newRow("percent empty") << "T"
                                   << "" << QStringList{"1", "1", ""} << "You forgot to input % Complete."
                                   << "Text6";
    QTest::newRow("percent letters") << "T"
                                     << "" << QStringList{"1", "1", "half"} << "% Complete must be numeric value."
                                     << "Text6";
}

void TestForm5::validationReportsFirstFailure() {
    QFETCH(QString, title);
    QFETCH(QString, cleared);
    QFETCH(QStringList, numbers);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    TaskFixture f;
    Form5 form;
    form.m_ProjectID = QString::number(f.project);
    form.show();
    Controls c(&form);
    c.fillValid();
    c.title->setText(title);
    for (const QString& combo : cleared.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        form.findChild<QComboBox*>(combo)->setCurrentIndex(-1);
    c.cost->setText(numbers[0]);
    c.costInDays->setText(numbers[1]);
    c.percent->setText(numbers[2]);
    c.save->click();
    QCOMPARE(f.messages.notices(), QStringList{message});
    QCOMPARE(form.focusWidget()->objectName(), focus);
    QVERIFY(form.isVisible());
    QCOMPARE(count(QStringLiteral("select count(*) from Tasks")), 0);
}

void TestForm5::addWritesProjectAssigneeIdNumbersAndDates() {
    TaskFixture f;
    Form5 form;
    form.m_ProjectID = QString::number(f.project);
    form.setWindowTitle(QStringLiteral("Add New Task"));
    form.show();
    Controls c(&form);
    QCOMPARE(c.assigned->currentIndex(), -1);
    QCOMPARE(c.percent->text(), QStringLiteral("0"));
    QCOMPARE(c.start->date(), QDate::currentDate());
    c.fillValid();
    c.title->setText(QStringLiteral(" Plan "));
    c.cost->setText(QStringLiteral("-10.5"));
    c.percent->setText(QStringLiteral("150"));
    c.save->click();
    QCOMPARE(f.messages.notices(), QStringList{QStringLiteral("Record Successfully Saved")});
    QVERIFY(!form.isVisible());
    QCOMPARE(TestEnvironment::rows(taskRow),
             QStringList{QStringLiteral("%1| Plan |High|In process|-10.5|2|150|%2||2021-08-31|2021-09-30")
                             .arg(f.project)
                             .arg(f.bob)});
}

void TestForm5::textsRoundTripExactly_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("single quote") << "it's 'done'";
    QTest::newRow("unicode") << QStringLiteral("Задача – 任务 ✓");
    QTest::newRow("long") << QString(QStringLiteral("x'y ")).repeated(3000);
}

void TestForm5::textsRoundTripExactly() {
    QFETCH(QString, text);
    TaskFixture f;
    for (const char* table : {"Status", "Priorities"})
        TestEnvironment::exec(
            QStringLiteral("insert into %1 values (%2)").arg(QLatin1String(table), SqlText::quoted(text)));
    const QString stored = QStringLiteral("select Title||'|'||Status||'|'||Priority||'|'||Description from Tasks");
    {
        Form5 form;
        form.m_ProjectID = QString::number(f.project);
        form.show();
        Controls c(&form);
        c.fillValid();
        c.title->setText(text);
        c.description->setPlainText(text);
        pick(c.status, text);
        pick(c.priority, text);
        c.save->click();
    }
    QCOMPARE(TestEnvironment::rows(stored), QStringList{QStringList(4, text).join(QLatin1Char('|'))});
    Form5 form;
    form.m_ID = QString::number(lastId("Tasks"));
    form.m_ProjectID = QString::number(f.project);
    form.show();
    Controls c(&form);
    QCOMPARE(c.title->text(), text);
    QCOMPARE(c.description->toPlainText(), text);
    QCOMPARE(c.status->currentText(), text);
    QCOMPARE(c.priority->currentText(), text);
    c.save->click();
    QCOMPARE(f.messages.notices().last(), QStringLiteral("Record Successfully Updated"));
    QCOMPARE(TestEnvironment::rows(stored), QStringList{QStringList(4, text).join(QLatin1Char('|'))});
}

void TestForm5::editLoadsByIdAndUpdatesOnlyThatTask() {
    TaskFixture f;
    const qint64 twin1 = addContact(QStringLiteral("Sam"), QStringLiteral("Doe"));
    const qint64 twin2 = addContact(QStringLiteral("Sam"), QStringLiteral("Doe"));
    const qint64 other = addTask(f.project, QStringLiteral("Other"), twin1);
    const qint64 id =
        addTask(f.project, QStringLiteral("Mine"), twin2, QStringLiteral("Closed"), QStringLiteral("Low"));
    Form5 form;
    form.m_ID = QString::number(id);
    form.m_ProjectID = QString::number(f.project);
    form.show();
    Controls c(&form);
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(c.id->text(), QString::number(id));
    QCOMPARE(c.title->text(), QStringLiteral("Mine"));
    QCOMPARE(form.contactIDs().value(c.assigned->currentIndex()), twin2);
    QCOMPARE(c.status->currentText(), QStringLiteral("Closed"));
    QCOMPARE(c.priority->currentText(), QStringLiteral("Low"));
    QCOMPARE(c.start->date(), QDate(2021, 8, 31));
    QCOMPARE(c.due->date(), QDate(2021, 9, 30));
    QCOMPARE(c.description->toPlainText(), QString()); // stored as null
    QCOMPARE(c.cost->text(), QStringLiteral("10"));
    QCOMPARE(c.costInDays->text(), QStringLiteral("2"));
    QCOMPARE(c.percent->text(), QStringLiteral("50"));
    c.percent->setText(QStringLiteral("75"));
    c.save->click();
    QCOMPARE(f.messages.notices(), QStringList{QStringLiteral("Record Successfully Updated")});
    QCOMPARE(
        TestEnvironment::rows(QStringLiteral("select ID,AssignedTo,PercentComplete from Tasks order by ID")),
        QStringList({QStringLiteral("%1|%2|50").arg(other).arg(twin1), QStringLiteral("%1|%2|75").arg(id).arg(twin2)}));
}

void TestForm5::missingAssigneeOpensWithNoneSelected() {
    TaskFixture f;
    const qint64 id = addTask(f.project, QStringLiteral("T"), 999);
    Form5 form;
    form.m_ID = QString::number(id);
    form.m_ProjectID = QString::number(f.project);
    form.show();
    Controls c(&form);
    QVERIFY(f.messages.shown().empty());
    QCOMPARE(c.assigned->currentIndex(), -1);
    QCOMPARE(c.priority->currentText(), QStringLiteral("High"));
}

void TestForm5::fieldThatCannotBeShownEndsTheLoading() {
    TaskFixture f;
    const qint64 id = addTask(f.project, QStringLiteral("T"), f.bob, QStringLiteral("Gone"));
    Form5 form;
    form.m_ID = QString::number(id);
    form.m_ProjectID = QString::number(f.project);
    form.show();
    Controls c(&form);
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY2(f.messages.errors()[0].contains(QStringLiteral("Form5.Form_Load at line 7")),
             qPrintable(f.messages.errors()[0]));
    // Read before the status: shown. After it: the load defaults.
    QCOMPARE(c.title->text(), QStringLiteral("T"));
    QCOMPARE(c.assigned->currentText(), QStringLiteral("Bob Ray"));
    QCOMPARE(c.priority->currentIndex(), -1);
    QCOMPARE(c.start->date(), QDate::currentDate());
    QCOMPARE(c.percent->text(), QStringLiteral("0"));
}

void TestForm5::cancelWritesNothing() {
    TaskFixture f;
    const qint64 id = addTask(f.project, QStringLiteral("Keep"), f.ann);
    const QStringList before = TestEnvironment::rows(taskRow);
    Form5 form;
    form.m_ID = QString::number(id);
    form.m_ProjectID = QString::number(f.project);
    form.show();
    Controls c(&form);
    c.title->setText(QStringLiteral("Changed"));
    c.cancel->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(TestEnvironment::rows(taskRow), before);
    QVERIFY(f.messages.shown().empty());
}

void TestForm5::failedSaveKeepsEditorOpen() {
    TaskFixture f;
    Form5 form;
    form.m_ProjectID = QString::number(f.project);
    form.show();
    Controls c(&form);
    c.fillValid();
    c.description->setPlainText(QStringLiteral("typed"));
    // The project goes away while the editor is open: the task cannot be added to it.
    TestEnvironment::exec(QStringLiteral("delete from Projects"));
    c.save->click();
    QCOMPARE(f.messages.errors().size(), 1);
    QVERIFY(f.messages.errors()[0].contains(QStringLiteral("Form5.PushButton2_Click ")));
    QVERIFY(f.messages.notices().isEmpty());
    QVERIFY(form.isVisible());
    QCOMPARE(c.description->toPlainText(), QStringLiteral("typed"));
    QCOMPARE(count(QStringLiteral("select count(*) from Tasks")), 0);
}

void TestForm5::saveOfDeletedTaskSaysNothingWasSaved() {
    TaskFixture f;
    const qint64 id = addTask(f.project, QStringLiteral("T"), f.ann);
    Form5 form;
    form.m_ID = QString::number(id);
    form.m_ProjectID = QString::number(f.project);
    form.show();
    Controls c(&form);
    TestEnvironment::exec(QStringLiteral("delete from Tasks"));
    c.save->click();
    QCOMPARE(f.messages.notices().size(), 1);
    QVERIFY(f.messages.notices()[0].contains(QStringLiteral("Nothing was saved")));
    QVERIFY(form.isVisible());
    QCOMPARE(count(QStringLiteral("select count(*) from Tasks")), 0);
}

void TestForm5::numbersAreWrittenAsSqlReadsThem() {
    TaskFixture f;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    {
        Form5 form;
        form.m_ProjectID = QString::number(f.project);
        form.show();
        Controls c(&form);
        c.fillValid();
        c.cost->setText(QStringLiteral("1.234,5"));
        c.costInDays->setText(QStringLiteral("0,5"));
        c.percent->setText(QStringLiteral("+12,5"));
        c.save->click();
        QVERIFY(!form.isVisible());
    }
    QLocale::setDefault(QLocale::c());
    QVERIFY(f.messages.errors().isEmpty());
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Cost,CostInDays,PercentComplete from Tasks")),
             QStringList{QStringLiteral("1234.5|0.5|12.5")});
}

void TestForm5::keyboardFollowsTheTabOrder() {
    TaskFixture f;
    Form5 form;
    form.m_ProjectID = QString::number(f.project);
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));
    const QStringList expected = {QStringLiteral("Combo1"),          QStringLiteral("PushButton5"),
                                  QStringLiteral("PushButton9"),     QStringLiteral("PushButton6"),
                                  QStringLiteral("Combo3"),          QStringLiteral("PushButton7"),
                                  QStringLiteral("PushButton8"),     QStringLiteral("Combo5"),
                                  QStringLiteral("PushButton13"),    QStringLiteral("PushButton14"),
                                  QStringLiteral("DateTimePicker1"), QStringLiteral("DateTimePicker2"),
                                  QStringLiteral("Text4"),           QStringLiteral("Text5"),
                                  QStringLiteral("Text6"),           QStringLiteral("Text3"),
                                  QStringLiteral("PushButton2"),     QStringLiteral("PushButton1"),
                                  QStringLiteral("Text2"),           QStringLiteral("Text1")};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);
}

QTEST_MAIN(TestForm5)
#include "tst_form5.moc"
