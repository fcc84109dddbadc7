#include "RecordGuard.h"

#include "Connection.h"
#include "Database.h"
#include "Messages.h"

namespace RecordVersions {

namespace {
bool versioned() {
    const Connection* connection = Database::shared().connection();
    return connection && connection->hasRowVersions();
}
} // namespace

qint64 current(const QString& table, const QString& id, bool lock) {
    Database& db = Database::shared();
    if (!versioned())
        return 0;
    bool numeric = false;
    const qint64 n = id.toLongLong(&numeric);
    if (!numeric)
        return -1;
    const QString suffix = lock ? db.connection()->lockSuffix() : QString();
    ResultSet rs =
        db.query(QStringLiteral("select row_version from %1 where id=%2%3").arg(table, QString::number(n), suffix));
    return rs.eof() ? -1 : rs.integer(QStringLiteral("row_version"));
}

Write writeIf(const QString& table, const QString& id, qint64 expected, const QString& statement, int& changed,
              qint64* version, const std::function<void()>& alongside) {
    Database& db = Database::shared();
    qint64 found = -1;
    bool written = false;
    db.transaction([&] {
        found = current(table, id, true); // the record stays locked until the commit
        if (found == expected) {
            changed = db.execute(statement);
            if (alongside && changed > 0)
                alongside();
            found = current(table, id);
            written = true;
        }
    });
    if (version)
        *version = found;
    if (written)
        return Write::Written;
    return found < 0 ? Write::Gone : Write::Changed;
}

} // namespace RecordVersions

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
    const Connection* connection = Database::shared().connection();
    if (!connection || !connection->hasRowVersions() || id.isEmpty()) {
        delete guard;
        return;
    }
    if (!guard)
        guard = new RecordGuard(editor, table, id);
    guard->m_table = table;
    guard->m_id = id;
    guard->m_reload = std::move(reload);
    try {
        guard->m_version = RecordVersions::current(table, id);
    } catch (const DbError&) {
        delete guard; // the editor's own read reports the failure
    }
}

QString RecordGuard::noun() const {
    const QString t = m_table.toLower();
    if (t == QLatin1String("projects"))
        return QStringLiteral("project");
    if (t == QLatin1String("tasks"))
        return QStringLiteral("task");
    return QStringLiteral("contact");
}

RecordGuard::Outcome RecordGuard::save(const QString& statement, int& changed, const std::function<void()>& alongside) {
    for (;;) {
        qint64 found = -1;
        const RecordVersions::Write write =
            RecordVersions::writeIf(m_table, m_id, m_version, statement, changed, &found, alongside);
        if (write == RecordVersions::Write::Written) {
            m_version = found;
            return Outcome::Saved;
        }
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
            m_version = RecordVersions::current(m_table, m_id);
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
