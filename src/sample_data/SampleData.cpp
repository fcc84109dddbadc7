#include "SampleData.h"

#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/SqlText.h"

#include <iterator>
#include <optional>

namespace SampleData {

namespace {

struct Contact {
    const char* firstName;
    const char* lastName;
    const char* mailbox;
    const char* company;
    const char* jobTitle;
};

constexpr Contact contacts[] = {
    {"John", "Wilson", "jwilson", "ACME", "Manager"},
    {"Daniel", "Carter", "carden", "ACME", "HR"},
};

// One value list: its count query, its First/Last queries, its table and its two sample entries.
struct ValueList {
    const char* countQuery;
    const char* firstQuery;
    const char* lastQuery;
    const char* table;
    const char* entries[2];
};

constexpr ValueList statusList = {"SELECT Count(Status.Status) AS [CountID] From Status",
                                  "SELECT First(Status.Status) AS [MaxID] FROM Status",
                                  "SELECT Last(Status.Status) AS [MaxID] FROM Status",
                                  "Status",
                                  {"In process", "Cancelled"}};
constexpr ValueList categoryList = {"SELECT Count(Categories.Category) AS [CountID] From Categories",
                                    "SELECT First(Categories.Category) AS [MaxID] FROM Categories",
                                    "SELECT Last(Categories.Category) AS [MaxID] FROM Categories",
                                    "Categories",
                                    {"New Category", "Main Category"}};
constexpr ValueList priorityList = {"SELECT Count(Priorities.Priority) AS [CountID] From Priorities",
                                    "SELECT First(Priorities.Priority) AS [MaxID] FROM Priorities",
                                    "SELECT Last(Priorities.Priority) AS [MaxID] FROM Priorities",
                                    "Priorities",
                                    {"High", "Low"}};

QString text(const char* s) {
    return QString::fromUtf8(s);
}

// The one value of a single-row query, or an invalid value when the result has no row.
// A missing value cannot go into a number or a text and is an error.
QVariant singleValue(const char* statement, const char* column) {
    ResultSet rs = Database::shared().query(text(statement));
    QVariant result;
    if (!rs.eof()) {
        result = rs.value(text(column));
        if (result.isNull())
            throw DbError(QStringLiteral("Invalid use of Null"));
    }
    rs.close();
    return result;
}

void readInteger(const char* statement, const char* column, qint32& target) {
    const QVariant v = singleValue(statement, column);
    if (!v.isValid())
        return;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok)
        throw DbError(QStringLiteral("Type mismatch"));
    target = static_cast<qint32>(n);
}

void readText(const char* statement, const char* column, QString& target) {
    const QVariant v = singleValue(statement, column);
    if (v.isValid())
        target = v.toString();
}

QString n(qint64 value) {
    return QString::number(value);
}

struct Project {
    QString name;
    qint32 owner;
    QString status;
    QString category;
    QString priority;
    const char* notes;
    int budgetInDays;
    int budget;
};

struct Task {
    const char* title;
    QString priority;
    QString status;
    int cost;
    int costInDays;
    int percentComplete;
    qint32 assignedTo;
    const char* description;
    int dueInDays;
};

QString projectInsert(const Project& p, const QString& day) {
    return QStringLiteral("insert into Projects "
                          "(ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,BudgetInDays,Budget) "
                          "values (") +
           SqlText::quoted(p.name) + QLatin1Char(',') + n(p.owner) + QLatin1Char(',') + day + QLatin1Char(',') +
           SqlText::quoted(p.status) + QLatin1Char(',') + SqlText::quoted(p.category) + QLatin1Char(',') +
           SqlText::quoted(p.priority) + QLatin1Char(',') + SqlText::quoted(text(p.notes)) + QLatin1Char(',') + day +
           QLatin1Char(',') + n(p.budgetInDays) + QLatin1Char(',') + n(p.budget) + QLatin1Char(')');
}

QString taskInsert(const Task& t, qint32 projectId, const QDate& today) {
    const QString start = SqlText::quoted(SqlText::dateText(today));
    const QString due = SqlText::quoted(SqlText::dateText(today.addDays(t.dueInDays)));
    return QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,"
                          "AssignedTo,Description,StartDate,DueDate) values (") +
           n(projectId) + QLatin1Char(',') + SqlText::quoted(text(t.title)) + QLatin1Char(',') +
           SqlText::quoted(t.priority) + QLatin1Char(',') + SqlText::quoted(t.status) + QLatin1Char(',') + n(t.cost) +
           QLatin1Char(',') + n(t.costInDays) + QLatin1Char(',') + n(t.percentComplete) + QLatin1Char(',') +
           n(t.assignedTo) + QLatin1Char(',') + SqlText::quoted(text(t.description)) + QLatin1Char(',') + start +
           QLatin1Char(',') + due + QLatin1Char(')');
}

QString mailOf(const Contact& c) {
    return text(c.mailbox) + QLatin1Char('@') + mailDomain();
}

QString contactInsert(const Contact& c) {
    return QStringLiteral("insert into Employees ([FirstName],[LastName],[Email],Company,[JobTitle]) values (") +
           SqlText::quoted(text(c.firstName)) + QLatin1Char(',') + SqlText::quoted(text(c.lastName)) +
           QLatin1Char(',') + SqlText::quoted(mailOf(c)) + QLatin1Char(',') + SqlText::quoted(text(c.company)) +
           QLatin1Char(',') + SqlText::quoted(text(c.jobTitle)) + QLatin1Char(')');
}

// Whether the example projects are there already: a project of each example name.
bool examplesPresent() {
    qint32 found = 0;
    readInteger("SELECT Count(*) AS [CountID] FROM (SELECT DISTINCT ProjectName FROM Projects WHERE ProjectName IN "
                "('Developing','Testing','Implementinging')) AS Examples",
                "CountID", found);
    return found == 3;
}

// The ID of the example's own contact (same names and e-mail address), added when it is gone.
// A contact of the user's that only shares the name is never taken for it.
qint32 exampleContact(const Contact& c) {
    const QString find = QStringLiteral("SELECT ID FROM Employees WHERE FirstName=") +
                         SqlText::quoted(text(c.firstName)) + QStringLiteral(" AND LastName=") +
                         SqlText::quoted(text(c.lastName)) + QStringLiteral(" AND Email=") +
                         SqlText::quoted(mailOf(c)) + QStringLiteral(" ORDER BY ID");
    auto firstId = [&]() -> std::optional<qint32> {
        ResultSet rs = Database::shared().query(find);
        std::optional<qint32> id;
        if (!rs.eof())
            id = static_cast<qint32>(rs.integer(QStringLiteral("ID")));
        rs.close();
        return id;
    };
    if (const std::optional<qint32> id = firstId())
        return *id;
    Database::shared().execute(contactInsert(c));
    if (const std::optional<qint32> id = firstId())
        return *id;
    throw DbError(
        QStringLiteral("The example contact %1 %2 could not be added.").arg(text(c.firstName), text(c.lastName)));
}

} // namespace

QString mailDomain() {
    return QStringLiteral("example.com");
}

bool load(const QDate& today) {
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton8_Click"));

    // Pressed again: ask first, and then use the example's own contacts rather than whichever
    // contacts come first and last by then (the user's own among them).
    bool again = false;
    trap.step(1, [&] { again = examplesPresent(); });
    if (again && !Messages::current().ask(
                     QStringLiteral("The example projects are already in the list.\r\nDo you wish to add them again?")))
        return false;

    qint32 rowCount = 0;
    qint32 firstContact = 1;
    qint32 lastContact = 1;
    if (again) {
        trap.step(2, [&] { firstContact = exampleContact(contacts[0]); });
        trap.step(2, [&] { lastContact = exampleContact(contacts[1]); });
    } else {
        // Contacts, topped up to two rows.
        trap.step(1,
                  [&] { readInteger("SELECT Count(Employees.ID) AS [CountID] From Employees", "CountID", rowCount); });
        for (const Contact& c : contacts) {
            if (rowCount < 2) {
                trap.step(2, [&] { Database::shared().execute(contactInsert(c)); });
                // Counted even when the insert failed: a table with one row then gets no second sample.
                ++rowCount;
            }
        }
        trap.step(3,
                  [&] { readInteger("SELECT First(Employees.ID) AS [MaxID] FROM Employees", "MaxID", firstContact); });
        trap.step(4, [&] { readInteger("SELECT Last(Employees.ID) AS [MaxID] FROM Employees", "MaxID", lastContact); });
    }

    // The value lists, topped up the same way; then their first and last entries.
    auto topUp = [&](const ValueList& list, int line, QString& first, QString& last) {
        rowCount = 0;
        trap.step(line, [&] { readInteger(list.countQuery, "CountID", rowCount); });
        for (const char* entry : list.entries) {
            if (rowCount < 2) {
                trap.step(line + 1, [&] {
                    Database::shared().execute(QStringLiteral("insert into [") + text(list.table) +
                                               QStringLiteral("] values (") + SqlText::quoted(text(entry)) +
                                               QLatin1Char(')'));
                });
                ++rowCount;
            }
        }
        first = QStringLiteral(" ");
        last = QStringLiteral(" ");
        trap.step(line + 2, [&] { readText(list.firstQuery, "MaxID", first); });
        trap.step(line + 3, [&] { readText(list.lastQuery, "MaxID", last); });
    };
    QString firstStatus, lastStatus, firstCategory, lastCategory, firstPriority, lastPriority;
    topUp(statusList, 5, firstStatus, lastStatus);
    topUp(categoryList, 9, firstCategory, lastCategory);
    topUp(priorityList, 13, firstPriority, lastPriority);

    // Three projects, each followed by its task.
    const QString day = SqlText::quoted(SqlText::dateText(today));
    const Project projects[] = {
        {QStringLiteral("Developing"), lastContact, lastStatus, lastCategory, lastPriority, "Notes here", 11, 36},
        {QStringLiteral("Testing"), firstContact, firstStatus, firstCategory, firstPriority,
         "Maybe will require more time", 14, 28},
        {QStringLiteral("Implementinging"), firstContact, lastStatus, firstCategory, lastPriority, "Needs trip", 5, 62},
    };
    const Task tasks[] = {
        {"Research", lastPriority, lastStatus, 14, 3, 62, lastContact, "research before start", 3},
        {"Blind test", firstPriority, firstStatus, 15, 2, 31, firstContact, "Create test methods", 2},
        {"Trip", lastPriority, firstStatus, 36, 4, 0, firstContact, "Trip to work place", 5},
    };
    int line = 17;
    for (size_t i = 0; i < std::size(projects); ++i) {
        trap.step(line, [&] { Database::shared().execute(projectInsert(projects[i], day)); });
        qint32 projectId = 1;
        trap.step(line + 1,
                  [&] { readInteger("SELECT Last(Projects.ID) AS [MaxID] FROM Projects", "MaxID", projectId); });
        trap.step(line + 2, [&] { Database::shared().execute(taskInsert(tasks[i], projectId, today)); });
        line += 3;
    }
    return true;
}

} // namespace SampleData
