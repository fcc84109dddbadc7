// Writing MS Project's XML form: the project, its calendar (weekdays and days off), its tasks in
// outline order with their links, its resources and assignments, each element where MS
// Project's schema places it, in its default namespace. Days are written as MS Project's
// standard day (08:00 to 12:00 and 13:00 to 17:00, 480 minutes); a milestone stands at the end
// of its day.
#include "PlanFile.h"
#include "PlanFileText.h"

#include <QHash>

#include <charconv>
#include <cstdio>
#include <cstring>
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

std::string hours(int days) {
    return "PT" + std::to_string(qint64(days) * (minutesPerDay / 60)) + "H0M0S";
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

// XML written straight into memory, indented as a person reads it: the writer of Qt costs about
// six times as much for the thousands of small elements of a large plan.
class XmlOut {
public:
    explicit XmlOut(std::string& out)
        : m_out(out) {}
    // A writer of a part of a document whose elements are open already (their indentation).
    XmlOut(std::string& out, std::vector<const char*> open)
        : m_out(out)
        , m_open(std::move(open)) {}
    void writeStartDocument() { m_out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"; }
    // Given to the next element started.
    void writeDefaultNamespace(const char* uri) { m_namespace = uri; }
    void writeStartElement(const char* name) {
        indent();
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
        indent();
        m_out += "</";
        m_out += name;
        m_out += '>';
    }
    void writeTextElement(const char* name, const QString& value) {
        open(name);
        // Most names are plain ASCII: written as they are, escaped on the way.
        bool plain = true;
        for (const QChar c : value)
            plain = plain && c.unicode() < 0x80 && (c.unicode() >= 0x20 || c.unicode() == 0x09 || c.unicode() == 0x0A);
        const QByteArray utf8 = plain ? QByteArray() : Text::xmlSafe(value).toUtf8();
        if (plain) {
            for (const QChar c : value)
                escaped(char(c.unicode()));
            close(name);
            return;
        }
        for (const char c : utf8)
            escaped(c);
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
    // A value known to need no escaping (dates, numbers, outline numbers).
    void writePlainElement(const char* name, std::string_view value) {
        open(name);
        m_out += value;
        close(name);
    }
    void writeNumberElement(const char* name, qint64 value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        writePlainElement(name, std::string_view(digits, static_cast<size_t>(end - digits)));
    }
    void writeEndDocument() { m_out += '\n'; }

private:
    void indent() {
        m_out += '\n';
        m_out.append(2 * m_open.size(), ' ');
    }
    void open(const char* name) {
        indent();
        m_out += '<';
        m_out += name;
        m_out += '>';
    }
    void close(const char* name) {
        m_out += "</";
        m_out += name;
        m_out += '>';
    }

    std::string& m_out;
    std::vector<const char*> m_open;
    const char* m_namespace = nullptr;
};

void text(XmlOut& xml, const char* name, const QString& value) {
    xml.writeTextElement(name, value);
}

void text(XmlOut& xml, const char* name, std::string_view plain) {
    xml.writePlainElement(name, plain);
}

void text(XmlOut& xml, const char* name, const DateTimeText& plain) {
    xml.writePlainElement(name, plain);
}

void number(XmlOut& xml, const char* name, qint64 value) {
    xml.writeNumberElement(name, value);
}

bool write(QIODevice& out, const std::string& bytes) {
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

bool writeMsProject(QIODevice& out, const PlanFile& plan) {
    const QHash<QString, int> indexOf = Text::positionsByKey(plan);
    // Each task's predecessors (their positions in the plan), with the link: gathered on a
    // thread of their own while the outline is made.
    std::vector<std::vector<std::pair<int, const FileLink*>>> predecessorsOf(size_t(plan.tasks.size()));
    auto gatherLinks = [&] {
        for (const FileLink& link : plan.links) {
            const auto from = indexOf.constFind(link.predecessorKey), to = indexOf.constFind(link.successorKey);
            if (from != indexOf.constEnd() && to != indexOf.constEnd())
                predecessorsOf[size_t(*to)].emplace_back(*from, &link);
        }
    };
    const bool large = plan.tasks.size() > 4000 && std::thread::hardware_concurrency() > 1;
    std::jthread linksGathered;
    if (large)
        linksGathered = std::jthread(gatherLinks);
    else
        gatherLinks();
    const std::vector<Text::OutlineEntry> order = Text::outline(plan, indexOf);
    // UID 0 is the project's own summary task.
    const QList<qint64> uids = Text::taskNumbers(plan, order, 1);
    // The tasks of the first part: all of them, or those the second thread does not write.
    const size_t split = large ? order.size() * 2 / 5 : order.size();

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
    int workingWeekdays = 0;
    for (int day = 1; day <= 7; ++day)
        workingWeekdays += plan.calendar.isWorkingWeekday(day) ? 1 : 0;

    // Into memory first, then to the device in a few large writes.
    std::string bytes;
    const auto sizeOf = [&](size_t tasks) {
        return tasks * 700 + size_t(plan.links.size()) * 200 * tasks / std::max<size_t>(order.size(), 1);
    };
    bytes.reserve(sizeOf(split) + 4096);
    XmlOut xml(bytes);
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
        number(xml, "Milestone", 0);
        number(xml, "Summary", 1);
        number(xml, "PercentComplete", 0);
        number(xml, "ConstraintType", 0);
        xml.writeEndElement();
    }
    // Outline numbers ("1.2.3"): each task's is its parent's and its place among its siblings.
    std::vector<std::string> outlineNumbers(order.size());
    QHash<int, int> childrenSoFar; // by parent position, -1 for the top
    for (size_t position = 0; position < order.size(); ++position) {
        const Text::OutlineEntry& entry = order[position];
        const int place = ++childrenSoFar[entry.parent];
        outlineNumbers[position] =
            entry.parent < 0 ? std::to_string(place)
                             : outlineNumbers[static_cast<size_t>(entry.parent)] + '.' + std::to_string(place);
    }
    // The tasks of a range of outline positions, as a part of the document.
    auto writeTasks = [&](size_t from, size_t to, std::string& part) {
        XmlOut xml(part, {"Project", "Tasks"});
        for (size_t position = from; position < to; ++position) {
            const Text::OutlineEntry& entry = order[position];
            const FileTask& task = plan.tasks.at(entry.task);
            const bool milestone = task.milestone && !entry.hasChildren;
            QDate taskStart = Text::inRange(task.start) ? task.start : start;
            QDate taskFinish = Text::inRange(task.finish) ? task.finish : taskStart;
            if (milestone || taskFinish < taskStart)
                taskFinish = taskStart;
            const int length = milestone           ? 0
                               : entry.hasChildren ? plan.calendar.workingDaysBetween(taskStart, taskFinish)
                                                   : std::max(task.lengthDays, 0);

            xml.writeStartElement("Task");
            number(xml, "UID", uids.at(entry.task));
            number(xml, "ID", static_cast<qint64>(position) + 1);
            text(xml, "Name", task.name);
            text(xml, "OutlineNumber", outlineNumbers[position]);
            number(xml, "OutlineLevel", entry.depth);
            number(xml, "Priority", priorityValue(task.priority));
            text(xml, "Start", dateTime(taskStart, milestone ? "17:00:00" : "08:00:00"));
            text(xml, "Finish", dateTime(taskFinish, "17:00:00"));
            text(xml, "Duration", hours(length));
            number(xml, "DurationFormat", 7);
            number(xml, "Milestone", milestone ? 1 : 0);
            number(xml, "Summary", entry.hasChildren ? 1 : 0);
            number(xml, "PercentComplete", std::clamp(task.percentComplete, 0, 100));
            if (Text::inRange(task.startNoEarlierThan)) {
                number(xml, "ConstraintType", 4);
                text(xml, "ConstraintDate", dateTime(task.startNoEarlierThan, milestone ? "17:00:00" : "08:00:00"));
            } else {
                number(xml, "ConstraintType", 0);
            }
            if (!task.notes.isEmpty())
                text(xml, "Notes", task.notes);
            for (const auto& [predecessor, link] : predecessorsOf[size_t(entry.task)]) {
                xml.writeStartElement("PredecessorLink");
                number(xml, "PredecessorUID", uids.at(predecessor));
                number(xml, "Type", linkType(link->kind));
                number(xml, "LinkLag", qint64(link->lagDays) * minutesPerDay * 10);
                number(xml, "LagFormat", 7);
                xml.writeEndElement();
            }
            xml.writeEndElement();
        }
    };
    // A large plan is written in two parts at once, on two cores where the machine has them; the
    // first goes to the device while the second is still being made, so it is the smaller.
    // The calendar's table is built over every date the tasks use first: both parts only read it.
    plan.calendar.prepare(start, finish);
    if (linksGathered.joinable())
        linksGathered.join();
    std::string second;
    std::jthread other;
    if (split < order.size()) {
        second.reserve(sizeOf(order.size() - split));
        other = std::jthread([&] { writeTasks(split, order.size(), second); });
    }
    writeTasks(0, split, bytes);
    bool written = write(out, bytes);
    bytes.clear();
    if (other.joinable()) {
        other.join();
        written = write(out, second) && written;
    }
    xml.writeEndElement(); // Tasks

    // Resources: those the plan names, and any assignee it does not.
    const QStringList resources = Text::resourceNames(plan);
    QHash<QString, qsizetype> resourceIndex;
    for (qsizetype i = 0; i < resources.size(); ++i)
        resourceIndex.insert(resources.at(i), i);
    xml.writeStartElement("Resources");
    for (qsizetype i = 0; i < resources.size(); ++i) {
        xml.writeStartElement("Resource");
        number(xml, "UID", i + 1);
        number(xml, "ID", i + 1);
        text(xml, "Name", resources.at(i));
        number(xml, "Type", 1); // work
        xml.writeEndElement();
    }
    xml.writeEndElement();

    xml.writeStartElement("Assignments");
    qint64 assignment = 0;
    for (const Text::OutlineEntry& entry : order) {
        const FileTask& task = plan.tasks.at(entry.task);
        if (task.assignee.isEmpty() && task.otherAssignees.isEmpty())
            continue;
        // The assignee first, so that a reader taking the first of equal units takes it.
        QStringList names;
        for (const QString& name : QStringList{task.assignee} + task.otherAssignees)
            if (!name.isEmpty() && !names.contains(name))
                names.append(name);
        for (const QString& name : std::as_const(names)) {
            xml.writeStartElement("Assignment");
            number(xml, "UID", ++assignment);
            number(xml, "TaskUID", uids.at(entry.task));
            number(xml, "ResourceUID", resourceIndex.value(name) + 1);
            number(xml, "Units", 1);
            xml.writeEndElement();
        }
    }
    xml.writeEndElement();

    xml.writeEndElement(); // Project
    xml.writeEndDocument();
    return write(out, bytes) && written;
}

} // namespace PlanFiles
