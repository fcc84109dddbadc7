#include "ValueText.h"

#include <QDate>
#include <QHash>
#include <QLocale>

#include <cmath>

QString numberText(double value) {
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    // Every digit the number holds, and no more: the shortest text that reads back as the same
    // double (a budget of 12345678901234.568 keeps its last digits through an export).
    const double size = std::fabs(value);
    if (size >= 1e-6 && size < 1e21)
        return QString::number(value, 'f', QLocale::FloatingPointShortest);
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString shortDateText(const QString& isoDate) {
    static QHash<QString, QString> cache;
    const auto it = cache.constFind(isoDate);
    if (it != cache.constEnd())
        return it.value();
    const QDate d = QDate::fromString(isoDate.left(10), Qt::ISODate);
    const QString shown = d.isValid() ? QLocale::system().toString(d, QLocale::ShortFormat) : isoDate;
    if (cache.size() > 10000)
        cache.clear();
    cache.insert(isoDate, shown);
    return shown;
}

QString displayText(const QVariant& value, bool isDateColumn) {
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return numberText(value.toDouble());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return QString::number(value.toLongLong());
    default:
        break;
    }
    const QString text = value.toString();
    return isDateColumn ? shortDateText(text) : text;
}

QString milestoneDateText(const QString& shownDate) {
    return QStringLiteral("\u25C6 ") + shownDate;
}

bool isDateColumnName(const QString& name) {
    return name.endsWith(QLatin1String("date"), Qt::CaseInsensitive);
}

bool isStoredTruth(const QString& text) {
    return text == QLatin1String("1") || text.compare(QLatin1String("t"), Qt::CaseInsensitive) == 0 ||
           text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}
