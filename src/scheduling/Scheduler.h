// Scheduling a plan as the peers do for tasks "as soon as possible": a linked task starts as
// early as its links allow but not before its own "start no earlier than", lengths are kept in
// working days, a summary spans its children; then the late dates, the total slack and the
// critical tasks. Loops are found and named instead of scheduled.
#pragma once

#include "scheduling/Plan.h"
#include "scheduling/WorkCalendar.h"

#include <QDate>
#include <QList>

#include <cstdint>
#include <utility>
#include <vector>

struct ScheduledTask {
    QDate start; // the early (scheduled) dates, both days included
    QDate finish;
    QDate lateStart;
    QDate lateFinish;
    int totalSlack = 0;     // working days the task may slip without moving the end of the project
    bool critical = false;  // totalSlack <= 0
    bool summary = false;   // has children: dates span them
    bool milestone = false; // zero length, dated on the day at whose end it stands
    bool linked = false;    // reached by a link (directly or through a summary above it)
};

struct Schedule {
    // In the plan's order of tasks; empty when the plan holds a loop.
    std::vector<ScheduledTask> tasks;
    // The ids of a loop, in order: each is followed by the next, the last by the first.
    QList<qint64> loop;
    bool ok() const { return loop.isEmpty(); }
    // The ids of the tasks whose dates differ from those the plan holds: what a save writes.
    QList<qint64> changedTasks(const Plan& plan) const;
};

// The plan as a graph: built once, then scheduled or asked about loops as often as needed. It
// refers to the plan, which must outlive it and not change meanwhile (build a new one after a
// change; a move of a task's dates needs no new graph).
// Summaries are two nodes: one that passes the links made to the summary on to its children,
// and one that spans the children and from which the summary's own links start.
class PlanGraph {
public:
    explicit PlanGraph(const Plan& plan);

    // A loop in the whole plan (links and outline together), empty when there is none.
    QList<qint64> loop() const;
    // The loop that a new link predecessor -> successor would close, starting with the
    // predecessor and the successor; empty when the link is safe. Visits only what the
    // successor reaches.
    QList<qint64> loopIfLinked(qint64 predecessor, qint64 successor) const;

    Schedule schedule(const WorkCalendar& calendar) const;

private:
    enum EdgeType : std::uint8_t { FS, SS, FF, SF, Push, Span };
    struct Edge {
        int to;
        int lag;
        EdgeType type;
    };

    int entryNode(int task) const {
        return m_inNode[static_cast<size_t>(task)] >= 0 ? m_inNode[static_cast<size_t>(task)] : task;
    }
    qint64 taskIdOfNode(int node) const;
    bool order(std::vector<int>& sorted) const;
    QList<qint64> idsOfPath(const std::vector<int>& nodes) const;
    bool isLink(int from, int to) const;

    const Plan& m_plan;
    int m_taskCount = 0;
    int m_nodeCount = 0;
    std::vector<int> m_inNode;    // per task: its summary's passing node, -1 for a plain task
    std::vector<int> m_nodeTask;  // per node: its task
    std::vector<int> m_firstEdge; // per node, into m_edges (CSR), size m_nodeCount + 1
    std::vector<Edge> m_edges;
};

namespace Scheduling {
// Builds the graph and schedules it in one call.
Schedule schedule(const Plan& plan, const WorkCalendar& calendar);
// The loop that putting a task under a new parent (0: at the top) would close, through the
// outline or through links to and from summaries; empty when the move is safe or a task is not
// in the plan. For an indent, which is rare: it builds the graph anew.
QList<qint64> loopIfParented(const Plan& plan, qint64 task, qint64 parent);

// A task's length in working days (0 for a milestone, else at least 1). Dates that start on a day
// off were written under another calendar (a holiday added since) or by another program: their
// length is counted over the working week alone, so that a holiday does not shorten them.
int workingLength(const WorkCalendar& calendar, QDate start, QDate finish, bool milestone);
// Where a task of that length stands when given that start: from the working day on or after it.
std::pair<QDate, QDate> placeTask(const WorkCalendar& calendar, QDate start, int length);
} // namespace Scheduling
