#include "TimeScale.h"

#include <algorithm>
#include <cmath>

namespace Timeline {

const std::vector<ZoomStep>& zoomSteps() {
    // Years, decades and centuries first, so that any span (up to the years 1 to 9999) fits a
    // window; then quarters, months, weeks and days.
    static const std::vector<ZoomStep> steps = {
        {0.0002, ScaleUnit::Millennium},
        {0.0008, ScaleUnit::Century},
        {0.002, ScaleUnit::Century},
        {0.005, ScaleUnit::Century},
        {0.015, ScaleUnit::Decade},
        {0.04, ScaleUnit::Decade},
        {0.1, ScaleUnit::Year},
        {0.25, ScaleUnit::Year},
        {0.5, ScaleUnit::Quarter},
        {1, ScaleUnit::Quarter},
        {2, ScaleUnit::Month},
        {4, ScaleUnit::Month},
        {8, ScaleUnit::Week},
        {16, ScaleUnit::Week},
        {24, ScaleUnit::Day},
        {40, ScaleUnit::Day},
        {64, ScaleUnit::Day},
    };
    return steps;
}

namespace {
// The steps added before the widest step of earlier versions.
constexpr int coarserSteps = 8;
} // namespace

int defaultZoom() {
    return coarserSteps + 6;
}

int zoomFromSetting(int stored) {
    return clampZoom(stored + coarserSteps);
}

int zoomToSetting(int step) {
    return clampZoom(step) - coarserSteps;
}

int clampZoom(int step) {
    return std::clamp(step, 0, static_cast<int>(zoomSteps().size()) - 1);
}

int zoomIn(int step) {
    return clampZoom(clampZoom(step) + 1);
}

int zoomOut(int step) {
    return clampZoom(clampZoom(step) - 1);
}

int fitZoom(qint64 days, double width) {
    const auto& steps = zoomSteps();
    for (int i = static_cast<int>(steps.size()) - 1; i > 0; --i)
        if (static_cast<double>(std::max<qint64>(days, 1)) * steps[static_cast<size_t>(i)].pixelsPerDay <= width)
            return i;
    return 0;
}

QDate TimeScale::dateAt(double x) const {
    return m_origin.addDays(static_cast<qint64>(std::floor(x / m_pixelsPerDay)));
}

qint64 TimeScale::daysFor(double dx) const {
    return std::llround(dx / m_pixelsPerDay);
}

namespace {
// The first year of the n-year unit holding `year` (there is no year 0: the first unit starts in 1).
int unitYear(int year, int n) {
    return std::max(1, year - ((year % n) + n) % n);
}
int yearsOf(ScaleUnit unit) {
    switch (unit) {
    case ScaleUnit::Decade:
        return 10;
    case ScaleUnit::Century:
        return 100;
    case ScaleUnit::Millennium:
        return 1000;
    default:
        return 1;
    }
}
} // namespace

QDate unitStart(QDate date, ScaleUnit unit, Qt::DayOfWeek firstDayOfWeek) {
    switch (unit) {
    case ScaleUnit::Year:
    case ScaleUnit::Decade:
    case ScaleUnit::Century:
    case ScaleUnit::Millennium:
        return QDate(unitYear(date.year(), yearsOf(unit)), 1, 1);
    case ScaleUnit::Day:
        return date;
    case ScaleUnit::Week:
        return date.addDays(-((date.dayOfWeek() - firstDayOfWeek + 7) % 7));
    case ScaleUnit::Month:
        return QDate(date.year(), date.month(), 1);
    case ScaleUnit::Quarter:
        break;
    }
    return QDate(date.year(), (date.month() - 1) / 3 * 3 + 1, 1);
}

QDate nextUnit(QDate start, ScaleUnit unit) {
    switch (unit) {
    case ScaleUnit::Year:
    case ScaleUnit::Decade:
    case ScaleUnit::Century:
    case ScaleUnit::Millennium:
        return QDate((start.year() / yearsOf(unit) + 1) * yearsOf(unit), 1, 1);
    case ScaleUnit::Day:
        return start.addDays(1);
    case ScaleUnit::Week:
        return start.addDays(7);
    case ScaleUnit::Month:
        return start.addMonths(1);
    case ScaleUnit::Quarter:
        break;
    }
    return start.addMonths(3);
}

ScaleUnit upperUnit(ScaleUnit lower) {
    switch (lower) {
    case ScaleUnit::Day:
    case ScaleUnit::Week:
        return ScaleUnit::Month;
    case ScaleUnit::Month:
    case ScaleUnit::Quarter:
        return ScaleUnit::Quarter; // read as years: see ticks()
    case ScaleUnit::Year:
        return ScaleUnit::Decade;
    case ScaleUnit::Decade:
        return ScaleUnit::Century;
    case ScaleUnit::Century:
    case ScaleUnit::Millennium:
        break;
    }
    return ScaleUnit::Millennium;
}

namespace {

QString label(QDate d, ScaleUnit unit, bool upper, const QLocale& locale) {
    if (upper) {
        // Months above days and weeks; years above months and quarters.
        if (unit == ScaleUnit::Month)
            return locale.standaloneMonthName(d.month(), QLocale::LongFormat) + QLatin1Char(' ') +
                   QString::number(d.year());
        return QString::number(d.year());
    }
    switch (unit) {
    case ScaleUnit::Day:
        return QString::number(d.day());
    case ScaleUnit::Week:
        return QString::number(d.day()) + QLatin1Char(' ') + locale.monthName(d.month(), QLocale::ShortFormat);
    case ScaleUnit::Month:
        return locale.standaloneMonthName(d.month(), QLocale::ShortFormat);
    case ScaleUnit::Quarter:
        return QStringLiteral("Q%1").arg((d.month() - 1) / 3 + 1);
    case ScaleUnit::Year:
    case ScaleUnit::Decade:
    case ScaleUnit::Century:
    case ScaleUnit::Millennium:
        break;
    }
    return QString::number(d.year()); // a coarser unit by the year it begins
}

} // namespace

std::vector<Tick> ticks(QDate from, QDate to, ScaleUnit unit, bool upper, const QLocale& locale) {
    std::vector<Tick> result;
    if (!from.isValid() || !to.isValid() || to < from)
        return result;
    // The upper band of quarters is the year: a quarter step of three months from January.
    const ScaleUnit band = upper ? upperUnit(unit) : unit;
    if (upper && unit == ScaleUnit::Millennium)
        return result; // nothing coarser to head the millennia with
    QDate d = unitStart(from, band, locale.firstDayOfWeek());
    if (upper && band == ScaleUnit::Quarter)
        d = QDate(from.year(), 1, 1);
    while (d <= to) {
        const QDate next = upper && band == ScaleUnit::Quarter ? d.addYears(1) : nextUnit(d, band);
        result.push_back({d, label(d, upper ? band : unit, upper, locale), next});
        d = next;
    }
    return result;
}

bool isWeekend(QDate date, const QLocale& locale) {
    return !locale.weekdays().contains(static_cast<Qt::DayOfWeek>(date.dayOfWeek()));
}

} // namespace Timeline
