#include "FilterIndex.h"

#include "TextFold.h"
#include "app/Database.h"

#include <QHash>

#include <charconv>
#include <cmath>
#include <limits>

namespace FindFilter {

namespace {

// Between the texts of one record: no typed word holds it, so no match spans two columns.
constexpr char separator = '\x1f';

// Numbers and IDs as the lists hold them: plain decimal text with "." (QString's own conversion
// would take most of the time of making the index).
template <typename T> bool parsePlain(QStringView text, T& value) {
    char buffer[64];
    const qsizetype n = text.size();
    if (n == 0 || n >= qsizetype(sizeof buffer))
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80)
            return false;
        buffer[i] = static_cast<char>(c);
    }
    const char* start = buffer[0] == '+' ? buffer + 1 : buffer;
    const auto [end, error] = std::from_chars(start, buffer + n, value);
    return error == std::errc() && end == buffer + n;
}

double numberOf(QStringView text) {
    double v = 0;
    return parsePlain(text.trimmed(), v) ? v : std::numeric_limits<double>::quiet_NaN();
}

qint64 idOf(QStringView text) {
    qint64 v = 0;
    return parsePlain(text, v) ? v : -1;
}

} // namespace

// A date is found by its stored ISO text and by the text the list shows.
void FilterIndex::appendDate(std::string& out, const QString& iso) {
    const int day = dayNumber(iso);
    if (day == 0) {
        appendFolded(out, iso);
        return;
    }
    auto it = m_dateTexts.find(day);
    if (it == m_dateTexts.end()) {
        std::string text = folded(iso.left(10));
        text.push_back(' ');
        appendFolded(text, shortDateText(iso.left(10)));
        it = m_dateTexts.emplace(day, std::move(text)).first;
    }
    out.append(it->second);
}

void FilterIndex::Records::clear() {
    text.clear();
    textStart.clear();
    numbers.clear();
    dates.clear();
}

std::string_view FilterIndex::Records::slot(int record, int slot) const {
    const size_t at = static_cast<size_t>(record * (textSlots + 1) + slot);
    return std::string_view(text).substr(textStart[at], textStart[at + 1] - textStart[at] - 1);
}

std::string_view FilterIndex::Records::all(int record) const {
    const size_t at = static_cast<size_t>(record * (textSlots + 1));
    return std::string_view(text).substr(textStart[at],
                                         textStart[at + static_cast<size_t>(textSlots)] - textStart[at] - 1);
}

void FilterIndex::clear() {
    m_projects.clear();
    m_tasks.clear();
    m_projectIds.clear();
    m_taskIds.clear();
    m_taskProject.clear();
    m_firstTask.clear();
    m_taskOrder.clear();
    m_lookupMade = false;
    m_recordById.clear();
    m_recordByIdHash.clear();
    m_dateTexts.clear();
}

void FilterIndex::reserve(int projects, int tasks) {
    const auto p = static_cast<size_t>(projects);
    const auto t = static_cast<size_t>(tasks);
    m_projects.text.reserve(p * 96);
    m_projects.textStart.reserve(p * (ProjectText::Count + 1));
    m_projects.numbers.reserve(p * ProjectNumber::Count);
    m_projects.dates.reserve(p * ProjectDate::Count);
    m_projectIds.reserve(p);
    m_tasks.text.reserve(t * 64);
    m_tasks.textStart.reserve(t * (TaskText::Count + 1));
    m_tasks.numbers.reserve(t * TaskNumber::Count);
    m_tasks.dates.reserve(t * TaskDate::Count);
    m_taskIds.reserve(t);
    m_taskProject.reserve(t);
}

int FilterIndex::addProject(const QString* cells) {
    const int record = projectCount();
    Records& r = m_projects;
    for (int slot = 0; slot < ProjectText::Count; ++slot) {
        r.textStart.push_back(static_cast<std::uint32_t>(r.text.size()));
        const QString& cell = cells[slot];
        if (slot == ProjectText::Start || slot == ProjectText::End)
            appendDate(r.text, cell);
        else
            appendFolded(r.text, cell);
        r.text.push_back(separator);
    }
    r.textStart.push_back(static_cast<std::uint32_t>(r.text.size()));
    r.numbers.push_back(numberOf(cells[ProjectText::Id]));
    r.numbers.push_back(numberOf(cells[ProjectText::Budget]));
    r.numbers.push_back(numberOf(cells[ProjectText::BudgetInDays]));
    r.dates.push_back(dayNumber(cells[ProjectText::Start]));
    r.dates.push_back(dayNumber(cells[ProjectText::End]));
    m_projectIds.push_back(idOf(cells[ProjectText::Id]));
    m_lookupMade = false;
    return record;
}

void FilterIndex::makeLookup() const {
    m_lookupMade = true;
    m_recordById.clear();
    m_recordByIdHash.clear();
    qint64 largest = -1;
    for (qint64 id : m_projectIds)
        largest = std::max(largest, id);
    const auto count = static_cast<qint64>(m_projectIds.size());
    if (largest < 4 * count + 1024) {
        m_recordById.assign(static_cast<size_t>(largest + 1), -1);
        for (size_t r = 0; r < m_projectIds.size(); ++r)
            if (m_projectIds[r] >= 0)
                m_recordById[static_cast<size_t>(m_projectIds[r])] = static_cast<int>(r);
    } else {
        m_recordByIdHash.reserve(static_cast<qsizetype>(count));
        for (size_t r = 0; r < m_projectIds.size(); ++r)
            m_recordByIdHash.insert(m_projectIds[r], static_cast<int>(r));
    }
}

int FilterIndex::recordOf(qint64 projectId) const {
    if (!m_lookupMade)
        makeLookup();
    if (projectId < 0)
        return -1;
    if (!m_recordById.empty() || m_recordByIdHash.isEmpty())
        return projectId < static_cast<qint64>(m_recordById.size()) ? m_recordById[static_cast<size_t>(projectId)] : -1;
    return m_recordByIdHash.value(projectId, -1);
}

void FilterIndex::addTask(const TaskFields& task) {
    const int project = recordOf(task.projectId);
    if (project < 0)
        return;
    Records& r = m_tasks;
    const QString* texts[] = {&task.title, &task.assignedTo, &task.description, &task.status, &task.priority};
    for (const QString* text : texts) {
        r.textStart.push_back(static_cast<std::uint32_t>(r.text.size()));
        appendFolded(r.text, *text);
        r.text.push_back(separator);
    }
    r.textStart.push_back(static_cast<std::uint32_t>(r.text.size()));
    appendDate(r.text, task.dueDate);
    r.text.push_back(separator);
    r.textStart.push_back(static_cast<std::uint32_t>(r.text.size()));
    r.numbers.push_back(static_cast<double>(task.id));
    r.numbers.push_back(task.percentComplete);
    r.numbers.push_back(task.cost);
    r.numbers.push_back(task.costInDays);
    r.dates.push_back(dayNumber(task.startDate));
    r.dates.push_back(dayNumber(task.dueDate));
    m_taskIds.push_back(task.id);
    m_taskProject.push_back(project);
}

void FilterIndex::finish() {
    // A counting sort: the tasks of project p are m_taskOrder[m_firstTask[p] .. m_firstTask[p+1]).
    const auto projects = static_cast<size_t>(projectCount());
    m_firstTask.assign(projects + 1, 0);
    for (int p : m_taskProject)
        if (p >= 0)
            ++m_firstTask[static_cast<size_t>(p) + 1];
    for (size_t p = 0; p < projects; ++p)
        m_firstTask[p + 1] += m_firstTask[p];
    m_taskOrder.assign(static_cast<size_t>(m_firstTask[projects]), 0);
    std::vector<int> next(m_firstTask.begin(), m_firstTask.end() - 1);
    for (size_t t = 0; t < m_taskProject.size(); ++t)
        if (m_taskProject[t] >= 0)
            m_taskOrder[static_cast<size_t>(next[static_cast<size_t>(m_taskProject[t])]++)] = static_cast<int>(t);
}

void FilterIndex::replaceTasks(int project, const FilterIndex& fresh) {
    if (project < 0 || project >= projectCount())
        return;
    // The old records stay in the arrays, belonging to no project; the fresh ones are added.
    const int first = m_firstTask.empty() ? 0 : m_firstTask[static_cast<size_t>(project)];
    for (int k = 0; k < taskCount(project); ++k)
        m_taskProject[static_cast<size_t>(m_taskOrder[static_cast<size_t>(first + k)])] = -1;
    const Records& from = fresh.m_tasks;
    Records& to = m_tasks;
    for (int k = 0; k < fresh.taskCount(0); ++k) {
        const int task = fresh.m_taskOrder[static_cast<size_t>(fresh.m_firstTask[0] + k)];
        for (int slot = 0; slot < TaskText::Count; ++slot) {
            to.textStart.push_back(static_cast<std::uint32_t>(to.text.size()));
            to.text.append(from.slot(task, slot));
            to.text.push_back(separator);
        }
        to.textStart.push_back(static_cast<std::uint32_t>(to.text.size()));
        for (int slot = 0; slot < TaskNumber::Count; ++slot)
            to.numbers.push_back(from.number(task, slot));
        for (int slot = 0; slot < TaskDate::Count; ++slot)
            to.dates.push_back(from.date(task, slot));
        m_taskIds.push_back(fresh.m_taskIds[static_cast<size_t>(task)]);
        m_taskProject.push_back(project);
    }
    finish();
}

int FilterIndex::taskCount(int project) const {
    if (m_firstTask.empty())
        return 0;
    const auto p = static_cast<size_t>(project);
    return m_firstTask[p + 1] - m_firstTask[p];
}

qint64 FilterIndex::taskId(int project, int task) const {
    return m_taskIds[static_cast<size_t>(
        m_taskOrder[static_cast<size_t>(m_firstTask[static_cast<size_t>(project)] + task)])];
}

int FilterIndex::projectSlot(const Term& term) {
    if (!(term.scope & InProjects))
        return -1;
    return term.field < 0 ? 0 : fields()[static_cast<size_t>(term.field)].projectSlot;
}

int FilterIndex::taskSlot(const Term& term) {
    if (!(term.scope & InTasks))
        return -1;
    return term.field < 0 ? 0 : fields()[static_cast<size_t>(term.field)].taskSlot;
}

bool FilterIndex::holds(const Term& term, const Records& records, int record, int slot) {
    if (term.field < 0)
        return records.all(record).find(term.text) != std::string_view::npos;
    switch (fields()[static_cast<size_t>(term.field)].kind) {
    case FieldKind::Text: {
        const std::string_view text = records.slot(record, slot);
        return term.op == Op::Equals ? text == term.text : text.find(term.text) != std::string_view::npos;
    }
    case FieldKind::Number: {
        const double v = records.number(record, slot);
        if (std::isnan(v))
            return false;
        switch (term.op) {
        case Op::Less:
            return v < term.low;
        case Op::LessOrEqual:
            return v <= term.low;
        case Op::Greater:
            return v > term.low;
        case Op::GreaterOrEqual:
            return v >= term.low;
        default:
            return v >= term.low && v <= term.high;
        }
    }
    case FieldKind::Date: {
        const int d = records.date(record, slot);
        if (d == 0)
            return false;
        switch (term.op) {
        case Op::Less:
            return d < term.firstDay;
        case Op::LessOrEqual:
            return d <= term.lastDay;
        case Op::Greater:
            return d > term.lastDay;
        case Op::GreaterOrEqual:
            return d >= term.firstDay;
        default:
            return d >= term.firstDay && d <= term.lastDay;
        }
    }
    }
    return false;
}

std::vector<char> FilterIndex::matchProjects(const Query& query) const {
    const int n = projectCount();
    std::vector<char> out(static_cast<size_t>(n), 0);
    const size_t termCount = query.terms.size();
    std::vector<int> pSlot(termCount), tSlot(termCount);
    for (size_t i = 0; i < termCount; ++i) {
        pSlot[i] = projectSlot(query.terms[i]);
        tSlot[i] = taskSlot(query.terms[i]);
    }
    std::vector<char> projectHit(termCount);
    for (int p = 0; p < n; ++p) {
        bool alone = true;
        bool possible = true;
        for (size_t i = 0; i < termCount && possible; ++i) {
            const Term& term = query.terms[i];
            const bool hit = pSlot[i] >= 0 && holds(term, m_projects, p, pSlot[i]);
            projectHit[i] = hit;
            if (term.exclude ? hit : !hit) {
                alone = false;
                // An excluded term the project has, or a wanted one that no task can give.
                possible = !hit && tSlot[i] >= 0;
            }
        }
        if (alone) {
            out[static_cast<size_t>(p)] = 1;
            continue;
        }
        if (!possible)
            continue;
        const int first = m_firstTask.empty() ? 0 : m_firstTask[static_cast<size_t>(p)];
        const int last = first + taskCount(p);
        for (int k = first; k < last && !out[static_cast<size_t>(p)]; ++k) {
            const int task = m_taskOrder[static_cast<size_t>(k)];
            bool ok = true;
            for (size_t i = 0; i < termCount && ok; ++i) {
                if (projectHit[i])
                    continue;
                const Term& term = query.terms[i];
                const bool hit = tSlot[i] >= 0 && holds(term, m_tasks, task, tSlot[i]);
                ok = term.exclude ? !hit : hit;
            }
            if (ok)
                out[static_cast<size_t>(p)] = 1;
        }
    }
    return out;
}

std::vector<char> FilterIndex::matchTasks(const Query& query, int project) const {
    const int count = taskCount(project);
    std::vector<char> out(static_cast<size_t>(count), 0);
    const int first = count ? m_firstTask[static_cast<size_t>(project)] : 0;
    for (int k = 0; k < count; ++k) {
        const int task = m_taskOrder[static_cast<size_t>(first + k)];
        bool ok = true;
        for (size_t i = 0; i < query.terms.size() && ok; ++i) {
            const Term& term = query.terms[i];
            const int pSlot = projectSlot(term);
            const int tSlot = taskSlot(term);
            const bool hit = (pSlot >= 0 && holds(term, m_projects, project, pSlot)) ||
                             (tSlot >= 0 && holds(term, m_tasks, task, tSlot));
            ok = term.exclude ? !hit : hit;
        }
        out[static_cast<size_t>(k)] = ok ? 1 : 0;
    }
    return out;
}

} // namespace FindFilter
