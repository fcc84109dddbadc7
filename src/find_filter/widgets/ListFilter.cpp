#include "ListFilter.h"

#include "FilterLine.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSet>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <limits>
#include <optional>

namespace FindFilter {

namespace {

// The task fields the filter reads, in the order of TaskFields.
const QString taskColumns = QStringLiteral("ID, ProjectID, Title, AssignedTo, Description, Status, Priority, "
                                           "StartDate, DueDate, PercentComplete, Cost, CostInDays");

double number(const ResultSet& rs, int column) {
    const QVariant v = rs.value(column);
    bool ok = false;
    const double d = v.toDouble(&ok);
    return !v.isNull() && ok ? d : std::numeric_limits<double>::quiet_NaN();
}

TaskFields taskFields(const ResultSet& rs) {
    TaskFields t;
    t.id = rs.isNull(0) ? -1 : rs.value(0).toLongLong();
    t.projectId = rs.isNull(1) ? -1 : rs.value(1).toLongLong();
    QString* texts[] = {&t.title, &t.assignedTo, &t.description, &t.status, &t.priority, &t.startDate, &t.dueDate};
    for (int i = 0; i < 7; ++i)
        *texts[i] = rs.rawText(2 + i);
    t.percentComplete = number(rs, 9);
    t.cost = number(rs, 10);
    t.costInDays = number(rs, 11);
    return t;
}

QString windowName() {
    return QStringLiteral("Form1");
}

// Gives the filter bar in the menu bar's corner only the room that the menus leave: the menu bar
// moves every menu that would sit under its corner widget into its overflow button, and a theme
// with wider menu titles, a larger font or a wider line (its icons) would lose Help that way.
class CornerFit final : public QObject {
public:
    CornerFit(QMenuBar* menuBar, QWidget* bar, QLineEdit* line, QLabel* count)
        : QObject(bar)
        , m_menuBar(menuBar)
        , m_bar(bar)
        , m_line(line)
        , m_count(count) {
        menuBar->installEventFilter(this);
        bar->installEventFilter(this);
        line->installEventFilter(this);
    }

    void fit() {
        if (m_fitting || !m_bar->isVisible())
            return;
        m_fitting = true;
        int menusEnd = 0;
        for (QAction* a : m_menuBar->actions())
            if (a->isVisible())
                menusEnd = std::max(menusEnd, m_menuBar->actionGeometry(a).right() + 1);
        const QStyle* style = m_menuBar->style();
        const int edge = style->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, m_menuBar) +
                         style->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, m_menuBar);
        const QMargins margins = m_bar->layout()->contentsMargins();
        const int room = m_menuBar->width() - menusEnd - edge - margins.left() - margins.right() - 8;
        const int widest = m_line->fontMetrics().averageCharWidth() * 30;
        const int narrowest = m_line->fontMetrics().averageCharWidth() * 12;
        const int countWidth = m_count->fontMetrics().horizontalAdvance(QStringLiteral("100000 of 100000 projects"));
        const int spacing = m_bar->layout()->spacing();
        // The count goes first when the room is short; the line keeps a dozen characters at least.
        const bool withCount = room - countWidth - spacing >= narrowest;
        const int line = std::clamp(withCount ? room - countWidth - spacing : room, narrowest, widest);
        m_count->setFixedWidth(countWidth);
        m_count->setVisible(withCount);
        m_line->setFixedWidth(line);
        // The menu bar reads its corner widget's size only when it lays out its menus again.
        QEvent relayout(QEvent::FontChange);
        QCoreApplication::sendEvent(m_menuBar, &relayout);
        m_fitting = false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Resize:
            if (watched != m_menuBar)
                break;
            [[fallthrough]];
        case QEvent::Show:
        case QEvent::FontChange:
        case QEvent::StyleChange:
        case QEvent::LayoutRequest:
            if (!m_fitting)
                QTimer::singleShot(0, this, &CornerFit::fit);
            break;
        default:
            break;
        }
        return false;
    }

private:
    QMenuBar* m_menuBar;
    QWidget* m_bar;
    QLineEdit* m_line;
    QLabel* m_count;
    bool m_fitting = false;
};

} // namespace

ListFilter::ListFilter(PlannerWindow& planner)
    : QObject(&planner)
    , m_planner(planner) {
    QWidget* window = planner.window();
    setObjectName(QStringLiteral("ListFilter"));

    // The line sits in the menu bar's corner: the designed controls below keep their places.
    m_bar = new QWidget(window);
    m_bar->setObjectName(QStringLiteral("FilterBar"));
    auto* layout = new QHBoxLayout(m_bar);
    layout->setContentsMargins(0, 0, 4, 0);
    layout->setSpacing(6);
    m_line = new FilterLine(m_bar);
    m_count = new QLabel(m_bar);
    m_count->setObjectName(QStringLiteral("FilterCount"));
    m_count->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(m_line);
    layout->addWidget(m_count);
    // The menu bar places its corner widget by its size when shown: fixed widths keep it in place
    // as the count changes. Never taller than the menu bar, so the client area does not move.
    m_line->setFixedWidth(m_line->fontMetrics().averageCharWidth() * 30);
    m_count->setFixedWidth(m_count->fontMetrics().horizontalAdvance(QStringLiteral("100000 of 100000 projects")));
    m_bar->setMaximumHeight(planner.menuBarHeight());
    planner.setCornerWidget(m_bar);
    // The menu bar holds the line now.
    if (auto* menuBar = qobject_cast<QMenuBar*>(m_bar->parentWidget()))
        new CornerFit(menuBar, m_bar, m_line, m_count);
    m_bar->hide();

    m_find = new QAction(QStringLiteral("&Find..."), window);
    m_find->setObjectName(QStringLiteral("actionFind"));
    m_find->setShortcut(QKeySequence::Find);
    m_find->setShortcutContext(Qt::WindowShortcut);
    planner.addAction(PlannerWindow::Menu::Edit, PlannerWindow::Find, m_find);
    connect(m_find, &QAction::triggered, this, &ListFilter::open);

    connect(m_line, &QLineEdit::textChanged, this, &ListFilter::textChanged);
    connect(m_line, &FilterLine::escapePressed, this, &ListFilter::close);
    // Escape also clears the filter after the user went on to the lists (Enter or Down).
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    m_escape->setObjectName(QStringLiteral("FilterEscape"));
    m_escape->setWhatsThis(QStringLiteral("Clear the filter"));
    m_escape->setContext(Qt::WindowShortcut);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &ListFilter::close);
    connect(m_line, &FilterLine::leaveToList, this,
            [this] { m_planner.projectList()->setFocus(Qt::ShortcutFocusReason); });

    RecordListModel* projects = planner.projects();
    connect(projects, &RecordListModel::rowsReplaced, this, &ListFilter::projectsReplaced);
    connect(projects, &QAbstractItemModel::layoutChanged, this, [this] { m_rowsMoved = true; });
    connect(planner.tasks(), &RecordListModel::rowsReplaced, this, &ListFilter::tasksReplaced);
    connect(projects, &RecordListModel::rowsPatched, this, &ListFilter::projectsPatched);
    connect(planner.tasks(), &RecordListModel::rowsPatched, this, &ListFilter::tasksReplaced);
}

void ListFilter::open() {
    m_bar->show();
    m_escape->setEnabled(true);
    m_line->setFocus(Qt::ShortcutFocusReason);
    m_line->selectAll();
    // Make the searchable form while the user starts to type, once the line has shown.
    if (!m_indexFresh) {
        QTimer::singleShot(0, this, [this] {
            if (m_bar->isVisible() && !m_indexFresh && m_planner.projects()->sourceRowCount() > 0)
                buildIndex();
        });
    }
}

void ListFilter::close() {
    m_line->clear();
    m_bar->hide();
    m_escape->setEnabled(false);
    m_planner.projectList()->setFocus(Qt::OtherFocusReason);
}

void ListFilter::textChanged(const QString& text) {
    const bool wasActive = m_query.active();
    m_query = parse(text);
    m_line->showProblems(m_query.problems);
    if (m_query.active() || wasActive)
        filterProjects();
}

void ListFilter::filterProjects() {
    ErrorTrap trap(windowName(), QStringLiteral("FilterLine_Change"));
    RecordListModel* projects = m_planner.projects();
    projects->ensureComplete(); // a list still streaming in is read to its end first
    if (!m_query.active()) {
        // All rows again; the project the user found stays selected, with all its tasks.
        const int selected = RowSelection::selectedRow(m_planner.projectList());
        const int source = selected >= 0 ? projects->sourceRow(selected) : 0;
        trap.step(1, [&] {
            projects->showAllRows();
            projects->setFilterNote(QString());
        });
        trap.step(2, [&] { selectProject(source); });
        showCount();
        return;
    }
    if (!m_indexFresh)
        buildIndex();
    trap.step(3, [&] { projects->setVisibleRows(matchingProjectRows()); });
    trap.step(4, [&] {
        if (projects->rowCount() > 0)
            selectProject(0);
        else
            m_planner.tasks()->clear();
    });
    showCount();
}

void ListFilter::selectProject(int row) {
    // Selecting a project refills the task list; when the selection did not move, refill it here.
    const int fills = m_taskFills;
    RowSelection::selectRow(m_planner.projectList(), row);
    if (m_taskFills == fills)
        m_planner.refillTasks();
}

void ListFilter::projectsReplaced() {
    m_indexFresh = false;
    RecordListModel* projects = m_planner.projects();
    if (!m_query.active() || projects->sourceRowCount() == 0) {
        m_index = FilterIndex(); // the old rows' form is of no more use: give its memory back
        showCount();
        return;
    }
    ErrorTrap trap(windowName(), QStringLiteral("FilterProjects"));
    buildIndex();
    trap.step(1, [&] { projects->setVisibleRows(matchingProjectRows()); });
    showCount();
}

void ListFilter::projectsPatched() {
    m_indexFresh = false;
    if (!m_query.active()) {
        m_index = FilterIndex();
        return;
    }
    // Records others changed may now match or no longer match: the filter decides anew, and the
    // selected project stays selected while it still matches.
    RecordListModel* projects = m_planner.projects();
    const QString selected = RowSelection::selectedCell(m_planner.projectList(), 0);
    const int scroll = m_planner.projectList()->verticalScrollBar()->value();
    ErrorTrap trap(windowName(), QStringLiteral("FilterProjects"));
    buildIndex();
    trap.step(1, [&] { projects->setVisibleRows(matchingProjectRows()); });
    for (int row = 0; !selected.isEmpty() && row < projects->rowCount(); ++row) {
        if (projects->cellText(row, 0) == selected) {
            const int fills = m_taskFills;
            RowSelection::selectRow(m_planner.projectList(), row);
            if (m_taskFills == fills)
                tasksReplaced();
            break;
        }
    }
    m_planner.projectList()->verticalScrollBar()->setValue(scroll);
    showCount();
}

void ListFilter::tasksReplaced() {
    ++m_taskFills;
    RecordListModel* tasks = m_planner.tasks();
    RecordListModel* projects = m_planner.projects();
    const int selected = RowSelection::selectedRow(m_planner.projectList());
    if (!m_query.active() || tasks->sourceRowCount() == 0 || selected < 0) {
        tasks->setFilterNote(QString());
        return;
    }
    // The selected project's tasks as stored now (an edit may have changed them since the fill).
    ErrorTrap trap(windowName(), QStringLiteral("FilterTasks"));
    const int source = projects->sourceRow(selected);
    FilterIndex one;
    const bool read = trap.step(1, [&] {
        const std::vector<QString> cells = projects->sourceRowCells(source);
        one.addProject(cells.data());
        ResultSet rs = Database::shared().query(QStringLiteral("select ") + taskColumns +
                                                QStringLiteral(" from [Open Tasks] where ProjectID=") +
                                                projects->sourceCell(source, 0));
        while (!rs.eof()) {
            one.addTask(taskFields(rs));
            rs.moveNext();
        }
        rs.close();
    });
    if (!read) {
        tasks->setFilterNote(QString()); // all tasks stay shown: better than a list cut short
        return;
    }
    one.finish();
    // Later keys see the tasks as they are now, too.
    if (m_indexFresh)
        m_index.replaceTasks(m_index.recordOf(projects->sourceCell(source, 0).toLongLong()), one);
    trap.step(2, [&] {
        const std::vector<char> match = one.matchTasks(m_query, 0);
        QSet<qint64> ids;
        for (size_t k = 0; k < match.size(); ++k)
            if (match[k])
                ids.insert(one.taskId(0, static_cast<int>(k)));
        std::vector<int> rows;
        for (int r = 0; r < tasks->sourceRowCount(); ++r)
            if (ids.contains(tasks->sourceCell(r, 0).toLongLong()))
                rows.push_back(r);
        tasks->setVisibleRows(std::move(rows));
        tasks->setFilterNote(QStringLiteral("Filtered: %1 of %2 tasks of this project match")
                                 .arg(tasks->rowCount())
                                 .arg(tasks->sourceRowCount()));
    });
}

void ListFilter::buildIndex() {
    ErrorTrap trap(windowName(), QStringLiteral("FilterIndex"));
    const RecordListModel* projects = m_planner.projects();
    m_index.clear();
    m_indexFresh = true; // also after a failure: one error box per fill, not one per keystroke
    const int count = projects->sourceRowCount();
    m_index.reserve(count, count);
    m_recordOfRow.resize(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r)
        m_recordOfRow[static_cast<size_t>(r)] = m_index.addProject(projects->sourceRowCells(r).data());
    m_rowsMoved = false;
    // All tasks in one query; the index keeps those of the listed projects.
    trap.step(1, [&] {
        ResultSet rs =
            Database::shared().query(QStringLiteral("select ") + taskColumns + QStringLiteral(" from [Open Tasks]"));
        while (!rs.eof()) {
            m_index.addTask(taskFields(rs));
            rs.moveNext();
        }
        rs.close();
    });
    m_index.finish();
}

std::vector<int> ListFilter::matchingProjectRows() {
    const RecordListModel* projects = m_planner.projects();
    const int count = projects->sourceRowCount();
    if (m_rowsMoved) {
        // A header click sorted the rows: find each row's record again by its ID.
        for (int r = 0; r < count; ++r)
            m_recordOfRow[static_cast<size_t>(r)] = m_index.recordOf(projects->sourceCell(r, 0).toLongLong());
        m_rowsMoved = false;
    }
    const std::vector<char> match = m_index.matchProjects(m_query);
    std::vector<int> rows;
    for (int r = 0; r < count; ++r) {
        const int record = m_recordOfRow[static_cast<size_t>(r)];
        if (record >= 0 && match[static_cast<size_t>(record)])
            rows.push_back(r);
    }
    return rows;
}

void ListFilter::showCount() {
    RecordListModel* projects = m_planner.projects();
    if (!m_query.active()) {
        m_count->clear();
        projects->setFilterNote(QString());
        return;
    }
    const QString text = QStringLiteral("%1 of %2 projects").arg(projects->rowCount()).arg(projects->sourceRowCount());
    m_count->setText(text);
    projects->setFilterNote(QStringLiteral("Filtered: ") + text);
}

void install(PlannerWindow& planner) {
    new ListFilter(planner);
}

} // namespace FindFilter
