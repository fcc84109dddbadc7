// Moving data between the local file and a team database, all or nothing, with the record IDs
// kept: the local file into an empty team database, or a team database into a new local file.
#pragma once

#include <QString>

#include <functional>

namespace TeamCopy {

// Told the number of rows copied so far and the number in all; false stops the copy (nothing
// is kept).
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Copies the local file into the team database, which must have the program's tables and no
// rows. One transaction: on any failure nothing is copied. Throws DbError.
void localToTeam(const QString& localFile, const QString& target, const Progress& progress = {});
// Copies the team database into a new local file made from the template; the file must not
// exist yet. On any failure no file is left behind. Throws DbError.
void teamToLocal(const QString& target, const QString& localFile, const Progress& progress = {});

} // namespace TeamCopy
