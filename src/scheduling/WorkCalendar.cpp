// The working-day calendar and its table of ordinals.
#include "WorkCalendar.h"

#include <algorithm>

WorkCalendar::WorkCalendar()
    : m_weekMask(0x1f) {}

bool WorkCalendar::setWorkingWeekday(int dayOfWeek, bool working) {
    if (dayOfWeek < 1 || dayOfWeek > 7)
        return false;
    const unsigned bit = 1u << (dayOfWeek - 1);
    const unsigned mask = working ? (m_weekMask | bit) : (m_weekMask & ~bit);
    if (mask == 0)
        return false;
    if (mask != m_weekMask) {
        m_weekMask = mask;
        invalidate();
    }
    return true;
}

bool WorkCalendar::isWorkingWeekday(int dayOfWeek) const {
    return dayOfWeek >= 1 && dayOfWeek <= 7 && (m_weekMask & (1u << (dayOfWeek - 1))) != 0;
}

void WorkCalendar::addHoliday(QDate date) {
    if (!date.isValid())
        return;
    const qint64 day = date.toJulianDay();
    const auto at = std::lower_bound(m_holidays.begin(), m_holidays.end(), day);
    if (at != m_holidays.end() && *at == day)
        return;
    m_holidays.insert(at, day);
    invalidate();
}

void WorkCalendar::removeHoliday(QDate date) {
    const qint64 day = date.toJulianDay();
    const auto at = std::lower_bound(m_holidays.begin(), m_holidays.end(), day);
    if (at == m_holidays.end() || *at != day)
        return;
    m_holidays.erase(at);
    invalidate();
}

std::vector<QDate> WorkCalendar::holidays() const {
    std::vector<QDate> dates;
    dates.reserve(m_holidays.size());
    for (qint64 day : m_holidays)
        dates.push_back(QDate::fromJulianDay(day));
    return dates;
}

bool WorkCalendar::isWorkingDay(QDate date) const {
    return date.isValid() && worksOn(date.toJulianDay());
}

bool WorkCalendar::worksOn(qint64 julianDay) const {
    // Julian day 0 was a Monday.
    const int dayOfWeek = static_cast<int>(((julianDay % 7) + 7) % 7) + 1;
    if ((m_weekMask & (1u << (dayOfWeek - 1))) == 0)
        return false;
    return !std::binary_search(m_holidays.begin(), m_holidays.end(), julianDay);
}

void WorkCalendar::invalidate() {
    m_before.clear();
    m_workDays.clear();
    m_origin = 0;
    m_base = 0;
}

// Extends the table to cover [firstDay, lastDay] (julian days), keeping the ordinals already
// given: when days are added in front, the base moves back by the working days among them.
void WorkCalendar::cover(qint64 firstDay, qint64 lastDay) const {
    if (!m_before.empty()) {
        const qint64 end = m_origin + static_cast<qint64>(m_before.size()) - 1; // last covered day
        if (firstDay >= m_origin && lastDay <= end)
            return;
        // Grow by at least the size already held, so that repeated growth stays linear.
        const qint64 span = end - m_origin + 1;
        if (firstDay < m_origin)
            firstDay = std::min(firstDay, m_origin - span);
        else
            firstDay = m_origin;
        if (lastDay > end)
            lastDay = std::max(lastDay, end + span);
        else
            lastDay = end;
    }
    const qint64 oldOrigin = m_origin;
    const bool had = !m_before.empty();
    const int oldBase = m_base;
    const qint64 days = lastDay - firstDay + 1;
    m_before.assign(static_cast<size_t>(days) + 1, 0);
    m_workDays.clear();
    int count = 0;
    for (qint64 i = 0; i < days; ++i) {
        m_before[static_cast<size_t>(i)] = count;
        if (worksOn(firstDay + i)) {
            m_workDays.push_back(firstDay + i);
            ++count;
        }
    }
    m_before[static_cast<size_t>(days)] = count; // the day after the last: the table's end
    m_origin = firstDay;
    // Keep the ordinal of the old origin as it was.
    m_base = had ? oldBase - m_before[static_cast<size_t>(oldOrigin - firstDay)] : 0;
    // The last entry stands for the day after lastDay, which is not itself covered.
    m_before.pop_back();
    m_before.shrink_to_fit();
}

void WorkCalendar::prepare(QDate first, QDate last) const {
    if (first.isValid() && last.isValid() && first <= last)
        cover(first.toJulianDay(), last.toJulianDay() + 14);
}

int WorkCalendar::ordinalOf(QDate date) const {
    // A missing date stands for a fixed Monday rather than for a day millions of years away.
    const qint64 day = date.isValid() ? date.toJulianDay() : QDate(2000, 1, 3).toJulianDay();
    // The day itself and a fortnight after it, so that a non-working day finds its next
    // working day inside the table.
    if (m_before.empty() || day < m_origin || day + 14 >= m_origin + static_cast<qint64>(m_before.size()))
        cover(day - 14, day + 28);
    // Past a run of holidays longer than the table's margin: look further.
    size_t index = static_cast<size_t>(day - m_origin);
    while (m_before[index] >= static_cast<int>(m_workDays.size())) {
        cover(m_origin, m_origin + static_cast<qint64>(m_before.size()) * 2);
        index = static_cast<size_t>(day - m_origin);
    }
    return m_base + m_before[index];
}

QDate WorkCalendar::dateOf(int ordinal) const {
    if (m_before.empty())
        cover(QDate(2000, 1, 3).toJulianDay(), QDate(2000, 1, 3).toJulianDay() + 28);
    while (ordinal - m_base < 0) {
        const qint64 grow = static_cast<qint64>(m_base - ordinal) * 7 + 28;
        cover(m_origin - grow, m_origin);
    }
    while (ordinal - m_base >= static_cast<int>(m_workDays.size())) {
        const qint64 grow = static_cast<qint64>(ordinal - m_base - static_cast<int>(m_workDays.size())) * 7 + 28;
        cover(m_origin, m_origin + static_cast<qint64>(m_before.size()) + grow);
    }
    return QDate::fromJulianDay(m_workDays[static_cast<size_t>(ordinal - m_base)]);
}

QDate WorkCalendar::addWorkingDays(QDate date, int n) const {
    return dateOf(ordinalOf(date) + n);
}

int WorkCalendar::ordinalAfter(QDate date) const {
    return date.isValid() ? ordinalOf(date.addDays(1)) : ordinalOf(date) + 1;
}

int WorkCalendar::workingDaysBetween(QDate from, QDate to) const {
    if (to < from)
        return 0;
    return ordinalAfter(to) - ordinalOf(from);
}
