// iCalendar (RFC 5545) files as plans: to-dos (and, when asked, events) read into a plan file, and
// a plan written as to-dos that calendar and task programs show.
//
// Written: one VTODO per task and per project (a project is the summary to-do of its tasks).
// - UID: "task-<ID>@<database>" and "project-<ID>@<database>", where <database> is the database's
//   name made safe (the file's name, or the team database's name and host): the same task keeps
//   its UID in every export from the same database, so a calendar program updates it instead of
//   adding a copy.
// - DTSTART and DUE are all-day dates (VALUE=DATE). DUE is the task's last day, not the day after:
//   a to-do's DUE is the moment it is due, and Thunderbird, Evolution, Apple Reminders and
//   Nextcloud show DUE;VALUE=DATE:20240105 as "due 5 January" (only an event's DTEND is the
//   exclusive day after). A one-day task and a milestone have DTSTART equal to DUE, which RFC 5545
//   allows; a milestone carries X-FENNICK-MILESTONE:TRUE.
// - PRIORITY: highest 1, high 2, normal 5, low 8, lowest 9 (RFC 5545: 1 highest, 9 lowest; 1-4
//   are shown as high, 5 as medium, 6-9 as low); none written where the task has none.
// - STATUS: COMPLETED at 100 % or a status that says done, complete or closed; CANCELLED for a
//   status that says cancel; IN-PROCESS above 0 % or for a status that says progress;
//   NEEDS-ACTION otherwise. PERCENT-COMPLETE always.
// - RELATED-TO;RELTYPE=PARENT: the parent task, or the project for a task at the top.
//   A link is RELATED-TO on the successor naming its predecessor with the RFC 9253 temporal
//   RELTYPE (FINISHTOSTART, STARTTOSTART, FINISHTOFINISH, STARTTOFINISH) and its lag as
//   GAP=P<n>D (or -P<n>D for a lead), counted in working days as the planner counts lags.
// - CATEGORIES: the project's category. Lines folded at 75 octets (never inside a UTF-8
//   character), CRLF, text escaped as RFC 5545 says.
//
// Read: VTODOs (and VEVENTs as tasks when eventsAsTasks) through libical, which resolves TZID
// against the file's VTIMEZONEs (Outlook's Windows zone names included) and expands recurrences.
// - Dates: a DATE is that day; a UTC or zoned time is the day it is here (the local time zone); a
//   floating time is the day it names. A due time of exactly midnight is due by the end of the
//   day before; an event's DTEND is exclusive. DURATION stands in for DUE/DTEND. A to-do with
//   only DUE lasts one day at its due date; one with neither is put at the file's first date.
// - A recurring to-do becomes its next open occurrence: the first one not excluded (EXDATE), not
//   completed or cancelled by an override (RECURRENCE-ID) and not on or before the to-do's
//   COMPLETED date. Overrides are not imported as tasks of their own.
// - RELATED-TO with RELTYPE PARENT (or none) makes the outline, CHILD and SIBLING are ignored,
//   the temporal types and DEPENDS-ON (finish to start) make links. A to-do marked
//   X-FENNICK-PROJECT that holds all the others names the project instead of being a task.
// - The project is named after X-WR-CALNAME (or the file, by the caller).
// - What is not kept (alarms, attendees, categories, recurrence rules, completed dates, events
//   not asked for, journal entries) is listed in PlanFile::notKept.
#pragma once

#include "PlanFile.h"

#include <QIODevice>
#include <QString>

namespace PlanFiles {

// False with a plain message when the input is not an iCalendar file, is cut short, is larger
// than the most a plan may be, or holds nothing to import.
bool readICalendar(QIODevice& in, PlanFile& plan, QString* error = nullptr, bool eventsAsTasks = false);
bool writeICalendar(QIODevice& out, const PlanFile& plan);

// Whether the bytes begin as an iCalendar file does (after a byte order mark and blank lines).
bool looksLikeICalendar(const QByteArray& head);

// The UID a task is exported with: "task-<ID>@<database made safe>".
QString todoUid(const QString& taskKey, const QString& database);

// The STATUS a task is written with (COMPLETED, CANCELLED, IN-PROCESS or NEEDS-ACTION).
QString todoStatus(const FileTask& task);

// One to-do as a calendar object of its own (a calendar server keeps one per resource), with the
// UID given. With `previous` (the object as the server keeps it), that object is changed instead:
// the title, description, dates, percent and status are set, and everything else another program
// put there (alarms, categories, times of day on an unchanged day) stays. parentUid is written
// only on a new object.
QByteArray writeTodo(const FileTask& task, const QString& uid, const QString& parentUid,
                     const QByteArray& previous = {});

} // namespace PlanFiles
