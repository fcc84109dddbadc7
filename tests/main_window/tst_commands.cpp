// The commands of the main window: adding, editing and deleting through the buttons and the
// row keys, the refills and reselection that follow, the report window and the sample data.
#include "app/Database.h"
#include "app/SqlText.h"
#include "main_window/Form1.h"
#include "main_window/RecordListModel.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
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

QStringList column(QTreeView* list, int col) {
    QStringList result;
    auto* model = static_cast<RecordListModel*>(list->model());
    for (int r = 0; r < model->rowCount(); ++r)
        result << model->cellText(r, col);
    return result;
}

void click(Form1& form, const char* button) {
    auto* b = form.findChild<QPushButton*>(QLatin1String(button));
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

int addProject(const QString& name) {
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,"
                                         "Notes,EndDate,BudgetInDays,Budget) values (") +
                          QStringLiteral("'%1',1,'2021-08-31','Open','Main','High','','2021-09-30',5,10)")
                              .arg(QString(name).replace(QLatin1Char('\''), QStringLiteral("''"))));
    return TestEnvironment::scalar(QStringLiteral("select max(ID) from Projects")).toInt();
}

void addTask(int projectId, const QString& title) {
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,"
                                         "PercentComplete,AssignedTo,Description,StartDate,DueDate) values "
                                         "(%1,'%2','High','Open',1,1,0,1,'','2021-08-31','2021-09-01')")
                              .arg(projectId)
                              .arg(QString(title).replace(QLatin1Char('\''), QStringLiteral("''"))));
}

// The contact, status, category and priority that addProject() and addTask() refer to, so the
// editors find them in their lists.
void addLookups() {
    TestEnvironment::exec(QStringLiteral("insert into Employees (ID,FirstName,LastName) values (1,'Ann','Lee')"));
    TestEnvironment::exec(QStringLiteral("insert into Status values ('Open')"));
    TestEnvironment::exec(QStringLiteral("insert into Categories values ('Main')"));
    TestEnvironment::exec(QStringLiteral("insert into Priorities values ('High')"));
}

// Everything shown, for a failure message.
QString shownTexts(const ScriptedMessages& messages) {
    QStringList texts;
    for (const ScriptedMessages::Shown& s : messages.shown())
        texts << s.text;
    return texts.join(QLatin1Char('\n'));
}

int count(const char* table) {
    return TestEnvironment::scalar(QStringLiteral("select count(*) from ") + QLatin1String(table)).toInt();
}

} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void emptyProjectListOnlyAddAndReportsOpen();
    void noTasksMeansTaskCommandsDoNothing();
    void deleteProjectAsksAndTakesItsTasks();
    void deletingLastProjectClearsTasks();
    void deleteTaskAsksAndDeletesOnlyIt();
    void failedDeleteIsReportedAndListRefilled();
    void editProjectRefillsAndReselects();
    void editTaskRefillsAndReselects();
    void addTaskOpensEditorForSelectedProject();
    void rowKeysAndDoubleClickUseTheCommands();
    void sampleDataButtonFillsBothLists();
};

void TestCommands::emptyProjectListOnlyAddAndReportsOpen() {
    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    ModalCloser closer;

    for (const char* button : {"PushButton1", "PushButton3", "PushButton4", "PushButton6", "PushButton7"})
        click(form, button);
    QVERIFY2(messages.shown().empty(), qPrintable(shownTexts(messages)));
    QVERIFY(closer.seen.isEmpty());

    click(form, "PushButton5");
    QCOMPARE(closer.seen.size(), 1);
    QVERIFY(closer.seen.at(0).startsWith(QStringLiteral("Form4|")));
    click(form, "PushButton2");
    QCOMPARE(closer.seen.size(), 2);
    QCOMPARE(closer.seen.at(1), QStringLiteral("Form2|Add New Project|"));
    QVERIFY(messages.errors().isEmpty());
}

void TestCommands::noTasksMeansTaskCommandsDoNothing() {
    TestEnvironment env;
    env.openDatabase();
    addLookups();
    addProject(QStringLiteral("Alpha"));
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    ModalCloser closer;

    click(form, "PushButton6");
    click(form, "PushButton7");
    QVERIFY2(messages.shown().empty(), qPrintable(shownTexts(messages)));
    QVERIFY(closer.seen.isEmpty());
}

void TestCommands::deleteProjectAsksAndTakesItsTasks() {
    TestEnvironment env;
    env.openDatabase();
    addLookups();
    const int first = addProject(QStringLiteral("Alpha"));
    const int second = addProject(QStringLiteral("O'Brien's plan"));
    addTask(first, QStringLiteral("Alpha task"));
    addTask(second, QStringLiteral("Plan task 1"));
    addTask(second, QStringLiteral("Plan task 2"));
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    Form1::selectRow(form.ListView1, 1);
    form.ListTasks();
    QCOMPARE(column(form.ListView2, 1), QStringList({"Plan task 1", "Plan task 2"}));

    // No: nothing changes.
    messages.answerNext(false);
    click(form, "PushButton3");
    QCOMPARE(messages.questions(), QStringList({"Are you sure you want to delete [O'Brien's plan]?"}));
    QCOMPARE(messages.shown().front().title, AppTitle::current());
    QCOMPARE(count("Projects"), 2);
    QCOMPARE(count("Tasks"), 3);
    QCOMPARE(Form1::selectedRow(form.ListView1), 1);
    QCOMPARE(column(form.ListView2, 1), QStringList({"Plan task 1", "Plan task 2"}));

    // Yes: that project and its tasks go; the task list follows the project now selected.
    messages.answerNext(true);
    click(form, "PushButton3");
    QVERIFY(messages.errors().isEmpty());
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select ProjectName from Projects")), QStringList({"Alpha"}));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title from Tasks")), QStringList({"Alpha task"}));
    QCOMPARE(column(form.ListView1, 1), QStringList({"Alpha"}));
    QCOMPARE(column(form.ListView2, 1), QStringList({"Alpha task"}));
}

void TestCommands::deletingLastProjectClearsTasks() {
    TestEnvironment env;
    env.openDatabase();
    addLookups();
    addTask(addProject(QStringLiteral("Only")), QStringLiteral("Its task"));
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    QCOMPARE(form.taskModel()->rowCount(), 1);

    messages.answerNext(true);
    click(form, "PushButton3");
    QVERIFY(messages.errors().isEmpty());
    QCOMPARE(form.projectModel()->rowCount(), 0);
    QCOMPARE(form.taskModel()->rowCount(), 0);
    QCOMPARE(count("Tasks"), 0);
}

void TestCommands::deleteTaskAsksAndDeletesOnlyIt() {
    TestEnvironment env;
    env.openDatabase();
    addLookups();
    const int project = addProject(QStringLiteral("Alpha"));
    addTask(project, QStringLiteral("First"));
    addTask(project, QStringLiteral("Don't forget"));
    addTask(project, QStringLiteral("Third"));
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    Form1::selectRow(form.ListView2, 1);

    messages.answerNext(false);
    click(form, "PushButton7");
    QCOMPARE(messages.questions(), QStringList({"Are you sure you want to delete [Don't forget]?"}));
    QCOMPARE(count("Tasks"), 3);
    QCOMPARE(Form1::selectedRow(form.ListView2), 1);

    messages.answerNext(true);
    click(form, "PushButton7");
    QVERIFY(messages.errors().isEmpty());
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Title from Tasks order by ID")),
             QStringList({"First", "Third"}));
    QCOMPARE(column(form.ListView2, 1), QStringList({"First", "Third"}));
    QCOMPARE(count("Projects"), 1);
}

void TestCommands::failedDeleteIsReportedAndListRefilled() {
    TestEnvironment env;
    env.openDatabase();
    addLookups();
    const int project = addProject(QStringLiteral("Alpha"));
    addTask(project, QStringLiteral("Kept"));
    TestEnvironment::exec(
        QStringLiteral("create trigger KeepTasks before delete on Tasks begin select raise(abort, 'locked'); end"));
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    addTask(project, QStringLiteral("Added meanwhile"));

    messages.answerNext(true);
    click(form, "PushButton7");
    QCOMPARE(messages.errors().size(), 1);
    QVERIFY2(messages.errors().at(0).contains(QStringLiteral("Form1.PushButton7_Click at line 3")),
             qPrintable(messages.errors().at(0)));
    QCOMPARE(column(form.ListView2, 1), QStringList({"Kept", "Added meanwhile"}));
}

void TestCommands::editProjectRefillsAndReselects() {
    TestEnvironment env;
    env.openDatabase();
    addLookups();
    QList<int> ids;
    for (const char* name : {"P1", "P2", "P3", "P4", "P5"})
        ids << addProject(QLatin1String(name));
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    ModalCloser closer;

    // The third of five: cancelled, yet the list is refilled (a row added meanwhile shows) and
    // the third row is selected again, with its tasks below.
    Form1::selectRow(form.ListView1, 2);
    addProject(QStringLiteral("P6"));
    addTask(ids[2], QStringLiteral("Task of P3"));
    click(form, "PushButton1");
    QCOMPARE(form.projectModel()->rowCount(), 6);
    QCOMPARE(Form1::selectedRow(form.ListView1), 2);
    QCOMPARE(column(form.ListView2, 1), QStringList({"Task of P3"}));
    QCOMPARE(closer.seen, QStringList({QStringLiteral("Form2|Edit Data|%1").arg(ids[2])}));

    // The last one.
    Form1::selectRow(form.ListView1, 5);
    click(form, "PushButton1");
    QCOMPARE(Form1::selectedRow(form.ListView1), 5);

    // A shorter list than the remembered position (projects deleted meanwhile, as deleting a
    // value in the editor does): the first row stays selected, and the task list follows it.
    addTask(ids[3], QStringLiteral("Task of P4"));
    TestEnvironment::exec(QStringLiteral("delete from Projects where ProjectName in ('P1','P2','P3')"));
    click(form, "PushButton1");
    QCOMPARE(form.projectModel()->rowCount(), 3);
    QCOMPARE(Form1::selectedRow(form.ListView1), 0);
    QCOMPARE(column(form.ListView2, 1), QStringList({"Task of P4"}));

    // Adding a project: the refill selects the first row and the task list follows it.
    Form1::selectRow(form.ListView1, 1);
    form.ListTasks();
    QCOMPARE(form.taskModel()->rowCount(), 0);
    click(form, "PushButton2");
    QCOMPARE(Form1::selectedRow(form.ListView1), 0);
    QCOMPARE(column(form.ListView2, 1), QStringList({"Task of P4"}));
    QVERIFY2(messages.shown().empty(), qPrintable(shownTexts(messages)));
}

void TestCommands::editTaskRefillsAndReselects() {
    TestEnvironment env;
    env.openDatabase();
    addLookups();
    addProject(QStringLiteral("Other"));
    const int project = addProject(QStringLiteral("Mine"));
    for (const char* title : {"T1", "T2", "T3", "T4", "T5"})
        addTask(project, QLatin1String(title));
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    Form1::selectRow(form.ListView1, 1);
    form.ListTasks();
    ModalCloser closer;

    Form1::selectRow(form.ListView2, 2);
    const QString taskId = Form1::selectedCell(form.ListView2, 0);
    addTask(project, QStringLiteral("T6"));
    click(form, "PushButton6");
    QCOMPARE(column(form.ListView2, 1), QStringList({"T1", "T2", "T3", "T4", "T5", "T6"}));
    QCOMPARE(Form1::selectedRow(form.ListView2), 2);
    QCOMPARE(closer.seen, QStringList({QStringLiteral("Form5|Edit Tasks|%1|%2").arg(taskId).arg(project)}));

    Form1::selectRow(form.ListView2, 5);
    click(form, "PushButton6");
    QCOMPARE(Form1::selectedRow(form.ListView2), 5);

    TestEnvironment::exec(QStringLiteral("delete from Tasks where Title in ('T1','T2','T3')"));
    click(form, "PushButton6");
    QCOMPARE(column(form.ListView2, 1), QStringList({"T4", "T5", "T6"}));
    QCOMPARE(Form1::selectedRow(form.ListView2), 0);
    QVERIFY2(messages.shown().empty(), qPrintable(shownTexts(messages)));
}

void TestCommands::addTaskOpensEditorForSelectedProject() {
    TestEnvironment env;
    env.openDatabase();
    addLookups();
    addProject(QStringLiteral("Other"));
    const int project = addProject(QStringLiteral("Mine"));
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    Form1::selectRow(form.ListView1, 1);
    form.ListTasks();
    ModalCloser closer;

    addTask(project, QStringLiteral("Written meanwhile"));
    click(form, "PushButton4");
    QCOMPARE(column(form.ListView2, 1), QStringList({"Written meanwhile"}));
    QCOMPARE(closer.seen, QStringList({QStringLiteral("Form5|Add New Task||%1").arg(project)}));
    QVERIFY2(messages.shown().empty(), qPrintable(shownTexts(messages)));
}

void TestCommands::rowKeysAndDoubleClickUseTheCommands() {
    TestEnvironment env;
    env.openDatabase();
    addLookups();
    const int project = addProject(QStringLiteral("Alpha"));
    addTask(project, QStringLiteral("Task A"));
    ScriptedMessages messages;
    Form1 form;
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
    QCOMPARE(messages.questions(),
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
    QCOMPARE(messages.shown().size(), size_t(2));
}

void TestCommands::sampleDataButtonFillsBothLists() {
    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();

    click(form, "PushButton8");
    QVERIFY2(messages.shown().empty(), qPrintable(shownTexts(messages)));
    QCOMPARE(column(form.ListView1, 1), QStringList({"Developing", "Testing", "Implementinging"}));
    QCOMPARE(column(form.ListView2, 1), QStringList({"Research"}));
    QCOMPARE(form.taskModel()->rawCell(0, 3), SqlText::dateText(QDate::currentDate()));
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
