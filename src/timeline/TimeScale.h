// The timeline's time axis, free of widgets: which date lies at which pixel, the zoom steps and
// the marks of the time scale at each step.
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

#include <vector>

namespace Timeline {

// The unit that the lower band of the time scale marks at a zoom step.
// From the finest to the coarsest; a millennium only heads the centuries.
enum class ScaleUnit { Day, Week, Month, Quarter, Year, Decade, Century, Millennium };

struct ZoomStep {
    double pixelsPerDay;
    ScaleUnit unit;
};

// The zoom steps from the widest view (years on screen) to the closest (single days).
const std::vector<ZoomStep>& zoomSteps();
// The step the window opens at the first time.
int defaultZoom();
// The zoom as stored in the settings: counted from the widest step of earlier versions (0.5 pixels
// a day), so that a stored zoom keeps its meaning now that coarser steps come before it.
int zoomFromSetting(int stored);
int zoomToSetting(int step);
// The step one closer or one wider, kept within the table.
int zoomIn(int step);
int zoomOut(int step);
// A stored or given step forced into the table.
int clampZoom(int step);
// The closest step at which `days` days fit into `width` pixels (the widest step when none does).
int fitZoom(qint64 days, double width);

// Dates to pixels and back at one zoom. Day d covers [x(d), x(d) + pixelsPerDay).
class TimeScale {
public:
    TimeScale() = default;
    TimeScale(QDate origin, double pixelsPerDay)
        : m_origin(origin)
        , m_pixelsPerDay(pixelsPerDay) {}

    QDate origin() const { return m_origin; }
    double pixelsPerDay() const { return m_pixelsPerDay; }

    // Left edge of a day.
    double x(QDate date) const { return static_cast<double>(m_origin.daysTo(date)) * m_pixelsPerDay; }
    // The day under a pixel.
    QDate dateAt(double x) const;
    // Whole days a drag over dx pixels moves by (rounded to the nearest day).
    qint64 daysFor(double dx) const;

private:
    QDate m_origin = QDate(2000, 1, 1);
    double m_pixelsPerDay = 1;
};

// The first day of the unit that holds `date` (weeks begin on `firstDayOfWeek`).
QDate unitStart(QDate date, ScaleUnit unit, Qt::DayOfWeek firstDayOfWeek);
// The first day of the next unit after the one that begins on `start`.
QDate nextUnit(QDate start, ScaleUnit unit);
// The unit the upper band groups the lower band's marks in: months above days and weeks,
// years above months and quarters.
ScaleUnit upperUnit(ScaleUnit lower);

struct Tick {
    QDate date; // first day of the unit
    QString label;
    QDate end; // first day after the unit
};
// The marks of one band for the units that overlap [from, to], in the locale's words
// (month names, first day of the week). `upper` gives the coarser band.
std::vector<Tick> ticks(QDate from, QDate to, ScaleUnit unit, bool upper, const QLocale& locale);

// Whether a day is a weekend day in the locale (not one of its working days).
bool isWeekend(QDate date, const QLocale& locale);

} // namespace Timeline
