// The filter line on the main window, driven as a user drives it: Ctrl+F, typing, header clicks,
// refills, terms it cannot read, and Escape.
#include "app/SqlText.h"
#include "app/widgets/RecordListModel.h"
#include "find_filter/widgets/FilterLine.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

namespace {

int addProject(const char* name, int owner, const char* status, int budget) {
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,"
                                         "Notes,EndDate,BudgetInDays,Budget) values "
                                         "(%1,%2,'2026-01-05',%3,'Main','High','','2026-12-20',5,%4)")
                              .arg(SqlText::quoted(QString::fromUtf8(name)))
                              .arg(owner)
                              .arg(SqlText::quoted(QLatin1String(status)))
                              .arg(budget));
    return TestEnvironment::scalar(QStringLiteral("select max(ID) from Projects")).toInt();
}

void addTask(int project, const char* title, int assignedTo, const char* status = "Open") {
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,"
                                         "PercentComplete,AssignedTo,Description,StartDate,DueDate) values "
                                         "(%1,%2,'High',%3,1,1,0,%4,'','2026-02-01','2026-03-01')")
                              .arg(project)
                              .arg(SqlText::quoted(QLatin1String(title)), SqlText::quoted(QLatin1String(status)))
                              .arg(assignedTo));
}

QString column(QTreeView* list, int col) {
    auto* model = static_cast<RecordListModel*>(list->model());
    QStringList cells;
    for (int r = 0; r < model->rowCount(); ++r)
        cells << model->cellText(r, col);
    return cells.join(QLatin1Char('|'));
}

QString selectedName(QTreeView* list) {
    return Form1::selectedCell(list, 1);
}

// A loaded main window over four projects and their tasks, shown and active.
class Fixture {
public:
    Fixture() {
        env.openDatabase();
        TestEnvironment::exec(
            QStringLiteral("insert into Employees (FirstName,LastName) values ('John','Wilson'),('Daniel','Carter')"));
        const int cafe = addProject("Café Renovation", 1, "In process", 1500);
        addProject("Website Relaunch", 2, "Cancelled", 800);
        addProject("Harbour Study", 1, "Cancelled", 3000);
        const int garden = addProject("Garden", 1, "Open", 200);
        addTask(cafe, "Order espresso machine", 2);
        addTask(cafe, "Paint walls", 1);
        addTask(garden, "Plant trees", 2, "Done");
        addTask(garden, "Buy tools", 1);
        form.Form_Load();
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        line = form.findChild<QLineEdit*>(QStringLiteral("FilterLine"));
        count = form.findChild<QLabel*>(QStringLiteral("FilterCount"));
        QVERIFY(line && count);
    }

    // Ctrl+F, then the text typed key by key.
    void type(const QString& text) {
        QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(line->isVisible());
        QTRY_VERIFY(line->hasFocus());
        QTest::keyClicks(line, text);
    }

    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
    QLineEdit* line = nullptr;
    QLabel* count = nullptr;
};

} // namespace

class TestFilterLine : public QObject {
    Q_OBJECT
private slots:
    void typingFiltersBothLists_data();
    void typingFiltersBothLists();
    void filterSurvivesSortAndRefillUntilEscape();
    void unreadableTermIsMarkedNotApplied();
    void escapeFromTheListClearsTheFilter();
    void markReadableInLightAndDark_data();
    void markReadableInLightAndDark();
    void everyMenuStaysWithTheWarningShown_data();
    void everyMenuStaysWithTheWarningShown();
};

void TestFilterLine::typingFiltersBothLists_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("projects"); // names in list order
    QTest::addColumn<QString>("counted");
    QTest::addColumn<QString>("tasks"); // the tasks shown for the first project

    QTest::newRow("owner, leaving out a status") << "owner:wilson -cancelled"
                                                 << "Café Renovation|Garden"
                                                 << "2 of 4 projects"
                                                 << "Order espresso machine|Paint walls";
    QTest::newRow("word found in a task only") << "paint"
                                               << "Café Renovation"
                                               << "1 of 4 projects"
                                               << "Paint walls";
    QTest::newRow("owner or assignee, without accents") << "CARTER cafe"
                                                        << "Café Renovation"
                                                        << "1 of 4 projects"
                                                        << "Order espresso machine";
    QTest::newRow("task status") << "task:status:done"
                                 << "Garden"
                                 << "1 of 4 projects"
                                 << "Plant trees";
    QTest::newRow("budget comparison") << "budget>=1500"
                                       << "Café Renovation|Harbour Study"
                                       << "2 of 4 projects"
                                       << "Order espresso machine|Paint walls";
    QTest::newRow("nothing matches") << "zzz"
                                     << ""
                                     << "0 of 4 projects"
                                     << "";
}

void TestFilterLine::typingFiltersBothLists() {
    QFETCH(QString, typed);
    QFETCH(QString, projects);
    QFETCH(QString, counted);
    QFETCH(QString, tasks);

    Fixture f;
    QAbstractItemModelTester tester(f.form.projectModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QRect clientBefore = f.form.clientArea()->geometry();
    QVERIFY(!f.line->isVisible());
    f.type(typed);

    QCOMPARE(column(f.form.ListView1, 1), projects);
    QCOMPARE(f.count->text(), counted);
    QCOMPARE(column(f.form.ListView2, 1), tasks);
    // The first matching project is selected and the task list shows its tasks, marked.
    if (!projects.isEmpty()) {
        QCOMPARE(Form1::selectedRow(f.form.ListView1), 0);
        QVERIFY(f.form.taskModel()
                    ->headerData(0, Qt::Horizontal, Qt::ToolTipRole)
                    .toString()
                    .contains(QLatin1String("Filtered")));
        QVERIFY(!f.form.taskModel()->headerData(0, Qt::Horizontal, Qt::DecorationRole).isNull());
    }
    // The designed controls stay where they were.
    QCOMPARE(f.form.clientArea()->geometry(), clientBefore);
    QVERIFY(f.messages.shown().empty());
}

void TestFilterLine::filterSurvivesSortAndRefillUntilEscape() {
    Fixture f;
    QAbstractItemModelTester projects(f.form.projectModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QAbstractItemModelTester tasks(f.form.taskModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(f.form.findChild<QAction*>(QStringLiteral("actionFind"))->shortcut(), QKeySequence(QKeySequence::Find));
    QVERIFY(f.form.menuEdit->actions().contains(f.form.findChild<QAction*>(QStringLiteral("actionFind"))));
    f.type(QStringLiteral("wilson"));
    QCOMPARE(column(f.form.ListView1, 1), QStringLiteral("Café Renovation|Harbour Study|Garden"));

    // A header click sorts the shown rows; the filter holds.
    Form1::headerClick(f.form.ListView1, 2);
    Form1::headerClick(f.form.ListView1, 2);
    QCOMPARE(column(f.form.ListView1, 1), QStringLiteral("Harbour Study|Garden|Café Renovation"));

    // A refill, as after an edit or another user's change, keeps filter and sort.
    const int added = addProject("Wilson Archive", 2, "Open", 10);
    addTask(added, "Scan letters", 2);
    f.form.ListData();
    QCOMPARE(column(f.form.ListView1, 1), QStringLiteral("Wilson Archive|Harbour Study|Garden|Café Renovation"));
    QCOMPARE(f.count->text(), QStringLiteral("4 of 5 projects"));
    QCOMPARE(selectedName(f.form.ListView1), QStringLiteral("Wilson Archive"));

    // Typing on selects the first match again, and a project click shows its matching tasks.
    QTest::keyClicks(f.line, QStringLiteral(" paint"));
    QCOMPARE(column(f.form.ListView1, 1), QStringLiteral("Café Renovation"));
    QCOMPARE(column(f.form.ListView2, 1), QStringLiteral("Paint walls"));

    // A task edit refills the task list: the filter reads the task as it is now.
    TestEnvironment::exec(QStringLiteral("update Tasks set Title='Paint walls and doors' where Title='Paint walls'"));
    TestEnvironment::exec(QStringLiteral("update Tasks set Title='Paint the counter' where Title like 'Order%'"));
    f.form.ListTasks();
    QCOMPARE(column(f.form.ListView2, 1), QStringLiteral("Paint the counter|Paint walls and doors"));
    QTest::keyClicks(f.line, QStringLiteral(" doors"));
    QCOMPARE(column(f.form.ListView1, 1), QStringLiteral("Café Renovation"));
    QCOMPARE(column(f.form.ListView2, 1), QStringLiteral("Paint walls and doors"));

    // Escape clears and hides the line; the project found stays selected with all its tasks.
    QTest::keyClick(f.line, Qt::Key_Escape);
    QVERIFY(!f.line->isVisible());
    QVERIFY(f.line->text().isEmpty());
    QCOMPARE(f.form.projectModel()->rowCount(), 5);
    QVERIFY(!f.form.projectModel()->isFiltered());
    QCOMPARE(selectedName(f.form.ListView1), QStringLiteral("Café Renovation"));
    QCOMPARE(f.form.taskModel()->rowCount(), 2);
    QVERIFY(f.form.taskModel()->headerData(0, Qt::Horizontal, Qt::DecorationRole).isNull());
    QVERIFY(f.form.projectModel()->headerData(0, Qt::Horizontal, Qt::ToolTipRole).isNull());
    QVERIFY(f.count->text().isEmpty());
    QVERIFY(f.messages.shown().empty());
}

void TestFilterLine::unreadableTermIsMarkedNotApplied() {
    Fixture f;
    f.type(QStringLiteral("budget>lots"));
    auto* line = f.form.findChild<FindFilter::FilterLine*>(QStringLiteral("FilterLine"));
    QVERIFY(line->toolTip().contains(QLatin1String("Budget takes a number")));
    QVERIFY(f.form.findChild<QAction*>(QStringLiteral("FilterProblems"))->isVisible());
    QCOMPARE(f.form.projectModel()->rowCount(), 4);
    QVERIFY(!f.form.projectModel()->isFiltered());
    // The readable part filters; the bad term stays marked until it is mended.
    QTest::keyClicks(line, QStringLiteral(" garden"));
    QCOMPARE(column(f.form.ListView1, 1), QStringLiteral("Garden"));
    QVERIFY(line->toolTip().contains(QLatin1String("budget>lots")));
    QCOMPARE(line->marks().size(), 1);
    QCOMPARE(std::pair(line->marks().front().start, line->marks().front().length), std::pair(0, 11));
    line->setText(QStringLiteral("budget>100 garden"));
    QVERIFY(!line->toolTip().contains(QLatin1String("Not understood")));
    QVERIFY(!f.form.findChild<QAction*>(QStringLiteral("FilterProblems"))->isVisible());
    QVERIFY(line->marks().isEmpty());
    QCOMPARE(column(f.form.ListView1, 1), QStringLiteral("Garden"));
}

void TestFilterLine::escapeFromTheListClearsTheFilter() {
    Fixture f;
    f.type(QStringLiteral("garden"));
    QTest::keyClick(f.line, Qt::Key_Return); // on to the list
    QTRY_VERIFY(f.form.ListView1->hasFocus());
    QVERIFY(f.form.projectModel()->isFiltered());
    QTest::keyClick(f.form.ListView1, Qt::Key_Escape);
    QVERIFY(!f.line->isVisible());
    QVERIFY(!f.form.projectModel()->isFiltered());
    QCOMPARE(selectedName(f.form.ListView1), QStringLiteral("Garden"));
    // With the line closed, Escape does nothing to the lists.
    QTest::keyClick(f.form.ListView1, Qt::Key_Escape);
    QCOMPARE(f.form.projectModel()->rowCount(), 4);
    QVERIFY(f.messages.shown().empty());
}

void TestFilterLine::markReadableInLightAndDark_data() {
    QTest::addColumn<QColor>("markedOn");
    QTest::addColumn<QColor>("shownOn"); // the palette may change while the mark is shown
    const QColor light(Qt::white), dark(0x1e, 0x1e, 0x1e);
    QTest::newRow("light") << light << light;
    QTest::newRow("dark") << dark << dark;
    QTest::newRow("light, then dark") << light << dark;
    QTest::newRow("dark, then light") << dark << light;
}

void TestFilterLine::markReadableInLightAndDark() {
    QFETCH(QColor, markedOn);
    QFETCH(QColor, shownOn);
    FindFilter::FilterLine line;
    QPalette p = line.palette();
    p.setColor(QPalette::Base, markedOn);
    line.setPalette(p);
    line.setText(QStringLiteral("budget>lots"));
    line.showProblems({{0, 11, QStringLiteral("Budget takes a number")}});
    p.setColor(QPalette::Base, shownOn);
    line.setPalette(p);
    QCOMPARE(line.marks().size(), 1);
    const QColor text = line.marks().front().format.foreground().color();
    QVERIFY2(contrastRatio(text, shownOn) >= 4.5, qPrintable(text.name() + " on " + shownOn.name()));
}

void TestFilterLine::everyMenuStaysWithTheWarningShown_data() {
    QTest::addColumn<QString>("style");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QString>("styleSheet"); // a theme's wider menu titles
    for (const char* style : {"Fusion", "Windows"}) {
        QTest::addRow("%s, light", style) << QString(style) << false << QString();
        QTest::addRow("%s, dark", style) << QString(style) << true << QString();
    }
    const QString dark = "QWidget { background-color: #232629; color: #eff0f1; } "
                         "QLineEdit { background-color: #1b1e20; border: 1px solid #3daee9; padding: 2px; }";
    QTest::newRow("dark theme, wide menu titles") << "Fusion" << true << dark + " QMenuBar::item { padding: 4px 8px; }";
    QTest::newRow("dark theme, very wide menu titles")
        << "Fusion" << true << dark + " QMenuBar::item { padding: 4px 24px; }";
}

void TestFilterLine::everyMenuStaysWithTheWarningShown() {
    QFETCH(QString, style);
    QFETCH(bool, dark);
    QFETCH(QString, styleSheet);
    const QString before = QApplication::style()->name();
    QApplication::setStyle(style);
    qApp->setStyleSheet(styleSheet);
    if (dark) {
        QPalette p = QApplication::style()->standardPalette();
        for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
            p.setColor(role, QColor(0x2a, 0x2a, 0x2a));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            p.setColor(role, QColor(0xee, 0xee, 0xee));
        QApplication::setPalette(p);
    }
    {
        Fixture f;
        QMenuBar* bar = f.form.findChild<QMenuBar*>();
        // The menus in the bar itself, not in its overflow button.
        auto shownMenus = [bar] {
            QApplication::processEvents();
            auto* overflow = bar->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
            const QList<QAction*> hidden =
                overflow && overflow->isVisible() && overflow->menu() ? overflow->menu()->actions() : QList<QAction*>();
            QStringList shown;
            for (QAction* a : bar->actions())
                if (!hidden.contains(a) && bar->rect().contains(bar->actionGeometry(a)))
                    shown << a->text();
            return shown;
        };
        const QStringList all = shownMenus();
        QCOMPARE(all, QStringList({"&File", "&Edit", "&View", "&Help"}));
        f.type(QStringLiteral("budget>lots"));
        QVERIFY(f.form.findChild<QAction*>(QStringLiteral("FilterProblems"))->isVisible());
        QTRY_COMPARE(shownMenus(), all);
        if (dark) { // the desktop's theme changes while the warning shows
            QPalette p = QApplication::palette();
            p.setColor(QPalette::Base, QColor(0x10, 0x10, 0x10));
            p.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
            QApplication::setPalette(p);
            QTRY_COMPARE(shownMenus(), all);
        }
        QVERIFY(f.line->isVisible() && f.line->width() >= f.line->fontMetrics().averageCharWidth() * 12);
        // The line and its count stay in the menu bar, right of the menus.
        QWidget* corner = bar->cornerWidget(Qt::TopRightCorner);
        QVERIFY(bar->rect().contains(corner->geometry()));
        QVERIFY(corner->geometry().left() >= bar->actionGeometry(bar->actions().last()).right());
    }
    qApp->setStyleSheet(QString());
    QApplication::setPalette(QPalette());
    QApplication::setStyle(before);
}

QTEST_MAIN(TestFilterLine)
#include "tst_filterline.moc"
