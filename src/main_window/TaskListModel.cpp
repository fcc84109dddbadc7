#include "TaskListModel.h"

#include "app/ValueText.h"

#include <cmath>

QVariant TaskListModel::data(const QModelIndex& index, int role) const {
    QVariant value = RecordListModel::data(index, role);
    // Without milestones every cell reads exactly as in the other lists.
    if (m_milestones.isEmpty() || (role != Qt::DisplayRole && role != Qt::ToolTipRole) || value.isNull() ||
        columns()[static_cast<size_t>(index.column())].kind != Kind::Date)
        return value;
    const double id = cellNumber(index.row(), 0);
    if (std::isnan(id) || !m_milestones.contains(static_cast<qint64>(id)))
        return value;
    const QString text = value.toString();
    return text.isEmpty() ? value : QVariant(milestoneDateText(text));
}
