// What a calendar sync remembers between runs, in a small file of its own beside the data (one
// per database, named after the database's identity, written whole through a temporary file):
// for each task list, its version as last seen (getctag, sync-token) and the projects that sync to
// it; for each to-do, its href and UID, the task it is, the server's version (ETag) and ours
// (row_version) at the last sync, and a fingerprint of the fields both sides share. Kept outside
// the database so that a team database needs no change of its tables and each user's account
// keeps its own state; a lost file costs nothing but a slower first sync (to-dos are matched to
// tasks by UID again).
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace CalendarSync {

struct ItemState {
    QString href; // the path on the server
    QString uid;
    qint64 task = 0;     // 0: an item that is not a to-do (an event), skipped until it changes
    QByteArray etag;     // the server's version at the last sync
    qint64 version = -1; // the task's row_version at the last sync
    QString print;       // fingerprint of the shared fields at the last sync; empty: never agreed
    // A conflict the user decided: "ours" or "theirs", valid while both sides are as they were
    // when it was asked (that ETag and that row_version).
    QString choice;
    QByteArray choiceEtag;
    qint64 choiceVersion = -1;
};

struct CollectionState {
    QString url;
    QString name;
    QList<qint64> projects;
    QString ctag;
    QString syncToken;
    QList<ItemState> items;
};

class State {
public:
    // The file of the database (its target: a path or a connection string) under the data folder.
    static QString fileFor(const QString& databaseTarget);

    // Reads the file; a missing file is an empty state. False with a message when it cannot be read.
    bool load(const QString& path, QString* error = nullptr);
    // Writes the whole state (through a temporary file, then renamed). False with a message.
    bool save(QString* error = nullptr) const;

    QList<CollectionState>& collections() { return m_collections; }
    const QList<CollectionState>& collections() const { return m_collections; }
    // The collection with that URL (added when missing).
    CollectionState& collection(const QString& url);
    const CollectionState* find(const QString& url) const;
    // The collection a project syncs to (empty: none).
    QString collectionOf(qint64 project) const;
    // Sets the one collection a project syncs to (empty: none).
    void assign(qint64 project, const QString& url);
    // A random name of the database kept here where the database itself can keep none (a
    // read-only file); made on first use.
    QString databaseId();

private:
    QString m_path;
    QString m_databaseId;
    QList<CollectionState> m_collections;
};

} // namespace CalendarSync
