#include "RecordGuard.h"

#include "app/Database.h"
#include "app/Messages.h"

RecordGuard::RecordGuard(QObject* editor, QString table, QString id)
    : QObject(editor)
    , m_table(std::move(table))
    , m_id(std::move(id)) {
    setObjectName(QStringLiteral("RecordGuard"));
}

RecordGuard* RecordGuard::of(QObject* editor) {
    return editor ? editor->findChild<RecordGuard*>(QStringLiteral("RecordGuard"), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

void RecordGuard::watch(QObject* editor, const QString& table, const QString& id, std::function<void()> reload) {
    RecordGuard* guard = of(editor);
    if (!Database::shared().isTeam() || id.isEmpty()) {
        delete guard;
        return;
    }
    if (!guard)
        guard = new RecordGuard(editor, table, id);
    guard->m_table = table;
    guard->m_id = id;
    guard->m_reload = std::move(reload);
    try {
        guard->m_version = currentVersion(table, id);
    } catch (const DbError&) {
        delete guard; // the editor's own read reports the failure
    }
}

qint64 RecordGuard::currentVersion(const QString& table, const QString& id, bool lock) {
    Database& db = Database::shared();
    if (!db.isTeam())
        return 0;
    bool numeric = false;
    const qint64 n = id.toLongLong(&numeric);
    if (!numeric)
        return -1;
    ResultSet rs = db.query(QStringLiteral("select row_version from %1 where id=%2%3")
                                .arg(table, QString::number(n), lock ? QStringLiteral(" for update") : QString()));
    return rs.eof() ? -1 : rs.integer(QStringLiteral("row_version"));
}

QString RecordGuard::noun() const {
    const QString t = m_table.toLower();
    if (t == QLatin1String("projects"))
        return QStringLiteral("project");
    if (t == QLatin1String("tasks"))
        return QStringLiteral("task");
    return QStringLiteral("contact");
}

RecordGuard::Outcome RecordGuard::save(const QString& statement, int& changed) {
    Database& db = Database::shared();
    for (;;) {
        const qint64 expected = m_version;
        qint64 found = -1;
        db.transaction([&] {
            found = currentVersion(m_table, m_id, true); // the row stays locked until the commit
            if (found == expected) {
                changed = db.execute(statement);
                m_version = currentVersion(m_table, m_id);
            }
        });
        if (found == expected)
            return Outcome::Saved;
        if (found < 0) {
            Messages::current().notice(QStringLiteral("This record no longer exists: someone else deleted this %1 "
                                                      "after you opened it. Nothing was saved; what you typed is "
                                                      "still here, and Cancel closes the window.")
                                           .arg(noun()));
            return Outcome::KeptOpen;
        }
        if (Messages::current().ask(QStringLiteral("Someone else saved this %1 after you opened it, so your changes "
                                                   "were not saved.\n\nLoad their version? (What you typed here is "
                                                   "replaced.)")
                                        .arg(noun()))) {
            m_version = currentVersion(m_table, m_id);
            if (m_reload)
                m_reload();
            return Outcome::KeptOpen;
        }
        if (Messages::current().ask(
                QStringLiteral("Save your version over theirs? Their changes to this %1 are then lost.").arg(noun()))) {
            m_version = found; // overwritten on purpose: the version seen now is the one replaced
            continue;
        }
        return Outcome::KeptOpen;
    }
}
