// What one sync of a task list does, decided from three views without touching either side: the
// state of the last sync, the tasks now (their row_version and fingerprint) and the to-dos now
// (their ETag and, where it changed, their fingerprint). A side changed when its version moved
// and its fingerprint differs from the one both sides agreed on; a task changed on both sides
// into different things is a conflict, which only the user's choice resolves.
#pragma once

#include "SyncState.h"

#include <QHash>
#include <QList>
#include <QString>

namespace CalendarSync {

struct LocalTask {
    qint64 id = 0;
    qint64 version = 0;
    QString uid;   // the UID it is uploaded with when it has none yet
    QString print; // fingerprint of the shared fields
};

struct ServerItem {
    QString href;
    QByteArray etag;
    bool fetched = false; // uid, todo and print are known
    QString uid;
    bool todo = false;
    QString print;
};

enum class Step {
    Record,       // both sides agree: remember their versions
    Upload,       // ours replaces the to-do (If-Match its ETag)
    UploadNew,    // ours is written as a new to-do (If-None-Match: *)
    DeleteRemote, // the to-do is deleted (If-Match its ETag)
    Apply,        // the to-do's fields are written into the task (checked against its row_version)
    CreateLocal,  // a new task is made from the to-do
    DeleteLocal,  // the task is deleted (checked against its row_version)
    Drop,         // gone on both sides: forgotten
    Conflict,     // changed on both sides: the user chooses
};

enum class ConflictKind { None, Both, DeletedHere, DeletedThere };

struct Action {
    Step step = Step::Record;
    ItemState item; // the state the action starts from (a new one for a new pairing)
    ConflictKind conflict = ConflictKind::None;
};

// Which to-dos must be read in full before deciding: new ones, changed ones, and those whose
// task changed too (a change of ours is written into the to-do as the server keeps it).
QList<QString> hrefsToFetch(const CollectionState& state, const QHash<qint64, LocalTask>& local,
                            const QHash<QString, ServerItem>& server);

// The actions of one sync. Tasks and to-dos that nothing pairs yet are paired by UID.
QList<Action> decide(const CollectionState& state, const QHash<qint64, LocalTask>& local,
                     const QHash<QString, ServerItem>& server);

// The href a new to-do of ours gets in the collection (its UID made safe for a path).
QString hrefFor(const QString& collectionPath, const QString& uid);

} // namespace CalendarSync
