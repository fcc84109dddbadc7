// The banded report renderer: lays the rows of a table out page by page after a design and
// hands every text it places, with its box in twips, to a surface (a printer, a PDF writer,
// any paint device, or a recorder in tests).
#pragma once

#include "ReportDesign.h"
#include "ReportTable.h"

#include <QFontMetricsF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>

#include <functional>
#include <vector>

class QPainter;
class QPaintDevice;

namespace Reports {

// One text the renderer puts on a page.
struct DrawnText {
    int page = 0;    // from 1
    QString section; // Section1 ...
    QString control; // Label1, Text3 ...
    QString text;    // a grown box holds its printed lines joined by '\n'
    QRectF box;      // twips, measured from the top-left corner of the page (margins included)
    ReportFont font;
    bool multiLine = false; // a box that grows: one line of text per '\n'
};

// Where the pages go.
class ReportSurface {
public:
    virtual ~ReportSurface() = default;
    // The whole page in twips.
    virtual QSizeF pageSize() const = 0;
    // Starts a page (1, 2, ...); the first call starts the first page.
    virtual void beginPage(int page) = 0;
    virtual void drawText(const DrawnText& item) = 0;
    // The lines of a text word-wrapped to a width in twips, as this surface prints them.
    virtual QStringList wrapLines(const QString& text, const ReportFont& font, double width) const;
    // The distance between two lines in twips.
    virtual double lineHeight(const ReportFont& font) const;
};

// Paints on a paint device. On a printer or PDF writer pages after the first come from
// newPage() and coordinates are taken from the page's corner whatever its margins; other
// devices (an image, say) receive the first page only.
class PainterSurface : public ReportSurface {
public:
    explicit PainterSurface(QPainter& painter);

    QSizeF pageSize() const override;
    void beginPage(int page) override;
    void drawText(const DrawnText& item) override;
    QStringList wrapLines(const QString& text, const ReportFont& font, double width) const override;
    double lineHeight(const ReportFont& font) const override;

    // The box of an item on the device, in device pixels.
    QRectF deviceRect(const QRectF& twips) const;

private:
    const QFontMetricsF& metrics(const ReportFont& font) const;

    QPainter& m_painter;
    QPaintDevice* m_device;
    bool m_paged = false;
    double m_dpiX = 96;
    double m_dpiY = 96;
    QPointF m_origin; // device position of the page's top-left corner
    QSizeF m_pageTwips;
    int m_page = 0;
    mutable std::vector<std::pair<ReportFont, QFontMetricsF>> m_metrics;
    mutable std::vector<std::pair<ReportFont, QFont>> m_fonts;
    const QFont& qfont(const ReportFont& font) const;
};

// Keeps what was drawn, for tests and for counting.
class RecordingSurface : public ReportSurface {
public:
    explicit RecordingSurface(QSizeF pageTwips)
        : m_page(pageTwips) {}

    QSizeF pageSize() const override { return m_page; }
    void beginPage(int page) override { m_pages = page; }
    void drawText(const DrawnText& item) override { m_items.push_back(item); }

    int pages() const { return m_pages; }
    const QVector<DrawnText>& items() const { return m_items; }
    // The texts in drawing order (optionally of one page only).
    QStringList texts(int page = 0) const;

private:
    QSizeF m_page;
    int m_pages = 0;
    QVector<DrawnText> m_items;
};

// The text a field prints for a value: a date in the control's date format, a number as
// plain decimal text, any other value as it is, nothing for a missing value.
QString fieldText(const QVariant& value, const QString& dateFormat);

// Lays out all rows of the table after the design and draws them on the surface; returns
// the number of pages. Throws DbError when the design is wider than the page or binds a
// field that the table lacks.
int renderReport(const ReportDesign& design, const ReportTable& table, ReportSurface& surface);
// The same checks without drawing anything: throws DbError as renderReport() would.
void checkReport(const ReportDesign& design, const ReportTable& table, const QSizeF& pageTwips);

} // namespace Reports
