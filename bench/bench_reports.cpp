// Benchmark of the "Open Projects" report with 10,000 projects printed to PDF.
// Prints the query, the layout alone, the full print to PDF (time and pages per second), and a
// floor measured in the same run: the same texts drawn at the same places on a PDF by a bare
// QPainter loop, with no layout, formatting or clipping. Ratios are against that floor.
#include "BenchSupport.h"
#include "app/Database.h"
#include "reports/Report.h"
#include "reports/ReportDesigns.h"
#include "reports/ReportRenderer.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>

#include <sqlite3.h>

#include <cstdio>
#include <string>

namespace {

using Bench::timeMs;

constexpr int projectCount = 10000;

void fillDatabase(const QString& path) {
    Bench::BulkWriter db(path);
    db.exec("insert into Employees (FirstName,LastName) values ('John','Wilson'),('Daniel','Carter')");
    sqlite3_stmt* project =
        db.prepare("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                   "BudgetInDays,Budget) values (?1,?2,?3,'In process','Main Category','High','Notes',?4,5,100)");
    for (int i = 1; i <= projectCount; ++i) {
        // Every tenth name is wider than its column and gets cut at its box.
        std::string name = "Project " + std::to_string((i * 7919) % projectCount);
        if (i % 10 == 0)
            name += " with a name much longer than the column it is printed in";
        const std::string start = "2021-" + std::to_string(10 + i % 3) + "-" + std::to_string(10 + i % 19);
        sqlite3_bind_text(project, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(project, 2, 1 + i % 2);
        sqlite3_bind_text(project, 3, start.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(project, 4, "2022-01-01", -1, SQLITE_STATIC);
        db.run(project);
    }
}

void landscapeLetter(QPdfWriter& writer) {
    writer.setPageSize(QPageSize(QPageSize::Letter));
    writer.setPageOrientation(QPageLayout::Landscape);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
}

// The floor: the texts the report prints, drawn one after another at their places.
double plainDrawingMs(const QVector<Reports::DrawnText>& items, const QString& path) {
    return timeMs([&] {
        QPdfWriter writer(path);
        landscapeLetter(writer);
        QPainter painter(&writer);
        const double scale = writer.logicalDpiX() / 1440.0;
        int page = 1;
        bool bold = false;
        painter.setFont(Reports::ReportFont{}.toQFont());
        for (const Reports::DrawnText& item : items) {
            if (item.page != page) {
                writer.newPage();
                page = item.page;
            }
            if (item.font.bold != bold) {
                bold = item.font.bold;
                painter.setFont(item.font.toQFont());
            }
            painter.drawText(QPointF(item.box.left() * scale, (item.box.top() + 160) * scale), item.text);
        }
    });
}

} // namespace

int main(int argc, char** argv) {
    Bench::Environment env;
    QApplication app(argc, argv);
    const QString path = env.workingDatabase();
    fillDatabase(path);
    Database::shared().open(path);

    const Reports::ReportChoice& choice = Reports::reportChoices().front(); // "Open Projects"
    const QString pdf = env.path() + QStringLiteral("/report.pdf");
    const QString floorPdf = env.path() + QStringLiteral("/floor.pdf");

    const int repeats = 3;
    double query = 1e300, layout = 1e300, print = 1e300, floor = 1e300;
    int pages = 0;
    qint64 pdfBytes = 0;
    for (int i = 0; i < repeats; ++i) {
        Reports::ReportTable rows;
        query = std::min(query,
                         timeMs([&] { rows = Reports::ReportTable::read(choice.query, Reports::boundFieldNames()); }));
        Reports::Report report(choice.create());
        report.setDataSource(&rows);
        report.setOrientation(QPageLayout::Landscape);

        Reports::RecordingSurface recorder(QSizeF(15840, 12240));
        layout = std::min(layout, timeMs([&] { Reports::renderReport(report.design(), rows, recorder); }));

        print = std::min(print, timeMs([&] {
                             QPdfWriter writer(pdf);
                             writer.setPageSize(QPageSize(QPageSize::Letter));
                             pages = report.print(writer);
                         }));
        pdfBytes = QFile(pdf).size();
        floor = std::min(floor, plainDrawingMs(recorder.items(), floorPdf));
    }

    std::printf("Open Projects report: %d projects, %d landscape letter pages, PDF %.1f MiB (best of %d)\n",
                projectCount, pages, static_cast<double>(pdfBytes) / (1024.0 * 1024.0), repeats);
    std::printf("query read into the row table:           %8.1f ms  ratio %.2f\n", query, query / floor);
    std::printf("layout alone (recording surface):        %8.1f ms  ratio %.2f\n", layout, layout / floor);
    std::printf("print to PDF (layout + drawing + file):   %8.1f ms  ratio %.2f  %.1f pages/s\n", print, print / floor,
                pages / (print / 1000.0));
    std::printf("floor: same texts drawn by a bare loop:   %8.1f ms\n", floor);
    Database::shared().close();
    return 0;
}
