// How values become CSV cells and back: dates as ISO text (yyyy-MM-dd), numbers with "." and no
// grouping, and texts that a spreadsheet would run as a formula written with a leading "'".
#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace CsvCells {

enum class Kind { Text, Number, Date, Id };

// Whether a spreadsheet would take the text for a formula: it starts with = + - @, a tab or a
// carriage return.
bool looksLikeFormula(const QString& text);
// A text cell as written: a formula-like text gets a leading "'" (as does one that starts with
// quotes followed by such a character), which importText() removes again.
QString exportText(const QString& text);
QString importText(const QString& cell);
// A stored value as a cell of the given kind (numbers and dates as stored, texts guarded).
QString exportCell(const QString& stored, Kind kind);

// A number cell: plain decimal text with "." and an optional minus (blanks around it allowed, no
// exponent, no plus, no grouping); nothing when it is not one.
std::optional<double> parseNumber(const QString& cell);
// A date cell: ISO (a time after the date is ignored) or the system's short date format.
std::optional<QDate> parseDate(const QString& cell);
// A record identifier cell: a positive whole number.
std::optional<qint64> parseId(const QString& cell);

} // namespace CsvCells
