#include "TableExport.h"

#include "app/Database.h"

namespace TableExport {

using Kind = CsvCells::Kind;

const std::vector<Column>& columns(Table table) {
    static const std::vector<Column> projects = {
        {"ID", "ID", Kind::Id},
        {"ProjectName", "ProjectName", Kind::Text},
        {"OwnerID", "Owner", Kind::Id},
        {"OwnerName", "OwnerName", Kind::Text},
        {"StartDate", "StartDate", Kind::Date},
        {"EndDate", "EndDate", Kind::Date},
        {"Status", "Status", Kind::Text},
        {"Category", "Category", Kind::Text},
        {"Priority", "Priority", Kind::Text},
        {"Budget", "Budget", Kind::Number},
        {"BudgetInDays", "BudgetInDays", Kind::Number},
        {"Notes", "Notes", Kind::Text},
    };
    static const std::vector<Column> tasks = {
        {"ID", "ID", Kind::Id},
        {"ProjectID", "ProjectID", Kind::Id},
        {"Title", "Title", Kind::Text},
        {"AssignedID", "AssignedID", Kind::Id},
        {"AssignedTo", "AssignedTo", Kind::Text},
        {"StartDate", "StartDate", Kind::Date},
        {"DueDate", "DueDate", Kind::Date},
        {"Priority", "Priority", Kind::Text},
        {"Status", "Status", Kind::Text},
        {"PercentComplete", "PercentComplete", Kind::Number},
        {"Cost", "Cost", Kind::Number},
        {"CostInDays", "CostInDays", Kind::Number},
        {"Description", "Description", Kind::Text},
    };
    static const std::vector<Column> contacts = {
        {"ID", "ID", Kind::Id},
        {"FirstName", "FirstName", Kind::Text},
        {"LastName", "LastName", Kind::Text},
        {"Email", "Email", Kind::Text},
        {"Company", "Company", Kind::Text},
        {"JobTitle", "JobTitle", Kind::Text},
        {"BusinessPhone", "BusinessPhone", Kind::Text},
        {"HomePhone", "HomePhone", Kind::Text},
        {"MobilePhone", "MobilePhone", Kind::Text},
        {"FaxNumber", "FaxNumber", Kind::Text},
        {"Address", "Address", Kind::Text},
        {"City", "City", Kind::Text},
        {"State", "State", Kind::Text},
        {"ZIP", "ZIP", Kind::Text},
        {"Country", "Country", Kind::Text},
        {"WebPage", "WebPage", Kind::Text},
        {"Notes", "Notes", Kind::Text},
    };
    static const std::vector<Column> valueLists = {{"List", "List", Kind::Text}, {"Value", "Value", Kind::Text}};
    switch (table) {
    case Table::Projects:
        return projects;
    case Table::Tasks:
        return tasks;
    case Table::Contacts:
        return contacts;
    case Table::ValueLists:
        break;
    }
    return valueLists;
}

QString suggestedFileName(Table table) {
    switch (table) {
    case Table::Projects:
        return QStringLiteral("projects.csv");
    case Table::Tasks:
        return QStringLiteral("tasks.csv");
    case Table::Contacts:
        return QStringLiteral("contacts.csv");
    case Table::ValueLists:
        break;
    }
    return QStringLiteral("value-lists.csv");
}

namespace {

void readRows(const QString& statement, const std::vector<Column>& cols, CsvTable& out) {
    ResultSet rs = Database::shared().query(statement);
    std::vector<int> index;
    for (const Column& c : cols)
        index.push_back(rs.column(QLatin1String(c.field)));
    while (!rs.eof()) {
        QStringList row;
        row.reserve(static_cast<qsizetype>(cols.size()));
        for (size_t i = 0; i < cols.size(); ++i)
            row << CsvCells::exportCell(rs.rawText(index[i]), cols[i].kind);
        out.rows.push_back(std::move(row));
        rs.moveNext();
    }
}

} // namespace

CsvTable read(Table table) {
    CsvTable out;
    for (const Column& c : columns(table))
        out.header << QLatin1String(c.header);
    switch (table) {
    case Table::Projects:
        readRows(QStringLiteral("select * from [Open Projects] order by ID"), columns(table), out);
        break;
    case Table::Tasks:
        readRows(QStringLiteral("select * from [Open Tasks] order by ID"), columns(table), out);
        break;
    case Table::Contacts:
        readRows(QStringLiteral("select * from Employees order by ID"), columns(table), out);
        break;
    case Table::ValueLists: {
        // The three lists one after the other, each in the order its entries were added.
        const std::pair<const char*, const char*> lists[] = {{"Status", "select Status from Status"},
                                                             {"Category", "select Category from Categories"},
                                                             {"Priority", "select Priority from Priorities"}};
        for (const auto& [name, statement] : lists) {
            ResultSet rs = Database::shared().query(QLatin1String(statement));
            while (!rs.eof()) {
                out.rows.push_back({QLatin1String(name), CsvCells::exportText(rs.rawText(0))});
                rs.moveNext();
            }
        }
        break;
    }
    }
    return out;
}

} // namespace TableExport
