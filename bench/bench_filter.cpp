// Benchmark of the filter line with 100,000 projects and 100,000 tasks.
// Prints the floor (a raw SQLite scan of the project view), the plain project list fill, the
// searchable form made once per fill, one keystroke to the refilled lists for several kinds of
// term, and a refill while a filter is on, with each time's ratio to the floor.
#include "BenchSupport.h"
#include "app/Database.h"
#include "find_filter/widgets/FilterLine.h"
#include "main_window/Form1.h"
#include "app/widgets/RecordListModel.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace {

using Bench::timeMs;

constexpr int rowCount = 100000;

void fillDatabase(const QString& path) {
    Bench::BulkWriter db(path);
    db.exec("insert into Employees (FirstName,LastName) values ('John','Wilson'),('Daniel','Carter'),"
            "('Zoë','Ørsted'),('Ana','Müller')");
    sqlite3_stmt* project =
        db.prepare("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                   "BudgetInDays,Budget) values (?1,?2,?3,?4,'Main Category','High','Notes here',?5,?6,?7)");
    sqlite3_stmt* task =
        db.prepare("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,"
                   "AssignedTo,Description,StartDate,DueDate) values (?1,?2,'Low',?3,?4,2,50,?5,?6,"
                   "'2026-08-31',?7)");
    const char* statuses[] = {"In process", "Cancelled", "Open"};
    for (int i = 1; i <= rowCount; ++i) {
        const std::string name = (i % 10 == 0 ? "Café " : "Project ") + std::to_string((i * 7919) % rowCount);
        const std::string start = "2026-" + std::to_string(10 + i % 3) + "-" + std::to_string(10 + i % 19);
        const std::string end = "2027-0" + std::to_string(1 + i % 9) + "-15";
        sqlite3_bind_text(project, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(project, 2, 1 + i % 4);
        sqlite3_bind_text(project, 3, start.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(project, 4, statuses[i % 3], -1, SQLITE_STATIC);
        sqlite3_bind_text(project, 5, end.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(project, 6, i % 50);
        sqlite3_bind_double(project, 7, (i * 37) % 100000 / 4.0);
        db.run(project);
        const std::string title = (i % 3 ? "Review step " : "Order part ") + std::to_string(i);
        const std::string description = "Notes on task " + std::to_string(i) + " for the weekly meeting";
        const std::string due = "2026-" + std::to_string(10 + i % 3) + "-" + std::to_string(10 + i % 19);
        sqlite3_bind_int(task, 1, 1 + (i * 7) % rowCount);
        sqlite3_bind_text(task, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(task, 3, i % 4 ? "Open" : "Done", -1, SQLITE_STATIC);
        sqlite3_bind_int(task, 4, i % 500);
        sqlite3_bind_int(task, 5, 1 + (i / 3) % 4);
        sqlite3_bind_text(task, 6, description.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(task, 7, due.c_str(), -1, SQLITE_TRANSIENT);
        db.run(task);
    }
}

// A query typed up to its last key; the last key is what a keystroke costs.
struct Keystroke {
    const char* label;
    const char* text;
};

constexpr Keystroke keystrokes[] = {
    {"free word, matched in projects", "cafe 12"},
    {"free word, matched in tasks", "order part 4242"},
    {"owner and an excluded word", "owner:wilson -cancelled"},
    {"number comparison", "budget>24000"},
    {"date comparison", "start<2026-10-12"},
    {"task: term", "task:status:done"},
};

} // namespace

int main(int argc, char** argv) {
    Bench::Environment env;
    QApplication app(argc, argv);
    const QString path = env.workingDatabase();
    fillDatabase(path);

    Form1 form;
    form.Form_Load();       // fills both lists once (warm-up and start-up)
    Bench::rawScanMs(path); // warm the page cache
    auto* line = form.findChild<FindFilter::FilterLine*>(QStringLiteral("FilterLine"));
    form.findChild<QAction*>(QStringLiteral("actionFind"))->trigger();

    const int repeats = 5;
    double floor = 1e300, fill = 1e300, index = 1e300, refill = 1e300;
    std::vector<double> keys(std::size(keystrokes), 1e300);
    std::vector<int> shown(std::size(keystrokes), 0);
    for (int i = 0; i < repeats; ++i) {
        floor = std::min(floor, Bench::rawScanMs(path));
        line->clear();
        fill = std::min(fill, timeMs([&] {
                            form.ListData();
                            form.projectModel()->ensureComplete();
                        }));
        // Once per fill (on Ctrl+F or the first key): the searchable form of the rows and all tasks.
        index = std::min(index, timeMs([&] { line->setText(QStringLiteral("c")); }));
        for (size_t k = 0; k < std::size(keystrokes); ++k) {
            const QString text = QString::fromUtf8(keystrokes[k].text);
            line->setText(text.chopped(1));
            keys[k] = std::min(keys[k], timeMs([&] { line->setText(text); }));
            shown[k] = form.projectModel()->rowCount();
        }
        refill = std::min(refill, timeMs([&] {
                              form.ListData();
                              form.projectModel()->ensureComplete();
                          }));
    }

    std::printf("rows: %d projects, %d tasks (best of %d)\n", rowCount, rowCount, repeats);
    std::printf("raw SQLite scan of [Open Projects] (floor):    %8.1f ms\n", floor);
    std::printf("ListData fill, no filter:                      %8.1f ms  ratio %.2f\n", fill, fill / floor);
    std::printf("searchable form, made once per fill:           %8.1f ms  ratio %.2f\n", index, index / floor);
    for (size_t k = 0; k < std::size(keystrokes); ++k)
        std::printf("one keystroke, %-32s %8.1f ms  ratio %.2f  (%d shown)\n", keystrokes[k].label, keys[k],
                    keys[k] / floor, shown[k]);
    std::printf("ListData refill with a filter on:              %8.1f ms  ratio %.2f\n", refill, refill / floor);
    Database::shared().close();
    return 0;
}
