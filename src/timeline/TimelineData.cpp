#include "TimelineData.h"

#include "app/Database.h"
#include "app/SchemaViews.h"
#include "app/ValueText.h"
#include "app/widgets/RecordListModel.h"
#include "scheduling/PlanStore.h"

#include <algorithm>
#include <cmath>

namespace Timeline {

namespace {

// The project list's columns that the timeline reads.
enum ProjectColumn { Id = 0, Name = 1, Owner = 2, Category = 3, Priority = 4, Status = 5, Start = 6, End = 7 };

QString taskColumns(bool withPlan) {
    if (!withPlan)
        return QStringLiteral("select ID,ProjectID,Title,AssignedTo,Status,Priority,PercentComplete,StartDate,"
                              "DueDate from Tasks");
    return QStringLiteral("select ID,ProjectID,Title,AssignedTo,Status,Priority,PercentComplete,StartDate,"
                          "DueDate,ParentID,Milestone,StartNoEarlierThan") +
           (PlanStore::keepsOrder() ? QStringLiteral(",PlanOrder,MilestoneAtStart") : QString()) +
           QStringLiteral(" from Tasks");
}

qint64 integerOf(const ResultSet& rs, int column);

std::vector<PlanLink> readLinks(const QString& where) {
    std::vector<PlanLink> links;
    ResultSet rs = Database::shared().query(
        QStringLiteral("select l.PredecessorID,l.SuccessorID,l.Kind,l.Lag from TaskLinks l") + where);
    while (!rs.eof()) {
        links.push_back(
            {integerOf(rs, 0), integerOf(rs, 1), PlanStore::kindOf(rs.rawText(2)), static_cast<int>(integerOf(rs, 3))});
        rs.moveNext();
    }
    return links;
}

// The contacts' shown names by ID, as the stored queries give them (first name, one blank, last
// name; a missing half as empty text).
QHash<qint64, QString> contactNames() {
    QHash<qint64, QString> names;
    ResultSet rs = Database::shared().query(QStringLiteral("select ID,FirstName,LastName from Employees"));
    while (!rs.eof()) {
        names.insert(rs.value(0).toLongLong(), rs.rawText(1) + QLatin1Char(' ') + rs.rawText(2));
        rs.moveNext();
    }
    rs.close();
    return names;
}

QDate dateOf(const QString& text, QString* keep) {
    const QDate date = parseStoredDate(text);
    if (!date.isValid())
        *keep = text; // shown in the tooltip as it is
    return date;
}

// A stored date read without making a text first when it is a plain yyyy-MM-dd; any other form
// is read from its text as dateOf() reads it.
QDate dateOf(const ResultSet& rs, int column, QString* keep) {
    const RawValue v = rs.raw(column);
    if (v.type == RawValue::Type::Text && v.size == 10 && v.text[4] == '-' && v.text[7] == '-') {
        int parts[3] = {0, 0, 0};
        const int from[3] = {0, 5, 8}, length[3] = {4, 2, 2};
        bool digits = true;
        for (int p = 0; p < 3 && digits; ++p)
            for (int i = from[p]; i < from[p] + length[p] && digits; ++i) {
                digits = v.text[i] >= '0' && v.text[i] <= '9';
                parts[p] = parts[p] * 10 + (v.text[i] - '0');
            }
        if (digits && QDate::isValid(parts[0], parts[1], parts[2]))
            return QDate(parts[0], parts[1], parts[2]);
    }
    return dateOf(rs.rawText(column), keep);
}

// A whole number read without a QVariant; a text that is not a number reads as 0.
qint64 integerOf(const ResultSet& rs, int column) {
    const RawValue v = rs.raw(column);
    switch (v.type) {
    case RawValue::Type::Integer:
        return v.integer;
    case RawValue::Type::Real:
        return static_cast<qint64>(v.real);
    case RawValue::Type::Text:
        return rs.value(column).toLongLong();
    case RawValue::Type::Null:
        break;
    }
    return 0;
}

double numberOf(const ResultSet& rs, int column) {
    const RawValue v = rs.raw(column);
    switch (v.type) {
    case RawValue::Type::Integer:
        return static_cast<double>(v.integer);
    case RawValue::Type::Real:
        return v.real;
    case RawValue::Type::Text:
        return rs.value(column).toDouble();
    case RawValue::Type::Null:
        break;
    }
    return 0;
}

// The texts of a value-list column (status, priority) repeat from row to row: each is made once
// and shared by every row that has it. A column with many different texts makes each anew.
class RepeatedTexts {
public:
    QString text(const ResultSet& rs, int column) {
        const RawValue v = rs.raw(column);
        if (v.type != RawValue::Type::Text)
            return rs.rawText(column);
        const QByteArrayView bytes(v.text, v.size);
        if (m_last < m_seen.size() && m_seen[m_last].first == bytes)
            return m_seen[m_last].second;
        for (size_t i = 0; i < m_seen.size(); ++i)
            if (m_seen[i].first == bytes) {
                m_last = i;
                return m_seen[i].second;
            }
        QString made = QString::fromUtf8(bytes);
        if (m_seen.size() < 32) {
            m_last = m_seen.size();
            m_seen.emplace_back(bytes.toByteArray(), made);
        }
        return made;
    }

private:
    std::vector<std::pair<QByteArray, QString>> m_seen;
    size_t m_last = 0;
};

std::vector<Item> readTasks(const QString& statement, const QString& countStatement, bool withPlan) {
    const QHash<qint64, QString> names = contactNames();
    const bool withOrder = withPlan && PlanStore::keepsOrder();
    std::vector<Item> tasks;
    {
        // Room for every task at once: growing the list would move each task several times.
        ResultSet count = Database::shared().query(countStatement);
        if (!count.eof())
            tasks.reserve(static_cast<size_t>(std::max<qint64>(0, count.value(0).toLongLong())));
    }
    RepeatedTexts statuses, priorities;
    ResultSet rs = Database::shared().query(statement);
    while (!rs.eof()) {
        // A missing value reads as empty text or 0: such a row is shown without a bar.
        Item& item = tasks.emplace_back();
        item.isTask = true;
        item.id = integerOf(rs, 0);
        item.projectId = integerOf(rs, 1);
        item.name = rs.rawText(2);
        if (!rs.isNull(3))
            item.who = names.value(integerOf(rs, 3), QLatin1String(SchemaViews::deletedContact));
        item.status = statuses.text(rs, 4);
        item.priority = priorities.text(rs, 5);
        item.percent = numberOf(rs, 6);
        item.start = dateOf(rs, 7, &item.startText);
        item.end = dateOf(rs, 8, &item.endText);
        if (withPlan) {
            item.parentId = integerOf(rs, 9);
            const RawValue milestone = rs.raw(10);
            item.milestone =
                milestone.type == RawValue::Type::Integer ? milestone.integer != 0 : isStoredTruth(rs.rawText(10));
            QString unread;
            item.startNoEarlierThan = dateOf(rs, 11, &unread);
            if (withOrder) {
                item.order = integerOf(rs, 12);
                const RawValue atStart = rs.raw(13);
                item.atDayStart =
                    atStart.type == RawValue::Type::Integer ? atStart.integer != 0 : isStoredTruth(rs.rawText(13));
            }
        }
        rs.moveNext();
    }
    rs.close();
    return tasks;
}

} // namespace

std::vector<Item> projectsFromList(const RecordListModel& list) {
    std::vector<Item> projects;
    const int count = list.rowCount();
    projects.reserve(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r) {
        Item& item = projects.emplace_back();
        const double id = list.cellNumber(r, Id);
        item.id = std::isnan(id) ? list.rawCell(r, Id).toLongLong() : static_cast<qint64>(id);
        item.projectId = item.id;
        item.name = list.rawCell(r, Name);
        item.who = list.rawCell(r, Owner);
        item.category = list.rawCell(r, Category);
        item.priority = list.rawCell(r, Priority);
        item.status = list.rawCell(r, Status);
        // Dates the list keeps as days need no reading; others are read from their text.
        item.start = list.cellDate(r, Start);
        if (!item.start.isValid())
            item.start = dateOf(list.rawCell(r, Start), &item.startText);
        item.end = list.cellDate(r, End);
        if (!item.end.isValid())
            item.end = dateOf(list.rawCell(r, End), &item.endText);
    }
    return projects;
}

std::vector<Item> readAllTasks() {
    const bool withPlan = PlanStore::available();
    return readTasks(taskColumns(withPlan), QStringLiteral("select count(*) from Tasks"), withPlan);
}

std::vector<Item> readTasksOf(qint64 projectId) {
    const bool withPlan = PlanStore::available();
    const QString where = QStringLiteral(" where ProjectID=") + QString::number(projectId);
    return readTasks(taskColumns(withPlan) + where, QStringLiteral("select count(*) from Tasks") + where, withPlan);
}

bool anyLinks() {
    if (!PlanStore::available())
        return false;
    ResultSet rs = Database::shared().query(QStringLiteral("select count(*) from (select 1 from TaskLinks limit 1) l"));
    return !rs.eof() && rs.value(0).toLongLong() > 0;
}

std::vector<PlanLink> readAllLinks() {
    return PlanStore::available() ? readLinks(QString()) : std::vector<PlanLink>();
}

std::vector<PlanLink> readLinksOf(qint64 projectId) {
    if (!PlanStore::available())
        return {};
    return readLinks(QStringLiteral(" join Tasks t on t.ID=l.SuccessorID where t.ProjectID=") +
                     QString::number(projectId));
}

Data load(const RecordListModel& list) {
    Data data;
    data.projects = projectsFromList(list);
    if (PlanStore::available()) {
        data.calendar = PlanStore::readCalendar();
        // The links themselves are read project by project as the projects come into view.
        data.mayHaveLinks = anyLinks();
    }
    attachTasks(data, readAllTasks());
    return data;
}

} // namespace Timeline
