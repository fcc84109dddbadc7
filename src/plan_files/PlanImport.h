// Importing a plan file as a new project: read by its kind, scheduled as the planner schedules
// it and compared with the dates the file stores (the preview), then written all or nothing.
#pragma once

#include "PlanFile.h"
#include "csv_exchange/Csv.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace PlanImport {

// The largest file read, as for CSV imports.
constexpr qint64 maxFileBytes = Csv::defaultMaxFileSize;

// Reads a file by its suffix (.xml, .gan, .planner, .ics), else by its first element (or
// BEGIN:VCALENDAR); false with a plain message that names the file (and the place in it) when it
// cannot. eventsAsTasks: an iCalendar file's events are imported as tasks too.
bool readFile(const QString& path, PlanFiles::PlanFile& plan, QString* error, bool eventsAsTasks = false);

struct Difference {
    QString task;
    QDate fileStart, fileFinish; // as the file stores them
    QDate start, finish;         // as the planner schedules them
};

struct Preview {
    int tasks = 0, links = 0, milestones = 0, summaries = 0;
    QStringList newContacts; // resources (and the owner) not yet among the contacts
    QStringList notKept;     // the file's own list, and the working week when it differs
    QList<Difference> differences;
    QDate start, finish; // of the scheduled plan
    // Not empty: the links form a loop (named by the tasks' names), and nothing can be imported.
    QString loop;
};

// The plan scheduled on the database's calendar with the file's holidays added; reads the
// contacts and the calendar, writes nothing. Throws DbError.
Preview preview(const PlanFiles::PlanFile& plan);

// Writes the plan as a new project with that name and owner (a contact's name; added when
// missing), in one transaction, after a backup copy where the database keeps its own; the
// file's holidays join the database's. Returns the new project's ID. Throws DbError (nothing is
// written then); a loop is refused the same way.
qint64 write(const PlanFiles::PlanFile& plan, const QString& name, const QString& owner);

// The entries of a value list (Status, Priority) as stored. Throws DbError.
QStringList listEntries(const QString& table, const QString& column);
// The entry of the Priority list that names the priority, else the first.
QString priorityText(const QStringList& entries, PlanFiles::Priority priority);
// The entry of the Status list that a file's status names (iCalendar's "Completed", "In Progress",
// "Cancelled"), else `otherwise`.
QString statusText(const QStringList& entries, const QString& wanted, const QString& otherwise);

} // namespace PlanImport
