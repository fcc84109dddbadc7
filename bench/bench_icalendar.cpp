// Benchmark of iCalendar files: a project of 10,000 tasks exported as to-dos and a calendar of
// 10,000 to-dos imported as a new project, against the CSV export and import of the same tasks
// measured in the same run (limit: 2 times). Every figure is checked: the files read back, the
// rows written.
#include "BenchSupport.h"
#include "app/Database.h"
#include "csv_exchange/Csv.h"
#include "csv_exchange/TableExport.h"
#include "csv_exchange/TableImport.h"
#include "plan_files/PlanExport.h"
#include "plan_files/PlanImport.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

using Bench::check;
using Bench::timeMs;

constexpr int taskCount = 10000;
const QDate base(2027, 1, 4); // a Monday

PlanFiles::PlanFile plan() {
    PlanFiles::PlanFile p;
    p.format = QStringLiteral("bench");
    p.resources << QStringLiteral("Ann Bench");
    for (int i = 1; i <= taskCount; ++i) {
        PlanFiles::FileTask t;
        t.key = QString::number(i);
        t.name = QStringLiteral("Task %1 of the calendar benchmark").arg(i);
        t.notes = QStringLiteral("Notes of task %1, with a comma; and a semicolon").arg(i);
        t.start = t.finish = t.startNoEarlierThan = base.addDays(i / 5 * 7 + i % 5);
        t.percentComplete = i % 101;
        t.assignee = QStringLiteral("Ann Bench"); // a CSV task row needs someone assigned
        p.tasks.append(t);
    }
    return p;
}

int taskRows() {
    return Database::shared().query(QStringLiteral("select count(*) from Tasks")).value(0).toInt();
}

} // namespace

int main(int argc, char** argv) {
    Bench::Environment env;
    QCoreApplication app(argc, argv);
    const QString path = env.workingDatabase();
    Database::shared().open(path);
    const qint64 project = PlanImport::write(plan(), QStringLiteral("Bench"), QString());
    const QString ics = env.path() + QStringLiteral("/bench.ics");
    const QString csv = env.path() + QStringLiteral("/bench.csv");
    const int repeats = 3;
    double icsOut = 1e300, csvOut = 1e300, icsIn = 1e300, csvIn = 1e300;
    for (int i = 0; i < repeats; ++i) {
        QString error;
        icsOut = std::min(icsOut, timeMs([&] {
                              check(PlanExport::writeFile(ics, project, &error), "ics export", error.toStdString());
                          }));
        csvOut = std::min(csvOut, timeMs([&] {
                              CsvTable table = TableExport::read(TableExport::Table::Tasks);
                              const qsizetype column = table.header.indexOf(QStringLiteral("ProjectID"));
                              std::erase_if(table.rows, [&](const QStringList& row) {
                                  return row.value(column).toLongLong() != project;
                              });
                              check(Csv::writeFile(csv, table, &error), "csv export", error.toStdString());
                          }));
    }
    // The CSV import adds its rows to the project they came from: the files are written first.
    for (int i = 0; i < repeats; ++i) {
        QString error;
        const int before = taskRows();
        icsIn = std::min(icsIn, timeMs([&] {
                             PlanFiles::PlanFile back;
                             check(PlanImport::readFile(ics, back, &error), "ics read", error.toStdString());
                             PlanImport::write(back, back.projectName, QString());
                         }));
        check(taskRows() == before + taskCount, "ics import",
              QStringLiteral("%1 to-dos became tasks").arg(taskRows() - before).toStdString());
        csvIn = std::min(csvIn, timeMs([&] {
                             const CsvReadResult read = Csv::readFile(csv);
                             check(read.ok, "csv read", read.error.toStdString());
                             ImportBatch batch;
                             batch.add(csv, ImportKind::Tasks, read.table);
                             batch.check();
                             if (batch.rowsToAdd() != taskCount)
                                 std::printf("%s %s\n", qPrintable(batch.summary()),
                                             batch.files().front().refused.empty()
                                                 ? ""
                                                 : qPrintable(batch.files().front().refused.front().reason));
                             const ImportBatch::Outcome outcome = batch.apply();
                             check(outcome.ok, "csv import", outcome.message.toStdString());
                         }));
        check(taskRows() == before + 2 * taskCount, "csv import",
              QStringLiteral("%1 rows became tasks").arg(taskRows() - before - taskCount).toStdString());
    }
    std::printf("%d to-dos (best of %d)\n", taskCount, repeats);
    std::printf("CSV export of the tasks (baseline):   %8.1f ms\n", csvOut);
    std::printf("iCalendar export:                     %8.1f ms  ratio %.2f (limit 2)\n", icsOut, icsOut / csvOut);
    std::printf("CSV import of the tasks (baseline):   %8.1f ms\n", csvIn);
    std::printf("iCalendar import:                     %8.1f ms  ratio %.2f (limit 2)\n", icsIn, icsIn / csvIn);
    Database::shared().close();
    return 0;
}
