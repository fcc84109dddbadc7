#include "TimelineWindow.h"

#include "TimelineData.h"
#include "TimelineEdit.h"
#include "TimelineOutput.h"
#include "TimelineView.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/Settings.h"
#include "app/widgets/Appearance.h"
#include "app/widgets/PlannerWindow.h"
#include "app/widgets/RecordListModel.h"
#include "app/widgets/RowSelection.h"
#include "app/widgets/ScreenFit.h"
#include "editors/Openers.h"

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
#include <QUndoStack>
#include <QVBoxLayout>

#include <optional>

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

// One drag of a bar: done when pushed, undone and redone through the same save.
class MoveCommand : public QUndoCommand {
public:
    // `apply` moves from the first pair of dates to the second.
    using Apply = std::function<void(std::pair<QDate, QDate>, std::pair<QDate, QDate>)>;
    MoveCommand(Apply apply, QDate oldStart, QDate oldEnd, QDate newStart, QDate newEnd, const QString& text)
        : QUndoCommand(text)
        , m_apply(std::move(apply))
        , m_old{oldStart, oldEnd}
        , m_new{newStart, newEnd} {}
    void redo() override {
        // The first save happened before the command was pushed.
        if (!std::exchange(m_first, false))
            m_apply(m_old, m_new);
    }
    void undo() override { m_apply(m_new, m_old); }

private:
    Apply m_apply;
    std::pair<QDate, QDate> m_old, m_new;
    bool m_first = true;
};

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
    , m_legend(new QLabel(this))
    , m_undo(new QUndoStack(this)) {
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
    QAction* undo = m_undo->createUndoAction(this, QStringLiteral("&Undo"));
    undo->setObjectName(QStringLiteral("actionTimelineUndo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = m_undo->createRedoAction(this, QStringLiteral("&Redo"));
    redo->setObjectName(QStringLiteral("actionTimelineRedo"));
    redo->setShortcut(QKeySequence::Redo);
    for (QAction* a : {undo, redo}) {
        a->setShortcutContext(Qt::WindowShortcut);
        edit->addAction(a);
        addAction(a);
    }

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
        // The same tasks, under the projects in their new order.
        Data data;
        data.projects = projectsFromList(*m_planner.projects());
        attachTasks(data, Data(m_view->data()).takeTasks());
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
        m_view->setData(std::move(data));
    });
}

void TimelineWindow::updateLegend() {
    // Swatches for the colours, then the marks that do not depend on colour.
    const auto& keys = m_view->legend();
    QString html;
    const size_t shown = std::min<size_t>(keys.size(), 24);
    for (size_t i = 0; i < shown; ++i) {
        const QColor c = keyColour(keys[i]);
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
                           "&nbsp;&middot;&nbsp; shaded: weekend");
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

void TimelineWindow::moveBar(bool isTask, qint64 id, QDate start, QDate end) {
    // The old dates and the project, from the item as shown.
    const int row = m_view->rowOf(isTask, id);
    if (row < 0)
        return;
    const Item item = itemOf(m_view->data(), m_view->rows()[static_cast<size_t>(row)]);
    const SaveResult result = saveDates(isTask, id, start, end);
    if (result != SaveResult::Saved) {
        // A refused move leaves the bar where it was; a failed or vanished record is read anew.
        if (result != SaveResult::Refused)
            refillAfterChange(item.projectId);
        else
            m_view->viewport()->update();
        return;
    }
    const qint64 projectId = item.projectId;
    auto apply = [this, isTask, id, projectId](std::pair<QDate, QDate> from, std::pair<QDate, QDate> to) {
        saveDates(isTask, id, to.first, to.second, from);
        refillAfterChange(projectId);
    };
    m_undo->push(new MoveCommand(apply, item.start, item.end, start, end, QStringLiteral("Move %1").arg(item.name)));
    refillAfterChange(projectId);
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
