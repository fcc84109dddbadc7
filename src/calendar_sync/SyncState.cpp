#include "SyncState.h"

#include "app/DataStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUuid>

namespace CalendarSync {

QString State::fileFor(const QString& databaseTarget) {
    // Named by a hash: a connection string never reaches a file name.
    const QByteArray id =
        QCryptographicHash::hash(databaseTarget.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return DataStore::dataFolder() + QStringLiteral("/calendar-sync/") + QString::fromLatin1(id) +
           QStringLiteral(".json");
}

bool State::load(const QString& path, QString* error) {
    m_path = path;
    m_collections.clear();
    m_databaseId.clear();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("%1: not a sync state (%2).").arg(path, parse.errorString());
        return false;
    }
    m_databaseId = doc.object().value(QStringLiteral("databaseId")).toString();
    for (const QJsonValue& c : doc.object().value(QStringLiteral("collections")).toArray()) {
        const QJsonObject o = c.toObject();
        CollectionState cs;
        cs.url = o.value(QStringLiteral("url")).toString();
        cs.name = o.value(QStringLiteral("name")).toString();
        cs.ctag = o.value(QStringLiteral("ctag")).toString();
        cs.syncToken = o.value(QStringLiteral("syncToken")).toString();
        for (const QJsonValue& p : o.value(QStringLiteral("projects")).toArray())
            cs.projects << p.toInteger();
        for (const QJsonValue& i : o.value(QStringLiteral("items")).toArray()) {
            const QJsonObject io = i.toObject();
            ItemState s;
            s.href = io.value(QStringLiteral("href")).toString();
            s.uid = io.value(QStringLiteral("uid")).toString();
            s.task = io.value(QStringLiteral("task")).toInteger();
            s.etag = io.value(QStringLiteral("etag")).toString().toUtf8();
            s.version = io.value(QStringLiteral("version")).toInteger(-1);
            s.print = io.value(QStringLiteral("print")).toString();
            s.choice = io.value(QStringLiteral("choice")).toString();
            s.choiceEtag = io.value(QStringLiteral("choiceEtag")).toString().toUtf8();
            s.choiceVersion = io.value(QStringLiteral("choiceVersion")).toInteger(-1);
            if (!s.href.isEmpty())
                cs.items << s;
        }
        if (!cs.url.isEmpty())
            m_collections << cs;
    }
    return true;
}

bool State::save(QString* error) const {
    QJsonArray collections;
    for (const CollectionState& cs : m_collections) {
        QJsonArray projects, items;
        for (qint64 p : cs.projects)
            projects << p;
        for (const ItemState& s : cs.items) {
            QJsonObject io{{QStringLiteral("href"), s.href},       {QStringLiteral("uid"), s.uid},
                           {QStringLiteral("task"), s.task},       {QStringLiteral("etag"), QString::fromUtf8(s.etag)},
                           {QStringLiteral("version"), s.version}, {QStringLiteral("print"), s.print}};
            if (!s.choice.isEmpty()) {
                io.insert(QStringLiteral("choice"), s.choice);
                io.insert(QStringLiteral("choiceEtag"), QString::fromUtf8(s.choiceEtag));
                io.insert(QStringLiteral("choiceVersion"), s.choiceVersion);
            }
            items << io;
        }
        collections << QJsonObject{{QStringLiteral("url"), cs.url},        {QStringLiteral("name"), cs.name},
                                   {QStringLiteral("ctag"), cs.ctag},      {QStringLiteral("syncToken"), cs.syncToken},
                                   {QStringLiteral("projects"), projects}, {QStringLiteral("items"), items}};
    }
    QJsonObject whole{{QStringLiteral("collections"), collections}};
    if (!m_databaseId.isEmpty())
        whole.insert(QStringLiteral("databaseId"), m_databaseId);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(whole).toJson(QJsonDocument::Compact)) < 0 ||
        !file.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}

CollectionState& State::collection(const QString& url) {
    for (CollectionState& cs : m_collections)
        if (cs.url == url)
            return cs;
    m_collections.append(CollectionState{});
    m_collections.last().url = url;
    return m_collections.last();
}

const CollectionState* State::find(const QString& url) const {
    for (const CollectionState& cs : m_collections)
        if (cs.url == url)
            return &cs;
    return nullptr;
}

QString State::collectionOf(qint64 project) const {
    for (const CollectionState& cs : m_collections)
        if (cs.projects.contains(project))
            return cs.url;
    return {};
}

void State::assign(qint64 project, const QString& url) {
    for (CollectionState& cs : m_collections)
        cs.projects.removeAll(project);
    if (!url.isEmpty())
        collection(url).projects << project;
}

QString State::databaseId() {
    if (m_databaseId.isEmpty())
        m_databaseId = QUuid::createUuid().toString(QUuid::Id128).left(16);
    return m_databaseId;
}

} // namespace CalendarSync
