// The rows a report is bound to: a query read to its end into a small table of values,
// looked up by field name without regard to letter case.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class ResultSet;

namespace Reports {

class ReportTable {
public:
    ReportTable() = default;
    explicit ReportTable(QStringList columns);

    // Runs a query on the shared connection and keeps those of the given fields that the
    // query yields. Errors throw DbError.
    static ReportTable read(const QString& statement, const QStringList& fields);
    // Reads the remaining rows of an open result set, keeping the given fields.
    static ReportTable fromResultSet(ResultSet& rs, const QStringList& fields);

    void addRow(QVector<QVariant> values);
    // Adds a column (empty in every row) and returns its index; an existing one is kept.
    int addColumn(const QString& name);
    void setValue(int row, int column, QVariant value) { m_rows[row][column] = std::move(value); }

    const QStringList& columns() const { return m_columns; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    // Index of a column (any letter case), -1 when there is none.
    int column(const QString& name) const;
    const QVariant& value(int row, int column) const { return m_rows[row][column]; }
    QVariant value(int row, const QString& name) const;

private:
    QStringList m_columns;
    QHash<QString, int> m_index; // lower-case name -> column
    QVector<QVector<QVariant>> m_rows;
};

} // namespace Reports
