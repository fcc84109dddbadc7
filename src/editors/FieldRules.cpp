#include "FieldRules.h"

#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace FieldRules {

namespace {

// The number of a plain number text; nothing for any other text.
std::optional<double> plainValue(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    const QString group = QRegularExpression::escape(locale.groupSeparator());
    const QString point = QRegularExpression::escape(locale.decimalPoint());
    const QString sign =
        QStringLiteral("[+\\-%1%2]?")
            .arg(QRegularExpression::escape(locale.negativeSign()), QRegularExpression::escape(locale.positiveSign()));
    // Digits either without grouping or grouped in twos or threes after a lead of one to three
    // (some locales group in twos after the first three), then an optional fraction.
    const QString whole = QStringLiteral("(?:[0-9]+|[0-9]{1,3}(?:%1[0-9]{2,3})+)").arg(group);
    const QRegularExpression plain(QStringLiteral("^%1(?:%2(?:%3[0-9]*)?|%3[0-9]+)$").arg(sign, whole, point));
    if (!plain.match(trimmed).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = locale.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

QDate earliestDate() {
    return QDate(1900, 1, 1);
}

QDate latestDate() {
    return QDate(2200, 12, 31);
}

bool isPlausibleDate(const QDate& date) {
    return date.isValid() && date >= earliestDate() && date <= latestDate();
}

bool endsBeforeStart(const QDate& start, const QDate& end) {
    return start.isValid() && end.isValid() && end < start;
}

bool isPlainNumber(const QString& text, const QLocale& locale) {
    return plainValue(text, locale).has_value();
}

bool isNegative(const QString& text, const QLocale& locale) {
    const std::optional<double> value = plainValue(text, locale);
    return value && *value < 0;
}

bool isOutsidePercent(const QString& text, const QLocale& locale) {
    const std::optional<double> value = plainValue(text, locale);
    return value && (*value < 0 || *value > 100);
}

} // namespace FieldRules
