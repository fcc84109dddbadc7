// The plan the scheduler works on: the tasks of one project with their outline and dates, and
// the links between them. Plain values; the storage reads them in and writes the results back.
#pragma once

#include <QDate>
#include <QHash>
#include <QList>

#include <vector>

enum class LinkKind { FinishToStart, StartToStart, FinishToFinish, StartToFinish };

struct PlanTask {
    qint64 id = 0;
    qint64 parentId = 0; // 0: none
    // Both days included, as tasks store them (StartDate, DueDate). A task's length in working
    // days is the number of working days from start to finish.
    QDate start;
    QDate finish;
    // Zero length. A milestone is dated on the working day at whose end it stands: its finish
    // (DueDate), which its start should equal.
    bool milestone = false;
    // What a typed or dragged date becomes for a linked task; invalid when none. A task that no
    // link reaches keeps its own dates.
    QDate startNoEarlierThan;
    // The task's place among the tasks under the same parent, as the user arranged them (lower
    // first); 0 for none: such tasks come after the others (see placedBefore).
    qint64 order = 0;
    // A milestone that stands at the start of the day it is dated on (as other planners' files
    // put some): the same moment as the end of the working day before, dated on the later day.
    bool atDayStart = false;
};

// Whether a task comes before another under the same parent in the plan's own order: by place;
// those without one after the others, by start date (those without one last), then by ID.
inline bool placedBefore(qint64 orderA, QDate startA, qint64 idA, qint64 orderB, QDate startB, qint64 idB) {
    if ((orderA == 0) != (orderB == 0))
        return orderA != 0;
    if (orderA != orderB)
        return orderA < orderB;
    if (startA.isValid() != startB.isValid())
        return startA.isValid();
    if (startA != startB)
        return startA < startB;
    return idA < idB;
}

struct PlanLink {
    qint64 predecessor = 0;
    qint64 successor = 0;
    LinkKind kind = LinkKind::FinishToStart;
    int lag = 0; // working days; negative: a lead (held within 100,000 either way)
};

class Plan {
public:
    // A task whose id is already in the plan replaces it.
    void addTask(const PlanTask& task);
    void addLink(const PlanLink& link);
    void reserve(qsizetype tasks, qsizetype links);

    const std::vector<PlanTask>& tasks() const { return m_tasks; }
    const std::vector<PlanLink>& links() const { return m_links; }
    // The position of a task in tasks(), -1 when it is not in the plan.
    qsizetype indexOf(qint64 id) const { return m_index.value(id, -1); }
    const PlanTask* task(qint64 id) const;

    // A drag or a typed date: the task's new dates, which for a linked task become its "start no
    // earlier than". Returns false for an unknown task.
    bool moveTask(qint64 id, QDate start, QDate finish);
    bool removeLink(qint64 predecessor, qint64 successor);

private:
    std::vector<PlanTask> m_tasks;
    std::vector<PlanLink> m_links;
    QHash<qint64, qsizetype> m_index;
};
