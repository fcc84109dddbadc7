#include "TimelineKeys.h"

#include "app/widgets/TaskCommands.h"

#include <QKeySequence>

namespace Timeline {

namespace {

QString native(const QKeySequence& key) {
    return key.toString(QKeySequence::NativeText);
}

// A command as the menus show it: "Task &Links..." is "Task Links".
QString commandText(QString text) {
    text.remove(QLatin1Char('&'));
    if (text.endsWith(QLatin1String("...")))
        text.chop(3);
    return text;
}

// The place of a key: the timeline window's menu or its chart, named as the list names places
// in other windows.
QString place(const char* where) {
    return QStringLiteral("Timeline \u2192 ") + QLatin1String(where);
}

} // namespace

std::vector<KnownKeys::Key> keys() {
    const QString chart = place("Chart");
    std::vector<KnownKeys::Key> all{
        {native(QKeySequence::Print), QStringLiteral("Print"), place("File")},
        {native(QKeySequence(Qt::CTRL | Qt::Key_E)), QStringLiteral("Export"), place("File")},
        {native(QKeySequence::Close), QStringLiteral("Close"), place("File")},
        {native(QKeySequence::Undo), QStringLiteral("Undo"), place("Edit")},
        {native(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)) + QStringLiteral(", ") +
             native(QKeySequence(Qt::CTRL | Qt::Key_Y)),
         QStringLiteral("Redo"), place("Edit")},
        {native(QKeySequence(Qt::Key_Return)) + QStringLiteral(", ") + native(QKeySequence(Qt::Key_Enter)),
         QStringLiteral("Open"), place("Edit")},
        {native(QKeySequence(Qt::CTRL | Qt::Key_M)), QStringLiteral("Milestone"), place("Edit")},
        {native(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Right)), QStringLiteral("Indent Task"), place("Edit")},
        {native(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Left)), QStringLiteral("Outdent Task"), place("Edit")},
        {native(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Up)), QStringLiteral("Move Task Up"), place("Edit")},
        {native(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Down)), QStringLiteral("Move Task Down"), place("Edit")},
        {native(QKeySequence::ZoomIn) + QStringLiteral(", ") + native(QKeySequence(Qt::CTRL | Qt::Key_Equal)),
         QStringLiteral("Zoom In"), place("View")},
        {native(QKeySequence::ZoomOut), QStringLiteral("Zoom Out"), place("View")},
        {native(QKeySequence(Qt::CTRL | Qt::Key_0)), QStringLiteral("Fit All"), place("View")},
        {native(QKeySequence(Qt::Key_T)), QStringLiteral("Go to Today"), place("View")},
        {QStringLiteral("Ctrl+Wheel"), QStringLiteral("Zoom in or out around the pointer"), chart},
        {QStringLiteral("Shift+Wheel"), QStringLiteral("Scroll through time"), chart},
        {native(QKeySequence(Qt::Key_Left)) + QStringLiteral(", ") + native(QKeySequence(Qt::Key_Right)),
         QStringLiteral("Scroll back or on in time"), chart},
        {native(QKeySequence(Qt::Key_Up)) + QStringLiteral(", ") + native(QKeySequence(Qt::Key_Down)),
         QStringLiteral("Select the row above or below"), chart},
        {native(QKeySequence(Qt::Key_Menu)) + QStringLiteral(", ") + native(QKeySequence(Qt::SHIFT | Qt::Key_F10)),
         QStringLiteral("The commands for the selected project or task"), chart},
        {native(QKeySequence(Qt::Key_Home)), QStringLiteral("Go to the first row"), chart},
        {native(QKeySequence(Qt::Key_End)), QStringLiteral("Go to the last row"), chart},
        {QStringLiteral("Drag a bar"), QStringLiteral("Move the project or task in time"), chart},
        {QStringLiteral("Drag a bar's end"), QStringLiteral("Change the end date"), chart},
        {QStringLiteral("Drag the background"), QStringLiteral("Pan the chart"), chart},
        {QStringLiteral("Drag from a task's round handle to another task"),
         QStringLiteral("Link the two (to the nearer end of the other task)"), chart},
        {QStringLiteral("Drag a task's name right or left"), QStringLiteral("Indent or outdent the task"), chart},
        {QStringLiteral("Drag a task's name up or down"),
         QStringLiteral("Move the task among the tasks under the same parent"), chart},
        {QStringLiteral("Right-click a row"), QStringLiteral("The commands for its project or task"), chart},
        {QStringLiteral("Double-click a row"), QStringLiteral("Open its project or task"), chart},
    };
    // The commands other features offer on a task, with the keys they give them.
    for (const TaskCommands::Command& command : TaskCommands::all())
        if (!command.key.isEmpty())
            all.push_back({native(command.key), commandText(command.text), place("Edit")});
    return all;
}

} // namespace Timeline
