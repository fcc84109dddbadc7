#include "TimelineEdit.h"

#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/SqlText.h"
#include "editors/EditorSql.h"

#include <optional>

namespace Timeline {

namespace {

// Whether a value-list text is one of the list's entries (the editors select it by its text).
bool inList(EditorSql::ValueList list, const QString& text) {
    if (text.isEmpty())
        return false;
    const QString column = EditorSql::listColumn(list);
    const QString table = list == EditorSql::ValueList::Status       ? QStringLiteral("Status")
                          : list == EditorSql::ValueList::Categories ? QStringLiteral("Categories")
                                                                     : QStringLiteral("Priorities");
    ResultSet rs =
        Database::shared().query(QStringLiteral("select count(*) as N from [") + table + QStringLiteral("] where ") +
                                 column + QLatin1Char('=') + SqlText::quoted(text));
    return !rs.eof() && rs.integer(QStringLiteral("N")) > 0;
}

// Whether the contact exists (the editors select it by its ID).
bool contactExists(const ResultSet& rs, const QString& column) {
    if (rs.isNull(column))
        return false;
    ResultSet c = Database::shared().query(QStringLiteral("select count(*) as N from Employees where ID=") +
                                           QString::number(rs.value(column).toLongLong()));
    return !c.eof() && c.integer(QStringLiteral("N")) > 0;
}

struct Check {
    bool failed;
    const char* message;
};

// The editors' checks in their order; the first failure is shown.
bool passes(std::initializer_list<Check> checks) {
    for (const Check& c : checks) {
        if (c.failed) {
            Messages::current().notice(QLatin1String(c.message));
            return false;
        }
    }
    return true;
}

bool blank(const QString& text) {
    return text.trimmed().isEmpty();
}

// Builds the update of a task from its stored row; empty when a check failed.
std::optional<QString> taskUpdate(ResultSet& rs, qint64 id, QDate start, QDate due) {
    using EditorSql::ValueList;
    EditorSql::TaskValues v;
    v.projectId = rs.rawText(rs.column(QStringLiteral("ProjectID")));
    v.title = rs.textOrEmpty(QStringLiteral("Title"));
    v.status = rs.textOrEmpty(QStringLiteral("Status"));
    v.priority = rs.textOrEmpty(QStringLiteral("Priority"));
    v.cost = rs.rawText(rs.column(QStringLiteral("Cost")));
    v.costInDays = rs.rawText(rs.column(QStringLiteral("CostInDays")));
    v.percentComplete = rs.rawText(rs.column(QStringLiteral("PercentComplete")));
    v.description = rs.textOrEmpty(QStringLiteral("Description"));
    const bool hasContact = contactExists(rs, QStringLiteral("AssignedID"));
    if (!passes({
            {blank(v.title), "You forgot to input Title."},
            {!hasContact, "You forgot to select Assigned To."},
            {!inList(ValueList::Status, v.status), "You forgot to select Status."},
            {!inList(ValueList::Priorities, v.priority), "You forgot to select Priority."},
            {v.cost.isEmpty(), "You forgot to input Cost."},
            {v.costInDays.isEmpty(), "You forgot to input Cost in Days."},
            {v.percentComplete.isEmpty(), "You forgot to input % Complete."},
        }))
        return std::nullopt;
    v.assignedTo = rs.value(QStringLiteral("AssignedID")).toLongLong();
    v.startDate = start;
    v.dueDate = due;
    return EditorSql::updateTask(v, QString::number(id));
}

std::optional<QString> projectUpdate(ResultSet& rs, qint64 id, QDate start, QDate end) {
    using EditorSql::ValueList;
    EditorSql::ProjectValues v;
    v.name = rs.textOrEmpty(QStringLiteral("ProjectName"));
    v.status = rs.textOrEmpty(QStringLiteral("Status"));
    v.category = rs.textOrEmpty(QStringLiteral("Category"));
    v.priority = rs.textOrEmpty(QStringLiteral("Priority"));
    v.notes = rs.textOrEmpty(QStringLiteral("Notes"));
    v.budget = rs.rawText(rs.column(QStringLiteral("Budget")));
    v.budgetInDays = rs.rawText(rs.column(QStringLiteral("BudgetInDays")));
    const bool hasOwner = contactExists(rs, QStringLiteral("Owner"));
    if (!passes({
            {blank(v.name), "You forgot to input Project Name."},
            {!hasOwner, "You forgot to select Owner."},
            {!inList(ValueList::Status, v.status), "You forgot to select Status."},
            {!inList(ValueList::Categories, v.category), "You forgot to select Category."},
            {!inList(ValueList::Priorities, v.priority), "You forgot to select Priority."},
            {v.budget.isEmpty(), "You forgot to input Budget."},
            {v.budgetInDays.isEmpty(), "You forgot to input Budget in Days."},
        }))
        return std::nullopt;
    v.owner = rs.value(QStringLiteral("Owner")).toLongLong();
    v.startDate = start;
    v.endDate = end;
    return EditorSql::updateProject(v, QString::number(id));
}

} // namespace

SaveResult saveDates(bool isTask, qint64 id, QDate start, QDate end) {
    ErrorTrap trap(QStringLiteral("Timeline"), QStringLiteral("MoveBar"));
    bool found = false;
    std::optional<QString> statement;
    const QString idText = QString::number(id);
    if (!trap.step(1, [&] {
            ResultSet rs =
                Database::shared().query(isTask ? EditorSql::taskQuery(idText) : EditorSql::projectQuery(idText));
            found = !rs.eof();
            if (found)
                statement = isTask ? taskUpdate(rs, id, start, end) : projectUpdate(rs, id, start, end);
            rs.close();
        }))
        return SaveResult::Failed;
    if (found && !statement)
        return SaveResult::Refused;
    int changed = 0;
    if (found && !trap.step(2, [&] { changed = Database::shared().execute(*statement); }))
        return SaveResult::Failed;
    if (!found || changed == 0) {
        Messages::current().notice(QStringLiteral("This record no longer exists: it may have been deleted while the "
                                                  "window was open. Nothing was saved."));
        return SaveResult::Gone;
    }
    return SaveResult::Saved;
}

} // namespace Timeline
