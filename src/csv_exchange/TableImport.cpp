#include "TableImport.h"

#include "app/Database.h"
#include "app/FieldBounds.h"
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
         {"company", "companyname", "organization", "organisation", "organization1name", "organisation1name",
          "organizationname", "organisationname"}},
        {"JobTitle",
         "Job Title",
         Kind::Text,
         {"jobtitle", "position", "organization1title", "organizationtitle", "organisationtitle"}},
        {"BusinessPhone",
         "Business Phone",
         Kind::Text,
         {"businessphone", "workphone", "officephone", "phone", "telephone", "primaryphone", "companymainphone"}},
        {"HomePhone", "Home Phone", Kind::Text, {"homephone", "privatephone"}},
        {"MobilePhone",
         "Mobile Phone",
         Kind::Text,
         {"mobilephone", "mobile", "mobilenumber", "cellphone", "cell", "cellularphone"}},
        // Web address books number their phones and name each one's type in a column beside it
        // ("Phone 1 - Type" or "Phone 1 - Label": Mobile, Work, Home Fax...).
        {"PhoneByType",
         "Phone (the field its type column names)",
         Kind::Text,
         {"phone1value", "phone2value", "phone3value", "phone4value", "phone5value", "phone6value", "phone7value",
          "phone8value", "phone9value"}},
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
    mapByNames();
}

void ImportFile::mapByNames() {
    // Each field takes the first column that names it; a later column of the same field is
    // used where the first one is empty (an export's business and home addresses).
    mapping.clear();
    for (const QString& header : std::as_const(table.header))
        mapping.push_back(ImportFields::match(kind, header));
}

void ImportFile::unmapAll() {
    mapping.assign(static_cast<size_t>(table.header.size()), -1);
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

// Contacts are the same when their names and e-mail address are (in any letter case).
QString contactKey(const QString& first, const QString& last, const QString& email) {
    return first.trimmed().toLower() + QLatin1Char('|') + last.trimmed().toLower() + QLatin1Char('|') +
           email.trimmed().toLower();
}

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

int kindOrder(ImportKind kind) {
    return static_cast<int>(kind);
}

} // namespace

ImportBatch::ImportBatch() {
    m_contactIds = idsOf(QStringLiteral("select ID from Employees"));
    {
        ResultSet rs = Database::shared().query(QStringLiteral("select FirstName,LastName,Email from Employees"));
        while (!rs.eof()) {
            const QString first = rs.rawText(0);
            const QString last = rs.rawText(1);
            m_contactKeys.insert(contactKey(first, last, rs.rawText(2)),
                                 QStringLiteral("the contact %1").arg((first + QLatin1Char(' ') + last).trimmed()));
            rs.moveNext();
        }
    }
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

ImportFile& ImportBatch::add(QString path, ImportKind kind, CsvTable table, QString encoding, QChar separator) {
    ImportFile& file = m_files.emplace_back(std::move(path), kind, std::move(table));
    file.encoding = std::move(encoding);
    file.separator = separator;
    return file;
}

std::vector<size_t> ImportBatch::writingOrder() const {
    std::vector<size_t> order(m_files.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // Written in the order that lets later rows refer to earlier ones.
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return kindOrder(m_files[a].kind) < kindOrder(m_files[b].kind); });
    return order;
}

QString ImportBatch::reread(size_t index, const QString& encoding) {
    if (index >= m_files.size())
        return {};
    ImportFile& file = m_files[index];
    CsvReadOptions options;
    options.encoding = encoding;
    options.keepOddRows = true;
    CsvReadResult read = Csv::readFile(file.path, Csv::defaultMaxFileSize, options);
    if (!read.ok)
        return read.error;
    file.table = std::move(read.table);
    file.encoding = read.encoding;
    file.separator = read.separator;
    file.mapByNames();
    return {};
}

void ImportBatch::setKind(size_t index, ImportKind kind) {
    if (index >= m_files.size())
        return;
    m_files[index].kind = kind;
    m_files[index].mapByNames();
}

QString ImportBatch::defaultsText() const {
    return QStringLiteral("Start: today (%1); End and Due Date: the start; Budget, Cost, their days and "
                          "% Complete: 0")
        .arg(SqlText::dateText(today));
}

namespace {

// A value every project or task must have, and what it becomes when the user lets the import
// fill it in.
struct Required {
    const char* key;
    const char* label;
    const char* defaultFrom; // the field whose value it takes, or nullptr for the fixed default
};
const std::vector<Required>& requiredOf(ImportKind kind) {
    static const std::vector<Required> projects = {{"StartDate", "Start", nullptr},
                                                   {"EndDate", "End", "StartDate"},
                                                   {"Budget", "Budget", nullptr},
                                                   {"BudgetInDays", "Budget in Days", nullptr}};
    static const std::vector<Required> tasks = {{"StartDate", "Start Date", nullptr},
                                                {"DueDate", "Due Date", "StartDate"},
                                                {"PercentComplete", "% Complete", nullptr},
                                                {"Cost", "Cost", nullptr},
                                                {"CostInDays", "Cost in Days", nullptr}};
    static const std::vector<Required> none;
    return kind == ImportKind::Projects ? projects : kind == ImportKind::Tasks ? tasks : none;
}

// The end that must not come before the start: {end, start}.
std::optional<std::pair<const char*, const char*>> spanOf(ImportKind kind) {
    if (kind == ImportKind::Projects)
        return std::make_pair("EndDate", "StartDate");
    if (kind == ImportKind::Tasks)
        return std::make_pair("DueDate", "StartDate");
    return std::nullopt;
}

bool isAmount(const QString& key) {
    return key == QLatin1String("Budget") || key == QLatin1String("BudgetInDays") || key == QLatin1String("Cost") ||
           key == QLatin1String("CostInDays");
}

// What a number, date or ID cell says is wrong with it; the empty text when it is a good value
// (then *value holds it as it is stored).
QString badCell(const ImportField& field, const QString& cell, QString* value) {
    const QString label = QLatin1String(field.label);
    const QString key = QLatin1String(field.key);
    switch (field.kind) {
    case Kind::Number: {
        const auto n = CsvCells::parseNumber(cell);
        if (!n)
            return QStringLiteral("%1 \"%2\" is not a number (write it like 1234.5)").arg(label, cell);
        if (key == QLatin1String("PercentComplete") && (*n < FieldBounds::minPercent || *n > FieldBounds::maxPercent))
            return QStringLiteral("%1 %2 is not between 0 and 100").arg(label, cell.trimmed());
        if (isAmount(key) && *n < FieldBounds::minAmount)
            return QStringLiteral("%1 %2 is below 0").arg(label, cell.trimmed());
        *value = numberText(*n);
        return {};
    }
    case Kind::Date: {
        const auto d = CsvCells::parseDate(cell);
        if (!d)
            return QStringLiteral("%1 \"%2\" is not a date (write it like 2026-12-31)").arg(label, cell);
        if (!FieldBounds::yearInRange(*d))
            return QStringLiteral("%1 %2 is not within the years %3 to %4")
                .arg(label, cell.trimmed())
                .arg(FieldBounds::firstYear)
                .arg(FieldBounds::lastYear);
        *value = SqlText::dateText(*d);
        return {};
    }
    case Kind::Id: {
        const auto id = CsvCells::parseId(cell);
        if (!id)
            return QStringLiteral("%1 \"%2\" is not a record number").arg(label, cell);
        *value = QString::number(*id);
        return {};
    }
    case Kind::Text:
        break;
    }
    return {};
}

// The phone field that a type cell of an address book names ("Mobile", "* Work", "Home Fax"...);
// empty when the type says nothing the program has a field for.
QString phoneFieldOfType(const QString& type) {
    const QString t = type.toLower();
    if (t.contains(QLatin1String("fax")))
        return QStringLiteral("FaxNumber");
    if (t.contains(QLatin1String("mobile")) || t.contains(QLatin1String("cell")))
        return QStringLiteral("MobilePhone");
    if (t.contains(QLatin1String("home")))
        return QStringLiteral("HomePhone");
    if (t.contains(QLatin1String("work")) || t.contains(QLatin1String("business")) ||
        t.contains(QLatin1String("main")) || t.contains(QLatin1String("office")) ||
        t.contains(QLatin1String("company")))
        return QStringLiteral("BusinessPhone");
    return {};
}

// For each column, the column that holds its type ("Phone 1 - Type" or "Phone 1 - Label" for
// "Phone 1 - Value"), or -1.
std::vector<int> typeColumns(const QStringList& header) {
    std::vector<int> types(static_cast<size_t>(header.size()), -1);
    for (qsizetype c = 0; c < header.size(); ++c) {
        const QString name = ImportFields::normalisedHeader(header[c]);
        if (!name.endsWith(QLatin1String("value")))
            continue;
        const QString stem = name.chopped(5);
        for (qsizetype t = 0; t < header.size(); ++t) {
            const QString other = ImportFields::normalisedHeader(header[t]);
            if (other == stem + QLatin1String("type") || other == stem + QLatin1String("label")) {
                types[static_cast<size_t>(c)] = static_cast<int>(t);
                break;
            }
        }
    }
    return types;
}

// Google's address book puts several values into one cell, separated by " ::: ".
const QString severalValues = QStringLiteral(" ::: ");

} // namespace

void ImportBatch::check() {
    // IDs that the rows of earlier files bring (old IDs as the files give them).
    QSet<qint64> batchContacts;
    QSet<qint64> batchProjects;
    QHash<QString, QSet<QString>> lists = m_valueLists;
    QHash<QString, QString> contacts = m_contactKeys;
    const QString today = SqlText::dateText(this->today);

    for (const size_t index : writingOrder()) {
        ImportFile& file = m_files[index];
        file.m_rows.clear();
        file.refused.clear();
        file.duplicates.clear();
        file.notes.clear();
        const auto& fields = ImportFields::of(file.kind);
        const std::vector<int> types = typeColumns(file.table.header);
        QHash<qint64, int> idLines;
        bool allHaveIds = true;

        for (const CsvTable::OddRow& odd : file.table.oddRows)
            file.refused.push_back({odd.line, QStringLiteral("the row has %1 cells, but the header has %2")
                                                  .arg(odd.cells)
                                                  .arg(file.table.header.size())});

        for (size_t r = 0; r < file.table.rows.size(); ++r) {
            const QStringList& cells = file.table.rows[r];
            const int line = file.table.lineOf(r);
            ImportFile::Row row{line, {}, std::nullopt};
            auto refuse = [&](const QString& reason) { file.refused.push_back({line, reason}); };
            auto note = [&](const QString& text) { file.notes.push_back({line, text}); };
            bool any = false;
            bool blank = true;
            std::vector<std::pair<qsizetype, QString>> phones; // columns whose field their type names
            for (qsizetype c = 0; c < cells.size(); ++c) {
                if (cells[c].trimmed().isEmpty())
                    continue;
                blank = false;
                const int f = file.mapping[static_cast<size_t>(c)];
                if (f < 0)
                    continue;
                any = true;
                const ImportField& field = fields[static_cast<size_t>(f)];
                QString value = field.kind == Kind::Text ? CsvCells::importText(cells[c]) : cells[c];
                if (file.kind == ImportKind::Contacts && value.contains(severalValues)) {
                    const QString first = value.section(severalValues, 0, 0).trimmed();
                    note(QStringLiteral("%1 holds several values; the first is imported (%2)")
                             .arg(file.table.header[c], first));
                    value = first;
                }
                const QString key = QLatin1String(field.key);
                if (key == QLatin1String("PhoneByType")) {
                    phones.emplace_back(c, value);
                    continue;
                }
                if (row.values.value(key).isEmpty())
                    row.values.insert(key, value);
            }
            // Phones go where their type says; those of another type fill the phone fields left.
            std::vector<QString> untyped;
            for (const auto& [column, number] : phones) {
                const int typeColumn = types[static_cast<size_t>(column)];
                const QString target = typeColumn < 0 ? QString() : phoneFieldOfType(cells.value(typeColumn));
                if (target.isEmpty())
                    untyped.push_back(number);
                else if (row.values.value(target).isEmpty())
                    row.values.insert(target, number);
            }
            for (const QString& number : untyped) {
                for (const char* target : {"BusinessPhone", "HomePhone", "MobilePhone"}) {
                    if (row.values.value(QLatin1String(target)).isEmpty()) {
                        row.values.insert(QLatin1String(target), number);
                        break;
                    }
                }
            }
            if (!any) {
                refuse(blank ? QStringLiteral("the row is empty")
                             : QStringLiteral("none of its cells is in a column that is imported"));
                continue;
            }
            // The name that the program's own lists and exports give a contact that no longer
            // exists is no name: the ID (when the file has it) is kept as it is.
            for (const char* name : {"OwnerName", "AssignedTo"}) {
                if (row.values.value(QLatin1String(name)).trimmed() == QLatin1String(SchemaViews::deletedContact))
                    row.values.remove(QLatin1String(name));
            }

            // Every number, date and ID cell must read as one, within the bounds of its field.
            QString bad;
            for (const ImportField& field : fields) {
                const QString key = QLatin1String(field.key);
                const QString cell = row.values.value(key);
                if (cell.isEmpty() || field.kind == Kind::Text)
                    continue;
                QString value;
                bad = badCell(field, cell, &value);
                if (!bad.isEmpty())
                    break;
                row.values[key] = value;
            }
            if (!bad.isEmpty()) {
                refuse(bad);
                continue;
            }
            auto value = [&](const char* key) { return row.values.value(QLatin1String(key)); };

            // Values every project and task must have: refused, or filled in as the user chose.
            QStringList missing;
            QStringList filled;
            for (const Required& required : requiredOf(file.kind)) {
                if (!value(required.key).isEmpty())
                    continue;
                missing << QLatin1String(required.label);
                const QString fill = required.defaultFrom ? value(required.defaultFrom)
                                     : QLatin1String(required.key).endsWith(QLatin1String("Date"))
                                         ? today
                                         : QStringLiteral("0");
                row.values.insert(QLatin1String(required.key), fill);
                filled << QStringLiteral("%1 %2").arg(QLatin1String(required.label), fill);
            }
            if (!missing.isEmpty()) {
                if (missingValues == MissingValues::Refuse) {
                    refuse(QStringLiteral("no %1 (a value every %2 must have)")
                               .arg(missing.join(QStringLiteral(", ")), ImportFields::rowsName(file.kind).chopped(1)));
                    continue;
                }
                note(QStringLiteral("filled in: %1").arg(filled.join(QStringLiteral(", "))));
            }
            if (const auto span = spanOf(file.kind)) {
                const QString end = value(span->first);
                const QString start = value(span->second);
                if (!end.isEmpty() && !start.isEmpty() && end < start) {
                    const auto label = [&](const char* key) {
                        return QLatin1String(
                            fields[static_cast<size_t>(ImportFields::match(file.kind, QLatin1String(key)))].label);
                    };
                    refuse(QStringLiteral("%1 %2 is before %3 %4")
                               .arg(label(span->first), end, label(span->second), start));
                    continue;
                }
            }

            auto known = [&](const char* key, const QSet<qint64>& existing, const QSet<qint64>& inBatch) {
                const QString id = value(key);
                return !id.isEmpty() && (existing.contains(id.toLongLong()) || inBatch.contains(id.toLongLong()));
            };

            QString duplicateOf;
            switch (file.kind) {
            case ImportKind::Contacts: {
                QString first = value("FirstName").trimmed();
                QString last = value("LastName").trimmed();
                const QString full = value("FullName").simplified();
                if (first.isEmpty() && last.isEmpty() && !full.isEmpty()) {
                    const qsizetype blankAt = full.indexOf(QLatin1Char(' '));
                    first = blankAt < 0 ? full : full.left(blankAt);
                    last = blankAt < 0 ? QString() : full.mid(blankAt + 1);
                    row.values.insert(QStringLiteral("FirstName"), first);
                    row.values.insert(QStringLiteral("LastName"), last);
                }
                const QString email = value("Email").trimmed();
                // A name or an e-mail address is enough to tell the contact by.
                if (first.isEmpty() && last.isEmpty() && email.isEmpty())
                    bad = QStringLiteral("no name and no e-mail address");
                else if (first.isEmpty() && last.isEmpty())
                    note(QStringLiteral("no name, only the e-mail address %1").arg(email));
                const QString key = contactKey(first, last, email);
                if (bad.isEmpty()) {
                    if (contacts.contains(key))
                        duplicateOf = contacts.value(key);
                    else
                        contacts.insert(key, QStringLiteral("line %1 of %2").arg(line).arg(file.fileName()));
                }
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
            if (!duplicateOf.isEmpty()) {
                file.duplicates.push_back(
                    {line, QStringLiteral("the same name and e-mail address as %1").arg(duplicateOf)});
                if (!file.includeDuplicates)
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
        std::stable_sort(file.refused.begin(), file.refused.end(),
                         [](const RefusedRow& a, const RefusedRow& b) { return a.line < b.line; });

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
    int skipped = 0;
    for (const size_t index : writingOrder()) {
        const ImportFile& f = m_files[index];
        parts << ImportFields::countOf(f.kind, f.accepted);
        refused += static_cast<int>(f.refused.size());
        if (!f.includeDuplicates)
            skipped += static_cast<int>(f.duplicates.size());
    }
    QString text = parts.join(QStringLiteral(", ")) + QStringLiteral(" will be added");
    if (refused > 0)
        text +=
            refused == 1 ? QStringLiteral("; 1 row is refused") : QStringLiteral("; %1 rows are refused").arg(refused);
    if (skipped > 0)
        text += skipped == 1 ? QStringLiteral("; 1 row matches a contact already there and is skipped")
                             : QStringLiteral("; %1 rows match contacts already there and are skipped").arg(skipped);
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
        for (const size_t index : writingOrder()) {
            const ImportFile& f = m_files[index];
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
        Database::shared().moveIdsPastKept(
            {QStringLiteral("Employees"), QStringLiteral("Projects"), QStringLiteral("Tasks")});
        transaction.commit();

        QStringList parts;
        for (const size_t index : writingOrder())
            parts << ImportFields::countOf(m_files[index].kind, m_files[index].accepted);
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
