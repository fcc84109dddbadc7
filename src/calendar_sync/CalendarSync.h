// Two-way sync of projects' tasks with task lists (VTODO collections) on a CalDAV server. One run
// looks at each task list in turn: first its version alone (one request), and only when that or
// a task of ours changed, its list of versions (sync-collection from the last token, else a
// PROPFIND), the changed to-dos in full (calendar-multiget), then the decided actions (SyncPlan):
// our changes go up (PUT and DELETE, each conditional on the version seen), the server's come
// down (through the shared connection, each checked against the task's row_version), conflicts
// wait for the user. A server that cannot be reached ends the run where it is: what was done is
// remembered, the rest is done by a later run; nothing is lost on either side.
#pragma once

#include "CalDav.h"
#include "SyncPlan.h"
#include "SyncState.h"
#include "plan_files/PlanFile.h"

#include <QDate>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <deque>
#include <optional>

namespace CalendarSync {

struct Conflict {
    QString collection;
    ConflictKind kind = ConflictKind::Both;
    ItemState item;
    std::optional<PlanFiles::FileTask> ours;   // none: deleted here
    std::optional<PlanFiles::FileTask> theirs; // none: deleted on the server
    qint64 version = -1;                       // the task's row_version seen
    QByteArray etag;                           // the to-do's ETag seen
    // Both versions in plain words, for the question the user answers.
    QString describe() const;
};

struct Report {
    int upNew = 0, upChanged = 0, upDeleted = 0;
    int downNew = 0, downChanged = 0, downDeleted = 0;
    QList<Conflict> conflicts;
    QStringList problems;    // plain messages: a server away, a refusal
    QStringList notTaskList; // URLs refused before any write: not a calendar collection of to-dos
    bool serverAway = false;
    bool passwordRefused = false;
    int requests = 0;
    qint64 bytesSent = 0, bytesReceived = 0;
    bool moved() const { return upNew + upChanged + upDeleted + downNew + downChanged + downDeleted > 0; }
    // What moved, one line each ("up: 2 new, 1 changed, 0 deleted").
    QStringList lines() const;
};

class Engine final : public QObject {
    Q_OBJECT
public:
    // The state is the caller's (loaded); it is saved after each task list.
    Engine(const QUrl& server, const QString& user, const QString& password, State& state, QObject* parent = nullptr);

    // Syncs every task list of the state that projects sync to (or only `only`, when given).
    void start(const QStringList& only = {});
    bool running() const { return m_running; }
    CalDav::Client& client() { return m_client; }

    // Remembers the user's choice for a conflict; the next run carries it out (when neither side
    // changed again meanwhile). Saves the state.
    static bool resolve(State& state, const Conflict& conflict, bool ours, QString* error = nullptr);

signals:
    void finished(const CalendarSync::Report& report);

private:
    struct Fetched {
        PlanFiles::FileTask task;
        QByteArray ics;
    };
    struct Work {
        Action action;
        QString href;
    };

    void nextCollection();
    void probed(const CalDav::Response& r);
    void readLocal();
    bool nothingChangedHere() const;
    void list();
    void listed(const CalDav::Multistatus& ms, bool full);
    void fetchNext();
    void decideAndAct();
    void act(const Action& action);
    void pump();
    void collectionDone();
    void fail(const CalDav::Response& r, const QString& what);
    void finish();
    ItemState* itemAt(const QString& href);
    void setItem(const ItemState& item);
    void removeItem(const QString& href);
    void readTasks(const QSet<qint64>& ids);
    QString statusFor(const PlanFiles::FileTask& theirs, qint64 taskId);

    CalDav::Client m_client;
    State& m_state;
    QStringList m_queue; // collections still to sync
    bool m_running = false;
    Report m_report;

    // The collection being synced.
    CollectionState* m_current = nullptr;
    QString m_path; // the collection's path on the server
    QString m_ctag, m_token, m_newToken;
    QString m_database;
    QHash<qint64, LocalTask> m_local;
    QHash<qint64, qint64> m_projectOf;
    QHash<qint64, PlanFiles::FileTask> m_tasks; // read in full where needed
    QHash<QString, ServerItem> m_server;
    QHash<QString, Fetched> m_fetched;
    QStringList m_toFetch;
    std::deque<Action> m_remote;
    int m_wrote = 0;
    bool m_failed = false;
    bool m_unsettled = false;
    bool m_prepared = false;
};

// The name of the open database in the UIDs of its tasks' to-dos ("task-<ID>@<name>"): the same in
// every run and for every user of a team database, and different for every other database.
QString databaseIdentity(State& state);

// The fingerprint of the fields both sides share (title, description, dates, percent, status).
QString fingerprint(const PlanFiles::FileTask& task);

} // namespace CalendarSync

Q_DECLARE_METATYPE(CalendarSync::Report)
