#include "RowSelection.h"

#include <QAbstractItemView>
#include <QSet>

KeepOneRowSelected::KeepOneRowSelected(QAbstractItemModel* model, QObject* parent)
    : QItemSelectionModel(model, parent) {}

bool KeepOneRowSelected::wouldLeaveNoRow(const QItemSelection& selection,
                                         QItemSelectionModel::SelectionFlags command) const {
    if (!model() || model()->rowCount() == 0 || command == NoUpdate)
        return false;
    // The rows selected after the change, worked out the way the base class applies it.
    QSet<int> rows;
    if (!(command & Clear)) {
        for (const QModelIndex& index : this->selection().indexes())
            rows.insert(index.row());
    }
    QSet<int> touched;
    for (const QModelIndex& index : selection.indexes())
        touched.insert(index.row());
    if (command & Select)
        rows.unite(touched);
    else if (command & Deselect)
        rows.subtract(touched);
    else if (command & Toggle) {
        for (int row : std::as_const(touched)) {
            if (!rows.remove(row))
                rows.insert(row);
        }
    }
    return rows.isEmpty();
}

void KeepOneRowSelected::select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) {
    if (wouldLeaveNoRow(selection, command))
        return;
    QItemSelectionModel::select(selection, command);
}

namespace RowSelection {

void keepOneSelected(QAbstractItemView* list) {
    QItemSelectionModel* old = list->selectionModel();
    list->setSelectionModel(new KeepOneRowSelected(list->model(), list));
    delete old;
}

} // namespace RowSelection
