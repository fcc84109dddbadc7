// No lost update: an editor remembers the version of its record when it reads it, and a save of a
// record that someone else (another user, another copy of the program on the same file) changed
// or deleted meanwhile does not overwrite it. The user is told in plain words and may load the
// other version or overwrite it on purpose. A database whose records carry no version (an old
// read-only file) is saved without the check.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Writes that hold only while a record is as it was read: the one mechanism behind the editors'
// saves, the timeline's moves and any other command that writes a record it read before.
namespace RecordVersions {
// The version of a record now: -1 when it no longer exists, 0 when the database keeps no
// versions. With lock, the record stays locked until the transaction ends.
qint64 current(const QString& table, const QString& id, bool lock = false);
enum class Write { Written, Changed, Gone };
// Runs the statement, in one transaction with the check, when the record's version is still
// `expected`. `changed` gets the statement's count of changed rows, `version` (when given) the
// record's version after the write, or the version found instead. `alongside` (when given) runs
// after a statement that changed the record, in the same transaction: what it throws undoes the
// statement too and reaches the caller. Throws DbError.
Write writeIf(const QString& table, const QString& id, qint64 expected, const QString& statement, int& changed,
              qint64* version = nullptr, const std::function<void()>& alongside = {});
} // namespace RecordVersions

class RecordGuard final : public QObject {
    Q_OBJECT
public:
    // Starts (or renews) watching the record of an editor: remembers its version now. reload
    // fills the editor again from the database (the user's choice after a conflict).
    static void watch(QObject* editor, const QString& table, const QString& id, std::function<void()> reload);
    // The guard of an editor, or nullptr when it watches nothing.
    static RecordGuard* of(QObject* editor);

    enum class Outcome { Saved, KeptOpen };
    // Runs the editor's update statement unless the record changed since it was read; on a
    // conflict asks the user what to do (outside any transaction). `alongside` is saved with the
    // statement, as in RecordVersions::writeIf. Throws DbError when a statement fails.
    Outcome save(const QString& statement, int& changed, const std::function<void()>& alongside = {});

    qint64 version() const { return m_version; }

private:
    RecordGuard(QObject* editor, QString table, QString id);
    QString noun() const;

    QString m_table;
    QString m_id;
    qint64 m_version = 0;
    std::function<void()> m_reload;
};
