#include "TableImport.h"

#include "app/Connection.h"
#include "app/Database.h"
#include "app/RecordIds.h"
#include "app/SchemaViews.h"
#include "app/SqlText.h"

#include <QFileInfo>

#include <algorithm>

using Kind = CsvCells::Kind;

// ---------------------------------------------------------------- fields and header names

namespace ImportFields {

const std::vector<ImportField>& of(ImportKind kind) {
    // Names as the usual address-book exports spell them (desktop mail programs, web address books),
    // and as the program's own exports and lists head their columns.
    static const std::vector<ImportField> contacts = {
        {"ID", "ID", Kind::Id, {"id", "contactid"}},
        {"FirstName", "First Name", Kind::Text, {"firstname", "givenname", "first", "forename"}},
        {"LastName", "Last Name", Kind::Text, {"lastname", "familyname", "surname", "last"}},
        {"FullName",
         "Full Name (split into first and last name)",
         Kind::Text,
         {"name", "fullname", "displayname", "contactname"}},
        {"Email",
         "Email Address",
         Kind::Text,
         {"email", "emailaddress", "email1value", "primaryemail", "email1", "emailaddress1", "mail"}},
        {"Company",
         "Company",
         Kind::Text,
         {"company", "companyname", "organization", "organisation", "organization1name", "organisation1name"}},
        {"JobTitle", "Job Title", Kind::Text, {"jobtitle", "position", "organization1title"}},
        {"BusinessPhone",
         "Business Phone",
         Kind::Text,
         {"businessphone", "workphone", "officephone", "phone", "telephone", "primaryphone", "phone1value",
          "companymainphone"}},
        {"HomePhone", "Home Phone", Kind::Text, {"homephone", "privatephone", "phone2value"}},
        {"MobilePhone",
         "Mobile Phone",
         Kind::Text,
         {"mobilephone", "mobile", "mobilenumber", "cellphone", "cell", "cellularphone", "phone3value"}},
        {"FaxNumber", "Fax Number", Kind::Text, {"faxnumber", "fax", "businessfax", "workfax", "homefax"}},
        {"Address",
         "Address",
         Kind::Text,
         {"address", "street", "streetaddress", "businessstreet", "workaddress", "homestreet", "homeaddress",
          "address1street", "mailingaddress"}},
        {"City", "City", Kind::Text, {"city", "businesscity", "workcity", "homecity", "address1city"}},
        {"State",
         "State",
         Kind::Text,
         {"state", "region", "province", "stateprovince", "businessstate", "workstate", "homestate", "address1region"}},
        {"ZIP",
         "Postal Code",
         Kind::Text,
         {"zip", "zipcode", "postalcode", "postcode", "businesspostalcode", "workzipcode", "homepostalcode",
          "homezipcode", "address1postalcode"}},
        {"Country",
         "Country",
         Kind::Text,
         {"country", "countryregion", "businesscountryregion", "businesscountry", "workcountry", "homecountryregion",
          "homecountry", "address1country"}},
        {"WebPage",
         "Webpage",
         Kind::Text,
         {"webpage", "website", "web", "url", "homepage", "webpage1", "website1value", "businesswebpage",
          "personalwebpage"}},
        {"Notes", "Notes", Kind::Text, {"notes", "note", "comments"}},
    };
    static const std::vector<ImportField> projects = {
        {"ID", "Project ID", Kind::Id, {"id", "projectid"}},
        {"ProjectName", "Project Name", Kind::Text, {"projectname", "name", "project"}},
        {"OwnerID", "Owner (contact ID)", Kind::Id, {"ownerid"}},
        {"OwnerName", "Owner (name)", Kind::Text, {"ownername", "owner"}},
        {"StartDate", "Start", Kind::Date, {"startdate", "start"}},
        {"EndDate", "End", Kind::Date, {"enddate", "end"}},
        {"Status", "Status", Kind::Text, {"status"}},
        {"Category", "Category", Kind::Text, {"category"}},
        {"Priority", "Priority", Kind::Text, {"priority"}},
        {"Budget", "Budget", Kind::Number, {"budget"}},
        {"BudgetInDays", "Budget in Days", Kind::Number, {"budgetindays"}},
        {"Notes", "Notes", Kind::Text, {"notes"}},
    };
    static const std::vector<ImportField> tasks = {
        {"ID", "Task ID", Kind::Id, {"id", "taskid"}},
        {"ProjectID", "Project ID", Kind::Id, {"projectid"}},
        {"Title", "Title", Kind::Text, {"title", "task"}},
        {"AssignedID", "Assigned To (contact ID)", Kind::Id, {"assignedid"}},
        {"AssignedTo", "Assigned To (name)", Kind::Text, {"assignedto", "assignee"}},
        {"StartDate", "Start Date", Kind::Date, {"startdate", "start"}},
        {"DueDate", "Due Date", Kind::Date, {"duedate", "due"}},
        {"Priority", "Priority", Kind::Text, {"priority"}},
        {"Status", "Status", Kind::Text, {"status"}},
        {"PercentComplete", "% Complete", Kind::Number, {"percentcomplete", "complete"}},
        {"Cost", "Cost", Kind::Number, {"cost"}},
        {"CostInDays", "Cost in Days", Kind::Number, {"costindays"}},
        {"Description", "Description", Kind::Text, {"description"}},
    };
    static const std::vector<ImportField> valueLists = {
        {"List", "List", Kind::Text, {"list"}},
        {"Value", "Value", Kind::Text, {"value", "entry"}},
    };
    switch (kind) {
    case ImportKind::Contacts:
        return contacts;
    case ImportKind::Projects:
        return projects;
    case ImportKind::Tasks:
        return tasks;
    case ImportKind::ValueLists:
        break;
    }
    return valueLists;
}

QString normalisedHeader(const QString& header) {
    QString out;
    for (const QChar c : header) {
        if (c.isLetterOrNumber())
            out += c.toLower();
    }
    return out;
}

int match(ImportKind kind, const QString& header) {
    const QString name = normalisedHeader(header);
    const auto& fields = of(kind);
    for (size_t i = 0; i < fields.size(); ++i) {
        for (const char* n : fields[i].names) {
            if (name == QLatin1String(n))
                return static_cast<int>(i);
        }
    }
    return -1;
}

QString rowsName(ImportKind kind) {
    switch (kind) {
    case ImportKind::Contacts:
        return QStringLiteral("contacts");
    case ImportKind::Projects:
        return QStringLiteral("projects");
    case ImportKind::Tasks:
        return QStringLiteral("tasks");
    case ImportKind::ValueLists:
        break;
    }
    return QStringLiteral("value-list entries");
}

QString countOf(ImportKind kind, int count) {
    if (count != 1)
        return QStringLiteral("%1 %2").arg(count).arg(rowsName(kind));
    return kind == ImportKind::ValueLists ? QStringLiteral("1 value-list entry")
                                          : QStringLiteral("1 ") + rowsName(kind).chopped(1);
}

} // namespace ImportFields

// ---------------------------------------------------------------- transaction

ImportTransaction::ImportTransaction() {
    Database::shared().execute(QStringLiteral("BEGIN"));
    m_open = true;
}

ImportTransaction::~ImportTransaction() {
    if (!m_open)
        return;
    try {
        Database::shared().execute(QStringLiteral("ROLLBACK"));
    } catch (const DbError&) {
        // The engine has already ended a transaction that failed badly.
    }
}

void ImportTransaction::commit() {
    Database::shared().execute(QStringLiteral("COMMIT"));
    m_open = false;
}

// ---------------------------------------------------------------- files

ImportFile::ImportFile(QString path_, ImportKind kind_, CsvTable table_)
    : path(std::move(path_))
    , kind(kind_)
    , table(std::move(table_)) {
    // Each field takes the first column that names it; a later column of the same field is
    // used where the first one is empty (an export's business and home addresses).
    for (const QString& header : std::as_const(table.header))
        mapping.push_back(ImportFields::match(kind, header));
}

QString ImportFile::fileName() const {
    return QFileInfo(path).fileName();
}

QString ImportFile::mappedKey(int column) const {
    const int field = mapping[static_cast<size_t>(column)];
    return field < 0 ? QString() : QLatin1String(ImportFields::of(kind)[static_cast<size_t>(field)].key);
}

void ImportFile::setMapping(int column, int field) {
    if (column < 0 || column >= static_cast<int>(mapping.size()))
        return;
    const int count = static_cast<int>(ImportFields::of(kind).size());
    mapping[static_cast<size_t>(column)] = (field >= 0 && field < count) ? field : -1;
}

// ---------------------------------------------------------------- batch

namespace {

QSet<qint64> idsOf(const QString& statement) {
    QSet<qint64> ids;
    ResultSet rs = Database::shared().query(statement);
    while (!rs.eof()) {
        if (!rs.isNull(0))
            ids.insert(rs.value(0).toLongLong());
        rs.moveNext();
    }
    return ids;
}

QSet<QString> entriesOf(const QString& statement) {
    QSet<QString> entries;
    ResultSet rs = Database::shared().query(statement);
    while (!rs.eof()) {
        entries.insert(rs.rawText(0).toLower());
        rs.moveNext();
    }
    return entries;
}

struct ListTable {
    const char* list; // as the List column names it
    const char* table;
};
constexpr ListTable listTables[] = {{"Status", "Status"}, {"Category", "Categories"}, {"Priority", "Priorities"}};

// The list that a List cell names ("status", "Statuses", "categories"...), or nothing.
const ListTable* listNamed(const QString& cell) {
    const QString name = ImportFields::normalisedHeader(cell);
    for (const ListTable& l : listTables) {
        const QString list = QString::fromLatin1(l.list).toLower();
        const QString table = QString::fromLatin1(l.table).toLower();
        if (name == list || name == table || name == list + QLatin1String("es"))
            return &l;
    }
    return nullptr;
}

QString tableOf(ImportKind kind) {
    switch (kind) {
    case ImportKind::Contacts:
        return QStringLiteral("Employees");
    case ImportKind::Projects:
        return QStringLiteral("Projects");
    case ImportKind::Tasks:
        return QStringLiteral("Tasks");
    case ImportKind::ValueLists:
        break;
    }
    return {};
}

int order(ImportKind kind) {
    return static_cast<int>(kind);
}

} // namespace

ImportBatch::ImportBatch() {
    m_contactIds = idsOf(QStringLiteral("select ID from Employees"));
    m_projectIds = idsOf(QStringLiteral("select ID from Projects"));
    for (const char* table : {"Employees", "Projects", "Tasks"}) {
        ResultSet rs = Database::shared().query(QStringLiteral("select count(*) from ") + QLatin1String(table));
        m_rowCounts.insert(QLatin1String(table), rs.eof() ? 0 : rs.value(0).toLongLong());
    }
    for (const ListTable& l : listTables)
        m_valueLists.insert(QLatin1String(l.list), entriesOf(QStringLiteral("select ") + QLatin1String(l.list) +
                                                             QStringLiteral(" from ") + QLatin1String(l.table)));
}

std::optional<ImportKind> ImportBatch::recognise(const QStringList& header) {
    auto has = [&](ImportKind kind, const char* key) {
        const auto& fields = ImportFields::of(kind);
        for (const QString& h : header) {
            const int f = ImportFields::match(kind, h);
            if (f >= 0 && qstrcmp(fields[static_cast<size_t>(f)].key, key) == 0)
                return true;
        }
        return false;
    };
    if (has(ImportKind::ValueLists, "List") && has(ImportKind::ValueLists, "Value"))
        return ImportKind::ValueLists;
    if (has(ImportKind::Projects, "ProjectName") && !has(ImportKind::Tasks, "Title"))
        return ImportKind::Projects;
    if (has(ImportKind::Tasks, "Title") && !has(ImportKind::Contacts, "FirstName"))
        return ImportKind::Tasks;
    if (has(ImportKind::Contacts, "FirstName") || has(ImportKind::Contacts, "LastName") ||
        has(ImportKind::Contacts, "FullName"))
        return ImportKind::Contacts;
    return std::nullopt;
}

void ImportBatch::add(QString path, ImportKind kind, CsvTable table, QString encoding, QChar separator) {
    m_files.emplace_back(std::move(path), kind, std::move(table));
    m_files.back().encoding = std::move(encoding);
    m_files.back().separator = separator;
    // Written in the order that lets later rows refer to earlier ones.
    std::stable_sort(m_files.begin(), m_files.end(),
                     [](const ImportFile& a, const ImportFile& b) { return order(a.kind) < order(b.kind); });
}

void ImportBatch::check() {
    // IDs that the rows of earlier files bring (old IDs as the files give them).
    QSet<qint64> batchContacts;
    QSet<qint64> batchProjects;
    QHash<QString, QSet<QString>> lists = m_valueLists;

    for (ImportFile& file : m_files) {
        file.m_rows.clear();
        file.refused.clear();
        const auto& fields = ImportFields::of(file.kind);
        QHash<qint64, int> idLines;
        bool allHaveIds = true;

        for (size_t r = 0; r < file.table.rows.size(); ++r) {
            const QStringList& cells = file.table.rows[r];
            const int line = file.table.lineOf(r);
            ImportFile::Row row{line, {}, std::nullopt};
            bool any = false;
            for (qsizetype c = 0; c < cells.size(); ++c) {
                const int f = file.mapping[static_cast<size_t>(c)];
                if (f < 0 || cells[c].trimmed().isEmpty())
                    continue;
                any = true;
                const ImportField& field = fields[static_cast<size_t>(f)];
                const QString key = QLatin1String(field.key);
                if (row.values.value(key).isEmpty())
                    row.values.insert(key, field.kind == Kind::Text ? CsvCells::importText(cells[c]) : cells[c]);
            }
            auto refuse = [&](const QString& reason) { file.refused.push_back({line, reason}); };
            if (!any) {
                refuse(QStringLiteral("the row is empty"));
                continue;
            }

            // Every number, date and ID cell must read as one.
            QString bad;
            for (const ImportField& field : fields) {
                const QString key = QLatin1String(field.key);
                const QString cell = row.values.value(key);
                if (cell.isEmpty())
                    continue;
                if (field.kind == Kind::Number) {
                    if (const auto n = CsvCells::parseNumber(cell))
                        row.values[key] = numberText(*n);
                    else
                        bad = QStringLiteral("%1 \"%2\" is not a number (write it like 1234.5)")
                                  .arg(QLatin1String(field.label), cell);
                } else if (field.kind == Kind::Date) {
                    if (const auto d = CsvCells::parseDate(cell))
                        row.values[key] = SqlText::dateText(*d);
                    else
                        bad = QStringLiteral("%1 \"%2\" is not a date (write it like 2026-12-31)")
                                  .arg(QLatin1String(field.label), cell);
                } else if (field.kind == Kind::Id) {
                    if (const auto id = CsvCells::parseId(cell))
                        row.values[key] = QString::number(*id);
                    else
                        bad = QStringLiteral("%1 \"%2\" is not a record number").arg(QLatin1String(field.label), cell);
                }
                if (!bad.isEmpty())
                    break;
            }
            if (!bad.isEmpty()) {
                refuse(bad);
                continue;
            }
            // The name that the program's own lists and exports give a contact that no longer
            // exists is no name: the ID (when the file has it) is kept as it is.
            for (const char* name : {"OwnerName", "AssignedTo"}) {
                if (row.values.value(QLatin1String(name)).trimmed() == QLatin1String(SchemaViews::deletedContact))
                    row.values.remove(QLatin1String(name));
            }
            auto value = [&](const char* key) { return row.values.value(QLatin1String(key)); };
            auto known = [&](const char* key, const QSet<qint64>& existing, const QSet<qint64>& inBatch) {
                const QString id = value(key);
                return !id.isEmpty() && (existing.contains(id.toLongLong()) || inBatch.contains(id.toLongLong()));
            };

            switch (file.kind) {
            case ImportKind::Contacts: {
                QString first = value("FirstName").trimmed();
                QString last = value("LastName").trimmed();
                const QString full = value("FullName").simplified();
                if (first.isEmpty() && last.isEmpty() && !full.isEmpty()) {
                    const qsizetype blank = full.indexOf(QLatin1Char(' '));
                    first = blank < 0 ? full : full.left(blank);
                    last = blank < 0 ? QString() : full.mid(blank + 1);
                    row.values.insert(QStringLiteral("FirstName"), first);
                    row.values.insert(QStringLiteral("LastName"), last);
                }
                if (first.isEmpty())
                    bad = QStringLiteral("no first name");
                else if (last.isEmpty())
                    bad = QStringLiteral("no last name");
                break;
            }
            case ImportKind::Projects:
                if (value("ProjectName").trimmed().isEmpty())
                    bad = QStringLiteral("no project name");
                else if (value("OwnerID").isEmpty() && value("OwnerName").trimmed().isEmpty())
                    bad = QStringLiteral("no owner");
                break;
            case ImportKind::Tasks:
                if (value("Title").trimmed().isEmpty())
                    bad = QStringLiteral("no title");
                else if (value("ProjectID").isEmpty())
                    bad = QStringLiteral("no project ID");
                else if (!known("ProjectID", m_projectIds, batchProjects))
                    bad = QStringLiteral("project %1 does not exist").arg(value("ProjectID"));
                else if (value("AssignedID").isEmpty() && value("AssignedTo").trimmed().isEmpty())
                    bad = QStringLiteral("nobody is assigned");
                break;
            case ImportKind::ValueLists: {
                const ListTable* list = listNamed(value("List"));
                const QString entry = value("Value");
                if (!list)
                    bad =
                        QStringLiteral("\"%1\" is not a value list (Status, Category or Priority)").arg(value("List"));
                else if (entry.trimmed().isEmpty())
                    bad = QStringLiteral("no value");
                else if (lists[QLatin1String(list->list)].contains(entry.toLower()))
                    bad = QStringLiteral("\"%1\" is already in the %2 list").arg(entry, QLatin1String(list->list));
                else {
                    lists[QLatin1String(list->list)].insert(entry.toLower());
                    row.values.insert(QStringLiteral("List"), QLatin1String(list->list));
                }
                break;
            }
            }
            if (!bad.isEmpty()) {
                refuse(bad);
                continue;
            }

            if (!value("ID").isEmpty()) {
                row.id = value("ID").toLongLong();
                const auto seen = idLines.constFind(*row.id);
                if (seen != idLines.constEnd()) {
                    refuse(QStringLiteral("ID %1 is already on line %2").arg(*row.id).arg(seen.value()));
                    continue;
                }
                idLines.insert(*row.id, line);
            } else {
                allHaveIds = false;
            }
            file.m_rows.push_back(std::move(row));
        }

        file.accepted = static_cast<int>(file.m_rows.size());
        const QString table = tableOf(file.kind);
        file.keepIds = !table.isEmpty() && allHaveIds && !file.m_rows.empty() && m_rowCounts.value(table) == 0;
        for (const ImportFile::Row& row : file.m_rows) {
            if (!row.id)
                continue;
            if (file.kind == ImportKind::Contacts)
                batchContacts.insert(*row.id);
            else if (file.kind == ImportKind::Projects)
                batchProjects.insert(*row.id);
        }
    }
}

int ImportBatch::rowsToAdd() const {
    int n = 0;
    for (const ImportFile& f : m_files)
        n += f.accepted;
    return n;
}

QString ImportBatch::summary() const {
    QStringList parts;
    int refused = 0;
    for (const ImportFile& f : m_files) {
        parts << ImportFields::countOf(f.kind, f.accepted);
        refused += static_cast<int>(f.refused.size());
    }
    QString text = parts.join(QStringLiteral(", ")) + QStringLiteral(" will be added");
    if (refused > 0)
        text +=
            refused == 1 ? QStringLiteral("; 1 row is refused") : QStringLiteral("; %1 rows are refused").arg(refused);
    return text + QLatin1Char('.');
}

// ---------------------------------------------------------------- writing

namespace {

// The writer of one import: keeps the maps from the files' IDs to the stored ones and the
// contacts and value-list entries that it added along the way.
class Writer {
public:
    explicit Writer(const QHash<QString, QSet<QString>>& lists)
        : m_lists(lists) {
        ResultSet rs =
            Database::shared().query(QStringLiteral("select ID,FirstName,LastName from Employees order by ID"));
        while (!rs.eof()) {
            const QString name = rs.rawText(1) + QLatin1Char(' ') + rs.rawText(2);
            const qint64 id = rs.value(0).toLongLong();
            if (!m_byName.contains(name))
                m_byName.insert(name, id);
            m_nameOf.insert(id, name);
            rs.moveNext();
        }
    }

    int addedContacts = 0;
    int addedEntries = 0;

    void write(const ImportFile& file, const QHash<QString, QString>& values, std::optional<qint64> id, bool keepId);

private:
    qint64 lastId(const QString& table) {
        ResultSet rs = Database::shared().query(QStringLiteral("select max(ID) from ") + table);
        return rs.eof() ? 0 : rs.value(0).toLongLong();
    }
    QString contactFor(const QString& idText, const QString& name);
    void ensureEntry(const char* list, const QString& entry);

    QHash<QString, QSet<QString>> m_lists;
    QHash<QString, qint64> m_byName;
    QHash<qint64, QString> m_nameOf;
    QHash<qint64, qint64> m_contactMap; // file ID -> stored ID
    QHash<qint64, qint64> m_projectMap;
};

QString numberOrNull(const QString& text) {
    return text.isEmpty() ? QStringLiteral("NULL") : text;
}

QString dateOrNull(const QString& text) {
    return text.isEmpty() ? QStringLiteral("NULL") : SqlText::quoted(text);
}

QString Writer::contactFor(const QString& idText, const QString& name) {
    if (!idText.isEmpty()) {
        const qint64 id = idText.toLongLong();
        if (m_contactMap.contains(id))
            return QString::number(m_contactMap.value(id));
        if (m_nameOf.contains(id) && (name.isEmpty() || m_nameOf.value(id) == name))
            return QString::number(id);
    }
    if (!name.trimmed().isEmpty()) {
        const auto it = m_byName.constFind(name);
        if (it != m_byName.constEnd())
            return QString::number(it.value());
        // A contact known only by name: first name up to the first blank, the rest last name.
        const QString simple = name.trimmed();
        const qsizetype blank = simple.indexOf(QLatin1Char(' '));
        const QString first = blank < 0 ? simple : simple.left(blank);
        const QString last = blank < 0 ? QString() : simple.mid(blank + 1);
        QString statement = QStringLiteral("insert into Employees ([FirstName],[LastName],[Email],Company,[JobTitle],"
                                           "[BusinessPhone],[HomePhone],[MobilePhone],[FaxNumber],Address,City,State,"
                                           "ZIP,Country,[WebPage],Notes) values (") +
                            SqlText::quoted(first) + QLatin1Char(',') + SqlText::quoted(last);
        for (int i = 0; i < 14; ++i)
            statement += QStringLiteral(",''");
        Database::shared().execute(statement + QLatin1Char(')'));
        const qint64 id = lastId(QStringLiteral("Employees"));
        m_byName.insert(name, id);
        m_nameOf.insert(id, first + QLatin1Char(' ') + last);
        ++addedContacts;
        return QString::number(id);
    }
    // An ID of a contact that no longer exists stays as the file gives it, unless another contact
    // now has that ID.
    if (!idText.isEmpty() && !m_nameOf.contains(idText.toLongLong()))
        return idText;
    return QStringLiteral("NULL");
}

void Writer::ensureEntry(const char* list, const QString& entry) {
    if (entry.isEmpty())
        return;
    QSet<QString>& entries = m_lists[QLatin1String(list)];
    if (entries.contains(entry.toLower()))
        return;
    for (const ListTable& l : listTables) {
        if (qstrcmp(l.list, list) == 0) {
            Database::shared().execute(QStringLiteral("insert into [") + QLatin1String(l.table) +
                                       QStringLiteral("] values (") + SqlText::quoted(entry) + QLatin1Char(')'));
            entries.insert(entry.toLower());
            ++addedEntries;
            return;
        }
    }
}

void Writer::write(const ImportFile& file, const QHash<QString, QString>& v, std::optional<qint64> id, bool keepId) {
    auto text = [&](const char* key) { return SqlText::quoted(v.value(QLatin1String(key))); };
    auto raw = [&](const char* key) { return v.value(QLatin1String(key)); };
    const QString idColumn = keepId ? QStringLiteral("ID,") : QString();
    const QString idValue = keepId ? QString::number(*id) + QLatin1Char(',') : QString();

    switch (file.kind) {
    case ImportKind::ValueLists: {
        const QString list = raw("List");
        m_lists[list].insert(raw("Value").toLower());
        for (const ListTable& l : listTables) {
            if (list == QLatin1String(l.list))
                Database::shared().execute(QStringLiteral("insert into [") + QLatin1String(l.table) +
                                           QStringLiteral("] values (") + text("Value") + QLatin1Char(')'));
        }
        return;
    }
    case ImportKind::Contacts: {
        QString statement = QStringLiteral("insert into Employees (") + idColumn;
        QString values;
        const char* columns[] = {"FirstName", "LastName",    "Email",     "Company", "JobTitle", "BusinessPhone",
                                 "HomePhone", "MobilePhone", "FaxNumber", "Address", "City",     "State",
                                 "ZIP",       "Country",     "WebPage",   "Notes"};
        for (const char* c : columns) {
            statement += QLatin1Char('[') + QLatin1String(c) + QStringLiteral("],");
            values += text(c) + QLatin1Char(',');
        }
        statement.chop(1);
        values.chop(1);
        Database::shared().execute(statement + QStringLiteral(") values (") + idValue + values + QLatin1Char(')'));
        const qint64 stored = keepId ? *id : lastId(QStringLiteral("Employees"));
        if (id)
            m_contactMap.insert(*id, stored);
        const QString name = raw("FirstName") + QLatin1Char(' ') + raw("LastName");
        if (!m_byName.contains(name))
            m_byName.insert(name, stored);
        m_nameOf.insert(stored, name);
        return;
    }
    case ImportKind::Projects: {
        const QString owner = contactFor(raw("OwnerID"), raw("OwnerName"));
        ensureEntry("Status", raw("Status"));
        ensureEntry("Category", raw("Category"));
        ensureEntry("Priority", raw("Priority"));
        Database::shared().execute(
            QStringLiteral("insert into Projects (") + idColumn +
            QStringLiteral("ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,BudgetInDays,Budget) "
                           "values (") +
            idValue + text("ProjectName") + QLatin1Char(',') + owner + QLatin1Char(',') + dateOrNull(raw("StartDate")) +
            QLatin1Char(',') + text("Status") + QLatin1Char(',') + text("Category") + QLatin1Char(',') +
            text("Priority") + QLatin1Char(',') + text("Notes") + QLatin1Char(',') + dateOrNull(raw("EndDate")) +
            QLatin1Char(',') + numberOrNull(raw("BudgetInDays")) + QLatin1Char(',') + numberOrNull(raw("Budget")) +
            QLatin1Char(')'));
        const qint64 stored = keepId ? *id : lastId(QStringLiteral("Projects"));
        if (id)
            m_projectMap.insert(*id, stored);
        return;
    }
    case ImportKind::Tasks: {
        const qint64 fileProject = raw("ProjectID").toLongLong();
        const qint64 project = m_projectMap.value(fileProject, fileProject);
        const QString assigned = contactFor(raw("AssignedID"), raw("AssignedTo"));
        ensureEntry("Status", raw("Status"));
        ensureEntry("Priority", raw("Priority"));
        Database::shared().execute(
            QStringLiteral("insert into Tasks (") + idColumn +
            QStringLiteral("ProjectID,Title,Priority,Status,Cost,CostInDays,PercentComplete,AssignedTo,Description,"
                           "StartDate,DueDate) values (") +
            idValue + QString::number(project) + QLatin1Char(',') + text("Title") + QLatin1Char(',') +
            text("Priority") + QLatin1Char(',') + text("Status") + QLatin1Char(',') + numberOrNull(raw("Cost")) +
            QLatin1Char(',') + numberOrNull(raw("CostInDays")) + QLatin1Char(',') +
            numberOrNull(raw("PercentComplete")) + QLatin1Char(',') + assigned + QLatin1Char(',') +
            text("Description") + QLatin1Char(',') + dateOrNull(raw("StartDate")) + QLatin1Char(',') +
            dateOrNull(raw("DueDate")) + QLatin1Char(')'));
        return;
    }
    }
}

} // namespace

ImportBatch::Outcome ImportBatch::apply() {
    Outcome outcome;
    const ImportFile* file = nullptr;
    int line = 0;
    try {
        ImportTransaction transaction;
        Writer writer(m_valueLists);
        for (const ImportFile& f : m_files) {
            file = &f;
            for (const ImportFile::Row& row : f.m_rows) {
                line = row.line;
                writer.write(f, row.values, row.id, f.keepIds);
            }
        }
        file = nullptr;
        // New records get numbers past the kept ones and past every contact and project that
        // the rows refer to, even one that is not in the files (a contact deleted before the
        // export): its number must never go to someone else.
        if (Connection* connection = Database::shared().connection())
            RecordIds::moveCountersPastUsed(*connection);
        transaction.commit();

        QStringList parts;
        for (const ImportFile& f : m_files)
            parts << ImportFields::countOf(f.kind, f.accepted);
        outcome.message = QStringLiteral("Imported ") + parts.join(QStringLiteral(", ")) + QLatin1Char('.');
        if (writer.addedContacts > 0 || writer.addedEntries > 0)
            outcome.message += QStringLiteral(" Added along with them: %1 and %2.")
                                   .arg(ImportFields::countOf(ImportKind::Contacts, writer.addedContacts),
                                        ImportFields::countOf(ImportKind::ValueLists, writer.addedEntries));
        outcome.ok = true;
    } catch (const DbError& e) {
        outcome.message = file ? QStringLiteral("Nothing was imported. %1, line %2: %3")
                                     .arg(file->fileName())
                                     .arg(line)
                                     .arg(e.description())
                               : QStringLiteral("Nothing was imported: %1").arg(e.description());
    }
    return outcome;
}

// ---------------------------------------------------------------- review

namespace {
class CancellingReview final : public ImportReview {
public:
    bool confirm(ImportBatch&) override { return false; }
};
CancellingReview g_cancel;
ImportReview* g_review = nullptr;
} // namespace

ImportReview& ImportReview::current() {
    return g_review ? *g_review : g_cancel;
}

bool ImportReview::isInstalled() {
    return g_review != nullptr;
}

void ImportReview::install(ImportReview* review) {
    g_review = review;
}
