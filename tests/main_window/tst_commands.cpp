// The commands of the main window: adding, editing and deleting through the buttons and the
// row keys, the refills and reselection that follow, the report window and the sample data.
#include "app/Database.h"
#include "app/SqlText.h"
#include "main_window/Form1.h"
#include "app/widgets/RecordListModel.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "editors/Form5.h"
#include "editors/LookupEditor.h"

namespace {

// While it lives, closes every modal window that opens by its Cancel button (PushButton2 of the
// report window, PushButton1 of the editors), and records what it saw:
// "objectName|caption|m_ID|m_ProjectID".
class ModalCloser : public QObject {
public:
    ModalCloser() {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] { closeModal(); });
        m_timer.start();
    }
    QStringList seen;

private:
    void closeModal() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last)
            return;
        m_last = modal;
        QString ids;
        if (auto* editor = qobject_cast<LookupEditor*>(modal))
            ids = QLatin1Char('|') + editor->m_ID;
        if (auto* task = qobject_cast<Form5*>(modal))
            ids += QLatin1Char('|') + task->m_ProjectID;
        seen << modal->objectName() + QLatin1Char('|') + modal->windowTitle() + ids;
        const QString cancelName = modal->objectName() == QLatin1String("Form4") ? QStringLiteral("PushButton2")
                                                                                 : QStringLiteral("PushButton1");
        if (auto* cancel = modal->findChild<QAbstractButton*>(cancelName))
            cancel->click();
        else if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }

    QTimer m_timer;
    QPointer<QWidget> m_last; // the window being closed, until it is gone
};

int addProject(const QString& name) {
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,"
                                         "Notes,EndDate,BudgetInDays,Budget) values "
                                         "(%1,1,'2021-08-31','Open','Main','High','','2021-09-30',5,10)")
                              .arg(SqlText::quoted(name)));
    return TestEnvironment::scalar(QStringLiteral("select max(ID) from Projects")).toInt();
}

void addTask(int projectId, const QString& title) {
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,"
                                         "PercentComplete,AssignedTo,Description,StartDate,DueDate) values "
                                         "(%1,%2,'High','Open',1,1,0,1,'','2021-08-31','2021-09-01')")
                              .arg(projectId)
                              .arg(SqlText::quoted(title)));
}

int count(const char* table) {
    return TestEnvironment::scalar(QStringLiteral("select count(*) from ") + QLatin1String(table)).toInt();
}

// The second column of a list (project name or task title), row by row.
QStringList names(QTreeView* list) {
    QStringList result;
    auto* model = static_cast<RecordListModel*>(list->model());
    for (int r = 0; r < model->rowCount(); ++r)
        result << model->cellText(r, 1);
    return result;
}

// A main window over a database holding the contact, status, category and priority that
// addProject() and addTask() refer to, so the editors find them in their lists. Without a
// database the window's own start-up makes an empty one.
struct MainWindow {
    explicit MainWindow(bool withDatabase = true) {
        if (!withDatabase)
            return;
        env.openDatabase();
        for (const char* statement : {"insert into Employees (ID,FirstName,LastName) values (1,'Ann','Lee')",
                                      "insert into Status values ('Open')", "insert into Categories values ('Main')",
                                      "insert into Priorities values ('High')"})
            TestEnvironment::exec(QLatin1String(statement));
    }
    void click(const char* button) {
        QTest::mouseClick(form.findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }
    // Answers the question that a delete button asks.
    void answerAndClick(bool yes, const char* button) {
        messages.answerNext(yes);
        click(button);
    }
    QStringList shown() const {
        QStringList texts;
        for (const ScriptedMessages::Shown& s : messages.shown())
            texts << s.text;
        return texts;
    }

    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
};

} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void commandsWithoutARowDoNothing_data();
    void commandsWithoutARowDoNothing();
    void deleteProjectAsksAndTakesItsTasksFromTheList();
    void deleteTaskAsksAndDeletesOnlyIt();
    void failedDeleteIsReportedAndListRefilled();
    void projectWithTasksIsNotDeletedWithoutBackup();
    void editProjectRefillsAndReselects();
    void editOrAddTaskRefillsAndReselects();
    void rowKeysAndDoubleClickUseTheCommands();
    void sampleDataButtonFillsBothLists();
    void addedProjectIsSelected_data();
    void addedProjectIsSelected();
};

void TestCommands::commandsWithoutARowDoNothing_data() {
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("world"); // "empty", "one project" or "unselected" (rows, no selection)
    QTest::addColumn<QString>("opens"); // the window it opens, if any
    const QString nothing;
    QTest::newRow("edit project, no project") << QByteArray("PushButton1") << "empty" << nothing;
    QTest::newRow("delete project, no project") << QByteArray("PushButton3") << "empty" << nothing;
    QTest::newRow("add task, no project") << QByteArray("PushButton4") << "empty" << nothing;
    QTest::newRow("edit task, no project") << QByteArray("PushButton6") << "empty" << nothing;
    QTest::newRow("delete task, no project") << QByteArray("PushButton7") << "empty" << nothing;
    QTest::newRow("edit task, no task") << QByteArray("PushButton6") << "one project" << nothing;
    QTest::newRow("delete task, no task") << QByteArray("PushButton7") << "one project" << nothing;
    QTest::newRow("add project, no project") << QByteArray("PushButton2") << "empty"
                                             << "Form2|Add New Project|";
    QTest::newRow("reports, no project") << QByteArray("PushButton5") << "empty"
                                         << "Form4|Reports";
    for (const char* button : {"PushButton1", "PushButton3", "PushButton4", "PushButton6", "PushButton7"})
        QTest::addRow("%s, rows but none selected", button) << QByteArray(button) << "unselected" << nothing;
}

void TestCommands::commandsWithoutARowDoNothing() {
    QFETCH(QByteArray, button);
    QFETCH(QString, world);
    QFETCH(QString, opens);
    MainWindow w(world != QLatin1String("empty"));
    if (world != QLatin1String("empty")) {
        const int project = addProject(QStringLiteral("Alpha"));
        if (world == QLatin1String("unselected"))
            addTask(project, QStringLiteral("Alpha task"));
    }
    w.form.Form_Load();
    if (world == QLatin1String("unselected")) {
        // The state a refill passes through: rows, and no selection yet (the lists themselves
        // refuse to lose their selection, so the base class clears it).
        for (QTreeView* list : {w.form.ListView1, w.form.ListView2})
            list->selectionModel()->QItemSelectionModel::select(QItemSelection(), QItemSelectionModel::Clear);
    }
    QStringList statements;
    Database::shared().setStatementObserver([&](const QString& s) { statements << s; });
    ModalCloser closer;
    w.click(button.constData());
    Database::shared().setStatementObserver({});
    QCOMPARE(w.shown(), QStringList());
    QCOMPARE(closer.seen, opens.isEmpty() ? QStringList() : QStringList{opens});
    if (opens.isEmpty())
        QCOMPARE(statements, QStringList());
}

void TestCommands::deleteProjectAsksAndTakesItsTasksFromTheList() {
    MainWindow w;
    const int first = addProject(QStringLiteral("Alpha"));
    const int second = addProject(QStringLiteral("O'Brien's plan"));
    addTask(first, QStringLiteral("Alpha task"));
    addTask(second, QStringLiteral("Plan task 1"));
    addTask(second, QStringLiteral("Plan task 2"));
    w.form.Form_Load();
    Form1::selectRow(w.form.ListView1, 1);
    w.form.ListTasks();
    QCOMPARE(names(w.form.ListView2), QStringList({"Plan task 1", "Plan task 2"}));

    // No: nothing changes.
    w.answerAndClick(false, "PushButton3");
    QCOMPARE(w.messages.questions(), QStringList({"Are you sure you want to delete [O'Brien's plan]?"}));
    QCOMPARE(w.messages.shown().front().title, AppTitle::current());
    QCOMPARE(count("Projects"), 2);
    QCOMPARE(count("Tasks"), 3);
    QCOMPARE(Form1::selectedRow(w.form.ListView1), 1);
    QCOMPARE(names(w.form.ListView2), QStringList({"Plan task 1", "Plan task 2"}));

    // Yes: that project and its tasks go; the task list follows the project now selected.
    w.answerAndClick(true, "PushButton3");
    QVERIFY2(w.messages.errors().isEmpty(), qPrintable(w.messages.errors().join(QLatin1Char('\n'))));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName from Projects")), QStringList({"Alpha"}));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title from Tasks")), QStringList({"Alpha task"}));
    QCOMPARE(names(w.form.ListView1), QStringList({"Alpha"}));
    QCOMPARE(names(w.form.ListView2), QStringList({"Alpha task"}));

    // The last project: both lists end empty.
    w.answerAndClick(true, "PushButton3");
    QVERIFY(w.messages.errors().isEmpty());
    QCOMPARE(w.form.projectModel()->rowCount(), 0);
    QCOMPARE(w.form.taskModel()->rowCount(), 0);
    QCOMPARE(count("Tasks"), 0);
}

void TestCommands::deleteTaskAsksAndDeletesOnlyIt() {
    MainWindow w;
    const int project = addProject(QStringLiteral("Alpha"));
    for (const char* title : {"First", "Don't forget", "Third"})
        addTask(project, QLatin1String(title));
    w.form.Form_Load();
    Form1::selectRow(w.form.ListView2, 1);

    w.answerAndClick(false, "PushButton7");
    QCOMPARE(w.messages.questions(), QStringList({"Are you sure you want to delete [Don't forget]?"}));
    QCOMPARE(count("Tasks"), 3);
    QCOMPARE(Form1::selectedRow(w.form.ListView2), 1);

    w.answerAndClick(true, "PushButton7");
    QVERIFY(w.messages.errors().isEmpty());
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title from Tasks order by ID")),
             QStringList({"First", "Third"}));
    QCOMPARE(names(w.form.ListView2), QStringList({"First", "Third"}));
    QCOMPARE(count("Projects"), 1);
}

void TestCommands::failedDeleteIsReportedAndListRefilled() {
    MainWindow w;
    const int project = addProject(QStringLiteral("Alpha"));
    addTask(project, QStringLiteral("Kept"));
    TestEnvironment::refuse(QStringLiteral("delete"), QStringLiteral("Tasks"), QStringLiteral("locked"));
    w.form.Form_Load();
    addTask(project, QStringLiteral("Added meanwhile"));

    w.answerAndClick(true, "PushButton7");
    QCOMPARE(w.messages.errors().size(), 1);
    QVERIFY2(w.messages.errors().at(0).contains(QStringLiteral("Form1.PushButton7_Click at line 3")),
             qPrintable(w.messages.errors().at(0)));
    QCOMPARE(names(w.form.ListView2), QStringList({"Kept", "Added meanwhile"}));
}

void TestCommands::projectWithTasksIsNotDeletedWithoutBackup() {
    SKIP_FOR_TEAM_DATABASE(); // a team database's backups are the server's business
    MainWindow w;
    addTask(addProject(QStringLiteral("Alpha")), QStringLiteral("Its task"));
    w.form.Form_Load();
    TestEnvironment::blockBackups();

    w.answerAndClick(true, "PushButton3");
    QCOMPARE(w.messages.errors().size(), 1);
    QVERIFY2(w.messages.errors().at(0).contains(QStringLiteral("so nothing was deleted")),
             qPrintable(w.messages.errors().at(0)));
    QCOMPARE(count("Projects"), 1);
    QCOMPARE(count("Tasks"), 1);
    QCOMPARE(names(w.form.ListView2), QStringList{QStringLiteral("Its task")});
}

void TestCommands::editProjectRefillsAndReselects() {
    MainWindow w;
    QList<int> ids;
    for (const char* name : {"P1", "P2", "P3", "P4", "P5"})
        ids << addProject(QLatin1String(name));
    w.form.Form_Load();
    ModalCloser closer;

    // The third of five: cancelled, yet the list is refilled (a row added meanwhile shows) and
    // the third row is selected again, with its tasks below.
    Form1::selectRow(w.form.ListView1, 2);
    addProject(QStringLiteral("P6"));
    addTask(ids[2], QStringLiteral("Task of P3"));
    w.click("PushButton1");
    QCOMPARE(w.form.projectModel()->rowCount(), 6);
    QCOMPARE(Form1::selectedRow(w.form.ListView1), 2);
    QCOMPARE(names(w.form.ListView2), QStringList({"Task of P3"}));
    QCOMPARE(closer.seen, QStringList({QStringLiteral("Form2|Edit Data|%1").arg(ids[2])}));

    // The last one.
    Form1::selectRow(w.form.ListView1, 5);
    w.click("PushButton1");
    QCOMPARE(Form1::selectedRow(w.form.ListView1), 5);

    // A shorter list than the remembered position (projects deleted meanwhile, as deleting a
    // value in the editor does): the first row stays selected, and the task list follows it.
    addTask(ids[3], QStringLiteral("Task of P4"));
    TestEnvironment::exec(QStringLiteral("delete from Projects where ProjectName in ('P1','P2','P3')"));
    w.click("PushButton1");
    QCOMPARE(w.form.projectModel()->rowCount(), 3);
    QCOMPARE(Form1::selectedRow(w.form.ListView1), 0);
    QCOMPARE(names(w.form.ListView2), QStringList({"Task of P4"}));

    // Adding a project: the refill selects the first row and the task list follows it.
    Form1::selectRow(w.form.ListView1, 1);
    w.form.ListTasks();
    QCOMPARE(w.form.taskModel()->rowCount(), 0);
    w.click("PushButton2");
    QCOMPARE(Form1::selectedRow(w.form.ListView1), 0);
    QCOMPARE(names(w.form.ListView2), QStringList({"Task of P4"}));
    QCOMPARE(w.shown(), QStringList());
}

void TestCommands::editOrAddTaskRefillsAndReselects() {
    MainWindow w;
    addProject(QStringLiteral("Other"));
    const int project = addProject(QStringLiteral("Mine"));
    for (const char* title : {"T1", "T2", "T3", "T4", "T5"})
        addTask(project, QLatin1String(title));
    w.form.Form_Load();
    Form1::selectRow(w.form.ListView1, 1);
    w.form.ListTasks();
    ModalCloser closer;

    Form1::selectRow(w.form.ListView2, 2);
    const QString taskId = Form1::selectedCell(w.form.ListView2, 0);
    addTask(project, QStringLiteral("T6"));
    w.click("PushButton6");
    QCOMPARE(names(w.form.ListView2), QStringList({"T1", "T2", "T3", "T4", "T5", "T6"}));
    QCOMPARE(Form1::selectedRow(w.form.ListView2), 2);
    QCOMPARE(closer.seen, QStringList({QStringLiteral("Form5|Edit Tasks|%1|%2").arg(taskId).arg(project)}));

    Form1::selectRow(w.form.ListView2, 5);
    w.click("PushButton6");
    QCOMPARE(Form1::selectedRow(w.form.ListView2), 5);

    TestEnvironment::exec(QStringLiteral("delete from Tasks where Title in ('T1','T2','T3')"));
    w.click("PushButton6");
    QCOMPARE(names(w.form.ListView2), QStringList({"T4", "T5", "T6"}));
    QCOMPARE(Form1::selectedRow(w.form.ListView2), 0);

    // Adding a task opens the editor for the selected project, then refills its tasks.
    closer.seen.clear();
    addTask(project, QStringLiteral("Written meanwhile"));
    w.click("PushButton4");
    QCOMPARE(names(w.form.ListView2), QStringList({"T4", "T5", "T6", "Written meanwhile"}));
    QCOMPARE(closer.seen, QStringList({QStringLiteral("Form5|Add New Task||%1").arg(project)}));
    QCOMPARE(w.shown(), QStringList());
}

void TestCommands::rowKeysAndDoubleClickUseTheCommands() {
    MainWindow w;
    Form1& form = w.form;
    const int project = addProject(QStringLiteral("Alpha"));
    addTask(project, QStringLiteral("Task A"));
    form.Form_Load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    ModalCloser closer;
    // Keys go to the focused list of the active window, as after an editor has closed.
    auto focus = [&form](QTreeView* list) {
        form.activateWindow();
        list->setFocus();
        return QTest::qWaitForWindowActive(&form) && list->hasFocus();
    };

    // Delete on a focused row asks; No keeps it.
    QVERIFY(focus(form.ListView1));
    QTest::keyClick(form.ListView1, Qt::Key_Delete);
    QVERIFY(focus(form.ListView2));
    QTest::keyClick(form.ListView2, Qt::Key_Delete);
    QCOMPARE(w.messages.questions(),
             QStringList({"Are you sure you want to delete [Alpha]?", "Are you sure you want to delete [Task A]?"}));
    QCOMPARE(count("Tasks"), 1);

    // Enter and a double-click edit the row: the edit's refill shows what was added meanwhile.
    addTask(project, QStringLiteral("Task B"));
    QTest::keyClick(form.ListView2, Qt::Key_Return);
    QCOMPARE(form.taskModel()->rowCount(), 2);

    addProject(QStringLiteral("Beta"));
    QVERIFY(focus(form.ListView1));
    QTest::keyClick(form.ListView1, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(form.projectModel()->rowCount(), 2);

    addProject(QStringLiteral("Gamma"));
    const QRect row = form.ListView1->visualRect(form.projectModel()->index(0, 1));
    // What a double-click delivers: press, release, double-click press, release.
    QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseRelease(form.ListView1->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(form.projectModel()->rowCount(), 3);
    QCOMPARE(
        closer.seen,
        QStringList({QStringLiteral("Form5|Edit Tasks|%1|%2").arg(Form1::selectedCell(form.ListView2, 0)).arg(project),
                     QStringLiteral("Form2|Edit Data|%1").arg(project),
                     QStringLiteral("Form2|Edit Data|%1").arg(project)}));
    QCOMPARE(w.messages.shown().size(), size_t(2));
}

void TestCommands::sampleDataButtonFillsBothLists() {
    MainWindow w(false);
    w.form.Form_Load();
    w.click("PushButton8");
    QCOMPARE(w.shown(), QStringList());
    QCOMPARE(names(w.form.ListView1), QStringList({"Developing", "Testing", "Implementinging"}));
    QCOMPARE(names(w.form.ListView2), QStringList({"Research"}));
    QCOMPARE(w.form.taskModel()->rawCell(0, 3), SqlText::dateText(QDate::currentDate()));
}

void TestCommands::addedProjectIsSelected_data() {
    QTest::addColumn<int>("before"); // projects already there
    QTest::addColumn<bool>("sorted");
    QTest::newRow("short list") << 3 << false;
    QTest::newRow("sorted by name") << 3 << true;
    QTest::newRow("list longer than its first part") << 450 << false;
}

// After "Add New Project" the new project is the selected row, with its (no) tasks below.
void TestCommands::addedProjectIsSelected() {
    QFETCH(int, before);
    QFETCH(bool, sorted);
    MainWindow w;
    const int first = addProject(QStringLiteral("A first"));
    addTask(first, QStringLiteral("Task of the first"));
    while (count("Projects") < before)
        TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,"
                                             "Priority,EndDate,BudgetInDays,Budget) select ProjectName||'+',Owner,"
                                             "StartDate,Status,Category,Priority,EndDate,BudgetInDays,Budget from "
                                             "Projects"));
    w.form.Form_Load();
    if (sorted) // the new project sorts last
        w.form.headerClick(w.form.ListView1, 2);
    QTimer::singleShot(0, [] {
        QWidget* editor = QApplication::activeModalWidget();
        QVERIFY(editor);
        editor->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("M new"));
        for (const char* combo : {"Combo1", "Combo3", "Combo4", "Combo5"})
            editor->findChild<QComboBox*>(QLatin1String(combo))->setCurrentIndex(0);
        editor->findChild<QPushButton*>(QStringLiteral("PushButton2"))->click();
    });
    w.click("PushButton2");
    QCOMPARE(w.messages.notices(), QStringList{QStringLiteral("Record Successfully Saved")});
    QCOMPARE(Form1::selectedCell(w.form.ListView1, 1), QStringLiteral("M new"));
    QCOMPARE(Form1::selectedCell(w.form.ListView1, 0),
             TestEnvironment::scalar(QStringLiteral("select max(ID) from Projects")).toString());
    QCOMPARE(w.form.taskModel()->rowCount(), 0);
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
