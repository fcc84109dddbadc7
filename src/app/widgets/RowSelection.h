// The selection rule of the two main-window lists: while a list holds rows, one row stays
// selected. No mouse click (with or without modifiers), key or call can take the selection
// away; it only moves from one row to another. A refill may leave the list without a selection
// until it selects its first row.
#pragma once

#include <QItemSelectionModel>
#include <QString>

class QAbstractItemView;
class QTreeView;

class KeepOneRowSelected : public QItemSelectionModel {
    Q_OBJECT
public:
    explicit KeepOneRowSelected(QAbstractItemModel* model, QObject* parent = nullptr);

    using QItemSelectionModel::select;
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;

    // Whether the change would leave no row selected although there are rows.
    bool wouldLeaveNoRow(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) const;
};

namespace RowSelection {
// Gives the list (which must already have its model) a selection model that keeps one row
// selected; the list's former selection model is deleted.
void keepOneSelected(QAbstractItemView* list);

// The selected row of a list (0-based), or -1.
int selectedRow(const QTreeView* list);
// Selects a row and scrolls to it (nothing when there is no such row).
void selectRow(QTreeView* list, int row);
// The text of a cell of the selected row of a list of records; empty when none is selected.
QString selectedCell(const QTreeView* list, int column);
// Header click on a list of records: the same column toggles the order, another one sorts
// ascending (columnNumber counts from 1).
void headerClick(QTreeView* list, int columnNumber);
} // namespace RowSelection
