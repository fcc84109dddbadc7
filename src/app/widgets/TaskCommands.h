// Commands on one task that features offer to other windows (the timeline's context menu) without
// those windows knowing the features: each is registered once, at start-up.
#pragma once

#include <QKeySequence>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace TaskCommands {

struct Command {
    QString text;       // as in a menu, with its & mark
    QString objectName; // of the action made for it
    // Its key in the windows that offer it, shown in their menus (each command has its own, so that
    // a task chosen by keyboard can be acted on by keyboard).
    QKeySequence key;
    // Runs the command for a task of a project, with `parent` for its windows; returns whether it
    // changed anything, so that the caller reads the task anew.
    std::function<bool(QWidget* parent, qint64 projectId, qint64 taskId)> run;
};

void add(Command command);
const std::vector<Command>& all();

} // namespace TaskCommands
