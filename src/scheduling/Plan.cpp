// The plan's tasks and links.
#include "Plan.h"

#include <algorithm>

void Plan::addTask(const PlanTask& task) {
    const qsizetype at = indexOf(task.id);
    if (at >= 0) {
        m_tasks[static_cast<size_t>(at)] = task;
        return;
    }
    m_index.insert(task.id, static_cast<qsizetype>(m_tasks.size()));
    m_tasks.push_back(task);
}

void Plan::addLink(const PlanLink& link) {
    m_links.push_back(link);
}

void Plan::reserve(qsizetype tasks, qsizetype links) {
    m_tasks.reserve(static_cast<size_t>(tasks));
    m_links.reserve(static_cast<size_t>(links));
    m_index.reserve(tasks);
}

const PlanTask* Plan::task(qint64 id) const {
    const qsizetype at = indexOf(id);
    return at < 0 ? nullptr : &m_tasks[static_cast<size_t>(at)];
}

bool Plan::moveTask(qint64 id, QDate start, QDate finish) {
    const qsizetype at = indexOf(id);
    if (at < 0)
        return false;
    PlanTask& task = m_tasks[static_cast<size_t>(at)];
    task.start = start;
    task.finish = finish;
    task.startNoEarlierThan = start;
    return true;
}

bool Plan::removeLink(qint64 predecessor, qint64 successor) {
    const auto end = std::remove_if(m_links.begin(), m_links.end(), [&](const PlanLink& link) {
        return link.predecessor == predecessor && link.successor == successor;
    });
    const bool removed = end != m_links.end();
    m_links.erase(end, m_links.end());
    return removed;
}
