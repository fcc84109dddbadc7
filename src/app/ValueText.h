// How stored values are shown: numbers as plain decimal text, dates in the system's short format.
#pragma once

#include <QString>
#include <QVariant>

// Plain decimal text of a number: no grouping, no exponent for ordinary sizes, "." as separator,
// with every digit needed to read back the same double.
QString numberText(double value);
// A stored value as shown in lists: ISO dates in the system's short date format, numbers as
// plain decimal text, texts as they are.
QString displayText(const QVariant& value, bool isDateColumn);
// The system's short date text of an ISO date text (cached: lists show the same dates often).
QString shortDateText(const QString& isoDate);
// A milestone's date as the lists and reports show it: the milestone mark before the shown date.
QString milestoneDateText(const QString& shownDate);
// Whether a column name is one of the date columns (StartDate, EndDate, DueDate...).
bool isDateColumnName(const QString& name);
// A truth as either kind of database gives it back as text: 1 (a number), t or true.
bool isStoredTruth(const QString& text);
