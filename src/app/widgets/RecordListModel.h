// The model behind the project and task lists. Rows are kept compact, column by column: texts
// that repeat from row to row (owners, value-list texts) once in a small dictionary, other texts
// in one UTF-8 arena, numbers and dates as numbers. The cell texts are made only for the rows
// being painted. A header click sorts an index of the rows, never the rows themselves.
//
// A fill may arrive in parts (a large list streams in while the user can already work): rows are
// appended, then published; finishFill() applies the sort once the list is complete.
//
// A filter may show only some of the rows. The source rows are all rows in the current sort
// order; row numbers outside the model are always those of the shown rows.
#pragma once

#include "app/RawValue.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QHash>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind { Text, Number, Date };
    struct Column {
        QString header;
        Kind kind = Kind::Text;
        // Texts that repeat from row to row (contacts, value lists): kept once each.
        bool repeated = false;
    };
    // A row given as texts: one per column, dates as stored (ISO).
    using Row = std::vector<QString>;

    // One value as read from the database, for appending without making a QString.
    using Value = RawValue;

    explicit RecordListModel(std::vector<Column> columns, QObject* parent = nullptr);
    ~RecordListModel() override;

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

    // A fill in parts: beginFill() empties the list, appendRow() stores a row unseen (one value
    // per column), publish() shows the rows appended so far, finishFill() shows the rest and
    // applies the sort.
    void beginFill();
    void appendRow(const Value* values);
    void publish();
    void finishFill();
    bool isFilling() const { return m_filling; }

    // Called by ensureComplete() while a fill is still streaming: reads the rest of it.
    void setCompleter(std::function<void()> completer) { m_completer = std::move(completer); }
    // Commands that need the whole list call this first.
    void ensureComplete();

    // The shown text of a cell (dates in the system's short date format).
    QString cellText(int row, int column) const;
    // The stored text of a cell (dates as ISO text, numbers as plain decimal text).
    QString rawCell(int row, int column) const;
    // The date of a date cell stored as a day; an invalid date for an empty cell or one kept as
    // other text (read that with rawCell()).
    QDate cellDate(int row, int column) const;
    // The value of a number cell; NaN for an empty cell, one kept as other text, or a column that
    // does not hold numbers.
    double cellNumber(int row, int column) const;

    // Filtering: all rows (source rows, in the current sort order), and which of them are shown.
    int sourceRowCount() const { return static_cast<int>(m_order.size()); }
    QString sourceCell(int sourceRow, int column) const {
        return storedText(m_order[static_cast<std::size_t>(sourceRow)], column);
    }
    // The raw texts of every cell of a source row, in column order.
    std::vector<QString> sourceRowCells(int sourceRow) const;
    // The source row of a shown row.
    int sourceRow(int row) const { return m_filtered ? m_visible[static_cast<std::size_t>(row)] : row; }
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

    // Patching: records read again after someone changed them, found by the ID in the first
    // column, while every other row stays as it is. A record already listed is replaced where it
    // is (or moved to where the sort puts it); a new one goes where the sort puts it, or last. The
    // selection and the scroll stay on the same records. While a filter shows some rows, a changed
    // record keeps being shown or hidden and a new one is shown, until the filter decides anew
    // (rowsPatched()). Call endPatch() after the last patchRecord() or removeRecord().
    void patchRecord(const Value* values);
    void removeRecord(qint64 id);
    void endPatch();
    bool hasRecord(qint64 id) const;
    // The shown row of a record by its ID; -1 when it is not shown.
    int rowOfRecord(qint64 id) const;

signals:
    // After a fill is complete (setRows(), finishFill()): the rows are new and all shown.
    void rowsReplaced();
    // After a patch changed, added or removed records (endPatch()).
    void rowsPatched();

private:
    struct Store;
    // The stored row shown at a list position.
    std::uint32_t storedRow(int row) const { return m_order[static_cast<std::size_t>(sourceRow(row))]; }
    QString storedText(std::uint32_t stored, int column) const;
    // Sorts the index by the sort state.
    void sortOrderIndex();
    // Sorts the shown rows by the sort state, keeping the filter and the persistent indexes.
    void resort();
    // Forgets every row (inside a model reset).
    void dropRows();
    // Patching: where a record is stored (made on first use), the list position of a stored row,
    // and the order of two stored rows by the sort state.
    const std::unordered_map<qint64, std::uint32_t>& storedRecords() const;
    int positionOf(std::uint32_t stored) const;
    bool sortsBefore(std::uint32_t a, std::uint32_t b) const;
    // The list position where a stored row belongs by the sort state (last when unsorted).
    int placeFor(std::uint32_t stored) const;
    // A change of the order while a filter shows some rows: the shown rows stay shown, an added
    // stored row is shown (or as the one it replaces), and the persistent indexes follow their rows.
    void changeFilteredOrder(const std::function<void()>& change, std::uint32_t added, std::uint32_t replaced);

    std::vector<Column> m_columns;
    std::vector<std::unique_ptr<Store>> m_stores; // one per column
    std::vector<std::uint32_t> m_order;           // list position -> stored row
    std::uint32_t m_count = 0;                    // stored rows
    bool m_filling = false;
    std::function<void()> m_completer;
    mutable QHash<std::int32_t, QString> m_shortDates; // day -> shown text
    bool m_filtered = false;
    std::vector<int> m_visible; // shown source rows, ascending, while filtered
    QString m_filterNote;
    mutable QIcon m_filterMark; // made on first use

    bool m_sorted = false;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;

    mutable std::unordered_map<qint64, std::uint32_t> m_storedOf; // record ID -> stored row
    mutable bool m_storedOfMade = false;
    bool m_patched = false;
};
