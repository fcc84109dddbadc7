#include "Settings.h"

#include "DbError.h"

#include <QLocale>
#include <QSettings>

namespace Settings {

namespace {
QString fullKey(const QString& key) {
    return QStringLiteral("Fennick Planner/") + key;
}
} // namespace

QString read(const QString& key, const QString& defaultValue) {
    QSettings s(QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick"));
    const QVariant v = s.value(fullKey(key));
    return v.isValid() ? v.toString() : defaultValue;
}

void write(const QString& key, const QString& value) {
    QSettings s(QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick"));
    s.setValue(fullKey(key), value);
    s.sync();
    if (s.status() != QSettings::NoError)
        throw DbError(QStringLiteral("The setting '%1' could not be saved.").arg(key));
}

float toWidth(const QString& text) {
    bool ok = false;
    const float width = QLocale::system().toFloat(text.trimmed(), &ok);
    if (!ok)
        throw DbError(QStringLiteral("Type mismatch (%1 is not a width)").arg(text));
    return width;
}

qint16 toWindowState(const QString& text) {
    bool ok = false;
    const qint16 state = QLocale::system().toShort(text.trimmed(), &ok);
    if (!ok)
        throw DbError(QStringLiteral("Type mismatch (%1 is not a window state)").arg(text));
    return state;
}

} // namespace Settings
