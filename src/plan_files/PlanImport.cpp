#include "PlanImport.h"

#include "ICalendar.h"

#include "app/Backup.h"
#include "app/Database.h"
#include "app/DbError.h"
#include "app/FieldBounds.h"
#include "app/SqlText.h"
#include "scheduling/PlanStore.h"
#include "scheduling/Scheduler.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>

namespace PlanImport {

namespace {

using PlanFiles::FileTask;
using PlanFiles::PlanFile;

enum class Kind { Unknown, MsProject, GanttProject, Planner, ICalendar };

Kind kindOf(const QString& path, QIODevice& file) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xml"))
        return Kind::MsProject;
    if (suffix == QLatin1String("gan"))
        return Kind::GanttProject;
    if (suffix == QLatin1String("planner") || suffix == QLatin1String("mrproject"))
        return Kind::Planner;
    if (suffix == QLatin1String("ics") || suffix == QLatin1String("ical") ||
        PlanFiles::looksLikeICalendar(file.peek(1024)))
        return Kind::ICalendar;
    // Otherwise by the first element: MS Project's <Project> in its namespace, Planner's
    // <project> with its version attribute, GanttProject's <project>.
    QXmlStreamReader xml(file.peek(64 * 1024));
    while (!xml.atEnd() && !xml.isStartElement())
        xml.readNext();
    Kind kind = Kind::Unknown;
    if (xml.isStartElement()) {
        if (xml.name() == QLatin1String("Project"))
            kind = Kind::MsProject;
        else if (xml.name() == QLatin1String("project"))
            kind =
                xml.attributes().hasAttribute(QLatin1String("mrproject-version")) ? Kind::Planner : Kind::GanttProject;
    }
    return kind;
}

QString weekText(const WorkCalendar& calendar) {
    QStringList days;
    const QLocale locale;
    for (int day = 1; day <= 7; ++day)
        if (calendar.isWorkingWeekday(day))
            days << locale.dayName(day, QLocale::ShortFormat);
    return days.join(QStringLiteral(", "));
}

// The database's calendar with the file's holidays added.
WorkCalendar calendarFor(const PlanFile& plan) {
    WorkCalendar calendar = PlanStore::available() ? PlanStore::readCalendar() : WorkCalendar();
    for (QDate day : plan.calendar.holidays())
        calendar.addHoliday(day);
    return calendar;
}

// The plan with IDs 1, 2, ... in the file's order, each task starting no earlier than its
// constraint (or the project's start), scheduled.
struct Scheduled {
    Plan plan;
    Schedule schedule;
    QHash<QString, qint64> idOf;
    QString loop;
};

Scheduled schedulePlan(const PlanFile& file, const WorkCalendar& calendar) {
    Scheduled s;
    for (const FileTask& task : file.tasks)
        s.idOf.insert(task.key, s.idOf.size() + 1);
    QDate projectStart = file.start;
    if (!projectStart.isValid())
        for (const FileTask& task : file.tasks)
            if (task.start.isValid() && (!projectStart.isValid() || task.start < projectStart))
                projectStart = task.start;
    s.plan.reserve(file.tasks.size(), file.links.size());
    for (const FileTask& task : file.tasks) {
        PlanTask t;
        t.id = s.idOf.value(task.key);
        t.parentId = s.idOf.value(task.parentKey, 0);
        t.milestone = task.milestone;
        t.atDayStart = task.milestone && task.atDayStart;
        if (task.summary) {
            t.start = task.start;
            t.finish = task.finish;
        } else {
            t.start =
                calendar.addWorkingDays(task.startNoEarlierThan.isValid() ? task.startNoEarlierThan : projectStart, 0);
            t.finish = task.milestone ? t.start : calendar.addWorkingDays(t.start, std::max(1, task.lengthDays) - 1);
            t.startNoEarlierThan = t.start;
        }
        s.plan.addTask(t);
    }
    for (const PlanFiles::FileLink& link : file.links)
        s.plan.addLink({s.idOf.value(link.predecessorKey), s.idOf.value(link.successorKey), link.kind, link.lagDays});
    s.schedule = PlanGraph(s.plan).schedule(calendar);
    if (!s.schedule.ok()) {
        QStringList names;
        for (qint64 id : s.schedule.loop)
            names << QStringLiteral("\"%1\"").arg(file.tasks.value(id - 1).name);
        names << names.first();
        s.loop = names.join(QStringLiteral(" -> "));
    }
    return s;
}

// The line of the first byte that is not UTF-8 in an XML file that declares no other encoding;
// 0 when there is none. The XML reader decodes ahead of
// where it reads, so its own error names the line it had reached, not the bad byte's.
qint64 badUtf8Line(const QByteArray& bytes) {
    const QByteArray head = bytes.left(200);
    if (head.startsWith("<?xml")) {
        const qsizetype end = head.indexOf("?>");
        const QByteArray declaration = head.left(end < 0 ? head.size() : end).toLower();
        const qsizetype at = declaration.indexOf("encoding");
        if (at >= 0 && !declaration.mid(at).contains("utf-8") && !declaration.mid(at).contains("utf8"))
            return 0;
    } else if (head.startsWith("\xFE\xFF") || head.startsWith("\xFF\xFE")) {
        return 0; // UTF-16
    }
    qint64 line = 1;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            line += c == '\n' ? 1 : 0;
            ++i;
            continue;
        }
        int more = 0;
        unsigned int least = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            least = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            least = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            least = 0x10000;
        } else {
            return line;
        }
        unsigned int code = c & (0x3F >> more);
        for (int k = 1; k <= more; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                return line;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return line;
        i += more + 1;
    }
    return 0;
}

QString normalName(const QString& name) {
    return name.simplified().toCaseFolded();
}

// Everyone the file names, once each, as the preview lists them and the import makes them: the
// owner, the resources, and any assignee the resources leave out.
QStringList peopleOf(const PlanFile& plan) {
    QStringList people;
    QSet<QString> seen;
    auto add = [&](const QString& person) {
        const QString key = normalName(person);
        if (!key.isEmpty() && !seen.contains(key)) {
            seen.insert(key);
            people << person.simplified();
        }
    };
    add(plan.owner);
    for (const QString& resource : plan.resources)
        add(resource);
    for (const FileTask& task : plan.tasks)
        add(task.assignee);
    return people;
}

QHash<QString, qint64> contactIds() {
    QHash<QString, qint64> ids;
    for (ResultSet rs = Database::shared().query(QStringLiteral("select ID, FirstName, LastName from Employees"));
         !rs.eof(); rs.moveNext())
        ids.insert(normalName(rs.rawText(1) + QLatin1Char(' ') + rs.rawText(2)), rs.value(0).toLongLong());
    return ids;
}

} // namespace

QStringList listEntries(const QString& table, const QString& column) {
    QStringList entries;
    for (ResultSet rs = Database::shared().query(QStringLiteral("select %1 from %2").arg(column, table)); !rs.eof();
         rs.moveNext())
        entries << rs.rawText(0);
    return entries;
}

// The entry of a value list that names the priority, else the first.
QString priorityText(const QStringList& entries, PlanFiles::Priority priority) {
    QStringList wanted;
    switch (priority) {
    case PlanFiles::Priority::Highest:
        wanted = {QStringLiteral("highest"), QStringLiteral("high")};
        break;
    case PlanFiles::Priority::High:
        wanted = {QStringLiteral("high")};
        break;
    case PlanFiles::Priority::Low:
        wanted = {QStringLiteral("low")};
        break;
    case PlanFiles::Priority::Lowest:
        wanted = {QStringLiteral("lowest"), QStringLiteral("low")};
        break;
    case PlanFiles::Priority::Normal:
    case PlanFiles::Priority::Unknown:
        wanted = {QStringLiteral("normal"), QStringLiteral("medium")};
        break;
    }
    for (const QString& w : wanted)
        for (const QString& entry : entries)
            if (entry.trimmed().compare(w, Qt::CaseInsensitive) == 0)
                return entry;
    // A database whose list is still empty keeps the file's priority in plain words.
    if (entries.isEmpty() && priority != PlanFiles::Priority::Unknown) {
        QString word = wanted.constFirst();
        word[0] = word[0].toUpper();
        return word;
    }
    return entries.value(0);
}

// The entry of the status list that the file's status names (iCalendar's "Completed", "In
// Progress", "Cancelled"), else the one given.
QString statusText(const QStringList& entries, const QString& wanted, const QString& otherwise) {
    if (wanted.isEmpty())
        return otherwise;
    QStringList words{wanted};
    if (wanted == QLatin1String("Completed"))
        words << QStringLiteral("Complete") << QStringLiteral("Done") << QStringLiteral("Closed");
    else if (wanted == QLatin1String("In Progress"))
        words << QStringLiteral("Started") << QStringLiteral("Active");
    else if (wanted == QLatin1String("Cancelled"))
        words << QStringLiteral("Canceled");
    for (const QString& w : words)
        for (const QString& entry : entries)
            if (entry.trimmed().compare(w, Qt::CaseInsensitive) == 0)
                return entry;
    // A database whose list is still empty keeps the state in plain words, so that it is not
    // lost (and written back as a to-do still to do).
    return entries.isEmpty() ? wanted : otherwise;
}

namespace {

QString dateSql(QDate date) {
    return date.isValid() ? SqlText::quoted(SqlText::dateText(date)) : QStringLiteral("null");
}

// Inserts a row and returns its new ID.
qint64 insertReturningId(const QString& statement) {
    ResultSet rs = Database::shared().query(statement + QStringLiteral(" returning ID"));
    if (rs.eof())
        throw DbError(QStringLiteral("The new record's number could not be read."));
    return rs.value(0).toLongLong();
}

} // namespace

bool readFile(const QString& path, PlanFiles::PlanFile& plan, QString* error, bool eventsAsTasks) {
    const QString name = QFileInfo(path).fileName();
    auto fail = [&](const QString& message) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(name, message);
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > maxFileBytes)
        return fail(QStringLiteral("the file is larger than %1, the most a plan may be.")
                        .arg(QLocale().formattedDataSize(maxFileBytes)));
    const Kind kind = kindOf(path, file);
    if (kind == Kind::MsProject || kind == Kind::GanttProject || kind == Kind::Planner) {
        if (const qint64 line = badUtf8Line(file.peek(maxFileBytes)))
            return fail(
                QStringLiteral("Line %1: a byte that is not UTF-8, the file's encoding; nothing was read.").arg(line));
    }
    QString message;
    bool ok = false;
    switch (kind) {
    case Kind::MsProject:
        ok = PlanFiles::readMsProject(file, plan, &message);
        break;
    case Kind::GanttProject:
        ok = PlanFiles::readGanttProject(file, plan, &message);
        break;
    case Kind::Planner:
        ok = PlanFiles::readPlanner(file, plan, &message);
        break;
    case Kind::ICalendar:
        ok = PlanFiles::readICalendar(file, plan, &message, eventsAsTasks);
        break;
    case Kind::Unknown:
        message = QStringLiteral("not a plan file this program reads (MS Project XML, GanttProject, GNOME "
                                 "Planner or iCalendar).");
        break;
    }
    if (!ok)
        return fail(message);
    if (plan.tasks.isEmpty())
        return fail(QStringLiteral("the file holds no tasks."));
    // Texts the database would refuse, refused here, before anything is written or copied.
    for (const FileTask& task : std::as_const(plan.tasks)) {
        if (task.name.size() > FieldBounds::maxShortText)
            return fail(QStringLiteral("task %1 has a name of %2 characters; a name may have at most %3.")
                            .arg(task.key)
                            .arg(task.name.size())
                            .arg(FieldBounds::maxShortText));
        if (task.notes.size() > FieldBounds::maxLongText)
            return fail(QStringLiteral("task %1 has notes of %2 characters; notes may have at most %3.")
                            .arg(task.key)
                            .arg(task.notes.size())
                            .arg(FieldBounds::maxLongText));
    }
    for (const QString& person : peopleOf(plan))
        if (person.size() > FieldBounds::maxShortText)
            return fail(QStringLiteral("a person's name has %1 characters; a name may have at most %2.")
                            .arg(person.size())
                            .arg(FieldBounds::maxShortText));
    if (plan.projectName.size() > FieldBounds::maxShortText)
        return fail(QStringLiteral("the project's name has %1 characters; a name may have at most %2.")
                        .arg(plan.projectName.size())
                        .arg(FieldBounds::maxShortText));
    if (plan.projectName.trimmed().isEmpty())
        plan.projectName = QFileInfo(path).completeBaseName();
    return true;
}

Preview preview(const PlanFiles::PlanFile& plan) {
    Preview p;
    const WorkCalendar calendar = calendarFor(plan);
    const Scheduled s = schedulePlan(plan, calendar);
    p.tasks = static_cast<int>(plan.tasks.size());
    p.links = static_cast<int>(plan.links.size());
    for (const FileTask& task : plan.tasks) {
        p.milestones += task.milestone ? 1 : 0;
        p.summaries += task.summary ? 1 : 0;
    }
    p.notKept = plan.notKept;
    if (weekText(calendar) != weekText(plan.calendar))
        p.notKept << QStringLiteral("The file's working week (%1) differs from this database's (%2): the "
                                    "database's is used.")
                         .arg(weekText(plan.calendar), weekText(calendar));
    const QHash<QString, qint64> known = Database::shared().isOpen() ? contactIds() : QHash<QString, qint64>();
    for (const QString& person : peopleOf(plan))
        if (!known.contains(normalName(person)))
            p.newContacts << person;
    p.loop = s.loop;
    if (!s.schedule.ok())
        return p;
    for (size_t i = 0; i < s.plan.tasks().size(); ++i) {
        const ScheduledTask& result = s.schedule.tasks[i];
        const FileTask& task = plan.tasks[static_cast<qsizetype>(i)];
        if (!p.start.isValid() || result.start < p.start)
            p.start = result.start;
        if (!p.finish.isValid() || result.finish > p.finish)
            p.finish = result.finish;
        if (result.start != task.start || result.finish != task.finish)
            p.differences.append({task.name, task.start, task.finish, result.start, result.finish});
    }
    return p;
}

qint64 write(const PlanFiles::PlanFile& plan, const QString& name, const QString& owner) {
    if (!PlanStore::available())
        throw DbError(QStringLiteral("This database cannot hold a plan: it is a file of an earlier version that may "
                                     "not be changed."));
    const WorkCalendar calendar = calendarFor(plan);
    const Scheduled s = schedulePlan(plan, calendar);
    if (!s.loop.isEmpty())
        throw DbError(QStringLiteral("The links of this plan form a loop, so nothing was imported: %1.").arg(s.loop));
    Database& db = Database::shared();
    if (db.keepsOwnBackups())
        Backup::makeBackup(db);
    qint64 projectId = 0;
    db.transaction([&] {
        QHash<QString, qint64> contacts = contactIds();
        auto contactId = [&](const QString& person) -> qint64 {
            const QString key = normalName(person);
            if (key.isEmpty())
                return 0;
            if (!contacts.contains(key)) {
                const QString full = person.simplified();
                const qsizetype blank = full.indexOf(QLatin1Char(' '));
                const QString first = blank < 0 ? full : full.left(blank);
                const QString last = blank < 0 ? QString() : full.mid(blank + 1);
                contacts.insert(key, insertReturningId(QStringLiteral("insert into Employees (FirstName, LastName) "
                                                                      "values (%1, %2)")
                                                           .arg(SqlText::quoted(first), SqlText::quoted(last))));
            }
            return contacts.value(key);
        };
        const QStringList statuses = listEntries(QStringLiteral("Status"), QStringLiteral("Status"));
        QString status = statuses.value(0);
        for (const QString& entry : statuses)
            if (entry.trimmed().compare(QLatin1String("Open"), Qt::CaseInsensitive) == 0)
                status = entry;
        const QStringList priorities = listEntries(QStringLiteral("Priorities"), QStringLiteral("Priority"));
        const QString category = listEntries(QStringLiteral("Categories"), QStringLiteral("Category")).value(0);
        QDate first, last;
        for (const ScheduledTask& t : s.schedule.tasks) {
            if (!first.isValid() || t.start < first)
                first = t.start;
            if (!last.isValid() || t.finish > last)
                last = t.finish;
        }
        const qint64 ownerId = contactId(owner);
        for (const QString& person : peopleOf(plan))
            contactId(person);
        projectId = insertReturningId(
            QStringLiteral("insert into Projects (ProjectName,Owner,StartDate,Status,Category,Priority,Notes,EndDate,"
                           "BudgetInDays,Budget) values (%1,%2,%3,%4,%5,%6,%7,%8,0,0)")
                .arg(SqlText::quoted(name), ownerId ? QString::number(ownerId) : QStringLiteral("null"), dateSql(first),
                     SqlText::quoted(status), SqlText::quoted(category),
                     SqlText::quoted(priorityText(priorities, PlanFiles::Priority::Normal)),
                     SqlText::quoted(QStringLiteral("Imported from %1").arg(plan.format)), dateSql(last)));
        // Parents before the tasks under them: level by level, many rows to a statement; the new
        // IDs are read back in the order the rows went in (the project is new, so its tasks are
        // these alone, numbered as they were inserted).
        // Depths found walking up each chain of parents (no recursion: an outline may be
        // thousands of levels deep); a chain that comes back on itself puts its task at the top.
        QHash<QString, int> depth;
        auto depthOf = [&](const QString& start) {
            QList<QString> chain;
            QSet<QString> onChain;
            QString key = start;
            int below = 0;
            while (!key.isEmpty() && !depth.contains(key) && !onChain.contains(key)) {
                chain << key;
                onChain.insert(key);
                const qsizetype at = s.idOf.value(key, 0) - 1;
                key = at >= 0 ? plan.tasks[at].parentKey : QString();
            }
            if (!key.isEmpty() && depth.contains(key))
                below = depth.value(key) + 1;
            for (qsizetype n = chain.size() - 1; n >= 0; --n)
                depth.insert(chain[n], below++);
            return depth.value(start);
        };
        QMap<int, QList<qsizetype>> levels;
        for (qsizetype i = 0; i < plan.tasks.size(); ++i)
            levels[depthOf(plan.tasks[i].key)] << i;
        const QString project = QString::number(projectId);
        QHash<qint64, qint64> stored; // plan ID -> new task ID
        const bool withOrder = PlanStore::keepsOrder();
        qsizetype storedCount = 0;
        constexpr qsizetype rowsPerStatement = 200;
        for (const QList<qsizetype>& level : std::as_const(levels)) {
            for (qsizetype from = 0; from < level.size(); from += rowsPerStatement) {
                QStringList rows;
                for (qsizetype n = from; n < std::min(level.size(), from + rowsPerStatement); ++n) {
                    const qsizetype i = level[n];
                    const FileTask& task = plan.tasks[i];
                    const PlanTask& planned = s.plan.tasks()[static_cast<size_t>(i)];
                    const ScheduledTask& result = s.schedule.tasks[static_cast<size_t>(i)];
                    const qint64 assignee = contactId(task.assignee);
                    const qint64 parent = stored.value(planned.parentId, 0);
                    const QString taskStatus = statusText(statuses, task.status, status);
                    // The file's order is the plan's: a task's place among its siblings follows it.
                    const QString place =
                        withOrder ? QStringLiteral(",%1,%2").arg(QString::number(i + 1), planned.atDayStart
                                                                                             ? QStringLiteral("(1=1)")
                                                                                             : QStringLiteral("(1=0)"))
                                  : QString();
                    rows << QStringLiteral("(%1,%2,%3,%4,0,0,%5,%6,%7,%8,%9,%10,%11,%12%13)")
                                .arg(project, SqlText::quoted(task.name),
                                     SqlText::quoted(priorityText(priorities, task.priority)),
                                     SqlText::quoted(taskStatus), QString::number(task.percentComplete),
                                     assignee ? QString::number(assignee) : QStringLiteral("null"),
                                     SqlText::quoted(task.notes), dateSql(result.start))
                                .arg(dateSql(result.finish), parent ? QString::number(parent) : QStringLiteral("null"),
                                     task.milestone ? QStringLiteral("(1=1)") : QStringLiteral("(1=0)"),
                                     dateSql(planned.startNoEarlierThan), place);
                }
                db.execute(QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,Cost,CostInDays,"
                                          "PercentComplete,AssignedTo,Description,StartDate,DueDate,ParentID,"
                                          "Milestone,StartNoEarlierThan") +
                           (withOrder ? QStringLiteral(",PlanOrder,MilestoneAtStart") : QString()) +
                           QStringLiteral(") values ") + rows.join(QLatin1Char(',')));
            }
            QList<qint64> ids;
            for (ResultSet rs =
                     db.query(QStringLiteral("select ID from Tasks where ProjectID=%1 order by ID").arg(project));
                 !rs.eof(); rs.moveNext())
                ids << rs.value(0).toLongLong();
            if (ids.size() != storedCount + level.size())
                throw DbError(QStringLiteral("The new tasks could not be read back."));
            for (qsizetype n = 0; n < level.size(); ++n)
                stored.insert(s.plan.tasks()[static_cast<size_t>(level[n])].id, ids[storedCount + n]);
            storedCount += level.size();
        }
        const auto& links = s.plan.links();
        for (size_t from = 0; from < links.size(); from += size_t(rowsPerStatement)) {
            QStringList rows;
            for (size_t n = from; n < std::min(links.size(), from + size_t(rowsPerStatement)); ++n)
                rows << QStringLiteral("(%1,%2,%3,%4)")
                            .arg(QString::number(stored.value(links[n].predecessor)),
                                 QString::number(stored.value(links[n].successor)),
                                 SqlText::quoted(PlanStore::kindCode(links[n].kind)), QString::number(links[n].lag));
            db.execute(QStringLiteral("insert into TaskLinks (PredecessorID, SuccessorID, Kind, Lag) values ") +
                       rows.join(QLatin1Char(',')));
        }
        QSet<QDate> holidays;
        for (ResultSet rs = db.query(QStringLiteral("select Day from Holidays")); !rs.eof(); rs.moveNext())
            holidays.insert(QDate::fromString(rs.rawText(0).left(10), Qt::ISODate));
        for (QDate day : plan.calendar.holidays())
            if (!holidays.contains(day))
                db.execute(QStringLiteral("insert into Holidays (Day, Name) values (%1, %2)")
                               .arg(dateSql(day), SqlText::quoted(QStringLiteral("From %1").arg(name))));
    });
    return projectId;
}

} // namespace PlanImport
