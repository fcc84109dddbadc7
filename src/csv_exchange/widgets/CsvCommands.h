// The export, import and copy commands of the main window's menus.
#pragma once

#include "csv_exchange/Csv.h"
#include "csv_exchange/TableExport.h"

class PlannerWindow;
class QTreeView;

namespace CsvCommands {

// Adds File > Export, File > Import contacts, File > Import projects and tasks and Edit > Copy
// to the main window's menus.
void install(PlannerWindow& planner);

// A list as it is shown: its columns in the header's order (hidden ones left out), its rows in
// their current order; dates as ISO text, numbers with ".", texts guarded against formulas.
CsvTable listAsShown(const QTreeView* list);
// The cells of the list's selected row in the same form; empty when no row is selected.
QStringList selectedRow(QTreeView* list);

void exportList(PlannerWindow& planner, QTreeView* list);
void exportTable(TableExport::Table table);
// Copies the selected row of the focused list (the project list when neither has the focus).
void copySelectedRow(PlannerWindow& planner);
void importContacts(PlannerWindow& planner);
void importProjectsAndTasks(PlannerWindow& planner);

} // namespace CsvCommands
