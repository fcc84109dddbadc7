// The history of the records, as the database records it (see schema/history.sql): reading a
// record's entries, the entries of one change, the deleted projects; putting records back to
// the state before or after a change; and removing entries past the retention.
#pragma once

#include "DbError.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <functional>

namespace History {

// One insert, change or delete of one record.
struct Entry {
    qint64 id = 0;
    QDateTime at;  // UTC
    QString by;    // the role (team database) or desktop user; empty: another program
    QString table; // "projects", "tasks", "tasklinks", "employees", "status", ...
    qint64 recordId = 0;
    QString kind;       // "insert", "update" or "delete"
    QJsonObject before; // empty for an insert
    QJsonObject after;  // empty for a delete
    qint64 mark = 0;    // shared by the entries of one transaction; 0: not known
};

// One field of an entry whose value differs before and after.
struct FieldChange {
    QString field; // column name, lower case
    QJsonValue before;
    QJsonValue after;
};

// The fields an entry changed (for an insert, the fields it set; for a delete, those it had),
// in the order of the record's columns.
QList<FieldChange> changedFields(const Entry& entry);
// What the user reads for a field ("Due Date") and for a value of it (dates in the short date
// format, empty text for none).
QString fieldCaption(const QString& field);
QString valueText(const QString& field, const QJsonValue& value);
// What the user reads for a kind of record ("Project") and for a record of an entry ("Testing").
QString tableCaption(const QString& table);
QString recordLabel(const Entry& entry);
// Who made the change of an entry, for the user ("role editor_2"; "another program").
QString personText(const Entry& entry);

// Whether the database in use keeps a history.
bool available();
// A record's entries, newest first.
QList<Entry> ofRecord(const QString& table, qint64 recordId);
// The entries a transaction wrote, oldest first.
QList<Entry> ofMark(qint64 mark);
// The entries written together with an entry: those of its transaction, or, for a change made
// by another program on a local file, those of the same statement.
QList<Entry> together(const Entry& entry);
// The name of a change made of these entries, for what it added or deleted where it did: "Delete
// Project 'Testing'", "Add Link", "Change 3 Tasks".
QString describe(const QList<Entry>& entries);

// A project that was deleted and is not back, with the number of its tasks deleted with it.
struct DeletedProject {
    Entry entry;
    int tasks = 0;
};
// The deleted projects, newest first (at most limit).
QList<DeletedProject> deletedProjects(int limit = 500);
// The entries that a project's deletion took with it (its tasks, their links, and the tasks
// handed on to other parents), out of the entries written together with it.
QList<Entry> deletionOfProject(const Entry& projectDeletion);

// Thrown when a record is no longer as the entries left it: someone changed it since.
class Conflict : public DbError {
public:
    explicit Conflict(const QString& description)
        : DbError(description) {}
};

enum class Direction {
    Back,    // to the state before the entries
    Forward, // to the state after them
};
// Puts every record the entries touched to its state before or after them, in one transaction,
// with the IDs it had. Refuses (Conflict, nothing changed) when any of them is not now as the
// entries' other end left it.
// `chosen`: a version the user chose (History -> Restore this version) rather than a step undone.
void apply(const QList<Entry>& entries, Direction direction, bool chosen = false);
// What else a restore does in its transaction once the records are back (the plan's dates follow
// their links: set by the composition root, since this layer knows no plan). It may throw to
// undo the whole restore.
using FollowUp = std::function<void(const QList<Entry>& entries, Direction direction, bool chosen)>;
void setFollowUp(FollowUp followUp);
// Puts a record back to what it was after one entry (before it, for a delete), through the same
// check as a save: the record must still be as its newest entry left it.
void restoreVersion(const Entry& entry);

// Removes entries older than the days or beyond the newest number of entries; returns how many.
qint64 prune(int days, qint64 entries);

} // namespace History
