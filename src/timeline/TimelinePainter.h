// Paints the timeline: the row names on the left, the time scale on top and the bars, for one
// screenful or one printed page. Only the rows and days inside the given size are visited.
#pragma once

#include "TimeScale.h"
#include "TimelineRows.h"

#include <QColor>
#include <QHash>
#include <QLocale>
#include <QRectF>
#include <QSize>

class QFont;
class QPainter;
class QPalette;

namespace Timeline {

// The colours the keys get: a palette that people with any kind of colour blindness can tell
// apart, and that stays readable on light and dark backgrounds.
const std::vector<QColor>& keyColours();
// The colour of one key (a status, priority or category), taken from its text alone: the same
// status has the same colour in every database and whatever other values exist.
QColor keyColour(const QString& key);
// What a status says about the work, read from its usual words ("In process", "Cancelled", ...).
enum class StatusKind { Other, Going, Over };
StatusKind statusKind(const QString& status);
// The colour of a key as the chart and its legend show it. By status the work going on gets the
// strongest colour and the work done or dropped a muted grey; the other statuses keep colours of
// their own, neither of those two.
QColor keyColour(const QString& key, ColourBy by);
// A name as it fits on one row: its first line, marked when more lines follow.
QString oneLine(const QString& name);
// Black or white, whichever reads better on the fill.
QColor textOn(const QColor& fill);

// The colours of everything but the bars.
struct Colours {
    QColor base, alternate, text, dimText, grid, weekend, today, header, headerText, mark;
    // The critical tasks' frame and links; the other links; the row the user works on.
    QColor critical, link, current;
    // From the window's palette, so that dark and light themes both read well.
    static Colours fromPalette(const QPalette& palette);
    // Black on white, for paper and files.
    static Colours forPaper();
};

struct Geometry {
    int nameWidth = 240;
    int bandHeight = 20; // each of the two bands of the time scale
    int rowHeight = 22;
    int scaleHeight() const { return 2 * bandHeight; }
};

// Everything one paint needs. The pointers are borrowed for the paint.
struct Scene {
    const Data* data = nullptr;
    const std::vector<Row>* rows = nullptr;
    const QSet<qint64>* collapsed = nullptr;
    const std::vector<int>* rowOfTask = nullptr; // see rowsOfTasks(); links are drawn when given
    TimeScale scale;
    ScaleUnit unit = ScaleUnit::Day;
    QLocale locale;
    QDate today;
    ColourBy colourBy = ColourBy::Status;
    QHash<QString, int> colourIndex; // key -> position in the legend
    Colours colours = Colours::forPaper();
    Geometry geometry;
    // A bar being dragged is shown at its new dates.
    int dragRow = -1;
    QDate dragStart, dragEnd;
    int currentRow = -1; // marked across the chart
    int hoverRow = -1;   // a task under the pointer shows the handles its links are drawn from
    // A link being drawn: from a handle to the pointer, in the coordinates of paint().
    bool linking = false;
    QPointF linkFrom, linkTo;

    QColor colourOf(const Item& item) const;
};

// Paints `size` with the rows from `firstRow` and the days from `chartX` (pixels from the
// scale's origin) at the left edge of the chart.
void paint(QPainter& painter, const Scene& scene, QSize size, int firstRow, double chartX);

// The bar of an item at the given dates, in the coordinates of paint(); the row's top at `top`.
// A reversed bar is the small square around its point.
QRectF barRect(const Scene& scene, const Item& item, QDate start, QDate end, double top, double chartX);

// The handles a link is dragged from: before a task bar's start and after its end.
QPointF linkHandle(const QRectF& bar, bool atFinish);
constexpr double linkHandleRadius = 4;

// The right edge of everything painted for the rows (bars, their frames, the labels beside them,
// the links' turns) with the chart at the scale's origin, in the coordinates of paint(), when
// painted with `font`. A file or page cut at the end of the span alone would lose the last labels.
double paintedRight(const Scene& scene, const QFont& font);

} // namespace Timeline
