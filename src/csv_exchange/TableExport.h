// Whole tables as CSV: the columns of each table under its own names, the contact of a project or
// task both as ID and as display name, rows in ID order (value lists in stored order).
#pragma once

#include "Csv.h"
#include "CsvCells.h"

#include <vector>

namespace TableExport {

enum class Table { Projects, Tasks, Contacts, ValueLists };

struct Column {
    const char* header; // the CSV header
    const char* field;  // the column of the query behind the table
    CsvCells::Kind kind;
};

const std::vector<Column>& columns(Table table);
// The file name offered in the save dialog ("projects.csv").
QString suggestedFileName(Table table);
// Reads the table through the shared connection (throws DbError).
CsvTable read(Table table);

} // namespace TableExport
