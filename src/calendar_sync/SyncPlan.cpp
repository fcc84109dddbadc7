#include "SyncPlan.h"

#include <QSet>

namespace CalendarSync {

namespace {

bool chosen(const ItemState& item, const LocalTask* local, const ServerItem* server) {
    return !item.choice.isEmpty() && item.choiceEtag == (server ? server->etag : QByteArray()) &&
           item.choiceVersion == (local ? local->version : -1);
}

Action pairing(const ItemState& item, const LocalTask* local, const ServerItem* server) {
    Action a;
    a.item = item;
    const bool localChanged = local && local->version != item.version && local->print != item.print;
    const bool serverChanged = server && server->etag != item.etag && server->print != item.print;
    auto conflict = [&](ConflictKind kind, Step ours, Step theirs) {
        if (chosen(item, local, server))
            a.step = item.choice == QLatin1String("ours") ? ours : theirs;
        else {
            a.step = Step::Conflict;
            a.conflict = kind;
        }
    };
    if (!local && !server)
        a.step = Step::Drop;
    else if (!local)
        serverChanged ? conflict(ConflictKind::DeletedHere, Step::DeleteRemote, Step::CreateLocal)
                      : void(a.step = Step::DeleteRemote);
    else if (!server)
        localChanged ? conflict(ConflictKind::DeletedThere, Step::UploadNew, Step::DeleteLocal)
                     : void(a.step = Step::DeleteLocal);
    else if (localChanged && serverChanged)
        local->print == server->print ? void(a.step = Step::Record)
                                      : conflict(ConflictKind::Both, Step::Upload, Step::Apply);
    else if (localChanged)
        a.step = Step::Upload;
    else if (serverChanged)
        a.step = Step::Apply;
    else
        a.step = Step::Record;
    return a;
}

} // namespace

QList<QString> hrefsToFetch(const CollectionState& state, const QHash<qint64, LocalTask>& local,
                            const QHash<QString, ServerItem>& server) {
    QHash<QString, const ItemState*> known;
    for (const ItemState& item : state.items)
        known.insert(item.href, &item);
    QList<QString> hrefs;
    for (const ServerItem& s : server) {
        const ItemState* item = known.value(s.href);
        const bool ours =
            item && item->task && local.contains(item->task) && local.value(item->task).version != item->version;
        if (!s.fetched && (!item || item->etag != s.etag || ours))
            hrefs << s.href;
    }
    hrefs.sort();
    return hrefs;
}

QList<Action> decide(const CollectionState& state, const QHash<qint64, LocalTask>& local,
                     const QHash<QString, ServerItem>& server) {
    QList<Action> actions;
    QSet<qint64> pairedTasks;
    QSet<QString> pairedHrefs;
    for (const ItemState& item : state.items) {
        pairedHrefs.insert(item.href);
        const auto s = server.constFind(item.href);
        const ServerItem* serverItem = s == server.constEnd() ? nullptr : &*s;
        if (!item.task) {
            // Not a to-do when last seen: looked at again only when it changed into one.
            Action a;
            a.item = item;
            a.step = !serverItem                                         ? Step::Drop
                     : serverItem->etag != item.etag && serverItem->todo ? Step::CreateLocal
                                                                         : Step::Record;
            actions << a;
            continue;
        }
        pairedTasks.insert(item.task);
        const auto l = local.constFind(item.task);
        actions << pairing(item, l == local.constEnd() ? nullptr : &*l, serverItem);
    }
    // Unpaired to-dos, by UID, for the tasks not yet paired.
    QHash<QString, const ServerItem*> byUid;
    for (const ServerItem& s : server)
        if (!pairedHrefs.contains(s.href) && s.todo)
            byUid.insert(s.uid, &s);
    for (const LocalTask& t : local) {
        if (pairedTasks.contains(t.id))
            continue;
        if (const ServerItem* s = byUid.value(t.uid)) {
            // Paired without a common past: the same fields agree, anything else is the user's call.
            ItemState item;
            item.href = s->href;
            item.uid = s->uid;
            item.task = t.id;
            actions << pairing(item, &t, s);
            pairedHrefs.insert(s->href);
        } else {
            Action a;
            a.step = Step::UploadNew;
            a.item.uid = t.uid;
            a.item.task = t.id;
            actions << a;
        }
    }
    for (const ServerItem& s : server) {
        if (pairedHrefs.contains(s.href))
            continue;
        Action a;
        a.item.href = s.href;
        a.item.uid = s.uid;
        a.item.etag = s.etag;
        a.step = s.todo ? Step::CreateLocal : Step::Record;
        actions << a;
    }
    return actions;
}

QString hrefFor(const QString& collectionPath, const QString& uid) {
    QString name;
    for (const QChar c : uid)
        name += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-') || c == QLatin1Char('.') ||
                        c == QLatin1Char('_')
                    ? c
                    : QLatin1Char('-');
    QString path = collectionPath;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + name + QStringLiteral(".ics");
}

} // namespace CalendarSync
