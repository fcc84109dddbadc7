// The timeline on paper and in files: pages across and down, each with the row names and the
// time scale repeated; PDF, PNG and SVG files.
#pragma once

#include "TimelinePainter.h"

#include <QSizeF>

class QPagedPaintDevice;
class QPainter;

namespace Timeline {

struct PageGrid {
    int across = 1;
    int down = 1;
    int rowsPerPage = 1;
    double chartWidth = 1; // pixels of the chart each page shows
};
// How `rows` rows and a chart `chartWidth` pixels wide divide into pages of `page` (pixels).
PageGrid pageGrid(QSizeF page, const Geometry& geometry, int rows, double chartWidth);

// The days that go on paper: every readable date with a unit's room on each side, or the
// weeks around today when no row has one.
std::pair<QDate, QDate> outputSpan(const Data& data, QDate today, ScaleUnit unit, const QLocale& locale);

// The scene as it goes on paper: black on white, the scale starting at the span.
Scene paperScene(Scene scene);

// Prints every page on a device whose painter is open. Returns the number of pages.
int printPages(QPagedPaintDevice& device, QPainter& painter, const Scene& scene);

// The largest image written, in pixels each way: larger timelines are cut at the bottom
// (PDF has no such limit).
inline constexpr int maxImageSide = 16000;

// Writes the timeline to a file whose format follows its suffix (.pdf, .png, .svg). False with
// the reason when it could not be written. `rowsLeftOut` tells how many rows an image had no
// room for.
bool exportFile(const QString& path, const Scene& scene, QString* error, int* rowsLeftOut = nullptr);

} // namespace Timeline
