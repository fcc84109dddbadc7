// Numbers typed into the editors: the locale-aware test of whether a text is a number, the
// form in which a validated number enters a statement, and the form in which a stored number
// is shown for editing so that it passes the test again unchanged.
#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>

namespace NumericText {

// Whether the text is a finite number in the locale: blanks at either end, a sign, the
// locale's digits, group separators where the locale puts them, its decimal separator and an
// exponent are accepted. Empty text, NaN, infinity and out-of-range values are not numbers.
bool isNumeric(const QString& text, const QLocale& locale = QLocale());

// The number of a text that passes isNumeric(), written as SQL reads it: no blanks, no
// grouping, "." as decimal separator ("1.000,5" in German gives "1000.5"). Whole numbers are
// written exactly; other numbers with the fewest digits that give back the same double.
// Empty text when the text is not numeric.
QString toSql(const QString& text, const QLocale& locale = QLocale());

// A stored number as the editors show it: the locale's decimal separator, no grouping, so
// that isNumeric() accepts it and toSql() gives back the same value. A stored text that is no
// number is returned as it is; a null value gives empty text.
QString toLocaleText(const QVariant& value, const QLocale& locale = QLocale());

} // namespace NumericText
