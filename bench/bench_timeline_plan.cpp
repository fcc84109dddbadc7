// Benchmark of the timeline with a plan. 1,000 projects of 100 tasks each (100,000 tasks): the
// window opened and painted without links, then with 197,000 links (each task linked to the two
// after it), as a ratio. Then a drag in the timeline of the first task of a chain of 1,001 tasks
// that moves its 1,000 successors: saved and repainted, against a raw scan of the task table.
// Every figure is checked: the links are there and drawn, the successors moved.
#include "BenchSupport.h"
#include "app/Database.h"
#include "app/UndoSteps.h"
#include "app/widgets/RecordListModel.h"
#include "main_window/Form1.h"
#include "scheduling/WorkCalendar.h"
#include "timeline/TimelineCommands.h"
#include "timeline/TimelineView.h"
#include "timeline/TimelineWindow.h"

#include <QApplication>

#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace {

using Bench::check;
using Bench::timeMs;

constexpr int projectCount = 1000;
constexpr int tasksPerProject = 100;
const QDate base(2027, 1, 4); // a Monday

qint64 taskId(int project, int n) {
    return static_cast<qint64>(project) * tasksPerProject + n + 1;
}

void fillDatabase(const QString& path) {
    Bench::BulkWriter db(path);
    db.exec("insert into Employees (FirstName,LastName) values ('John','Wilson')");
    sqlite3_stmt* project =
        db.prepare("insert into Projects (ID,ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                   "BudgetInDays,Budget) values (?1,?2,1,?3,'Open','Main Category','High','',?4,5,100)");
    sqlite3_stmt* task = db.prepare("insert into Tasks (ID,ProjectID,Title,Priority,Status,Cost,CostInDays,"
                                    "PercentComplete,AssignedTo,Description,StartDate,DueDate) values "
                                    "(?1,?2,?3,'Low','Open',10,2,0,1,'',?4,?5)");
    const std::string first = base.toString(Qt::ISODate).toStdString();
    const std::string last = base.addDays(tasksPerProject + 10).toString(Qt::ISODate).toStdString();
    for (int p = 0; p < projectCount; ++p) {
        const std::string name = "Project " + std::to_string(p + 1);
        sqlite3_bind_int(project, 1, p + 1);
        sqlite3_bind_text(project, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(project, 3, first.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(project, 4, last.c_str(), -1, SQLITE_TRANSIENT);
        db.run(project);
        for (int n = 0; n < tasksPerProject; ++n) {
            const std::string title = "Task " + std::to_string(n + 1);
            const std::string from = base.addDays(n).toString(Qt::ISODate).toStdString();
            const std::string to = base.addDays(n + 2).toString(Qt::ISODate).toStdString();
            sqlite3_bind_int64(task, 1, taskId(p, n));
            sqlite3_bind_int(task, 2, p + 1);
            sqlite3_bind_text(task, 3, title.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(task, 4, from.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(task, 5, to.c_str(), -1, SQLITE_TRANSIENT);
            db.run(task);
        }
    }
}

// Each task linked finish-to-start to the next one and the one after it, within its project.
int addLinks(const QString& path) {
    Bench::BulkWriter db(path);
    sqlite3_stmt* link = db.prepare("insert into TaskLinks (PredecessorID, SuccessorID) values (?,?)");
    int count = 0;
    for (int p = 0; p < projectCount; ++p)
        for (int n = 0; n < tasksPerProject; ++n)
            for (int step : {1, 2})
                if (n + step < tasksPerProject) {
                    sqlite3_bind_int64(link, 1, taskId(p, n));
                    sqlite3_bind_int64(link, 2, taskId(p, n + step));
                    db.run(link);
                    ++count;
                }
    return count;
}

// A chain of one-day tasks in a project of its own, each linked to the one before; returns the
// first task's ID.
qint64 addChain(const QString& path, int length, const WorkCalendar& calendar) {
    Bench::BulkWriter db(path);
    db.exec("insert into Projects (ID, ProjectName, Owner, StartDate, EndDate) values (1000000, 'Chain', 1, "
            "'2027-01-04', '2030-01-01')");
    sqlite3_stmt* task = db.prepare("insert into Tasks (ID, ProjectID, Title, StartDate, DueDate) values "
                                    "(?,1000000,'link',?,?)");
    sqlite3_stmt* link = db.prepare("insert into TaskLinks (PredecessorID, SuccessorID) values (?,?)");
    const qint64 first = 10000000;
    for (int i = 0; i < length; ++i) {
        const QByteArray day = calendar.addWorkingDays(base, i).toString(Qt::ISODate).toLatin1();
        sqlite3_bind_int64(task, 1, first + i);
        sqlite3_bind_text(task, 2, day.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(task, 3, day.constData(), -1, SQLITE_TRANSIENT);
        db.run(task);
        if (i > 0) {
            sqlite3_bind_int64(link, 1, first + i - 1);
            sqlite3_bind_int64(link, 2, first + i);
            db.run(link);
        }
    }
    return first;
}

// Opening the window and painting it, best of `repeats`; leaves the window open.
double openMs(Form1& form, int repeats) {
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        delete Timeline::openedWindow();
        best = std::min(best, timeMs([&] {
                            Timeline::TimelineWindow* window = Timeline::openWindow(form.port());
                            window->view()->viewport()->repaint();
                        }));
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    Bench::Environment env;
    QApplication app(argc, argv);
    const QString path = env.workingDatabase();
    fillDatabase(path);

    Form1 form;
    form.Form_Load();
    form.projectModel()->ensureComplete();
    form.resize(1280, 800);
    const int repeats = 5;
    const double plain = openMs(form, repeats);
    check(Timeline::openedWindow()->view()->data().tasks.size() == projectCount * tasksPerProject, "opening",
          "not every task was read");

    const int links = addLinks(path);
    form.ListData();
    form.projectModel()->ensureComplete();
    const double linked = openMs(form, repeats);
    const Timeline::Data& data = Timeline::openedWindow()->view()->data();
    check(data.mayHaveLinks && data.linkCount(0) == 2 * tasksPerProject - 3, "opening with links",
          "the links in view were not read");
    check(data.tasks[static_cast<size_t>(data.order[0])].scheduled, "opening with links",
          "the tasks in view have no slack");

    const WorkCalendar weekdays;
    const qint64 first = addChain(path, 1001, weekdays);
    form.ListData();
    form.projectModel()->ensureComplete();
    Timeline::TimelineWindow* window = Timeline::openWindow(form.port());
    Timeline::TimelineView* view = window->view();
    double floor = 1e300;
    for (int i = 0; i < repeats; ++i)
        floor = std::min(floor, Bench::rawScanMs(path, "select * from Tasks"));
    double drag = 1e300;
    const int stepsBefore = UndoSteps::shared().depth();
    for (int i = 1; i <= repeats; ++i) {
        const QDate start = weekdays.addWorkingDays(base, 5 * i);
        drag = std::min(drag, timeMs([&] {
                            emit view->moveRequested(true, first, start, start);
                            view->viewport()->repaint();
                        }));
        // The last of the chain moved, in the database and in the window.
        const QDate last = weekdays.addWorkingDays(start, 1000);
        ResultSet rs = Database::shared().query(QStringLiteral("select StartDate from Tasks where ID=") +
                                                QString::number(first + 1000));
        check(rs.rawText(0) == last.toString(Qt::ISODate), "the drag", "the successors did not follow");
        const int row = view->rowOf(true, first + 1000);
        check(row >= 0 && view->itemAt(row).start == last, "the drag", "the window does not show the move");
    }
    check(UndoSteps::shared().depth() == stepsBefore + repeats, "the drag", "each drag is not one undo step");

    std::printf("%d tasks in %d projects (best of %d)\n", projectCount * tasksPerProject, projectCount, repeats);
    std::printf("opening and painting the timeline, no links:     %8.1f ms\n", plain);
    std::printf("the same with %d links:                      %8.1f ms  ratio %.2f (limit 1.1)\n", links, linked,
                linked / plain);
    std::printf("raw scan of the task table (select * from Tasks): %8.1f ms\n", floor);
    std::printf("a drag moving 1,000 successors, saved, repainted: %8.1f ms  ratio %.2f (limit 1)\n", drag,
                drag / floor);
    Database::shared().close();
    return 0;
}
