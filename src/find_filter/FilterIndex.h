// The searchable form of the projects and their tasks, made once per fill of the lists: each
// record's texts folded into one buffer, its numbers and its dates as plain values, and the tasks
// grouped under their projects. Applying a query then reads nothing but these arrays.
//
// How a query decides: a project matches when the query holds for the project alone, or for the
// project together with one of its tasks (a term holds when the project or that task has it, as
// the term's scope allows; an excluded term must hold for neither). A task is shown under its
// project when the query holds for the two together.
#pragma once

#include "FilterQuery.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace FindFilter {

// One task's fields as read from the task query (dates as ISO text; NaN: no number).
struct TaskFields {
    qint64 id = -1;
    qint64 projectId = -1;
    QString title, assignedTo, description, status, priority, startDate, dueDate;
    double percentComplete = std::numeric_limits<double>::quiet_NaN();
    double cost = std::numeric_limits<double>::quiet_NaN();
    double costInDays = std::numeric_limits<double>::quiet_NaN();
};

class FilterIndex {
public:
    void clear();
    bool isEmpty() const { return projectCount() == 0; }
    void reserve(int projects, int tasks);

    // The ten cells of a project list row, in column order (dates as ISO text). Returns its record.
    int addProject(const QString* cells);
    // A task of the project whose ID text is given; tasks of projects not added are dropped.
    void addTask(const TaskFields& task);
    // Groups the tasks under their projects; call once after the last addTask.
    void finish();
    // Replaces the tasks of one project by those of project 0 of another index, read afresh after
    // the tasks changed.
    void replaceTasks(int project, const FilterIndex& fresh);

    int projectCount() const { return static_cast<int>(m_projects.count()); }
    // The record of a project by its ID, or -1.
    int recordOf(qint64 projectId) const;
    int taskCount(int project) const;
    // The ID of a task of a project (task 0 .. taskCount-1).
    qint64 taskId(int project, int task) const;

    // Whether each project record matches (one entry per record, 0 or 1).
    std::vector<char> matchProjects(const Query& query) const;
    // Whether each task of one project is shown under it.
    std::vector<char> matchTasks(const Query& query, int project) const;

private:
    // Records of one kind: folded texts (joined by a separator that nobody types), numbers, dates.
    struct Records {
        int textSlots = 0;
        int numberSlots = 0;
        int dateSlots = 0;
        std::string text;
        std::vector<std::uint32_t> textStart; // per record: textSlots + 1 offsets into text
        std::vector<double> numbers;          // per record: numberSlots values (NaN: none)
        std::vector<std::int32_t> dates;      // per record: dateSlots yyyymmdd (0: none)

        int count() const { return textSlots ? static_cast<int>(textStart.size()) / (textSlots + 1) : 0; }
        std::string_view slot(int record, int slot) const;
        std::string_view all(int record) const;
        double number(int record, int slot) const { return numbers[static_cast<size_t>(record * numberSlots + slot)]; }
        int date(int record, int slot) const { return dates[static_cast<size_t>(record * dateSlots + slot)]; }
        void clear();
    };

    // Whether a term holds for one record; free words search all of its texts.
    static bool holds(const Term& term, const Records& records, int record, int slot);
    // The term's slot in project or task records (-1: the term cannot look there).
    static int projectSlot(const Term& term);
    static int taskSlot(const Term& term);

    Records m_projects{ProjectText::Count, ProjectNumber::Count, ProjectDate::Count, {}, {}, {}, {}};
    Records m_tasks{TaskText::Count, TaskNumber::Count, TaskDate::Count, {}, {}, {}, {}};
    std::vector<qint64> m_projectIds; // per project record
    std::vector<qint64> m_taskIds;    // per task record
    std::vector<int> m_taskProject;   // per task record: its project record (before finish)
    std::vector<int> m_firstTask;     // per project record + 1: its tasks in m_taskOrder
    std::vector<int> m_taskOrder;     // task records grouped by project
    // Project ID -> record: a plain array while the IDs are dense (as numbered IDs are), else a hash.
    void makeLookup() const;
    mutable bool m_lookupMade = false;
    mutable std::vector<int> m_recordById;
    mutable QHash<qint64, int> m_recordByIdHash;
    // The folded text of each date seen (by yyyymmdd): lists repeat a few dates on many rows.
    std::unordered_map<int, std::string> m_dateTexts;
    void appendDate(std::string& out, const QString& iso);
};

} // namespace FindFilter
