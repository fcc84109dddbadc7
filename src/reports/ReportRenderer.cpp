#include "ReportRenderer.h"

#include "app/Database.h"
#include "app/DbError.h"
#include "app/ValueText.h"

#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace Reports {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kEpsilon = 0.01;

// Word-wraps each paragraph of a text to a width in the device's pixels.
QStringList wrapOn(QPaintDevice* device, const QString& text, const QFont& font, double width) {
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines;
    const QStringList paragraphs = normalized.split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        if (paragraph.isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(paragraph, font, device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            QString piece = paragraph.mid(line.textStart(), line.textLength());
            while (!piece.isEmpty() && piece.back().isSpace())
                piece.chop(1);
            lines << piece;
        }
        layout.endLayout();
    }
    return lines;
}

// A device whose pixels are twips, for measuring where no real device is at hand.
QPaintDevice* twipsDevice() {
    static QImage image = [] {
        QImage i(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = static_cast<int>(std::lround(kTwipsPerInch / 0.0254));
        i.setDotsPerMeterX(dotsPerMeter);
        i.setDotsPerMeterY(dotsPerMeter);
        return i;
    }();
    return &image;
}

bool hasGrowingControl(const ReportSection& section) {
    return std::any_of(section.controls.cbegin(), section.controls.cend(),
                       [](const ReportControl& c) { return c.canGrow; });
}

// One control of one printed section, in the section's own coordinates after growth.
struct Placed {
    const ReportControl* control;
    QString text;
    QStringList lines; // boxes that grow
    double top;
    double height;
    double lineHeight;
};

class Layout {
public:
    Layout(const ReportDesign& design, const ReportTable& table, ReportSurface& surface)
        : m_design(design)
        , m_table(table)
        , m_surface(surface) {}

    // Throws when the design cannot be laid out on the page or over the table.
    void check(const QSizeF& page) {
        if (m_design.width + m_design.leftMargin + m_design.rightMargin > page.width() + kEpsilon)
            throw DbError(QStringLiteral("The report width is larger than the paper width."));
        bindColumns();
    }

    int run() {
        const QSizeF page = m_surface.pageSize();
        check(page);
        m_bottomLimit = page.height() - m_design.bottomMargin - m_design.pageFooter.height;

        startPage();
        if (m_bottomLimit - m_bodyTop < kEpsilon)
            throw DbError(QStringLiteral("The report's headers do not leave room on the page."));
        for (int row = 0; row < m_table.rowCount(); ++row)
            printSection(m_design.detail, row);
        printReportFooter();
        finishPage();
        return m_page;
    }

private:
    void bindColumns() {
        m_columns.clear();
        for (const ReportSection* s : {&m_design.reportHeader, &m_design.pageHeader, &m_design.detail,
                                       &m_design.pageFooter, &m_design.reportFooter}) {
            for (const ReportControl& c : s->controls) {
                if (c.kind != ReportControl::Kind::Field)
                    continue;
                const int column = m_table.column(c.field);
                if (column < 0)
                    throw DbError(QStringLiteral("DataField '%1' not found").arg(c.field));
                m_columns.insert(&c, column);
            }
        }
    }

    void startPage() {
        ++m_page;
        m_surface.beginPage(m_page);
        m_y = m_design.topMargin;
        if (m_page == 1)
            printWhole(m_design.reportHeader, -1);
        printWhole(m_design.pageHeader, -1);
        m_bodyTop = m_y;
    }

    void finishPage() {
        const ReportSection& footer = m_design.pageFooter;
        if (footer.controls.isEmpty())
            return;
        const QVector<Placed> placed = place(footer, -1);
        draw(footer, placed, 0, sectionHeight(footer, placed), m_bottomLimit, false);
    }

    void newPage() {
        finishPage();
        startPage();
    }

    bool atPageTop() const { return m_y <= m_bodyTop + kEpsilon; }

    // Whether the control prints a milestone's date in this row.
    bool isMilestone(const ReportControl& c, int row) const {
        if (c.milestoneField.isEmpty())
            return false;
        const int column = m_table.column(c.milestoneField);
        return column >= 0 && m_table.value(row, column).toBool();
    }

    QVector<Placed> place(const ReportSection& section, int row) const {
        QVector<Placed> placed;
        placed.reserve(section.controls.size());
        for (const ReportControl& c : section.controls) {
            Placed p{&c, {}, {}, double(c.top), double(c.height), 0};
            if (c.kind == ReportControl::Kind::Label)
                p.text = c.caption;
            else if (row >= 0) {
                p.text = fieldText(m_table.value(row, m_columns.value(&c)), c.dateFormat);
                if (!p.text.isEmpty() && isMilestone(c, row))
                    p.text = milestoneDateText(p.text);
            }
            if (c.canGrow) {
                p.lineHeight = m_surface.lineHeight(c.font);
                if (!p.text.isEmpty())
                    p.lines = m_surface.wrapLines(p.text, c.font, c.width);
                p.height = std::max<double>(c.height, p.lines.size() * p.lineHeight);
            }
            placed << p;
        }
        // Whatever lies below a box that grew moves down with it.
        for (const Placed& grown : placed) {
            const double growth = grown.height - grown.control->height;
            if (growth <= 0)
                continue;
            const int bottom = grown.control->top + grown.control->height;
            for (Placed& p : placed)
                if (&p != &grown && p.control->top >= bottom)
                    p.top += growth;
        }
        return placed;
    }

    static double sectionHeight(const ReportSection& section, const QVector<Placed>& placed) {
        double growth = 0;
        for (const Placed& p : placed)
            growth += std::max(0.0, p.height - p.control->height);
        return section.height + growth;
    }

    // Draws the part [start, end) of a section with its position start at the page's y.
    // A box of a fixed size is drawn when its top lies in the part; a growing box draws the
    // lines that lie wholly in it.
    void draw(const ReportSection& section, const QVector<Placed>& placed, double start, double end, double y,
              bool clipAtEnd) {
        for (const Placed& p : placed) {
            const ReportControl& c = *p.control;
            DrawnText item;
            item.page = m_page;
            item.section = section.name;
            item.control = c.name;
            item.font = c.font;
            const double left = m_design.leftMargin + c.left;
            if (c.canGrow && !p.lines.isEmpty()) {
                int first = -1;
                int last = -1;
                for (int i = 0; i < p.lines.size(); ++i) {
                    const double lineTop = p.top + i * p.lineHeight;
                    if (lineTop >= start - kEpsilon && lineTop + p.lineHeight <= end + kEpsilon) {
                        if (first < 0)
                            first = i;
                        last = i;
                    }
                }
                if (first < 0)
                    continue;
                const double top = p.top + first * p.lineHeight;
                double bottom = p.top + (last + 1) * p.lineHeight;
                if (last == p.lines.size() - 1) // the box keeps at least its designed height
                    bottom = std::max(bottom, std::min(p.top + p.height, end));
                item.text = p.lines.mid(first, last - first + 1).join(QLatin1Char('\n'));
                item.multiLine = true;
                item.box = QRectF(left, y + top - start, c.width, bottom - top);
            } else {
                if (p.top < start - kEpsilon || p.top >= end - kEpsilon)
                    continue;
                double height = p.height;
                if (clipAtEnd)
                    height = std::min(height, end - p.top);
                item.text = p.text;
                item.box = QRectF(left, y + p.top - start, c.width, height);
            }
            m_surface.drawText(item);
        }
    }

    // A header or footer: drawn where it stands, never split.
    void printWhole(const ReportSection& section, int row) {
        const QVector<Placed> placed = place(section, row);
        const double height = sectionHeight(section, placed);
        draw(section, placed, 0, height, m_y, false);
        m_y += height;
    }

    // The position at or above `end` where a section may be cut: never through a box of a
    // fixed size, and in a growing box only between two lines.
    static double cutAt(const QVector<Placed>& placed, double end) {
        double cut = end;
        bool moved = true;
        while (moved) {
            moved = false;
            for (const Placed& p : placed) {
                if (!(p.top < cut - kEpsilon && cut < p.top + p.height - kEpsilon))
                    continue;
                double to = p.top;
                if (p.control->canGrow && p.lineHeight > 0) {
                    const double lines = std::floor((cut - p.top) / p.lineHeight + kEpsilon);
                    to = p.top + lines * p.lineHeight;
                }
                if (to < cut - kEpsilon) {
                    cut = to;
                    moved = true;
                }
            }
        }
        return cut;
    }

    void printSection(const ReportSection& section, int row) {
        const QVector<Placed> placed = place(section, row);
        const double height = sectionHeight(section, placed);
        if (height <= m_bottomLimit - m_y + kEpsilon) {
            draw(section, placed, 0, height, m_y, false);
            m_y += height;
            return;
        }
        // It does not fit below what the page holds already: a new page, where it fits unless
        // it is taller than a whole page.
        if (section.keepTogether || !hasGrowingControl(section)) {
            if (!atPageTop())
                newPage();
            if (height <= m_bottomLimit - m_y + kEpsilon) {
                draw(section, placed, 0, height, m_y, false);
                m_y += height;
                return;
            }
        }
        // Taller than a page (or allowed to break): continue the growing text over pages.
        double start = 0;
        for (;;) {
            const double room = m_bottomLimit - m_y;
            if (height - start <= room + kEpsilon) {
                draw(section, placed, start, height, m_y, false);
                m_y += height - start;
                return;
            }
            double cut = cutAt(placed, start + room);
            bool clip = false;
            if (cut <= start + kEpsilon) {
                if (!atPageTop()) {
                    newPage();
                    continue;
                }
                // Not even one line fits on an empty page: print what the page holds.
                cut = start + room;
                clip = true;
            }
            draw(section, placed, start, cut, m_y, clip);
            start = cut;
            newPage();
        }
    }

    void printReportFooter() {
        const ReportSection& footer = m_design.reportFooter;
        const QVector<Placed> placed = place(footer, -1);
        const double height = sectionHeight(footer, placed);
        if (height > m_bottomLimit - m_y + kEpsilon) {
            // An empty footer never asks for a page of its own.
            if (footer.controls.isEmpty())
                return;
            newPage();
        }
        draw(footer, placed, 0, height, m_y, false);
        m_y += height;
    }

    const ReportDesign& m_design;
    const ReportTable& m_table;
    ReportSurface& m_surface;
    QHash<const ReportControl*, int> m_columns;
    int m_page = 0;
    double m_y = 0;
    double m_bodyTop = 0;
    double m_bottomLimit = 0;
};

} // namespace

// ---------------------------------------------------------------- values

QString fieldText(const QVariant& value, const QString& dateFormat) {
    if (value.isNull())
        return {};
    if (!dateFormat.isEmpty()) {
        QDate date;
        if (value.typeId() == QMetaType::QDate)
            date = value.toDate();
        else if (value.typeId() == QMetaType::QDateTime)
            date = value.toDateTime().date();
        else
            date = QDate::fromString(value.toString().left(10), Qt::ISODate);
        if (date.isValid())
            return dateFormat == QLatin1String("short") ? shortDateText(date.toString(Qt::ISODate))
                                                        : date.toString(dateFormat);
    }
    return displayText(value, false);
}

int renderReport(const ReportDesign& design, const ReportTable& table, ReportSurface& surface) {
    return Layout(design, table, surface).run();
}

void checkReport(const ReportDesign& design, const ReportTable& table, const QSizeF& pageTwips) {
    RecordingSurface unused(pageTwips);
    Layout(design, table, unused).check(pageTwips);
}

// ---------------------------------------------------------------- surfaces

QStringList ReportSurface::wrapLines(const QString& text, const ReportFont& font, double width) const {
    return wrapOn(twipsDevice(), text, font.toQFont(), width);
}

double ReportSurface::lineHeight(const ReportFont& font) const {
    return QFontMetricsF(font.toQFont(), twipsDevice()).lineSpacing();
}

QStringList RecordingSurface::texts(int page) const {
    QStringList list;
    for (const DrawnText& item : m_items)
        if (page == 0 || item.page == page)
            list << item.text;
    return list;
}

PainterSurface::PainterSurface(QPainter& painter)
    : m_painter(painter)
    , m_device(painter.device()) {
    m_dpiX = m_device->logicalDpiX();
    m_dpiY = m_device->logicalDpiY();
    if (auto* paged = dynamic_cast<QPagedPaintDevice*>(m_device)) {
        m_paged = true;
        const QPageLayout layout = paged->pageLayout();
        const QRectF full = layout.fullRect(QPageLayout::Point);
        const QRectF paint = layout.paintRect(QPageLayout::Point);
        m_pageTwips = full.size() * 20.0; // 20 twips to the point
        m_origin = QPointF(-paint.left() * m_dpiX / 72.0, -paint.top() * m_dpiY / 72.0);
    } else {
        m_pageTwips = QSizeF(m_device->width() * kTwipsPerInch / m_dpiX, m_device->height() * kTwipsPerInch / m_dpiY);
    }
}

QSizeF PainterSurface::pageSize() const {
    return m_pageTwips;
}

void PainterSurface::beginPage(int page) {
    if (page > 1 && m_paged)
        static_cast<QPagedPaintDevice*>(m_device)->newPage();
    m_page = page;
}

QRectF PainterSurface::deviceRect(const QRectF& twips) const {
    return QRectF(m_origin.x() + twips.left() * m_dpiX / kTwipsPerInch,
                  m_origin.y() + twips.top() * m_dpiY / kTwipsPerInch, twips.width() * m_dpiX / kTwipsPerInch,
                  twips.height() * m_dpiY / kTwipsPerInch);
}

const QFont& PainterSurface::qfont(const ReportFont& font) const {
    for (const auto& [key, value] : m_fonts)
        if (key == font)
            return value;
    m_fonts.emplace_back(font, font.toQFont());
    return m_fonts.back().second;
}

const QFontMetricsF& PainterSurface::metrics(const ReportFont& font) const {
    for (const auto& [key, value] : m_metrics)
        if (key == font)
            return value;
    m_metrics.emplace_back(font, QFontMetricsF(qfont(font), m_device));
    return m_metrics.back().second;
}

QStringList PainterSurface::wrapLines(const QString& text, const ReportFont& font, double width) const {
    return wrapOn(m_device, text, qfont(font), width * m_dpiX / kTwipsPerInch);
}

double PainterSurface::lineHeight(const ReportFont& font) const {
    return metrics(font).lineSpacing() * kTwipsPerInch / m_dpiY;
}

void PainterSurface::drawText(const DrawnText& item) {
    if ((!m_paged && item.page > 1) || item.text.isEmpty())
        return;
    const QRectF rect = deviceRect(item.box);
    const QFontMetricsF& fm = metrics(item.font);
    m_painter.setFont(qfont(item.font));
    m_painter.setPen(Qt::black);
    if (item.multiLine) {
        m_painter.save();
        m_painter.setClipRect(rect, Qt::IntersectClip);
        const QStringList lines = item.text.split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i)
            m_painter.drawText(QPointF(rect.left(), rect.top() + i * fm.lineSpacing() + fm.ascent()), lines[i]);
        m_painter.restore();
        return;
    }
    // Text that does not fit its box is cut at the box's edges, not drawn over its neighbours.
    const bool fits = fm.horizontalAdvance(item.text) <= rect.width() + 0.5 && fm.height() <= rect.height() + 0.5;
    if (!fits) {
        m_painter.save();
        m_painter.setClipRect(rect, Qt::IntersectClip);
    }
    m_painter.drawText(QPointF(rect.left(), rect.top() + fm.ascent()), item.text);
    if (!fits)
        m_painter.restore();
}

} // namespace Reports
