#include "TimelineOutput.h"

#include <QFileInfo>
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
    const auto span = outputSpan(*scene.data, scene.today, scene.unit, scene.locale);
    scene.scale = TimeScale(span.first, scene.scale.pixelsPerDay());
    return scene;
}

namespace {

double chartWidthOf(const Scene& s) {
    const auto span = outputSpan(*s.data, s.today, s.unit, s.locale);
    return static_cast<double>(span.first.daysTo(span.second) + 1) * s.scale.pixelsPerDay();
}

void useOutputFont(QPainter& p) {
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
}

} // namespace

int printPages(QPagedPaintDevice& device, QPainter& painter, const Scene& sceneIn) {
    const Scene s = paperScene(sceneIn);
    const double scale = device.logicalDpiX() / 96.0;
    const QSizeF page(device.width() / scale, device.height() / scale);
    const int rows = static_cast<int>(s.rows->size());
    const PageGrid grid = pageGrid(page, s.geometry, rows, chartWidthOf(s));
    useOutputFont(painter);
    int pages = 0;
    for (int down = 0; down < grid.down; ++down) {
        const int firstRow = down * grid.rowsPerPage;
        const int rowsHere = std::min(grid.rowsPerPage, rows - firstRow);
        const QSize size(static_cast<int>(s.geometry.nameWidth + grid.chartWidth),
                         s.geometry.scaleHeight() + std::max(rowsHere, 0) * s.geometry.rowHeight);
        for (int across = 0; across < grid.across; ++across) {
            if (pages++ > 0)
                device.newPage();
            painter.save();
            painter.scale(scale, scale);
            painter.setClipRect(QRect(QPoint(0, 0), size));
            paint(painter, s, size, firstRow, across * grid.chartWidth);
            painter.restore();
        }
    }
    return pages;
}

bool exportFile(const QString& path, const Scene& sceneIn, QString* error, int* rowsLeftOut) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (rowsLeftOut)
        *rowsLeftOut = 0;
    if (suffix == QLatin1String("pdf")) {
        QPdfWriter writer(path);
        writer.setTitle(QStringLiteral("Timeline"));
        writer.setResolution(300);
        writer.setPageOrientation(QPageLayout::Landscape);
        QPainter painter;
        if (!painter.begin(&writer)) {
            *error = QStringLiteral("The file cannot be written.");
            return false;
        }
        printPages(writer, painter, sceneIn);
        return painter.end();
    }
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg")) {
        *error = QStringLiteral("Choose a file name that ends in .pdf, .png or .svg.");
        return false;
    }
    const Scene s = paperScene(sceneIn);
    const Geometry& g = s.geometry;
    const int rows = static_cast<int>(s.rows->size());
    const int rowsFit = std::max(0, (maxImageSide - g.scaleHeight()) / g.rowHeight);
    const int rowsShown = std::min(rows, rowsFit);
    if (rowsLeftOut)
        *rowsLeftOut = rows - rowsShown;
    const QSize size(std::min(maxImageSide, static_cast<int>(std::ceil(g.nameWidth + chartWidthOf(s)))),
                     g.scaleHeight() + rowsShown * g.rowHeight);
    if (suffix == QLatin1String("png")) {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull()) {
            *error = QStringLiteral("There is not enough memory for an image of this size.");
            return false;
        }
        {
            QPainter painter(&image);
            useOutputFont(painter);
            paint(painter, s, size, 0, 0);
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
    useOutputFont(painter);
    paint(painter, s, size, 0, 0);
    if (!painter.end() || QFileInfo(path).size() == 0) {
        *error = QStringLiteral("The file cannot be written.");
        return false;
    }
    return true;
}

} // namespace Timeline
