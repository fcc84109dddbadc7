// A plan as another planner's file holds it, in our terms: what an import writes into a new
// project, and what an export writes out of one. Each format has a reader that fills it and
// (MS Project XML, GanttProject) a writer that writes it.
#pragma once

#include "scheduling/Plan.h"
#include "scheduling/WorkCalendar.h"

#include <QDate>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace PlanFiles {

// Priorities as the formats grade them, from lowest to highest; Unknown where a file says none.
enum class Priority { Unknown, Lowest, Low, Normal, High, Highest };

struct FileTask {
    QString key;       // the file's own ID of the task (MS Project's UID, GanttProject's and Planner's id)
    QString parentKey; // empty: at the top of the outline
    QString name;
    QString notes;
    // The dates the file stores (both days included, whole days); a milestone has start == finish.
    QDate start;
    QDate finish;
    int lengthDays = 1; // working days on the file's calendar; 0 for a milestone
    bool milestone = false;
    // A milestone that stands at the start of its day (GanttProject's, and MS Project's or
    // Planner's at the first minute of a working day) rather than at its end.
    bool atDayStart = false;
    bool summary = false; // has tasks under it in the file: its dates span theirs
    int percentComplete = 0;
    Priority priority = Priority::Unknown;
    // From the file's own constraint fields (not its stored dates): invalid for "as soon as
    // possible". Constraints of other kinds are reported in PlanFile::notKept.
    QDate startNoEarlierThan;
    QString assignee;           // the resource with the most units, by its name
    QStringList otherAssignees; // further resources of the task, by name (not kept)
    QString status;             // the task's status in words, where the file says one
    QStringList categories;     // iCalendar: the project's category on export; not kept on import
};

struct FileLink {
    QString predecessorKey;
    QString successorKey;
    LinkKind kind = LinkKind::FinishToStart;
    int lagDays = 0; // working days; negative: a lead
};

struct PlanFile {
    QString format; // "MS Project XML", "GanttProject", "GNOME Planner"
    QString projectName;
    QString owner; // the manager or author, when the file names one
    QDate start;
    QDate finish;
    WorkCalendar calendar; // the project calendar's working weekdays and days off
    // In outline order: each parent before the tasks under it.
    QList<FileTask> tasks;
    QList<FileLink> links;
    QStringList resources; // every resource the file names
    // What the file holds that is not kept, each with why ("2 baselines: the planner keeps none").
    QStringList notKept;
    // Exports: the database read (its file's name, or "db on host") and, for one project, its
    // key ("P<ID>") and category; iCalendar makes its UIDs from them.
    QString database;
    QString projectKey;
    QStringList categories;
};

// Readers: false, with a plain message that names the place in the file (its line), when the
// input is not such a file or cannot be read (not XML, wrong root, a link to a task that does not
// exist, a date out of range). They never resolve entities or document type declarations and
// never load anything.
bool readMsProject(QIODevice& in, PlanFile& plan, QString* error = nullptr);
bool readGanttProject(QIODevice& in, PlanFile& plan, QString* error = nullptr);
bool readPlanner(QIODevice& in, PlanFile& plan, QString* error = nullptr);

// Writers: files the peers open (well-formed, MS Project's default namespace and its elements
// in the order of its schema).
bool writeMsProject(QIODevice& out, const PlanFile& plan);
bool writeGanttProject(QIODevice& out, const PlanFile& plan);
// iCalendar's reader and writer are declared in ICalendar.h.

// MS Project XML made in two steps, so that an export can work out the file's outline while it
// still reads the links: first what the plan's tasks give (its links are not looked at); then
// the file, with the links between its tasks put in place. The plan must live until then.
// writeMsProject() is both in one.
class MsProjectWriting {
public:
    explicit MsProjectWriting(const PlanFile& plan);
    ~MsProjectWriting();
    MsProjectWriting(MsProjectWriting&&) noexcept;
    MsProjectWriting& operator=(MsProjectWriting&&) noexcept;

    bool write(QIODevice& out, const QList<FileLink>& links) const;

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace PlanFiles
