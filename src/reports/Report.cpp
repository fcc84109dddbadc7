#include "Report.h"

#include "ReportRenderer.h"
#include "app/DbError.h"

#include <QPagedPaintDevice>
#include <QPainter>

namespace Reports {

namespace {
QSizeF pageTwips(const QPagedPaintDevice& device) {
    return device.pageLayout().fullRect(QPageLayout::Point).size() * 20.0;
}
} // namespace

void Report::setDataSource(const ReportTable* rows) {
    if (!rows)
        throw DbError(QStringLiteral("Operation is not allowed when the object is closed."));
    m_rows = rows;
}

void Report::prepare(QPagedPaintDevice& device) const {
    device.setPageOrientation(m_orientation);
    // The design brings its own margins; a printer that cannot print to the edge keeps its
    // minimum and the page is still laid out from its corner.
    device.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

void Report::check(QPagedPaintDevice& device) const {
    if (!m_rows)
        throw DbError(QStringLiteral("The report has no data source."));
    prepare(device);
    checkReport(m_design, *m_rows, pageTwips(device));
}

int Report::print(QPagedPaintDevice& device) const {
    check(device);
    QPainter painter;
    if (!painter.begin(&device))
        throw DbError(QStringLiteral("The report could not be printed: the printer did not start."));
    const int pages = paint(painter);
    painter.end();
    return pages;
}

int Report::paint(QPainter& painter) const {
    if (!m_rows)
        throw DbError(QStringLiteral("The report has no data source."));
    PainterSurface surface(painter);
    return renderReport(m_design, *m_rows, surface);
}

} // namespace Reports
