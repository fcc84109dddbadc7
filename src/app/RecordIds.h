// Record numbers are never given twice. SQLite's AUTOINCREMENT and PostgreSQL's identity
// sequences only move forward; these helpers keep that true across copies and imports, where rows
// arrive with their numbers and the counter behind them is lost: a task keeps the number of a
// contact that is gone, and the next new contact must not take it over.
#pragma once

#include <QHash>
#include <QString>

class Connection;

namespace RecordIds {

// The last number each numbered table (Employees, Projects, Tasks) has given; 0 when none.
QHash<QString, qint64> counters(Connection& connection);

// Moves each counter past the highest number the rows hold or refer to (a project's owner, a
// task's contact and project) and past floors[table]; a counter never moves back. Runs inside
// the caller's transaction.
void moveCountersPastUsed(Connection& connection, const QHash<QString, qint64>& floors = {});

} // namespace RecordIds
