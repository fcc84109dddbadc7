// The bounds of the values a record may hold, shared by the editors and the import: a value
// outside them is refused with a message that names the field.
#pragma once

#include <QDate>

namespace FieldBounds {

// Dates: the years a plan can sensibly name (years 0001 and 9999 are typing slips).
constexpr int firstYear = 1900;
constexpr int lastYear = 2200;
// % Complete.
constexpr double minPercent = 0;
constexpr double maxPercent = 100;
// Money and days (Budget, Cost and their days) are never negative.
constexpr double minAmount = 0;

// Texts: names, value-list entries and the other short texts; notes and descriptions. Both
// database kinds refuse a longer text (their schema holds the same numbers), far above any real
// one, so that a text pasted by mistake cannot slow every list.
constexpr int maxShortText = 100000;
constexpr int maxLongText = 1000000;
// What a list cell reads of a text: enough to fill any column; the editor reads it whole.
constexpr int listCellChars = 300;

inline bool yearInRange(const QDate& date) {
    return date.isValid() && date.year() >= firstYear && date.year() <= lastYear;
}

} // namespace FieldBounds
