// What a feature sees of the main window: its menus by name and group, its two lists and their
// models, their refills, and signals when the lists were refilled or another project was chosen.
// Features are installed through this port by the composition root and never include the main
// window itself.
#pragma once

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QTreeView;
class QWidget;
class RecordListModel;

class PlannerWindow : public QObject {
    Q_OBJECT
public:
    enum class Menu { File, Edit, View, Help };

    // The groups of each menu, in the order they appear; a line separates some of them.
    // File: Database (choosing and copying databases), Exchange (export and import), Quit.
    // Edit: Undo, Clipboard*, Find, Plan*. View: Windows. Help: Guide, About*.
    static inline const QString Database = QStringLiteral("database");
    static inline const QString Exchange = QStringLiteral("exchange");
    static inline const QString Quit = QStringLiteral("quit");
    static inline const QString Undo = QStringLiteral("undo");
    static inline const QString Clipboard = QStringLiteral("clipboard");
    static inline const QString Find = QStringLiteral("find");
    static inline const QString Plan = QStringLiteral("plan");
    static inline const QString Windows = QStringLiteral("windows");
    static inline const QString Guide = QStringLiteral("guide");
    static inline const QString About = QStringLiteral("about");

    using QObject::QObject;

    // The window itself: the parent of a feature's actions and dialogs.
    virtual QWidget* window() const = 0;

    // Adds an action (or a submenu's action) at the end of its group of the menu. A group that
    // the menu does not know goes last.
    virtual void addAction(Menu menu, const QString& group, QAction* action) = 0;
    void addMenu(Menu menu, const QString& group, QMenu* submenu);
    // A widget at the right end of the menu bar (one at a time), at most as tall as the bar.
    virtual void setCornerWidget(QWidget* widget) = 0;
    virtual int menuBarHeight() const = 0;
    virtual QString title() const = 0;
    virtual void setTitle(const QString& title) = 0;

    // The project list above and the task list of the selected project below.
    virtual QTreeView* projectList() const = 0;
    virtual QTreeView* taskList() const = 0;
    virtual RecordListModel* projects() const = 0;
    virtual RecordListModel* tasks() const = 0;
    // Refills the project list (its own error trap); listsRefilled() follows once it is whole.
    virtual void refillProjects() = 0;
    // Refills the task list of the selected project; throws DbError on failure.
    virtual void refillTasks() = 0;
    // Reads again just the rows of both lists that the given records of a table (by the change
    // feed's table names) show in, and puts them in place, keeping sort, filter, selection and
    // scroll. False when the lists must be refilled instead (the project list is still streaming
    // in, a list could not be read at its last fill, or the table is not one it knows). Throws
    // DbError on failure.
    virtual bool patchLists(const QString& table, const QSet<qint64>& ids) = 0;
    // Whether both lists were read whole at their last fill (see listsNotRead()).
    virtual bool listsRead() const = 0;

signals:
    // The project list was refilled and is whole: windows that show the same projects follow.
    void listsRefilled();
    // Another project was chosen in the project list, and its tasks were listed.
    void projectChosen();
    // A list could not be read for a reason that passes (records in use elsewhere, the server
    // away): it stays as it was left (often empty) until it is read again.
    void listsNotRead();
};

// The features of the program, added by the composition root before any main window is made;
// each main window installs them all through its port when it is built.
namespace Features {
using Install = std::function<void(PlannerWindow&)>;
// Adds a feature under a name; a name already known is replaced.
void add(const QString& name, Install install);
void installAll(PlannerWindow& window);
} // namespace Features
