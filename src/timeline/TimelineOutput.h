// The timeline on paper and in files: pages across and down, each with the row names and the
// time scale repeated; PDF, PNG and SVG files.
#pragma once

#include "TimelinePainter.h"

#include <QSizeF>

#include <functional>

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

// Told after each page (pages done, pages in all); returns false to stop.
using Progress = std::function<bool(int done, int total)>;

// How the pages are laid out: the scene as it goes on paper and how much smaller than on the
// screen it is drawn (1: the same size).
struct PagePlan {
    Scene scene;
    double shrink = 1;
    PageGrid grid;
    int pages() const { return grid.across * grid.down; }
};
// The pages for `page` (pixels at 96 dpi) as the view shows the timeline, or, with `fitPages`
// above 0, fitted to at most that many pages: the whole span across one page (a coarser zoom
// where needed) and the rows drawn smaller until they go down that many pages.
PagePlan planPages(QSizeF page, const Scene& scene, int fitPages = 0);
// The page of `device` in pixels at 96 dpi.
QSizeF pageSize(const QPagedPaintDevice& device);

// Prints every page of the plan on a device whose painter is open. Returns the number of pages
// printed (fewer when `progress` stopped it).
int printPages(QPagedPaintDevice& device, QPainter& painter, const PagePlan& plan, const Progress& progress = {});
int printPages(QPagedPaintDevice& device, QPainter& painter, const Scene& scene);

// The largest image written, in pixels each way. A wider timeline is drawn at a coarser zoom,
// a taller one smaller (down to a quarter of its size); rows that still find no room are left
// out at the bottom (PDF has no such limit).
inline constexpr int maxImageSide = 16000;

// How many pages a PDF file gets: the export asks before writing more.
inline constexpr int pagesWithoutAsking = 300;
// The page of the PDF files written (landscape), in pixels at 96 dpi.
QSizeF pdfPageSize();

// Writes the timeline to a file whose format follows its suffix (.pdf, .png, .svg). False with
// the reason when it could not be written. `rowsLeftOut` tells how many rows an image had no
// room for; `fitPages` fits a PDF file to that many pages (0: as the view shows it); `progress`
// follows a PDF file page by page and can stop it (the file is then removed, and the reason is
// empty).
bool exportFile(const QString& path, const Scene& scene, QString* error, int* rowsLeftOut = nullptr, int fitPages = 0,
                const Progress& progress = {});

} // namespace Timeline
