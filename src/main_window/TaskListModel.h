// The model behind the task list: the rows as every list keeps them, with a milestone's dates
// shown as a milestone's. A milestone stands on one date (its due date): both date cells hold that
// date, so a sort by either column places it there, and both show it after the milestone mark.
// The mark is added where a cell is shown; what exports, filters and finds read stays the date.
#pragma once

#include "app/widgets/RecordListModel.h"

#include <QSet>

class TaskListModel final : public RecordListModel {
public:
    using RecordListModel::RecordListModel;

    // The milestones among the rows, by task ID (the first column). Set with each fill.
    void setMilestones(QSet<qint64> ids) { m_milestones = std::move(ids); }
    bool hasMilestones() const { return !m_milestones.isEmpty(); }
    bool isMilestone(qint64 id) const { return m_milestones.contains(id); }
    void setMilestone(qint64 id, bool milestone) {
        if (milestone)
            m_milestones.insert(id);
        else
            m_milestones.remove(id);
    }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QSet<qint64> m_milestones;
};
