#include "TimelineView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace Timeline {

namespace {
// How close to a bar's right end a press grabs the end rather than the whole bar.
constexpr int endGrip = 6;
// How far a task's name is dragged across to put it under the task above or take it out.
constexpr int outlineStep = 24;
} // namespace

TimelineView::TimelineView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_zoom(defaultZoom())
    , m_today(QDate::currentDate()) {
    setObjectName(QStringLiteral("TimelineView"));
    viewport()->setObjectName(QStringLiteral("TimelineViewport"));
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    const QFontMetrics fm(font());
    m_geometry.rowHeight = std::max(22, fm.height() + 8);
    m_geometry.bandHeight = std::max(20, fm.height() + 6);
    horizontalScrollBar()->setSingleStep(40);
    verticalScrollBar()->setSingleStep(1);
    updateRange();
}

void TimelineView::setData(Data data) {
    // The item at the top stays at the top; while it is not there yet (the rest of a list being
    // read) it is looked for again with the next data, unless the user scrolls meanwhile.
    const int first = firstRow();
    if (!m_anchor && first >= 0 && first < static_cast<int>(m_rows.size())) {
        const Item& top = itemOf(m_data, m_rows[static_cast<size_t>(first)]);
        m_anchor = Anchor{top.isTask, top.id};
    }
    std::optional<Anchor> current;
    if (m_currentRow >= 0 && m_currentRow < static_cast<int>(m_rows.size()))
        current = Anchor{itemAt(m_currentRow).isTask, itemAt(m_currentRow).id};
    m_data = std::move(data);
    m_hoverRow = -1;
    if (m_criticalOnly)
        scheduleAll();
    // Projects that are gone need not stay collapsed.
    QSet<qint64> present;
    for (const Item& p : m_data.projects)
        if (m_collapsed.contains(p.id))
            present.insert(p.id);
    m_collapsed = std::move(present);
    if (m_dragRow >= 0) {
        m_drag = Drag::None;
        m_dragRow = -1;
    }
    m_settingData = true;
    rebuildRows();
    m_currentRow = current ? rowOf(current->isTask, current->id) : -1;
    if (m_anchor) {
        const int row = rowOf(m_anchor->isTask, m_anchor->id);
        if (row >= 0) {
            verticalScrollBar()->setValue(row);
            m_anchor.reset();
        }
    }
    m_settingData = false;
    scheduleVisible();
    rebuildLegend();
    const int x = horizontalScrollBar()->value();
    const QDate oldOrigin = m_origin;
    const bool zoomPlaceKept = m_zoomPlace && m_zoomPlace->scrolled == x && m_zoomPlace->origin == oldOrigin;
    updateRange();
    // Keep the same days in view although the chart may now start elsewhere.
    horizontalScrollBar()->setValue(
        x + static_cast<int>(std::lround(static_cast<double>(m_origin.daysTo(oldOrigin)) *
                                         zoomSteps()[static_cast<size_t>(m_zoom)].pixelsPerDay)));
    if (zoomPlaceKept)
        m_zoomPlace = ZoomPlace{m_zoomPlace->firstDay, horizontalScrollBar()->value(), m_origin};
    viewport()->update();
}

void TimelineView::setToday(QDate today) {
    m_today = today;
    updateRange();
    viewport()->update();
}

void TimelineView::rebuildRows() {
    m_rows = buildRows(m_data, m_collapsed, m_criticalOnly);
    m_rowOfTask = rowsOfTasks(m_data, m_rows);
    updateScrollBars();
}

void TimelineView::setCurrentRow(int row) {
    row = row >= 0 && row < static_cast<int>(m_rows.size()) ? row : -1;
    if (row != m_currentRow) {
        m_currentRow = row;
        viewport()->update();
    }
}

void TimelineView::setCriticalOnly(bool only) {
    if (only == m_criticalOnly)
        return;
    std::optional<Anchor> current;
    if (m_currentRow >= 0)
        current = Anchor{itemAt(m_currentRow).isTask, itemAt(m_currentRow).id};
    m_criticalOnly = only;
    if (only)
        scheduleAll();
    rebuildRows();
    m_currentRow = current ? rowOf(current->isTask, current->id) : -1;
    viewport()->update();
}

void TimelineView::setLinkReaders(ProjectLinkReader project, AllLinkReader all) {
    m_readProjectLinks = std::move(project);
    m_readAllLinks = std::move(all);
}

void TimelineView::scheduleAll() {
    bool allRead = true;
    for (size_t p = 0; p < m_data.projects.size() && allRead; ++p)
        allRead = m_data.linksRead(p);
    if (!allRead && m_readAllLinks)
        setAllLinks(m_data, m_readAllLinks());
    for (size_t p = 0; p < m_data.projects.size(); ++p)
        if (scheduleProject(m_data, p))
            emit linksBroken(m_data.projects[p].id);
}

void TimelineView::scheduleVisible() {
    const int first = firstRow();
    const int last = std::min(static_cast<int>(m_rows.size()), first + visibleRows() + 2);
    int done = -1;
    for (int r = std::max(0, first); r < last; ++r) {
        const int project = m_rows[static_cast<size_t>(r)].project;
        if (project == done)
            continue;
        done = project;
        if (!m_data.linksRead(static_cast<size_t>(project)) && m_readProjectLinks)
            setProjectLinks(m_data, static_cast<size_t>(project),
                            m_readProjectLinks(m_data.projects[static_cast<size_t>(project)].id));
        if (scheduleProject(m_data, static_cast<size_t>(project)))
            emit linksBroken(m_data.projects[static_cast<size_t>(project)].id);
    }
}

void TimelineView::rebuildLegend() {
    m_legend = legendKeys(m_data, m_colourBy);
    m_colourIndex.clear();
    for (size_t i = 0; i < m_legend.size(); ++i)
        m_colourIndex.insert(m_legend[i], static_cast<int>(i));
}

void TimelineView::setColourBy(ColourBy by) {
    m_colourBy = by;
    rebuildLegend();
    viewport()->update();
}

void TimelineView::setCollapsed(qint64 projectId, bool collapsed) {
    if (collapsed)
        m_collapsed.insert(projectId);
    else
        m_collapsed.remove(projectId);
    rebuildRows();
    viewport()->update();
}

void TimelineView::setAllCollapsed(bool collapsed) {
    m_collapsed.clear();
    if (collapsed)
        for (const Item& p : m_data.projects)
            m_collapsed.insert(p.id);
    rebuildRows();
    viewport()->update();
}

int TimelineView::chartWidth() const {
    return std::max(1, viewport()->width() - m_geometry.nameWidth);
}

int TimelineView::visibleRows() const {
    return std::max(1, (viewport()->height() - m_geometry.scaleHeight()) / m_geometry.rowHeight);
}

void TimelineView::updateRange() {
    // The chart reaches a good way past the dates and today on both sides.
    auto [first, last] = dateRange(m_data);
    if (!first.isValid() || m_today < first)
        first = m_today;
    if (!last.isValid() || m_today > last)
        last = m_today;
    m_origin = unitStart(first.addDays(-92), ScaleUnit::Quarter, Qt::Monday);
    m_last = last.addDays(183);
    updateScrollBars();
}

void TimelineView::updateScrollBars() {
    const double ppd = zoomSteps()[static_cast<size_t>(m_zoom)].pixelsPerDay;
    const double total = static_cast<double>(m_origin.daysTo(m_last) + 1) * ppd;
    horizontalScrollBar()->setRange(0, std::max(0, static_cast<int>(std::ceil(total)) - chartWidth()));
    horizontalScrollBar()->setPageStep(chartWidth());
    const int rows = static_cast<int>(m_rows.size());
    verticalScrollBar()->setRange(0, std::max(0, rows - visibleRows()));
    verticalScrollBar()->setPageStep(visibleRows());
}

Scene TimelineView::scene() const {
    Scene s;
    s.data = &m_data;
    s.rows = &m_rows;
    s.collapsed = &m_collapsed;
    s.rowOfTask = &m_rowOfTask;
    s.currentRow = m_currentRow;
    s.hoverRow = m_drag == Drag::None ? m_hoverRow : -1;
    const ZoomStep& step = zoomSteps()[static_cast<size_t>(m_zoom)];
    s.scale = TimeScale(m_origin, step.pixelsPerDay);
    s.unit = step.unit;
    s.locale = locale();
    s.today = m_today;
    s.colourBy = m_colourBy;
    s.colourIndex = m_colourIndex;
    s.colours = Colours::fromPalette(palette());
    s.geometry = m_geometry;
    if (m_drag == Drag::Move || m_drag == Drag::End) {
        s.dragRow = m_dragRow;
        s.dragStart = m_dragStart;
        s.dragEnd = m_dragEnd;
    }
    if (m_drag == Drag::Link && m_dragRow >= 0) {
        const Item& item = itemAt(m_dragRow);
        const double top = m_geometry.scaleHeight() + (m_dragRow - firstRow()) * m_geometry.rowHeight;
        s.linking = true;
        s.linkFrom = linkHandle(barRect(s, item, item.start, item.end, top, chartX()), m_linkHandle == 2);
        s.linkTo = m_linkTo;
    }
    return s;
}

int TimelineView::firstRow() const {
    return verticalScrollBar()->value();
}

double TimelineView::chartX() const {
    return horizontalScrollBar()->value();
}

void TimelineView::paintEvent(QPaintEvent*) {
    scheduleVisible();
    QPainter painter(viewport());
    paint(painter, scene(), viewport()->size(), firstRow(), chartX());
}

void TimelineView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TimelineView::scrollContentsBy(int, int dy) {
    if (dy != 0 && !m_settingData)
        m_anchor.reset(); // the user went elsewhere
    viewport()->update();
}

void TimelineView::setZoom(int step) {
    zoomAround(step, chartWidth() / 2.0);
}

void TimelineView::zoomAround(int step, double anchorX, std::optional<double> day) {
    step = clampZoom(step);
    const double oldPpd = zoomSteps()[static_cast<size_t>(m_zoom)].pixelsPerDay;
    const double origin = static_cast<double>(m_origin.toJulianDay());
    const double anchorDay = day ? *day : firstDayMeant() + anchorX / oldPpd;
    m_zoom = step;
    updateScrollBars();
    const double ppd = zoomSteps()[static_cast<size_t>(m_zoom)].pixelsPerDay;
    const double newFirst = anchorDay - anchorX / ppd;
    horizontalScrollBar()->setValue(static_cast<int>(std::lround((newFirst - origin) * ppd)));
    m_zoomPlace = ZoomPlace{newFirst, horizontalScrollBar()->value(), m_origin};
    viewport()->update();
}

double TimelineView::firstDayMeant() const {
    // A chart narrower than the window holds its scroll bar at the start: the place the last zoom
    // or move meant counts, not that edge.
    if (m_zoomPlace && m_zoomPlace->scrolled == horizontalScrollBar()->value() && m_zoomPlace->origin == m_origin)
        return m_zoomPlace->firstDay;
    return static_cast<double>(m_origin.toJulianDay()) +
           chartX() / zoomSteps()[static_cast<size_t>(m_zoom)].pixelsPerDay;
}

void TimelineView::zoomStep(int by) {
    double anchorX = chartWidth() / 2.0;
    std::optional<double> day;
    // The selected bar in the rows shown: its middle stays where it is, or comes to the middle.
    const int row = m_currentRow;
    if (row >= firstRow() && row < firstRow() + visibleRows() && row < static_cast<int>(m_rows.size())) {
        const Item& item = itemAt(row);
        if (item.start.isValid()) {
            const QDate end = item.end.isValid() && item.end >= item.start ? item.end : item.start;
            const double middle = static_cast<double>(item.start.toJulianDay()) + (item.start.daysTo(end) + 1) / 2.0;
            const double ppd = zoomSteps()[static_cast<size_t>(m_zoom)].pixelsPerDay;
            const double x = (middle - firstDayMeant()) * ppd;
            if (x >= 0 && x <= chartWidth())
                anchorX = x;
            day = middle;
        }
    }
    zoomAround(m_zoom + by, anchorX, day);
}

void TimelineView::scrollToDate(QDate date, double atX) {
    const double ppd = zoomSteps()[static_cast<size_t>(m_zoom)].pixelsPerDay;
    horizontalScrollBar()->setValue(
        static_cast<int>(std::lround(static_cast<double>(m_origin.daysTo(date)) * ppd - atX)));
    // Where it was meant to go, for a zoom that follows (the scroll bar may not reach there).
    m_zoomPlace =
        ZoomPlace{static_cast<double>(date.toJulianDay()) - atX / ppd, horizontalScrollBar()->value(), m_origin};
}

void TimelineView::fitAll() {
    const auto [first, last] = dateRange(m_data);
    if (!first.isValid()) {
        goToToday();
        return;
    }
    const qint64 days = first.daysTo(last) + 1;
    m_zoom = fitZoom(days + 2, chartWidth());
    updateScrollBars();
    scrollToDate(first.addDays(-1), 0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void TimelineView::goToToday() {
    scrollToDate(m_today, chartWidth() / 2.0);
    viewport()->update();
}

int TimelineView::rowOf(bool isTask, qint64 id) const {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const Item& item = itemOf(m_data, m_rows[i]);
        if (item.isTask == isTask && item.id == id)
            return static_cast<int>(i);
    }
    return -1;
}

void TimelineView::scrollToRow(int row) {
    if (row < firstRow() || row >= firstRow() + visibleRows())
        verticalScrollBar()->setValue(row - visibleRows() / 2);
    if (row >= 0 && row < static_cast<int>(m_rows.size())) {
        const Item& item = itemOf(m_data, m_rows[static_cast<size_t>(row)]);
        if (item.start.isValid()) {
            const double x = m_origin.daysTo(item.start) * zoomSteps()[static_cast<size_t>(m_zoom)].pixelsPerDay;
            if (x < chartX() || x > chartX() + chartWidth() - 40)
                scrollToDate(item.start, chartWidth() / 4.0);
        }
    }
}

QRect TimelineView::barRectOf(int row) const {
    if (row < firstRow() || row >= firstRow() + visibleRows() || row >= static_cast<int>(m_rows.size()))
        return {};
    const Item& item = itemOf(m_data, m_rows[static_cast<size_t>(row)]);
    if (!item.hasBar())
        return {};
    const Scene s = scene();
    const double top = m_geometry.scaleHeight() + (row - firstRow()) * m_geometry.rowHeight;
    return barRect(s, item, item.start, item.end, top, chartX()).toAlignedRect();
}

int TimelineView::handleAt(int row, QPoint pos) const {
    if (row < 0 || !m_data.calendar || m_rows[static_cast<size_t>(row)].task < 0)
        return 0;
    const Item& item = itemAt(row);
    if (!item.hasBar() || item.reversed())
        return 0;
    const double top = m_geometry.scaleHeight() + (row - firstRow()) * m_geometry.rowHeight;
    const QRectF bar = barRect(scene(), item, item.start, item.end, top, chartX());
    for (int handle : {1, 2}) {
        const QPointF centre = linkHandle(bar, handle == 2);
        if (std::hypot(pos.x() - centre.x(), pos.y() - centre.y()) <= linkHandleRadius + 2)
            return handle;
    }
    return 0;
}

int TimelineView::rowAt(QPoint pos) const {
    if (pos.y() < m_geometry.scaleHeight())
        return -1;
    const int row = firstRow() + (pos.y() - m_geometry.scaleHeight()) / m_geometry.rowHeight;
    return row < static_cast<int>(m_rows.size()) ? row : -1;
}

void TimelineView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    m_pressPos = pos;
    m_pressScrollX = horizontalScrollBar()->value();
    m_pressScrollY = verticalScrollBar()->value();
    const int row = rowAt(pos);
    if (pos.x() < m_geometry.nameWidth) {
        // The triangle before a project's name collapses and expands its tasks.
        if (row >= 0 && m_rows[static_cast<size_t>(row)].task < 0 && pos.x() < 22) {
            const Item& project = itemOf(m_data, m_rows[static_cast<size_t>(row)]);
            setCollapsed(project.id, !m_collapsed.contains(project.id));
            return;
        }
        setCurrentRow(row);
        // A task's name dragged across puts it under the task above or takes it out; up or down,
        // it moves among the tasks under the same parent.
        if (row >= 0 && m_rows[static_cast<size_t>(row)].task >= 0 && m_data.calendar) {
            m_drag = Drag::Outline;
            m_dragRow = row;
        }
        return;
    }
    setCurrentRow(row);
    if (const int handle = handleAt(row, pos)) {
        m_drag = Drag::Link;
        m_dragRow = row;
        m_linkHandle = handle;
        m_linkTo = pos;
        viewport()->setCursor(Qt::CrossCursor);
        return;
    }
    const QRect bar = row >= 0 ? barRectOf(row) : QRect();
    if (!bar.isEmpty() && bar.adjusted(-2, 0, endGrip / 2, 0).contains(pos)) {
        const Item& item = itemOf(m_data, m_rows[static_cast<size_t>(row)]);
        // A summary spans its tasks and a milestone has no length: neither has an end to drag.
        const bool hasEnd = !item.reversed() && !item.summary && !item.milestone;
        m_drag = hasEnd && pos.x() >= bar.right() - endGrip ? Drag::End : Drag::Move;
        m_dragRow = row;
        m_dragStart = item.start;
        m_dragEnd = item.end;
        return;
    }
    m_drag = Drag::Pan;
    viewport()->setCursor(Qt::ClosedHandCursor);
}

void TimelineView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (m_drag == Drag::None) {
        // Over the end of a bar the pointer shows that it can be dragged.
        const int row = rowAt(pos);
        const QRect bar = row >= 0 && pos.x() >= m_geometry.nameWidth ? barRectOf(row) : QRect();
        const bool onEnd = !bar.isEmpty() && pos.y() >= bar.top() && pos.y() <= bar.bottom() &&
                           pos.x() >= bar.right() - endGrip && pos.x() <= bar.right() + endGrip / 2 &&
                           !itemAt(row).summary && !itemAt(row).milestone;
        const bool onHandle = pos.x() >= m_geometry.nameWidth && handleAt(row, pos) != 0;
        viewport()->setCursor(onHandle ? Qt::CrossCursor : onEnd ? Qt::SizeHorCursor : Qt::ArrowCursor);
        // A task under the pointer shows its link handles.
        const int hover = row >= 0 && m_data.calendar && m_rows[static_cast<size_t>(row)].task >= 0 ? row : -1;
        if (hover != m_hoverRow) {
            m_hoverRow = hover;
            viewport()->update();
        }
        return;
    }
    if (m_drag == Drag::Link) {
        m_linkTo = pos;
        viewport()->update();
        return;
    }
    if (m_drag == Drag::Outline)
        return;
    const QPoint delta = pos - m_pressPos;
    if (m_drag == Drag::Pan) {
        horizontalScrollBar()->setValue(m_pressScrollX - delta.x());
        verticalScrollBar()->setValue(m_pressScrollY - delta.y() / m_geometry.rowHeight);
        return;
    }
    const Item& item = itemOf(m_data, m_rows[static_cast<size_t>(m_dragRow)]);
    const qint64 days = TimeScale(m_origin, zoomSteps()[static_cast<size_t>(m_zoom)].pixelsPerDay).daysFor(delta.x());
    if (m_drag == Drag::Move) {
        m_dragStart = item.start.addDays(days);
        m_dragEnd = item.end.addDays(days);
    } else {
        // The end never goes before the start.
        m_dragStart = item.start;
        m_dragEnd = std::max(item.end.addDays(days), item.start);
    }
    viewport()->update();
}

void TimelineView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    const Drag drag = std::exchange(m_drag, Drag::None);
    viewport()->setCursor(Qt::ArrowCursor);
    const QPoint pos = event->position().toPoint();
    if (drag == Drag::Link || drag == Drag::Outline) {
        const int from = std::exchange(m_dragRow, -1);
        viewport()->update();
        if (from < 0 || from >= static_cast<int>(m_rows.size()))
            return;
        const Item source = itemAt(from);
        if (drag == Drag::Outline) {
            // Mostly up or down onto another row: a new place among its siblings; else across.
            const int across = pos.x() - m_pressPos.x();
            const int to = rowAt(pos);
            if (to >= 0 && to != from && std::abs(pos.y() - m_pressPos.y()) > std::abs(across))
                emit placeRequested(from, to);
            else if (std::abs(across) >= outlineStep)
                emit indentRequested(from, across > 0);
            return;
        }
        // Dropped on another task of the project: linked to the end of its bar nearer the pointer.
        const int to = rowAt(pos);
        if (to < 0 || m_rows[static_cast<size_t>(to)].task < 0)
            return;
        const Item& target = itemAt(to);
        const QRect bar = barRectOf(to);
        if (bar.isEmpty())
            return;
        // Let go where it was taken (a click on the handle) is no drop on the task itself. A drop
        // on another project's task or on the task itself goes on, to be refused with the reason.
        if (target.id == source.id && (pos - m_pressPos).manhattanLength() < QApplication::startDragDistance())
            return;
        const bool fromFinish = m_linkHandle == 2;
        const bool toStart = pos.x() < bar.center().x();
        const LinkKind kind = fromFinish ? (toStart ? LinkKind::FinishToStart : LinkKind::FinishToFinish)
                                         : (toStart ? LinkKind::StartToStart : LinkKind::StartToFinish);
        emit linkRequested(source.projectId, source.id, target.id, kind);
        return;
    }
    if ((drag == Drag::Move || drag == Drag::End) && m_dragRow >= 0 && m_dragRow < static_cast<int>(m_rows.size())) {
        const Item item = itemOf(m_data, m_rows[static_cast<size_t>(m_dragRow)]);
        m_dragRow = -1;
        viewport()->update();
        if (m_dragStart != item.start || m_dragEnd != item.end)
            emit moveRequested(item.isTask, item.id, m_dragStart, m_dragEnd);
        return;
    }
    m_dragRow = -1;
}

void TimelineView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos);
    if (row < 0 || (pos.x() < 22 && m_rows[static_cast<size_t>(row)].task < 0))
        return;
    m_drag = Drag::None;
    m_dragRow = -1;
    const Item item = itemOf(m_data, m_rows[static_cast<size_t>(row)]);
    emit openRequested(item.isTask, item.id, item.projectId);
}

void TimelineView::wheelEvent(QWheelEvent* event) {
    const QPoint angle = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        if (angle.y() != 0) {
            const double anchor = event->position().x() - m_geometry.nameWidth;
            zoomAround(m_zoom + (angle.y() > 0 ? 1 : -1), std::clamp(anchor, 0.0, double(chartWidth())));
        }
        event->accept();
        return;
    }
    if ((event->modifiers() & Qt::ShiftModifier) || angle.x() != 0) {
        const int step = angle.x() != 0 ? angle.x() : angle.y();
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() - step / 2);
        event->accept();
        return;
    }
    verticalScrollBar()->setValue(verticalScrollBar()->value() - angle.y() / 40);
    event->accept();
}

void TimelineView::keyPressEvent(QKeyEvent* event) {
    QScrollBar* h = horizontalScrollBar();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        keyboardContextMenu();
        return;
    }
    if (plain && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        const int step = event->key() == Qt::Key_Up ? -1 : 1;
        moveCurrentRow(m_currentRow < 0 ? firstRow() : m_currentRow + step);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
        h->setValue(h->value() - h->singleStep());
        return;
    case Qt::Key_Right:
        h->setValue(h->value() + h->singleStep());
        return;
    case Qt::Key_Home:
        verticalScrollBar()->setValue(0);
        return;
    case Qt::Key_End:
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        return;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void TimelineView::moveCurrentRow(int row) {
    const int count = static_cast<int>(m_rows.size());
    if (count == 0)
        return;
    row = std::clamp(row, 0, count - 1);
    setCurrentRow(row);
    if (row < firstRow())
        verticalScrollBar()->setValue(row);
    else if (row >= firstRow() + visibleRows())
        verticalScrollBar()->setValue(row - visibleRows() + 1);
    const Item& item = itemAt(row);
    if (item.start.isValid()) {
        const double x = m_origin.daysTo(item.start) * zoomSteps()[static_cast<size_t>(m_zoom)].pixelsPerDay;
        if (x < chartX() || x > chartX() + chartWidth() - 40)
            scrollToDate(item.start, chartWidth() / 4.0);
    }
}

void TimelineView::keyboardContextMenu() {
    // The platform may send a context menu event as well as the key: both ask, one menu opens.
    if (m_keyboardMenuAsked)
        return;
    m_keyboardMenuAsked = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_keyboardMenuAsked = false;
            if (m_rows.empty())
                return;
            moveCurrentRow(m_currentRow < 0 ? firstRow() : m_currentRow); // in view, at least the top row
            const int row = m_currentRow;
            // Below the row's name, or at the start of its bar where that is in view.
            const int top = m_geometry.scaleHeight() + (row - firstRow()) * m_geometry.rowHeight;
            const QRect bar = barRectOf(row);
            const int x = !bar.isEmpty() && bar.left() >= m_geometry.nameWidth && bar.left() < viewport()->width()
                              ? bar.left()
                              : m_geometry.nameWidth / 4;
            emit contextMenuRequested(row, viewport()->mapToGlobal(QPoint(x, top + m_geometry.rowHeight)));
        },
        Qt::QueuedConnection);
}

void TimelineView::contextMenuEvent(QContextMenuEvent* event) {
    // From the keyboard the event stands at the middle of the chart: the selected row's menu.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        keyboardContextMenu();
        return;
    }
    const int row = rowAt(event->pos());
    if (row < 0)
        return;
    setCurrentRow(row);
    emit contextMenuRequested(row, event->globalPos());
}

bool TimelineView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int row = rowAt(help->pos());
        if (row >= 0)
            QToolTip::showText(help->globalPos(),
                               Timeline::toolTip(itemOf(m_data, m_rows[static_cast<size_t>(row)]), m_today),
                               viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace Timeline
