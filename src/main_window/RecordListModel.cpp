#include "RecordListModel.h"

#include "app/Database.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

// A small funnel: the mark of a filtered list's header.
QIcon filterMark() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QApplication::palette().color(QPalette::Highlight));
    const QPointF funnel[] = {{1.5, 2.5}, {14.5, 2.5}, {9.5, 8.5}, {9.5, 14.0}, {6.5, 12.5}, {6.5, 8.5}};
    painter.drawPolygon(funnel, 6);
    return QIcon(pixmap);
}

} // namespace

RecordListModel::RecordListModel(std::vector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent)
    , m_columns(std::move(columns)) {}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_filtered ? m_visible.size() : m_rows.size());
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
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[static_cast<size_t>(section)].header;
    if (section == 0 && m_filtered && !m_filterNote.isEmpty()) {
        if (role == Qt::ToolTipRole)
            return m_filterNote;
        if (role == Qt::DecorationRole) {
            if (m_filterMark.isNull())
                m_filterMark = filterMark();
            return m_filterMark;
        }
    }
    return {};
}

void RecordListModel::setVisibleRows(std::vector<int> sourceRows) {
    beginResetModel();
    m_visible = std::move(sourceRows);
    m_filtered = true;
    endResetModel();
}

void RecordListModel::showAllRows() {
    if (!m_filtered)
        return;
    beginResetModel();
    m_filtered = false;
    m_visible.clear();
    endResetModel();
}

void RecordListModel::setFilterNote(const QString& note) {
    if (note == m_filterNote)
        return;
    m_filterNote = note;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
}

void RecordListModel::setRows(std::vector<Row> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    for (Row& row : m_rows)
        row.resize(m_columns.size());
    if (m_sorted)
        sortRows();
    m_filtered = false;
    m_visible.clear();
    endResetModel();
    emit rowsReplaced();
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
    if (m_filtered) {
        // The shown rows move with their source rows; shown row numbers map old to new.
        std::vector<char> shown(m_rows.size(), 0);
        for (int s : m_visible)
            shown[static_cast<size_t>(newRowOf[static_cast<size_t>(s)])] = 1;
        std::vector<int> shownRowOf(m_rows.size(), -1); // new source row -> new shown row
        std::vector<int> visible;
        visible.reserve(m_visible.size());
        for (size_t s = 0; s < shown.size(); ++s) {
            if (shown[s]) {
                shownRowOf[s] = static_cast<int>(visible.size());
                visible.push_back(static_cast<int>(s));
            }
        }
        std::vector<int> newShownRowOf(m_visible.size());
        for (size_t v = 0; v < m_visible.size(); ++v)
            newShownRowOf[v] = shownRowOf[static_cast<size_t>(newRowOf[static_cast<size_t>(m_visible[v])])];
        m_visible = std::move(visible);
        newRowOf = std::move(newShownRowOf);
    }
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
