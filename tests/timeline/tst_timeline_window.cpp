// The timeline window driven as a user drives it: opened from the main window over the example
// data, a bar dragged and the move undone, the editors opened by a double-click, the main
// window's changes followed, and the timeline printed and exported.
#include "app/Database.h"
#include "app/UndoSteps.h"
#include "app/widgets/RecordListModel.h"
#include "editors/LookupEditor.h"
#include "main_window/Form1.h"
#include "scheduling/PlanStore.h"
#include "scheduling/Scheduler.h"
#include "support/TestSupport.h"
#include "timeline/TimelineData.h"
#include "timeline/TimelineKeys.h"
#include "timeline/TimelineOutput.h"
#include "timeline/TimelinePainter.h"
#include "timeline/TimelineView.h"
#include "timeline/TimelineWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <sqlite3.h>

#include <functional>

using Timeline::TimelineView;
using Timeline::TimelineWindow;

namespace {

const QDate today = QDate::currentDate();

QString iso(const QDate& d) {
    return d.toString(Qt::ISODate);
}

QString taskDates(const char* title) {
    return TestEnvironment::rows(
               QStringLiteral("select StartDate, DueDate from Tasks where Title='%1'").arg(QLatin1String(title)))
        .value(0);
}

// The main window over the example data, and its timeline once opened.
struct Fixture {
    Fixture() {
        form.Form_Load();
        form.PushButton8_Click(); // Load Sample/Example Data
        form.show();
    }
    TimelineWindow* open() {
        form.findChild<QAction*>(QStringLiteral("actionTimeline"))->trigger();
        auto* window = form.findChild<TimelineWindow*>(QStringLiteral("TimelineWindow"));
        if (window) {
            // Wider than the offscreen screen: set after the window's own fit once shown.
            QApplication::processEvents();
            window->resize(1100, 500);
            window->view()->setToday(today);
            QApplication::processEvents();
        }
        return window;
    }
    QStringList rowNames(TimelineWindow* window) const {
        QStringList names;
        const TimelineView* view = window->view();
        for (const Timeline::Row& row : view->rows())
            names << Timeline::itemOf(view->data(), row).name;
        return names;
    }
    // The row of a project or task by its name.
    int rowNamed(TimelineWindow* window, const QString& name) const {
        return static_cast<int>(rowNames(window).indexOf(name));
    }
    // Drags the bar of a row by `days` days; from its middle, or from its right end.
    void drag(TimelineWindow* window, const QString& name, int days, bool byEnd = false) {
        TimelineView* view = window->view();
        const int row = rowNamed(window, name);
        view->scrollToRow(row);
        const QRect bar = view->barRectOf(row);
        QVERIFY2(!bar.isEmpty(), qPrintable(name));
        const QPoint from = byEnd ? QPoint(bar.right() - 2, bar.center().y()) : bar.center();
        const int dx = static_cast<int>(days * view->scene().scale.pixelsPerDay());
        QWidget* viewport = view->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, from + QPoint(dx / 2, 0));
        QTest::mouseMove(viewport, from + QPoint(dx, 0));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, from + QPoint(dx, 0));
    }
    // Draws a link from the handle after one bar's end to a point of another bar (its first part,
    // or, with `at`, that far into it).
    void linkByDrag(TimelineWindow* window, const QString& from, const QString& to, double at = 0.1) {
        TimelineView* view = window->view();
        const int fromRow = rowNamed(window, from), toRow = rowNamed(window, to);
        view->scrollToRow(fromRow);
        const QPoint handle = Timeline::linkHandle(QRectF(view->barRectOf(fromRow)), true).toPoint();
        const QRect target = view->barRectOf(toRow);
        QVERIFY2(!target.isEmpty(), qPrintable(to));
        const QPoint drop(target.left() + static_cast<int>(target.width() * at), target.center().y());
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, handle);
        QTest::mouseMove(view->viewport(), target.center());
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, drop);
    }
    // The timeline active with its chart focused, for keys.
    void focusChart(TimelineWindow* window) {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->view()->setFocus();
        QTRY_VERIFY(window->view()->hasFocus());
    }
    // Chooses a row by the arrow keys alone, from the top.
    void selectByKeys(TimelineWindow* window, const QString& name) {
        const int row = rowNamed(window, name);
        QVERIFY(row >= 0);
        QTest::keyClick(window->view(), Qt::Key_Down); // the top row shown
        QCOMPARE(window->view()->currentRow(), window->view()->firstRow());
        for (int n = 0; n < row && window->view()->currentRow() < row; ++n)
            QTest::keyClick(window->view(), Qt::Key_Down);
        QCOMPARE(window->view()->currentRow(), row);
    }

    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
};

// While it lives, records every modal window that opens ("objectName|caption|m_ID") and cancels it.
class ModalCloser : public QObject {
public:
    ModalCloser() {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!modal || modal == m_last)
                return;
            m_last = modal;
            seen << modal->objectName() + QLatin1Char('|') + modal->windowTitle() + QLatin1Char('|') +
                        (qobject_cast<LookupEditor*>(modal) ? qobject_cast<LookupEditor*>(modal)->m_ID : QString());
            modal->reject();
        });
        m_timer.start(0);
    }
    QStringList seen;

private:
    QTimer m_timer;
    QPointer<QDialog> m_last;
};

// Another program writing to the database: psql on the team database, SQLite's library on the file.
void otherProgram(const QString& statement) {
    if (TestEnvironment::isTeam()) {
        QProcess psql;
        psql.start(QStringLiteral("psql"),
                   {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                    QStringLiteral("-d"), Database::shared().target(), QStringLiteral("-c"), statement});
        QVERIFY(psql.waitForFinished(-1));
        QVERIFY2(psql.exitCode() == 0, psql.readAllStandardError().constData());
        return;
    }
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(Database::shared().path().toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 10000);
    const int rc = sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

int pdfPages(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = file.readAll();
    return static_cast<int>(pdf.count("/Type /Page") - pdf.count("/Type /Pages"));
}

} // namespace

class TestTimelineWindow : public QObject {
    Q_OBJECT
private slots:
    void opensOnceWithTheExampleData();
    void dragMovesAndUndoes();
    void dragKeepsWorkingDays_data();
    void dragKeepsWorkingDays();
    void linksBrokenElsewhereAreMended();
    void dragNearTheEndOfALongChartKeepsTheView();
    void refusedMoves_data();
    void refusedMoves();
    void doubleClickOpensTheEditor();
    void followsTheMainWindow();
    void rowsWithBadDates();
    void readsTasksAsStored();
    void exportWritesFiles_data();
    void exportWritesFiles();
    void printsAcrossAndDown();
    void aSpanOfThousandsOfYears_data();
    void aSpanOfThousandsOfYears();
    void aPlanOnTheExampleData();
    void keysActOnTheTaskChosenByKeys_data();
    void keysActOnTheTaskChosenByKeys();
    void zoomOutAndBackInKeepsThePlace_data();
    void zoomOutAndBackInKeepsThePlace();
    void linkDropsThatMakeNoLinkSayWhy_data();
    void linkDropsThatMakeNoLinkSayWhy();
    void tasksKeepTheOrderTheUserGivesThem();
};

void TestTimelineWindow::opensOnceWithTheExampleData() {
    Fixture f;
    TimelineWindow* window = f.open();
    QVERIFY(window);
    QCOMPARE(f.rowNames(window),
             (QStringList{"Developing", "Research", "Testing", "Blind test", "Implementinging", "Trip"}));
    QVERIFY(f.messages.errors().isEmpty());
    // Ctrl+T again brings the same window forward.
    QCOMPARE(f.open(), window);
    QCOMPARE(f.form.findChildren<TimelineWindow*>().size(), 1);
    // The bars stand around today, and the legend names what each colour means.
    const QRect trip = window->view()->barRectOf(f.rowNamed(window, QStringLiteral("Trip")));
    QVERIFY(!trip.isEmpty());
    QVERIFY(trip.left() > 0 && trip.right() < window->view()->viewport()->width());
    const QString legend = window->findChild<QLabel*>(QStringLiteral("Legend"))->text();
    for (const QString& status : TestEnvironment::rows(QStringLiteral("select Status from Status")))
        QVERIFY2(legend.contains(status), qPrintable(legend));
    auto* colourBy = window->findChild<QComboBox*>(QStringLiteral("ColourBy"));
    colourBy->setCurrentIndex(2);
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("Legend"))->text().startsWith(QStringLiteral("<b>Category")));

    // Zoom, size and colouring come back the next time.
    window->findChild<QAction*>(QStringLiteral("actionZoomOut"))->trigger();
    const int zoom = window->view()->zoom();
    window->resize(900, 450);
    window->close();
    QApplication::processEvents();
    QVERIFY(!f.form.findChild<TimelineWindow*>());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    window = f.open();
    QCOMPARE(window->view()->zoom(), zoom);
    QCOMPARE(window->findChild<QComboBox*>(QStringLiteral("ColourBy"))->currentIndex(), 2);
}

void TestTimelineWindow::dragMovesAndUndoes() {
    Fixture f;
    TimelineWindow* window = f.open();
    const QString before = taskDates("Trip");
    QCOMPARE(before, iso(today) + QLatin1Char('|') + iso(today.addDays(5)));
    const int steps = UndoSteps::shared().depth();

    // Trip two days later: both dates move, through the one update of the task editor.
    QStringList statements;
    Database::shared().setStatementObserver([&](const QString& s) {
        if (!s.startsWith(QLatin1String("select")))
            statements << s;
    });
    f.drag(window, QStringLiteral("Trip"), 2);
    Database::shared().setStatementObserver({});
    QVERIFY(f.messages.shown().empty());
    // On working days, whatever day today is: from the first working day on or after the day
    // dropped on, as many working days as Trip had.
    const WorkCalendar calendar = PlanStore::readCalendar();
    const auto moved = Scheduling::placeTask(calendar, today.addDays(2),
                                             Scheduling::workingLength(calendar, today, today.addDays(5), false));
    const QString movedDates = iso(moved.first) + QLatin1Char('|') + iso(moved.second);
    QCOMPARE(taskDates("Trip"), movedDates);
    QCOMPARE(statements.size(), 1);
    QVERIFY(statements.front().startsWith(QLatin1String("update Tasks set ProjectID=")));
    // The main window now shows Trip's project and the new due date in its task list.
    auto* tasks = static_cast<RecordListModel*>(f.form.ListView2->model());
    QCOMPARE(tasks->rowCount(), 1);
    QCOMPARE(tasks->cellText(0, 1), QStringLiteral("Trip"));
    QCOMPARE(tasks->rawCell(0, 4), iso(moved.second));
    // The timeline shows the new dates too.
    const Timeline::Item& trip =
        Timeline::itemOf(window->view()->data(), window->view()->rows()[size_t(f.rowNamed(window, "Trip"))]);
    QCOMPARE(trip.end, moved.second);

    // Its end alone, one day earlier.
    f.drag(window, QStringLiteral("Trip"), -1, true);
    const auto shorter = Scheduling::placeTask(
        calendar, moved.first, Scheduling::workingLength(calendar, moved.first, moved.second.addDays(-1), false));
    const QString shorterDates = iso(shorter.first) + QLatin1Char('|') + iso(shorter.second);
    QCOMPARE(taskDates("Trip"), shorterDates);
    // A project moves the same way, through the project editor's update.
    f.drag(window, QStringLiteral("Testing"), 3);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select StartDate, EndDate from Projects where ProjectName="
                                                  "'Testing'")),
             QStringList{iso(today.addDays(3)) + QLatin1Char('|') + iso(today.addDays(3))});

    // One list of steps for the program: Ctrl+Z in the timeline takes the newest move back, and
    // the main window's Undo and Redo go on from there, named after the moves.
    QCOMPARE(UndoSteps::shared().depth(), steps + 3);
    QAction* undo = window->findChild<QAction*>(QStringLiteral("actionTimelineUndo"));
    QAction* mainUndo = f.form.findChild<QAction*>(QStringLiteral("actionUndo"));
    QAction* mainRedo = f.form.findChild<QAction*>(QStringLiteral("actionRedo"));
    QCOMPARE(undo->text(), QStringLiteral("&Undo Move Testing"));
    QCOMPARE(mainUndo->text(), undo->text());
    f.focusChart(window);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select StartDate from Projects where ProjectName='Testing'")),
             QStringList{iso(today)});
    QCOMPARE(mainUndo->text(), QStringLiteral("&Undo Move Trip"));
    QCOMPARE(mainRedo->text(), QStringLiteral("&Redo Move Testing"));
    mainUndo->trigger(); // the end's move, not the one undone in the timeline
    QCOMPARE(taskDates("Trip"), movedDates);
    undo->trigger();
    // Put back on working days, as every undo puts a task back (the same dates on a weekday).
    const auto back =
        Scheduling::placeTask(calendar, today, Scheduling::workingLength(calendar, today, today.addDays(5), false));
    QCOMPARE(taskDates("Trip"), iso(back.first) + QLatin1Char('|') + iso(back.second));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(taskDates("Trip"), movedDates);
    mainRedo->trigger();
    QCOMPARE(taskDates("Trip"), shorterDates);
    QCOMPARE(window->findChild<QAction*>(QStringLiteral("actionTimelineRedo"))->text(),
             QStringLiteral("&Redo Move Testing"));
    QVERIFY2(f.messages.shown().empty(), qPrintable(f.messages.notices().join(QLatin1Char('\n'))));
    // The timeline shows what the main window's undo put back.
    QCOMPARE(Timeline::itemOf(window->view()->data(), window->view()->rows()[size_t(f.rowNamed(window, "Trip"))]).end,
             shorter.second);

    // Dates changed since the move by someone else are not undone over.
    const QString edited = iso(today.addDays(20));
    {
        const UndoSteps::NotAStep theirs;
        TestEnvironment::exec(QStringLiteral("update Tasks set DueDate='%1' where Title='Trip'").arg(edited));
    }
    undo->trigger();
    QCOMPARE(taskDates("Trip"), iso(shorter.first) + QLatin1Char('|') + edited);
    QCOMPARE(f.messages.notices(),
             QStringList{"This cannot be undone: Task 'Trip' was changed by someone else since, so nothing was "
                         "changed. Reopen it to see it as it is now."});
}

// Research on Tuesday to Friday of next week and Report on the Monday and Tuesday after, Report
// linked after Research (finish to start) when asked; returns the days from that Monday as text.
static std::function<QString(int)> researchThenReport(bool linked) {
    const QDate monday = today.addDays(8 - today.dayOfWeek());
    auto day = [monday](int n) { return iso(monday.addDays(n)); };
    TestEnvironment::exec(
        QStringLiteral("update Tasks set StartDate='%1', DueDate='%2' where Title='Research'").arg(day(1), day(4)));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,"
                                         "PercentComplete,AssignedTo,Description,StartDate,DueDate) select ProjectID,"
                                         "'Report',Priority,Status,0,0,0,AssignedTo,'','%1','%2' from Tasks where "
                                         "Title='Research'")
                              .arg(day(7), day(8)));
    if (linked)
        TestEnvironment::exec(QStringLiteral("insert into TaskLinks (PredecessorID, SuccessorID) select r.ID, p.ID "
                                             "from Tasks r, Tasks p where r.Title='Research' and p.Title='Report'"));
    return day;
}

void TestTimelineWindow::dragKeepsWorkingDays_data() {
    QTest::addColumn<int>("days");
    QTest::addColumn<bool>("byEnd");
    QTest::addColumn<bool>("linked"); // Research -> Report, finish to start
    // Days after next week's Monday: Research (Tue-Fri) and Report (the Monday and Tuesday after).
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("two days later") << 2 << false << false << QList<int>{3, 8, 7, 8};
    QTest::newRow("onto a Saturday: from the Monday") << 4 << false << false << QList<int>{7, 10, 7, 8};
    QTest::newRow("end onto a Sunday: the Friday") << 2 << true << false << QList<int>{1, 4, 7, 8};
    QTest::newRow("two days later, its successor follows") << 2 << false << true << QList<int>{3, 8, 9, 10};
}

// A bar dragged keeps the task's length in working days, starts on a working day, and takes
// its successors along, whether the task is linked or not.
void TestTimelineWindow::dragKeepsWorkingDays() {
    QFETCH(int, days);
    QFETCH(bool, byEnd);
    QFETCH(bool, linked);
    QFETCH(QList<int>, expected);
    Fixture f;
    const auto day = researchThenReport(linked);
    f.form.ListData();
    TimelineWindow* window = f.open();
    window->view()->setZoom(99);
    f.drag(window, QStringLiteral("Research"), days, byEnd);
    QCOMPARE(taskDates("Research"), day(expected[0]) + QLatin1Char('|') + day(expected[1]));
    QCOMPARE(taskDates("Report"), day(expected[2]) + QLatin1Char('|') + day(expected[3]));
    QVERIFY(f.messages.shown().empty());
}

// Dates another program wrote that break a link are mended when the timeline reads them, and the
// user is told which tasks moved.
void TestTimelineWindow::linksBrokenElsewhereAreMended() {
    Fixture f;
    const auto day = researchThenReport(true);
    otherProgram(
        QStringLiteral("update Tasks set StartDate='%1', DueDate='%2' where Title='Report'").arg(day(2), day(3)));
    f.form.ListData();
    f.open();
    QTRY_COMPARE(taskDates("Report"), day(7) + QLatin1Char('|') + day(8));
    QCOMPARE(f.messages.notices(),
             QStringList{"Tasks of \"Developing\" started before their links allow (their dates were written by "
                         "another program), so they were moved to follow the links: \"Report\"."});
}

void TestTimelineWindow::dragNearTheEndOfALongChartKeepsTheView() {
    Fixture f;
    // Enough projects for the list to be read in parts after the move.
    TestEnvironment::exec(QStringLiteral(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 30000) "
        "insert into Projects (ProjectName, Owner, StartDate, EndDate, Status, Category, Priority, Notes, "
        "BudgetInDays, Budget) select 'Bulk ' || (100000 + i), Owner, StartDate, EndDate, Status, Category, "
        "Priority, '', 1, 1 from n, Projects where Projects.ID = (select min(ID) from Projects where EndDate "
        "is not null)"));
    f.form.ListData();
    f.form.projectModel()->ensureComplete();
    TimelineWindow* window = f.open();
    TimelineView* view = window->view();
    const int total = static_cast<int>(view->rows().size());
    QVERIFY(total > 30000);
    // A project near the end, with a bar.
    int row = total - 1;
    while (row > 0 && (Timeline::itemOf(view->data(), view->rows()[size_t(row)]).isTask ||
                       !Timeline::itemOf(view->data(), view->rows()[size_t(row)]).hasBar()))
        --row;
    const Timeline::Item moved = Timeline::itemOf(view->data(), view->rows()[size_t(row)]);
    f.drag(window, moved.name, 3);
    QCOMPARE(
        TestEnvironment::scalar(QStringLiteral("select StartDate from Projects where ID=%1").arg(moved.id)).toString(),
        iso(moved.start.addDays(3)));
    // The refilled list shows its first part, then reads the rest in the background.
    QTRY_VERIFY_WITH_TIMEOUT(!f.form.projectModel()->isFilling(), 60000);
    // The timeline follows the list's last change.
    QTRY_COMPARE(static_cast<int>(view->rows().size()), total);
    // The moved bar is still in sight.
    const int now = view->rowOf(false, moved.id);
    QVERIFY2(!view->barRectOf(now).isEmpty(),
             qPrintable(QStringLiteral("row %1, view from row %2").arg(now).arg(view->firstRow())));
}

void TestTimelineWindow::refusedMoves_data() {
    QTest::addColumn<QString>("spoil");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shownAs");
    QTest::newRow("title blank") << "update Tasks set Title='  ' where Title='Trip'"
                                 << "You forgot to input Title."
                                 << "  ";
    QTest::newRow("assignee gone") << "update Tasks set AssignedTo=999 where Title='Trip'"
                                   << "You forgot to select Assigned To."
                                   << "Trip";
    QTest::newRow("status not in the list") << "update Tasks set Status='Gone' where Title='Trip'"
                                            << "You forgot to select Status."
                                            << "Trip";
    QTest::newRow("priority not in the list") << "update Tasks set Priority='' where Title='Trip'"
                                              << "You forgot to select Priority."
                                              << "Trip";
    QTest::newRow("no percent") << "update Tasks set PercentComplete=null where Title='Trip'"
                                << "You forgot to input % Complete."
                                << "Trip";
    // A stored text in a number column never goes into the statement unquoted.
    QTest::newRow("cost that is a statement") << "update Tasks set Cost='0,Title=''hacked''' where Title='Trip'"
                                              << "Cost must be numeric value."
                                              << "Trip";
    QTest::newRow("budget in days not a number")
        << "update Projects set BudgetInDays='five' where ProjectName='Implementinging'"
        << "Budget in Days must be a numeric value."
        << "Implementinging";
}

void TestTimelineWindow::refusedMoves() {
    QFETCH(QString, spoil);
    QFETCH(QString, message);
    QFETCH(QString, shownAs);
    // A team database keeps numbers in number columns: no text can be stored there.
    if (TestEnvironment::isTeam() && spoil.contains(QLatin1String("='")) &&
        (spoil.contains(QLatin1String("Cost=")) || spoil.contains(QLatin1String("BudgetInDays="))))
        QSKIP("a team database stores no text in a number column");
    Fixture f;
    const QString id = TestEnvironment::scalar(QStringLiteral("select ID from Tasks where Title='Trip'")).toString();
    const QString dates = QStringLiteral("select StartDate, DueDate from Tasks where ID=") + id;
    TestEnvironment::exec(spoil);
    f.form.ListData();
    TimelineWindow* window = f.open();
    const QStringList before = TestEnvironment::rows(dates);
    const int steps = UndoSteps::shared().depth();
    f.drag(window, shownAs, 2);
    QCOMPARE(f.messages.notices(), QStringList{message});
    QVERIFY(f.messages.errors().isEmpty());
    QCOMPARE(TestEnvironment::rows(dates), before);
    QCOMPARE(UndoSteps::shared().depth(), steps);
}

void TestTimelineWindow::doubleClickOpensTheEditor() {
    Fixture f;
    TimelineWindow* window = f.open();
    TimelineView* view = window->view();
    const QString tripId =
        TestEnvironment::scalar(QStringLiteral("select ID from Tasks where Title='Trip'")).toString();
    const QString testingId =
        TestEnvironment::scalar(QStringLiteral("select ID from Projects where ProjectName='Testing'")).toString();
    ModalCloser closer;
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->barRectOf(f.rowNamed(window, "Trip")).center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->barRectOf(f.rowNamed(window, "Testing")).center());
    QCOMPARE(closer.seen, (QStringList{"Form5|Edit Tasks|" + tripId, "Form2|Edit Data|" + testingId}));
    QVERIFY(f.messages.errors().isEmpty());
}

void TestTimelineWindow::followsTheMainWindow() {
    Fixture f;
    TimelineWindow* window = f.open();
    // A project added elsewhere and the project list refilled.
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,"
                                         "Notes,EndDate,BudgetInDays,Budget) select 'Added',Owner,StartDate,Status,"
                                         "Category,Priority,'',EndDate,1,1 from Projects limit 1"));
    f.form.ListData();
    QCOMPARE(f.rowNames(window).last(), QStringLiteral("Added"));
    // A task of the selected project deleted and the task list refilled.
    Form1::selectRow(f.form.ListView1, 0);
    TestEnvironment::exec(QStringLiteral("delete from Tasks where Title='Research'"));
    f.form.ListTasks();
    QVERIFY(!f.rowNames(window).contains(QStringLiteral("Research")));
    // The project list sorted by name: the timeline follows its order.
    Form1::headerClick(f.form.ListView1, 2);
    QTRY_COMPARE(f.rowNames(window),
                 (QStringList{"Added", "Developing", "Implementinging", "Trip", "Testing", "Blind test"}));
    // Collapsing a project hides its tasks; its row stays.
    window->view()->setAllCollapsed(true);
    QCOMPARE(f.rowNames(window), (QStringList{"Added", "Developing", "Implementinging", "Testing"}));
}

void TestTimelineWindow::rowsWithBadDates() {
    Fixture f;
    // A team database keeps only dates in a date column: there the date is missing instead.
    TestEnvironment::exec(TestEnvironment::isTeam()
                              ? QStringLiteral("update Projects set EndDate=null where ProjectName='Developing'")
                              : QStringLiteral("update Projects set EndDate='garbled' where ProjectName='Developing'"));
    TestEnvironment::exec(QStringLiteral("update Tasks set StartDate=null where Title='Research'"));
    TestEnvironment::exec(
        QStringLiteral("update Tasks set DueDate='%1' where Title='Trip'").arg(iso(today.addDays(-3))));
    f.form.ListData();
    f.messages.clear();
    TimelineWindow* window = f.open();
    TimelineView* view = window->view();
    QCOMPARE(view->rows().size(), size_t(6)); // nothing dropped
    QVERIFY(f.messages.shown().empty());      // and no box about it
    QVERIFY(view->barRectOf(f.rowNamed(window, "Developing")).isEmpty());
    QVERIFY(view->barRectOf(f.rowNamed(window, "Research")).isEmpty());
    // Trip now ends before it starts: a point, still there to be dragged.
    const Timeline::Item& trip = Timeline::itemOf(view->data(), view->rows()[size_t(f.rowNamed(window, "Trip"))]);
    QVERIFY(trip.reversed());
    const QRect point = view->barRectOf(f.rowNamed(window, "Trip"));
    QVERIFY(!point.isEmpty());
    QVERIFY(point.width() <= view->scene().geometry.rowHeight);
    // Painting all of it, with the marks, goes without an error.
    QImage image(view->viewport()->size(), QImage::Format_RGB32);
    QPainter painter(&image);
    Timeline::paint(painter, view->scene(), image.size(), 0, view->chartX());
    QVERIFY(f.messages.shown().empty());
}

void TestTimelineWindow::readsTasksAsStored() {
    // Many different statuses (more than are shared), missing and deleted assignees, fractions and
    // a text id. A team database stores only real dates: there the start is missing instead.
    const bool team = TestEnvironment::isTeam();
    Fixture f;
    for (int i = 0; i < 40; ++i)
        TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,Status,Priority,PercentComplete,"
                                             "AssignedTo,StartDate) select ID,'Bulk %1','S%1','%2',%3,%4,%5 "
                                             "from Projects where ProjectName='Developing'")
                                  .arg(i)
                                  .arg(i % 2 ? "High" : "Low")
                                  .arg(i + 0.5)
                                  .arg(i % 3 == 0   ? QStringLiteral("(select min(ID) from Employees)")
                                       : i % 3 == 1 ? QStringLiteral("null")
                                                    : QStringLiteral("99999")) // a contact that is gone
                                  .arg(team ? QStringLiteral("null") : QStringLiteral("'2026-02-30'")));
    const QString firstContact =
        TestEnvironment::rows(QStringLiteral("select FirstName || ' ' || LastName from Employees order by ID"))
            .value(0);
    int seen = 0;
    for (const Timeline::Item& t : Timeline::readAllTasks()) {
        if (!t.name.startsWith(QLatin1String("Bulk ")))
            continue;
        const int i = t.name.mid(5).toInt();
        QCOMPARE(t.status, QStringLiteral("S%1").arg(i));
        QCOMPARE(t.priority, QLatin1String(i % 2 ? "High" : "Low"));
        QCOMPARE(t.percent, i + 0.5);
        QCOMPARE(t.who, i % 3 == 0 ? firstContact : i % 3 == 1 ? QString() : QStringLiteral("(deleted contact)"));
        QVERIFY(!t.start.isValid()); // 30 February: kept as text, no bar
        QCOMPARE(t.startText, team ? QString() : QStringLiteral("2026-02-30"));
        ++seen;
    }
    QCOMPARE(seen, 40);
}

void TestTimelineWindow::exportWritesFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("begins");
    QTest::newRow("PDF") << "timeline.pdf" << QByteArray("%PDF");
    QTest::newRow("PNG") << "timeline.png" << QByteArray("\x89PNG");
    QTest::newRow("SVG") << "timeline.SVG" << QByteArray("<?xml");
    QTest::newRow("cancelled") << "" << QByteArray();
    QTest::newRow("unknown type") << "timeline.doc" << QByteArray();
}

void TestTimelineWindow::exportWritesFiles() {
    QFETCH(QString, name);
    QFETCH(QByteArray, begins);
    Fixture f;
    TimelineWindow* window = f.open();
    const QString path = name.isEmpty() ? QString() : f.env.root() + QLatin1Char('/') + name;
    f.messages.clear();
    f.messages.saveFileNameNext(path);
    window->findChild<QAction*>(QStringLiteral("actionTimelineExport"))->trigger();
    QCOMPARE(f.messages.texts(ScriptedMessages::Kind::SaveFile), QStringList{"Timeline.pdf"});
    QVERIFY(f.messages.errors().isEmpty());
    QFile file(path);
    if (begins.isEmpty()) {
        QVERIFY(!file.exists());
        QCOMPARE(f.messages.notices().size(), name.isEmpty() ? 0 : 1);
        return;
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.size() > 1000);
    QVERIFY(content.startsWith(begins));
    QVERIFY(f.messages.notices().isEmpty());
}

void TestTimelineWindow::printsAcrossAndDown() {
    Fixture f;
    const QString pdf = f.env.root() + QStringLiteral("/printed.pdf");
    int pages = 0;
    TimelineWindow::setPreviewer([&](QWidget*, const std::function<void(QPrinter*)>& paint) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageOrientation(QPageLayout::Landscape);
        paint(&printer);
        pages = pdfPages(pdf);
    });
    TimelineWindow* window = f.open();
    window->findChild<QAction*>(QStringLiteral("actionTimelinePrint"))->trigger();
    QCOMPARE(pages, 1); // the example data fits one page
    // Sixty projects over two years at the closest zoom: pages across and down.
    for (int i = 0; i < 60; ++i)
        TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,"
                                             "Priority,Notes,EndDate,BudgetInDays,Budget) values ('P%1',1,'%2',"
                                             "'Open','Main','High','','%3',1,1)")
                                  .arg(i)
                                  .arg(iso(today.addDays(i * 12)), iso(today.addDays(i * 12 + 10))));
    f.form.ListData();
    window->view()->setZoom(99);
    window->findChild<QAction*>(QStringLiteral("actionTimelinePrint"))->trigger();
    TimelineWindow::setPreviewer({});
    QVERIFY(f.messages.errors().isEmpty());
    QVERIFY2(pages > 20, qPrintable(QString::number(pages))); // 2 pages down, 720 days of 64 pixels across
    QCOMPARE(pages % 2, 0);
}

void TestTimelineWindow::aSpanOfThousandsOfYears_data() {
    QTest::addColumn<bool>("print");          // or export
    QTest::addColumn<QList<bool>>("answers"); // to "fit on fewer pages?", then "write them all?"
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("written");
    QTest::newRow("exported, fitted") << false << QList<bool>{true} << 1 << true;
    QTest::newRow("exported, neither fitted nor written") << false << QList<bool>{false, false} << 2 << false;
    QTest::newRow("printed, fitted") << true << QList<bool>{true} << 1 << true;
    QTest::newRow("printed, neither fitted nor printed") << true << QList<bool>{false, false} << 2 << false;
}

void TestTimelineWindow::aSpanOfThousandsOfYears() {
    QFETCH(bool, print);
    QFETCH(QList<bool>, answers);
    QFETCH(int, questions);
    QFETCH(bool, written);
    Fixture f;
    TestEnvironment::exec(QStringLiteral("update Projects set StartDate='0001-01-01', EndDate='9999-12-31' where "
                                         "ProjectName='Testing'"));
    f.form.ListData();
    TimelineWindow* window = f.open();
    TimelineView* view = window->view();
    // Fit All shows the whole span, the long bar among the rest.
    window->findChild<QAction*>(QStringLiteral("actionFitAll"))->trigger();
    const int row = f.rowNamed(window, QStringLiteral("Testing"));
    const QRect bar = view->barRectOf(row);
    QVERIFY(!bar.isEmpty());
    QVERIFY(bar.left() >= view->scene().geometry.nameWidth - 2);
    QVERIFY(bar.right() <= view->viewport()->width());
    QVERIFY(!view->barRectOf(f.rowNamed(window, QStringLiteral("Trip"))).isEmpty());

    // Exported as the window showed it before, the PDF file would run to thousands of pages.
    view->setZoom(Timeline::defaultZoom());
    const QString path = f.env.root() + QStringLiteral("/long.pdf");
    f.messages.clear();
    f.messages.saveFileNameNext(path);
    for (bool yes : answers)
        f.messages.answerNext(yes);
    TimelineWindow::setPreviewer([&](QWidget*, const std::function<void(QPrinter*)>& paint) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPageOrientation(QPageLayout::Landscape);
        paint(&printer);
    });
    window->findChild<QAction*>(print ? QStringLiteral("actionTimelinePrint") : QStringLiteral("actionTimelineExport"))
        ->trigger();
    TimelineWindow::setPreviewer({});
    QCOMPARE(f.messages.questions().size(), questions);
    QVERIFY2(f.messages.questions().first().contains(QLatin1String("pages")),
             qPrintable(f.messages.questions().first()));
    QCOMPARE(QFile::exists(path), written);
    if (written) {
        const int pages = pdfPages(path);
        QVERIFY2(pages >= 1 && pages <= Timeline::pagesWithoutAsking, qPrintable(QString::number(pages)));
    }
    QVERIFY(f.messages.notices().isEmpty());
    QVERIFY(f.messages.errors().isEmpty());
}

void TestTimelineWindow::keysActOnTheTaskChosenByKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("opens");  // the window it opens for Trip (objectName|title)
    QTest::addColumn<QString>("notice"); // or what it says; neither: Trip becomes a milestone
    const int altShift = Qt::AltModifier | Qt::ShiftModifier;
    QTest::newRow("Return") << int(Qt::Key_Return) << 0 << "Form5|Edit Tasks|"
                            << "";
    QTest::newRow("Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "Form5|Edit Tasks|"
                           << "";
    QTest::newRow("Ctrl+L") << int(Qt::Key_L) << int(Qt::ControlModifier) << "TaskLinksDialog"
                            << "";
    QTest::newRow("Ctrl+H") << int(Qt::Key_H) << int(Qt::ControlModifier) << "HistoryWindow"
                            << "";
    QTest::newRow("Ctrl+Shift+R") << int(Qt::Key_R) << int(Qt::ControlModifier | Qt::ShiftModifier)
                                  << "TaskReminderDialog"
                                  << "";
    QTest::newRow("Ctrl+M") << int(Qt::Key_M) << int(Qt::ControlModifier) << ""
                            << "";
    QTest::newRow("Alt+Shift+Right") << int(Qt::Key_Right) << altShift << ""
                                     << "There is no task above this one at its level to put it under.";
    QTest::newRow("Alt+Shift+Left") << int(Qt::Key_Left) << altShift << ""
                                    << "This task is not under another task.";
    // Its menu at its row, Milestone chosen there.
    QTest::newRow("Menu") << int(Qt::Key_Menu) << 0 << ""
                          << "";
    QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << ""
                               << "";
}

// A task chosen with the arrow keys, not the row in the middle of the chart, is the one each key
// of its menu acts on; the menu key opens that menu at its row, every command with its key.
void TestTimelineWindow::keysActOnTheTaskChosenByKeys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, opens);
    QFETCH(QString, notice);
    Fixture f;
    TimelineWindow* window = f.open();
    TimelineView* view = window->view();
    window->resize(1100, 260); // low enough that the arrows must scroll to the last row
    QApplication::processEvents();
    f.focusChart(window);
    f.selectByKeys(window, QStringLiteral("Trip"));
    if (QTest::currentTestFailed())
        return;
    const QRect bar = view->barRectOf(view->currentRow()); // empty unless in view
    QVERIFY(!bar.isEmpty() && view->firstRow() > 0);
    f.messages.clear();
    ModalCloser closer;
    QStringList commands; // of a menu that opens: "text|key"
    QRect placed;
    QTimer reader;
    connect(&reader, &QTimer::timeout, &reader, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu || !commands.isEmpty())
            return;
        placed = menu->geometry();
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                commands << a->text().remove(QLatin1Char('&')) + QLatin1Char('|') +
                                a->shortcut().toString(QKeySequence::NativeText);
        menu->setActiveAction(window->findChild<QAction*>(QStringLiteral("actionMilestone")));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    reader.start(0);
    QTest::keyClick(view, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    if (key == Qt::Key_Menu || key == Qt::Key_F10) {
        QTRY_VERIFY(!commands.isEmpty());
        QVERIFY2(commands.filter(QRegularExpression(QStringLiteral("\\|$"))).isEmpty() && commands.size() >= 7,
                 qPrintable(commands.join(QLatin1Char('\n'))));
        const int rowBottom = view->viewport()->mapToGlobal(bar.bottomLeft()).y();
        QVERIFY2(std::abs(placed.top() - rowBottom) <= view->scene().geometry.rowHeight,
                 qPrintable(QStringLiteral("menu at %1, row ends at %2").arg(placed.top()).arg(rowBottom)));
    }
    if (!opens.isEmpty()) {
        QTRY_COMPARE(closer.seen.size(), 1);
        QVERIFY2(closer.seen.first().startsWith(opens), qPrintable(closer.seen.first()));
        if (opens.startsWith(QLatin1String("Form5")))
            QCOMPARE(closer.seen.first(), opens + TestEnvironment::rows("select ID from Tasks where Title='Trip'")[0]);
    }
    QCOMPARE(f.messages.notices(), notice.isEmpty() ? QStringList() : QStringList{notice});
    QTRY_COMPARE(TestEnvironment::scalar(QStringLiteral("select Milestone from Tasks where Title='Trip'")).toInt(),
                 int(opens.isEmpty() && notice.isEmpty()));
    QVERIFY(f.messages.errors().isEmpty());
}

void TestTimelineWindow::zoomOutAndBackInKeepsThePlace_data() {
    QTest::addColumn<QString>("selected"); // the row chosen, or none
    QTest::newRow("the middle of the chart") << "";
    QTest::newRow("the task selected") << "Trip";
    QTest::newRow("a project selected") << "Testing";
}

// Zoomed out as far as it goes and back in, step by step: the chart shows what it showed.
void TestTimelineWindow::zoomOutAndBackInKeepsThePlace() {
    QFETCH(QString, selected);
    Fixture f;
    TimelineWindow* window = f.open();
    TimelineView* view = window->view();
    const int row = selected.isEmpty() ? -1 : f.rowNamed(window, selected);
    view->setCurrentRow(row);
    const int zoom = view->zoom();
    const int chartWidth = view->viewport()->width() - view->scene().geometry.nameWidth;
    auto middle = [&] { return view->scene().scale.dateAt(view->chartX() + chartWidth / 2.0); };
    window->findChild<QAction*>(QStringLiteral("actionGoToToday"))->trigger();
    const QDate before = middle();
    QCOMPARE(before, today);
    auto check = [&](const char* when) {
        if (row < 0)
            return;
        const QRect bar = view->barRectOf(row);
        QVERIFY2(!bar.isEmpty() && bar.right() > view->scene().geometry.nameWidth &&
                     bar.left() < view->viewport()->width(),
                 qPrintable(QStringLiteral("%1 at zoom %2").arg(QLatin1String(when)).arg(view->zoom())));
    };
    while (view->zoom() > 0) {
        QTest::keyClick(window, Qt::Key_Minus, Qt::ControlModifier);
        check("out");
    }
    while (view->zoom() < zoom) {
        QTest::keyClick(window, Qt::Key_Plus, Qt::ControlModifier);
        check("in");
    }
    QVERIFY2(std::abs(middle().daysTo(before)) <= 1, qPrintable(middle().toString(Qt::ISODate)));
}

void TestTimelineWindow::linkDropsThatMakeNoLinkSayWhy_data() {
    QTest::addColumn<QString>("to");
    QTest::addColumn<double>("at"); // how far into the bar it is let go
    QTest::addColumn<QString>("notice");
    QTest::newRow("another project's task")
        << "Trip" << 0.1
        << "Links are made within one project: \"Research\" is in the project \"Developing\" and \"Trip\" in "
           "\"Implementinging\", so no link was made.";
    QTest::newRow("the task itself") << "Research" << 0.5
                                     << "A task cannot be linked to itself: drop the link on another task of its "
                                        "project.";
}

void TestTimelineWindow::linkDropsThatMakeNoLinkSayWhy() {
    QFETCH(QString, to);
    QFETCH(double, at);
    QFETCH(QString, notice);
    Fixture f;
    TimelineWindow* window = f.open();
    window->view()->setZoom(99);
    f.messages.clear();
    f.linkByDrag(window, QStringLiteral("Research"), to, at);
    QCOMPARE(f.messages.notices(), QStringList{notice});
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from TaskLinks")).toInt(), 0);
    // A click on the handle, let go where it was taken, is no drop at all.
    TimelineView* view = window->view();
    const QPoint handle =
        Timeline::linkHandle(QRectF(view->barRectOf(f.rowNamed(window, QStringLiteral("Research")))), true).toPoint();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, handle);
    QCOMPARE(f.messages.notices().size(), 1);
}

// Tasks moved among their siblings by the keys' commands and by dragging a name down, each one
// undo step; nothing is put under a milestone, and the user is told why.
void TestTimelineWindow::tasksKeepTheOrderTheUserGivesThem() {
    Fixture f;
    TestEnvironment::exec(QStringLiteral("insert into Projects (ProjectName, Owner) values ('Order', 1)"));
    for (int n = 0; n < 4; ++n)
        TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID, Title, StartDate, DueDate) select max(ID), "
                                             "'Step %1', '%2', '%2' from Projects")
                                  .arg(QChar(u'A' + n), iso(today.addDays(n))));
    f.form.ListData();
    TimelineWindow* window = f.open();
    TimelineView* view = window->view();
    auto order = [&] { return f.rowNames(window).filter(QStringLiteral("Step ")).join(QString()).remove("Step "); };
    auto trigger = [&](const char* task, const char* action) {
        view->setCurrentRow(f.rowNamed(window, QStringLiteral("Step ") + QLatin1String(task)));
        window->findChild<QAction*>(QLatin1String(action))->trigger();
    };
    const int steps = UndoSteps::shared().depth();
    trigger("C", "actionMoveTaskUp");
    QCOMPARE(order(), QStringLiteral("ACBD"));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QTRY_COMPARE(order(), QStringLiteral("ABCD"));
    trigger("A", "actionMoveTaskDown");
    const int from = view->barRectOf(f.rowNamed(window, QStringLiteral("Step B"))).center().y();
    const int to = view->barRectOf(f.rowNamed(window, QStringLiteral("Step C"))).center().y();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(60, from));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(62, to)); // B's name onto C: after C
    window->reload();
    QCOMPARE(order(), QStringLiteral("ACBD"));
    QCOMPARE(UndoSteps::shared().depth(), steps + 2); // the undone step gave way to the next
    trigger("C", "actionMilestone");
    trigger("B", "actionIndentTask");
    QVERIFY2(f.messages.notices().value(0).contains(QLatin1String("milestone")), qPrintable(order()));
    QCOMPARE(TestEnvironment::scalar(QStringLiteral("select count(*) from Tasks where ParentID is not null")).toInt(),
             0);
    // The keyboard's list names the command by its menu text, with its key.
    const QAction* down = window->findChild<QAction*>(QStringLiteral("actionMoveTaskDown"));
    const auto keys = Timeline::keys();
    QVERIFY(std::any_of(keys.begin(), keys.end(), [&](const KnownKeys::Key& k) {
        return k.keys == down->shortcut().toString(QKeySequence::NativeText) && k.command == down->text().remove('&');
    }));
}

QTEST_MAIN(TestTimelineWindow)
#include "tst_timeline_window.moc"

// What a new user does with the example data: three tasks linked by dragging between their bars,
// one made a milestone, two put under a third, the first dragged with the others following, the
// critical path seen and shown alone, the drag undone, and the whole printed.
void TestTimelineWindow::aPlanOnTheExampleData() {
    Fixture f;
    const QString project =
        TestEnvironment::rows(QStringLiteral("select ProjectID from Tasks where Title='Research'")).value(0);
    const QDate monday = today.addDays(8 - today.dayOfWeek());
    auto day = [&](int n) { return iso(monday.addDays(n)); };
    TestEnvironment::exec(
        QStringLiteral("update Tasks set StartDate='%1', DueDate='%2' where Title='Research'").arg(day(0), day(1)));
    const struct {
        const char* title;
        int start, due;
    } added[] = {{"Ship", 0, 0}, {"Phase", 0, 0}, {"Design", 2, 3}, {"Build", 4, 8}};
    for (const auto& t : added)
        TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,"
                                             "PercentComplete,AssignedTo,Description,StartDate,DueDate) values "
                                             "(%1,'%2','Low','Open',0,0,0,1,'','%3','%4')")
                                  .arg(project, QLatin1String(t.title), day(t.start), day(t.due)));
    f.form.ListData();
    TimelineWindow* window = f.open();
    TimelineView* view = window->view();
    view->setZoom(99);
    auto dates = [](const char* title) { return taskDates(title).replace(QLatin1Char('|'), QLatin1Char(' ')); };
    auto item = [&](const char* title) -> const Timeline::Item& {
        return view->itemAt(f.rowNamed(window, QLatin1String(title)));
    };
    auto linkByDrag = [&](const char* from, const char* to) {
        f.linkByDrag(window, QLatin1String(from), QLatin1String(to));
    };
    auto trigger = [&](const char* task, const char* action) {
        view->setCurrentRow(f.rowNamed(window, QLatin1String(task)));
        window->findChild<QAction*>(QLatin1String(action))->trigger();
    };

    linkByDrag("Research", "Design");
    linkByDrag("Design", "Build");
    QCOMPARE(TestEnvironment::rows(
                 QStringLiteral("select p.Title as A, s.Title as B, l.Kind as K from TaskLinks l join Tasks "
                                "p on p.ID=l.PredecessorID join Tasks s on s.ID=l.SuccessorID "
                                "order by l.ID")),
             (QStringList{"Research|Design|FS", "Design|Build|FS"}));
    trigger("Ship", "actionMilestone");
    QVERIFY(item("Ship").milestone);
    trigger("Design", "actionIndentTask"); // under Phase, the task above at its level
    {
        // Build's name dragged to the right: under Phase too, as Design lies a level deeper.
        const int y = view->barRectOf(f.rowNamed(window, QStringLiteral("Build"))).center().y();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(60, y));
        QTest::mouseMove(view->viewport(), QPoint(80, y));
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(95, y));
    }
    QCOMPARE(f.rowNames(window).mid(f.rowNamed(window, QStringLiteral("Research")), 5),
             (QStringList{"Research", "Ship", "Phase", "Design", "Build"}).mid(0, 5));
    QVERIFY(item("Phase").summary);
    QCOMPARE(item("Build").depth, 1);
    QCOMPARE(dates("Phase"), day(2) + QLatin1Char(' ') + day(8)); // spans Design and Build
    // Research, Design and Build end the project: no slack; Ship may slip.
    QVERIFY(item("Research").critical && item("Design").critical && item("Build").critical);
    QVERIFY(!item("Ship").critical);
    QVERIFY(Timeline::toolTip(item("Ship"), today).contains(QLatin1String("Slack: 6 working days")));

    // Research two days later: Design and Build follow, keeping their lengths in working days.
    const int undoSteps = UndoSteps::shared().depth();
    f.drag(window, QStringLiteral("Research"), 2);
    QCOMPARE(dates("Research"), day(2) + QLatin1Char(' ') + day(3));
    QCOMPARE(dates("Design"), day(4) + QLatin1Char(' ') + day(7));
    QCOMPARE(dates("Build"), day(8) + QLatin1Char(' ') + day(10));
    QCOMPARE(dates("Phase"), day(4) + QLatin1Char(' ') + day(10));
    QCOMPARE(UndoSteps::shared().depth(), undoSteps + 1); // one step for all of it
    QCOMPARE(window->findChild<QAction*>(QStringLiteral("actionTimelineUndo"))->text(),
             QStringLiteral("&Undo Move Research"));

    // The critical path alone, then everything again.
    QAction* criticalOnly = window->findChild<QAction*>(QStringLiteral("actionCriticalOnly"));
    criticalOnly->trigger();
    const QStringList critical = f.rowNames(window);
    QVERIFY2(critical.contains(QStringLiteral("Design")) && !critical.contains(QStringLiteral("Ship")) &&
                 !critical.contains(QStringLiteral("Trip")),
             qPrintable(critical.join(QLatin1Char(','))));
    // On paper the critical frames and links are drawn in their red.
    QImage image(1400, 400, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        const Timeline::Scene paper = Timeline::paperScene(view->scene());
        Timeline::paint(painter, paper, image.size(), 0, paper.scale.x(monday.addDays(-1)));
    }
    int red = 0; // the critical red, also where it is blended into its surroundings
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.red() > 150 && c.green() < 60 && c.blue() < 60;
        }
    QVERIFY2(red > 100, qPrintable(QString::number(red)));
    criticalOnly->trigger();
    QVERIFY(f.rowNames(window).contains(QStringLiteral("Ship")));

    // Undone: every task the drag moved is back, in one step.
    window->findChild<QAction*>(QStringLiteral("actionTimelineUndo"))->trigger();
    QCOMPARE(dates("Research"), day(0) + QLatin1Char(' ') + day(1));
    QCOMPARE(dates("Build"), day(4) + QLatin1Char(' ') + day(8));
    QCOMPARE(dates("Phase"), day(2) + QLatin1Char(' ') + day(8));

    // A link that would close a loop is refused by name.
    linkByDrag("Build", "Research");
    QCOMPARE(f.messages.notices().size(), 1);
    QCOMPARE(f.messages.notices().first(), QStringLiteral("This link would close a loop, so it was not made: "
                                                          "\"Build\" -> \"Research\" -> \"Design\" -> \"Build\"."));

    // Printed with it all.
    const QString pdf = f.env.root() + QStringLiteral("/plan.pdf");
    TimelineWindow::setPreviewer([&](QWidget*, const std::function<void(QPrinter*)>& paint) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        paint(&printer);
    });
    window->findChild<QAction*>(QStringLiteral("actionTimelinePrint"))->trigger();
    TimelineWindow::setPreviewer({});
    QVERIFY(pdfPages(pdf) >= 1);
    QVERIFY(f.messages.errors().isEmpty());
}
