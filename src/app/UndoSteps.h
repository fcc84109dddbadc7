// Undo and Redo of this program's own changes: every write transaction that the history recorded
// is one step, named after what it did ("Delete Project 'Testing'") unless the command names it.
// A step is undone by putting its records back as they were before it, in one transaction, and
// only where nobody changed them since.
#pragma once

#include "History.h"

#include <QList>
#include <QObject>
#include <QString>

class Database;

class UndoSteps : public QObject {
    Q_OBJECT
public:
    static UndoSteps& shared();

    // Follows the writes of a shared connection (the program's own: Database::shared()).
    void attach(Database& database);
    // Names the steps recorded while it lives (for commands whose name says more than the
    // records do: "Import Plan 'Bridge'").
    class Naming {
    public:
        explicit Naming(const QString& name) { shared().m_name = name; }
        ~Naming() { shared().m_name.clear(); }
        Naming(const Naming&) = delete;
        Naming& operator=(const Naming&) = delete;
    };

    // While it lives, writes are not steps of the user's (a background sync bringing others'
    // changes): they stay in the history, but Undo does not offer them.
    class NotAStep {
    public:
        NotAStep() { ++shared().m_quiet; }
        ~NotAStep() { --shared().m_quiet; }
        NotAStep(const NotAStep&) = delete;
        NotAStep& operator=(const NotAStep&) = delete;
    };

    bool canUndo() const { return !m_done.isEmpty(); }
    bool canRedo() const { return !m_undone.isEmpty(); }
    // "Delete Project 'Testing'"; empty when there is none.
    QString undoName() const { return m_done.isEmpty() ? QString() : m_done.last().name; }
    QString redoName() const { return m_undone.isEmpty() ? QString() : m_undone.last().name; }
    int depth() const { return static_cast<int>(m_done.size()); }

    // Undoes the newest step (redoes the newest undone one). When a record of it was changed by
    // someone else since, nothing is changed, the step is dropped and History::Conflict is thrown;
    // the other steps stay.
    void undo();
    void redo();
    // Forgets every step (another database was opened).
    void clear();

signals:
    void changed();

private:
    // A step is the transaction that did it; once undone or redone, the transaction that did
    // that (with what the plan moved to keep its links), so that the next move puts back exactly
    // what the last one wrote and never takes the program's own rescheduling for someone else's.
    struct Step {
        qint64 mark = 0;
        QString name;
        bool forward = false; // the mark's entries are applied forward (no transaction was seen)
    };
    void recorded(qint64 mark);
    // Applies the newest step of `from` and moves it to `to`.
    void move(QList<Step>& from, QList<Step>& to);

    QList<Step> m_done;
    QList<Step> m_undone;
    QString m_name;
    bool m_applying = false;
    qint64 m_appliedMark = 0; // the transaction of the undo or redo being applied
    int m_quiet = 0;
};
