#include "RowSelection.h"

#include "RecordListModel.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QSet>
#include <QTreeView>

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

namespace RowSelection {

int selectedRow(const QTreeView* list) {
    if (!list->model() || !list->selectionModel())
        return -1;
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void selectRow(QTreeView* list, int row) {
    if (!list->model() || row < 0 || row >= list->model()->rowCount())
        return;
    const QModelIndex index = list->model()->index(row, 0);
    list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->scrollTo(index);
}

QString selectedCell(const QTreeView* list, int column) {
    const int row = selectedRow(list);
    if (row < 0)
        return {};
    return static_cast<RecordListModel*>(list->model())->cellText(row, column);
}

void headerClick(QTreeView* list, int columnNumber) {
    auto* model = static_cast<RecordListModel*>(list->model());
    if (!model)
        return;
    const int remembered = model->isSorted() ? model->sortColumn() : -1;
    model->setSortingEnabled(false);
    Qt::SortOrder order = Qt::AscendingOrder;
    if (columnNumber - 1 == remembered)
        order = model->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    model->sort(columnNumber - 1, order);
    list->header()->setSortIndicatorShown(true);
    list->header()->setSortIndicator(columnNumber - 1, order);
}

} // namespace RowSelection
