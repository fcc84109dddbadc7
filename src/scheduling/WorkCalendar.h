// The working-day calendar: which weekdays are worked and which dates are holidays, and the
// conversions between dates and working-day ordinals that scheduling counts in.
#pragma once

#include <QDate>

#include <vector>

// Working days are numbered by ordinals: consecutive working days have consecutive ordinals, and
// a non-working date has the ordinal of the next working day. The numbering is fixed for the
// life of a calendar (its origin is the first date asked about); the table behind it grows on
// demand in either direction, so any date and any ordinal may be asked for. Growing it is why a
// calendar must not be shared between threads without a lock.
class WorkCalendar {
public:
    // Monday to Friday worked, no holidays.
    WorkCalendar();

    // dayOfWeek as QDate::dayOfWeek(): 1 = Monday ... 7 = Sunday. A week with no working day
    // left is refused (the call is ignored and returns false): nothing could ever be scheduled.
    bool setWorkingWeekday(int dayOfWeek, bool working);
    bool isWorkingWeekday(int dayOfWeek) const;
    void addHoliday(QDate date);
    void removeHoliday(QDate date);
    // The holidays, in date order.
    std::vector<QDate> holidays() const;
    bool isWorkingDay(QDate date) const;

    // The ordinal of a date: for a working day its own, for a non-working day the next working
    // day's. The table is prepared over the span in use; prepare() may be called first to build
    // it in one go for a known span. An invalid date counts as Monday 3 January 2000.
    void prepare(QDate first, QDate last) const;
    int ordinalOf(QDate date) const;
    // The working day with that ordinal.
    QDate dateOf(int ordinal) const;

    // The working day n working days after date (before it when n < 0). From a non-working day
    // the count starts at the next working day, so addWorkingDays(saturday, 0) is the Monday.
    QDate addWorkingDays(QDate date, int n) const;
    // The number of working days in [from, to], both included; 0 when to is before from.
    int workingDaysBetween(QDate from, QDate to) const;
    // The number of working days in [date, date + n), i.e. the ordinal after the end of the day
    // in working days: ordinalOf(date) + (isWorkingDay(date) ? 1 : 0).
    int ordinalAfter(QDate date) const;

private:
    bool worksOn(qint64 julianDay) const;
    void cover(qint64 firstDay, qint64 lastDay) const;
    void invalidate();

    unsigned m_weekMask = 0;        // bit (dayOfWeek - 1) set when worked
    std::vector<qint64> m_holidays; // sorted julian day numbers

    // The table: for each day from m_origin, the number of working days before it, counted
    // from m_base; and the working days themselves in order.
    mutable qint64 m_origin = 0;
    mutable int m_base = 0;
    mutable std::vector<int> m_before;
    mutable std::vector<qint64> m_workDays;
};
