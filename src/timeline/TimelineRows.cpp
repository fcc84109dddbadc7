#include "TimelineRows.h"

#include "app/Database.h"

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

double percentOf(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : 0;
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

Item projectItem(const ProjectCells& c) {
    Item item;
    item.id = c.id.toLongLong();
    item.projectId = item.id;
    item.name = c.name;
    item.who = c.owner;
    item.category = c.category;
    item.priority = c.priority;
    item.status = c.status;
    item.startText = c.start;
    item.endText = c.end;
    item.start = parseStoredDate(c.start);
    item.end = parseStoredDate(c.end);
    return item;
}

Item taskItem(const TaskCells& c) {
    Item item;
    item.isTask = true;
    item.id = c.id.toLongLong();
    item.projectId = c.projectId.toLongLong();
    item.name = c.title;
    item.who = c.assignedTo;
    item.status = c.status;
    item.priority = c.priority;
    item.percent = percentOf(c.percent);
    item.startText = c.start;
    item.endText = c.due;
    item.start = parseStoredDate(c.start);
    item.end = parseStoredDate(c.due);
    return item;
}

namespace {

void sortTasks(std::vector<Item>& tasks) {
    std::stable_sort(tasks.begin(), tasks.end(), [](const Item& a, const Item& b) {
        if (a.start.isValid() != b.start.isValid())
            return a.start.isValid();
        return a.start < b.start;
    });
}

} // namespace

void attachTasks(Data& data, std::vector<Item> tasks) {
    data.tasks.assign(data.projects.size(), {});
    QHash<qint64, int> indexOf;
    indexOf.reserve(static_cast<qsizetype>(data.projects.size()));
    for (size_t i = 0; i < data.projects.size(); ++i)
        indexOf.insert(data.projects[i].id, static_cast<int>(i));
    for (Item& task : tasks) {
        const auto it = indexOf.constFind(task.projectId);
        if (it == indexOf.constEnd())
            continue;
        Item& project = data.projects[static_cast<size_t>(*it)];
        task.category = project.category;
        data.tasks[static_cast<size_t>(*it)].push_back(std::move(task));
    }
    for (auto& list : data.tasks)
        if (list.size() > 1)
            sortTasks(list);
}

void replaceTasks(Data& data, qint64 projectId, std::vector<Item> tasks) {
    data.tasks.resize(data.projects.size());
    for (size_t i = 0; i < data.projects.size(); ++i) {
        if (data.projects[i].id != projectId)
            continue;
        for (Item& task : tasks)
            task.category = data.projects[i].category;
        sortTasks(tasks);
        data.tasks[i] = std::move(tasks);
        return;
    }
}

std::vector<Row> buildRows(const Data& data, const QSet<qint64>& collapsed) {
    std::vector<Row> rows;
    size_t count = data.projects.size();
    for (const auto& list : data.tasks)
        count += list.size();
    rows.reserve(count);
    for (size_t p = 0; p < data.projects.size(); ++p) {
        rows.push_back({static_cast<int>(p), -1});
        if (p < data.tasks.size() && !collapsed.contains(data.projects[p].id))
            for (size_t t = 0; t < data.tasks[p].size(); ++t)
                rows.push_back({static_cast<int>(p), static_cast<int>(t)});
    }
    return rows;
}

const Item& itemOf(const Data& data, const Row& row) {
    const auto p = static_cast<size_t>(row.project);
    return row.task < 0 ? data.projects[p] : data.tasks[p][static_cast<size_t>(row.task)];
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
    for (size_t p = 0; p < data.projects.size(); ++p) {
        take(data.projects[p].start);
        take(data.projects[p].end);
        if (p < data.tasks.size())
            for (const Item& t : data.tasks[p]) {
                take(t.start);
                take(t.end);
            }
    }
    return {first, last};
}

QString colourKey(const Item& item, ColourBy by) {
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
    QSet<QString> seen;
    for (size_t p = 0; p < data.projects.size(); ++p) {
        seen.insert(colourKey(data.projects[p], by));
        if (p < data.tasks.size())
            for (const Item& t : data.tasks[p])
                seen.insert(colourKey(t, by));
    }
    std::vector<QString> keys(seen.begin(), seen.end());
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
    lines << QStringLiteral("Start: ") + dateText(item.start, item.startText);
    lines << (item.isTask ? QStringLiteral("Due: ") : QStringLiteral("End: ")) + dateText(item.end, item.endText);
    lines << QStringLiteral("Status: ") + item.status;
    if (item.isTask)
        lines << QStringLiteral("Complete: %1 %").arg(numberText(item.percent));
    if (item.reversed())
        lines << (item.isTask ? QStringLiteral("The due date lies before the start date.")
                              : QStringLiteral("The end date lies before the start date."));
    if (item.overdue(today))
        lines << QStringLiteral("Overdue");
    if (!item.hasBar())
        lines << QStringLiteral("Not drawn: a date is missing or cannot be read.");
    return lines.join(QLatin1Char('\n'));
}

} // namespace Timeline
