#include "TimelineOutput.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

namespace Timeline {

PageGrid pageGrid(QSizeF page, const Geometry& g, int rows, double chartWidth) {
    PageGrid grid;
    grid.rowsPerPage = std::max(1, static_cast<int>((page.height() - g.scaleHeight()) / g.rowHeight));
    grid.chartWidth = std::max(1.0, std::floor(page.width() - g.nameWidth));
    grid.down = std::max(1, (rows + grid.rowsPerPage - 1) / grid.rowsPerPage);
    grid.across = std::max(1, static_cast<int>(std::ceil(chartWidth / grid.chartWidth - 1e-9)));
    return grid;
}

std::pair<QDate, QDate> outputSpan(const Data& data, QDate today, ScaleUnit unit, const QLocale& locale) {
    auto [first, last] = dateRange(data);
    if (!first.isValid()) {
        first = today.addDays(-7);
        last = today.addDays(21);
    }
    first = unitStart(first, unit, locale.firstDayOfWeek());
    last = nextUnit(unitStart(last, unit, locale.firstDayOfWeek()), unit).addDays(-1);
    return {first, last};
}

Scene paperScene(Scene scene) {
    scene.colours = Colours::forPaper();
    scene.dragRow = -1;
    scene.currentRow = -1;
    scene.hoverRow = -1;
    scene.linking = false;
    const auto span = outputSpan(*scene.data, scene.today, scene.unit, scene.locale);
    scene.scale = TimeScale(span.first, scene.scale.pixelsPerDay());
    return scene;
}

namespace {

QFont outputFont(QFont font) {
    font.setPixelSize(12);
    return font;
}

void useOutputFont(QPainter& p) {
    p.setFont(outputFont(p.font()));
}

// The span's days, and room for what is painted past its last day: a milestone stands at the end
// of its day and the names go beside the bars.
double chartWidthOf(const Scene& s) {
    const auto span = outputSpan(*s.data, s.today, s.unit, s.locale);
    const double days = static_cast<double>(span.first.daysTo(span.second) + 1) * s.scale.pixelsPerDay();
    return std::max(days, std::ceil(paintedRight(s, outputFont(QFont())) - s.geometry.nameWidth + 4));
}

} // namespace

QSizeF pageSize(const QPagedPaintDevice& device) {
    const double scale = device.logicalDpiX() / 96.0;
    return {device.width() / scale, device.height() / scale};
}

namespace {
void setUpPdf(QPdfWriter& writer) {
    writer.setTitle(QStringLiteral("Timeline"));
    writer.setResolution(300);
    writer.setPageOrientation(QPageLayout::Landscape);
}
} // namespace

QSizeF pdfPageSize() {
    QBuffer unused;
    QPdfWriter writer(&unused);
    setUpPdf(writer);
    return pageSize(writer);
}

PagePlan planPages(QSizeF page, const Scene& sceneIn, int fitPages) {
    PagePlan plan;
    plan.scene = paperScene(sceneIn);
    Scene& s = plan.scene;
    const Geometry& g = s.geometry;
    const int rows = static_cast<int>(s.rows->size());
    plan.grid = pageGrid(page, g, rows, chartWidthOf(s));
    if (fitPages <= 0 || plan.pages() <= fitPages)
        return plan;
    // The whole span across one page, at the closest zoom that lets it.
    const auto span = outputSpan(*s.data, s.today, ScaleUnit::Day, s.locale);
    const int step = fitZoom(span.first.daysTo(span.second) + 1, std::floor(page.width() - g.nameWidth));
    const ZoomStep& zoom = zoomSteps()[static_cast<size_t>(step)];
    if (zoom.pixelsPerDay < s.scale.pixelsPerDay()) {
        Scene coarser = sceneIn;
        coarser.scale = TimeScale(coarser.scale.origin(), zoom.pixelsPerDay);
        coarser.unit = zoom.unit;
        s = paperScene(coarser);
    }
    // The rows smaller until they go down `fitPages` pages.
    const int rowsPerPage = (rows + fitPages - 1) / std::max(1, fitPages);
    const double needed = g.scaleHeight() + static_cast<double>(rowsPerPage) * g.rowHeight + 1;
    plan.shrink = std::min(1.0, page.height() / needed);
    plan.grid = pageGrid(page / plan.shrink, g, rows, chartWidthOf(s));
    return plan;
}

int printPages(QPagedPaintDevice& device, QPainter& painter, const PagePlan& plan, const Progress& progress) {
    const Scene& s = plan.scene;
    const PageGrid& grid = plan.grid;
    const double scale = device.logicalDpiX() / 96.0 * plan.shrink;
    const int rows = static_cast<int>(s.rows->size());
    const int total = plan.pages();
    useOutputFont(painter);
    int pages = 0;
    for (int down = 0; down < grid.down; ++down) {
        const int firstRow = down * grid.rowsPerPage;
        const int rowsHere = std::min(grid.rowsPerPage, rows - firstRow);
        const QSize size(static_cast<int>(s.geometry.nameWidth + grid.chartWidth),
                         s.geometry.scaleHeight() + std::max(rowsHere, 0) * s.geometry.rowHeight);
        for (int across = 0; across < grid.across; ++across) {
            if (pages > 0)
                device.newPage();
            painter.save();
            painter.scale(scale, scale);
            painter.setClipRect(QRect(QPoint(0, 0), size));
            paint(painter, s, size, firstRow, across * grid.chartWidth);
            painter.restore();
            ++pages;
            if (progress && !progress(pages, total))
                return pages;
        }
    }
    return pages;
}

int printPages(QPagedPaintDevice& device, QPainter& painter, const Scene& scene) {
    return printPages(device, painter, planPages(pageSize(device), scene));
}

bool exportFile(const QString& path, const Scene& sceneIn, QString* error, int* rowsLeftOut, int fitPages,
                const Progress& progress) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (rowsLeftOut)
        *rowsLeftOut = 0;
    if (suffix == QLatin1String("pdf")) {
        const PagePlan plan = planPages(pdfPageSize(), sceneIn, fitPages);
        bool stopped = false;
        {
            QPdfWriter writer(path);
            setUpPdf(writer);
            QPainter painter;
            if (!painter.begin(&writer)) {
                *error = QStringLiteral("The file cannot be written.");
                return false;
            }
            const int printed = printPages(writer, painter, plan, progress);
            stopped = printed < plan.pages();
            if (!painter.end() && !stopped) {
                *error = QStringLiteral("The file cannot be written.");
                return false;
            }
        }
        if (stopped) {
            QFile::remove(path); // a timeline cut short is no timeline
            error->clear();
            return false;
        }
        return true;
    }
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg")) {
        *error = QStringLiteral("Choose a file name that ends in .pdf, .png or .svg.");
        return false;
    }
    Scene s = paperScene(sceneIn);
    const Geometry& g = s.geometry;
    // Too wide: the closest zoom at which the whole span fits.
    if (g.nameWidth + chartWidthOf(s) > maxImageSide) {
        const auto span = outputSpan(*s.data, s.today, ScaleUnit::Day, s.locale);
        const ZoomStep& zoom =
            zoomSteps()[static_cast<size_t>(fitZoom(span.first.daysTo(span.second) + 1, maxImageSide - g.nameWidth))];
        Scene coarser = sceneIn;
        coarser.scale = TimeScale(coarser.scale.origin(), zoom.pixelsPerDay);
        coarser.unit = zoom.unit;
        s = paperScene(coarser);
    }
    // Too tall: drawn smaller, down to a quarter; the rows that still do not fit are left out.
    const int rows = static_cast<int>(s.rows->size());
    const double width = std::ceil(g.nameWidth + chartWidthOf(s));
    const double height = g.scaleHeight() + static_cast<double>(rows) * g.rowHeight;
    const double shrink = std::clamp(maxImageSide / height, 0.25, 1.0);
    const int rowsFit = std::max(0, static_cast<int>((maxImageSide / shrink - g.scaleHeight()) / g.rowHeight));
    const int rowsShown = std::min(rows, rowsFit);
    if (rowsLeftOut)
        *rowsLeftOut = rows - rowsShown;
    const QSize drawn(static_cast<int>(std::min(width, maxImageSide / shrink)),
                      g.scaleHeight() + rowsShown * g.rowHeight);
    const QSize size(std::min(maxImageSide, static_cast<int>(std::ceil(drawn.width() * shrink))),
                     std::min(maxImageSide, static_cast<int>(std::ceil(drawn.height() * shrink))));
    auto draw = [&](QPainter& painter) {
        painter.scale(shrink, shrink);
        useOutputFont(painter);
        paint(painter, s, drawn, 0, 0);
    };
    if (suffix == QLatin1String("png")) {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull()) {
            *error = QStringLiteral("There is not enough memory for an image of this size.");
            return false;
        }
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            draw(painter);
        }
        if (!image.save(path, "PNG")) {
            *error = QStringLiteral("The file cannot be written.");
            return false;
        }
        return true;
    }
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setTitle(QStringLiteral("Timeline"));
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    QPainter painter;
    if (!painter.begin(&svg)) {
        *error = QStringLiteral("The file cannot be written.");
        return false;
    }
    draw(painter);
    if (!painter.end() || QFileInfo(path).size() == 0) {
        *error = QStringLiteral("The file cannot be written.");
        return false;
    }
    return true;
}

} // namespace Timeline
