// Benchmark of the main window's lists with 100,000 projects and 100,000 tasks.
// Prints the floor (a raw SQLite scan of the project view), the project list fill, one header-click
// sort and the memory the filled list holds, with each time's ratio to the floor.
#include "BenchSupport.h"
#include "app/Database.h"
#include "app/Messages.h"
#include "main_window/Form1.h"
#include "main_window/RecordListModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>

#include <sqlite3.h>

#include <cstdio>

namespace {

using Bench::timeMs;

constexpr int rowCount = 100000;

void fillDatabase(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "insert into Employees (FirstName,LastName) values ('John','Wilson'),('Daniel','Carter')", nullptr,
                 nullptr, nullptr);
    sqlite3_stmt* project = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                       "BudgetInDays,Budget) values (?1,?2,?3,'In process','Main Category','High','Notes here',?4,"
                       "?5,?6)",
                       -1, &project, nullptr);
    sqlite3_stmt* task = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,"
                       "AssignedTo,Description,StartDate,DueDate) values (?1,?2,'Low','Open',?3,2,50,1,"
                       "'Description','2021-08-31','2021-09-30')",
                       -1, &task, nullptr);
    for (int i = 1; i <= rowCount; ++i) {
        const std::string name = "Project " + std::to_string((i * 7919) % rowCount);
        const std::string start = "2021-" + std::to_string(10 + i % 3) + "-" + std::to_string(10 + i % 19);
        sqlite3_bind_text(project, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(project, 2, 1 + i % 2);
        sqlite3_bind_text(project, 3, start.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(project, 4, "2022-01-01", -1, SQLITE_STATIC);
        sqlite3_bind_int(project, 5, i % 50);
        sqlite3_bind_double(project, 6, (i * 37) % 100000 / 4.0);
        sqlite3_step(project);
        sqlite3_reset(project);
        const std::string title = "Task " + std::to_string(i);
        sqlite3_bind_int(task, 1, 1 + i % 1000);
        sqlite3_bind_text(task, 2, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(task, 3, i % 500);
        sqlite3_step(task);
        sqlite3_reset(task);
    }
    sqlite3_finalize(project);
    sqlite3_finalize(task);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The floor: every column of every row of the project view read once through SQLite's own API.
double rawScanMs(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "select * from [Open Projects]", -1, &stmt, nullptr);
    long long bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            bytes += sqlite3_column_bytes(stmt, c) + (sqlite3_column_text(stmt, c) ? 1 : 0);
    }
    sqlite3_finalize(stmt);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    sqlite3_close(db);
    if (bytes == 0)
        std::printf("(empty scan)\n");
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    Bench::Environment env;
    QApplication app(argc, argv);
    const QString path = env.workingDatabase();
    fillDatabase(path);

    Form1 form;
    form.Form_Load(); // fills both lists once (warm-up and start-up)
    rawScanMs(path);  // warm the page cache

    const int repeats = 5;
    double floor = 1e300, fill = 1e300, sort = 1e300;
    for (int i = 0; i < repeats; ++i) {
        floor = std::min(floor, rawScanMs(path));
        fill = std::min(fill, timeMs([&] { form.ListData(); }));
        // Alternate columns so every pass is a real sort from another order.
        sort = std::min(sort, timeMs([&] { Form1::headerClick(form.ListView1, i % 2 ? 2 : 9); }));
    }

    // Memory the list holds: the cell texts with their string headers.
    double textBytes = 0;
    const RecordListModel* model = form.projectModel();
    for (int r = 0; r < model->rowCount(); ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            textBytes += sizeof(QString);
    // Each distinct text block once (cells of one text share it).
    QSet<const void*> blocks;
    for (int r = 0; r < model->rowCount(); ++r)
        for (int c = 0; c < model->columnCount(); ++c) {
            const QString& cell = model->rawCell(r, c);
            if (!cell.isEmpty() && !blocks.contains(cell.constData())) {
                blocks.insert(cell.constData());
                textBytes += 24 + 2.0 * static_cast<double>(cell.capacity());
            }
        }

    std::printf("rows: %d projects, %d tasks (best of %d)\n", rowCount, rowCount, repeats);
    std::printf("raw SQLite scan of [Open Projects] (floor): %8.1f ms\n", floor);
    std::printf("ListData fill of the project list:          %8.1f ms  ratio %.2f\n", fill, fill / floor);
    std::printf("one header-click sort:                      %8.1f ms  ratio %.2f\n", sort, sort / floor);
    std::printf("memory held by the filled list:             %8.1f MiB\n", textBytes / (1024.0 * 1024.0));
    Database::shared().close();
    return 0;
}
