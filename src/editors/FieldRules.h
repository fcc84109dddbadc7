// What the editors accept in their date and number fields beyond "present and numeric": the
// bounds a user means (dates 1900 to 2200, a percentage from 0 to 100, no negative money) and
// plain decimal numbers in the user's locale. Plain values in, a yes or no out, so that every
// rule is checked without a window.
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace FieldRules {

// The first and the last day a date field accepts.
QDate earliestDate();
QDate latestDate();
// Whether the date is valid and lies from 1 January 1900 to 31 December 2200.
bool isPlausibleDate(const QDate& date);
// Whether an end (or due) date comes before its start; false when either is missing.
bool endsBeforeStart(const QDate& start, const QDate& end);

// Whether the text is a number as a person writes it in the locale: blanks at either end, a
// sign, digits, the locale's group separators between groups of digits and its decimal
// separator. No exponent ("1e3"), no hexadecimal ("0x10"), no "inf" or "nan", no stray
// separators ("1,2,3" in English), and only finite values.
bool isPlainNumber(const QString& text, const QLocale& locale = QLocale());
// Whether a plain number is below zero. False for a text that is not a plain number.
bool isNegative(const QString& text, const QLocale& locale = QLocale());
// Whether a plain number lies outside 0 to 100. False for a text that is not a plain number.
bool isOutsidePercent(const QString& text, const QLocale& locale = QLocale());

} // namespace FieldRules
