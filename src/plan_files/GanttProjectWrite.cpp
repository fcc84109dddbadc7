// Writing GanttProject's files (.gan): the calendar's weekends and holidays, the tasks nested in
// their outline with their links (in the predecessor, naming the successor), the resources and
// who works on what. Lengths and lags are working days, as GanttProject counts them; a
// milestone is written at the start of its day: of the working day after the one at whose end it
// stands, for one that stands there.
#include "PlanFile.h"
#include "PlanFileText.h"

#include <QHash>
#include <QSet>
#include <QXmlStreamWriter>

namespace PlanFiles {

namespace {

int priorityCode(Priority priority) {
    switch (priority) {
    case Priority::Lowest:
        return 3;
    case Priority::Low:
        return 0;
    case Priority::High:
        return 2;
    case Priority::Highest:
        return 4;
    default:
        return 1;
    }
}

int linkType(LinkKind kind) {
    switch (kind) {
    case LinkKind::StartToStart:
        return 1;
    case LinkKind::FinishToFinish:
        return 3;
    case LinkKind::StartToFinish:
        return 4;
    default:
        return 2;
    }
}

void attribute(QXmlStreamWriter& xml, const char* name, const QString& value) {
    xml.writeAttribute(QLatin1String(name), Text::xmlSafe(value));
}

// GanttProject's own columns of its task table; it opens files without them, but writes them.
void writeTaskProperties(QXmlStreamWriter& xml) {
    static const char* const properties[][3] = {{"tpd0", "type", "icon"},        {"tpd1", "priority", "icon"},
                                                {"tpd2", "info", "icon"},        {"tpd3", "name", "text"},
                                                {"tpd4", "begindate", "date"},   {"tpd5", "enddate", "date"},
                                                {"tpd6", "duration", "int"},     {"tpd7", "completion", "int"},
                                                {"tpd8", "coordinator", "text"}, {"tpd9", "predecessorsr", "text"}};
    xml.writeStartElement(QStringLiteral("taskproperties"));
    for (const auto& property : properties) {
        xml.writeEmptyElement(QStringLiteral("taskproperty"));
        attribute(xml, "id", QLatin1String(property[0]));
        attribute(xml, "name", QLatin1String(property[1]));
        attribute(xml, "type", QStringLiteral("default"));
        attribute(xml, "valuetype", QLatin1String(property[2]));
    }
    xml.writeEndElement();
}

} // namespace

bool writeGanttProject(QIODevice& out, const PlanFile& plan) {
    const std::vector<Text::OutlineEntry> order = Text::outline(plan);
    const QList<qint64> ids = Text::taskNumbers(plan, order, 0);
    QHash<QString, qint64> idOf;
    for (qsizetype i = 0; i < plan.tasks.size(); ++i)
        idOf.insert(plan.tasks.at(i).key, ids.at(i));
    QHash<QString, QList<const FileLink*>> successorsOf;
    QSet<QString> linked;
    for (const FileLink& link : plan.links)
        if (idOf.contains(link.predecessorKey) && idOf.contains(link.successorKey)) {
            successorsOf[link.predecessorKey].append(&link);
            linked << link.predecessorKey << link.successorKey;
        }
    const WorkCalendar& calendar = plan.calendar;
    QDate start = plan.start;
    for (const FileTask& task : plan.tasks)
        if (Text::inRange(task.start) && (!start.isValid() || task.start < start))
            start = task.start;
    if (!Text::inRange(start))
        start = QDate::currentDate();

    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(4);
    xml.writeStartDocument(QStringLiteral("1.0"));
    xml.writeStartElement(QStringLiteral("project"));
    attribute(xml, "name", plan.projectName);
    attribute(xml, "company", QString());
    attribute(xml, "webLink", QString());
    attribute(xml, "view-date", start.toString(Qt::ISODate));
    attribute(xml, "view-index", QStringLiteral("0"));
    attribute(xml, "version", QStringLiteral("3.2"));
    attribute(xml, "locale", QStringLiteral("en"));
    xml.writeEmptyElement(QStringLiteral("description"));

    xml.writeStartElement(QStringLiteral("calendars"));
    xml.writeStartElement(QStringLiteral("day-types"));
    xml.writeEmptyElement(QStringLiteral("day-type"));
    attribute(xml, "id", QStringLiteral("0"));
    xml.writeEmptyElement(QStringLiteral("day-type"));
    attribute(xml, "id", QStringLiteral("1"));
    xml.writeEmptyElement(QStringLiteral("default-week"));
    attribute(xml, "id", QStringLiteral("1"));
    attribute(xml, "name", QStringLiteral("default"));
    static const char* const days[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
    for (const int day : {7, 1, 2, 3, 4, 5, 6})
        attribute(xml, days[day - 1], calendar.isWorkingWeekday(day) ? QStringLiteral("0") : QStringLiteral("1"));
    xml.writeEmptyElement(QStringLiteral("only-show-weekends"));
    attribute(xml, "value", QStringLiteral("false"));
    xml.writeEmptyElement(QStringLiteral("overriden-day-types"));
    xml.writeEmptyElement(QStringLiteral("days"));
    xml.writeEndElement(); // day-types
    for (const auto& [from, to] : Text::daysOff(calendar)) {
        for (QDate day = from; day <= to; day = day.addDays(1)) {
            xml.writeEmptyElement(QStringLiteral("date"));
            attribute(xml, "year", QString::number(day.year()));
            attribute(xml, "month", QString::number(day.month()));
            attribute(xml, "date", QString::number(day.day()));
            attribute(xml, "type", QStringLiteral("HOLIDAY"));
        }
    }
    xml.writeEndElement(); // calendars

    xml.writeStartElement(QStringLiteral("tasks"));
    attribute(xml, "empty-milestones", QStringLiteral("true"));
    writeTaskProperties(xml);
    int open = 0; // task elements still open around the next one
    for (size_t position = 0; position < order.size(); ++position) {
        const Text::OutlineEntry& entry = order[position];
        const FileTask& task = plan.tasks.at(entry.task);
        while (open >= entry.depth) {
            xml.writeEndElement();
            --open;
        }
        const bool milestone = task.milestone && !entry.hasChildren;
        QDate taskStart = Text::inRange(task.start) ? task.start : start;
        int length = std::max(task.lengthDays, 1);
        if (entry.hasChildren) {
            const QDate taskFinish = Text::inRange(task.finish) ? task.finish : taskStart;
            length = std::max(calendar.workingDaysBetween(taskStart, taskFinish), 1);
        }
        // A milestone that links place at the end of its day stands, for GanttProject, whose
        // milestones stand at the start of a day, at the start of the next working day; one
        // without links, or at the start of its day, is written on its own day.
        const bool nextDay = milestone && !task.atDayStart && linked.contains(task.key);
        if (milestone) {
            taskStart = nextDay ? calendar.addWorkingDays(taskStart, 1) : taskStart;
            length = 0;
        }
        xml.writeStartElement(QStringLiteral("task"));
        ++open;
        attribute(xml, "id", QString::number(ids.at(entry.task)));
        attribute(xml, "name", task.name);
        attribute(xml, "meeting", milestone ? QStringLiteral("true") : QStringLiteral("false"));
        attribute(xml, "start", taskStart.toString(Qt::ISODate));
        attribute(xml, "duration", QString::number(length));
        attribute(xml, "complete", QString::number(std::clamp(task.percentComplete, 0, 100)));
        if (priorityCode(task.priority) != 1)
            attribute(xml, "priority", QString::number(priorityCode(task.priority)));
        if (Text::inRange(task.startNoEarlierThan)) {
            const QDate earliest =
                nextDay ? calendar.addWorkingDays(task.startNoEarlierThan, 1) : task.startNoEarlierThan;
            attribute(xml, "thirdDate", earliest.toString(Qt::ISODate));
            attribute(xml, "thirdDate-constraint", QStringLiteral("1"));
        }
        attribute(xml, "expand", QStringLiteral("true"));
        if (!task.notes.isEmpty()) {
            xml.writeStartElement(QStringLiteral("notes"));
            xml.writeCDATA(Text::xmlSafe(task.notes));
            xml.writeEndElement();
        }
        for (const FileLink* link : successorsOf.value(task.key)) {
            xml.writeEmptyElement(QStringLiteral("depend"));
            attribute(xml, "id", QString::number(idOf.value(link->successorKey)));
            attribute(xml, "type", QString::number(linkType(link->kind)));
            attribute(xml, "difference", QString::number(link->lagDays));
            attribute(xml, "hardness", QStringLiteral("Strong"));
        }
    }
    while (open > 0) {
        xml.writeEndElement();
        --open;
    }
    xml.writeEndElement(); // tasks

    const QStringList resources = Text::resourceNames(plan);
    QHash<QString, qsizetype> resourceIndex;
    for (qsizetype i = 0; i < resources.size(); ++i)
        resourceIndex.insert(resources.at(i), i);
    xml.writeStartElement(QStringLiteral("resources"));
    for (qsizetype i = 0; i < resources.size(); ++i) {
        xml.writeEmptyElement(QStringLiteral("resource"));
        attribute(xml, "id", QString::number(i));
        attribute(xml, "name", resources.at(i));
        attribute(xml, "function", QStringLiteral("Default:0"));
        attribute(xml, "contacts", QString());
        attribute(xml, "phone", QString());
    }
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("allocations"));
    for (const Text::OutlineEntry& entry : order) {
        const FileTask& task = plan.tasks.at(entry.task);
        QStringList names;
        for (const QString& name : QStringList{task.assignee} + task.otherAssignees)
            if (!name.isEmpty() && !names.contains(name))
                names.append(name);
        for (const QString& name : names) {
            xml.writeEmptyElement(QStringLiteral("allocation"));
            attribute(xml, "task-id", QString::number(ids.at(entry.task)));
            attribute(xml, "resource-id", QString::number(resourceIndex.value(name)));
            attribute(xml, "function", QStringLiteral("Default:0"));
            attribute(xml, "responsible", name == task.assignee ? QStringLiteral("true") : QStringLiteral("false"));
            attribute(xml, "load", QStringLiteral("100.0"));
        }
    }
    xml.writeEndElement();
    xml.writeEmptyElement(QStringLiteral("vacations"));
    xml.writeEmptyElement(QStringLiteral("previous"));
    xml.writeEmptyElement(QStringLiteral("roles"));
    attribute(xml, "roleset-name", QStringLiteral("Default"));
    xml.writeEndElement(); // project
    xml.writeEndDocument();
    return !xml.hasError();
}

} // namespace PlanFiles
