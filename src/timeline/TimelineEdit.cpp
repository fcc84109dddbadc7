#include "TimelineEdit.h"

#include "TimelineRows.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/RecordGuard.h"
#include "app/SqlText.h"
#include "editors/EditorSql.h"

#include <cmath>
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

// A stored number as the statement writes it. The text is made from the number itself, never
// copied from the stored value, so that nothing but a number goes into the statement unquoted;
// a stored text that is no number is refused as the editor refuses it.
struct Number {
    bool missing = false;
    bool valid = false;
    QString sql;
};
Number storedNumber(const ResultSet& rs, const QString& column) {
    const QVariant value = rs.value(column);
    Number n;
    if (value.isNull() || (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty())) {
        n.missing = true;
        return n;
    }
    if (value.typeId() == QMetaType::LongLong) {
        n.valid = true;
        n.sql = QString::number(value.toLongLong());
        return n;
    }
    bool ok = value.typeId() == QMetaType::Double;
    const double d = ok ? value.toDouble() : value.toString().trimmed().toDouble(&ok);
    n.valid = ok && std::isfinite(d);
    if (n.valid)
        n.sql = numberText(d);
    return n;
}

// Builds the update of a task from its stored row; empty when a check failed.
std::optional<QString> taskUpdate(ResultSet& rs, qint64 id, QDate start, QDate due) {
    using EditorSql::ValueList;
    EditorSql::TaskValues v;
    v.projectId = QString::number(rs.value(QStringLiteral("ProjectID")).toLongLong());
    v.title = rs.textOrEmpty(QStringLiteral("Title"));
    v.status = rs.textOrEmpty(QStringLiteral("Status"));
    v.priority = rs.textOrEmpty(QStringLiteral("Priority"));
    const Number cost = storedNumber(rs, QStringLiteral("Cost"));
    const Number costInDays = storedNumber(rs, QStringLiteral("CostInDays"));
    const Number percent = storedNumber(rs, QStringLiteral("PercentComplete"));
    v.description = rs.textOrEmpty(QStringLiteral("Description"));
    const bool hasContact = contactExists(rs, QStringLiteral("AssignedID"));
    if (!passes({
            {blank(v.title), "You forgot to input Title."},
            {!hasContact, "You forgot to select Assigned To."},
            {!inList(ValueList::Status, v.status), "You forgot to select Status."},
            {!inList(ValueList::Priorities, v.priority), "You forgot to select Priority."},
            {cost.missing, "You forgot to input Cost."},
            {!cost.valid, "Cost must be numeric value."},
            {costInDays.missing, "You forgot to input Cost in Days."},
            {!costInDays.valid, "Cost in Days must be a numeric value."},
            {percent.missing, "You forgot to input % Complete."},
            {!percent.valid, "% Complete must be numeric value."},
        }))
        return std::nullopt;
    v.cost = cost.sql;
    v.costInDays = costInDays.sql;
    v.percentComplete = percent.sql;
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
    const Number budget = storedNumber(rs, QStringLiteral("Budget"));
    const Number budgetInDays = storedNumber(rs, QStringLiteral("BudgetInDays"));
    const bool hasOwner = contactExists(rs, QStringLiteral("Owner"));
    if (!passes({
            {blank(v.name), "You forgot to input Project Name."},
            {!hasOwner, "You forgot to select Owner."},
            {!inList(ValueList::Status, v.status), "You forgot to select Status."},
            {!inList(ValueList::Categories, v.category), "You forgot to select Category."},
            {!inList(ValueList::Priorities, v.priority), "You forgot to select Priority."},
            {budget.missing, "You forgot to input Budget."},
            {!budget.valid, "Budget must be a numeric value."},
            {budgetInDays.missing, "You forgot to input Budget in Days."},
            {!budgetInDays.valid, "Budget in Days must be a numeric value."},
        }))
        return std::nullopt;
    v.budget = budget.sql;
    v.budgetInDays = budgetInDays.sql;
    v.owner = rs.value(QStringLiteral("Owner")).toLongLong();
    v.startDate = start;
    v.endDate = end;
    return EditorSql::updateProject(v, QString::number(id));
}

} // namespace

SaveResult saveDates(bool isTask, qint64 id, QDate start, QDate end) {
    ErrorTrap trap(QStringLiteral("Timeline"), QStringLiteral("MoveBar"));
    const QString idText = QString::number(id);
    const QString table = isTask ? QStringLiteral("Tasks") : QStringLiteral("Projects");
    // The record is read with its version and written only if nobody changed it in between: a
    // change that came between is read again, so that the move keeps it.
    bool busy = false; // changed by others at every attempt
    for (int attempt = 0; attempt < 3; ++attempt) {
        busy = false;
        bool found = false;
        qint64 version = 0;
        std::optional<QString> statement;
        if (!trap.step(1, [&] {
                version = RecordVersions::current(table, idText);
                ResultSet rs =
                    Database::shared().query(isTask ? EditorSql::taskQuery(idText) : EditorSql::projectQuery(idText));
                found = !rs.eof() && version >= 0;
                if (found)
                    statement = isTask ? taskUpdate(rs, id, start, end) : projectUpdate(rs, id, start, end);
                rs.close();
            }))
            return SaveResult::Failed;
        if (found && !statement)
            return SaveResult::Refused;
        int changed = 0;
        RecordVersions::Write write = RecordVersions::Write::Gone;
        if (found &&
            !trap.step(2, [&] { write = RecordVersions::writeIf(table, idText, version, *statement, changed); }))
            return SaveResult::Failed;
        if (write == RecordVersions::Write::Changed) {
            busy = true;
            continue;
        }
        if (write == RecordVersions::Write::Gone || changed == 0)
            break;
        return SaveResult::Saved;
    }
    if (busy) {
        Messages::current().notice(QStringLiteral("This record is being changed by someone else right now, so the "
                                                  "move was not saved. Please try again."));
        return SaveResult::Refused;
    }
    Messages::current().notice(QStringLiteral("This record no longer exists: it may have been deleted while the "
                                              "window was open. Nothing was saved."));
    return SaveResult::Gone;
}

} // namespace Timeline
