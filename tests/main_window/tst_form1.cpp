// Start-up, shutdown, settings and the two lists of the main window.
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Twips.h"
#include "app/ValueText.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTreeView>
#include <QtTest>

namespace {

QStringList headers(QTreeView* list) {
    QStringList result;
    for (int i = 0; i < list->model()->columnCount(); ++i)
        result << list->model()->headerData(i, Qt::Horizontal).toString();
    return result;
}

QStringList column(QTreeView* list, int col) {
    QStringList result;
    auto* model = static_cast<RecordListModel*>(list->model());
    for (int r = 0; r < model->rowCount(); ++r)
        result << model->cellText(r, col);
    return result;
}

int widthTwips(QTreeView* list, int col) {
    return qRound(list->header()->sectionSize(col) * 1440.0 / list->logicalDpiX());
}

QSettings settingsStore() {
    return QSettings(QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick"));
}

void addProject(const QString& name, const QString& budget, const QString& start = QStringLiteral("2021-08-31")) {
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,"
                                         "Notes,EndDate,BudgetInDays,Budget) values ('%1',1,'%3','Open','Main','High',"
                                         "'','2021-09-30',5,%2)")
                              .arg(name, budget, start));
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void firstStartMakesFoldersAndShowsEmptyLists();
    void laterStartsKeepTheWorkingDatabase();
    void missingUserDataFolderIsMade();
    void missingTemplateReportsAndCreatesNoFile();
    void fileNamedLikeTheCompanyFolder();
    void errorBoxTextIsExact();
    void settingsDefaultsAndTwentyOneValues();
    void settingsAreRestored();
    void badWidthIsReportedOthersRestored();
    void listsShowFieldsAndEmptyCells();
    void missingValuesShowAsEmptyCells_data();
    void missingValuesShowAsEmptyCells();
    void clickOnProjectRefillsTasks();
    void selectionCannotBeLost_data();
    void selectionCannotBeLost();
    void headerClicksSortByKind();
    void milestonesShowOnTheirDate_data();
    void milestonesShowOnTheirDate();
    void titleIsShortened();
    void skinAndHandCursorFiles();
    void menuGroupsKeepTheirPlaces();
};

void TestForm1::firstStartMakesFoldersAndShowsEmptyLists() {
    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    QVERIFY(messages.shown().empty());
    QVERIFY(QFileInfo(DataStore::dataFolder()).isDir());
    QVERIFY(QFileInfo(DataStore::workingDatabase()).isFile());
    QVERIFY(Database::shared().isOpen());
    QCOMPARE(form.windowTitle(), TestEnvironment::isTeam()
                                     ? QStringLiteral("Fennick Planner - ") + Database::shared().describe()
                                     : QStringLiteral("Fennick Planner"));
    QCOMPARE(headers(form.ListView1), QStringList({"Project ID", "Project Name", "Owner", "Category", "Priority",
                                                   "Status", "Start", "End", "Budget", "Budget in Days"}));
    QCOMPARE(headers(form.ListView2), QStringList({"ID", "Title", "Assigned To", "Start Date", "Due Date", "Priority",
                                                   "Status", "% Complete", "Cost", "Cost in Days"}));
    QCOMPARE(form.ListView1->model()->rowCount(), 0);
    QCOMPARE(form.ListView2->model()->rowCount(), 0);
    QCOMPARE(widthTwips(form.ListView1, 0), 1200);
    QCOMPARE(widthTwips(form.ListView1, 9), 1500);
    QCOMPARE(widthTwips(form.ListView2, 0), 1200);
    QVERIFY(!form.restoreFlag());
    form.Form_QueryUnload();
    QVERIFY(!Database::shared().isOpen());
}

void TestForm1::laterStartsKeepTheWorkingDatabase() {
    SKIP_FOR_TEAM_DATABASE();
    TestEnvironment env;
    ScriptedMessages messages;
    {
        Form1 form;
        form.Form_Load();
        addProject(QStringLiteral("kept"), QStringLiteral("1"));
        form.Form_QueryUnload();
    }
    {
        Form1 form;
        form.Form_Load();
        QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Projects")).toInt(), 1);
        form.Form_QueryUnload();
    }
    QVERIFY(QFile::remove(DataStore::workingDatabase()));
    Form1 form;
    form.Form_Load();
    QVERIFY(QFileInfo(DataStore::workingDatabase()).isFile());
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Projects")).toInt(), 0);
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
}

void TestForm1::missingUserDataFolderIsMade() {
    TestEnvironment env;
    ScriptedMessages messages;
    const QString base = env.root() + QStringLiteral("/new-account/.local/share");
    qputenv("XDG_DATA_HOME", QFile::encodeName(base));
    Form1 form;
    form.Form_Load();
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    QVERIFY(QFileInfo(base + QStringLiteral("/Tarnwick/Fennick Planner/dbData.mdb")).isFile());
    QVERIFY(Database::shared().isOpen());
}

void TestForm1::missingTemplateReportsAndCreatesNoFile() {
    SKIP_FOR_TEAM_DATABASE();
    TestEnvironment env;
    ScriptedMessages messages;
    QVERIFY(QFile::remove(env.programFolder() + QStringLiteral("/dbBlank.mdb")));
    Form1 form;
    form.Form_Load();
    const QStringList errors = messages.errors();
    // The copy, the opening and the project list fill each report.
    QCOMPARE(errors.size(), 3);
    QVERIFY(errors[0].contains(QStringLiteral("Form1.Form_Load at line 1")));
    QVERIFY(errors[1].contains(QStringLiteral("Form1.Form_Load at line 7")));
    QVERIFY(errors[2].contains(QStringLiteral("Form1.ListData at line 2")));
    QVERIFY(!QFile::exists(DataStore::workingDatabase()));
    QCOMPARE(form.ListView1->model()->columnCount(), 10);
    QCOMPARE(form.ListView1->model()->rowCount(), 0);
}

void TestForm1::fileNamedLikeTheCompanyFolder() {
    SKIP_FOR_TEAM_DATABASE();
    TestEnvironment env;
    ScriptedMessages messages;
    QFile blocker(DataStore::companyFolder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Form1 form;
    form.Form_Load();
    const QStringList errors = messages.errors();
    // The second folder level, the copy and the opening fail; the list fill reports too.
    QCOMPARE(errors.size(), 4);
    QVERIFY(errors[0].contains(QStringLiteral("at line 1")));
    QVERIFY(errors[1].contains(QStringLiteral("at line 1")));
    QVERIFY(errors[2].contains(QStringLiteral("at line 7")));
    QVERIFY(QFileInfo(DataStore::companyFolder()).isFile());
}

void TestForm1::errorBoxTextIsExact() {
    ScriptedMessages messages;
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    QVERIFY(trap.step(6, [] {}));
    QVERIFY(!trap.step(7, [] { throw DbError(QStringLiteral("Could not find file.")); }));
    QVERIFY(trap.failed());
    QCOMPARE(messages.shown().size(), size_t{1});
    QCOMPARE(messages.shown()[0].title, QStringLiteral("Application Error"));
    QCOMPARE(messages.shown()[0].text,
             QStringLiteral("Could not find file.\r\nin FennickPlanner2021/08/31.Form1.Form_Load at line 7\r\n\r\n"
                            "Please email screenshot of this message to ") +
                 ErrorTrap::supportAddress());
}

void TestForm1::settingsDefaultsAndTwentyOneValues() {
    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    form.Form_QueryUnload();
    QSettings s = settingsStore();
    s.beginGroup(QStringLiteral("Fennick Planner"));
    QCOMPARE(s.childKeys().size(), 21);
    QCOMPARE(s.value(QStringLiteral("ColumnHeaders1")).toString(), QStringLiteral("1200"));
    QCOMPARE(s.value(QStringLiteral("ColumnHeaders10")).toString(), QStringLiteral("1500"));
    QCOMPARE(s.value(QStringLiteral("ColumnHeaders21")).toString(), QStringLiteral("1200"));
    QCOMPARE(s.value(QStringLiteral("ColumnHeaders210")).toString(), QStringLiteral("1500"));
    QCOMPARE(s.value(QStringLiteral("WindowState")).toString(), QStringLiteral("0"));
}

void TestForm1::settingsAreRestored() {
    TestEnvironment env;
    ScriptedMessages messages;
    {
        Form1 form;
        form.Form_Load();
        form.ListView2->header()->resizeSection(2, Twips::toPixels(3000, form.ListView2->logicalDpiX()));
        form.setWindowState(Qt::WindowMaximized);
        form.Form_QueryUnload();
    }
    QSettings s = settingsStore();
    QCOMPARE(s.value(QStringLiteral("Fennick Planner/ColumnHeaders23")).toString(), QStringLiteral("3000"));
    QCOMPARE(s.value(QStringLiteral("Fennick Planner/WindowState")).toString(), QStringLiteral("2"));
    Form1 form;
    form.Form_Load();
    QCOMPARE(widthTwips(form.ListView2, 2), 3000);
    QCOMPARE(widthTwips(form.ListView1, 2), 1500); // the project list's key is another one
    QCOMPARE(form.windowStateCode(), 2);
    QVERIFY(form.restoreFlag());
    QVERIFY(messages.errors().isEmpty());
}

void TestForm1::badWidthIsReportedOthersRestored() {
    TestEnvironment env;
    ScriptedMessages messages;
    {
        QSettings s = settingsStore();
        s.setValue(QStringLiteral("Fennick Planner/ColumnHeaders3"), QStringLiteral("wide"));
        s.setValue(QStringLiteral("Fennick Planner/ColumnHeaders4"), QStringLiteral("2400"));
    }
    Form1 form;
    form.Form_Load();
    QCOMPARE(messages.errors().size(), 1);
    QVERIFY(messages.errors()[0].contains(QStringLiteral("Form1.Form_Load at line 10")));
    QCOMPARE(widthTwips(form.ListView1, 3), 2400);
    QCOMPARE(widthTwips(form.ListView1, 4), 1500);
}

void TestForm1::listsShowFieldsAndEmptyCells() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('Ann','O''Neil')"));
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Category,Priority,EndDate,"
                                         "Budget) values ('O''Brien''s plan',1,'2021-08-31','Main','High','2021-09-30',"
                                         "1000.5)"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,AssignedTo,StartDate,DueDate,Status,"
                                         "PercentComplete,Cost) values (1,'Plan',1,'2021-08-31','2021-09-03','Open',"
                                         "0,10)"));
    Database::shared().close();
    Form1 form;
    form.Form_Load();
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    auto* projects = form.projectModel();
    QCOMPARE(projects->rowCount(), 1);
    const QString shortStart = QLocale::system().toString(QDate(2021, 8, 31), QLocale::ShortFormat);
    QStringList row;
    for (int c = 0; c < 10; ++c)
        row << projects->cellText(0, c);
    QCOMPARE(row, QStringList({"1", "O'Brien's plan", "Ann O'Neil", "Main", "High", "", shortStart,
                               QLocale::system().toString(QDate(2021, 9, 30), QLocale::ShortFormat), "1000.5", ""}));
    QCOMPARE(Form1::selectedRow(form.ListView1), 0);
    QCOMPARE(column(form.ListView2, 1), QStringList{QStringLiteral("Plan")});
    QCOMPARE(form.taskModel()->cellText(0, 5), QString()); // no priority: empty cell
    QCOMPARE(form.taskModel()->cellText(0, 9), QString());
}

void TestForm1::missingValuesShowAsEmptyCells_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("cell"); // the column of the list
    for (const auto& [field, column] : {std::pair{"ProjectName", 1},
                                        {"Owner", 2},
                                        {"Category", 3},
                                        {"Priority", 4},
                                        {"Status", 5},
                                        {"StartDate", 6},
                                        {"EndDate", 7},
                                        {"Budget", 8},
                                        {"BudgetInDays", 9}})
        QTest::newRow(qPrintable(QStringLiteral("project ") + QLatin1String(field))) << "Projects" << field << column;
    for (const auto& [field, column] : {std::pair{"Title", 1},
                                        {"AssignedTo", 2},
                                        {"StartDate", 3},
                                        {"DueDate", 4},
                                        {"Priority", 5},
                                        {"Status", 6},
                                        {"PercentComplete", 7},
                                        {"Cost", 8},
                                        {"CostInDays", 9}})
        QTest::newRow(qPrintable(QStringLiteral("task ") + QLatin1String(field))) << "Tasks" << field << column;
}

// A row that an import or another program wrote without a value shows that cell empty, with
// no error box, and the rest of the row and the other rows as usual.
void TestForm1::missingValuesShowAsEmptyCells() {
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(int, cell);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    TestEnvironment::exec(QStringLiteral("insert into Employees (FirstName,LastName) values ('Ann','Lee')"));
    addProject(QStringLiteral("first"), QStringLiteral("1"));
    addProject(QStringLiteral("second"), QStringLiteral("2"));
    for (int project : {1, 2})
        TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,AssignedTo,StartDate,DueDate,Priority,"
                                             "Status,PercentComplete,Cost,CostInDays) values (%1,'Plan',1,"
                                             "'2021-08-31','2021-09-03','High','Open',50,10,2)")
                                  .arg(project));
    TestEnvironment::exec(QStringLiteral("update %1 set %2=null where ID=1").arg(table, field));
    Database::shared().close();
    Form1 form;
    form.Form_Load();
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
    QTreeView* list = table == QLatin1String("Projects") ? form.ListView1 : form.ListView2;
    const QStringList cells = column(list, cell);
    QCOMPARE(cells.size(), table == QLatin1String("Projects") ? 2 : 1);
    QCOMPARE(cells.value(0), QString());
    for (int c = 1; c < 10; ++c)
        if (c != cell)
            QVERIFY2(!static_cast<RecordListModel*>(list->model())->cellText(0, c).isEmpty(),
                     qPrintable(QString::number(c)));
    if (table == QLatin1String("Projects"))
        QVERIFY(!cells.value(1).isEmpty());
}

void TestForm1::clickOnProjectRefillsTasks() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    addProject(QStringLiteral("a"), QStringLiteral("1"));
    addProject(QStringLiteral("b"), QStringLiteral("2"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,AssignedTo,StartDate,DueDate,Status,"
                                         "PercentComplete,Cost) values (2,'task of b',1,'2021-08-31','2021-09-03',"
                                         "'Open',0,10)"));
    Database::shared().close();
    Form1 form;
    form.show();
    form.Form_Load();
    QCOMPARE(form.taskModel()->rowCount(), 0);
    QTreeView* list = form.ListView1;
    const QRect second = list->visualRect(list->model()->index(1, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(Form1::selectedRow(list), 1);
    QCOMPARE(column(form.ListView2, 1), QStringList{QStringLiteral("task of b")});
    // A click on the selected row refills as well.
    TestEnvironment::exec(QStringLiteral("delete from Tasks"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(form.taskModel()->rowCount(), 0);
    // Moving with the keyboard shows the tasks of the project reached.
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,AssignedTo,StartDate,DueDate,Status,"
                                         "PercentComplete,Cost) values (1,'task of a',1,'2021-08-31','2021-09-03',"
                                         "'Open',0,10)"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(column(form.ListView2, 1), QStringList{QStringLiteral("task of a")});
    QVERIFY(messages.errors().isEmpty());
}

void TestForm1::selectionCannotBeLost_data() {
    QTest::addColumn<int>("listNumber");
    QTest::addColumn<QString>("route");
    for (int list : {1, 2}) {
        for (const char* route : {"ctrl+click on the row", "ctrl+space", "click below the rows",
                                  "ctrl+click below the rows", "clear selection call"})
            QTest::addRow("list %d, %s", list, route) << list << QString::fromLatin1(route);
    }
}

void TestForm1::selectionCannotBeLost() {
    QFETCH(int, listNumber);
    QFETCH(QString, route);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    addProject(QStringLiteral("a"), QStringLiteral("1"));
    addProject(QStringLiteral("b"), QStringLiteral("2"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,AssignedTo,StartDate,DueDate,Status,"
                                         "PercentComplete,Cost) values (2,'task of b',1,'2021-08-31','2021-09-03',"
                                         "'Open',0,10)"));
    Database::shared().close();
    Form1 form;
    form.resize(900, 700);
    form.show();
    form.Form_Load();
    QTreeView* projects = form.ListView1;
    QTest::mouseClick(projects->viewport(), Qt::LeftButton, {},
                      projects->visualRect(projects->model()->index(1, 1)).center());
    QTreeView* list = listNumber == 1 ? form.ListView1 : form.ListView2;
    const int row = Form1::selectedRow(list);
    QVERIFY(row >= 0);

    const QPoint onRow = list->visualRect(list->model()->index(row, 1)).center();
    const QPoint below(onRow.x(), list->viewport()->height() - 2);
    QVERIFY(!list->indexAt(below).isValid());
    list->setFocus();
    const Qt::KeyboardModifiers ctrl = route.startsWith(QLatin1String("ctrl")) ? Qt::ControlModifier : Qt::NoModifier;
    if (route.endsWith(QLatin1String("space")))
        QTest::keyClick(list, Qt::Key_Space, ctrl);
    else if (route.contains(QLatin1String("click")))
        QTest::mouseClick(list->viewport(), Qt::LeftButton, ctrl,
                          route.contains(QLatin1String("below")) ? below : onRow);
    else
        list->clearSelection();

    QCOMPARE(Form1::selectedRow(list), row);
    QCOMPARE(Form1::selectedRow(projects), 1);
    QCOMPARE(column(form.ListView2, 1), QStringList{QStringLiteral("task of b")});
    QVERIFY2(messages.errors().isEmpty(), qPrintable(messages.errors().join(QLatin1Char('\n'))));
}

void TestForm1::headerClicksSortByKind() {
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    addProject(QStringLiteral("b"), QStringLiteral("9"), QStringLiteral("2021-10-01"));
    addProject(QStringLiteral("C"), QStringLiteral("10"), QStringLiteral("2021-09-01"));
    addProject(QStringLiteral("a"), QStringLiteral("100"), QStringLiteral("2022-01-01"));
    Database::shared().close();
    Form1 form;
    form.Form_Load();
    QTreeView* list = form.ListView1;
    Form1::headerClick(list, 9); // Budget
    QCOMPARE(column(list, 8), QStringList({"9", "10", "100"}));
    Form1::headerClick(list, 9);
    QCOMPARE(column(list, 8), QStringList({"100", "10", "9"}));
    Form1::headerClick(list, 2); // another column starts ascending; texts ignore case
    QCOMPARE(column(list, 1), QStringList({"a", "b", "C"}));
    Form1::headerClick(list, 7); // dates by date
    QCOMPARE(column(list, 1), QStringList({"C", "b", "a"}));
    Form1::headerClick(list, 7);
    QCOMPARE(column(list, 1), QStringList({"a", "b", "C"}));
    // The sort survives a refill, and the refill selects the first row of the sorted list.
    addProject(QStringLiteral("z"), QStringLiteral("1"), QStringLiteral("2030-01-01"));
    form.ListData();
    QCOMPARE(column(list, 1), QStringList({"z", "a", "b", "C"}));
    QCOMPARE(Form1::selectedRow(list), 0);
    QCOMPARE(Form1::selectedCell(list, 1), QStringLiteral("z"));
}

void TestForm1::milestonesShowOnTheirDate_data() {
    QTest::addColumn<QString>("gate");      // Milestone and DueDate of "Gate", which starts on 2021-08-01
    QTest::addColumn<QStringList>("shown"); // Gate's two date cells
    QTest::addColumn<QString>("byStart");   // the titles sorted by start date
    auto day = [](const char* iso) { return shortDateText(QLatin1String(iso)); };
    const QString mark = QStringLiteral("\u25C6 ");
    QTest::newRow("task") << "false,'2021-09-20'" << QStringList{day("2021-08-01"), day("2021-09-20")} << "Gate Work";
    QTest::newRow("milestone") << "true,'2021-09-20'" << QStringList(2, mark + day("2021-09-20")) << "Work Gate";
    QTest::newRow("milestone without due date")
        << "true,null" << QStringList(2, mark + day("2021-08-01")) << "Gate Work";
}

// A milestone stands on its due date: both date cells show it after the milestone mark, and a
// sort by start date places it there. What exports and finds read is the date alone.
void TestForm1::milestonesShowOnTheirDate() {
    QFETCH(QString, gate);
    QFETCH(QStringList, shown);
    QFETCH(QString, byStart);
    TestEnvironment env;
    ScriptedMessages messages;
    env.openDatabase();
    addProject(QStringLiteral("a"), QStringLiteral("1"));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,StartDate,Milestone,DueDate) values "
                                         "(1,'Work','2021-08-31',false,'2021-09-10'),(1,'Gate','2021-08-01',") +
                          gate + ')');
    Database::shared().close();
    Form1 form;
    form.Form_Load();
    Form1::headerClick(form.ListView2, 4); // Start Date
    QCOMPARE(column(form.ListView2, 1).join(' '), byStart);
    const int row = byStart.startsWith(QStringLiteral("Gate")) ? 0 : 1;
    for (int c : {3, 4}) {
        QCOMPARE(form.taskModel()->index(row, c).data().toString(), shown[c - 3]);
        QCOMPARE(form.taskModel()->cellText(row, c), shown[c - 3].remove(QStringLiteral("\u25C6 ")));
    }
    QVERIFY(messages.errors().isEmpty());
}

void TestForm1::titleIsShortened() {
    QCOMPARE(AppTitle::shortenTitle(QStringLiteral("Fennick Planner")), QStringLiteral("Fennick"));
    QCOMPARE(AppTitle::shortenTitle(QStringLiteral("A very long product name that goes on and on and on for ever")),
             QStringLiteral("A very long product name that goes on"));
    QCOMPARE(AppTitle::shortenTitle(QStringLiteral("Single")), QStringLiteral("Single"));
    TestEnvironment env;
    ScriptedMessages messages;
    QCOMPARE(AppTitle::current(), QStringLiteral("Fennick Planner"));
    Form1 form;
    form.Form_Load();
    QCOMPARE(AppTitle::current(), QStringLiteral("Fennick"));
}

// A 2x2 cursor file with its hot spot at (1, 1).
QByteArray tinyCursor() {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 imageSize = 40 + 2 * 2 * 4 + 2 * 4; // header, 32-bit pixels, AND mask rows
    out << quint16(0) << quint16(2) << quint16(1);    // cursor file, one image
    out << quint8(2) << quint8(2) << quint8(0) << quint8(0) << quint16(1) << quint16(1) << imageSize << quint32(22);
    out << quint32(40) << qint32(2) << qint32(4) << quint16(1) << quint16(32) << quint32(0) << quint32(0) << qint32(0)
        << qint32(0) << quint32(0) << quint32(0);
    for (int i = 0; i < 4; ++i)
        out << quint32(0xff102030);
    for (int i = 0; i < 2; ++i)
        out << quint32(0);
    return bytes;
}

void TestForm1::skinAndHandCursorFiles() {
    TestEnvironment env;
    ScriptedMessages messages;
    {
        Form1 plain;
        plain.Form_Load();
        QVERIFY(plain.styleSheet().isEmpty());
        QVERIFY(!plain.autoFillBackground());
        QCOMPARE(plain.PushButton1->cursor().shape(), Qt::ArrowCursor);
        plain.Form_QueryUnload();
    }
    QVERIFY(QDir().mkpath(env.programFolder() + QStringLiteral("/x")));
    QFile skin(env.programFolder() + QStringLiteral("/x/o.cjs"));
    QVERIFY(skin.open(QIODevice::WriteOnly));
    skin.write("QPushButton { font-weight: bold; }");
    skin.close();
    QFile cursor(env.programFolder() + QStringLiteral("/HAND-M.CUR"));
    QVERIFY(cursor.open(QIODevice::WriteOnly));
    cursor.write(tinyCursor());
    cursor.close();

    Form1 form;
    form.Form_Load();
    QVERIFY(messages.errors().isEmpty());
    QCOMPARE(form.styleSheet(), QStringLiteral("QPushButton { font-weight: bold; }"));
    QVERIFY(form.autoFillBackground());
    QCOMPARE(form.backgroundRole(), QPalette::Button);
    QCOMPARE(form.PushButton8->cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(form.PushButton8->cursor().hotSpot(), QPoint(1, 1));
    QCOMPARE(form.ListView1->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"

// Where a feature's command goes depends on its menu group alone, never on which feature was
// installed first: a command added last to the first group of a menu stands in that group.
void TestForm1::menuGroupsKeepTheirPlaces() {
    TestEnvironment env;
    Form1 form;
    auto texts = [](const QMenu* menu) {
        QStringList shown;
        for (const QAction* action : menu->actions())
            shown << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return shown;
    };
    using Menu = PlannerWindow::Menu;
    form.port().addAction(Menu::File, PlannerWindow::Database, new QAction(QStringLiteral("Late"), &form));
    form.port().addAction(Menu::Help, QStringLiteral("unknown group"), new QAction(QStringLiteral("Last"), &form));
    form.port().addAction(Menu::Edit, PlannerWindow::Clipboard, new QAction(QStringLiteral("Paste"), &form));
    QCOMPARE(texts(form.menuFile), (QStringList{"&Team Database...", "Copy Local Data to Team Database...",
                                                "Copy Team Database to Local File...", "Late", "-", "&Export",
                                                "Import &Contacts...", "Import &Projects and Tasks...",
                                                "Import &Plan...", "Export P&lan...", "Export &Calendar (.ics)...",
                                                "Recently &Deleted...", "Calendar &Accounts...", "-", "&Quit"}));
    QCOMPARE(texts(form.menuEdit), (QStringList{"&Undo", "&Redo", "History of Selected &Project...",
                                                "History of Selected &Task...", "-", "&Copy", "Paste", "&Find...", "-",
                                                "Task &Links...", "Task &Reminder...", "-", "Reminder &Settings..."}));
    QCOMPARE(texts(form.menuView), (QStringList{"&Timeline", "&Working Days..."}));
    QCOMPARE(texts(form.menuHelp), (QStringList{"&Keyboard Shortcuts", "-", "&About Fennick Planner", "-", "Last"}));
}
