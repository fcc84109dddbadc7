// Placeholders until the GanttProject and Planner formats land.
#include "PlanFile.h"

namespace PlanFiles {
bool readGanttProject(QIODevice&, PlanFile&, QString* error) {
    if (error)
        *error = QStringLiteral("GanttProject files cannot be read yet.");
    return false;
}
bool readPlanner(QIODevice&, PlanFile&, QString* error) {
    if (error)
        *error = QStringLiteral("GNOME Planner files cannot be read yet.");
    return false;
}
bool writeMsProject(QIODevice&, const PlanFile&) {
    return false;
}
bool writeGanttProject(QIODevice&, const PlanFile&) {
    return false;
}
} // namespace PlanFiles
