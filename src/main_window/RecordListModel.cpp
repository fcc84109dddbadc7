#include "RecordListModel.h"

#include "app/Database.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

RecordListModel::RecordListModel(std::vector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent)
    , m_columns(std::move(columns)) {}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QString RecordListModel::cellText(int row, int column) const {
    const QString& raw = rawCell(row, column);
    if (m_columns[static_cast<size_t>(column)].kind == Kind::Date && !raw.isEmpty())
        return shortDateText(raw);
    return raw;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cellText(index.row(), index.column());
    return {};
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columnCount())
        return m_columns[static_cast<size_t>(section)].header;
    return {};
}

void RecordListModel::setRows(std::vector<Row> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    for (Row& row : m_rows)
        row.resize(m_columns.size());
    if (m_sorted)
        sortRows();
    endResetModel();
}

void RecordListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount())
        return;
    m_sorted = true;
    m_sortColumn = column;
    m_sortOrder = order;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    const std::vector<size_t> oldRowOf = sortRows(); // new position -> old position
    std::vector<int> newRowOf(oldRowOf.size());
    for (size_t i = 0; i < oldRowOf.size(); ++i)
        newRowOf[oldRowOf[i]] = static_cast<int>(i);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& idx : before)
        after.append(index(newRowOf[static_cast<size_t>(idx.row())], idx.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<size_t> RecordListModel::sortRows() {
    const auto col = static_cast<size_t>(m_sortColumn);
    const Kind kind = m_columns[col].kind;
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    const size_t n = m_rows.size();

    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    if (kind == Kind::Number) {
        // Numbers by value; empty or unreadable cells sort before every number.
        std::vector<double> keys(n);
        for (size_t i = 0; i < n; ++i) {
            bool ok = false;
            const double v = m_rows[i][col].toDouble(&ok);
            keys[i] = ok ? v : -std::numeric_limits<double>::infinity();
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return descending ? keys[b] < keys[a] : keys[a] < keys[b]; });
    } else {
        // Texts without regard to case; dates compare as their ISO texts, which is date order.
        const Qt::CaseSensitivity cs = kind == Kind::Date ? Qt::CaseSensitive : Qt::CaseInsensitive;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            const int c = QString::compare(m_rows[a][col], m_rows[b][col], cs);
            return descending ? c > 0 : c < 0;
        });
    }
    std::vector<Row> sorted;
    sorted.reserve(n);
    for (size_t i : order)
        sorted.push_back(std::move(m_rows[i]));
    m_rows = std::move(sorted);
    return order;
}
