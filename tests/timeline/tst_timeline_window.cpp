// The timeline window driven as a user drives it: opened from the main window over the example
// data, a bar dragged and the move undone, the editors opened by a double-click, the main
// window's changes followed, and the timeline printed and exported.
#include "app/Database.h"
#include "app/widgets/RecordListModel.h"
#include "editors/LookupEditor.h"
#include "main_window/Form1.h"
#include "scheduling/PlanStore.h"
#include "scheduling/Scheduler.h"
#include "support/TestSupport.h"
#include "timeline/TimelineData.h"
#include "timeline/TimelineOutput.h"
#include "timeline/TimelinePainter.h"
#include "timeline/TimelineView.h"
#include "timeline/TimelineWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QUndoStack>
#include <QtTest>

#include <sqlite3.h>

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
    QCOMPARE(taskDates("Trip"), iso(shorter.first) + QLatin1Char('|') + iso(shorter.second));
    // A project moves the same way, through the project editor's update.
    f.drag(window, QStringLiteral("Testing"), 3);
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select StartDate, EndDate from Projects where ProjectName="
                                                  "'Testing'")),
             QStringList{iso(today.addDays(3)) + QLatin1Char('|') + iso(today.addDays(3))});

    // Ctrl+Z takes the moves back one by one; redo does them again.
    window->activateWindow();
    QAction* undo = window->findChild<QAction*>(QStringLiteral("actionTimelineUndo"));
    QCOMPARE(window->undoStack()->count(), 3);
    undo->trigger();
    QCOMPARE(TestEnvironment::rows(QStringLiteral("select StartDate from Projects where ProjectName='Testing'")),
             QStringList{iso(today)});
    undo->trigger();
    undo->trigger();
    QCOMPARE(taskDates("Trip"), before);
    window->findChild<QAction*>(QStringLiteral("actionTimelineRedo"))->trigger();
    QCOMPARE(taskDates("Trip"), movedDates);
    QVERIFY(f.messages.shown().empty());

    // Dates changed since the move (in an editor, by someone else) are not undone over.
    const QString edited = iso(today.addDays(20));
    TestEnvironment::exec(QStringLiteral("update Tasks set DueDate='%1' where Title='Trip'").arg(edited));
    undo->trigger();
    QCOMPARE(taskDates("Trip"), iso(moved.first) + QLatin1Char('|') + edited);
    QCOMPARE(f.messages.notices().size(), 1);
    QVERIFY(f.messages.notices().first().contains(QLatin1String("changed after the move")));
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
    const QDate monday = today.addDays(8 - today.dayOfWeek());
    auto day = [&](int n) { return iso(monday.addDays(n)); };
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
    const QDate monday = today.addDays(8 - today.dayOfWeek());
    auto day = [&](int n) { return iso(monday.addDays(n)); };
    TestEnvironment::exec(
        QStringLiteral("update Tasks set StartDate='%1', DueDate='%2' where Title='Research'").arg(day(1), day(4)));
    TestEnvironment::exec(QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,"
                                         "PercentComplete,AssignedTo,Description,StartDate,DueDate) select ProjectID,"
                                         "'Report',Priority,Status,0,0,0,AssignedTo,'','%1','%2' from Tasks where "
                                         "Title='Research'")
                              .arg(day(7), day(8)));
    TestEnvironment::exec(QStringLiteral("insert into TaskLinks (PredecessorID, SuccessorID) select r.ID, p.ID "
                                         "from Tasks r, Tasks p where r.Title='Research' and p.Title='Report'"));
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
    f.drag(window, shownAs, 2);
    QCOMPARE(f.messages.notices(), QStringList{message});
    QVERIFY(f.messages.errors().isEmpty());
    QCOMPARE(TestEnvironment::rows(dates), before);
    QCOMPARE(window->undoStack()->count(), 0);
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
    // From the handle after one bar's end to the first part of the other bar.
    auto linkByDrag = [&](const char* from, const char* to) {
        const int fromRow = f.rowNamed(window, QLatin1String(from)), toRow = f.rowNamed(window, QLatin1String(to));
        view->scrollToRow(fromRow);
        const QPoint handle = Timeline::linkHandle(QRectF(view->barRectOf(fromRow)), true).toPoint();
        const QRect target = view->barRectOf(toRow);
        QVERIFY(!target.isEmpty());
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, handle);
        QTest::mouseMove(view->viewport(), target.center());
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(target.left() + 2, target.center().y()));
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
    const int undoSteps = window->undoStack()->count();
    f.drag(window, QStringLiteral("Research"), 2);
    QCOMPARE(dates("Research"), day(2) + QLatin1Char(' ') + day(3));
    QCOMPARE(dates("Design"), day(4) + QLatin1Char(' ') + day(7));
    QCOMPARE(dates("Build"), day(8) + QLatin1Char(' ') + day(10));
    QCOMPARE(dates("Phase"), day(4) + QLatin1Char(' ') + day(10));
    QCOMPARE(window->undoStack()->count(), undoSteps + 1); // one step for all of it

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
