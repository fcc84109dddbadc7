// Undo and Redo over the program's one list of steps (UndoSteps), for every window that offers
// them (the main window's Edit menu, the timeline's): whichever window a step was made, undone or
// redone in, each window's commands take and name the same next step.
#pragma once

#include <QString>

class PlannerWindow;
class QAction;
class QWidget;

namespace UndoCommands {

// Undoes (or redoes) the newest step. A step that someone else's change since stands in the way
// of is dropped and the user told why; the main window's lists are then read anew.
void undoOrRedo(PlannerWindow& planner, bool undo);
// The main window's lists read anew after records changed under them; the selected task stays
// selected where it can.
void refill(PlannerWindow& planner);
// An Undo (or Redo) command for a menu of `owner`: named after the step it would take ("&Undo Move
// Trip"), enabled while there is one, run under the error trap of `form`.
QAction* makeAction(QWidget* owner, PlannerWindow& planner, bool undo, const QString& objectName, const QString& form);

} // namespace UndoCommands
