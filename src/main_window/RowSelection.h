// The selection rule of the two main-window lists: while a list holds rows, one row stays
// selected. No mouse click (with or without modifiers), key or call can take the selection
// away; it only moves from one row to another. A refill may leave the list without a selection
// until it selects its first row.
#pragma once

#include <QItemSelectionModel>

class QAbstractItemView;

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
} // namespace RowSelection
