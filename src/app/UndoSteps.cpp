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
    if (m_applying)
        return; // the step being undone or redone
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
    if (m_done.isEmpty())
        return;
    const Step step = m_done.last();
    QScopedValueRollback<bool> applying(m_applying, true);
    try {
        History::apply(History::ofMark(step.mark), History::Direction::Back);
    } catch (const History::Conflict&) {
        m_done.removeLast();
        emit changed();
        throw;
    }
    m_done.removeLast();
    m_undone << step;
    emit changed();
}

void UndoSteps::redo() {
    if (m_undone.isEmpty())
        return;
    const Step step = m_undone.last();
    QScopedValueRollback<bool> applying(m_applying, true);
    try {
        History::apply(History::ofMark(step.mark), History::Direction::Forward);
    } catch (const History::Conflict&) {
        m_undone.removeLast();
        emit changed();
        throw;
    }
    m_undone.removeLast();
    m_done << step;
    emit changed();
}

void UndoSteps::clear() {
    if (m_done.isEmpty() && m_undone.isEmpty())
        return;
    m_done.clear();
    m_undone.clear();
    emit changed();
}
