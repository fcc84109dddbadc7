#include "UndoSteps.h"

#include "Database.h"
#include "History.h"

#include <QScopedValueRollback>

UndoSteps& UndoSteps::shared() {
    static UndoSteps steps;
    return steps;
}

void UndoSteps::attach(Database& database) {
    database.setHistoryListener([this](qint64 mark) { recorded(mark); });
    QObject::connect(&database.changes(), &ChangeFeed::opened, this, &UndoSteps::clear, Qt::UniqueConnection);
}

void UndoSteps::recorded(qint64 mark) {
    if (m_applying) {
        m_appliedMark = mark; // the step being undone or redone
        return;
    }
    if (m_quiet > 0)
        return; // a write that is not the user's
    Step step{mark, m_name};
    if (step.name.isEmpty()) {
        try {
            step.name = History::describe(History::ofMark(mark));
        } catch (const DbError&) {
            step.name = QStringLiteral("Change");
        }
    }
    m_done << step;
    m_undone.clear();
    emit changed();
}

void UndoSteps::undo() {
    move(m_done, m_undone);
}

void UndoSteps::redo() {
    move(m_undone, m_done);
}

void UndoSteps::move(QList<Step>& from, QList<Step>& to) {
    if (from.isEmpty())
        return;
    Step step = from.takeLast();
    QScopedValueRollback<bool> applying(m_applying, true);
    m_appliedMark = 0;
    try {
        History::apply(History::ofMark(step.mark),
                       step.forward ? History::Direction::Forward : History::Direction::Back);
    } catch (const History::Conflict&) {
        emit changed(); // the step is dropped; the others stay
        throw;
    } catch (...) {
        from << step; // a failure, not a conflict: the step may be tried again
        throw;
    }
    if (m_appliedMark != 0) {
        step.mark = m_appliedMark;
        step.forward = false;
    } else {
        step.forward = !step.forward;
    }
    to << step;
    emit changed();
}

void UndoSteps::clear() {
    if (m_done.isEmpty() && m_undone.isEmpty())
        return;
    m_done.clear();
    m_undone.clear();
    emit changed();
}
