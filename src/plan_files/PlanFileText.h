// What the readers and writers of other planners' files share: the place of a fault in the
// file, the dates a plan may hold, text that XML can carry, and the order and numbering of an
// outline.
#pragma once

#include "PlanFile.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QXmlStreamReader>

#include <vector>

namespace PlanFiles::Text {

// The dates a plan read from a file may hold (as the MS Project XML reader has them).
QDate earliestDate();
QDate latestDate();
bool inRange(QDate date);
// Working days a length or a lag may span: the whole range of dates, and no more.
int longestSpan();

// "1 baseline", "2 baselines".
QString counted(qsizetype n, const char* one, const char* many);

// "Line 12: message", the place being where the reader stands.
QString atLine(const QXmlStreamReader& xml, const QString& message);
QString atLine(qint64 line, const QString& message);

// Reads up to the root element. False, with the message, when the input is not XML or its
// document type declaration declares entities (so that none is ever expanded); one without is
// passed over, and nothing it names is loaded.
bool toRoot(QXmlStreamReader& xml, QString* error);

// The text without the characters an XML 1.0 file cannot hold (controls other than tab, line
// feed and carriage return, unpaired surrogates, U+FFFE and U+FFFF).
QString xmlSafe(const QString& text);

// A milestone the file puts at the start of a day: the moments it read (dated at the end of the
// working day before, as the file's times give them) dated on the day at whose start they are;
// one that no link places stays on that day.
void dateAtDayStart(const WorkCalendar& calendar, FileTask& task, bool linked);

// The calendar's days off on working weekdays (a day off on a weekend changes nothing), as
// ranges of consecutive days, in date order.
QList<QPair<QDate, QDate>> daysOff(const WorkCalendar& calendar);

// Every resource the plan names, once each: its own list, then the assignees it does not list.
QStringList resourceNames(const PlanFile& plan);

// The tasks in outline order, each followed by the tasks under it (siblings in the order the
// plan gives them), with each one's depth (1: at the top) and its parent's position in that
// order (-1: none). A parent that is not in the plan puts the task at the top.
struct OutlineEntry {
    int task = 0; // index in PlanFile::tasks
    int depth = 1;
    int parent = -1; // position of the parent in the order
    bool hasChildren = false;
};
std::vector<OutlineEntry> outline(const PlanFile& plan);
// The tasks' positions in PlanFile::tasks by their keys (of tasks sharing a key, the last).
QHash<QString, int> positionsByKey(const PlanFile& plan);
// As outline(plan), for a writer that has the positions by key already.
std::vector<OutlineEntry> outline(const PlanFile& plan, const QHash<QString, int>& byKey);

// The numbers a writer gives the tasks: their own keys when all are distinct whole numbers of
// at least `first`, else first, first + 1, ... in outline order.
QList<qint64> taskNumbers(const PlanFile& plan, const std::vector<OutlineEntry>& order, qint64 first);

} // namespace PlanFiles::Text
