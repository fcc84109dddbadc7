// Benchmark of the timeline window with 100,000 projects and 100,000 tasks.
// Prints the time to paint one screenful with everything loaded against the same with 100
// projects (only what is visible may cost), and the time to open the window against the project
// list fill that the window's rows come from.
#include "BenchSupport.h"
#include "app/Database.h"
#include "main_window/Form1.h"
#include "app/widgets/RecordListModel.h"
#include "timeline/TimelineCommands.h"
#include "timeline/TimelineData.h"
#include "timeline/TimelineView.h"
#include "timeline/TimelineWindow.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace {

using Bench::timeMs;

constexpr int rowCount = 100000;

std::string isoDate(int dayOffset) {
    const QDate d = QDate::currentDate().addDays(dayOffset);
    return d.toString(Qt::ISODate).toStdString();
}

void fillDatabase(const QString& path) {
    Bench::BulkWriter db(path);
    db.exec("insert into Employees (FirstName,LastName) values ('John','Wilson'),('Daniel','Carter')");
    sqlite3_stmt* project =
        db.prepare("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                   "BudgetInDays,Budget) values (?1,?2,?3,?4,'Main Category','High','Notes here',?5,5,100)");
    sqlite3_stmt* task =
        db.prepare("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,"
                   "AssignedTo,Description,StartDate,DueDate) values (?1,?2,'Low','Open',10,2,?3,1,"
                   "'Description',?4,?5)");
    const char* statuses[] = {"Open", "In process", "Closed", "Cancelled"};
    for (int i = 1; i <= rowCount; ++i) {
        // Projects spread over two years around today, a few weeks long each.
        const int start = (i * 37) % 730 - 365;
        const std::string name = "Project " + std::to_string(i);
        const std::string from = isoDate(start), to = isoDate(start + 10 + i % 40);
        sqlite3_bind_text(project, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(project, 2, 1 + i % 2);
        sqlite3_bind_text(project, 3, from.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(project, 4, statuses[i % 4], -1, SQLITE_STATIC);
        sqlite3_bind_text(project, 5, to.c_str(), -1, SQLITE_TRANSIENT);
        db.run(project);
        const std::string title = "Task " + std::to_string(i);
        const std::string due = isoDate(start + 5 + i % 9);
        sqlite3_bind_int(task, 1, i);
        sqlite3_bind_text(task, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(task, 3, (i * 13) % 101);
        sqlite3_bind_text(task, 4, from.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(task, 5, due.c_str(), -1, SQLITE_TRANSIENT);
        db.run(task);
    }
}

// One screenful painted as the window paints its chart, best of `repeats`.
double paintMs(Timeline::TimelineView* view, int repeats) {
    QImage image(view->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        best = std::min(best, timeMs([&] {
                            QPainter painter(&image);
                            Timeline::paint(painter, view->scene(), image.size(), view->firstRow(), view->chartX());
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
    form.Form_Load(); // fills both lists once (warm-up and start-up)

    const int repeats = 5;
    double fill = 1e300, open = 1e300;
    for (int i = 0; i < repeats; ++i) {
        fill = std::min(fill, timeMs([&] {
                            form.ListData();
                            form.projectModel()->ensureComplete();
                        }));
        open = std::min(open, timeMs([&] { Timeline::openWindow(form.port()); }));
        delete Timeline::openedWindow();
    }

    // Where the opening time goes.
    double rawTasks = 1e300, readTasks = 1e300, projects = 1e300, attach = 1e300, rows = 1e300, legend = 1e300;
    for (int i = 0; i < repeats; ++i) {
        std::vector<Timeline::Item> tasks;
        Timeline::Data data;
        rawTasks = std::min(rawTasks, Bench::rawScanMs(path, "select ID,ProjectID,Title,AssignedTo,Status,Priority,"
                                                             "PercentComplete,StartDate,DueDate from Tasks"));
        readTasks = std::min(readTasks, timeMs([&] { tasks = Timeline::readAllTasks(); }));
        projects =
            std::min(projects, timeMs([&] { data.projects = Timeline::projectsFromList(*form.projectModel()); }));
        attach = std::min(attach, timeMs([&] { Timeline::attachTasks(data, std::move(tasks)); }));
        rows = std::min(rows, timeMs([&] { Timeline::buildRows(data, {}); }));
        legend = std::min(legend, timeMs([&] { Timeline::legendKeys(data, Timeline::ColourBy::Status); }));
    }

    Timeline::TimelineWindow* window = Timeline::openWindow(form.port());
    window->resize(1280, 800);
    QApplication::processEvents();
    Timeline::TimelineView* view = window->view();
    const size_t bigRows = view->rows().size();
    // A screenful in the middle of the rows, around today.
    view->verticalScrollBar()->setValue(static_cast<int>(bigRows / 2));
    view->goToToday();
    const double big = paintMs(view, 20);

    // The same window over 100 projects and their tasks: those of the screenful just painted and
    // the ones after them, so that the same bars are painted again.
    const qint64 firstShown =
        Timeline::itemOf(view->data(), view->rows()[static_cast<size_t>(view->firstRow())]).projectId;
    Database::shared().execute(
        QStringLiteral("delete from Projects where ID<%1 or ID>=%2").arg(firstShown).arg(firstShown + 100));
    form.ListData();
    view->verticalScrollBar()->setValue(0);
    view->goToToday();
    const size_t smallRows = view->rows().size();
    const double small = paintMs(view, 20);

    std::printf("rows: %d projects, %d tasks (best of %d opens, 20 paints)\n", rowCount, rowCount, repeats);
    std::printf("project list fill (ListData, baseline):           %8.1f ms\n", fill);
    std::printf("opening the timeline window:                      %8.1f ms  ratio %.2f\n", open, open / fill);
    std::printf("  of which: one query over all tasks              %8.1f ms\n", readTasks);
    std::printf("            (raw SQLite scan of that query)       %8.1f ms\n", rawTasks);
    std::printf("            projects from the list                %8.1f ms\n", projects);
    std::printf("            tasks to their projects               %8.1f ms\n", attach);
    std::printf("            rows                                  %8.1f ms\n", rows);
    std::printf("            legend                                %8.1f ms\n", legend);
    std::printf("painting a %dx%d screenful, %zu rows loaded:   %8.2f ms\n", view->viewport()->width(),
                view->viewport()->height(), bigRows, big);
    std::printf("painting the same screenful, %zu rows loaded:     %8.2f ms  ratio %.2f (big/small)\n", smallRows,
                small, big / small);
    std::printf("frame budget at 60 Hz:                            %8.2f ms  (big paint uses %.0f %%)\n", 1000.0 / 60,
                big / (1000.0 / 60) * 100);
    Database::shared().close();
    return 0;
}
