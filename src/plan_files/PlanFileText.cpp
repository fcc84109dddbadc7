// What the readers and writers of other planners' files share.
#include "PlanFileText.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace PlanFiles::Text {

QDate earliestDate() {
    return QDate(1900, 1, 1);
}

QDate latestDate() {
    return QDate(2999, 12, 31);
}

bool inRange(QDate date) {
    return date.isValid() && date >= earliestDate() && date <= latestDate();
}

int longestSpan() {
    return static_cast<int>(earliestDate().daysTo(latestDate())) + 1;
}

QString counted(qsizetype n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString atLine(const QXmlStreamReader& xml, const QString& message) {
    return atLine(xml.lineNumber(), message);
}

QString atLine(qint64 line, const QString& message) {
    return QStringLiteral("Line %1: %2").arg(line).arg(message);
}

bool toRoot(QXmlStreamReader& xml, QString* error) {
    bool readSome = false; // a fault after a piece only XML has is one of a broken XML file
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        readSome = readSome || (token == QXmlStreamReader::StartDocument && !xml.documentVersion().isEmpty()) ||
                   token == QXmlStreamReader::Comment || token == QXmlStreamReader::DTD ||
                   token == QXmlStreamReader::ProcessingInstruction;
        // A document type declaration is passed over unread (nothing it names is ever loaded);
        // one that declares entities is refused, so that none is ever expanded.
        if (xml.isDTD() && (!xml.entityDeclarations().isEmpty() || !xml.notationDeclarations().isEmpty())) {
            if (error)
                *error = atLine(xml, QStringLiteral("a document type declaration with entities is not read"));
            return false;
        }
        if (xml.isStartElement())
            return true;
    }
    if (error)
        *error = atLine(xml, !xml.hasError() ? QStringLiteral("not an XML file (no element in it)")
                             : readSome      ? QStringLiteral("not a well-formed XML file (%1)").arg(xml.errorString())
                                             : QStringLiteral("not an XML file (%1)").arg(xml.errorString()));
    return false;
}

QString xmlSafe(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result += c;
            result += text.at(++i);
            continue;
        }
        if (c.isSurrogate() || u == 0xFFFE || u == 0xFFFF)
            continue;
        if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D)
            continue;
        result += c;
    }
    return result;
}

void dateAtDayStart(const WorkCalendar& calendar, FileTask& task, bool linked) {
    task.start = task.finish = calendar.dateOf(calendar.ordinalAfter(task.start));
    if (task.startNoEarlierThan.isValid())
        task.startNoEarlierThan = calendar.dateOf(calendar.ordinalAfter(task.startNoEarlierThan));
    if (!linked)
        task.startNoEarlierThan = task.start;
}

QList<QPair<QDate, QDate>> daysOff(const WorkCalendar& calendar) {
    QList<QPair<QDate, QDate>> result;
    for (const QDate day : calendar.holidays()) {
        if (!inRange(day) || !calendar.isWorkingWeekday(day.dayOfWeek()))
            continue;
        if (!result.isEmpty() && result.last().second.daysTo(day) == 1)
            result.last().second = day;
        else
            result.append({day, day});
    }
    return result;
}

QStringList resourceNames(const PlanFile& plan) {
    QStringList names;
    QSet<QString> seen;
    auto take = [&](const QString& name) {
        if (!name.isEmpty() && !seen.contains(name)) {
            seen.insert(name);
            names.append(name);
        }
    };
    for (const QString& name : plan.resources)
        take(name);
    for (const FileTask& task : plan.tasks) {
        take(task.assignee);
        for (const QString& name : task.otherAssignees)
            take(name);
    }
    return names;
}

QHash<QString, int> positionsByKey(const PlanFile& plan) {
    QHash<QString, int> byKey;
    byKey.reserve(plan.tasks.size());
    for (int i = 0; i < static_cast<int>(plan.tasks.size()); ++i)
        byKey.insert(plan.tasks.at(i).key, i);
    return byKey;
}

std::vector<OutlineEntry> outline(const PlanFile& plan) {
    return outline(plan, positionsByKey(plan));
}

std::vector<OutlineEntry> outline(const PlanFile& plan, const QHash<QString, int>& byKey) {
    const int count = static_cast<int>(plan.tasks.size());
    // Each task's parent index, -1 at the top; a task that would sit under itself (a loop of
    // parents) is put at the top.
    std::vector<int> parent(count, -1);
    for (int i = 0; i < count; ++i) {
        const FileTask& task = plan.tasks.at(i);
        if (!task.parentKey.isEmpty() && task.parentKey != task.key)
            parent[i] = byKey.value(task.parentKey, -1);
    }
    // A chain of parents longer than there are tasks has come round to itself.
    for (int i = 0; i < count; ++i) {
        int steps = 0;
        for (int p = parent[i]; p >= 0 && steps <= count; p = parent[p])
            ++steps;
        if (steps > count)
            parent[i] = -1;
    }
    std::vector<std::vector<int>> children(count);
    std::vector<int> top;
    for (int i = 0; i < count; ++i)
        (parent[i] >= 0 ? children[parent[i]] : top).push_back(i);

    std::vector<OutlineEntry> order;
    order.reserve(count);
    // Depth first without recursion, so that a deep outline cannot exhaust the stack.
    struct Frame {
        const std::vector<int>* list;
        size_t next;
        int depth;
        int parentPosition;
    };
    std::vector<Frame> stack{{&top, 0, 1, -1}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.list->size()) {
            stack.pop_back();
            continue;
        }
        const int task = (*frame.list)[frame.next++];
        OutlineEntry entry;
        entry.task = task;
        entry.depth = frame.depth;
        entry.parent = frame.parentPosition;
        entry.hasChildren = !children[task].empty();
        order.push_back(entry);
        if (entry.hasChildren)
            stack.push_back({&children[task], 0, entry.depth + 1, static_cast<int>(order.size()) - 1});
    }
    return order;
}

QList<qint64> taskNumbers(const PlanFile& plan, const std::vector<OutlineEntry>& order, qint64 first) {
    QList<qint64> numbers(plan.tasks.size(), 0);
    QSet<qint64> used;
    bool own = true;
    for (qsizetype i = 0; i < plan.tasks.size() && own; ++i) {
        bool ok = false;
        const qint64 number = plan.tasks.at(i).key.toLongLong(&ok);
        // Kept within int: the formats' readers take them as 32-bit numbers.
        own = ok && number >= first && number <= 2147483647 && !used.contains(number);
        used.insert(number);
        numbers[i] = number;
    }
    if (own)
        return numbers;
    qint64 next = first;
    for (const OutlineEntry& entry : order)
        numbers[entry.task] = next++;
    return numbers;
}

} // namespace PlanFiles::Text
