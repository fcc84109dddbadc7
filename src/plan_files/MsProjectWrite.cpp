// Writing MS Project's XML form: the project, its calendar (weekdays and days off), its tasks in
// outline order with their links, its resources and assignments, each element where MS
// Project's schema places it, in its default namespace. Days are written as MS Project's
// standard day (08:00 to 12:00 and 13:00 to 17:00, 480 minutes); a milestone stands at the end
// of its day, or at its start for one that stands there.
#include "PlanFile.h"
#include "PlanFileText.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace PlanFiles {

namespace {

constexpr int minutesPerDay = 480;

// "yyyy-MM-ddThh:mm:ss", without a heap allocation.
struct DateTimeText {
    char text[20];
    operator std::string_view() const { return std::string_view(text, 19); }
};

DateTimeText dateTime(QDate day, const char* time) {
    int year = 0, month = 0, dayOfMonth = 0;
    day.getDate(&year, &month, &dayOfMonth);
    DateTimeText t;
    for (int i = 3; i >= 0; --i, year /= 10)
        t.text[i] = char('0' + year % 10);
    t.text[4] = '-';
    t.text[5] = char('0' + month / 10);
    t.text[6] = char('0' + month % 10);
    t.text[7] = '-';
    t.text[8] = char('0' + dayOfMonth / 10);
    t.text[9] = char('0' + dayOfMonth % 10);
    t.text[10] = 'T';
    std::memcpy(t.text + 11, time, 8);
    t.text[19] = '\0';
    return t;
}

std::string hours(qint64 days) {
    return "PT" + std::to_string(days * (minutesPerDay / 60)) + "H0M0S";
}

// The people of a task, its assignee first, once each.
QStringList assignedNames(const FileTask& task) {
    QStringList names;
    for (const QString& name : QStringList{task.assignee} + task.otherAssignees)
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    return names;
}

int priorityValue(Priority priority) {
    switch (priority) {
    case Priority::Lowest:
        return 100;
    case Priority::Low:
        return 300;
    case Priority::High:
        return 700;
    case Priority::Highest:
        return 900;
    default:
        return 500;
    }
}

int linkType(LinkKind kind) {
    switch (kind) {
    case LinkKind::FinishToFinish:
        return 0;
    case LinkKind::StartToFinish:
        return 2;
    case LinkKind::StartToStart:
        return 3;
    default:
        return 1;
    }
}

// XML written straight into memory, on one line after the declaration as MS Project writes its
// own (a large plan's file is a quarter smaller than indented): the writer of Qt costs about six
// times as much for the thousands of small elements of a large plan.
class XmlOut {
public:
    explicit XmlOut(std::string& out)
        : m_out(out) {}
    // A writer of a part of a document whose elements are open already (ended by this writer).
    XmlOut(std::string& out, std::vector<const char*> open)
        : m_out(out)
        , m_open(std::move(open)) {}
    void writeStartDocument() { m_out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"; }
    // Given to the next element started.
    void writeDefaultNamespace(const char* uri) { m_namespace = uri; }
    void writeStartElement(const char* name) {
        m_out += '<';
        m_out += name;
        if (m_namespace) {
            m_out += " xmlns=\"";
            m_out += m_namespace;
            m_out += '"';
            m_namespace = nullptr;
        }
        m_out += '>';
        m_open.push_back(name);
    }
    void writeEndElement() {
        const char* name = m_open.back();
        m_open.pop_back();
        m_out += "</";
        m_out += name;
        m_out += '>';
    }
    void writeTextElement(std::string_view name, const QString& value) {
        open(name);
        // Most names are plain ASCII: written as they are, escaped on the way.
        bool plain = true, markup = false;
        for (const QChar c : value) {
            const char16_t u = c.unicode();
            plain = plain && u < 0x80 && (u >= 0x20 || u == 0x09 || u == 0x0A);
            markup = markup || u == '&' || u == '<' || u == '>';
        }
        if (plain && !markup) {
            char* p = grow(size_t(value.size()));
            for (const QChar c : value)
                *p++ = char(c.unicode());
        } else if (plain) {
            for (const QChar c : value)
                escaped(char(c.unicode()));
        } else {
            for (const char c : Text::xmlSafe(value).toUtf8())
                escaped(c);
        }
        close(name);
    }
    void escaped(char c) {
        {
            switch (c) {
            case '&':
                m_out += "&amp;";
                break;
            case '<':
                m_out += "&lt;";
                break;
            case '>':
                m_out += "&gt;";
                break;
            case '\r':
                m_out += "&#13;";
                break;
            default:
                m_out += c;
            }
        }
    }
    // A value known to need no escaping (dates, numbers, outline numbers): the whole element
    // put in place at once, as most of a plan's file is such elements.
    void writePlainElement(std::string_view name, std::string_view value) {
        char* p = grow(2 * name.size() + 5 + value.size());
        *p++ = '<';
        p = put(p, name);
        *p++ = '>';
        p = put(p, value);
        *p++ = '<';
        *p++ = '/';
        p = put(p, name);
        *p = '>';
    }
    void writeNumberElement(std::string_view name, qint64 value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        writePlainElement(name, std::string_view(digits, static_cast<size_t>(end - digits)));
    }
    void writeEndDocument() { m_out += '\n'; }

private:
    void open(std::string_view name) {
        m_out += '<';
        m_out += name;
        m_out += '>';
    }
    void close(std::string_view name) {
        m_out += "</";
        m_out += name;
        m_out += '>';
    }
    // Room for n more bytes at the end, filled through the pointer returned.
    char* grow(size_t n) {
        const size_t at = m_out.size();
        m_out.resize(at + n);
        return m_out.data() + at;
    }
    static char* put(char* p, std::string_view text) { return std::copy(text.begin(), text.end(), p); }

    std::string& m_out;
    std::vector<const char*> m_open;
    const char* m_namespace = nullptr;
};

void text(XmlOut& xml, std::string_view name, const QString& value) {
    xml.writeTextElement(name, value);
}

void text(XmlOut& xml, std::string_view name, std::string_view plain) {
    xml.writePlainElement(name, plain);
}

void text(XmlOut& xml, std::string_view name, const DateTimeText& plain) {
    xml.writePlainElement(name, plain);
}

void number(XmlOut& xml, std::string_view name, qint64 value) {
    xml.writeNumberElement(name, value);
}

bool writeAll(QIODevice& out, const std::string& bytes) {
    return out.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

void writeCalendar(XmlOut& xml, const PlanFile& plan) {
    xml.writeStartElement("Calendars");
    xml.writeStartElement("Calendar");
    number(xml, "UID", 1);
    text(xml, "Name", QStringLiteral("Standard"));
    number(xml, "IsBaseCalendar", 1);
    xml.writeStartElement("WeekDays");
    for (int type = 1; type <= 7; ++type) {
        // 1 = Sunday in the file.
        const int dayOfWeek = type == 1 ? 7 : type - 1;
        const bool working = plan.calendar.isWorkingWeekday(dayOfWeek);
        xml.writeStartElement("WeekDay");
        number(xml, "DayType", type);
        number(xml, "DayWorking", working ? 1 : 0);
        if (working) {
            xml.writeStartElement("WorkingTimes");
            for (const auto& [from, to] : {std::pair{"08:00:00", "12:00:00"}, std::pair{"13:00:00", "17:00:00"}}) {
                xml.writeStartElement("WorkingTime");
                text(xml, "FromTime", std::string(from));
                text(xml, "ToTime", std::string(to));
                xml.writeEndElement();
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement(); // WeekDays
    const QList<QPair<QDate, QDate>> off = Text::daysOff(plan.calendar);
    if (!off.isEmpty()) {
        xml.writeStartElement("Exceptions");
        for (const auto& [from, to] : off) {
            xml.writeStartElement("Exception");
            number(xml, "EnteredByOccurrences", 0);
            xml.writeStartElement("TimePeriod");
            text(xml, "FromDate", dateTime(from, "00:00:00"));
            text(xml, "ToDate", dateTime(to, "23:59:00"));
            xml.writeEndElement();
            number(xml, "Occurrences", 1);
            text(xml, "Name", QStringLiteral("Day off"));
            number(xml, "Type", 1);
            number(xml, "DayWorking", 0);
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement(); // Calendar
    xml.writeEndElement(); // Calendars
}

} // namespace

// What the file needs besides the tasks' own fields and links, worked out from the plan first:
// the head (up to the project's own summary task), the outline (each task's position, number
// and UID) and the tail (from the end of the tasks). The tasks are written from the plan, which
// must live until the file is written.
struct MsProjectWriting::Parts {
    const PlanFile* plan = nullptr;
    QHash<QString, int> indexOf;
    std::vector<Text::OutlineEntry> order;
    QList<qint64> uids;
    std::vector<std::string> outlineNumbers; // by outline position
    // Work in days of one person, by outline position: a task's length for each of its people (a
    // task without any is one person's work, so that a reader that schedules by work, as GNOME
    // Planner does, finds its length); a summary's is its tasks' work.
    std::vector<qint64> workDays;
    QDate start; // the project's; for a task without dates
    std::string head;
    std::string tail;
};

MsProjectWriting::MsProjectWriting(const PlanFile& plan)
    : m_parts(std::make_unique<Parts>()) {
    Parts& parts = *m_parts;
    parts.plan = &plan;
    parts.indexOf = Text::positionsByKey(plan);
    parts.order = Text::outline(plan, parts.indexOf);
    const std::vector<Text::OutlineEntry>& order = parts.order;
    // UID 0 is the project's own summary task.
    parts.uids = Text::taskNumbers(plan, order, 1);
    const QList<qint64>& uids = parts.uids;

    QDate start = plan.start;
    QDate finish = plan.finish;
    for (const FileTask& task : plan.tasks) {
        if (Text::inRange(task.start) && (!start.isValid() || task.start < start))
            start = task.start;
        if (Text::inRange(task.finish) && (!finish.isValid() || task.finish > finish))
            finish = task.finish;
    }
    if (!Text::inRange(start))
        start = QDate::currentDate();
    if (!Text::inRange(finish) || finish < start)
        finish = start;
    parts.start = start;
    parts.workDays.assign(order.size(), 0);
    for (size_t position = order.size(); position-- > 0;) {
        const Text::OutlineEntry& entry = order[position];
        const FileTask& task = plan.tasks.at(entry.task);
        if (!entry.hasChildren && !task.milestone)
            parts.workDays[position] =
                qint64(std::max(task.lengthDays, 0)) * std::max<qint64>(1, assignedNames(task).size());
        if (entry.parent >= 0)
            parts.workDays[static_cast<size_t>(entry.parent)] += parts.workDays[position];
    }
    int workingWeekdays = 0;
    for (int day = 1; day <= 7; ++day)
        workingWeekdays += plan.calendar.isWorkingWeekday(day) ? 1 : 0;

    XmlOut xml(parts.head);
    xml.writeStartDocument();
    xml.writeDefaultNamespace("http://schemas.microsoft.com/project");
    xml.writeStartElement("Project");
    number(xml, "SaveVersion", 14);
    text(xml, "Name", plan.projectName);
    text(xml, "Title", plan.projectName);
    if (!plan.owner.isEmpty())
        text(xml, "Manager", plan.owner);
    number(xml, "ScheduleFromStart", 1);
    text(xml, "StartDate", dateTime(start, "08:00:00"));
    text(xml, "FinishDate", dateTime(finish, "17:00:00"));
    number(xml, "CalendarUID", 1);
    text(xml, "DefaultStartTime", std::string("08:00:00"));
    text(xml, "DefaultFinishTime", std::string("17:00:00"));
    number(xml, "MinutesPerDay", minutesPerDay);
    number(xml, "MinutesPerWeek", qint64(minutesPerDay) * workingWeekdays);
    number(xml, "DaysPerMonth", 20);
    writeCalendar(xml, plan);

    xml.writeStartElement("Tasks");
    {
        xml.writeStartElement("Task");
        number(xml, "UID", 0);
        number(xml, "ID", 0);
        text(xml, "Name", plan.projectName);
        text(xml, "OutlineNumber", std::string("0"));
        number(xml, "OutlineLevel", 0);
        number(xml, "Priority", 500);
        text(xml, "Start", dateTime(start, "08:00:00"));
        text(xml, "Finish", dateTime(finish, "17:00:00"));
        text(xml, "Duration", hours(plan.calendar.workingDaysBetween(start, finish)));
        number(xml, "DurationFormat", 7);
        qint64 work = 0;
        for (size_t position = 0; position < order.size(); ++position)
            work += order[position].parent < 0 ? parts.workDays[position] : 0;
        text(xml, "Work", hours(work));
        number(xml, "Milestone", 0);
        number(xml, "Summary", 1);
        number(xml, "PercentComplete", 0);
        number(xml, "ConstraintType", 0);
        xml.writeEndElement();
    }
    // Outline numbers ("1.2.3"): each task's is its parent's and its place among its siblings.
    parts.outlineNumbers.resize(order.size());
    QHash<int, int> childrenSoFar; // by parent position, -1 for the top
    for (size_t position = 0; position < order.size(); ++position) {
        const Text::OutlineEntry& entry = order[position];
        const int place = ++childrenSoFar[entry.parent];
        parts.outlineNumbers[position] =
            entry.parent < 0 ? std::to_string(place)
                             : parts.outlineNumbers[static_cast<size_t>(entry.parent)] + '.' + std::to_string(place);
    }
    // The calendar's table is built over every date the tasks use first: the tasks are written
    // on two threads at once, which only read it.
    plan.calendar.prepare(start, finish);

    // Resources: those the plan names, and any assignee it does not.
    XmlOut end(parts.tail, {"Project", "Tasks"});
    end.writeEndElement(); // Tasks
    const QStringList resources = Text::resourceNames(plan);
    QHash<QString, qsizetype> resourceIndex;
    for (qsizetype i = 0; i < resources.size(); ++i)
        resourceIndex.insert(resources.at(i), i);
    end.writeStartElement("Resources");
    for (qsizetype i = 0; i < resources.size(); ++i) {
        end.writeStartElement("Resource");
        number(end, "UID", i + 1);
        number(end, "ID", i + 1);
        text(end, "Name", resources.at(i));
        number(end, "Type", 1); // work
        end.writeEndElement();
    }
    end.writeEndElement();

    end.writeStartElement("Assignments");
    qint64 assignment = 0;
    for (const Text::OutlineEntry& entry : order) {
        const FileTask& task = plan.tasks.at(entry.task);
        if (task.assignee.isEmpty() && task.otherAssignees.isEmpty())
            continue;
        // The assignee first, so that a reader taking the first of equal units takes it; each
        // works the task's whole length (a summary's people, their tasks' length).
        const bool milestone = task.milestone && !entry.hasChildren;
        const qint64 days = milestone ? 0
                            : entry.hasChildren
                                ? plan.calendar.workingDaysBetween(Text::inRange(task.start) ? task.start : start,
                                                                   Text::inRange(task.finish) ? task.finish : start)
                                : std::max(task.lengthDays, 0);
        for (const QString& name : assignedNames(task)) {
            end.writeStartElement("Assignment");
            number(end, "UID", ++assignment);
            number(end, "TaskUID", uids.at(entry.task));
            number(end, "ResourceUID", resourceIndex.value(name) + 1);
            number(end, "Units", 1);
            text(end, "Work", hours(std::max<qint64>(days, 0)));
            end.writeEndElement();
        }
    }
    end.writeEndElement();

    end.writeEndElement(); // Project
    end.writeEndDocument();
}

MsProjectWriting::~MsProjectWriting() = default;
MsProjectWriting::MsProjectWriting(MsProjectWriting&&) noexcept = default;
MsProjectWriting& MsProjectWriting::operator=(MsProjectWriting&&) noexcept = default;

bool MsProjectWriting::write(QIODevice& out, const QList<FileLink>& links) const {
    const Parts& parts = *m_parts;
    const bool twoCores = std::thread::hardware_concurrency() > 1;
    const size_t taskCount = parts.order.size();
    // Each link's tasks (their positions in the plan; -1: not in it), looked up in two halves at
    // once for a large plan; then each task's predecessors, in the order of the links.
    std::vector<std::pair<int, int>> ends(size_t(links.size()));
    auto lookUp = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i) {
            const FileLink& link = links.at(i);
            ends[size_t(i)] = {parts.indexOf.value(link.predecessorKey, -1),
                               parts.indexOf.value(link.successorKey, -1)};
        }
    };
    {
        const qsizetype half = twoCores && links.size() > 4000 ? links.size() / 2 : links.size();
        std::jthread other;
        if (half < links.size())
            other = std::jthread([&] { lookUp(half, links.size()); });
        lookUp(0, half);
    }
    // predecessors[first[t] .. first[t + 1]) are those of the task at t: its predecessor's
    // position and the link.
    std::vector<size_t> first(taskCount + 1, 0);
    for (const auto& [from, to] : ends)
        if (from >= 0 && to >= 0)
            ++first[size_t(to) + 1];
    for (size_t t = 1; t < first.size(); ++t)
        first[t] += first[t - 1];
    std::vector<std::pair<int, const FileLink*>> predecessors(first.back());
    {
        std::vector<size_t> next(first.begin(), first.end() - 1);
        for (qsizetype i = 0; i < links.size(); ++i) {
            const auto [from, to] = ends[size_t(i)];
            if (from >= 0 && to >= 0)
                predecessors[next[size_t(to)]++] = {from, &links.at(i)};
        }
    }
    // The tasks with their links, made in chunks of outline positions by two threads (where the
    // machine has two cores) and written in order as each is ready: the first bytes go to the
    // device while the last are still being made.
    struct Chunk {
        std::string bytes;
        std::atomic<bool> ready = false;
    };
    constexpr size_t chunkTasks = 512;
    const size_t chunkCount = (taskCount + chunkTasks - 1) / chunkTasks;
    std::unique_ptr<Chunk[]> chunks(new Chunk[chunkCount]);
    // One task's element up to where its links go, at its outline position.
    auto writeTaskBody = [&parts](XmlOut& xml, size_t position) {
        const PlanFile& plan = *parts.plan;
        const Text::OutlineEntry& entry = parts.order[position];
        const FileTask& task = plan.tasks.at(entry.task);
        const bool milestone = task.milestone && !entry.hasChildren;
        QDate taskStart = Text::inRange(task.start) ? task.start : parts.start;
        QDate taskFinish = Text::inRange(task.finish) ? task.finish : taskStart;
        if (milestone || taskFinish < taskStart)
            taskFinish = taskStart;
        const int length = milestone           ? 0
                           : entry.hasChildren ? plan.calendar.workingDaysBetween(taskStart, taskFinish)
                                               : std::max(task.lengthDays, 0);

        xml.writeStartElement("Task");
        number(xml, "UID", parts.uids.at(entry.task));
        number(xml, "ID", static_cast<qint64>(position) + 1);
        text(xml, "Name", task.name);
        // MS Project's outline code, which GNOME Planner nests its tasks by.
        text(xml, "WBS", parts.outlineNumbers[position]);
        text(xml, "OutlineNumber", parts.outlineNumbers[position]);
        number(xml, "OutlineLevel", entry.depth);
        number(xml, "Priority", priorityValue(task.priority));
        // A milestone's moment, for its start, its finish and its earliest start alike.
        const char* const moment = task.atDayStart ? "08:00:00" : "17:00:00";
        text(xml, "Start", dateTime(taskStart, milestone ? moment : "08:00:00"));
        text(xml, "Finish", dateTime(taskFinish, milestone ? moment : "17:00:00"));
        text(xml, "Duration", hours(length));
        number(xml, "DurationFormat", 7);
        text(xml, "Work", hours(parts.workDays[position]));
        number(xml, "Milestone", milestone ? 1 : 0);
        number(xml, "Summary", entry.hasChildren ? 1 : 0);
        number(xml, "PercentComplete", std::clamp(task.percentComplete, 0, 100));
        if (Text::inRange(task.startNoEarlierThan)) {
            number(xml, "ConstraintType", 4);
            text(xml, "ConstraintDate", dateTime(task.startNoEarlierThan, milestone ? moment : "08:00:00"));
        } else {
            number(xml, "ConstraintType", 0);
        }
        if (!task.notes.isEmpty())
            text(xml, "Notes", task.notes);
    };
    const size_t bytesPerTask = 400 + 150 * size_t(links.size()) / std::max<size_t>(taskCount, 1);
    // The chunk at c: the tasks at outline positions c * chunkTasks up to the next chunk's.
    auto make = [&](size_t c) {
        const size_t from = c * chunkTasks, to = std::min(taskCount, from + chunkTasks);
        std::string& bytes = chunks[c].bytes;
        bytes.reserve(bytesPerTask * (to - from));
        XmlOut xml(bytes, {"Project", "Tasks"});
        for (size_t position = from; position < to; ++position) {
            writeTaskBody(xml, position);
            const size_t task = size_t(parts.order[position].task);
            for (size_t at = first[task]; at < first[task + 1]; ++at) {
                const auto& [predecessor, link] = predecessors[at];
                xml.writeStartElement("PredecessorLink");
                number(xml, "PredecessorUID", parts.uids.at(predecessor));
                number(xml, "Type", linkType(link->kind));
                number(xml, "LinkLag", qint64(link->lagDays) * minutesPerDay * 10);
                number(xml, "LagFormat", 7);
                xml.writeEndElement();
            }
            xml.writeEndElement();
        }
    };
    std::atomic<size_t> nextToMake = 0;
    auto makeNext = [&] {
        const size_t c = nextToMake.fetch_add(1);
        if (c >= chunkCount)
            return false;
        make(c);
        chunks[c].ready.store(true, std::memory_order_release);
        chunks[c].ready.notify_one();
        return true;
    };
    bool written = writeAll(out, parts.head);
    {
        std::jthread other;
        if (twoCores && chunkCount > 1)
            other = std::jthread([&] {
                while (makeNext()) {
                }
            });
        for (size_t c = 0; c < chunkCount; ++c) {
            // This thread makes chunks too while the next to be written is not ready.
            while (!chunks[c].ready.load(std::memory_order_acquire))
                if (!makeNext())
                    chunks[c].ready.wait(false, std::memory_order_acquire);
            written = writeAll(out, chunks[c].bytes) && written;
            std::string().swap(chunks[c].bytes);
        }
    }
    return writeAll(out, parts.tail) && written;
}

bool writeMsProject(QIODevice& out, const PlanFile& plan) {
    return MsProjectWriting(plan).write(out, plan.links);
}

} // namespace PlanFiles
