// The main window: the project list above, the tasks of the selected project below, and the
// eight command buttons. Its load handler runs the program's start-up; closing it ends the program.
#pragma once

#include "TaskListModel.h"
#include "app/widgets/RowSelection.h"

#include <QSet>
#include <QWidget>

#include <cstdint>
#include <memory>

class QMenu;
class QMenuBar;
class ErrorTrap;
class QProgressBar;
class QPushButton;
class QTimer;
namespace MainLayout {
struct Placement;
}
class QTreeView;
class RecordListModel;
class PlannerWindow;
class MainWindowPort;

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: prepares the data store, opens the shared connection, adds and fills the lists
    // and restores the settings.
    void Form_Load();
    // Shutdown: saves the settings and closes the shared connection.
    void Form_QueryUnload();

    // Refills the project list (own error trap). A long list shows its first part at once and
    // reads the rest while the user can already work; commands that need the whole list ask
    // the model to complete it (RecordListModel::ensureComplete).
    void ListData();
    // Reads the rest of a project list fill that is still streaming in.
    void completeProjectFill();
    // Refills the task list for the selected project. Throws DbError on the first failure;
    // the caller's trap reports it.
    void ListTasks();
    // Reads again just the rows that records of a table (projects, tasks, or contacts, whose
    // names the rows show) appear in, and puts them in place; false when the lists must be
    // refilled instead (the project list is still streaming in, a list could not be read at its
    // last fill, or the table is not known). Throws DbError on failure.
    bool patchLists(const QString& table, const QSet<qint64>& ids);
    // Whether both lists were read whole at their last fill.
    bool listsRead() const { return !m_projectsUnread && !m_tasksUnread; }

    // Start-up step 4: the check of the database components. May end the program
    // (sets programEnded(); no further start-up step runs).
    void IsADOInstalled();

    // The layout pass that runs on every size or state change of the window.
    void Form_Resize();

    bool restoreFlag() const { return m_restoreFlag; }
    // True when start-up was told to end the program (the components check).
    bool programEnded() const { return m_programEnded; }
    // The window state as stored in the settings: 0 normal, 1 minimized, 2 maximized.
    int windowStateCode() const;

    // The eight commands.
    void PushButton1_Click(); // Edit Selected Project
    void PushButton2_Click(); // Add New Project
    void PushButton3_Click(); // Delete Selected Project
    void PushButton4_Click(); // Add Project Task
    void PushButton5_Click(); // Reports
    void PushButton6_Click(); // Edit Selected Task
    void PushButton7_Click(); // Delete Selected Task
    void PushButton8_Click(); // Load Sample/Example Data

    // The menu bar above the designed client area, and its four menus. Commands beyond the eight
    // buttons live here; each feature adds its own actions to these menus.
    QMenuBar* MenuBar = nullptr;
    QMenu* menuFile = nullptr;
    QMenu* menuEdit = nullptr;
    QMenu* menuView = nullptr;
    QMenu* menuHelp = nullptr;
    // The area below the menu bar that holds the ten designed controls ("ClientArea").
    QWidget* clientArea() const { return m_client; }
    // Height of the menu bar in pixels: the window is that much taller than its client area.
    int menuBarHeight() const;

    QTreeView* ListView1 = nullptr;
    QTreeView* ListView2 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton8 = nullptr;

    RecordListModel* projectModel() const { return m_projects; }
    RecordListModel* taskModel() const { return m_tasks; }

    // The row helpers of the two lists (see RowSelection).
    static int selectedRow(QTreeView* list) { return RowSelection::selectedRow(list); }
    static void selectRow(QTreeView* list, int row) { RowSelection::selectRow(list, row); }
    static QString selectedCell(QTreeView* list, int column) { return RowSelection::selectedCell(list, column); }
    static void headerClick(QTreeView* list, int columnNumber) { RowSelection::headerClick(list, columnNumber); }

    // What features see of this window.
    PlannerWindow& port() const;

signals:
    // The project list was refilled (ListData): windows that show the same projects follow.
    void listsRefilled();
    // A list could not be read for a reason that passes (records in use elsewhere, the server
    // away): the live lists read it again once they can.
    void listsNotRead();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    // Places the menu bar and the client area inside the window.
    void placeFrameParts();
    // Puts the ten controls at the given places (twips, from the client area).
    void placeControls(const MainLayout::Placement& placement);
    void connectCommands();
    void addColumns(QTreeView* list, RecordListModel* model);
    void restoreWidths(QTreeView* list, const QString& prefix);
    void saveWidths(QTreeView* list, const QString& prefix);
    void projectRowClicked();
    double dpi() const;
    struct ProjectFill;
    // Reads project rows into the model; true when the result has no more rows.
    // After a project list fill, or a part of one that failed: whether a refusal kept it unread.
    void noteProjectRead(const ErrorTrap& trap);
    bool readProjectRows(ErrorTrap& trap, int maxRows, int maxMs);
    void finishProjectFill(ErrorTrap& trap);
    void continueProjectFill();
    void abortProjectFill();
    void showFillProgress(bool on);
    // Patches: the project rows a condition picks, and the selected project's task rows.
    void patchProjects(const QString& condition, const QSet<qint64>& asked);
    void patchTasks(const QString& condition, const QSet<qint64>& asked);

    friend class MainWindowPort;
    MainWindowPort* m_port = nullptr;
    QWidget* m_client = nullptr;
    RecordListModel* m_projects = nullptr;
    std::unique_ptr<ProjectFill> m_projectFill;
    QTimer* m_sliceTimer = nullptr; // the next slice of a fill that streams in
    bool m_listPainted = false;     // the project list has been painted once
    QProgressBar* m_fillProgress = nullptr;
    TaskListModel* m_tasks = nullptr;
    bool m_restoreFlag = false;
    bool m_unloaded = false;
    bool m_filling = false; // a fill is moving the selection: not the user
    // A list whose last fill was refused (records in use elsewhere, the server away): a patch
    // of a few rows into it would pass for the whole list, so it is refilled instead.
    bool m_projectsUnread = false;
    bool m_tasksUnread = false;
    bool m_mouseDown = false;    // a press on the project list: the click that follows refills
    bool m_programEnded = false; // the components check ended the program during start-up
};
