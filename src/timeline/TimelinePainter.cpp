#include "TimelinePainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace Timeline {

const std::vector<QColor>& keyColours() {
    // Okabe and Ito's palette for colour-blind readers (black left out: it is the text colour).
    static const std::vector<QColor> colours = {
        QColor(0xE6, 0x9F, 0x00), QColor(0x56, 0xB4, 0xE9), QColor(0x00, 0x9E, 0x73), QColor(0xF0, 0xE4, 0x42),
        QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00), QColor(0xCC, 0x79, 0xA7), QColor(0x99, 0x99, 0x99),
    };
    return colours;
}

namespace {
// FNV-1a over the text: fixed from run to run, unlike the seeded qHash.
quint32 keyHash(const QString& key) {
    quint32 hash = 2166136261u;
    for (const QChar c : key) {
        hash = (hash ^ c.unicode()) * 16777619u;
    }
    return hash;
}
} // namespace

QColor keyColour(const QString& key) {
    const auto& colours = keyColours();
    return colours[keyHash(key) % colours.size()];
}

StatusKind statusKind(const QString& status) {
    const QString s = status.simplified().toLower();
    static const QStringList going = {QStringLiteral("in process"), QStringLiteral("in progress"),
                                      QStringLiteral("started"),    QStringLiteral("active"),
                                      QStringLiteral("ongoing"),    QStringLiteral("under way"),
                                      QStringLiteral("underway"),   QStringLiteral("doing")};
    static const QStringList over = {QStringLiteral("done"),   QStringLiteral("complete"), QStringLiteral("completed"),
                                     QStringLiteral("closed"), QStringLiteral("finished"), QStringLiteral("abandoned"),
                                     QStringLiteral("dropped")};
    if (s.startsWith(QLatin1String("cancel")) || over.contains(s))
        return StatusKind::Over;
    if (going.contains(s))
        return StatusKind::Going;
    return StatusKind::Other;
}

QColor keyColour(const QString& key, ColourBy by) {
    if (by != ColourBy::Status)
        return keyColour(key);
    const auto& colours = keyColours();
    const QColor& strong = colours[4]; // blue: the darkest of the palette
    switch (statusKind(key)) {
    case StatusKind::Going:
        return strong;
    case StatusKind::Over:
        return QColor(0xD4, 0xD4, 0xD4);
    case StatusKind::Other:
        break;
    }
    // The palette without the strong blue and the grey.
    std::vector<QColor> others;
    for (const QColor& c : colours)
        if (c != strong && c != colours.back())
            others.push_back(c);
    return others[keyHash(key) % others.size()];
}

QString oneLine(const QString& name) {
    const qsizetype end = name.indexOf(QRegularExpression(QStringLiteral("[\\r\\n\\x{2028}\\x{2029}]")));
    if (end < 0)
        return name;
    const QString rest = name.mid(end).trimmed();
    return rest.isEmpty() ? name.left(end) : name.left(end).trimmed() + QStringLiteral(" \u2026");
}

QColor textOn(const QColor& fill) {
    const double luminance = 0.2126 * fill.redF() + 0.7152 * fill.greenF() + 0.0722 * fill.blueF();
    return luminance > 0.45 ? QColor(Qt::black) : QColor(Qt::white);
}

Colours Colours::fromPalette(const QPalette& palette) {
    Colours c;
    c.base = palette.color(QPalette::Base);
    c.alternate = palette.color(QPalette::AlternateBase);
    c.text = palette.color(QPalette::Text);
    const bool dark = c.base.lightnessF() < 0.5;
    c.dimText = palette.color(QPalette::PlaceholderText);
    c.grid = dark ? c.base.lighter(170) : c.base.darker(115);
    c.weekend = dark ? QColor(255, 255, 255, 18) : QColor(0, 0, 0, 14);
    // Vermillion reads on both backgrounds and for every kind of colour vision.
    c.today = QColor(0xD5, 0x5E, 0x00);
    c.header = palette.color(QPalette::Button);
    c.headerText = palette.color(QPalette::ButtonText);
    c.mark = dark ? QColor(Qt::white) : QColor(Qt::black);
    // A clear red, lighter on a dark background; the critical frame is thicker than any other,
    // so it is told apart without its colour as well.
    c.critical = dark ? QColor(0xFF, 0x70, 0x70) : QColor(0xC4, 0x00, 0x00);
    c.link = dark ? QColor(0xC8, 0xC8, 0xC8) : QColor(0x50, 0x50, 0x50);
    c.current = palette.color(QPalette::Highlight);
    c.current.setAlphaF(0.22f);
    return c;
}

Colours Colours::forPaper() {
    Colours c;
    c.base = Qt::white;
    c.alternate = QColor(0xF4, 0xF4, 0xF4);
    c.text = Qt::black;
    c.dimText = QColor(0x60, 0x60, 0x60);
    c.grid = QColor(0xD0, 0xD0, 0xD0);
    c.weekend = QColor(0, 0, 0, 16);
    c.today = QColor(0xD5, 0x5E, 0x00);
    c.header = QColor(0xE8, 0xE8, 0xE8);
    c.headerText = Qt::black;
    c.mark = Qt::black;
    c.critical = QColor(0xC4, 0x00, 0x00);
    c.link = QColor(0x40, 0x40, 0x40);
    c.current = Qt::transparent;
    return c;
}

QColor Scene::colourOf(const Item& item) const {
    const QString& key = colourKey(item, colourBy);
    if (!colourIndex.contains(key))
        return QColor(0x99, 0x99, 0x99);
    return keyColour(key, colourBy);
}

QRectF barRect(const Scene& scene, const Item& item, QDate start, QDate end, double top, double chartX) {
    const Geometry& g = scene.geometry;
    const double rowH = g.rowHeight;
    const double height = item.isTask ? rowH * 0.62 : rowH * 0.72;
    const double y = top + (rowH - height) / 2;
    const double left = g.nameWidth + scene.scale.x(start) - chartX;
    if (item.milestone && !(end < start)) {
        // At the end of its day, or at its start for one that stands there.
        const double x =
            g.nameWidth + scene.scale.x(end) + (item.atDayStart ? 0.0 : scene.scale.pixelsPerDay()) - chartX;
        const double size = rowH * 0.7;
        return QRectF(x - size / 2, top + (rowH - size) / 2, size, size);
    }
    if (end < start) // a point
        return QRectF(left - height / 2 + scene.scale.pixelsPerDay() / 2, y, height, height);
    const double right = g.nameWidth + scene.scale.x(end) + scene.scale.pixelsPerDay() - chartX;
    return QRectF(left, y, std::max(right - left, 3.0), height);
}

QPointF linkHandle(const QRectF& bar, bool atFinish) {
    return {atFinish ? bar.right() + 9 : bar.left() - 9, bar.center().y()};
}

namespace {

// The name beside a bar, or inside it where it fits (projects only).
struct Label {
    QString text;
    QRectF rect;
    bool inside = false;
};

Label labelOf(const Scene& s, const Item& item, QDate start, QDate end, const QRectF& r, double top,
              const QFontMetrics& fm) {
    Label label{oneLine(item.name), {}, false};
    // A task's name starts past its finish handle, so that the handle shown under the pointer
    // never covers its first letters.
    double left = r.right() + 4;
    if (end < start) {
        label.text = QStringLiteral("\u26A0 ") + label.text + QStringLiteral(" (ends before it starts)");
    } else {
        if (item.isTask)
            left = linkHandle(r, true).x() + linkHandleRadius + 3;
        const bool overdue = item.isTask && end < s.today && item.percent < 100;
        if (overdue && !item.milestone && !item.summary)
            label.text = QStringLiteral("\u26A0 ") + label.text;
        label.inside =
            !item.milestone && !item.summary && !item.isTask && fm.horizontalAdvance(label.text) + 8 <= r.width();
    }
    label.rect = label.inside ? r.adjusted(4, 0, -2, 0)
                              : QRectF(left, top, fm.horizontalAdvance(label.text) + 8, s.geometry.rowHeight);
    return label;
}

void paintScale(QPainter& p, const Scene& s, QSize size, double chartX) {
    const Geometry& g = s.geometry;
    const int chartW = size.width() - g.nameWidth;
    const QRect area(g.nameWidth, 0, chartW, g.scaleHeight());
    p.fillRect(area, s.colours.header);
    p.save();
    p.setClipRect(area);
    const QDate from = s.scale.dateAt(chartX);
    const QDate to = s.scale.dateAt(chartX + chartW);
    const QFontMetrics fm(p.font());
    for (int band = 0; band < 2; ++band) {
        const bool upper = band == 0;
        const int top = upper ? 0 : g.bandHeight;
        const auto marks = ticks(from, to, s.unit, upper, s.locale);
        for (size_t i = 0; i < marks.size(); ++i) {
            const double x = g.nameWidth + s.scale.x(marks[i].date) - chartX;
            const double next = g.nameWidth + s.scale.x(marks[i].end) - chartX;
            p.setPen(s.colours.grid);
            p.drawLine(QPointF(x, top), QPointF(x, top + g.bandHeight));
            // Keep the upper band's label in sight while its unit runs on past the left edge; a label
            // that does not fit its unit is left out rather than drawn over its neighbour.
            // A lower label whose unit begins left of the chart would show only its tail ("1" for 21).
            const QString& text = marks[i].label;
            if (!upper && x < g.nameWidth)
                continue;
            const double textX = (upper ? std::max(x, static_cast<double>(g.nameWidth)) : x) + 3;
            const double room = next - textX - 2;
            if (fm.horizontalAdvance(text) > room)
                continue;
            p.setPen(s.colours.headerText);
            p.drawText(QRectF(textX, top, room, g.bandHeight), Qt::AlignVCenter | Qt::AlignLeft, text);
        }
    }
    p.setPen(s.colours.grid);
    p.drawLine(QPointF(g.nameWidth, g.bandHeight), QPointF(size.width(), g.bandHeight));
    p.drawLine(QPointF(g.nameWidth, g.scaleHeight() - 0.5), QPointF(size.width(), g.scaleHeight() - 0.5));
    p.restore();
}

double endMarkX(const Scene& s, const Item& project, double chartX) {
    return s.geometry.nameWidth + s.scale.x(project.ownEnd) + s.scale.pixelsPerDay() - chartX;
}

void paintBar(QPainter& p, const Scene& s, const Item& item, int rowIndex, double top, double chartX) {
    QDate start = item.start, end = item.end;
    if (rowIndex == s.dragRow) {
        start = s.dragStart;
        end = s.dragEnd;
    }
    if (!start.isValid() || !end.isValid())
        return;
    const QRectF r = barRect(s, item, start, end, top, chartX);
    const QColor colour = s.colourOf(item);
    const QFontMetrics fm(p.font());
    const bool overdue = end.isValid() && item.isTask && end < s.today && item.percent < 100;
    const Label label = labelOf(s, item, start, end, r, top, fm);
    if (end < start) {
        // The point: a diamond, outlined, with a mark that names the fault.
        QPainterPath diamond;
        const QPointF c = r.center();
        const double h = r.height() / 2;
        diamond.moveTo(c.x(), c.y() - h);
        diamond.lineTo(c.x() + h, c.y());
        diamond.lineTo(c.x(), c.y() + h);
        diamond.lineTo(c.x() - h, c.y());
        diamond.closeSubpath();
        p.setPen(QPen(s.colours.mark, 1.5));
        p.setBrush(colour);
        p.drawPath(diamond);
        p.setPen(s.colours.text);
        p.drawText(label.rect, Qt::AlignVCenter | Qt::AlignLeft, label.text);
        return;
    }
    if (item.milestone) {
        QPainterPath diamond;
        const QPointF c = r.center();
        const double h = r.height() / 2;
        diamond.moveTo(c.x(), c.y() - h);
        diamond.lineTo(c.x() + h, c.y());
        diamond.lineTo(c.x(), c.y() + h);
        diamond.lineTo(c.x() - h, c.y());
        diamond.closeSubpath();
        p.setPen(item.critical ? QPen(s.colours.critical, 2.5) : QPen(s.colours.mark, 1));
        p.setBrush(s.colours.mark);
        p.drawPath(diamond);
        p.setPen(s.colours.text);
        p.drawText(label.rect, Qt::AlignVCenter | Qt::AlignLeft, label.text);
        return;
    }
    if (item.summary) {
        // A bracket over the tasks under it: a thick line with a point hanging at each end.
        const double thick = r.height() * 0.45;
        QPainterPath bracket;
        bracket.moveTo(r.left(), r.top());
        bracket.lineTo(r.right(), r.top());
        bracket.lineTo(r.right(), r.top() + thick * 1.8);
        bracket.lineTo(r.right() - thick, r.top() + thick);
        bracket.lineTo(r.left() + thick, r.top() + thick);
        bracket.lineTo(r.left(), r.top() + thick * 1.8);
        bracket.closeSubpath();
        // Critical: the bracket itself in the critical colour, as the frame of a task would be.
        p.setPen(Qt::NoPen);
        p.setBrush(item.critical ? s.colours.critical : s.colours.mark);
        p.drawPath(bracket);
        p.setPen(s.colours.text);
        p.drawText(label.rect, Qt::AlignVCenter | Qt::AlignLeft, label.text);
        return;
    }
    p.setPen(QPen(colour.darker(160), 1));
    if (item.isTask) {
        // The whole span pale, the part done in full colour.
        QColor pale = colour;
        pale.setAlphaF(0.35);
        p.setBrush(pale);
        p.drawRect(r);
        const double done = std::clamp(item.percent, 0.0, 100.0) / 100.0;
        if (done > 0)
            p.fillRect(QRectF(r.left(), r.top(), r.width() * done, r.height()), colour);
    } else {
        p.setBrush(colour);
        p.drawRect(r);
    }
    if (overdue) {
        // Hatched and framed: seen without telling colours apart.
        p.setBrush(QBrush(s.colours.mark, Qt::BDiagPattern));
        p.setPen(QPen(s.colours.today, 2));
        p.drawRect(r);
    }
    if (item.critical) {
        // Outside any other frame, thicker than all of them.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(s.colours.critical, 2.5));
        p.drawRect(r.adjusted(-2, -2, 2, 2));
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(label.inside ? textOn(colour) : s.colours.text);
    p.drawText(label.rect, Qt::AlignVCenter | Qt::AlignLeft, label.text);
    if (item.endDiffers() && item.ownEnd.isValid()) {
        // The project's own End Date, apart from the end of its plan: a point above the bar and one
        // below it at the end of that day, leaving the name on the bar readable.
        const double x = endMarkX(s, item, chartX);
        const double bottom = top + s.geometry.rowHeight;
        QPainterPath points;
        points.moveTo(x - 4, top);
        points.lineTo(x + 4, top);
        points.lineTo(x, top + 6);
        points.closeSubpath();
        points.moveTo(x - 4, bottom);
        points.lineTo(x + 4, bottom);
        points.lineTo(x, bottom - 6);
        points.closeSubpath();
        p.fillPath(points, s.colours.mark);
    }
}

// The arrows of the links of every project with a row in view, from the predecessor's start or
// finish to the successor's, around the bars rather than through them.
void paintLinks(QPainter& p, const Scene& s, int firstRow, int count, double chartX) {
    const Data& data = *s.data;
    if (!s.rowOfTask || data.projectLinks.empty() || count <= 0)
        return;
    const Geometry& g = s.geometry;
    const int lastRow = firstRow + count - 1;
    auto rectOf = [&](int position, int row) {
        const Item& item = data.tasks[static_cast<size_t>(position)];
        QDate start = item.start, end = item.end;
        if (row == s.dragRow) {
            start = s.dragStart;
            end = s.dragEnd;
        }
        if (!start.isValid() || !end.isValid())
            return QRectF();
        return barRect(s, item, start, end, g.scaleHeight() + (row - firstRow) * g.rowHeight, chartX);
    };
    int lastProject = -1;
    for (int i = 0; i < count; ++i) {
        const int project = (*s.rows)[static_cast<size_t>(firstRow + i)].project;
        if (project == lastProject)
            continue;
        lastProject = project;
        if (static_cast<size_t>(project) >= data.projectLinks.size())
            continue;
        const Data::ProjectLinks& links = data.projectLinks[static_cast<size_t>(project)];
        for (size_t l = 0; l < links.links.size(); ++l) {
            const auto [from, to] = links.ends[l];
            const int fromRow = (*s.rowOfTask)[static_cast<size_t>(from)];
            const int toRow = (*s.rowOfTask)[static_cast<size_t>(to)];
            if (fromRow < 0 || toRow < 0 || (fromRow < firstRow && toRow < firstRow) ||
                (fromRow > lastRow && toRow > lastRow))
                continue;
            const QRectF a = rectOf(from, fromRow), b = rectOf(to, toRow);
            if (a.isNull() || b.isNull())
                continue;
            const LinkKind kind = links.links[l].kind;
            const bool fromFinish = kind == LinkKind::FinishToStart || kind == LinkKind::FinishToFinish;
            const bool toStart = kind == LinkKind::FinishToStart || kind == LinkKind::StartToStart;
            const QPointF p1(fromFinish ? a.right() : a.left(), a.center().y());
            const QPointF p2(toStart ? b.left() : b.right(), b.center().y());
            const double out = fromFinish ? 6 : -6; // leaving the predecessor
            const double in = toStart ? -6 : 6;     // the side the successor is entered from
            QPainterPath path(p1);
            const QPointF leave(p1.x() + out, p1.y());
            path.lineTo(leave);
            if ((toStart && leave.x() <= p2.x() + in) || (!toStart && leave.x() >= p2.x() + in)) {
                path.lineTo(leave.x(), p2.y());
            } else {
                // Back past the successor's side: between the rows, then in from that side.
                const double between = p2.y() + (p2.y() >= p1.y() ? -0.5 : 0.5) * g.rowHeight;
                path.lineTo(leave.x(), between);
                path.lineTo(p2.x() + in, between);
                path.lineTo(p2.x() + in, p2.y());
            }
            path.lineTo(p2);
            const bool critical =
                data.tasks[static_cast<size_t>(from)].critical && data.tasks[static_cast<size_t>(to)].critical;
            const QColor colour = critical ? s.colours.critical : s.colours.link;
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(colour, critical ? 2 : 1));
            p.drawPath(path);
            QPainterPath head;
            head.moveTo(p2);
            head.lineTo(p2.x() + in, p2.y() - 3.5);
            head.lineTo(p2.x() + in, p2.y() + 3.5);
            head.closeSubpath();
            p.fillPath(head, colour);
        }
    }
}

void paintNames(QPainter& p, const Scene& s, QSize size, int firstRow, int count) {
    const Geometry& g = s.geometry;
    p.fillRect(QRect(0, 0, g.nameWidth, g.scaleHeight()), s.colours.header);
    p.setPen(s.colours.headerText);
    p.drawText(QRect(6, g.bandHeight, g.nameWidth - 8, g.bandHeight), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Project / Task"));
    const QFontMetrics fm(p.font());
    QFont bold = p.font();
    bold.setBold(true);
    const QFont normal = p.font();
    for (int i = 0; i < count; ++i) {
        const Row& row = (*s.rows)[static_cast<size_t>(firstRow + i)];
        const Item& item = itemOf(*s.data, row);
        const int top = g.scaleHeight() + i * g.rowHeight;
        int x = 6;
        if (row.task < 0) {
            const bool hasTasks = s.data->taskCount(static_cast<size_t>(row.project)) > 0;
            if (hasTasks) {
                // The triangle that collapses and expands the project's tasks.
                const bool collapsed = s.collapsed && s.collapsed->contains(item.id);
                QPainterPath triangle;
                const double cx = x + 5, cy = top + g.rowHeight / 2.0;
                if (collapsed) {
                    triangle.moveTo(cx - 3, cy - 5);
                    triangle.lineTo(cx + 4, cy);
                    triangle.lineTo(cx - 3, cy + 5);
                } else {
                    triangle.moveTo(cx - 5, cy - 3);
                    triangle.lineTo(cx + 5, cy - 3);
                    triangle.lineTo(cx, cy + 4);
                }
                triangle.closeSubpath();
                p.fillPath(triangle, s.colours.text);
            }
            x += 14;
            p.setFont(bold);
        } else {
            x += 26 + 14 * std::min(item.depth, 12);
            QFont font = normal;
            font.setBold(item.summary);
            p.setFont(font);
        }
        QString text = oneLine(item.name);
        p.setPen(s.colours.text);
        if (!item.hasBar()) {
            text += QStringLiteral("  (no dates)");
            p.setPen(s.colours.dimText);
        }
        p.drawText(QRect(x, top, g.nameWidth - x - 4, g.rowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   fm.elidedText(text, Qt::ElideRight, g.nameWidth - x - 4));
    }
    p.setFont(normal);
    p.setPen(s.colours.grid);
    p.drawLine(QPointF(g.nameWidth - 0.5, 0), QPointF(g.nameWidth - 0.5, size.height()));
}

} // namespace

double paintedRight(const Scene& s, const QFont& font) {
    double right = s.geometry.nameWidth;
    if (!s.data || !s.rows)
        return right;
    const QFontMetrics fm(font);
    for (const Row& row : *s.rows) {
        const Item& item = itemOf(*s.data, row);
        if (!item.hasBar())
            continue;
        const QRectF r = barRect(s, item, item.start, item.end, 0, 0);
        const Label label = labelOf(s, item, item.start, item.end, r, 0, fm);
        // The critical frame and the links' turns reach a few pixels past the bar.
        right = std::max(right, r.right() + 8);
        if (!label.inside)
            right = std::max(right, label.rect.left() + fm.horizontalAdvance(label.text));
        if (item.endDiffers() && item.ownEnd.isValid())
            right = std::max(right, endMarkX(s, item, 0) + 5);
    }
    return right;
}

void paint(QPainter& p, const Scene& s, QSize size, int firstRow, double chartX) {
    const Geometry& g = s.geometry;
    p.fillRect(QRect(QPoint(0, 0), size), s.colours.base);
    if (!s.data || !s.rows)
        return;
    const int total = static_cast<int>(s.rows->size());
    firstRow = std::clamp(firstRow, 0, std::max(total, 0));
    const int fit = (size.height() - g.scaleHeight() + g.rowHeight - 1) / g.rowHeight;
    const int count = std::clamp(fit, 0, total - firstRow);
    const int chartW = size.width() - g.nameWidth;
    const QRect chart(g.nameWidth, g.scaleHeight(), chartW, size.height() - g.scaleHeight());

    for (int i = 0; i < count; ++i)
        if ((firstRow + i) % 2)
            p.fillRect(QRect(0, g.scaleHeight() + i * g.rowHeight, size.width(), g.rowHeight), s.colours.alternate);
    if (s.currentRow >= firstRow && s.currentRow < firstRow + count)
        p.fillRect(QRect(0, g.scaleHeight() + (s.currentRow - firstRow) * g.rowHeight, size.width(), g.rowHeight),
                   s.colours.current);

    p.save();
    p.setClipRect(chart);
    const double ppd = s.scale.pixelsPerDay();
    const QDate from = s.scale.dateAt(chartX);
    const QDate to = s.scale.dateAt(chartX + chartW);
    if (ppd >= 4) {
        // The calendar's days off where the database keeps one, else the weekend of the locale.
        const WorkCalendar* calendar = s.data->calendar ? &*s.data->calendar : nullptr;
        for (QDate d = from; d <= to; d = d.addDays(1))
            if (calendar ? !calendar->isWorkingDay(d) : isWeekend(d, s.locale))
                p.fillRect(QRectF(g.nameWidth + s.scale.x(d) - chartX, chart.top(), ppd, chart.height()),
                           s.colours.weekend);
    }
    p.setPen(s.colours.grid);
    for (const Tick& t : ticks(from, to, s.unit, false, s.locale)) {
        const double x = g.nameWidth + s.scale.x(t.date) - chartX;
        p.drawLine(QPointF(x, chart.top()), QPointF(x, chart.bottom() + 1));
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int i = 0; i < count; ++i) {
        const Row& row = (*s.rows)[static_cast<size_t>(firstRow + i)];
        paintBar(p, s, itemOf(*s.data, row), firstRow + i, g.scaleHeight() + i * g.rowHeight, chartX);
    }
    paintLinks(p, s, firstRow, count, chartX);
    if (s.hoverRow >= firstRow && s.hoverRow < firstRow + count && s.rowOfTask) {
        const Row& row = (*s.rows)[static_cast<size_t>(s.hoverRow)];
        const Item& item = itemOf(*s.data, row);
        if (row.task >= 0 && item.hasBar() && !item.reversed()) {
            const QRectF r =
                barRect(s, item, item.start, item.end, g.scaleHeight() + (s.hoverRow - firstRow) * g.rowHeight, chartX);
            p.setPen(QPen(s.colours.link, 1));
            p.setBrush(s.colours.base);
            for (bool atFinish : {false, true})
                p.drawEllipse(linkHandle(r, atFinish), linkHandleRadius, linkHandleRadius);
        }
    }
    if (s.linking) {
        p.setPen(QPen(s.colours.link, 1.5, Qt::DashLine));
        p.drawLine(s.linkFrom, s.linkTo);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    if (s.today >= from && s.today <= to) {
        const double x = g.nameWidth + s.scale.x(s.today) + ppd / 2 - chartX;
        p.setPen(QPen(s.colours.today, 2));
        p.drawLine(QPointF(x, chart.top()), QPointF(x, chart.bottom() + 1));
    }
    p.restore();

    paintScale(p, s, size, chartX);
    paintNames(p, s, size, firstRow, count);
}

} // namespace Timeline
