#include "ReportTable.h"

#include "app/Database.h"

namespace Reports {

ReportTable::ReportTable(QStringList columns)
    : m_columns(std::move(columns)) {
    for (int i = 0; i < m_columns.size(); ++i)
        m_index.insert(m_columns[i].toLower(), i);
}

ReportTable ReportTable::read(const QString& statement, const QStringList& fields) {
    ResultSet rs = Database::shared().query(statement);
    ReportTable table = fromResultSet(rs, fields);
    rs.close();
    return table;
}

ReportTable ReportTable::fromResultSet(ResultSet& rs, const QStringList& fields) {
    QStringList columns;
    QVector<int> sourceColumns;
    for (const QString& field : fields) {
        if (rs.hasColumn(field) && !columns.contains(field, Qt::CaseInsensitive)) {
            columns << field;
            sourceColumns << rs.column(field);
        }
    }
    ReportTable table(columns);
    while (!rs.eof()) {
        QVector<QVariant> values;
        values.reserve(sourceColumns.size());
        for (int source : sourceColumns)
            values << rs.value(source);
        table.addRow(std::move(values));
        rs.moveNext();
    }
    return table;
}

void ReportTable::addRow(QVector<QVariant> values) {
    values.resize(m_columns.size());
    m_rows.push_back(std::move(values));
}

int ReportTable::addColumn(const QString& name) {
    const int existing = column(name);
    if (existing >= 0)
        return existing;
    m_index.insert(name.toLower(), static_cast<int>(m_columns.size()));
    m_columns << name;
    for (QVector<QVariant>& row : m_rows)
        row.resize(m_columns.size());
    return static_cast<int>(m_columns.size()) - 1;
}

int ReportTable::column(const QString& name) const {
    return m_index.value(name.toLower(), -1);
}

QVariant ReportTable::value(int row, const QString& name) const {
    const int c = column(name);
    return c < 0 ? QVariant() : m_rows[row][c];
}

} // namespace Reports
