#include "PlanExport.h"

#include "ICalendar.h"

#include "app/Database.h"
#include "app/DbError.h"
#include "app/ValueText.h"
#include "scheduling/PlanStore.h"

#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>

#include <algorithm>

namespace PlanExport {

namespace {

using PlanFiles::FileTask;

QDate dateOf(const QString& stored) {
    return QDate::fromString(stored.left(10), Qt::ISODate);
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

} // namespace

PlanFiles::PlanFile read(qint64 projectId) {
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
    QHash<qint64, QList<FileTask>> byProject;
    QHash<QString, QList<QString>> children;
    QHash<QString, FileTask> tasks;
    QSet<QString> assignees;
    for (ResultSet rs = db.query(QStringLiteral("select ID, ProjectID, Title, Priority, PercentComplete, AssignedTo, "
                                                "Description, StartDate, DueDate, Status") +
                                 (withPlan ? QStringLiteral(", ParentID, Milestone, StartNoEarlierThan") : QString()) +
                                 QStringLiteral(" from Tasks") + taskWhere);
         !rs.eof(); rs.moveNext()) {
        FileTask t;
        t.key = rs.rawText(0);
        t.name = rs.rawText(2);
        t.priority = priorityOf(rs.rawText(3));
        t.percentComplete = std::clamp(static_cast<int>(rs.value(4).toDouble()), 0, 100);
        if (!rs.isNull(5))
            t.assignee = people.value(rs.value(5).toLongLong());
        t.notes = rs.rawText(6);
        t.start = dateOf(rs.rawText(7));
        t.finish = dateOf(rs.rawText(8));
        const qint64 project = rs.value(1).toLongLong();
        t.status = rs.rawText(9).trimmed();
        t.categories = categoriesOf.value(project);
        if (withPlan) {
            if (!rs.isNull(10))
                t.parentKey = rs.rawText(10);
            t.milestone = isStoredTruth(rs.rawText(11));
            t.startNoEarlierThan = dateOf(rs.rawText(12));
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
        children[t.parentKey] << t.key;
        tasks.insert(t.key, t);
    }
    if (withPlan)
        for (ResultSet rs = db.query(QStringLiteral("select l.PredecessorID, l.SuccessorID, l.Kind, l.Lag from "
                                                    "TaskLinks l join Tasks t on t.ID = l.SuccessorID") +
                                     (projectId ? QStringLiteral(" where t.ProjectID=%1").arg(projectId) : QString()));
             !rs.eof(); rs.moveNext())
            plan.links.append({rs.rawText(0), rs.rawText(1), PlanStore::kindOf(rs.rawText(2)),
                               static_cast<int>(rs.value(3).toLongLong())});
    // The outline, each level in start order: parents before the tasks under them.
    auto byStart = [&](QList<QString>& keys) {
        std::stable_sort(keys.begin(), keys.end(), [&](const QString& a, const QString& b) {
            return tasks.value(a).start < tasks.value(b).start;
        });
    };
    QSet<QString> placed;
    std::function<void(const QString&)> place = [&](const QString& parent) {
        QList<QString> under = children.value(parent);
        byStart(under);
        for (const QString& key : under) {
            if (placed.contains(key))
                continue;
            placed.insert(key);
            FileTask t = tasks.value(key);
            t.summary = children.contains(key);
            plan.tasks.append(t);
            place(key);
        }
    };
    if (projectId) {
        place(QString());
    } else {
        for (Project& p : projects) {
            if (!p.summary.start.isValid() || !p.summary.finish.isValid()) {
                QDate first, last;
                for (const QString& key : children.value(p.summary.key)) {
                    const FileTask& t = tasks[key];
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
    for (auto it = tasks.begin(); it != tasks.end(); ++it)
        if (!placed.contains(it.key())) {
            it->parentKey.clear();
            plan.tasks.append(*it);
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
    const PlanFiles::PlanFile plan = read(projectId);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    const bool written = suffix == QLatin1String("xml")   ? PlanFiles::writeMsProject(file, plan)
                         : suffix == QLatin1String("ics") ? PlanFiles::writeICalendar(file, plan)
                                                          : PlanFiles::writeGanttProject(file, plan);
    if (!written) {
        file.cancelWriting();
        return fail(QStringLiteral("the plan could not be written."));
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace PlanExport
