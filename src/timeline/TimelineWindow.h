// The timeline window: the projects of the project list and their tasks as bars on a time axis.
// Modeless, one at a time; it follows the main window's lists and writes through the editors'
// statements.
#pragma once

#include "TimelineRows.h"

#include <QWidget>

#include <functional>

class PlannerWindow;
class QComboBox;
class QLabel;
class QPrinter;
class QAction;

namespace PlanStore {
struct Outcome;
}

namespace Timeline {

class TimelineView;

class TimelineWindow : public QWidget {
    Q_OBJECT
public:
    explicit TimelineWindow(PlannerWindow& planner);
    ~TimelineWindow() override;

    TimelineView* view() const { return m_view; }

    // Reads the projects from the project list and all tasks anew.
    void reload();

    // File -> Print: the print preview, paged across and down.
    void print();
    // File -> Export: PDF, PNG or SVG, by the file name's suffix.
    void exportTimeline();

    // How the print preview is shown. Tests put in a function that paints onto a printer of
    // their own; an empty function restores the preview dialog.
    using Previewer = std::function<void(QWidget* owner, const std::function<void(QPrinter*)>& paint)>;
    static void setPreviewer(Previewer previewer);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenus();
    // The size, place and zoom, once: when the window closes or goes with the main window.
    void saveSettings();
    void updateLegend();
    // After a record changed here: the main window's lists and this window refill, with the
    // changed project selected in the main window so its tasks show.
    void refillAfterChange(qint64 projectId);
    // After a change of a project's plan: the tasks of that project alone are read again.
    void refillPlan(qint64 projectId);
    void moveBar(bool isTask, qint64 id, QDate start, QDate end);
    // Whether a task takes part in its project's plan (linked, under another or over others):
    // then a move goes through the plan and its successors follow.
    bool isPlanned(const Item& task) const;
    // Runs a change of the plan; what it writes is one step of the program's undo list, named
    // `text`. A loop is told with `loopMessage` (its %1 names the loop).
    void changePlan(qint64 projectId, const QString& text, const std::function<PlanStore::Outcome()>& change,
                    const QString& loopMessage);
    void linkTasks(qint64 projectId, qint64 predecessor, qint64 successor, LinkKind kind);
    // Tasks read earlier than their links allow are moved to follow them, and the user told.
    void mendLinks(qint64 projectId);
    void indentRow(int row, bool indent);
    // A task moved among the tasks under the same parent: by steps (the keys), dropped on a row
    // (a drag of its name), or to a place among them.
    void moveRow(int row, int steps);
    void dropRow(int row, int onRow);
    void placeRow(int row, int index);
    // The positions among its project's tasks of a task's siblings (itself too), in the plan's order.
    std::vector<int> siblingsOf(const Row& place) const;
    void toggleMilestone(int row);
    void showContextMenu(int row, QPoint globalPos);
    // The current row when it is a task of a database with a plan; -1 (and the user told) otherwise.
    int currentPlanTask();
    void openEditor(bool isTask, qint64 id, qint64 projectId);
    // The main window refilled its task list: the tasks of its selected project are read anew.
    void taskListRefilled();
    // The project list was sorted or filtered: the rows follow its order.
    void projectListChanged();

    PlannerWindow& m_planner;
    TimelineView* m_view;
    QComboBox* m_colourBy;
    QLabel* m_legend;
    QAction* m_criticalOnly = nullptr;
    bool m_reorderPending = false;
    bool m_saved = false;
    bool m_placed = false; // today was put in the middle once the window had its size
};

} // namespace Timeline
