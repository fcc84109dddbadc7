// The forward and backward passes over the plan's graph, on working-day ordinals.
//
// A task occupies the working days [s, e): s is the ordinal of its first day, e = s + length.
// A link gives its successor a lower bound: finish-to-start s >= e(pred) + lag, start-to-start
// s >= s(pred) + lag, finish-to-finish e >= e(pred) + lag, start-to-finish e >= s(pred) + lag.
// A milestone has s == e: it stands at the end of working day e - 1, which is the day it is
// dated on; one that stands at the start of its day (atDayStart) is dated on day e. Both are the
// same moment, so what follows a milestone does not depend on how it is dated.
#include "Scheduler.h"

#include <algorithm>
#include <climits>

namespace {
constexpr int infinity = INT_MAX / 4;
} // namespace

PlanGraph::PlanGraph(const Plan& plan)
    : m_plan(plan) {
    const auto& tasks = plan.tasks();
    m_taskCount = static_cast<int>(tasks.size());
    std::vector<int> parent(tasks.size(), -1);
    m_inNode.assign(tasks.size(), -1);
    m_nodeCount = m_taskCount;
    for (int i = 0; i < m_taskCount; ++i) {
        const qint64 parentId = tasks[static_cast<size_t>(i)].parentId;
        if (parentId != 0)
            parent[static_cast<size_t>(i)] = static_cast<int>(plan.indexOf(parentId));
    }
    for (int i = 0; i < m_taskCount; ++i) {
        const int p = parent[static_cast<size_t>(i)];
        if (p >= 0 && m_inNode[static_cast<size_t>(p)] < 0)
            m_inNode[static_cast<size_t>(p)] = m_nodeCount++;
    }
    m_nodeTask.resize(static_cast<size_t>(m_nodeCount));
    for (int i = 0; i < m_taskCount; ++i) {
        m_nodeTask[static_cast<size_t>(i)] = i;
        if (m_inNode[static_cast<size_t>(i)] >= 0)
            m_nodeTask[static_cast<size_t>(m_inNode[static_cast<size_t>(i)])] = i;
    }

    // The edges, counted first and then placed (compressed rows by source node).
    struct Pending {
        int from;
        Edge edge;
    };
    std::vector<Pending> pending;
    pending.reserve(plan.links().size() + 2 * tasks.size());
    for (const PlanLink& link : plan.links()) {
        const int from = static_cast<int>(plan.indexOf(link.predecessor));
        const int to = static_cast<int>(plan.indexOf(link.successor));
        if (from < 0 || to < 0)
            continue; // a link to a task outside the plan binds nothing here
        EdgeType type = FS;
        switch (link.kind) {
        case LinkKind::FinishToStart:
            type = FS;
            break;
        case LinkKind::StartToStart:
            type = SS;
            break;
        case LinkKind::FinishToFinish:
            type = FF;
            break;
        case LinkKind::StartToFinish:
            type = SF;
            break;
        }
        // A lag beyond some centuries is a typing slip; held there, no sum can overflow.
        const int lag = std::clamp(link.lag, -100000, 100000);
        pending.push_back({from, {entryNode(to), lag, type}});
    }
    for (int i = 0; i < m_taskCount; ++i) {
        const int p = parent[static_cast<size_t>(i)];
        if (p < 0)
            continue;
        pending.push_back({m_inNode[static_cast<size_t>(p)], {entryNode(i), 0, Push}});
        pending.push_back({i, {p, 0, Span}});
    }
    m_firstEdge.assign(static_cast<size_t>(m_nodeCount) + 1, 0);
    for (const Pending& p : pending)
        ++m_firstEdge[static_cast<size_t>(p.from) + 1];
    for (int n = 0; n < m_nodeCount; ++n)
        m_firstEdge[static_cast<size_t>(n) + 1] += m_firstEdge[static_cast<size_t>(n)];
    m_edges.resize(pending.size());
    std::vector<int> next(m_firstEdge.begin(), m_firstEdge.end() - 1);
    for (const Pending& p : pending)
        m_edges[static_cast<size_t>(next[static_cast<size_t>(p.from)]++)] = p.edge;
}

qint64 PlanGraph::taskIdOfNode(int node) const {
    return m_plan.tasks()[static_cast<size_t>(m_nodeTask[static_cast<size_t>(node)])].id;
}

// The nodes' ids in order, a task named once where its two nodes follow each other. A stretch
// that goes down into a summary and comes back up out of it is the summary itself.
QList<qint64> PlanGraph::idsOfPath(const std::vector<int>& nodes) const {
    std::vector<int> kept;
    for (int node : nodes) {
        if (node < m_taskCount && m_inNode[static_cast<size_t>(node)] >= 0) {
            const auto in = std::find(kept.begin(), kept.end(), m_inNode[static_cast<size_t>(node)]);
            if (in != kept.end()) {
                kept.erase(in + 1, kept.end());
                continue;
            }
        }
        kept.push_back(node);
    }
    QList<qint64> ids;
    for (int node : kept) {
        const qint64 id = taskIdOfNode(node);
        if (ids.isEmpty() || ids.last() != id)
            ids.append(id);
    }
    while (ids.size() > 1 && ids.first() == ids.last())
        ids.removeLast();
    return ids;
}

bool PlanGraph::isLink(int from, int to) const {
    for (int e = m_firstEdge[static_cast<size_t>(from)]; e < m_firstEdge[static_cast<size_t>(from) + 1]; ++e) {
        const Edge& edge = m_edges[static_cast<size_t>(e)];
        if (edge.to == to && edge.type != Push && edge.type != Span)
            return true;
    }
    return false;
}

// Kahn's order of the nodes; false when some are left over, which are then on or behind a loop.
bool PlanGraph::order(std::vector<int>& sorted) const {
    std::vector<int> waiting(static_cast<size_t>(m_nodeCount), 0);
    for (const Edge& edge : m_edges)
        ++waiting[static_cast<size_t>(edge.to)];
    sorted.clear();
    sorted.reserve(static_cast<size_t>(m_nodeCount));
    for (int n = 0; n < m_nodeCount; ++n)
        if (waiting[static_cast<size_t>(n)] == 0)
            sorted.push_back(n);
    for (size_t at = 0; at < sorted.size(); ++at) {
        const int n = sorted[at];
        for (int e = m_firstEdge[static_cast<size_t>(n)]; e < m_firstEdge[static_cast<size_t>(n) + 1]; ++e) {
            const int to = m_edges[static_cast<size_t>(e)].to;
            if (--waiting[static_cast<size_t>(to)] == 0)
                sorted.push_back(to);
        }
    }
    return static_cast<int>(sorted.size()) == m_nodeCount;
}

QList<qint64> PlanGraph::loop() const {
    std::vector<int> sorted;
    if (order(sorted))
        return {};
    // A depth-first walk over the nodes left over finds a way back to a node still on its path.
    std::vector<char> done(static_cast<size_t>(m_nodeCount), 0);
    for (int n : sorted)
        done[static_cast<size_t>(n)] = 2;
    std::vector<int> path;
    std::vector<int> nextEdge(static_cast<size_t>(m_nodeCount), 0);
    for (int start = 0; start < m_nodeCount; ++start) {
        if (done[static_cast<size_t>(start)])
            continue;
        path.push_back(start);
        done[static_cast<size_t>(start)] = 1;
        nextEdge[static_cast<size_t>(start)] = m_firstEdge[static_cast<size_t>(start)];
        while (!path.empty()) {
            const int n = path.back();
            int& e = nextEdge[static_cast<size_t>(n)];
            if (e == m_firstEdge[static_cast<size_t>(n) + 1]) {
                done[static_cast<size_t>(n)] = 2;
                path.pop_back();
                continue;
            }
            const int to = m_edges[static_cast<size_t>(e++)].to;
            if (done[static_cast<size_t>(to)] == 1) {
                std::vector<int> cycle(std::find(path.begin(), path.end(), to), path.end());
                // Begin where a link arrives, so that the way down into a summary and up out of
                // it comes in that order and is named as the summary.
                for (size_t i = 0; i < cycle.size(); ++i) {
                    if (isLink(cycle[(i + cycle.size() - 1) % cycle.size()], cycle[i])) {
                        std::rotate(cycle.begin(), cycle.begin() + static_cast<std::ptrdiff_t>(i), cycle.end());
                        break;
                    }
                }
                return idsOfPath(cycle);
            }
            if (done[static_cast<size_t>(to)] == 0) {
                done[static_cast<size_t>(to)] = 1;
                nextEdge[static_cast<size_t>(to)] = m_firstEdge[static_cast<size_t>(to)];
                path.push_back(to);
            }
        }
    }
    return {};
}

QList<qint64> PlanGraph::loopIfLinked(qint64 predecessor, qint64 successor) const {
    const int from = static_cast<int>(m_plan.indexOf(predecessor));
    const int to = static_cast<int>(m_plan.indexOf(successor));
    if (from < 0 || to < 0)
        return {};
    // Does the successor already reach the predecessor? Breadth first, remembering the way.
    const int target = from; // where the predecessor's links start (its spanning node)
    const int begin = entryNode(to);
    std::vector<int> cameFrom(static_cast<size_t>(m_nodeCount), -2);
    std::vector<int> queue{begin};
    cameFrom[static_cast<size_t>(begin)] = -1;
    for (size_t at = 0; at < queue.size(); ++at) {
        const int n = queue[at];
        if (n == target) {
            std::vector<int> path;
            for (int step = n; step >= 0; step = cameFrom[static_cast<size_t>(step)])
                path.push_back(step);
            path.push_back(target); // the new link's start, so the loop begins with it
            std::reverse(path.begin(), path.end());
            QList<qint64> ids = idsOfPath(path);
            return ids;
        }
        for (int e = m_firstEdge[static_cast<size_t>(n)]; e < m_firstEdge[static_cast<size_t>(n) + 1]; ++e) {
            const int next = m_edges[static_cast<size_t>(e)].to;
            if (cameFrom[static_cast<size_t>(next)] == -2) {
                cameFrom[static_cast<size_t>(next)] = n;
                queue.push_back(next);
            }
        }
    }
    return {};
}

Schedule PlanGraph::schedule(const WorkCalendar& calendar) const {
    Schedule result;
    std::vector<int> sorted;
    if (!order(sorted)) {
        result.loop = loop();
        return result;
    }
    const auto& tasks = m_plan.tasks();
    const size_t nodes = static_cast<size_t>(m_nodeCount);

    // Prepare the calendar over the span of the plan's dates in one go. A task without dates
    // stands at the plan's first date until a link moves it.
    QDate firstDate(2000, 1, 3);
    if (!tasks.empty()) {
        qint64 first = LLONG_MAX;
        qint64 last = LLONG_MIN;
        for (const PlanTask& task : tasks) {
            if (task.start.isValid()) {
                first = std::min(first, task.start.toJulianDay());
                last = std::max(last, task.start.toJulianDay());
            }
            if (task.finish.isValid())
                last = std::max(last, task.finish.toJulianDay());
        }
        if (first <= last) {
            firstDate = QDate::fromJulianDay(first);
            calendar.prepare(QDate::fromJulianDay(first).addDays(-31), QDate::fromJulianDay(last).addDays(366));
        }
    }

    std::vector<int> length(tasks.size(), 0);
    std::vector<int> ownStart(tasks.size(), 0);
    std::vector<int> noEarlier(tasks.size(), -infinity);
    std::vector<char> zero(tasks.size(), 0);
    std::vector<char> atStart(tasks.size(), 0); // a milestone dated on the day at whose start it stands
    for (size_t i = 0; i < tasks.size(); ++i) {
        const PlanTask& task = tasks[i];
        const QDate start = task.start.isValid() ? task.start : task.finish.isValid() ? task.finish : firstDate;
        const QDate finish = task.finish.isValid() && task.finish >= start ? task.finish : start;
        atStart[i] = task.milestone && task.atDayStart;
        if (task.milestone) {
            ownStart[i] = atStart[i] ? calendar.ordinalOf(finish) : calendar.ordinalAfter(finish);
        } else {
            ownStart[i] = calendar.ordinalOf(start);
            length[i] = std::max(0, calendar.workingDaysBetween(start, finish));
        }
        zero[i] = length[i] == 0;
        if (task.startNoEarlierThan.isValid())
            noEarlier[i] = zero[i] && !atStart[i] ? calendar.ordinalAfter(task.startNoEarlierThan)
                                                  : calendar.ordinalOf(task.startNoEarlierThan);
    }

    // Forward: the early dates. For a plain task es/ef are its [s, e); a summary's passing node
    // carries in sb/fb the bounds its links give its children; a summary's spanning node gathers
    // its children's earliest start and latest finish.
    std::vector<int> sb(nodes, -infinity), fb(nodes, -infinity), es(nodes, 0), ef(nodes, 0);
    std::vector<char> linked(nodes, 0);
    for (int i = 0; i < m_taskCount; ++i)
        if (m_inNode[static_cast<size_t>(i)] >= 0) {
            es[static_cast<size_t>(i)] = infinity;
            ef[static_cast<size_t>(i)] = -infinity;
        }
    int projectEnd = -infinity;
    for (int n : sorted) {
        const size_t u = static_cast<size_t>(n);
        const bool plainTask = n < m_taskCount && m_inNode[u] < 0;
        if (plainTask) {
            int s = ownStart[u];
            if (linked[u])
                s = std::max({sb[u], fb[u] - length[u], noEarlier[u]});
            es[u] = s;
            ef[u] = s + length[u];
            projectEnd = std::max(projectEnd, ef[u]);
        } else if (n >= m_taskCount) {
            es[u] = sb[u];
            ef[u] = fb[u];
        }
        for (int e = m_firstEdge[u]; e < m_firstEdge[u + 1]; ++e) {
            const Edge& edge = m_edges[static_cast<size_t>(e)];
            const size_t v = static_cast<size_t>(edge.to);
            switch (edge.type) {
            case FS:
                sb[v] = std::max(sb[v], ef[u] + edge.lag);
                linked[v] = 1;
                break;
            case SS:
                sb[v] = std::max(sb[v], es[u] + edge.lag);
                linked[v] = 1;
                break;
            case FF:
                fb[v] = std::max(fb[v], ef[u] + edge.lag);
                linked[v] = 1;
                break;
            case SF:
                fb[v] = std::max(fb[v], es[u] + edge.lag);
                linked[v] = 1;
                break;
            case Push:
                sb[v] = std::max(sb[v], sb[u]);
                fb[v] = std::max(fb[v], fb[u]);
                linked[v] = linked[v] || linked[u];
                break;
            case Span:
                es[v] = std::min(es[v], es[u]);
                ef[v] = std::max(ef[v], ef[u]);
                break;
            }
        }
    }
    if (projectEnd == -infinity)
        projectEnd = 0;

    // Backward: the late dates. lfb/lsb are the bounds a node's successors put on its finish and
    // start; a passing node's ls/lf are the tightest of its children's, which is what a link to
    // the summary must leave room for.
    std::vector<int> lfb(nodes, infinity), lsb(nodes, infinity), ls(nodes, infinity), lf(nodes, infinity);
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
        const size_t u = static_cast<size_t>(*it);
        for (int e = m_firstEdge[u]; e < m_firstEdge[u + 1]; ++e) {
            const Edge& edge = m_edges[static_cast<size_t>(e)];
            const size_t v = static_cast<size_t>(edge.to);
            switch (edge.type) {
            case FS:
                lfb[u] = std::min(lfb[u], ls[v] - edge.lag);
                break;
            case SS:
                lsb[u] = std::min(lsb[u], ls[v] - edge.lag);
                break;
            case FF:
                lfb[u] = std::min(lfb[u], lf[v] - edge.lag);
                break;
            case SF:
                lsb[u] = std::min(lsb[u], lf[v] - edge.lag);
                break;
            case Push:
                ls[u] = std::min(ls[u], ls[v]);
                lf[u] = std::min(lf[u], lf[v]);
                break;
            case Span:
                // A summary finishes with its last child, so each child must finish in time;
                // it starts with its first child, so each child may start as much later as it
                // starts after the summary.
                lfb[u] = std::min(lfb[u], lfb[v]);
                if (lsb[v] < infinity)
                    lsb[u] = std::min(lsb[u], lsb[v] + (es[u] - es[v]));
                break;
            }
        }
        if (*it < m_taskCount && m_inNode[u] < 0) {
            const int len = length[u];
            lf[u] = std::min({projectEnd, lfb[u], lsb[u] < infinity ? lsb[u] + len : infinity});
            ls[u] = lf[u] - len;
        }
    }

    // The results, plain tasks first; then the summaries, children before parents.
    result.tasks.resize(tasks.size());
    std::vector<qint64> firstDay(tasks.size(), LLONG_MAX), lastDay(tasks.size(), LLONG_MIN);
    std::vector<int> summarySlack(tasks.size(), infinity);
    std::vector<int> summaryLs(tasks.size(), infinity), summaryLf(tasks.size(), -infinity);
    for (int n : sorted) {
        if (n >= m_taskCount)
            continue;
        const size_t u = static_cast<size_t>(n);
        ScheduledTask& out = result.tasks[u];
        const PlanTask& task = tasks[u];
        if (m_inNode[u] < 0) {
            out.milestone = zero[u] != 0;
            out.linked = linked[u] != 0;
            if (!linked[u] && task.start.isValid() && task.finish.isValid() && task.start <= task.finish) {
                out.start = task.start;
                out.finish = task.finish;
            } else if (zero[u]) {
                out.start = out.finish = calendar.dateOf(atStart[u] ? es[u] : es[u] - 1);
            } else {
                out.start = calendar.dateOf(es[u]);
                out.finish = calendar.dateOf(ef[u] - 1);
            }
            out.lateStart = calendar.dateOf(zero[u] && !atStart[u] ? ls[u] - 1 : ls[u]);
            out.lateFinish = calendar.dateOf(atStart[u] ? lf[u] : lf[u] - 1);
            out.totalSlack = ls[u] - es[u];
        } else {
            out.summary = true;
            out.linked = linked[static_cast<size_t>(m_inNode[u])] != 0;
            out.start = QDate::fromJulianDay(firstDay[u]);
            out.finish = QDate::fromJulianDay(std::max(lastDay[u], firstDay[u]));
            out.lateStart = calendar.dateOf(summaryLs[u]);
            out.lateFinish = calendar.dateOf(summaryLf[u] - 1);
            out.totalSlack = summarySlack[u];
        }
        out.critical = out.totalSlack <= 0;
        for (int e = m_firstEdge[u]; e < m_firstEdge[u + 1]; ++e) {
            const Edge& edge = m_edges[static_cast<size_t>(e)];
            if (edge.type != Span)
                continue;
            const size_t p = static_cast<size_t>(edge.to);
            firstDay[p] = std::min(firstDay[p], out.start.toJulianDay());
            // A milestone at the start of its day ends what it closes on the working day before.
            const QDate last = m_inNode[u] < 0 && atStart[u] ? calendar.dateOf(es[u] - 1) : out.finish;
            lastDay[p] = std::max(lastDay[p], last.toJulianDay());
            summarySlack[p] = std::min(summarySlack[p], out.totalSlack);
            summaryLs[p] = std::min(summaryLs[p], m_inNode[u] < 0 ? ls[u] : summaryLs[u]);
            summaryLf[p] = std::max(summaryLf[p], m_inNode[u] < 0 ? lf[u] : summaryLf[u]);
        }
    }
    return result;
}

QList<qint64> Schedule::changedTasks(const Plan& plan) const {
    QList<qint64> changed;
    const auto& planned = plan.tasks();
    for (size_t i = 0; i < tasks.size() && i < planned.size(); ++i)
        if (tasks[i].start != planned[i].start || tasks[i].finish != planned[i].finish)
            changed.append(planned[i].id);
    return changed;
}

namespace Scheduling {
Schedule schedule(const Plan& plan, const WorkCalendar& calendar) {
    return PlanGraph(plan).schedule(calendar);
}

QList<qint64> loopIfParented(const Plan& plan, qint64 task, qint64 parent) {
    const PlanTask* moved = plan.task(task);
    if (!moved || (parent != 0 && !plan.task(parent)))
        return {};
    Plan changed = plan;
    PlanTask child = *moved;
    child.parentId = parent;
    changed.addTask(child);
    return PlanGraph(changed).loop();
}

int workingLength(const WorkCalendar& calendar, QDate start, QDate finish, bool milestone) {
    if (milestone || !start.isValid() || !finish.isValid())
        return 0;
    if (calendar.isWorkingDay(start))
        return std::max(1, calendar.workingDaysBetween(start, finish));
    WorkCalendar week; // the same working week, without holidays
    for (int day = 1; day <= 7; ++day)
        week.setWorkingWeekday(day, true);
    for (int day = 1; day <= 7; ++day)
        week.setWorkingWeekday(day, calendar.isWorkingWeekday(day));
    return std::max(1, week.workingDaysBetween(start, finish));
}

std::pair<QDate, QDate> placeTask(const WorkCalendar& calendar, QDate start, int length) {
    const QDate first = calendar.addWorkingDays(start, 0);
    return {first, length > 1 ? calendar.addWorkingDays(first, length - 1) : first};
}
} // namespace Scheduling
