// The model behind the project and task lists: rows of cell texts read straight from a query,
// sorted in place on a header click. A filter may show only some of the rows: the model then keeps
// all of them (the source rows) and a list of the shown ones; row numbers outside the model are
// always those of the shown rows.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>

#include <vector>

class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind { Text, Number, Date };
    struct Column {
        QString header;
        Kind kind = Kind::Text;
    };
    // A row: one text per column. Date cells hold the stored ISO text and are shown in the
    // system's short date format.
    using Row = std::vector<QString>;

    explicit RecordListModel(std::vector<Column> columns, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    const std::vector<Column>& columns() const { return m_columns; }

    // Replaces all rows (a fill); applies the current sort, if any. Every row is shown again, and
    // rowsReplaced() tells a filter to choose anew.
    void setRows(std::vector<Row> rows);
    void clear() { setRows({}); }
    // The shown text of a cell (dates already formatted).
    QString cellText(int row, int column) const;
    // The stored text of a cell (dates as ISO text).
    const QString& rawCell(int row, int column) const { return sourceCell(sourceRow(row), column); }

    // Filtering: all rows, and which of them are shown.
    int sourceRowCount() const { return static_cast<int>(m_rows.size()); }
    const QString& sourceCell(int sourceRow, int column) const {
        return m_rows[static_cast<size_t>(sourceRow)][static_cast<size_t>(column)];
    }
    // The source row of a shown row.
    int sourceRow(int row) const { return m_filtered ? m_visible[static_cast<size_t>(row)] : row; }
    // Shows only the given source rows (in ascending order), in the current sort order.
    void setVisibleRows(std::vector<int> sourceRows);
    // Shows every row again.
    void showAllRows();
    bool isFiltered() const { return m_filtered; }
    // A note on the first column's header while filtered (an icon, and this text as its tooltip).
    void setFilterNote(const QString& note);

    // Sort state kept across fills: whether sorted, by which column, in which order.
    bool isSorted() const { return m_sorted; }
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void setSortingEnabled(bool on) { m_sorted = on; }

signals:
    // After setRows(): the rows are new and all shown.
    void rowsReplaced();

private:
    // Sorts the rows by the sort state; returns the old position of each new row.
    std::vector<size_t> sortRows();

    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
    bool m_filtered = false;
    std::vector<int> m_visible; // shown source rows, ascending, while filtered
    QString m_filterNote;
    mutable QIcon m_filterMark; // made on first use
    bool m_sorted = false;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
