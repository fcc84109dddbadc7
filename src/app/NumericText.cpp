#include "NumericText.h"

#include <cmath>

namespace NumericText {

namespace {

// The parser of the locale accepts NaN and infinity; neither can be stored as a number.
bool parse(const QString& text, const QLocale& locale, double* value) {
    bool ok = false;
    const double d = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(d))
        return false;
    *value = d;
    return true;
}

} // namespace

bool isNumeric(const QString& text, const QLocale& locale) {
    double d = 0;
    return parse(text, locale, &d);
}

QString toSql(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    // Whole numbers first: a double would round those beyond 2^53.
    bool whole = false;
    const qlonglong n = locale.toLongLong(trimmed, &whole);
    if (whole)
        return QString::number(n);
    double d = 0;
    if (!parse(trimmed, locale, &d))
        return {};
    if (d == 0)
        return QStringLiteral("0"); // also for -0 and underflow to zero
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

QString toLocaleText(const QVariant& value, const QLocale& locale) {
    if (value.isNull())
        return {};
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return plain.toString(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 1e15)
            return plain.toString(static_cast<qlonglong>(d));
        return plain.toString(d, 'g', QLocale::FloatingPointShortest);
    }
    default:
        break;
    }
    // A number kept as text by the database ("12.5"): shown in the locale when it is one.
    const QString text = value.toString();
    bool ok = false;
    const double d = QLocale::c().toDouble(text.trimmed(), &ok);
    if (ok && std::isfinite(d))
        return toLocaleText(QVariant(d), locale);
    return text;
}

} // namespace NumericText
