#include "PlanExport.h"

#include "ICalendar.h"

#include "app/Connection.h"
#include "app/Database.h"
#include "app/DbError.h"
#include "app/RawValue.h"
#include "app/SqlText.h"
#include "app/ValueText.h"
#include "scheduling/PlanStore.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <thread>

namespace PlanExport {

namespace {

using PlanFiles::FileTask;

QDate dateOf(const QString& stored) {
    return QDate::fromString(stored.left(10), Qt::ISODate);
}

// A stored date read from its bytes when it is a plain yyyy-MM-dd (as the program stores them).
QDate dateOf(const ResultSet& rs, int column) {
    const RawValue v = rs.raw(column);
    if (v.type == RawValue::Type::Null)
        return {};
    if (v.type == RawValue::Type::Text && v.size >= 10 && v.text[4] == '-' && v.text[7] == '-') {
        int parts[3] = {0, 0, 0};
        const int from[3] = {0, 5, 8}, length[3] = {4, 2, 2};
        bool digits = true;
        for (int p = 0; p < 3 && digits; ++p)
            for (int i = from[p]; i < from[p] + length[p] && digits; ++i) {
                digits = v.text[i] >= '0' && v.text[i] <= '9';
                parts[p] = parts[p] * 10 + (v.text[i] - '0');
            }
        if (digits)
            return QDate(parts[0], parts[1], parts[2]);
    }
    return dateOf(rs.rawText(column));
}

PlanFiles::Priority priorityOf(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t.contains(QLatin1String("highest")))
        return PlanFiles::Priority::Highest;
    if (t.contains(QLatin1String("high")))
        return PlanFiles::Priority::High;
    if (t.contains(QLatin1String("lowest")))
        return PlanFiles::Priority::Lowest;
    if (t.contains(QLatin1String("low")))
        return PlanFiles::Priority::Low;
    return PlanFiles::Priority::Normal;
}

// The project (0: every project) without its links.
PlanFiles::PlanFile readAllButLinks(qint64 projectId) {
    Database& db = Database::shared();
    PlanFiles::PlanFile plan;
    plan.format = QStringLiteral("Fennick Planner");
    const bool withPlan = PlanStore::available();
    if (withPlan)
        plan.calendar = PlanStore::readCalendar();
    QHash<qint64, QString> people;
    for (ResultSet rs = db.query(QStringLiteral("select ID, FirstName, LastName from Employees")); !rs.eof();
         rs.moveNext())
        people.insert(rs.value(0).toLongLong(), (rs.rawText(1) + QLatin1Char(' ') + rs.rawText(2)).simplified());
    const QString where = projectId ? QStringLiteral(" where ID=%1").arg(projectId) : QString();
    struct Project {
        qint64 id;
        FileTask summary;
        QString category;
    };
    std::vector<Project> projects;
    for (ResultSet rs = db.query(QStringLiteral("select ID, ProjectName, Owner, StartDate, EndDate, Category from "
                                                "Projects") +
                                 where + QStringLiteral(" order by ID"));
         !rs.eof(); rs.moveNext()) {
        Project p;
        p.id = rs.value(0).toLongLong();
        p.summary.key = QStringLiteral("P%1").arg(p.id);
        p.summary.name = rs.rawText(1);
        p.summary.summary = true;
        p.summary.start = dateOf(rs.rawText(3));
        p.summary.finish = dateOf(rs.rawText(4));
        p.category = rs.rawText(5).trimmed();
        if (!p.category.isEmpty())
            p.summary.categories << p.category;
        if (projectId) {
            plan.projectName = p.summary.name;
            plan.owner = rs.isNull(2) ? QString() : people.value(rs.value(2).toLongLong());
            plan.start = p.summary.start;
            plan.finish = p.summary.finish;
            plan.projectKey = p.summary.key;
            plan.categories = p.summary.categories;
        }
        projects.push_back(p);
    }
    if (projectId && projects.empty())
        throw DbError(QStringLiteral("There is no project %1.").arg(projectId));
    if (!projectId)
        plan.projectName = QStringLiteral("All projects");
    plan.database = db.path().isEmpty() ? db.titleName() : QFileInfo(db.path()).fileName();
    QHash<qint64, QStringList> categoriesOf;
    for (const Project& p : projects)
        categoriesOf.insert(p.id, p.summary.categories);

    const QString taskWhere = projectId ? QStringLiteral(" where ProjectID=%1").arg(projectId) : QString();
    std::vector<FileTask> tasks;
    QHash<QString, std::vector<int>> children; // by the parent's key; "" for the top
    QSet<QString> assignees;
    QHash<QByteArray, PlanFiles::Priority> priorities; // a priority's text, read once
    struct Place {
        qint64 order = 0, id = 0;
    };
    std::vector<Place> places; // each task's place in the plan's own order, as `tasks`
    const bool withOrder = withPlan && PlanStore::keepsOrder();
    for (ResultSet rs = db.query(QStringLiteral("select ID, ProjectID, Title, Priority, PercentComplete, AssignedTo, "
                                                "Description, StartDate, DueDate, Status") +
                                 (withPlan ? QStringLiteral(", ParentID, Milestone, StartNoEarlierThan") : QString()) +
                                 (withOrder ? QStringLiteral(", PlanOrder, MilestoneAtStart") : QString()) +
                                 QStringLiteral(" from Tasks") + taskWhere);
         !rs.eof(); rs.moveNext()) {
        FileTask t;
        t.key = rs.rawText(0);
        t.name = rs.rawText(2);
        const RawValue priority = rs.raw(3);
        const QByteArray priorityBytes = priority.type == RawValue::Type::Text
                                             ? QByteArray::fromRawData(priority.text, priority.size)
                                             : rs.rawText(3).toUtf8();
        auto known = priorities.constFind(priorityBytes);
        if (known == priorities.constEnd())
            known = priorities.insert(QByteArray(priorityBytes.constData(), priorityBytes.size()),
                                      priorityOf(QString::fromUtf8(priorityBytes)));
        t.priority = *known;
        const RawValue percent = rs.raw(4);
        t.percentComplete =
            std::clamp(percent.type == RawValue::Type::Integer ? static_cast<int>(percent.integer)
                       : percent.type == RawValue::Type::Real  ? static_cast<int>(percent.real)
                                                               : static_cast<int>(rs.value(4).toDouble()),
                       0, 100);
        const RawValue assignee = rs.raw(5);
        if (assignee.type == RawValue::Type::Integer)
            t.assignee = people.value(assignee.integer);
        else if (assignee.type != RawValue::Type::Null)
            t.assignee = people.value(rs.value(5).toLongLong());
        t.notes = rs.rawText(6);
        t.start = dateOf(rs, 7);
        t.finish = dateOf(rs, 8);
        const RawValue projectValue = rs.raw(1);
        const qint64 project =
            projectValue.type == RawValue::Type::Integer ? projectValue.integer : rs.value(1).toLongLong();
        t.status = rs.rawText(9).trimmed();
        t.categories = categoriesOf.value(project);
        if (withPlan) {
            if (!rs.isNull(10))
                t.parentKey = rs.rawText(10);
            const RawValue milestone = rs.raw(11);
            t.milestone =
                milestone.type == RawValue::Type::Integer ? milestone.integer != 0 : isStoredTruth(rs.rawText(11));
            t.startNoEarlierThan = dateOf(rs, 12);
        }
        if (t.parentKey.isEmpty() && !projectId)
            t.parentKey = QStringLiteral("P%1").arg(project);
        // A task without dates is put at its project's start (or today) for one day.
        if (!t.start.isValid())
            t.start = t.finish.isValid() ? t.finish : QDate::currentDate();
        if (!t.finish.isValid() || t.finish < t.start || t.milestone)
            t.finish = t.start;
        t.lengthDays = t.milestone ? 0 : std::max(1, plan.calendar.workingDaysBetween(t.start, t.finish));
        if (!t.assignee.isEmpty())
            assignees.insert(t.assignee);
        const int at = static_cast<int>(tasks.size());
        children[t.parentKey].push_back(at);
        places.push_back({withOrder && !rs.isNull(13) ? rs.value(13).toLongLong() : 0, rs.value(0).toLongLong()});
        if (withOrder && t.milestone) {
            const RawValue atStart = rs.raw(14);
            t.atDayStart =
                atStart.type == RawValue::Type::Integer ? atStart.integer != 0 : isStoredTruth(rs.rawText(14));
        }
        tasks.push_back(std::move(t));
    }
    // The outline, each level in the plan's own order: parents before the tasks under them (depth
    // first, without recursion).
    plan.tasks.reserve(static_cast<qsizetype>(tasks.size() + projects.size()));
    std::vector<char> placed(tasks.size(), 0);
    auto place = [&](const QString& top) {
        std::vector<std::pair<const std::vector<int>*, size_t>> stack;
        auto push = [&](const QString& parent) {
            auto under = children.find(parent);
            if (under == children.end())
                return;
            std::stable_sort(under->begin(), under->end(), [&](int a, int b) {
                const Place &x = places[size_t(a)], &y = places[size_t(b)];
                return placedBefore(x.order, tasks[size_t(a)].start, x.id, y.order, tasks[size_t(b)].start, y.id);
            });
            stack.emplace_back(&*under, 0);
        };
        push(top);
        while (!stack.empty()) {
            auto& [list, next] = stack.back();
            if (next >= list->size()) {
                stack.pop_back();
                continue;
            }
            const int at = (*list)[next++];
            if (placed[size_t(at)])
                continue;
            placed[size_t(at)] = 1;
            FileTask& t = tasks[size_t(at)];
            t.summary = children.contains(t.key);
            const QString key = t.key;
            plan.tasks.append(std::move(t));
            push(key);
        }
    };
    if (projectId) {
        place(QString());
    } else {
        for (Project& p : projects) {
            if (!p.summary.start.isValid() || !p.summary.finish.isValid()) {
                QDate first, last;
                for (int at : children.value(p.summary.key)) {
                    const FileTask& t = tasks[size_t(at)];
                    first = !first.isValid() || t.start < first ? t.start : first;
                    last = !last.isValid() || t.finish > last ? t.finish : last;
                }
                p.summary.start = first.isValid() ? first : QDate::currentDate();
                p.summary.finish = last.isValid() ? last : p.summary.start;
            }
            p.summary.lengthDays = std::max(1, plan.calendar.workingDaysBetween(p.summary.start, p.summary.finish));
            plan.tasks.append(p.summary);
            place(p.summary.key);
        }
    }
    // A task whose parent is not among the tasks read (which the database refuses) goes to the top.
    for (size_t at = 0; at < tasks.size(); ++at)
        if (!placed[at]) {
            tasks[at].parentKey.clear();
            plan.tasks.append(tasks[at]);
        }
    for (const FileTask& t : std::as_const(plan.tasks))
        if (!plan.start.isValid() || t.start < plan.start)
            plan.start = t.start;
    plan.resources = QStringList(assignees.begin(), assignees.end());
    if (!plan.owner.isEmpty() && !assignees.contains(plan.owner))
        plan.resources.prepend(plan.owner);
    plan.resources.sort(Qt::CaseInsensitive);
    return plan;
}

// The statement that reads the links between the tasks of the project (0: every project).
QString linksStatement(qint64 projectId) {
    return QStringLiteral("select l.PredecessorID, l.SuccessorID, l.Kind, l.Lag from TaskLinks l join Tasks t on "
                          "t.ID = l.SuccessorID") +
           (projectId ? QStringLiteral(" where t.ProjectID=%1").arg(projectId) : QString());
}

QList<PlanFiles::FileLink> linksOf(ResultSet rs) {
    QList<PlanFiles::FileLink> links;
    // A task's key is made once and shared by its links; a kind's code is looked up once.
    QHash<qint64, QString> keys;
    auto keyOf = [&](int column) {
        const RawValue id = rs.raw(column);
        if (id.type != RawValue::Type::Integer)
            return rs.rawText(column);
        auto key = keys.constFind(id.integer);
        if (key == keys.constEnd())
            key = keys.insert(id.integer, QString::number(id.integer));
        return *key;
    };
    QHash<QByteArray, LinkKind> kinds;
    for (; !rs.eof(); rs.moveNext()) {
        const RawValue code = rs.raw(2);
        const QByteArray codeBytes =
            code.type == RawValue::Type::Text ? QByteArray::fromRawData(code.text, code.size) : rs.rawText(2).toUtf8();
        auto kind = kinds.constFind(codeBytes);
        if (kind == kinds.constEnd())
            kind = kinds.insert(QByteArray(codeBytes.constData(), codeBytes.size()),
                                PlanStore::kindOf(QString::fromUtf8(codeBytes)));
        const RawValue lag = rs.raw(3);
        links.append({keyOf(0), keyOf(1), *kind,
                      static_cast<int>(lag.type == RawValue::Type::Integer ? lag.integer : rs.value(3).toLongLong())});
    }
    return links;
}

// The links between the tasks of the project (0: every project).
QList<PlanFiles::FileLink> readLinks(qint64 projectId) {
    if (!PlanStore::available())
        return {};
    return linksOf(Database::shared().query(linksStatement(projectId)));
}

// The links read on a reader of their own on another thread (where the connection has one) while
// this thread reads the tasks on the shared connection.
class LinksReading {
public:
    explicit LinksReading(qint64 projectId)
        : m_project(projectId) {
        Connection* connection = Database::shared().connection();
        if (!connection || !PlanStore::available())
            return;
        std::unique_ptr<Connection::ThreadReader> reader = connection->openThreadReader();
        if (!reader)
            return;
        const QString statement = SqlText::adaptDialect(linksStatement(projectId), connection->dialect());
        m_thread = std::jthread([this, reader = std::move(reader), statement] {
            try {
                if (std::unique_ptr<ResultCursor> rows = reader->query(statement)) {
                    m_links = linksOf(ResultSet(std::move(rows)));
                    m_read = true;
                }
            } catch (...) {
                m_failed = std::current_exception();
            }
        });
    }
    LinksReading(const LinksReading&) = delete;
    LinksReading& operator=(const LinksReading&) = delete;

    // The links, once read; the reader's error is thrown here. Without a reader they are read now.
    QList<PlanFiles::FileLink> take() {
        if (m_thread.joinable())
            m_thread.join();
        if (m_failed)
            std::rethrow_exception(m_failed);
        return m_read ? std::move(m_links) : readLinks(m_project);
    }

private:
    qint64 m_project;
    QList<PlanFiles::FileLink> m_links;
    bool m_read = false;
    std::exception_ptr m_failed;
    std::jthread m_thread; // last: joined before the rest goes
};

// A file whose bytes go to the disk while the rest is still being made: each megabyte written is
// sent off at once, and a thread of its own syncs what has been written so far, again and again
// (where the system has the calls). A large export's sync on commit then waits for its last part
// only, as the disk's own cache is emptied along the way too.
class WrittenBackFile final : public QIODevice {
public:
    explicit WrittenBackFile(QSaveFile& file)
        : m_file(file) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    ~WrittenBackFile() override { finish(); }
    WrittenBackFile(const WrittenBackFile&) = delete;
    WrittenBackFile& operator=(const WrittenBackFile&) = delete;

    // Waits for the sync under way and stops: the file is closed on commit.
    void finish() {
        m_done = true;
        m_news.fetch_add(1);
        m_news.notify_one();
        if (m_sync.joinable())
            m_sync.join();
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        const qint64 written = m_file.write(data, size);
        m_written += std::max<qint64>(written, 0);
#ifdef Q_OS_LINUX
        if (m_written - m_sent >= sendBytes && m_file.flush()) {
            // Starts the writing of those pages and returns.
            ::sync_file_range(m_file.handle(), m_sent, m_written - m_sent, SYNC_FILE_RANGE_WRITE);
            m_sent = m_written;
            m_news.fetch_add(1);
            m_news.notify_one();
            if (!m_sync.joinable())
                m_sync = std::jthread([this, handle = m_file.handle()] {
                    for (int seen = 0;;) {
                        m_news.wait(seen); // until more was sent (at once the first time)
                        seen = m_news.load();
                        if (m_done)
                            return;
                        ::fdatasync(handle);
                    }
                });
        }
#endif
        return written;
    }

private:
    static constexpr qint64 sendBytes = 1 << 20;
    QSaveFile& m_file;
    qint64 m_written = 0;
    qint64 m_sent = 0;
    std::atomic<int> m_news = 0; // counts what the syncing thread is told: more sent, or done
    std::atomic<bool> m_done = false;
    std::jthread m_sync; // last: joined before the rest goes
};

} // namespace

PlanFiles::PlanFile read(qint64 projectId) {
    PlanFiles::PlanFile plan = readAllButLinks(projectId);
    plan.links = readLinks(projectId);
    return plan;
}

bool writeFile(const QString& path, qint64 projectId, QString* error) {
    const QString name = QFileInfo(path).fileName();
    auto fail = [&](const QString& message) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(name, message);
        return false;
    };
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("xml") && suffix != QLatin1String("gan") && suffix != QLatin1String("ics"))
        return fail(QStringLiteral("plans are written as .xml (MS Project XML), .gan (GanttProject) or .ics "
                                   "(iCalendar) files."));
    LinksReading linksReading(projectId);
    PlanFiles::PlanFile plan = readAllButLinks(projectId);
    // MS Project XML: the file's outline, head and tail are worked out while the links are read.
    std::optional<PlanFiles::MsProjectWriting> writing;
    if (suffix == QLatin1String("xml"))
        writing.emplace(plan);
    plan.links = linksReading.take();
    // RFC 5545 wants at least one component in a calendar.
    if (suffix == QLatin1String("ics") && plan.projectKey.isEmpty() && plan.tasks.isEmpty())
        return fail(QStringLiteral("there is nothing to export: the database has no projects."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    WrittenBackFile out(file);
    const bool written = writing                          ? writing->write(out, plan.links)
                         : suffix == QLatin1String("ics") ? PlanFiles::writeICalendar(out, plan)
                                                          : PlanFiles::writeGanttProject(out, plan);
    out.finish();
    if (!written) {
        file.cancelWriting();
        return fail(QStringLiteral("the plan could not be written."));
    }
    // A large plan's many small strings are freed while the commit waits for the disk.
    std::jthread freeing([doomed = std::move(plan), made = std::move(writing)]() mutable {
        doomed = {};
        made.reset();
    });
#ifdef Q_OS_LINUX
    // A file written over is held open while the new one takes its place, and let go on a
    // thread of its own: giving back a large file's space takes the disk several milliseconds,
    // which nobody needs to wait for.
    const int replaced = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
#endif
    const bool committed = file.commit();
#ifdef Q_OS_LINUX
    if (replaced >= 0)
        std::thread([replaced] { ::close(replaced); }).detach();
#endif
    if (!committed)
        return fail(file.errorString());
    return true;
}

} // namespace PlanExport
