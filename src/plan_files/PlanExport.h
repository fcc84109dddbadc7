// Exporting projects as plan files: a project (or every project) read with its outline, links,
// milestones, calendar and assignees, and written in the form the peers read.
#pragma once

#include "PlanFile.h"

namespace PlanExport {

// The project with that ID as a plan file; with 0, every project, each a summary over its own
// tasks. Throws DbError.
PlanFiles::PlanFile read(qint64 projectId);

// Writes the project (0: every project) by the file's suffix: .xml (MS Project XML), .gan
// (GanttProject) or .ics (iCalendar to-dos). False with a plain message naming the file.
bool writeFile(const QString& path, qint64 projectId, QString* error);

} // namespace PlanExport
