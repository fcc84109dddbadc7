#include "ReminderStore.h"

#include "app/DataStore.h"
#include "app/Database.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

namespace Reminders {

namespace {
const QString tasksKey = QStringLiteral("tasks");

QString recordKey(const QString& identity) {
    return QString::fromLatin1(QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QJsonObject readFile(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(f.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        qWarning("Reminders: %s is not readable (%s); it is started afresh", qPrintable(file),
                 qPrintable(error.errorString()));
        return {};
    }
    return document.object();
}
} // namespace

ReminderStore::ReminderStore(QString file)
    : m_file(file.isEmpty() ? DataStore::dataFolder() + QStringLiteral("/reminders.json") : std::move(file)) {}

QString ReminderStore::identityOfSharedDatabase() {
    const Database& db = Database::shared();
    const QString path = db.path();
    if (!path.isEmpty()) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
    }
    return db.describe(); // a team database by its name and host, never by its password
}

void ReminderStore::load(const QString& identity) {
    m_identity = identity;
    m_record = readFile(m_file).value(recordKey(identity)).toObject();
}

QJsonObject ReminderStore::task(qint64 id) const {
    return m_record.value(tasksKey).toObject().value(QString::number(id)).toObject();
}

void ReminderStore::putTask(qint64 id, const QJsonObject& value) {
    QJsonObject tasks = m_record.value(tasksKey).toObject();
    if (value.isEmpty())
        tasks.remove(QString::number(id));
    else
        tasks.insert(QString::number(id), value);
    m_record.insert(tasksKey, tasks);
}

TaskSetting ReminderStore::setting(qint64 id) const {
    const QJsonObject t = task(id);
    TaskSetting setting;
    const QTime time = QTime::fromString(t.value(QStringLiteral("time")).toString(), QStringLiteral("HH:mm"));
    if (time.isValid())
        setting.time = time;
    if (t.value(QStringLiteral("before")).isDouble())
        setting.minutesBefore = std::max(0, t.value(QStringLiteral("before")).toInt());
    return setting;
}

std::optional<Sent> ReminderStore::sent(qint64 id) const {
    const QJsonObject t = task(id);
    const QString key = t.value(QStringLiteral("sent")).toString();
    if (key.isEmpty())
        return std::nullopt;
    return Sent{key, QDateTime::fromString(t.value(QStringLiteral("snoozedUntil")).toString(), Qt::ISODate)};
}

std::optional<qint64> ReminderStore::contact() const {
    const QJsonValue value = m_record.value(QStringLiteral("contact"));
    if (!value.isDouble())
        return std::nullopt;
    return static_cast<qint64>(value.toDouble());
}

int ReminderStore::longestMinutesBefore() const {
    int longest = 0;
    const QJsonObject tasks = m_record.value(tasksKey).toObject();
    for (auto it = tasks.begin(); it != tasks.end(); ++it)
        longest = std::max(longest, it.value().toObject().value(QStringLiteral("before")).toInt());
    return longest;
}

void ReminderStore::setSetting(qint64 id, const TaskSetting& setting) {
    QJsonObject t = task(id);
    if (setting.time)
        t.insert(QStringLiteral("time"), setting.time->toString(QStringLiteral("HH:mm")));
    else
        t.remove(QStringLiteral("time"));
    if (setting.minutesBefore)
        t.insert(QStringLiteral("before"), *setting.minutesBefore);
    else
        t.remove(QStringLiteral("before"));
    putTask(id, t);
}

void ReminderStore::markSent(qint64 id, const QString& dueKey) {
    QJsonObject t = task(id);
    t.insert(QStringLiteral("sent"), dueKey);
    t.remove(QStringLiteral("snoozedUntil"));
    putTask(id, t);
}

void ReminderStore::snooze(qint64 id, const QString& dueKey, const QDateTime& until) {
    QJsonObject t = task(id);
    t.insert(QStringLiteral("sent"), dueKey);
    t.insert(QStringLiteral("snoozedUntil"), until.toString(Qt::ISODate));
    putTask(id, t);
}

void ReminderStore::setContact(std::optional<qint64> contact) {
    if (contact)
        m_record.insert(QStringLiteral("contact"), static_cast<double>(*contact));
    else
        m_record.remove(QStringLiteral("contact"));
}

void ReminderStore::save() const {
    QJsonObject all = readFile(m_file);
    all.insert(recordKey(m_identity), m_record);
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSaveFile file(m_file);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(all).toJson(QJsonDocument::Compact)) < 0 ||
        !file.commit())
        throw DbError(QStringLiteral("The reminders could not be saved in %1: %2").arg(m_file, file.errorString()));
}

} // namespace Reminders
