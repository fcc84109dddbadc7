// Edit → Task Links on the selected task: links added, changed and removed through the dialog,
// the tasks they move shown in the task list at once, a loop refused by name.
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"
#include "editors/EditorTestUtil.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"
#include "task_links/TaskLinksDialog.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeView>
#include <QtTest>

using EditorTest::child;
using EditorTest::onNextModal;

namespace {

// Project "Plan" with tasks A (Mon-Fri), B (Mon-Wed) and C (Mon-Tue) of one week; B selected.
struct Fixture {
    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
    Fixture() {
        env.openDatabase();
        const qint64 owner = EditorTest::addContact(QStringLiteral("Ann"), QStringLiteral("Lee"));
        EditorTest::addValueLists();
        TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName, Owner, Status, Category, Priority, "
                                             "StartDate, EndDate, Budget, BudgetInDays) values ('Plan', %1, "
                                             "'Closed', 'Main', 'High', '2027-01-04', '2027-02-26', 1, 1)")
                                  .arg(owner));
        const QString project = TestEnvironment::scalar(QStringLiteral("select max(ID) from Projects")).toString();
        for (const auto& [title, due] : {std::pair{"A", "2027-01-08"}, {"B", "2027-01-06"}, {"C", "2027-01-05"}})
            TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID, Title, AssignedTo, Status, Priority, "
                                                 "Cost, CostInDays, PercentComplete, StartDate, DueDate) values "
                                                 "(%1, '%2', %3, 'Closed', 'High', 0, 0, 0, '2027-01-04', '%4')")
                                      .arg(project, QLatin1String(title))
                                      .arg(owner)
                                      .arg(QLatin1String(due)));
        form.Form_Load();
        RowSelection::selectRow(form.ListView2, 1);
    }
    qint64 id(const char* title) const {
        return TestEnvironment::scalar(
                   QStringLiteral("select ID from Tasks where Title='%1'").arg(QLatin1String(title)))
            .toLongLong();
    }
    // Runs the command; `script` acts on the dialog, then it is closed.
    void openLinks(const std::function<void(TaskLinksDialog*)>& script) {
        onNextModal([script](QWidget* modal) {
            auto* dialog = qobject_cast<TaskLinksDialog*>(modal);
            if (dialog)
                script(dialog);
            modal->close();
        });
        form.findChild<QAction*>(QStringLiteral("actionTaskLinks"))->trigger();
    }
    // Chooses a task, kind and lag on one side of the dialog and presses its Add or Change.
    static void link(TaskLinksDialog* d, const char* side, qint64 task, int kind, int lag) {
        auto* tasks = child<QComboBox>(d, qPrintable(QStringLiteral("%1Task").arg(QLatin1String(side))));
        tasks->setCurrentIndex(tasks->findData(task));
        child<QComboBox>(d, qPrintable(QStringLiteral("%1Kind").arg(QLatin1String(side))))->setCurrentIndex(kind);
        child<QSpinBox>(d, qPrintable(QStringLiteral("%1Lag").arg(QLatin1String(side))))->setValue(lag);
        child<QPushButton>(d, qPrintable(QStringLiteral("%1Add").arg(QLatin1String(side))))->click();
    }
    QStringList shownDates() const {
        QStringList dates;
        for (int row = 0; row < form.taskModel()->rowCount(); ++row)
            dates << form.taskModel()->rawCell(row, 1) + QLatin1Char('|') + form.taskModel()->rawCell(row, 3) +
                         QLatin1Char('|') + form.taskModel()->rawCell(row, 4);
        return dates;
    }
};

} // namespace

class TestTaskLinks : public QObject {
    Q_OBJECT
private slots:
    void linksMadeInTheDialogMoveTheTasks();
    void loopIsRefusedAndNamed();
    void noTaskSelected();
};

void TestTaskLinks::linksMadeInTheDialogMoveTheTasks() {
    Fixture f;
    QStringList shown;
    f.openLinks([&](TaskLinksDialog* d) {
        Fixture::link(d, "Predecessor", f.id("A"), 0, 0); // A finishes, then B
        Fixture::link(d, "Successor", f.id("C"), 1, 1);   // C starts a day after B starts
        shown << QString::number(d->predecessors()->rowCount()) << QString::number(d->successors()->rowCount())
              << d->successors()->item(0, 1)->text() << d->successors()->item(0, 2)->text();
    });
    QCOMPARE(shown, (QStringList{"1", "1", "Start to start", "1"}));
    QVERIFY2(f.messages.errors().isEmpty(), qPrintable(f.messages.errors().join('\n')));
    // The task list shows the moved tasks at once.
    QCOMPARE(f.shownDates(),
             (QStringList{"A|2027-01-04|2027-01-08", "B|2027-01-11|2027-01-13", "C|2027-01-12|2027-01-13"}));
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Kind, Lag from TaskLinks order by ID")),
             (QStringList{"FS|0", "SS|1"}));
    // Removed again: the links go, the tasks keep their dates. (The task stayed selected.)
    QCOMPARE(RowSelection::selectedCell(f.form.ListView2, 1), QStringLiteral("B"));
    f.openLinks([&](TaskLinksDialog* d) {
        d->predecessors()->selectRow(0);
        child<QPushButton>(d, "PredecessorRemove")->click();
    });
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select Kind, Lag from TaskLinks")), QStringList{"SS|1"});
}

void TestTaskLinks::loopIsRefusedAndNamed() {
    Fixture f;
    f.openLinks([&](TaskLinksDialog* d) {
        Fixture::link(d, "Predecessor", f.id("A"), 0, 0);
        Fixture::link(d, "Successor", f.id("A"), 0, 0); // B -> A closes A -> B -> A
    });
    QCOMPARE(f.messages.notices(),
             QStringList{"This link would close a loop, so it was not made: \"B\" -> \"A\" -> \"B\"."});
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from TaskLinks")).toInt(), 1);
}

void TestTaskLinks::noTaskSelected() {
    Fixture f;
    f.form.taskModel()->clear();
    f.form.findChild<QAction*>(QStringLiteral("actionTaskLinks"))->trigger();
    QCOMPARE(f.messages.notices(), QStringList{"Select a task in the task list first."});
}

QTEST_MAIN(TestTaskLinks)
#include "tst_tasklinks.moc"
