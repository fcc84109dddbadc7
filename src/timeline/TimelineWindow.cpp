#include "TimelineWindow.h"

#include "TimelineData.h"
#include "TimelineEdit.h"
#include "TimelineOutput.h"
#include "TimelineView.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/Settings.h"
#include "app/UndoSteps.h"
#include "app/widgets/Appearance.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"
#include "app/widgets/ScreenFit.h"
#include "app/widgets/TaskCommands.h"
#include "app/widgets/UndoCommands.h"
#include "editors/Openers.h"
#include "scheduling/PlanStore.h"
#include "scheduling/Scheduler.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <optional>
#include <tuple>

namespace Timeline {

namespace {

// Asks before a timeline of more than a few hundred pages goes on paper or into a file: fitted on
// that many pages (returns their number), all of them (returns 0), or none (returns nothing).
std::optional<int> choosePages(int pages, const QString& verb) {
    if (pages <= pagesWithoutAsking)
        return 0;
    if (Messages::current().ask(QStringLiteral("At this zoom the timeline takes %1 pages. Fit it on %2 pages instead "
                                               "(the whole time span across each page, the rows drawn smaller)?")
                                    .arg(pages)
                                    .arg(pagesWithoutAsking)))
        return pagesWithoutAsking;
    if (Messages::current().ask(QStringLiteral("%1 all %2 pages? This can take a while.").arg(verb).arg(pages)))
        return 0;
    return std::nullopt;
}

TimelineWindow::Previewer& previewer() {
    static TimelineWindow::Previewer current;
    return current;
}

const QString windowName = QStringLiteral("Timeline");

const QString noPlanText = QStringLiteral("This database cannot hold a plan: it is a file of an earlier version that "
                                          "may not be changed.");

QString colourByName(ColourBy by) {
    switch (by) {
    case ColourBy::Status:
        return QStringLiteral("Status");
    case ColourBy::Priority:
        return QStringLiteral("Priority");
    case ColourBy::Category:
        break;
    }
    return QStringLiteral("Category");
}

} // namespace

TimelineWindow::TimelineWindow(PlannerWindow& planner)
    : QWidget(planner.window(), Qt::Window)
    , m_planner(planner)
    , m_view(new TimelineView(this))
    , m_colourBy(new QComboBox(this))
    , m_legend(new QLabel(this)) {
    setObjectName(QStringLiteral("TimelineWindow"));
    setWindowTitle(QStringLiteral("Timeline"));
    setAttribute(Qt::WA_DeleteOnClose);
    Appearance::applyIcon(this);
    m_colourBy->setObjectName(QStringLiteral("ColourBy"));
    for (ColourBy by : {ColourBy::Status, ColourBy::Priority, ColourBy::Category})
        m_colourBy->addItem(colourByName(by), static_cast<int>(by));
    m_legend->setObjectName(QStringLiteral("Legend"));
    m_legend->setWordWrap(true);
    m_legend->setTextFormat(Qt::RichText);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildMenus();
    layout->addWidget(m_view, 1);
    auto* legendRow = new QWidget(this);
    auto* legendLayout = new QVBoxLayout(legendRow);
    legendLayout->setContentsMargins(8, 4, 8, 4);
    legendLayout->addWidget(m_legend);
    layout->addWidget(legendRow);

    connect(m_view, &TimelineView::moveRequested, this, &TimelineWindow::moveBar);
    connect(m_view, &TimelineView::openRequested, this, &TimelineWindow::openEditor);
    connect(m_view, &TimelineView::linkRequested, this, &TimelineWindow::linkTasks);
    // Found while painting: mended once the painting is done.
    connect(m_view, &TimelineView::linksBroken, this, &TimelineWindow::mendLinks, Qt::QueuedConnection);
    // Links are read as their projects come into view; a failed read shows the error box once
    // and leaves the project without links drawn.
    m_view->setLinkReaders(
        [](qint64 projectId) {
            std::vector<PlanLink> links;
            ErrorTrap trap(windowName, QStringLiteral("LoadLinks"));
            trap.step(1, [&] { links = readLinksOf(projectId); });
            return links;
        },
        [] {
            std::vector<PlanLink> links;
            ErrorTrap trap(windowName, QStringLiteral("LoadLinks"));
            trap.step(2, [&] { links = readAllLinks(); });
            return links;
        });
    connect(m_view, &TimelineView::indentRequested, this, &TimelineWindow::indentRow);
    connect(m_view, &TimelineView::placeRequested, this, [this](int row, int onRow) {
        ErrorTrap trap(windowName, QStringLiteral("PlaceTask"));
        trap.step(1, [&] { dropRow(row, onRow); });
    });
    connect(m_view, &TimelineView::contextMenuRequested, this, &TimelineWindow::showContextMenu);
    connect(m_colourBy, &QComboBox::currentIndexChanged, this, [this] {
        m_view->setColourBy(static_cast<ColourBy>(m_colourBy->currentData().toInt()));
        Settings::write(QStringLiteral("TimelineColourBy"), QString::number(m_colourBy->currentIndex()));
        updateLegend();
    });
    // The main window's lists: a refill of the projects reloads everything, a refill of the tasks
    // the tasks of the selected project, a sort or filter the order.
    connect(&planner, &PlannerWindow::listsRefilled, this, &TimelineWindow::reload);
    connect(planner.tasks(), &QAbstractItemModel::modelReset, this, &TimelineWindow::taskListRefilled);
    connect(planner.projects(), &QAbstractItemModel::layoutChanged, this, &TimelineWindow::projectListChanged);
    connect(planner.projects(), &QAbstractItemModel::modelReset, this, &TimelineWindow::projectListChanged);

    // Size, place, zoom and colouring as they were left.
    ErrorTrap trap(windowName, QStringLiteral("Form_Load"));
    resize(1000, 600);
    trap.step(1, [&] {
        const QByteArray geometry =
            QByteArray::fromBase64(Settings::read(QStringLiteral("TimelineGeometry"), QString()).toLatin1());
        if (!geometry.isEmpty())
            restoreGeometry(geometry);
    });
    ScreenFit::fit(this); // never larger than the screen, whatever size it was left at
    trap.step(2, [&] {
        bool ok = false;
        const int zoom =
            Settings::read(QStringLiteral("TimelineZoom"), QString::number(zoomToSetting(defaultZoom()))).toInt(&ok);
        m_view->setZoom(ok ? zoomFromSetting(zoom) : defaultZoom());
        const int by = Settings::read(QStringLiteral("TimelineColourBy"), QStringLiteral("0")).toInt(&ok);
        m_colourBy->setCurrentIndex(ok && by >= 0 && by < m_colourBy->count() ? by : 0);
    });
    reload();
}

void TimelineWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!std::exchange(m_placed, true))
        m_view->goToToday();
}

// Closing the main window ends the program without closing this one first: the settings are
// saved on the way out as well.
TimelineWindow::~TimelineWindow() {
    saveSettings();
}

void TimelineWindow::saveSettings() {
    if (std::exchange(m_saved, true))
        return;
    ErrorTrap trap(windowName, QStringLiteral("Form_QueryUnload"));
    trap.step(1, [&] {
        Settings::write(QStringLiteral("TimelineGeometry"), QString::fromLatin1(saveGeometry().toBase64()));
        Settings::write(QStringLiteral("TimelineZoom"), QString::number(zoomToSetting(m_view->zoom())));
    });
}

void TimelineWindow::buildMenus() {
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("TimelineMenuBar"));
    bar->setNativeMenuBar(false);
    layout()->setMenuBar(bar);
    auto action = [this](QMenu* menu, const char* name, const QString& text, const QKeySequence& key, auto slot) {
        auto* a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, slot);
        menu->addAction(a);
        addAction(a);
        return a;
    };
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    action(file, "actionTimelinePrint", QStringLiteral("&Print..."), QKeySequence::Print, [this] { print(); });
    action(file, "actionTimelineExport", QStringLiteral("&Export..."), QKeySequence(Qt::CTRL | Qt::Key_E),
           [this] { exportTimeline(); });
    file->addSeparator();
    action(file, "actionTimelineClose", QStringLiteral("&Close"), QKeySequence::Close, [this] { close(); });

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    // The program's one list of steps (what this window did, and what the main window did), with the
    // main window's keys.
    QAction* undo = UndoCommands::makeAction(this, m_planner, true, QStringLiteral("actionTimelineUndo"), windowName);
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = UndoCommands::makeAction(this, m_planner, false, QStringLiteral("actionTimelineRedo"), windowName);
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* a : {undo, redo}) {
        a->setShortcutContext(Qt::WindowShortcut);
        edit->addAction(a);
        addAction(a);
    }
    // The selected row's commands. Every one has a key, for a task chosen by keyboard; Return opens
    // the row only where the chart has the focus (elsewhere it belongs to the control).
    edit->addSeparator();
    QAction* open = action(edit, "actionOpenItem", QStringLiteral("&Open..."), QKeySequence(), [this] {
        const int row = m_view->currentRow();
        if (row < 0) {
            Messages::current().notice(QStringLiteral("Click a task in the timeline first."));
            return;
        }
        const Item item = m_view->itemAt(row);
        openEditor(item.isTask, item.id, item.projectId);
    });
    open->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    open->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(open);
    for (const TaskCommands::Command& command : TaskCommands::all()) {
        action(edit, "", command.text, command.key, [this, run = command.run] {
            ErrorTrap trap(windowName, QStringLiteral("TaskCommand"));
            const int row = currentPlanTask();
            if (row < 0)
                return;
            const Item task = m_view->itemAt(row);
            bool changed = false;
            trap.step(1, [&] { changed = run(this, task.projectId, task.id); });
            if (changed)
                refillPlan(task.projectId);
        })->setObjectName(command.objectName);
    }
    QAction* milestone =
        action(edit, "actionMilestone", QStringLiteral("&Milestone"), QKeySequence(Qt::CTRL | Qt::Key_M), [this] {
            if (const int row = currentPlanTask(); row >= 0)
                toggleMilestone(row);
        });
    // Ticked for a milestone: the menu shows what the task clicked last is.
    milestone->setCheckable(true);
    connect(edit, &QMenu::aboutToShow, this, [this, milestone] {
        const int row = m_view->currentRow();
        milestone->setChecked(row >= 0 && m_view->itemAt(row).milestone);
    });
    action(edit, "actionIndentTask", QStringLiteral("&Indent Task"), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Right),
           [this] {
               if (const int row = currentPlanTask(); row >= 0)
                   indentRow(row, true);
           });
    action(edit, "actionOutdentTask", QStringLiteral("&Outdent Task"), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Left),
           [this] {
               if (const int row = currentPlanTask(); row >= 0)
                   indentRow(row, false);
           });
    action(edit, "actionMoveTaskUp", QStringLiteral("Move Task U&p"), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Up),
           [this] {
               ErrorTrap trap(windowName, QStringLiteral("MoveTaskUp"));
               trap.step(1, [&] {
                   if (const int row = currentPlanTask(); row >= 0)
                       moveRow(row, -1);
               });
           });
    action(edit, "actionMoveTaskDown", QStringLiteral("Move Task Do&wn"),
           QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Down), [this] {
               ErrorTrap trap(windowName, QStringLiteral("MoveTaskDown"));
               trap.step(1, [&] {
                   if (const int row = currentPlanTask(); row >= 0)
                       moveRow(row, 1);
               });
           });

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    QAction* zoomIn = action(view, "actionZoomIn", QStringLiteral("Zoom &In"), QKeySequence::ZoomIn, [this] {
        m_view->zoomIn();
        Settings::write(QStringLiteral("TimelineZoom"), QString::number(zoomToSetting(m_view->zoom())));
    });
    // Ctrl+= as well, for keyboards where plus needs Shift.
    zoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    QAction* zoomOut = action(view, "actionZoomOut", QStringLiteral("Zoom &Out"), QKeySequence::ZoomOut, [this] {
        m_view->zoomOut();
        Settings::write(QStringLiteral("TimelineZoom"), QString::number(zoomToSetting(m_view->zoom())));
    });
    QAction* fit = action(view, "actionFitAll", QStringLiteral("&Fit All"), QKeySequence(Qt::CTRL | Qt::Key_0), [this] {
        m_view->fitAll();
        Settings::write(QStringLiteral("TimelineZoom"), QString::number(zoomToSetting(m_view->zoom())));
    });
    QAction* today = action(view, "actionGoToToday", QStringLiteral("Go to &Today"), QKeySequence(Qt::Key_T),
                            [this] { m_view->goToToday(); });
    view->addSeparator();
    action(view, "actionExpandAll", QStringLiteral("&Expand All"), QKeySequence(),
           [this] { m_view->setAllCollapsed(false); });
    action(view, "actionCollapseAll", QStringLiteral("&Collapse All"), QKeySequence(),
           [this] { m_view->setAllCollapsed(true); });
    view->addSeparator();
    m_criticalOnly = action(view, "actionCriticalOnly", QStringLiteral("Critical &Path Only"), QKeySequence(), [this] {
        ErrorTrap trap(windowName, QStringLiteral("CriticalOnly"));
        trap.step(1, [&] { m_view->setCriticalOnly(m_criticalOnly->isChecked()); });
    });
    m_criticalOnly->setCheckable(true);

    auto* tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("TimelineToolBar"));
    tools->addAction(zoomIn);
    tools->addAction(zoomOut);
    tools->addAction(fit);
    tools->addAction(today);
    tools->addSeparator();
    auto* label = new QLabel(QStringLiteral(" Colour by: "), tools);
    label->setBuddy(m_colourBy);
    tools->addWidget(label);
    tools->addWidget(m_colourBy);
    static_cast<QVBoxLayout*>(layout())->addWidget(tools);
}

void TimelineWindow::setPreviewer(Previewer previewer_) {
    previewer() = std::move(previewer_);
}

void TimelineWindow::reload() {
    ErrorTrap trap(windowName, QStringLiteral("LoadData"));
    m_reorderPending = false;
    trap.step(1, [&] { m_view->setData(load(*m_planner.projects())); });
    updateLegend();
}

void TimelineWindow::projectListChanged() {
    // Coalesced: a fill resets the list more than once before it is done.
    if (m_reorderPending)
        return;
    m_reorderPending = true;
    QTimer::singleShot(0, this, [this] {
        if (!std::exchange(m_reorderPending, false))
            return;
        // The same tasks and links, under the projects in their new order.
        Data old = m_view->data();
        Data data;
        data.projects = projectsFromList(*m_planner.projects());
        data.linksByProject = std::move(old.linksByProject);
        data.mayHaveLinks = old.mayHaveLinks;
        data.calendar = old.calendar;
        attachTasks(data, old.takeTasks());
        m_view->setData(std::move(data));
        updateLegend();
    });
}

void TimelineWindow::taskListRefilled() {
    const QString id = RowSelection::selectedCell(m_planner.projectList(), 0);
    if (id.isEmpty())
        return;
    ErrorTrap trap(windowName, QStringLiteral("LoadData"));
    trap.step(2, [&] {
        Data data = m_view->data();
        replaceTasks(data, id.toLongLong(), readTasksOf(id.toLongLong()));
        data.mayHaveLinks = data.mayHaveLinks || anyLinks(); // the first link may just have been made
        m_view->setData(std::move(data));
    });
}

void TimelineWindow::updateLegend() {
    // Swatches for the colours, then the marks that do not depend on colour.
    const auto& keys = m_view->legend();
    QString html;
    const size_t shown = std::min<size_t>(keys.size(), 24);
    for (size_t i = 0; i < shown; ++i) {
        const QColor c = keyColour(keys[i], m_view->colourBy());
        const QString name = keys[i].isEmpty() ? QStringLiteral("(none)") : keys[i].toHtmlEscaped();
        html += QStringLiteral("<span style=\"background-color:%1; color:%2\">&nbsp;&#9632;&nbsp;</span>&nbsp;%3 "
                               "&nbsp;&nbsp; ")
                    .arg(c.name(), c.name(), name);
    }
    if (keys.size() > shown)
        html += QStringLiteral("and %1 more &nbsp;&nbsp; ").arg(keys.size() - shown);
    html += QStringLiteral("<br>Pale part of a task: still to do &nbsp;&middot;&nbsp; &#9888; hatched and framed: "
                           "overdue &nbsp;&middot;&nbsp; &#9888; diamond: ends before it starts &nbsp;&middot;&nbsp; "
                           "(no dates): a date is missing or unreadable &nbsp;&middot;&nbsp; upright line: today "
                           "&nbsp;&middot;&nbsp; shaded: ") +
            (m_view->data().calendar ? QStringLiteral("non-working day") : QStringLiteral("weekend"));
    const Data& data = m_view->data();
    if (data.mayHaveLinks ||
        std::any_of(data.tasks.begin(), data.tasks.end(), [](const Item& t) { return t.milestone || t.parentId; }))
        html += QStringLiteral(" &nbsp;&middot;&nbsp; thick red frame: critical (no slack) &nbsp;&middot;&nbsp; "
                               "&#9670;: milestone &nbsp;&middot;&nbsp; black bracket: summary of the tasks under it");
    if (std::any_of(data.projects.begin(), data.projects.end(), [](const Item& p) { return p.spansPlan; }))
        html += QStringLiteral(
            " &nbsp;&middot;&nbsp; a project's bar spans its tasks; &#9660; above it and &#9650; below: its "
            "End Date, where that differs");
    m_legend->setText(QStringLiteral("<b>%1:</b> ").arg(colourByName(m_view->colourBy())) + html);
}

void TimelineWindow::refillAfterChange(qint64 projectId) {
    ErrorTrap trap(windowName, QStringLiteral("Refill"));
    // The project list refill reloads this window through listsRefilled.
    trap.step(1, [&] { m_planner.refillProjects(); });
    trap.step(2, [&] {
        RecordListModel* projects = m_planner.projects();
        const QString id = QString::number(projectId);
        for (int r = 0; r < projects->rowCount(); ++r) {
            if (projects->rawCell(r, 0) == id) {
                RowSelection::selectRow(m_planner.projectList(), r);
                break;
            }
        }
    });
    trap.step(3, [&] { m_planner.refillTasks(); });
}

void TimelineWindow::refillPlan(qint64 projectId) {
    ErrorTrap trap(windowName, QStringLiteral("Refill"));
    // Only the project's tasks are read again: the main window's task list of the project, and
    // through it this window's rows of the project (see taskListRefilled).
    trap.step(1, [&] {
        const QString id = QString::number(projectId);
        if (RowSelection::selectedCell(m_planner.projectList(), 0) == id) {
            m_planner.refillTasks();
            return;
        }
        RecordListModel* projects = m_planner.projects();
        for (int r = 0; r < projects->rowCount(); ++r)
            if (projects->rawCell(r, 0) == id) {
                RowSelection::selectRow(m_planner.projectList(), r); // which lists its tasks
                return;
            }
        refillAfterChange(projectId); // not listed: everything is read again
    });
}

void TimelineWindow::moveBar(bool isTask, qint64 id, QDate start, QDate end) {
    // The old dates and the project, from the item as shown.
    const int row = m_view->rowOf(isTask, id);
    if (row < 0)
        return;
    const Item item = itemOf(m_view->data(), m_view->rows()[static_cast<size_t>(row)]);
    // The whole bar dragged keeps the task's length in working days; its end dragged sets it.
    const bool shifted = item.start.isValid() && item.end.isValid() && item.start.daysTo(start) == item.end.daysTo(end);
    if (isTask && isPlanned(item)) {
        const qint64 projectId = item.projectId;
        changePlan(
            projectId, QStringLiteral("Move %1").arg(oneLine(item.name)),
            [=] { return PlanStore::moveTask(projectId, id, start, end, shifted); },
            QStringLiteral("This move would close a loop, so it was not made: %1."));
        return;
    }
    // A project's bar spans its tasks: the drag moves its own dates by as many days.
    if (!isTask) {
        if (!item.ownStart.isValid() || !item.ownEnd.isValid()) {
            Messages::current().notice(QStringLiteral("This project has no Start and End Date of its own to move: "
                                                      "its bar spans its tasks. Give it dates in its editor."));
            m_view->viewport()->update();
            return;
        }
        start = item.ownStart.addDays(item.start.daysTo(start));
        end = item.ownEnd.addDays(item.end.daysTo(end));
    }
    if (isTask && PlanStore::available()) {
        // A task of no plan lands on working days as a planned one does (it has no successors).
        ErrorTrap trap(windowName, QStringLiteral("MoveBar"));
        if (!trap.step(3, [&] {
                const WorkCalendar calendar = PlanStore::readCalendar();
                const int length = Scheduling::workingLength(calendar, shifted ? item.start : start,
                                                             shifted ? item.end : end, item.milestone);
                std::tie(start, end) = Scheduling::placeTask(calendar, start, length);
            }))
            return;
        if (start == item.start && end == item.end) {
            m_view->viewport()->update();
            return;
        }
    }
    SaveResult result = SaveResult::Failed;
    {
        const UndoSteps::Naming naming(QStringLiteral("Move %1").arg(oneLine(item.name)));
        result = saveDates(isTask, id, start, end);
    }
    if (result != SaveResult::Saved) {
        // A refused move leaves the bar where it was; a failed or vanished record is read anew.
        if (result != SaveResult::Refused)
            refillAfterChange(item.projectId);
        else
            m_view->viewport()->update();
        return;
    }
    refillAfterChange(item.projectId);
}

bool TimelineWindow::isPlanned(const Item& task) const {
    if (!task.isTask || !PlanStore::available())
        return false;
    if (task.parentId || task.summary)
        return true;
    const QString id = QString::number(task.id);
    ResultSet rs = Database::shared().query(
        QStringLiteral("select count(*) from TaskLinks where PredecessorID=%1 or SuccessorID=%1").arg(id));
    return !rs.eof() && rs.value(0).toLongLong() > 0;
}

void TimelineWindow::changePlan(qint64 projectId, const QString& text,
                                const std::function<PlanStore::Outcome()>& change, const QString& loopMessage) {
    ErrorTrap trap(windowName, QStringLiteral("ChangePlan"));
    PlanStore::Outcome outcome;
    bool done = false;
    {
        const UndoSteps::Naming naming(text);
        done = trap.step(1, [&] { outcome = change(); });
    }
    if (!done) {
        refillPlan(projectId);
        return;
    }
    switch (outcome.kind) {
    case PlanStore::Outcome::Kind::Loop:
        Messages::current().notice(loopMessage.arg(outcome.loopText));
        m_view->viewport()->update();
        return;
    case PlanStore::Outcome::Kind::Changed:
        Messages::current().notice(QStringLiteral("Someone else changed tasks of this project meanwhile, so nothing "
                                                  "was changed. The timeline now shows them as they are."));
        refillPlan(projectId);
        return;
    case PlanStore::Outcome::Kind::Saved:
        break;
    }
    refillPlan(projectId);
}

int TimelineWindow::currentPlanTask() {
    const int row = m_view->currentRow();
    if (row < 0 || !m_view->itemAt(row).isTask) {
        Messages::current().notice(QStringLiteral("Click a task in the timeline first."));
        return -1;
    }
    if (!PlanStore::available()) {
        Messages::current().notice(noPlanText);
        return -1;
    }
    return row;
}

void TimelineWindow::linkTasks(qint64 projectId, qint64 predecessor, qint64 successor, LinkKind kind) {
    if (!PlanStore::available()) {
        Messages::current().notice(noPlanText);
        return;
    }
    const Data& data = m_view->data();
    const Item* ends[2] = {nullptr, nullptr};
    for (const Item& task : data.tasks) {
        if (task.id == predecessor)
            ends[0] = &task;
        if (task.id == successor)
            ends[1] = &task;
    }
    if (!ends[0] || !ends[1])
        return;
    // A drop that makes no link says why, rather than leave the user guessing.
    if (predecessor == successor) {
        Messages::current().notice(
            QStringLiteral("A task cannot be linked to itself: drop the link on another task of its project."));
        return;
    }
    if (ends[0]->projectId != ends[1]->projectId) {
        auto projectName = [&data](qint64 id) {
            for (const Item& p : data.projects)
                if (p.id == id)
                    return oneLine(p.name);
            return QString();
        };
        Messages::current().notice(
            QStringLiteral("Links are made within one project: \"%1\" is in the project \"%2\" and \"%3\" in "
                           "\"%4\", so no link was made.")
                .arg(oneLine(ends[0]->name), projectName(ends[0]->projectId), oneLine(ends[1]->name),
                     projectName(ends[1]->projectId)));
        return;
    }
    const QString names[2] = {oneLine(ends[0]->name), oneLine(ends[1]->name)};
    // A link that was there already is changed and keeps its lag.
    int lag = 0;
    ErrorTrap trap(windowName, QStringLiteral("LinkTasks"));
    if (!trap.step(1, [&] {
            ResultSet rs = Database::shared().query(
                QStringLiteral("select Lag from TaskLinks where PredecessorID=%1 and SuccessorID=%2")
                    .arg(QString::number(predecessor), QString::number(successor)));
            if (!rs.eof())
                lag = static_cast<int>(rs.value(0).toLongLong());
        }))
        return;
    const PlanLink link{predecessor, successor, kind, lag};
    changePlan(
        projectId, QStringLiteral("Link %1 to %2").arg(names[0], names[1]),
        [=] { return PlanStore::link(projectId, link); },
        QStringLiteral("This link would close a loop, so it was not made: %1."));
}

void TimelineWindow::mendLinks(qint64 projectId) {
    if (!PlanStore::available())
        return;
    ErrorTrap trap(windowName, QStringLiteral("MendLinks"));
    PlanStore::Outcome outcome;
    if (!trap.step(1, [&] { outcome = PlanStore::followLinks(projectId); }) ||
        outcome.kind != PlanStore::Outcome::Kind::Saved || outcome.moved.isEmpty())
        return; // a loop or a change meanwhile: left as it is, drawn as read
    QString project;
    QStringList names;
    for (const Item& p : m_view->data().projects)
        if (p.id == projectId)
            project = oneLine(p.name);
    for (const Item& task : m_view->data().tasks)
        if (outcome.moved.contains(task.id) && names.size() < 5)
            names << QStringLiteral("\"%1\"").arg(oneLine(task.name));
    if (outcome.moved.size() > names.size())
        names << QStringLiteral("%1 more").arg(outcome.moved.size() - names.size());
    Messages::current().notice(QStringLiteral("Tasks of \"%1\" started before their links allow (their dates were "
                                              "written by another program), so they were moved to follow the "
                                              "links: %2.")
                                   .arg(project, names.join(QStringLiteral(", "))));
    refillPlan(projectId);
}

void TimelineWindow::indentRow(int row, bool indent) {
    if (!PlanStore::available()) {
        Messages::current().notice(noPlanText);
        return;
    }
    const Row place = m_view->rows()[static_cast<size_t>(row)];
    const Data& data = m_view->data();
    if (place.task < 0)
        return;
    const auto project = static_cast<size_t>(place.project);
    const Item task = data.task(project, place.task);
    // In the plan's order (whatever rows are shown): the task above at the same level becomes the
    // parent; taken out, the parent's parent, with the task right after its former parent.
    qint64 parent = 0;
    qint64 after = 0;
    if (indent) {
        for (int n = place.task - 1; n >= 0 && !parent; --n) {
            const Item& above = data.task(project, n);
            if (above.depth < task.depth)
                break;
            if (above.depth == task.depth) {
                if (above.milestone) {
                    Messages::current().notice(
                        QStringLiteral("\"%1\" above is a milestone, which has no length to span tasks with, so "
                                       "\"%2\" was not put under it. Make it a task first (Edit \u2192 Milestone).")
                            .arg(oneLine(above.name), oneLine(task.name)));
                    return;
                }
                parent = above.id;
            }
        }
        if (!parent) {
            Messages::current().notice(QStringLiteral("There is no task above this one at its level to put it under."));
            return;
        }
    } else {
        after = task.parentId;
        if (!task.parentId) {
            Messages::current().notice(QStringLiteral("This task is not under another task."));
            return;
        }
        for (int n = 0; n < data.taskCount(project); ++n)
            if (data.task(project, n).id == task.parentId)
                parent = data.task(project, n).parentId;
    }
    const qint64 projectId = task.projectId, id = task.id;
    changePlan(
        projectId, (indent ? QStringLiteral("Indent %1") : QStringLiteral("Outdent %1")).arg(oneLine(task.name)),
        [=] { return PlanStore::setParent(projectId, id, parent, after); },
        QStringLiteral("A task cannot go under a task it is linked with, so nothing was changed: %1."));
}

std::vector<int> TimelineWindow::siblingsOf(const Row& place) const {
    const Data& data = m_view->data();
    const auto project = static_cast<size_t>(place.project);
    const qint64 parent = data.task(project, place.task).parentId;
    std::vector<int> siblings; // their positions among the project's tasks, in the plan's order
    for (int n = 0; n < data.taskCount(project); ++n)
        if (data.task(project, n).parentId == parent)
            siblings.push_back(n);
    return siblings;
}

void TimelineWindow::moveRow(int row, int steps) {
    const Row place = m_view->rows()[static_cast<size_t>(row)];
    if (place.task < 0)
        return;
    const std::vector<int> siblings = siblingsOf(place);
    const auto at = std::find(siblings.begin(), siblings.end(), place.task) - siblings.begin();
    const auto to = at + steps;
    if (to < 0 || to >= static_cast<std::ptrdiff_t>(siblings.size())) {
        Messages::current().notice(steps < 0 ? QStringLiteral("This task is the first at its level already.")
                                             : QStringLiteral("This task is the last at its level already."));
        return;
    }
    placeRow(row, static_cast<int>(to));
}

void TimelineWindow::dropRow(int row, int onRow) {
    const std::vector<Row>& rows = m_view->rows();
    const Row place = rows[static_cast<size_t>(row)];
    if (place.task < 0 || onRow < 0 || onRow >= static_cast<int>(rows.size()) || onRow == row)
        return;
    const Row target = rows[static_cast<size_t>(onRow)];
    if (target.project != place.project || target.task < 0) {
        Messages::current().notice(QStringLiteral("A task keeps to its project: drop it on a row of its own project."));
        return;
    }
    // Before the siblings the drop passed going up; after them going down (a sibling's own tasks
    // count as the sibling).
    int index = 0, now = 0;
    for (int n : siblingsOf(place)) {
        if (n != place.task && (target.task > place.task ? n <= target.task : n < target.task))
            ++index;
        now += n < place.task;
    }
    if (index != now)
        placeRow(row, index);
}

void TimelineWindow::placeRow(int row, int index) {
    if (!PlanStore::keepsOrder()) {
        Messages::current().notice(
            QStringLiteral("This database keeps no order of tasks of its own: it is a file of "
                           "an earlier version, which this program could not bring up to date."));
        return;
    }
    const Item task = m_view->itemAt(row);
    const qint64 projectId = task.projectId, id = task.id;
    changePlan(
        projectId, QStringLiteral("Move %1").arg(oneLine(task.name)),
        [=] { return PlanStore::placeTask(projectId, id, index); },
        QStringLiteral("That would close a loop, so nothing was changed: %1."));
}

void TimelineWindow::toggleMilestone(int row) {
    const Item task = m_view->itemAt(row);
    if (task.summary) {
        Messages::current().notice(
            QStringLiteral("A summary task spans the tasks under it, so it cannot be a milestone."));
        return;
    }
    const qint64 projectId = task.projectId, id = task.id;
    const bool milestone = !task.milestone;
    changePlan(
        projectId,
        (milestone ? QStringLiteral("Make %1 a milestone") : QStringLiteral("Make %1 a task")).arg(oneLine(task.name)),
        [=] { return PlanStore::setMilestone(projectId, id, milestone); },
        QStringLiteral("That would close a loop, so nothing was changed: %1."));
}

void TimelineWindow::showContextMenu(int row, QPoint globalPos) {
    const Item item = m_view->itemAt(row);
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("TimelineContextMenu"));
    // The window's own actions, with the keys they have there: the menu acts on the selected row.
    if (auto* open = findChild<QAction*>(QStringLiteral("actionOpenItem")))
        menu.addAction(open);
    if (item.isTask && PlanStore::available()) {
        menu.addSeparator();
        for (const TaskCommands::Command& command : TaskCommands::all())
            if (auto* a = findChild<QAction*>(command.objectName))
                menu.addAction(a);
        for (const char* name :
             {"actionMilestone", "actionIndentTask", "actionOutdentTask", "actionMoveTaskUp", "actionMoveTaskDown"})
            if (auto* a = findChild<QAction*>(QLatin1String(name)))
                menu.addAction(a);
        if (auto* milestone = findChild<QAction*>(QStringLiteral("actionMilestone")))
            milestone->setChecked(item.milestone);
    }
    menu.exec(globalPos);
}

void TimelineWindow::openEditor(bool isTask, qint64 id, qint64 projectId) {
    ErrorTrap trap(windowName, QStringLiteral("OpenEditor"));
    trap.step(1, [&] {
        if (isTask)
            Editors::openTaskEditor(this, QString::number(id), QString::number(projectId),
                                    QStringLiteral("Edit Tasks"));
        else
            Editors::openProjectEditor(this, QString::number(id), QStringLiteral("Edit Data"));
    });
    refillAfterChange(projectId);
}

void TimelineWindow::print() {
    ErrorTrap trap(windowName, QStringLiteral("Print"));
    trap.step(4, [&] { m_view->scheduleAll(); }); // the critical tasks of every page
    // As for a PDF file: thousands of pages are not printed without asking.
    int fitPages = 0;
    {
        int pages = 0;
        trap.step(3, [&] {
            QPrinter probe(QPrinter::HighResolution);
            probe.setPageOrientation(QPageLayout::Landscape);
            pages = planPages(pageSize(probe), m_view->scene()).pages();
        });
        const std::optional<int> chosen = choosePages(pages, QStringLiteral("Print"));
        if (!chosen)
            return;
        fitPages = *chosen;
    }
    trap.step(1, [&] {
        auto paintOn = [this, fitPages](QPrinter* printer) {
            ErrorTrap paintTrap(windowName, QStringLiteral("Print"));
            paintTrap.step(2, [&] {
                QPainter painter(printer);
                printPages(*printer, painter, planPages(pageSize(*printer), m_view->scene(), fitPages));
            });
        };
        if (previewer()) {
            previewer()(this, paintOn);
            return;
        }
        QPrinter printer(QPrinter::HighResolution);
        printer.setPageOrientation(QPageLayout::Landscape);
        QPrintPreviewDialog dialog(&printer, this);
        dialog.setObjectName(QStringLiteral("TimelinePreview"));
        dialog.setWindowTitle(QStringLiteral("Timeline"));
        Appearance::applyIcon(&dialog);
        connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, paintOn);
        dialog.exec();
    });
}

void TimelineWindow::exportTimeline() {
    ErrorTrap trap(windowName, QStringLiteral("Export"));
    QString path;
    trap.step(1, [&] {
        path = Messages::current().saveFileName(
            QStringLiteral("Export Timeline"), QStringLiteral("Timeline.pdf"),
            QStringLiteral("PDF document (*.pdf);;PNG image (*.png);;SVG image (*.svg)"));
    });
    if (path.isEmpty())
        return;
    trap.step(4, [&] { m_view->scheduleAll(); }); // the critical tasks of every page
    // A PDF file of a long span or of many rows can run to thousands of pages: the user chooses
    // first, and can stop the writing.
    int fitPages = 0;
    if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0) {
        int pages = 0;
        trap.step(3, [&] { pages = planPages(pdfPageSize(), m_view->scene()).pages(); });
        const std::optional<int> chosen = choosePages(pages, QStringLiteral("Write"));
        if (!chosen)
            return;
        fitPages = *chosen;
    }
    trap.step(2, [&] {
        QString error;
        int leftOut = 0;
        QProgressDialog progress(QStringLiteral("Writing the timeline..."), QStringLiteral("Cancel"), 0, 1, this);
        progress.setObjectName(QStringLiteral("TimelineExportProgress"));
        progress.setWindowTitle(QStringLiteral("Export Timeline"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        const Progress follow = [&progress](int done, int total) {
            progress.setMaximum(total);
            progress.setValue(done);
            progress.setLabelText(QStringLiteral("Writing page %1 of %2...").arg(done).arg(total));
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        };
        if (!exportFile(path, m_view->scene(), &error, &leftOut, fitPages, follow)) {
            if (!error.isEmpty()) // empty: the user cancelled
                Messages::current().notice(error);
        } else if (leftOut > 0)
            Messages::current().notice(
                QStringLiteral("The image holds the first %1 rows; %2 rows did not fit. Export a PDF file to get "
                               "every row.")
                    .arg(m_view->rows().size() - static_cast<size_t>(leftOut))
                    .arg(leftOut));
    });
}

void TimelineWindow::closeEvent(QCloseEvent* event) {
    saveSettings();
    event->accept();
}

} // namespace Timeline
