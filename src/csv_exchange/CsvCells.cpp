#include "CsvCells.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace CsvCells {

namespace {
bool isFormulaStart(QChar c) {
    return c == QLatin1Char('=') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('@') ||
           c == QLatin1Char('\t') || c == QLatin1Char('\r');
}
} // namespace

bool looksLikeFormula(const QString& text) {
    return !text.isEmpty() && isFormulaStart(text.front());
}

namespace {
// A text needs the guard when, after any quotes it already starts with, it looks like a formula:
// then a text that starts with the guard itself gets one more, and importText() takes off one.
bool needsGuard(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char('\''))
        ++i;
    return i < text.size() && isFormulaStart(text.at(i));
}
} // namespace

QString exportText(const QString& text) {
    return needsGuard(text) ? QLatin1Char('\'') + text : text;
}

QString importText(const QString& cell) {
    if (cell.startsWith(QLatin1Char('\'')) && needsGuard(cell.mid(1)))
        return cell.mid(1);
    return cell;
}

QString exportCell(const QString& stored, Kind kind) {
    switch (kind) {
    case Kind::Number:
    case Kind::Id:
        if (parseNumber(stored) || stored.isEmpty())
            return stored;
        break;
    case Kind::Date:
        if (stored.isEmpty() || QDate::fromString(stored.left(10), Qt::ISODate).isValid())
            return stored;
        break;
    case Kind::Text:
        break;
    }
    return exportText(stored); // a stored value that is not of its kind is written as text
}

std::optional<double> parseNumber(const QString& cell) {
    QString text = cell.trimmed();
    if (text.startsWith(QLatin1Char('\'')))
        text = text.mid(1);
    // A plain decimal: an optional minus, digits and at most one point ("1e3" is not one, nor
    // "+5" or "1,000").
    static const QRegularExpression plain(QStringLiteral("^-?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
    if (!plain.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<QDate> parseDate(const QString& cell) {
    const QString text = cell.trimmed();
    QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    if (date.isValid() && (text.size() == 10 || text.at(10) == QLatin1Char('T') || text.at(10) == QLatin1Char(' ')))
        return date;
    date = QLocale::system().toDate(text, QLocale::ShortFormat);
    if (date.isValid())
        return date;
    return std::nullopt;
}

std::optional<qint64> parseId(const QString& cell) {
    bool ok = false;
    const qint64 id = cell.trimmed().toLongLong(&ok);
    if (!ok || id <= 0)
        return std::nullopt;
    return id;
}

} // namespace CsvCells
