#include "TimelineRows.h"

#include "app/Database.h"
#include "scheduling/Scheduler.h"

#include <algorithm>

namespace Timeline {

namespace {

// Digits at [pos, pos + count) as a number, or -1.
int digits(const QString& s, qsizetype pos, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const QChar c = s.at(pos + i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// Tasks under another follow it, each level in the order given; sets each task's depth and
// whether it is a summary. `positions` are the project's tasks in the plan's order.
void outline(std::vector<Item>& tasks, std::vector<int>::iterator first, std::vector<int>::iterator last) {
    QHash<qint64, int> byId;
    for (auto it = first; it != last; ++it)
        byId.insert(tasks[static_cast<size_t>(*it)].id, *it);
    QHash<int, std::vector<int>> children;
    std::vector<int> roots;
    for (auto it = first; it != last; ++it) {
        const Item& task = tasks[static_cast<size_t>(*it)];
        const int parent = task.parentId && task.parentId != task.id ? byId.value(task.parentId, -1) : -1;
        if (parent >= 0)
            children[parent].push_back(*it);
        else
            roots.push_back(*it);
    }
    std::vector<int> ordered;
    ordered.reserve(static_cast<size_t>(last - first));
    std::vector<std::pair<int, int>> stack; // position, depth
    for (auto root = roots.rbegin(); root != roots.rend(); ++root)
        stack.emplace_back(*root, 0);
    QSet<int> placed;
    while (!stack.empty()) {
        const auto [position, depth] = stack.back();
        stack.pop_back();
        if (placed.contains(position))
            continue;
        placed.insert(position);
        Item& task = tasks[static_cast<size_t>(position)];
        task.depth = depth;
        ordered.push_back(position);
        const auto under = children.constFind(position);
        task.summary = under != children.constEnd();
        if (task.summary)
            for (auto child = under->rbegin(); child != under->rend(); ++child)
                stack.emplace_back(*child, depth + 1);
    }
    // Tasks whose parents lie under them (which the database refuses) are shown at the end.
    for (auto it = first; it != last; ++it)
        if (!placed.contains(*it))
            ordered.push_back(*it);
    std::copy(ordered.begin(), ordered.end(), first);
}

// The positions of a project's links' ends in data.tasks.
void placeLinks(Data& data, size_t project) {
    Data::ProjectLinks& placed = data.projectLinks[project];
    placed = {};
    const auto read = data.linksByProject.constFind(data.projects[project].id);
    if (read == data.linksByProject.constEnd() || read->empty())
        return;
    QHash<qint64, int> position;
    const int count = data.taskCount(project);
    position.reserve(count);
    for (int n = 0; n < count; ++n) {
        const int at = data.order[static_cast<size_t>(data.firstTask[project] + n)];
        position.insert(data.tasks[static_cast<size_t>(at)].id, at);
    }
    for (const PlanLink& link : *read) {
        const int from = position.value(link.predecessor, -1), to = position.value(link.successor, -1);
        if (from >= 0 && to >= 0) {
            placed.links.push_back(link);
            placed.ends.emplace_back(from, to);
        }
    }
}

} // namespace

QDate parseStoredDate(const QString& raw) {
    const QString s = raw.trimmed();
    // yyyy-MM-dd, alone or followed by a time.
    if (s.size() < 10 || (s.size() > 10 && s.at(10) != QLatin1Char(' ') && s.at(10) != QLatin1Char('T')))
        return {};
    if (s.at(4) != QLatin1Char('-') || s.at(7) != QLatin1Char('-'))
        return {};
    const int y = digits(s, 0, 4), m = digits(s, 5, 2), d = digits(s, 8, 2);
    if (y < 0 || m < 0 || d < 0)
        return {};
    return QDate(y, m, d); // invalid for a day that does not exist
}

void attachTasks(Data& data, std::vector<Item> tasks) {
    // A counting sort of the positions by project: one pass to count, one to place.
    const size_t projectCount = data.projects.size();
    // Project IDs are numbered automatically and mostly dense: a plain table by ID finds a task's
    // project fastest; sparse IDs go into a hash.
    qint64 maxId = 0;
    bool dense = true;
    for (const Item& p : data.projects) {
        maxId = std::max(maxId, p.id);
        dense = dense && p.id >= 0;
    }
    dense = dense && maxId <= static_cast<qint64>(projectCount) * 8 + 1024;
    std::vector<int> byId(dense ? static_cast<size_t>(maxId) + 1 : 0, -1);
    QHash<qint64, int> byHash;
    for (size_t i = 0; i < projectCount; ++i) {
        if (dense)
            byId[static_cast<size_t>(data.projects[i].id)] = static_cast<int>(i);
        else
            byHash.insert(data.projects[i].id, static_cast<int>(i));
    }
    auto indexOf = [&](qint64 id) {
        if (dense)
            return id >= 0 && id <= maxId ? byId[static_cast<size_t>(id)] : -1;
        return byHash.value(id, -1);
    };
    // The tasks stay where they were read; those of projects not listed are closed up over.
    std::vector<int> projectOf;
    projectOf.reserve(tasks.size());
    data.firstTask.assign(projectCount + 1, 0);
    size_t kept = 0;
    for (size_t t = 0; t < tasks.size(); ++t) {
        Item& task = tasks[t];
        const int project = indexOf(task.projectId);
        if (project < 0)
            continue;                                                         // its project is not listed
        task.category = data.projects[static_cast<size_t>(project)].category; // coloured by its project's
        if (kept != t)
            tasks[kept] = std::move(task);
        ++kept;
        projectOf.push_back(project);
        ++data.firstTask[static_cast<size_t>(project) + 1];
    }
    tasks.erase(tasks.begin() + static_cast<std::ptrdiff_t>(kept), tasks.end());
    data.tasks = std::move(tasks);
    for (size_t p = 0; p < projectCount; ++p)
        data.firstTask[p + 1] += data.firstTask[p];
    std::vector<int> next(data.firstTask.begin(), data.firstTask.end() - 1);
    data.order.assign(data.tasks.size(), 0);
    for (size_t t = 0; t < projectOf.size(); ++t)
        data.order[static_cast<size_t>(next[static_cast<size_t>(projectOf[t])]++)] = static_cast<int>(t);
    const auto placedFirst = [&data](int a, int b) {
        const Item& x = data.tasks[static_cast<size_t>(a)];
        const Item& y = data.tasks[static_cast<size_t>(b)];
        return placedBefore(x.order, x.start, x.id, y.order, y.start, y.id);
    };
    bool anyParent = false;
    for (Item& task : data.tasks) {
        task.depth = 0;
        task.summary = false;
        task.scheduled = false;
        task.critical = false;
        task.slack = 0;
        anyParent = anyParent || task.parentId != 0;
    }
    for (size_t p = 0; p < projectCount; ++p)
        if (data.taskCount(p) > 1) {
            const auto first = data.order.begin() + data.firstTask[p],
                       last = data.order.begin() + data.firstTask[p + 1];
            std::stable_sort(first, last, placedFirst);
            if (anyParent &&
                std::any_of(first, last, [&](int t) { return data.tasks[static_cast<size_t>(t)].parentId; }))
                outline(data.tasks, first, last);
        }
    data.projectLinks.assign(projectCount, {});
    if (!data.linksByProject.isEmpty())
        for (size_t p = 0; p < projectCount; ++p)
            placeLinks(data, p);
    spanPlans(data);
}

void spanPlans(Data& data) {
    for (size_t p = 0; p < data.projects.size(); ++p) {
        Item& project = data.projects[p];
        if (!project.ownRead) {
            project.ownStart = project.start;
            project.ownEnd = project.end;
            project.ownRead = true;
        }
        QDate first, last;
        for (int n = 0; n < data.taskCount(p); ++n) {
            const Item& task = data.task(p, n);
            if (!task.hasBar() || task.reversed())
                continue;
            if (!first.isValid() || task.start < first)
                first = task.start;
            if (!last.isValid() || task.end > last)
                last = task.end;
        }
        project.spansPlan = first.isValid();
        project.start = project.spansPlan ? first : project.ownStart;
        project.end = project.spansPlan ? last : project.ownEnd;
    }
}

void setProjectLinks(Data& data, size_t project, std::vector<PlanLink> links) {
    data.linksByProject.insert(data.projects[project].id, std::move(links));
    if (data.projectLinks.size() < data.projects.size())
        data.projectLinks.resize(data.projects.size());
    placeLinks(data, project);
    for (int n = 0; n < data.taskCount(project); ++n)
        data.tasks[static_cast<size_t>(data.order[static_cast<size_t>(data.firstTask[project] + n)])].scheduled = false;
}

void setAllLinks(Data& data, const std::vector<PlanLink>& links) {
    QHash<qint64, qint64> projectOfTask;
    projectOfTask.reserve(static_cast<qsizetype>(data.tasks.size()));
    for (const Item& task : data.tasks)
        projectOfTask.insert(task.id, task.projectId);
    QHash<qint64, std::vector<PlanLink>> byProject;
    for (const PlanLink& link : links) {
        const auto project = projectOfTask.constFind(link.successor);
        if (project != projectOfTask.constEnd())
            byProject[*project].push_back(link);
    }
    for (size_t p = 0; p < data.projects.size(); ++p)
        setProjectLinks(data, p, byProject.take(data.projects[p].id));
}

bool scheduleProject(Data& data, size_t project) {
    const int count = data.taskCount(project);
    if (data.linkCount(project) == 0 || count == 0 || data.task(project, 0).scheduled)
        return false;
    Plan plan;
    plan.reserve(count, data.linkCount(project));
    for (int n = 0; n < count; ++n) {
        const Item& task = data.task(project, n);
        PlanTask planned;
        planned.id = task.id;
        planned.parentId = task.parentId;
        planned.start = task.start;
        planned.finish = task.end;
        planned.milestone = task.milestone;
        planned.atDayStart = task.atDayStart;
        planned.startNoEarlierThan = task.startNoEarlierThan;
        plan.addTask(planned);
    }
    for (const PlanLink& link : data.projectLinks[project].links)
        plan.addLink(link);
    const WorkCalendar calendar = data.calendar.value_or(WorkCalendar());
    const Schedule schedule = PlanGraph(plan).schedule(calendar);
    bool broken = false;
    for (int n = 0; n < count; ++n) {
        Item& task = data.tasks[static_cast<size_t>(data.order[static_cast<size_t>(data.firstTask[project] + n)])];
        task.scheduled = true;
        const qsizetype at = plan.indexOf(task.id);
        if (!schedule.ok() || at < 0)
            continue; // a loop made behind the program's back: no path to show
        const ScheduledTask& result = schedule.tasks[static_cast<size_t>(at)];
        task.slack = result.totalSlack;
        task.critical = result.critical;
        // Earlier than its links allow: dates written past the plan (by another program).
        broken = broken || (result.linked && !result.summary && task.start.isValid() && task.start < result.start);
    }
    return broken;
}

void replaceTasks(Data& data, qint64 projectId, std::vector<Item> tasks) {
    bool listed = false;
    for (const Item& p : data.projects)
        listed = listed || p.id == projectId;
    if (!listed)
        return;
    std::vector<Item> all = data.takeTasks();
    data.linksByProject.remove(projectId);
    std::erase_if(all, [projectId](const Item& t) { return t.projectId == projectId; });
    all.insert(all.end(), std::make_move_iterator(tasks.begin()), std::make_move_iterator(tasks.end()));
    attachTasks(data, std::move(all));
}

std::vector<Row> buildRows(const Data& data, const QSet<qint64>& collapsed, bool criticalOnly) {
    std::vector<Row> rows;
    rows.reserve(data.projects.size() + data.tasks.size());
    for (size_t p = 0; p < data.projects.size(); ++p) {
        const int count = data.taskCount(p);
        if (criticalOnly) {
            bool any = false;
            for (int t = 0; t < count && !any; ++t)
                any = data.task(p, t).critical;
            if (!any)
                continue;
        }
        rows.push_back({static_cast<int>(p), -1});
        if (count > 0 && !collapsed.contains(data.projects[p].id))
            for (int t = 0; t < count; ++t)
                if (!criticalOnly || data.task(p, t).critical)
                    rows.push_back({static_cast<int>(p), t});
    }
    return rows;
}

std::vector<int> rowsOfTasks(const Data& data, const std::vector<Row>& rows) {
    std::vector<int> rowOf(data.tasks.size(), -1);
    for (size_t r = 0; r < rows.size(); ++r)
        if (rows[r].task >= 0)
            rowOf[static_cast<size_t>(
                data.order[static_cast<size_t>(data.firstTask[static_cast<size_t>(rows[r].project)] + rows[r].task)])] =
                static_cast<int>(r);
    return rowOf;
}

const Item& itemOf(const Data& data, const Row& row) {
    const auto p = static_cast<size_t>(row.project);
    return row.task < 0 ? data.projects[p] : data.task(p, row.task);
}

std::pair<QDate, QDate> dateRange(const Data& data) {
    QDate first, last;
    auto take = [&](QDate d) {
        if (!d.isValid())
            return;
        if (!first.isValid() || d < first)
            first = d;
        if (!last.isValid() || d > last)
            last = d;
    };
    for (const auto* list : {&data.projects, &data.tasks})
        for (const Item& item : *list) {
            take(item.start);
            take(item.end);
        }
    // A project's own End Date is marked where it differs from its plan's.
    for (const Item& project : data.projects)
        if (project.endDiffers())
            take(project.ownEnd);
    return {first, last};
}

const QString& colourKey(const Item& item, ColourBy by) {
    switch (by) {
    case ColourBy::Status:
        return item.status;
    case ColourBy::Priority:
        return item.priority;
    case ColourBy::Category:
        break;
    }
    return item.category;
}

std::vector<QString> legendKeys(const Data& data, ColourBy by) {
    // Value lists are short: a few keys compared in turn beat hashing every row's text.
    std::vector<QString> keys;
    QSet<QString> many;
    for (const auto* list : {&data.projects, &data.tasks})
        for (const Item& item : *list) {
            const QString& key = colourKey(item, by);
            if (many.isEmpty()) {
                // Texts read once per value share their data: most rows match without comparing.
                if (std::any_of(keys.begin(), keys.end(),
                                [&](const QString& k) { return k.constData() == key.constData() || k == key; }))
                    continue;
                keys.push_back(key);
                if (keys.size() > 32)
                    many = QSet<QString>(keys.begin(), keys.end());
            } else {
                many.insert(key);
            }
        }
    if (!many.isEmpty())
        keys.assign(many.begin(), many.end());
    std::sort(keys.begin(), keys.end(),
              [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
    return keys;
}

QString toolTip(const Item& item, QDate today) {
    auto dateText = [](QDate d, const QString& stored) {
        if (d.isValid())
            return shortDateText(d.toString(Qt::ISODate));
        return stored.trimmed().isEmpty() ? QStringLiteral("(none)") : QStringLiteral("(unreadable: %1)").arg(stored);
    };
    QStringList lines;
    lines << item.name;
    lines << (item.isTask ? QStringLiteral("Assigned to: ") : QStringLiteral("Owner: ")) + item.who;
    const bool own = !item.isTask && item.ownRead;
    lines << QStringLiteral("Start: ") + dateText(own ? item.ownStart : item.start, item.startText);
    lines << (item.isTask ? QStringLiteral("Due: ") : QStringLiteral("End: ")) +
                 dateText(own ? item.ownEnd : item.end, item.endText);
    if (item.spansPlan) {
        lines << QStringLiteral("Plan: %1 to %2 (the bar spans its tasks)")
                     .arg(shortDateText(item.start.toString(Qt::ISODate)),
                          shortDateText(item.end.toString(Qt::ISODate)));
        if (item.endDiffers())
            lines << QStringLiteral("Its End Date differs from the end of its plan.");
    }
    lines << QStringLiteral("Status: ") + item.status;
    if (item.isTask)
        lines << QStringLiteral("Complete: %1 %").arg(numberText(item.percent));
    if (item.milestone)
        lines << QStringLiteral("Milestone");
    if (item.summary)
        lines << QStringLiteral("Summary: its dates span the tasks under it.");
    if (item.scheduled)
        lines << QStringLiteral("Slack: %1 working day%2")
                         .arg(item.slack)
                         .arg(item.slack == 1 ? QString() : QStringLiteral("s")) +
                     (item.critical ? QStringLiteral(" (critical)") : QString());
    if (own ? item.ownStart.isValid() && item.ownEnd.isValid() && item.ownEnd < item.ownStart : item.reversed())
        lines << (item.isTask ? QStringLiteral("The due date lies before the start date.")
                              : QStringLiteral("The end date lies before the start date."));
    if (item.overdue(today))
        lines << QStringLiteral("Overdue");
    if (!item.hasBar())
        lines << QStringLiteral("Not drawn: a date is missing or cannot be read.");
    return lines.join(QLatin1Char('\n'));
}

} // namespace Timeline
