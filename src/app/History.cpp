#include "History.h"

#include "Backup.h"
#include "Connection.h"
#include "Database.h"
#include "DbError.h"
#include "SqlText.h"
#include "ValueText.h"

#include <QHash>
#include <QJsonDocument>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <optional>

namespace History {

namespace {

// The columns of each kind of record, in the order the editors show them.
const QHash<QString, QStringList>& columnOrder() {
    static const QHash<QString, QStringList> order{
        {QStringLiteral("projects"),
         {QStringLiteral("id"), QStringLiteral("projectname"), QStringLiteral("owner"), QStringLiteral("startdate"),
          QStringLiteral("enddate"), QStringLiteral("status"), QStringLiteral("category"), QStringLiteral("priority"),
          QStringLiteral("budgetindays"), QStringLiteral("budget"), QStringLiteral("notes")}},
        {QStringLiteral("tasks"),
         {QStringLiteral("id"), QStringLiteral("projectid"), QStringLiteral("title"), QStringLiteral("priority"),
          QStringLiteral("status"), QStringLiteral("assignedto"), QStringLiteral("startdate"),
          QStringLiteral("duedate"), QStringLiteral("percentcomplete"), QStringLiteral("cost"),
          QStringLiteral("costindays"), QStringLiteral("description"), QStringLiteral("parentid"),
          QStringLiteral("milestone"), QStringLiteral("startnoearlierthan"), QStringLiteral("planorder"),
          QStringLiteral("milestoneatstart")}},
        {QStringLiteral("employees"),
         {QStringLiteral("id"), QStringLiteral("firstname"), QStringLiteral("lastname"), QStringLiteral("email"),
          QStringLiteral("company"), QStringLiteral("jobtitle"), QStringLiteral("businessphone"),
          QStringLiteral("homephone"), QStringLiteral("mobilephone"), QStringLiteral("faxnumber"),
          QStringLiteral("address"), QStringLiteral("city"), QStringLiteral("state"), QStringLiteral("zip"),
          QStringLiteral("country"), QStringLiteral("webpage"), QStringLiteral("notes")}},
        {QStringLiteral("tasklinks"),
         {QStringLiteral("id"), QStringLiteral("predecessorid"), QStringLiteral("successorid"), QStringLiteral("kind"),
          QStringLiteral("lag")}},
        {QStringLiteral("status"), {QStringLiteral("seq"), QStringLiteral("status")}},
        {QStringLiteral("categories"), {QStringLiteral("seq"), QStringLiteral("category")}},
        {QStringLiteral("priorities"), {QStringLiteral("seq"), QStringLiteral("priority")}},
    };
    return order;
}

// The order in which records are put back: what others refer to first.
int rank(const QString& table) {
    static const QHash<QString, int> ranks{
        {QStringLiteral("status"), 0},    {QStringLiteral("categories"), 0}, {QStringLiteral("priorities"), 0},
        {QStringLiteral("employees"), 1}, {QStringLiteral("projects"), 2},   {QStringLiteral("tasks"), 3},
        {QStringLiteral("tasklinks"), 4},
    };
    return ranks.value(table, 5);
}

bool isValueList(const QString& table) {
    return rank(table) == 0;
}

QString keyField(const QString& table) {
    return isValueList(table) ? QStringLiteral("seq") : QStringLiteral("id");
}

QStringList orderedKeys(const QString& table, const QJsonObject& a, const QJsonObject& b) {
    QStringList keys;
    QSet<QString> seen;
    for (const QString& k : columnOrder().value(table)) {
        if (a.contains(k) || b.contains(k)) {
            keys << k;
            seen.insert(k);
        }
    }
    for (const QJsonObject* o : {&a, &b})
        for (auto it = o->begin(); it != o->end(); ++it)
            if (!seen.contains(it.key())) {
                keys << it.key();
                seen.insert(it.key());
            }
    return keys;
}

const QString entryColumns = QStringLiteral("ID, ChangedAt, ChangedBy, TableName, RecordID, Kind, OldRow, NewRow, Tx");

QJsonObject parseRow(const ResultSet& rows, int column) {
    if (rows.isNull(column))
        return {};
    return QJsonDocument::fromJson(rows.value(column).toString().toUtf8()).object();
}

QList<Entry> readEntries(const QString& statement) {
    QList<Entry> entries;
    auto rows = Database::shared().query(statement);
    while (!rows.eof()) {
        Entry e;
        e.id = rows.value(0).toLongLong();
        const QVariant at = rows.value(1);
        if (at.typeId() == QMetaType::QDateTime)
            e.at = at.toDateTime().toUTC();
        else {
            e.at = QDateTime::fromString(at.toString(), Qt::ISODateWithMs);
            if (!e.at.isValid()) // PostgreSQL's text form: "2026-12-07 23:35:38.198+00"
                e.at = QDateTime::fromString(at.toString().replace(QLatin1Char(' '), QLatin1Char('T')) +
                                                 QStringLiteral(":00"),
                                             Qt::ISODateWithMs);
            e.at = e.at.toUTC();
        }
        e.by = rows.isNull(2) ? QString() : rows.value(2).toString();
        e.table = rows.value(3).toString();
        e.recordId = rows.value(4).toLongLong();
        e.kind = rows.value(5).toString();
        e.before = parseRow(rows, 6);
        e.after = parseRow(rows, 7);
        e.mark = rows.isNull(8) ? 0 : rows.value(8).toLongLong();
        entries << e;
        rows.moveNext();
    }
    return entries;
}

bool sameValue(const QJsonValue& stored, const QJsonValue& expected) {
    if (stored.isNull() || expected.isNull() || stored.isUndefined() || expected.isUndefined())
        return (stored.isNull() || stored.isUndefined()) == (expected.isNull() || expected.isUndefined());
    auto number = [](const QJsonValue& v, double& out) {
        if (v.isDouble()) {
            out = v.toDouble();
            return true;
        }
        if (v.isBool()) {
            out = v.toBool() ? 1 : 0;
            return true;
        }
        bool ok = false;
        out = v.toString().toDouble(&ok);
        return ok;
    };
    double a = 0;
    double b = 0;
    if ((stored.isDouble() || stored.isBool() || expected.isDouble() || expected.isBool()) && number(stored, a) &&
        number(expected, b))
        return a == b || std::fabs(a - b) <= 1e-12 * std::max(std::fabs(a), std::fabs(b));
    return stored.toVariant().toString() == expected.toVariant().toString();
}

// A value of the history as it is bound to a statement.
QVariant boundValue(const QJsonValue& value) {
    if (value.isBool())
        return value.toBool();
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 9.0e15)
            return static_cast<qint64>(d);
        return d;
    }
    if (value.isString())
        return value.toString();
    return {};
}

// A name of the program's own, quoted as the statements quote names.
QString quotedName(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// The fields of an entry's record that are columns of its table. The entries are written by the
// database, but the program never puts a name it read from them into a statement: whatever else
// a record of the history holds is left out.
QStringList knownFields(const QString& table, const QJsonObject& row) {
    QStringList fields;
    for (const QString& f : columnOrder().value(table))
        if (row.contains(f))
            fields << f;
    return fields;
}

// The record with its table's columns alone.
QJsonObject knownOnly(const QString& table, const QJsonObject& row) {
    QJsonObject known;
    for (const QString& f : knownFields(table, row))
        known.insert(f, row.value(f));
    return known;
}

// The record as it is stored now, in the history's form (lower-case names), or an empty object
// when there is none. Locks it until the transaction ends where the database locks rows.
QJsonObject currentRow(const QString& table, qint64 id, const QStringList& fields) {
    Connection* connection = Database::shared().connection();
    const QString stored = connection->storedTable(table);
    const QString key = isValueList(table) ? connection->entryOrderColumn() : QStringLiteral("ID");
    QStringList columns;
    for (const QString& f : fields)
        columns << quotedName(f == QLatin1String("seq") ? key : f);
    if (columns.isEmpty())
        columns << quotedName(key);
    auto rows = Database::shared().query(QStringLiteral("select %1 from %2 where %3 = %4%5")
                                             .arg(columns.join(QStringLiteral(", ")), quotedName(stored),
                                                  quotedName(key), QString::number(id), connection->lockSuffix()));
    QJsonObject row;
    if (rows.eof())
        return row;
    if (fields.isEmpty()) // present, with nothing to compare
        row.insert(QStringLiteral("seq"), QJsonValue::Null);
    for (int i = 0; i < fields.size(); ++i) {
        if (rows.isNull(i)) {
            row.insert(fields[i], QJsonValue::Null);
            continue;
        }
        const QVariant v = rows.value(i);
        switch (v.typeId()) {
        case QMetaType::Bool:
            row.insert(fields[i], v.toBool());
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
        case QMetaType::Double:
            row.insert(fields[i], v.toDouble());
            break;
        default:
            row.insert(fields[i], rows.rawText(i));
        }
    }
    return row;
}

bool rowMatches(const QJsonObject& now, const QJsonObject& expected) {
    if (now.isEmpty() || expected.isEmpty())
        return now.isEmpty() == expected.isEmpty();
    for (auto it = expected.begin(); it != expected.end(); ++it)
        if (!sameValue(now.value(it.key()), it.value()))
            return false;
    return true;
}

QString labelOf(const QString& table, const QJsonObject& row) {
    auto text = [&](const char* field) { return row.value(QLatin1String(field)).toString(); };
    if (table == QLatin1String("projects"))
        return text("projectname");
    if (table == QLatin1String("tasks"))
        return text("title");
    if (table == QLatin1String("employees"))
        return (text("firstname") + QLatin1Char(' ') + text("lastname")).trimmed();
    if (table == QLatin1String("status"))
        return text("status");
    if (table == QLatin1String("categories"))
        return text("category");
    if (table == QLatin1String("priorities"))
        return text("priority");
    return {};
}

QString conflictText(const QString& table, qint64 id, const QJsonObject& known) {
    const QString label = labelOf(table, known);
    const QString name = label.isEmpty() ? QStringLiteral("%1 %2").arg(tableCaption(table)).arg(id)
                                         : QStringLiteral("%1 '%2'").arg(tableCaption(table), label);
    return QStringLiteral("%1 was changed by someone else since, so nothing was changed. Reopen it to see it as "
                          "it is now.")
        .arg(name);
}

} // namespace

bool available() {
    Connection* connection = Database::shared().connection();
    return connection && connection->keepsHistory();
}

QList<FieldChange> changedFields(const Entry& entry) {
    QList<FieldChange> changes;
    for (const QString& key : orderedKeys(entry.table, entry.before, entry.after)) {
        if (key == keyField(entry.table))
            continue;
        const QJsonValue before = entry.before.value(key);
        const QJsonValue after = entry.after.value(key);
        if (entry.kind == QLatin1String("update") && sameValue(before, after))
            continue;
        if (entry.kind != QLatin1String("update") && (before.isNull() || before.isUndefined()) &&
            (after.isNull() || after.isUndefined()))
            continue;
        changes << FieldChange{key, before, after};
    }
    return changes;
}

QString fieldCaption(const QString& field) {
    static const QHash<QString, QString> captions{
        {QStringLiteral("projectname"), QStringLiteral("Project Name")},
        {QStringLiteral("owner"), QStringLiteral("Owner")},
        {QStringLiteral("startdate"), QStringLiteral("Start Date")},
        {QStringLiteral("enddate"), QStringLiteral("End Date")},
        {QStringLiteral("duedate"), QStringLiteral("Due Date")},
        {QStringLiteral("status"), QStringLiteral("Status")},
        {QStringLiteral("category"), QStringLiteral("Category")},
        {QStringLiteral("priority"), QStringLiteral("Priority")},
        {QStringLiteral("notes"), QStringLiteral("Notes")},
        {QStringLiteral("budgetindays"), QStringLiteral("Budget in Days")},
        {QStringLiteral("budget"), QStringLiteral("Budget")},
        {QStringLiteral("projectid"), QStringLiteral("Project")},
        {QStringLiteral("title"), QStringLiteral("Title")},
        {QStringLiteral("cost"), QStringLiteral("Cost")},
        {QStringLiteral("costindays"), QStringLiteral("Cost in Days")},
        {QStringLiteral("percentcomplete"), QStringLiteral("Percent Complete")},
        {QStringLiteral("assignedto"), QStringLiteral("Assigned To")},
        {QStringLiteral("description"), QStringLiteral("Description")},
        {QStringLiteral("parentid"), QStringLiteral("Under Task")},
        {QStringLiteral("milestone"), QStringLiteral("Milestone")},
        {QStringLiteral("startnoearlierthan"), QStringLiteral("Start No Earlier Than")},
        {QStringLiteral("planorder"), QStringLiteral("Place Among Its Tasks")},
        {QStringLiteral("milestoneatstart"), QStringLiteral("Milestone at Start of Day")},
        {QStringLiteral("firstname"), QStringLiteral("First Name")},
        {QStringLiteral("lastname"), QStringLiteral("Last Name")},
        {QStringLiteral("email"), QStringLiteral("E-mail")},
        {QStringLiteral("company"), QStringLiteral("Company")},
        {QStringLiteral("jobtitle"), QStringLiteral("Job Title")},
        {QStringLiteral("businessphone"), QStringLiteral("Business Phone")},
        {QStringLiteral("homephone"), QStringLiteral("Home Phone")},
        {QStringLiteral("mobilephone"), QStringLiteral("Mobile Phone")},
        {QStringLiteral("faxnumber"), QStringLiteral("Fax Number")},
        {QStringLiteral("address"), QStringLiteral("Address")},
        {QStringLiteral("city"), QStringLiteral("City")},
        {QStringLiteral("state"), QStringLiteral("State")},
        {QStringLiteral("zip"), QStringLiteral("ZIP")},
        {QStringLiteral("country"), QStringLiteral("Country")},
        {QStringLiteral("webpage"), QStringLiteral("Web Page")},
        {QStringLiteral("predecessorid"), QStringLiteral("Predecessor")},
        {QStringLiteral("successorid"), QStringLiteral("Successor")},
        {QStringLiteral("kind"), QStringLiteral("Kind")},
        {QStringLiteral("lag"), QStringLiteral("Lag")},
    };
    return captions.value(field, field);
}

QString valueText(const QString& field, const QJsonValue& value) {
    if (value.isNull() || value.isUndefined())
        return {};
    if (field == QLatin1String("milestone") || field == QLatin1String("milestoneatstart"))
        return (value.isBool() ? value.toBool() : value.toDouble() != 0) ? QStringLiteral("Yes") : QStringLiteral("No");
    if (value.isDouble())
        return numberText(value.toDouble());
    const QString text = value.toString();
    if (field.endsWith(QLatin1String("date")) || field == QLatin1String("startnoearlierthan"))
        return shortDateText(text);
    return text;
}

QString tableCaption(const QString& table) {
    static const QHash<QString, QString> captions{
        {QStringLiteral("projects"), QStringLiteral("Project")},
        {QStringLiteral("tasks"), QStringLiteral("Task")},
        {QStringLiteral("employees"), QStringLiteral("Contact")},
        {QStringLiteral("tasklinks"), QStringLiteral("Link")},
        {QStringLiteral("status"), QStringLiteral("Status")},
        {QStringLiteral("categories"), QStringLiteral("Category")},
        {QStringLiteral("priorities"), QStringLiteral("Priority")},
    };
    return captions.value(table, table);
}

QString recordLabel(const Entry& entry) {
    return labelOf(entry.table, entry.after.isEmpty() ? entry.before : entry.after);
}

QString personText(const Entry& entry) {
    if (entry.by.isEmpty())
        return QStringLiteral("another program");
    Connection* connection = Database::shared().connection();
    return connection ? connection->personText(entry.by) : entry.by;
}

QList<Entry> ofRecord(const QString& table, qint64 recordId) {
    return readEntries(QStringLiteral("select %1 from History WHERE TableName = %2 AND RecordID = %3 ORDER BY ID DESC")
                           .arg(entryColumns, SqlText::quoted(table), QString::number(recordId)));
}

QList<Entry> ofMark(qint64 mark) {
    return readEntries(
        QStringLiteral("select %1 from History WHERE Tx = %2 ORDER BY ID").arg(entryColumns, QString::number(mark)));
}

QList<Entry> together(const Entry& entry) {
    if (entry.mark != 0)
        return ofMark(entry.mark);
    // Another program's change on a local file: one statement's entries share their time to the
    // millisecond and follow one another.
    QList<Entry> found = readEntries(
        QStringLiteral("select %1 from History WHERE Tx IS NULL AND ChangedAt = (SELECT ChangedAt FROM History WHERE "
                       "ID = %2) AND ID BETWEEN %3 AND %4 ORDER BY ID")
            .arg(entryColumns, QString::number(entry.id), QString::number(entry.id - 1000000),
                 QString::number(entry.id + 1000000)));
    return found.isEmpty() ? QList<Entry>{entry} : found;
}

QString describe(const QList<Entry>& entries) {
    if (entries.isEmpty())
        return {};
    // Named after what the user added or deleted, of the records others depend on: a status
    // deleted with its projects is "Delete Status", a project with its tasks "Delete Project". What
    // changed along with it (a subtask handed on to the parent, a summary's dates, tasks a new link
    // moved) does not name it; a step that only changed records is named after those.
    const auto addsOrDeletes = [](const Entry& e) { return e.kind != QLatin1String("update"); };
    const bool anyAddedOrDeleted = std::any_of(entries.begin(), entries.end(), addsOrDeletes);
    const auto counts = [&](const Entry& e) { return !anyAddedOrDeleted || addsOrDeletes(e); };
    int best = 99;
    for (const Entry& e : entries)
        if (counts(e))
            best = std::min(best, rank(e.table));
    QList<const Entry*> main;
    QSet<qint64> records;
    for (const Entry& e : entries)
        if (counts(e) && rank(e.table) == best && !records.contains(e.recordId)) {
            records.insert(e.recordId);
            main << &e;
        }
    const Entry& first = *main.first();
    bool same = true;
    for (const Entry* e : main)
        same = same && e->kind == first.kind;
    const QString verb = !same                                   ? QStringLiteral("Change")
                         : first.kind == QLatin1String("insert") ? QStringLiteral("Add")
                         : first.kind == QLatin1String("delete") ? QStringLiteral("Delete")
                                                                 : QStringLiteral("Change");
    const QString noun = tableCaption(first.table);
    if (main.size() > 1) {
        const QString plural = noun.endsWith(QLatin1Char('y'))   ? noun.chopped(1) + QStringLiteral("ies")
                               : noun.endsWith(QLatin1Char('s')) ? noun + QStringLiteral("es")
                                                                 : noun + QLatin1Char('s');
        return QStringLiteral("%1 %2 %3").arg(verb).arg(main.size()).arg(plural);
    }
    const QString label = recordLabel(first);
    return label.isEmpty() ? QStringLiteral("%1 %2").arg(verb, noun)
                           : QStringLiteral("%1 %2 '%3'").arg(verb, noun, label);
}

QList<DeletedProject> deletedProjects(int limit) {
    QList<DeletedProject> list;
    const QList<Entry> entries = readEntries(
        QStringLiteral("select %1 from History h WHERE TableName = 'projects' AND Kind = 'delete' AND NOT EXISTS "
                       "(SELECT 1 FROM Projects p WHERE p.ID = h.RecordID) ORDER BY ID DESC LIMIT %2")
            .arg(entryColumns, QString::number(limit)));
    QSet<qint64> seen;
    for (const Entry& e : entries) {
        if (seen.contains(e.recordId))
            continue; // deleted, restored and deleted again: the newest deletion
        seen.insert(e.recordId);
        DeletedProject d{e, 0};
        for (const Entry& t : deletionOfProject(e))
            if (t.table == QLatin1String("tasks") && t.kind == QLatin1String("delete"))
                ++d.tasks;
        list << d;
    }
    return list;
}

QList<Entry> deletionOfProject(const Entry& projectDeletion) {
    const QList<Entry> all = together(projectDeletion);
    const qint64 project = projectDeletion.recordId;
    QSet<qint64> tasks;
    for (const Entry& e : all)
        if (e.table == QLatin1String("tasks") &&
            static_cast<qint64>(e.before.value(QStringLiteral("projectid")).toDouble()) == project)
            tasks.insert(e.recordId);
    QList<Entry> taken;
    for (const Entry& e : all) {
        const bool mine =
            (e.table == QLatin1String("projects") && e.recordId == project) ||
            (e.table == QLatin1String("tasks") && tasks.contains(e.recordId)) ||
            (e.table == QLatin1String("tasklinks") &&
             (tasks.contains(static_cast<qint64>(e.before.value(QStringLiteral("predecessorid")).toDouble())) ||
              tasks.contains(static_cast<qint64>(e.before.value(QStringLiteral("successorid")).toDouble()))));
        if (mine)
            taken << e;
    }
    return taken;
}

namespace {
FollowUp& followUp() {
    static FollowUp current;
    return current;
}
} // namespace

void setFollowUp(FollowUp f) {
    followUp() = std::move(f);
}

void apply(const QList<Entry>& entries, Direction direction, bool chosen) {
    // Each record's first and last entry: before the first and after the last are the two ends.
    struct Ends {
        QString table;
        qint64 id = 0;
        QJsonObject target;   // empty: the record must not exist
        QJsonObject expected; // empty: the record must not exist now
        QJsonObject known;    // a version to name the record by
    };
    QMap<QPair<int, QPair<QString, qint64>>, Ends> records; // in the order records are put back
    QList<Entry> ordered = entries;
    std::sort(ordered.begin(), ordered.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; });
    for (const Entry& e : ordered) {
        if (!columnOrder().contains(e.table))
            throw DbError(QStringLiteral("The history names records of a kind that this program does not keep (%1), "
                                         "so nothing was changed.")
                              .arg(e.table));
        const auto key = qMakePair(rank(e.table), qMakePair(e.table, e.recordId));
        auto it = records.find(key);
        if (it == records.end()) {
            Ends ends{e.table, e.recordId, {}, {}, e.before.isEmpty() ? e.after : e.before};
            (direction == Direction::Back ? ends.target : ends.expected) = knownOnly(e.table, e.before);
            it = records.insert(key, ends);
        }
        (direction == Direction::Back ? it->expected : it->target) = knownOnly(e.table, e.after);
    }

    Database& db = Database::shared();
    // A step that removes records is covered by one copy of the file, made before it, as any
    // delete that takes other rows with it is.
    std::optional<Backup::Cover> cover;
    if (db.keepsOwnBackups() && !db.isReadOnly() &&
        std::any_of(records.cbegin(), records.cend(), [](const Ends& r) { return r.target.isEmpty(); }))
        cover.emplace(db);
    db.transaction([&] {
        Connection* connection = db.connection();
        // Check every record first: nothing is changed when any of them moved on.
        QHash<QPair<QString, qint64>, bool> present;
        for (const Ends& r : records) {
            const QJsonObject& shape = r.expected.isEmpty() ? r.target : r.expected;
            const QJsonObject now = currentRow(r.table, r.id, knownFields(r.table, shape));
            if (!rowMatches(now, r.expected))
                throw Conflict(conflictText(r.table, r.id, r.known));
            present.insert(qMakePair(r.table, r.id), !now.isEmpty());
        }
        auto where = [&](const Ends& r) {
            const QString key = isValueList(r.table) ? connection->entryOrderColumn() : QStringLiteral("ID");
            return QStringLiteral(" WHERE %1 = %2").arg(quotedName(key), QString::number(r.id));
        };
        auto column = [&](const QString& table, const QString& field) {
            return quotedName(field == QLatin1String("seq") && isValueList(table) ? connection->entryOrderColumn()
                                                                                  : field);
        };
        auto table = [&](const Ends& r) { return quotedName(connection->storedTable(r.table)); };
        // Records that must go, those that refer to others first.
        for (auto it = records.end(); it != records.begin();) {
            --it;
            if (it->target.isEmpty() && present.value(qMakePair(it->table, it->id)))
                db.execute(QStringLiteral("DELETE FROM %1%2").arg(table(*it), where(*it)));
        }
        // Records that come back, with their own IDs, those referred to first; a task's place in
        // the outline follows once every task is back.
        QList<const Ends*> later;
        for (const Ends& r : records) {
            if (r.target.isEmpty())
                continue;
            if (present.value(qMakePair(r.table, r.id))) {
                later << &r;
                continue;
            }
            QStringList columns;
            QStringList places;
            QVariantList values;
            bool hasParent = false;
            for (const QString& f : knownFields(r.table, r.target)) {
                const QJsonValue value = r.target.value(f);
                if (r.table == QLatin1String("tasks") && f == QLatin1String("parentid") && !value.isNull()) {
                    hasParent = true;
                    continue;
                }
                columns << column(r.table, f);
                values << boundValue(value);
                places << QStringLiteral("$%1").arg(values.size());
            }
            db.executeWith(QStringLiteral("INSERT INTO %1 (%2)%3 VALUES (%4)")
                               .arg(table(r), columns.join(QStringLiteral(", ")), connection->keepingIds(),
                                    places.join(QStringLiteral(", "))),
                           values);
            if (hasParent)
                later << &r;
        }
        for (const Ends* r : later) {
            QStringList sets;
            QVariantList values;
            for (const QString& f : knownFields(r->table, r->target))
                if (f != keyField(r->table)) {
                    values << boundValue(r->target.value(f));
                    sets << QStringLiteral("%1 = $%2").arg(column(r->table, f)).arg(values.size());
                }
            if (!sets.isEmpty())
                db.executeWith(
                    QStringLiteral("UPDATE %1 SET %2%3").arg(table(*r), sets.join(QStringLiteral(", ")), where(*r)),
                    values);
        }
        if (followUp())
            followUp()(entries, direction, chosen);
    });
}

void restoreVersion(const Entry& entry) {
    const QList<Entry> newer = ofRecord(entry.table, entry.recordId);
    if (newer.isEmpty())
        return;
    // From the newest entry back to the chosen one: the record as it was after it.
    QList<Entry> span;
    for (const Entry& e : newer) {
        if (e.id < entry.id || (e.id == entry.id && entry.kind != QLatin1String("delete")))
            break;
        span << e;
    }
    if (span.isEmpty())
        return; // it is that version now
    apply(span, Direction::Back, true);
}

qint64 prune(int days, qint64 entries) {
    Database& db = Database::shared();
    qint64 removed = 0;
    for (const QString& statement : db.connection()->historyPruneStatements(days, entries)) {
        if (statement.startsWith(QLatin1String("SELECT"))) {
            auto rows = db.query(statement);
            removed += rows.eof() ? 0 : rows.value(0).toLongLong();
        } else {
            removed += db.execute(statement);
        }
    }
    return removed;
}

} // namespace History
