// Restores and undos keep the plan whole: the dates they put back go through the scheduler.
#pragma once

#include "app/History.h"

namespace HistoryPlan {

// The history's follow-up (History::setFollowUp): every task whose dates the entries put back is
// placed on working days and its project scheduled, in the restore's transaction, so that
// successors follow and no link is left broken. A version the user chose holds its date as a
// typed date does ("start no earlier than"); a step undone or redone keeps the one it restored.
// Throws History::Conflict when the plan cannot be scheduled that way (nothing is changed).
void follow(const QList<History::Entry>& entries, History::Direction direction, bool chosen);

} // namespace HistoryPlan
