// The chart of the timeline window: scrolls by rows down and by pixels across, zooms in steps,
// and lets the user drag a bar (or its end) and double-click it.
#pragma once

#include "TimelinePainter.h"

#include <QAbstractScrollArea>

#include <functional>
#include <optional>

namespace Timeline {

class TimelineView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TimelineView(QWidget* parent = nullptr);

    // Shows new items; the zoom, the collapsed projects and the place in the chart stay.
    void setData(Data data);
    const Data& data() const { return m_data; }
    const std::vector<Row>& rows() const { return m_rows; }

    int zoom() const { return m_zoom; }
    void setZoom(int step);
    // One step closer or wider, around the selected row's bar when it is in view (else the middle
    // of the chart): what the user looked at stays in view however far out and back in they go.
    void zoomIn() { zoomStep(+1); }
    void zoomOut() { zoomStep(-1); }
    // The closest zoom that shows every readable date, scrolled to the earliest.
    void fitAll();
    // Scrolls so that today stands in the middle.
    void goToToday();
    void setColourBy(ColourBy by);
    ColourBy colourBy() const { return m_colourBy; }
    // The keys of the legend for the current colouring, in the order of their colours.
    const std::vector<QString>& legend() const { return m_legend; }

    void setCollapsed(qint64 projectId, bool collapsed);
    void setAllCollapsed(bool collapsed);
    // Only the critical tasks and their projects.
    void setCriticalOnly(bool only);
    bool criticalOnly() const { return m_criticalOnly; }
    // Where the links come from: those of one project, and all at once.
    using ProjectLinkReader = std::function<std::vector<PlanLink>(qint64 projectId)>;
    using AllLinkReader = std::function<std::vector<PlanLink>()>;
    void setLinkReaders(ProjectLinkReader project, AllLinkReader all);
    // Reads the links and works out the slack of every project (done for the rows in view as they
    // come into view; printing and exporting need all).
    void scheduleAll();

    // The row the user works on (clicked last), -1 for none.
    int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row);
    // The item of a row (the row must exist).
    const Item& itemAt(int row) const { return itemOf(m_data, m_rows[static_cast<size_t>(row)]); }

    // The scene as painted now, for printing, export and measuring.
    Scene scene() const;
    int firstRow() const;
    double chartX() const;
    QDate today() const { return m_today; }
    // For tests: the day of the timeline that counts as today.
    void setToday(QDate today);

    // The row of a project or task, or -1. Scrolls it into view when asked.
    int rowOf(bool isTask, qint64 id) const;
    void scrollToRow(int row);
    // The bar of a row in viewport coordinates (empty when not visible or it has none).
    QRect barRectOf(int row) const;

signals:
    // The user dropped a bar at new dates.
    void moveRequested(bool isTask, qint64 id, QDate start, QDate end);
    // The user double-clicked a row.
    void openRequested(bool isTask, qint64 id, qint64 projectId);
    // The user drew a link from one task's handle to another task.
    void linkRequested(qint64 projectId, qint64 predecessor, qint64 successor, LinkKind kind);
    // The user dragged a task's name right (indent) or left (outdent).
    void indentRequested(int row, bool indent);
    // The user dragged a task's name up or down onto another row.
    void placeRequested(int row, int onRow);
    // A right click on a row, or the menu key (Shift+F10) on the selected one.
    void contextMenuRequested(int row, QPoint globalPos);
    // A project's tasks, as read, break their links (dates written past the plan).
    void linksBroken(qint64 projectId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    enum class Drag { None, Pan, Move, End, Link, Outline };

    int chartWidth() const;
    int visibleRows() const;
    // The row under a viewport point, or -1.
    int rowAt(QPoint pos) const;
    void updateRange();
    void updateScrollBars();
    void rebuildRows();
    void rebuildLegend();
    // Zooms keeping a day at a place of the chart: by default the day now under `anchorX`.
    void zoomAround(int step, double anchorX, std::optional<double> day = std::nullopt);
    void zoomStep(int by);
    // The first day of the chart as the last zoom or move meant it (a Julian day with its fraction).
    double firstDayMeant() const;
    // Selects a row by keyboard and scrolls it into view.
    void moveCurrentRow(int row);
    // The selected row's menu, opened by keyboard at the row.
    void keyboardContextMenu();
    void scrollToDate(QDate date, double atX);
    // Reads the links of the projects in view, and works out their slack.
    void scheduleVisible();
    // The handle of the task in `row` under a point: 0 none, 1 its start, 2 its finish.
    int handleAt(int row, QPoint pos) const;

    Data m_data;
    std::vector<Row> m_rows;
    std::vector<int> m_rowOfTask;
    QSet<qint64> m_collapsed;
    bool m_criticalOnly = false;
    ProjectLinkReader m_readProjectLinks;
    AllLinkReader m_readAllLinks;
    int m_currentRow = -1;
    int m_hoverRow = -1;
    int m_linkHandle = 0; // the handle a link is being drawn from
    QPoint m_linkTo;
    int m_zoom;
    QDate m_origin; // the first day the chart scrolls to
    QDate m_last;   // the last
    QDate m_today;
    // Where the last zoom meant the chart to start (Julian day with its fraction), and the scroll
    // position it got: a chart narrower than the window cannot scroll there, and the next zoom
    // starts from the intended place rather than from the edge the scroll bar was held at.
    struct ZoomPlace {
        double firstDay = 0;
        int scrolled = 0;
        QDate origin;
    };
    std::optional<ZoomPlace> m_zoomPlace;
    ColourBy m_colourBy = ColourBy::Status;
    std::vector<QString> m_legend;
    QHash<QString, int> m_colourIndex;
    Geometry m_geometry;

    Drag m_drag = Drag::None;
    QPoint m_pressPos;
    int m_pressScrollX = 0;
    int m_pressScrollY = 0;
    int m_dragRow = -1;
    QDate m_dragStart, m_dragEnd;
    // The item at the top of the view, kept through new data: a list refilled in parts (the first
    // screenful, then the rest) must not leave the user hundreds of thousands of rows away.
    struct Anchor {
        bool isTask = false;
        qint64 id = 0;
    };
    std::optional<Anchor> m_anchor;
    bool m_settingData = false;
    bool m_keyboardMenuAsked = false;
};

} // namespace Timeline
