// The lists follow what others change: each burst of the change feed reads again just the rows it
// touched and puts them in place (sort, filter, selection and scroll stay), and a burst whose
// records are not known, or too many, refills the lists and gives back their place.
#pragma once

class PlannerWindow;

namespace LiveLists {

void install(PlannerWindow& planner);

// Refills the lists of the window, giving back the selected records and the scroll once the
// project list is whole (also after the user's own big changes, such as a copy).
void refill(PlannerWindow& planner);

} // namespace LiveLists
