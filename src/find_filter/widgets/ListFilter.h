// Find and filter on the main window: Edit > Find (Ctrl+F) opens the filter line in the menu bar;
// what is typed there filters the project list, and the task list shows the tasks of the selected
// project that match. The filter stays through every refill of the lists until Escape clears it.
#pragma once

#include "find_filter/FilterIndex.h"
#include "find_filter/FilterQuery.h"

#include <QObject>

#include <vector>

class PlannerWindow;
class QAction;
class QLabel;
class QShortcut;
class QWidget;

namespace FindFilter {

class FilterLine;

class ListFilter : public QObject {
    Q_OBJECT
public:
    // Adds the command to the Edit menu and the line to the menu bar of the window.
    explicit ListFilter(PlannerWindow& planner);

    // Shows the line and gives it the focus (Ctrl+F).
    void open();
    // Clears the filter and hides the line (Escape).
    void close();

    FilterLine* line() const { return m_line; }
    const Query& query() const { return m_query; }

private:
    void textChanged(const QString& text);
    // After typing: filters the project list anew and selects its first row.
    void filterProjects();
    // After a fill of a list: the same filter on the new rows.
    void projectsReplaced();
    void tasksReplaced();
    void projectsPatched();
    // Makes the searchable form of the filled rows and of all tasks, once per fill.
    void buildIndex();
    // The shown project rows for the current query.
    std::vector<int> matchingProjectRows();
    void showCount();
    // Selects a shown project row; the task list follows it.
    void selectProject(int row);

    PlannerWindow& m_planner;
    QWidget* m_bar = nullptr;
    FilterLine* m_line = nullptr;
    QLabel* m_count = nullptr;
    QAction* m_find = nullptr;
    QShortcut* m_escape = nullptr; // Escape from anywhere in the window while the line is open
    Query m_query;
    FilterIndex m_index;
    bool m_indexFresh = false;
    bool m_rowsMoved = false; // a sort moved the project rows since the index was made
    std::vector<int> m_recordOfRow;
    int m_taskFills = 0; // fills of the task list so far
};

// Adds Find to the main window.
void install(PlannerWindow& planner);

} // namespace FindFilter
