// No lost update on a team database: an editor remembers the version of its record when it reads
// it, and a save of a record that someone else changed or deleted meanwhile does not overwrite
// it. The user is told in plain words and may load the other version or overwrite it on purpose.
// On the local file (one user) the guard does nothing.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

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
    // conflict asks the user what to do. Throws DbError when a statement fails.
    Outcome save(const QString& statement, int& changed);

    qint64 version() const { return m_version; }
    // The version of a record now (-1 when it no longer exists); 0 on the local file.
    static qint64 currentVersion(const QString& table, const QString& id, bool lock = false);

private:
    RecordGuard(QObject* editor, QString table, QString id);
    QString noun() const;

    QString m_table;
    QString m_id;
    qint64 m_version = 0;
    std::function<void()> m_reload;
};
