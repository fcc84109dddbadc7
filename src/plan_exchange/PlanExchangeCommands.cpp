#include "PlanExchangeCommands.h"

#include "PlanPreviewDialog.h"
#include "app/Database.h"
#include "app/DbError.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/UndoSteps.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"
#include "plan_files/ICalendar.h"
#include "plan_files/PlanExport.h"
#include "plan_files/PlanImport.h"

#include <QAction>
#include <QFile>
#include <QRegularExpression>
#include <QWidget>

namespace PlanExchange {

namespace {
const QString windowName = QStringLiteral("Form1");

// How many events an iCalendar file holds (0 for any other file).
int eventCount(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > PlanImport::maxFileBytes ||
        !PlanFiles::looksLikeICalendar(file.peek(1024)))
        return 0;
    return static_cast<int>(file.readAll().toUpper().count("\nBEGIN:VEVENT"));
}
} // namespace

void importPlan(PlannerWindow& planner) {
    ErrorTrap trap(windowName, QStringLiteral("actionImportPlan_Click"));
    Messages& messages = Messages::current();
    const QString path =
        messages
            .openFileNames(QStringLiteral("Import Plan"),
                           QStringLiteral("Plans (*.xml *.gan *.planner *.ics);;MS Project XML (*.xml);;GanttProject "
                                          "(*.gan);;GNOME Planner (*.planner);;iCalendar (*.ics)"),
                           false)
            .value(0);
    if (path.isEmpty())
        return;
    PlanFiles::PlanFile plan;
    QString error;
    // A calendar's events become tasks only when the user says so.
    bool eventsAsTasks = false;
    if (const int events = eventCount(path); events > 0)
        eventsAsTasks = messages.ask(QStringLiteral("The calendar holds %1 events besides its to-dos. Import the "
                                                    "events as tasks too?")
                                         .arg(events));
    if (!PlanImport::readFile(path, plan, &error, eventsAsTasks)) {
        messages.notice(error + QStringLiteral(" Nothing was imported."));
        return;
    }
    PlanImport::Preview preview;
    if (!trap.step(1, [&] { preview = PlanImport::preview(plan); }))
        return;
    if (!preview.loop.isEmpty()) {
        messages.notice(
            QStringLiteral("The links of this plan form a loop, so nothing was imported: %1.").arg(preview.loop));
        return;
    }
    PlanPreviewDialog dialog(plan, preview, planner.window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    qint64 id = 0;
    try {
        const UndoSteps::Naming naming(QStringLiteral("Import Plan '%1'").arg(dialog.projectName()));
        id = PlanImport::write(plan, dialog.projectName(), dialog.owner());
    } catch (const DbError& e) {
        messages.notice(QStringLiteral("Nothing was imported: %1").arg(e.description()));
        return;
    }
    trap.step(2, [&] { planner.refillProjects(); });
    trap.step(3, [&] {
        const RecordListModel* projects = planner.projects();
        for (int r = 0; r < projects->rowCount(); ++r)
            if (projects->rawCell(r, 0) == QString::number(id)) {
                RowSelection::selectRow(planner.projectList(), r);
                break;
            }
    });
    trap.step(4, [&] { planner.refillTasks(); }); // the new project's tasks, whether it was selected already or not
}

void exportPlan(PlannerWindow& planner, bool calendar) {
    ErrorTrap trap(windowName,
                   calendar ? QStringLiteral("actionExportCalendar_Click") : QStringLiteral("actionExportPlan_Click"));
    Messages& messages = Messages::current();
    // The selected project, or every project when none is selected.
    const QString id = RowSelection::selectedCell(planner.projectList(), 0);
    const QString name =
        id.isEmpty() ? QStringLiteral("All projects") : RowSelection::selectedCell(planner.projectList(), 1);
    QString suggested = name.simplified();
    suggested.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
    const QString path =
        calendar ? messages.saveFileName(QStringLiteral("Export Calendar"), suggested + QStringLiteral(".ics"),
                                         QStringLiteral("iCalendar to-dos (*.ics)"))
                 : messages.saveFileName(QStringLiteral("Export Plan"), suggested + QStringLiteral(".xml"),
                                         QStringLiteral("MS Project XML (*.xml);;GanttProject (*.gan);;iCalendar "
                                                        "to-dos (*.ics)"));
    if (path.isEmpty())
        return;
    QString error;
    bool written = false;
    if (!trap.step(1, [&] { written = PlanExport::writeFile(path, id.toLongLong(), &error); }))
        return;
    if (!written)
        messages.notice(error);
}

void install(PlannerWindow& planner) {
    PlannerWindow* p = &planner;
    auto* importAction = new QAction(QStringLiteral("Import &Plan..."), planner.window());
    importAction->setObjectName(QStringLiteral("actionImportPlan"));
    QObject::connect(importAction, &QAction::triggered, p, [p] { importPlan(*p); });
    auto* exportAction = new QAction(QStringLiteral("Export P&lan..."), planner.window());
    exportAction->setObjectName(QStringLiteral("actionExportPlan"));
    QObject::connect(exportAction, &QAction::triggered, p, [p] { exportPlan(*p, false); });
    auto* calendarAction = new QAction(QStringLiteral("Export &Calendar (.ics)..."), planner.window());
    calendarAction->setObjectName(QStringLiteral("actionExportCalendar"));
    QObject::connect(calendarAction, &QAction::triggered, p, [p] { exportPlan(*p, true); });
    planner.addAction(PlannerWindow::Menu::File, PlannerWindow::Exchange, importAction);
    planner.addAction(PlannerWindow::Menu::File, PlannerWindow::Exchange, exportAction);
    planner.addAction(PlannerWindow::Menu::File, PlannerWindow::Exchange, calendarAction);
}

} // namespace PlanExchange
