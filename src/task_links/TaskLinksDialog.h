// "Task Links": the predecessors and successors of one task, each with its kind and lag in working
// days; links are added, changed and removed here, and the tasks they move follow at once.
#pragma once

#include "scheduling/PlanStore.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

class TaskLinksDialog final : public QDialog {
    Q_OBJECT
public:
    TaskLinksDialog(qint64 projectId, qint64 taskId, QWidget* parent = nullptr);

    // Whether a link was made, changed or removed (the caller refills what shows dates).
    bool changedAnything() const { return m_changed; }

    // The controls, for a scripted user.
    QTableWidget* predecessors() const { return m_tables[0]; }
    QTableWidget* successors() const { return m_tables[1]; }

private:
    // One side: the table, and the task, kind and lag of the link to add or change.
    void buildSide(int side, const QString& caption);
    void load();
    void addOrChange(int side);
    void remove(int side);
    void rowChosen(int side);
    // Runs a change of the links and tells the user what came of it.
    void apply(const std::function<PlanStore::Outcome()>& change);

    qint64 m_projectId;
    qint64 m_taskId;
    bool m_changed = false;
    QLabel* m_title = nullptr;
    QTableWidget* m_tables[2] = {};
    QComboBox* m_task[2] = {};
    QComboBox* m_kind[2] = {};
    QSpinBox* m_lag[2] = {};
    QPushButton* m_add[2] = {};
    QPushButton* m_remove[2] = {};
};
