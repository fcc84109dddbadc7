#include "CalendarSync.h"

#include "app/Database.h"
#include "app/DbError.h"
#include "app/RecordGuard.h"
#include "app/SqlText.h"
#include "app/UndoSteps.h"
#include "plan_files/ICalendar.h"
#include "plan_files/PlanExport.h"
#include "plan_files/PlanImport.h"
#include "scheduling/PlanStore.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QUuid>

#include <algorithm>

namespace CalendarSync {

namespace {

// How many to-dos one calendar-multiget asks for, and how many writes are under way at once.
constexpr int fetchBatch = 100;
constexpr int writesAtOnce = 4;

QDate dueOf(const PlanFiles::FileTask& t) {
    return t.milestone || !t.finish.isValid() || t.finish < t.start ? t.start : t.finish;
}

QString describeTask(const std::optional<PlanFiles::FileTask>& t) {
    if (!t)
        return QStringLiteral("deleted");
    QString text = QStringLiteral("\"%1\", %2 to %3, %4 % done, %5")
                       .arg(t->name, t->start.toString(Qt::ISODate), dueOf(*t).toString(Qt::ISODate))
                       .arg(t->percentComplete)
                       .arg(PlanFiles::todoStatus(*t).toLower());
    if (!t->notes.isEmpty())
        text += QStringLiteral("; ") + t->notes.left(200);
    return text;
}

QString dateSql(QDate date) {
    return date.isValid() ? SqlText::quoted(SqlText::dateText(date)) : QStringLiteral("null");
}

bool readTodo(const QByteArray& ics, PlanFiles::FileTask& task) {
    QBuffer buffer;
    buffer.setData(ics);
    buffer.open(QIODevice::ReadOnly);
    PlanFiles::PlanFile plan;
    if (!PlanFiles::readICalendar(buffer, plan) || plan.tasks.size() != 1)
        return false;
    task = plan.tasks.constFirst();
    return !task.key.startsWith(QLatin1Char('#')); // a to-do without a UID of its own is not ours to pair
}

// A to-do as a listing names it: where it is and its version.
ServerItem listedItem(const QString& href, const QByteArray& etag) {
    ServerItem s;
    s.href = href;
    s.etag = etag;
    return s;
}

} // namespace

QString fingerprint(const PlanFiles::FileTask& t) {
    const QString status = PlanFiles::todoStatus(t);
    const int percent = status == QLatin1String("COMPLETED") ? 100 : std::clamp(t.percentComplete, 0, 100);
    QString notes = t.notes;
    notes.remove(QLatin1Char('\r'));
    const QString text = QStringList{t.name.simplified(),           notes.trimmed(),
                                     t.start.toString(Qt::ISODate), dueOf(t).toString(Qt::ISODate),
                                     QString::number(percent),      status}
                             .join(QChar(0x1f));
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(20));
}

QString Conflict::describe() const {
    const QString name = ours ? ours->name : theirs ? theirs->name : item.uid;
    QString what;
    switch (kind) {
    case ConflictKind::DeletedHere:
        what = QStringLiteral("was deleted here but changed in the calendar");
        break;
    case ConflictKind::DeletedThere:
        what = QStringLiteral("was changed here but deleted in the calendar");
        break;
    default:
        what = QStringLiteral("was changed both here and in the calendar");
        break;
    }
    return QStringLiteral("The task \"%1\" %2 since the last sync.\n\nHere: %3\nIn the calendar: %4")
        .arg(name, what, describeTask(ours), describeTask(theirs));
}

QStringList Report::lines() const {
    QStringList out;
    out << QStringLiteral("up: %1 new, %2 changed, %3 deleted").arg(upNew).arg(upChanged).arg(upDeleted);
    out << QStringLiteral("down: %1 new, %2 changed, %3 deleted").arg(downNew).arg(downChanged).arg(downDeleted);
    out << QStringLiteral("conflicts: %1").arg(conflicts.size());
    for (const Conflict& c : conflicts)
        out << QStringLiteral("  ") + c.describe()
                                          .replace(QStringLiteral("\n\n"), QStringLiteral(" "))
                                          .replace(QLatin1Char('\n'), QStringLiteral("; "));
    for (const QString& p : problems)
        out << QStringLiteral("problem: ") + p;
    out << QStringLiteral("requests: %1, bytes sent: %2, received: %3").arg(requests).arg(bytesSent).arg(bytesReceived);
    return out;
}

Engine::Engine(const QUrl& server, const QString& user, const QString& password, State& state, QObject* parent)
    : QObject(parent)
    , m_client(server, user, password, this)
    , m_state(state) {
    qRegisterMetaType<CalendarSync::Report>();
}

void Engine::start(const QStringList& only) {
    m_report = Report{};
    m_queue.clear();
    for (const CollectionState& cs : m_state.collections())
        if (!cs.projects.isEmpty() && (only.isEmpty() || only.contains(cs.url)))
            m_queue << cs.url;
    m_running = true;
    m_database.clear();
    nextCollection();
}

void Engine::nextCollection() {
    if (m_queue.isEmpty() || m_report.serverAway || m_report.passwordRefused) {
        finish();
        return;
    }
    const QString url = m_queue.takeFirst();
    m_current = nullptr;
    for (CollectionState& cs : m_state.collections())
        if (cs.url == url)
            m_current = &cs;
    if (!m_current) {
        nextCollection(); // no longer in the state
        return;
    }
    m_path = CalDav::Client::pathOf(m_client.resolve(url));
    m_local.clear();
    m_projectOf.clear();
    m_tasks.clear();
    m_server.clear();
    m_fetched.clear();
    m_toFetch.clear();
    m_remote.clear();
    m_ctag.clear();
    m_token.clear();
    m_newToken.clear();
    m_wrote = 0;
    m_failed = false;
    m_unsettled = false;
    m_prepared = false;
    // The kind of the collection is asked with its version, so that the check costs no request.
    m_client.send(
        "PROPFIND", m_client.resolve(url),
        CalDav::propfindBody({QStringLiteral("getctag"), QStringLiteral("sync-token"), QStringLiteral("resourcetype"),
                              QStringLiteral("supported-calendar-component-set")}),
        {{"Depth", "0"}}, [this](const CalDav::Response& r) { probed(r); });
}

void Engine::fail(const CalDav::Response& r, const QString& what) {
    m_failed = true;
    if (!r.reached()) {
        if (!m_report.serverAway)
            m_report.problems << QStringLiteral("The calendar server could not be reached (%1); the sync is tried "
                                                "again later.")
                                     .arg(r.error);
        m_report.serverAway = true;
    } else if (r.status == 401 || r.status == 403) {
        if (!m_report.passwordRefused)
            m_report.problems << QStringLiteral("The calendar server refused the user or password (%1).").arg(r.status);
        m_report.passwordRefused = r.status == 401;
        if (r.status == 403)
            m_report.problems.last() = QStringLiteral("The calendar server refused %1 (403 Forbidden).").arg(what);
    } else {
        m_report.problems << QStringLiteral("The calendar server answered %1 to %2.").arg(r.status).arg(what);
    }
}

void Engine::probed(const CalDav::Response& r) {
    if (r.status != 207) {
        fail(r, QStringLiteral("the task list %1").arg(m_current->url));
        if (r.status == 404)
            m_report.problems.last() = QStringLiteral("The task list %1 is not on the server.").arg(m_current->url);
        collectionDone();
        return;
    }
    const CalDav::Multistatus ms = CalDav::parseMultistatus(r.body);
    for (const CalDav::Entry& e : ms.entries) {
        m_ctag = e.ctag;
        m_token = e.syncToken;
    }
    // A user's calendar home, a principal or an event calendar takes a PUT of a to-do in ways no
    // client sees (a new collection per to-do, a file outside any calendar), and a later listing
    // of it misses every task: nothing is written to it nor taken from it.
    if (ms.entries.size() != 1 || !ms.entries.constFirst().isTaskList()) {
        // Some servers answer a missing collection with a multistatus that says 404.
        const bool missing = ms.entries.size() == 1 && ms.entries.constFirst().status == 404;
        m_report.problems << QStringLiteral("%1 is not a task list (a calendar collection that takes to-dos)%2; "
                                            "nothing was synced with it. Choose one of the account's task lists.")
                                 .arg(m_current->url,
                                      missing ? QStringLiteral(": it is not on the server") : QString());
        m_report.notTaskList << m_current->url;
        m_failed = true;
        collectionDone();
        return;
    }
    try {
        readLocal();
    } catch (const DbError& e) {
        m_report.problems << e.description();
        m_failed = true;
        collectionDone();
        return;
    }
    if (!m_current->ctag.isEmpty() && m_ctag == m_current->ctag && nothingChangedHere()) {
        collectionDone();
        return;
    }
    list();
}

QString databaseIdentity(State& state) {
    Database& db = Database::shared();
    QString identity;
    try {
        if (db.connection() && db.connection()->dialect() == SqlText::Dialect::PostgreSql) {
            // The server's and the database's own numbers: the same for every user of a team
            // database and for every run, with nothing to store and no right to ask for.
            ResultSet rs =
                db.query(QStringLiteral("select (select system_identifier from pg_control_system())::text || '.' || "
                                        "(select oid from pg_database where datname = current_database())::text"));
            if (!rs.eof())
                identity = rs.rawText(0);
        } else {
            // Every local file is called the same: a random name kept in the file, made on the
            // first sync, tells one file's tasks from another's. Written only that once, so that
            // a sync with nothing to do changes nothing here.
            auto stored = [&db] {
                ResultSet rs = db.query(QStringLiteral("select Id from CalendarSyncIdentity where Slot = 1"));
                return rs.eof() ? QString() : rs.rawText(0);
            };
            const bool made = !db.query(QStringLiteral("select 1 from sqlite_master where type = 'table' and name = "
                                                       "'CalendarSyncIdentity'"))
                                   .eof();
            identity = made ? stored() : QString();
            if (identity.isEmpty() && !db.isReadOnly()) {
                db.execute(QStringLiteral("create table if not exists CalendarSyncIdentity (Slot integer primary "
                                          "key check (Slot = 1), Id text not null)"));
                db.execute(QStringLiteral("insert into CalendarSyncIdentity (Slot, Id) values (1, %1) on conflict "
                                          "do nothing")
                               .arg(SqlText::quoted(QUuid::createUuid().toString(QUuid::Id128))));
                identity = stored();
            }
        }
    } catch (const DbError&) {
        identity.clear(); // kept in the sync state instead
    }
    if (identity.isEmpty())
        identity = state.databaseId();
    return QString::fromLatin1(
               QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256).toHex().left(16)) +
           QStringLiteral(".fennick");
}

void Engine::readLocal() {
    if (m_current->projects.isEmpty())
        return;
    if (m_database.isEmpty())
        m_database = databaseIdentity(m_state);
    QStringList ids;
    for (qint64 p : m_current->projects)
        ids << QString::number(p);
    QHash<qint64, QString> uids;
    for (const ItemState& item : m_current->items)
        if (item.task)
            uids.insert(item.task, item.uid);
    for (ResultSet rs = Database::shared().query(
             QStringLiteral("select ID, ProjectID, row_version from Tasks where ProjectID in (%1)")
                 .arg(ids.join(QLatin1Char(','))));
         !rs.eof(); rs.moveNext()) {
        LocalTask t;
        t.id = rs.value(0).toLongLong();
        t.version = rs.value(2).toLongLong();
        t.uid = uids.value(t.id, PlanFiles::todoUid(QString::number(t.id), m_database));
        m_local.insert(t.id, t);
        m_projectOf.insert(t.id, rs.value(1).toLongLong());
    }
}

bool Engine::nothingChangedHere() const {
    qsizetype paired = 0;
    for (const ItemState& item : m_current->items) {
        if (!item.task)
            continue;
        const auto t = m_local.constFind(item.task);
        if (t == m_local.constEnd() || t->version != item.version)
            return false;
        ++paired;
    }
    return paired == m_local.size();
}

void Engine::list() {
    // The versions of the to-dos: the last known ones changed by a sync report, else all of them.
    for (const ItemState& item : m_current->items)
        m_server.insert(item.href, listedItem(item.href, item.etag));
    if (!m_current->ctag.isEmpty() && m_ctag == m_current->ctag) {
        fetchNext();
        return;
    }
    auto full = [this] {
        m_client.send("PROPFIND", m_client.resolve(m_current->url),
                      CalDav::propfindBody({QStringLiteral("getetag"), QStringLiteral("resourcetype")}),
                      {{"Depth", "1"}}, [this](const CalDav::Response& r) {
                          if (r.status != 207) {
                              fail(r, QStringLiteral("the listing of %1").arg(m_current->url));
                              collectionDone();
                              return;
                          }
                          listed(CalDav::parseMultistatus(r.body), true);
                      });
    };
    if (m_current->syncToken.isEmpty()) {
        full();
        return;
    }
    m_client.send("REPORT", m_client.resolve(m_current->url), CalDav::syncCollectionBody(m_current->syncToken),
                  {{"Depth", "0"}}, [this, full](const CalDav::Response& r) {
                      if (!r.reached()) {
                          fail(r, QString());
                          collectionDone();
                      } else if (r.status != 207) {
                          full(); // the token is no longer valid, or the server has no sync reports
                      } else {
                          listed(CalDav::parseMultistatus(r.body), false);
                      }
                  });
}

void Engine::listed(const CalDav::Multistatus& ms, bool full) {
    if (full)
        m_server.clear();
    m_newToken = full ? m_token : ms.syncToken;
    for (const CalDav::Entry& e : ms.entries) {
        const QString path = CalDav::Client::pathOf(m_client.resolve(e.href));
        if (path == m_path || e.resourceTypes.contains(QLatin1String("collection")))
            continue;
        if (e.status == 404 || (!full && e.etag.isEmpty()))
            m_server.remove(path);
        else
            m_server.insert(path, listedItem(path, e.etag));
    }
    fetchNext();
}

void Engine::fetchNext() {
    if (!m_prepared) {
        m_prepared = true;
        // The full local view of the tasks that moved or have no to-do yet.
        QSet<qint64> changed;
        QHash<qint64, qint64> versions;
        for (const ItemState& item : m_current->items)
            if (item.task)
                versions.insert(item.task, item.version);
        for (const LocalTask& t : std::as_const(m_local))
            if (versions.value(t.id, -2) != t.version)
                changed.insert(t.id);
        try {
            readTasks(changed);
        } catch (const DbError& e) {
            m_report.problems << e.description();
            m_failed = true;
            collectionDone();
            return;
        }
        m_toFetch = hrefsToFetch(*m_current, m_local, m_server);
    }
    if (m_toFetch.isEmpty()) {
        decideAndAct();
        return;
    }
    const QStringList batch = m_toFetch.mid(0, fetchBatch);
    m_toFetch.remove(0, batch.size());
    QStringList hrefs;
    for (const QString& path : batch)
        hrefs << m_client.resolve(path).path(QUrl::FullyEncoded);
    m_client.send("REPORT", m_client.resolve(m_current->url), CalDav::multigetBody(hrefs), {{"Depth", "1"}},
                  [this, batch](const CalDav::Response& r) {
                      if (r.status != 207) {
                          fail(r, QStringLiteral("the to-dos of %1").arg(m_current->url));
                          collectionDone();
                          return;
                      }
                      QSet<QString> returned;
                      for (const CalDav::Entry& e : CalDav::parseMultistatus(r.body).entries) {
                          const QString path = CalDav::Client::pathOf(m_client.resolve(e.href));
                          if (e.status != 200 || e.calendarData.isEmpty() || !m_server.contains(path))
                              continue;
                          returned.insert(path);
                          ServerItem& s = m_server[path];
                          s.fetched = true;
                          if (!e.etag.isEmpty())
                              s.etag = e.etag;
                          Fetched f;
                          f.ics = e.calendarData;
                          s.todo = readTodo(f.ics, f.task);
                          if (s.todo) {
                              s.uid = f.task.key;
                              s.print = fingerprint(f.task);
                          }
                          m_fetched.insert(path, f);
                      }
                      for (const QString& path : batch)
                          if (!returned.contains(path))
                              m_server.remove(path); // deleted between the listing and the fetch
                      fetchNext();
                  });
}

void Engine::readTasks(const QSet<qint64>& ids) {
    if (ids.isEmpty())
        return;
    QSet<qint64> projects;
    for (qint64 id : ids)
        projects.insert(m_projectOf.value(id));
    for (qint64 project : projects) {
        const PlanFiles::PlanFile plan = PlanExport::read(project);
        for (const PlanFiles::FileTask& t : plan.tasks) {
            const qint64 id = t.key.toLongLong();
            if (!ids.contains(id))
                continue;
            m_tasks.insert(id, t);
            m_local[id].print = fingerprint(t);
        }
    }
}

void Engine::decideAndAct() {
    const QList<Action> actions = decide(*m_current, m_local, m_server);
    // What comes down is the other programs' change, not a step the user may undo here (it
    // stays in the history).
    UndoSteps::NotAStep notTheUsers;
    for (const Action& a : actions) {
        switch (a.step) {
        case Step::Upload:
        case Step::UploadNew:
        case Step::DeleteRemote:
            m_remote.push_back(a);
            break;
        default:
            try {
                act(a);
            } catch (const DbError& e) {
                m_report.problems << e.description();
                m_unsettled = true;
            }
        }
    }
    pump();
}

ItemState* Engine::itemAt(const QString& href) {
    for (ItemState& item : m_current->items)
        if (item.href == href)
            return &item;
    return nullptr;
}

void Engine::setItem(const ItemState& item) {
    ItemState* found = itemAt(item.href);
    if (found)
        *found = item;
    else
        m_current->items << item;
}

void Engine::removeItem(const QString& href) {
    m_current->items.removeIf([&](const ItemState& i) { return i.href == href; });
}

QString Engine::statusFor(const PlanFiles::FileTask& theirs, qint64 taskId) {
    const QString wanted = PlanFiles::todoStatus(theirs);
    QString current;
    ResultSet rs = Database::shared().query(QStringLiteral("select Status from Tasks where ID=%1").arg(taskId));
    if (!rs.eof())
        current = rs.rawText(0);
    PlanFiles::FileTask mine = theirs;
    mine.status = current;
    if (!current.isEmpty() && PlanFiles::todoStatus(mine) == wanted)
        return current; // the same state in our own words
    const QStringList entries = PlanImport::listEntries(QStringLiteral("Status"), QStringLiteral("Status"));
    if (wanted == QLatin1String("COMPLETED"))
        return PlanImport::statusText(entries, QStringLiteral("Completed"), QStringLiteral("Completed"));
    if (wanted == QLatin1String("CANCELLED"))
        return PlanImport::statusText(entries, QStringLiteral("Cancelled"), QStringLiteral("Cancelled"));
    if (wanted == QLatin1String("IN-PROCESS"))
        return PlanImport::statusText(entries, QStringLiteral("In Progress"), QStringLiteral("In Progress"));
    for (const QString& entry : entries) {
        mine.status = entry;
        mine.percentComplete = 0;
        if (PlanFiles::todoStatus(mine) == QLatin1String("NEEDS-ACTION"))
            return entry;
    }
    return QStringLiteral("Not Started");
}

void Engine::act(const Action& a) {
    Database& db = Database::shared();
    ItemState item = a.item;
    const ServerItem* server = m_server.contains(item.href) ? &m_server[item.href] : nullptr;
    const LocalTask* local = item.task && m_local.contains(item.task) ? &m_local[item.task] : nullptr;
    switch (a.step) {
    case Step::Record:
        if (server)
            item.etag = server->etag;
        if (local && item.task)
            item.version = local->version;
        if (local && !local->print.isEmpty())
            item.print = local->print;
        else if (server && !server->print.isEmpty())
            item.print = server->print;
        item.choice.clear();
        setItem(item);
        break;
    case Step::Drop:
        removeItem(item.href);
        break;
    case Step::Conflict: {
        Conflict c;
        c.collection = m_current->url;
        c.kind = a.conflict;
        c.item = item;
        if (local && m_tasks.contains(item.task))
            c.ours = m_tasks.value(item.task);
        if (server && m_fetched.contains(item.href))
            c.theirs = m_fetched.value(item.href).task;
        c.version = local ? local->version : -1;
        c.etag = server ? server->etag : QByteArray();
        m_report.conflicts << c;
        if (!itemAt(item.href))
            m_current->items << item; // paired now, so that the choice has a place
        m_unsettled = true;
        break;
    }
    case Step::Apply: {
        const PlanFiles::FileTask& theirs = m_fetched.value(item.href).task;
        const QString id = QString::number(item.task);
        const qint64 project = m_projectOf.value(item.task);
        // A task the plan ties (a parent, subtasks, links) moves as the plan moves it.
        bool planned = false;
        bool datesMoved = true;
        if (PlanStore::available()) {
            ResultSet rs =
                db.query(QStringLiteral(
                             "select ParentID, (select count(*) from Tasks c where c.ParentID=t.ID), (select count(*) "
                             "from TaskLinks l where l.PredecessorID=t.ID or l.SuccessorID=t.ID), StartDate, DueDate "
                             "from Tasks t where t.ID=%1")
                             .arg(id));
            if (!rs.eof()) {
                planned = !rs.isNull(0) || rs.value(1).toLongLong() > 0 || rs.value(2).toLongLong() > 0;
                datesMoved = rs.rawText(3).left(10) != SqlText::dateText(theirs.start) ||
                             rs.rawText(4).left(10) != SqlText::dateText(dueOf(theirs));
            }
        }
        QString statement = QStringLiteral("update Tasks set Title=%1, Description=%2, PercentComplete=%3, Status=%4")
                                .arg(SqlText::quoted(theirs.name), SqlText::quoted(theirs.notes))
                                .arg(theirs.percentComplete)
                                .arg(SqlText::quoted(statusFor(theirs, item.task)));
        if (!planned)
            statement +=
                QStringLiteral(", StartDate=%1, DueDate=%2").arg(dateSql(theirs.start), dateSql(dueOf(theirs)));
        statement += QStringLiteral(" where ID=") + id;
        std::function<void()> alongside;
        if (planned && datesMoved)
            alongside = [&] {
                const PlanStore::Outcome o = PlanStore::moveTask(project, item.task, theirs.start, dueOf(theirs));
                if (o.kind == PlanStore::Outcome::Kind::Loop)
                    throw DbError(QStringLiteral("The calendar's dates of \"%1\" would close a loop of links: %2.")
                                      .arg(theirs.name, o.loopText));
                if (o.kind == PlanStore::Outcome::Kind::Changed)
                    throw DbError(QStringLiteral("Tasks of the project of \"%1\" changed meanwhile; the calendar's "
                                                 "change is taken on the next sync.")
                                      .arg(theirs.name));
            };
        int changed = 0;
        qint64 version = -1;
        if (RecordVersions::writeIf(QStringLiteral("Tasks"), id, local->version, statement, changed, &version,
                                    alongside) != RecordVersions::Write::Written) {
            m_unsettled = true; // changed here meanwhile: the next sync looks again
            return;
        }
        item.version = version;
        item.etag = server->etag;
        item.print = server->print;
        item.choice.clear();
        setItem(item);
        ++m_report.downChanged;
        break;
    }
    case Step::CreateLocal: {
        const Fetched f = m_fetched.value(item.href);
        qint64 project = 0;
        for (qint64 p : m_current->projects)
            if (!db.query(QStringLiteral("select ID from Projects where ID=%1").arg(p)).eof()) {
                project = p;
                break;
            }
        if (!project) {
            m_unsettled = true;
            return;
        }
        const PlanFiles::FileTask& t = f.task;
        const QStringList priorities =
            PlanImport::listEntries(QStringLiteral("Priorities"), QStringLiteral("Priority"));
        QString priority = PlanImport::priorityText(priorities, t.priority);
        const bool withPlan = PlanStore::available();
        ResultSet rs = db.query(
            QStringLiteral("insert into Tasks (ProjectID,Title,Priority,Status,PercentComplete,Description,StartDate,"
                           "DueDate%1) values (%2,%3,%4,%5,%6,%7,%8,%9")
                .arg(withPlan ? QStringLiteral(",Milestone") : QString())
                .arg(project)
                .arg(SqlText::quoted(t.name), priority.isEmpty() ? QStringLiteral("null") : SqlText::quoted(priority),
                     SqlText::quoted(statusFor(t, 0)))
                .arg(t.percentComplete)
                .arg(SqlText::quoted(t.notes), dateSql(t.start), dateSql(dueOf(t))) +
            (withPlan ? (t.milestone ? QStringLiteral(",(1=1)") : QStringLiteral(",(1=0)")) : QString()) +
            QStringLiteral(") returning ID"));
        if (rs.eof())
            throw DbError(QStringLiteral("The new task's number could not be read."));
        item.task = rs.value(0).toLongLong();
        rs.close();
        item.uid = m_server.value(item.href).uid;
        item.version = RecordVersions::current(QStringLiteral("Tasks"), QString::number(item.task));
        item.etag = m_server.value(item.href).etag;
        item.print = m_server.value(item.href).print;
        item.choice.clear();
        setItem(item);
        ++m_report.downNew;
        break;
    }
    case Step::DeleteLocal: {
        int changed = 0;
        if (RecordVersions::writeIf(QStringLiteral("Tasks"), QString::number(item.task), local->version,
                                    QStringLiteral("delete from Tasks where ID=%1").arg(item.task),
                                    changed) != RecordVersions::Write::Written) {
            m_unsettled = true;
            return;
        }
        removeItem(item.href);
        ++m_report.downDeleted;
        break;
    }
    default:
        break;
    }
}

void Engine::pump() {
    while (!m_failed && !m_remote.empty() && m_client.inFlight() < writesAtOnce) {
        const Action a = m_remote.front();
        m_remote.pop_front();
        ItemState item = a.item;
        if (a.step == Step::DeleteRemote) {
            const ServerItem s = m_server.value(item.href);
            m_client.send("DELETE", m_client.resolve(item.href), {}, {{"If-Match", s.etag}},
                          [this, item](const CalDav::Response& r) {
                              if (r.ok() || r.status == 404) {
                                  removeItem(item.href);
                                  ++m_report.upDeleted;
                                  ++m_wrote;
                              } else if (r.status == 412) {
                                  m_unsettled = true; // changed on the server meanwhile
                              } else {
                                  fail(r, QStringLiteral("deleting %1").arg(item.href));
                              }
                              pump();
                          });
            continue;
        }
        const PlanFiles::FileTask task = m_tasks.value(item.task);
        const bool fresh = a.step == Step::UploadNew;
        if (item.href.isEmpty())
            item.href = hrefFor(m_path, item.uid);
        QString parentUid;
        if (!task.parentKey.isEmpty()) {
            const qint64 parent = task.parentKey.toLongLong();
            parentUid = m_local.value(parent).uid;
        }
        const QByteArray body =
            PlanFiles::writeTodo(task, item.uid, parentUid, fresh ? QByteArray() : m_fetched.value(item.href).ics);
        QHash<QByteArray, QByteArray> headers{{"Content-Type", "text/calendar; charset=utf-8"}};
        if (fresh)
            headers.insert("If-None-Match", "*");
        else
            headers.insert("If-Match", m_server.value(item.href).etag);
        const LocalTask local = m_local.value(item.task);
        m_client.send("PUT", m_client.resolve(item.href), body, headers,
                      [this, item, fresh, local](const CalDav::Response& r) {
                          if (r.ok()) {
                              ItemState done = item;
                              done.etag = r.etag; // none: read again on the next sync
                              done.version = local.version;
                              done.print = local.print;
                              done.choice.clear();
                              setItem(done);
                              ++(fresh ? m_report.upNew : m_report.upChanged);
                              ++m_wrote;
                          } else if (r.status == 412) {
                              m_unsettled = true;
                          } else {
                              fail(r, QStringLiteral("writing %1").arg(item.href));
                          }
                          pump();
                      });
    }
    if (m_client.inFlight() == 0 && (m_remote.empty() || m_failed))
        collectionDone();
}

void Engine::collectionDone() {
    if (m_client.inFlight() > 0)
        return; // the last answer ends it
    if (m_current) {
        if (m_failed || m_unsettled) {
            // What was not settled is listed again next time: the token stays, the version is forgotten.
            m_current->ctag.clear();
        } else {
            m_current->syncToken = m_newToken.isEmpty() ? m_current->syncToken : m_newToken;
            m_current->ctag = m_wrote ? QString() : m_ctag;
        }
        QString error;
        if (!m_state.save(&error))
            m_report.problems << error;
        m_current = nullptr;
    }
    nextCollection();
}

void Engine::finish() {
    m_running = false;
    m_report.requests = m_client.requests();
    m_report.bytesSent = m_client.bytesSent();
    m_report.bytesReceived = m_client.bytesReceived();
    emit finished(m_report);
}

bool Engine::resolve(State& state, const Conflict& conflict, bool ours, QString* error) {
    CollectionState& cs = state.collection(conflict.collection);
    ItemState* found = nullptr;
    for (ItemState& item : cs.items)
        if (item.href == conflict.item.href)
            found = &item;
    if (!found) {
        cs.items << conflict.item;
        found = &cs.items.last();
    }
    found->choice = ours ? QStringLiteral("ours") : QStringLiteral("theirs");
    found->choiceEtag = conflict.etag;
    found->choiceVersion = conflict.version;
    return state.save(error);
}

} // namespace CalendarSync
