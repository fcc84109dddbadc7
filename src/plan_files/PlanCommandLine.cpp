#include "PlanCommandLine.h"

#include "PlanExport.h"
#include "PlanImport.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/DatabaseChoice.h"
#include "app/DbError.h"
#include "csv_exchange/TableExport.h"

#include <QFileInfo>

#include <cstdio>

namespace PlanCommandLine {

namespace {

int failed(const QString& message) {
    std::fprintf(stderr, "fennick-planner: %s\n", message.toLocal8Bit().constData());
    return 1;
}

void openChosenDatabase() {
    DataStore::makeCompanyFolder();
    DataStore::makeDataFolder();
    DataStore::copyTemplateIfMissing();
    Database::shared().open(DatabaseChoice::chosen());
}

} // namespace

int importPlan(const QString& path, bool eventsAsTasks) {
    PlanFiles::PlanFile plan;
    QString error;
    if (!PlanImport::readFile(path, plan, &error, eventsAsTasks))
        return failed(error);
    try {
        openChosenDatabase();
        // What the window's preview shows before an import is said here after it (on standard
        // error: standard output is the new project's ID alone, for scripts).
        const PlanImport::Preview preview = PlanImport::preview(plan);
        const qint64 id = PlanImport::write(plan, plan.projectName, plan.owner);
        Database::shared().close();
        const QString name = QFileInfo(path).fileName();
        for (const PlanImport::Difference& d : preview.differences)
            std::fprintf(stderr, "fennick-planner: %s\n",
                         QStringLiteral("%1: \"%2\" is planned %3 to %4 on this database's working days (the file "
                                        "says %5 to %6).")
                             .arg(name, d.task, d.start.toString(Qt::ISODate), d.finish.toString(Qt::ISODate),
                                  d.fileStart.toString(Qt::ISODate), d.fileFinish.toString(Qt::ISODate))
                             .toLocal8Bit()
                             .constData());
        for (const QString& note : preview.notKept)
            std::fprintf(stderr, "fennick-planner: %s: not kept: %s\n", name.toLocal8Bit().constData(),
                         note.toLocal8Bit().constData());
        std::printf("%lld\n", static_cast<long long>(id));
        return 0;
    } catch (const DbError& e) {
        return failed(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), e.description()));
    }
}

int exportPlan(const QString& path, const QString& project) {
    bool ok = false;
    const qint64 id = project.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0 ? 0 : project.toLongLong(&ok);
    if (id == 0 && project.compare(QLatin1String("all"), Qt::CaseInsensitive) != 0)
        return failed(QStringLiteral("--export needs --project with a project's ID, or all."));
    try {
        openChosenDatabase();
        QString error;
        bool written = false;
        if (QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
            CsvTable table = TableExport::read(TableExport::Table::Tasks);
            const qsizetype column = table.header.indexOf(QStringLiteral("ProjectID"));
            if (id && column >= 0)
                std::erase_if(table.rows, [&](const QStringList& row) { return row.value(column).toLongLong() != id; });
            written = Csv::writeFile(path, table, &error);
        } else {
            written = PlanExport::writeFile(path, id, &error);
        }
        Database::shared().close();
        return written ? 0 : failed(error);
    } catch (const DbError& e) {
        return failed(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), e.description()));
    }
}

} // namespace PlanCommandLine
