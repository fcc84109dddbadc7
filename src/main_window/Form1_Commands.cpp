// The eight commands of the main window, and the keyboard and mouse ways to reach the row commands.
#include "Form1.h"

#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "app/UndoSteps.h"
#include "app/widgets/RecordListModel.h"
#include "editors/Openers.h"
#include "reports/Form4.h"
#include "sample_data/SampleData.h"

#include <QDate>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>

namespace {

QString formName() {
    return QStringLiteral("Form1");
}

// Steps 2 and 3 of the two delete commands: ask about the selected row, named as the user sees
// it, and delete it by its ID. Only a clear Yes deletes: a failure while asking ends the command.
// True when the delete was attempted (the list is then refilled, even after a failed delete),
// except when it was refused (in use elsewhere, a right missing, the server away): nothing
// changed, and a refill would only wait for the same lock or server.
bool askAndDelete(ErrorTrap& trap, QTreeView* list, const QString& table) {
    QString id;
    bool yes = false;
    if (!trap.step(2,
                   [&] {
                       id = Form1::selectedCell(list, 0);
                       if (id.isEmpty())
                           return; // no row selected: nothing to delete
                       yes = Messages::current().ask(QStringLiteral("Are you sure you want to delete [") +
                                                     Form1::selectedCell(list, 1) + QStringLiteral("]?"));
                   }) ||
        !yes || id.isEmpty())
        return false;
    const bool deleted = trap.step(3, [&] {
        Database::shared().execute(QStringLiteral("delete from ") + table + QStringLiteral(" where ID=") + id);
    });
    return deleted || !trap.refusedOnly();
}

// After the project list was refilled: the tasks of the project now selected, or none when no
// project is left. A project may have gone with its tasks meanwhile (a deletion, or a value
// deleted with its projects inside the editor), and the refill may have moved the selection.
void refillTasksOfSelectedProject(Form1& form) {
    if (form.projectModel()->rowCount() == 0)
        form.taskModel()->clear();
    else
        form.ListTasks();
}

// The row commands act on the selected row and do nothing, silently, without one (an empty list,
// or a list whose selection is being rebuilt): no statement is ever built with an empty ID.
bool hasSelectedRow(QTreeView* list) {
    return !Form1::selectedCell(list, 0).isEmpty();
}

// The highest project ID there is; 0 without projects.
qint64 highestProjectId() {
    ResultSet rs = Database::shared().query(QStringLiteral("select max(ID) as LastID from Projects"));
    const qint64 id = rs.eof() || rs.isNull(QStringLiteral("LastID")) ? 0 : rs.integer(QStringLiteral("LastID"));
    rs.close();
    return id;
}

} // namespace

void Form1::connectCommands() {
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(PushButton4, &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(PushButton5, &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });

    // A double-click or Enter on a row edits it, Delete asks to delete it: the same handlers as
    // the buttons, which check for themselves that there is a row to act on.
    auto rowCommands = [this](QTreeView* list, void (Form1::*edit)(), void (Form1::*remove)()) {
        connect(list, &QAbstractItemView::doubleClicked, this, [this, edit] {
            // The editor takes the button release: the press must not stay pending on the list.
            m_mouseDown = false;
            (this->*edit)();
        });
        for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
            auto* shortcut = new QShortcut(key, list, nullptr, nullptr, Qt::WidgetShortcut);
            connect(shortcut, &QShortcut::activated, this, [this, edit] { (this->*edit)(); });
        }
        auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Delete), list, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, remove] { (this->*remove)(); });
    };
    rowCommands(ListView1, &Form1::PushButton1_Click, &Form1::PushButton3_Click);
    rowCommands(ListView2, &Form1::PushButton6_Click, &Form1::PushButton7_Click);
}

// Edit Selected Project.
void Form1::PushButton1_Click() {
    ErrorTrap trap(formName(), QStringLiteral("PushButton1_Click"));
    if (!hasSelectedRow(ListView1))
        return;
    int position = -1;
    QString id;
    trap.step(2, [&] { position = selectedRow(ListView1); });
    trap.step(3, [&] { id = selectedCell(ListView1, 0); });
    trap.step(5, [&] { Editors::openProjectEditor(this, id, QStringLiteral("Edit Data")); });
    trap.step(6, [&] { ListData(); });
    trap.step(7, [&] {
        if (position >= 0 && position < m_projects->rowCount()) {
            m_filling = true;
            selectRow(ListView1, position);
            m_filling = false;
        }
    });
    trap.step(8, [&] { refillTasksOfSelectedProject(*this); });
}

// Add New Project.
void Form1::PushButton2_Click() {
    ErrorTrap trap(formName(), QStringLiteral("PushButton2_Click"));
    // The project the editor adds is the one with a new highest ID.
    qint64 lastBefore = 0;
    trap.step(2, [&] { lastBefore = highestProjectId(); });
    trap.step(3, [&] { Editors::openProjectEditor(this, QString(), QStringLiteral("Add New Project")); });
    trap.step(4, [&] { ListData(); });
    trap.step(4, [&] {
        const qint64 added = highestProjectId();
        if (added <= lastBefore)
            return;                   // cancelled: the refill's first row stays selected
        m_projects->ensureComplete(); // a long list may still be streaming in
        const QString id = QString::number(added);
        for (int row = 0; row < m_projects->rowCount(); ++row) {
            if (m_projects->cellText(row, 0) == id) {
                m_filling = true;
                selectRow(ListView1, row);
                m_filling = false;
                break;
            }
        }
    });
    trap.step(5, [&] { refillTasksOfSelectedProject(*this); });
}

// Delete Selected Project.
void Form1::PushButton3_Click() {
    ErrorTrap trap(formName(), QStringLiteral("PushButton3_Click"));
    if (!hasSelectedRow(ListView1))
        return;
    if (!askAndDelete(trap, ListView1, QStringLiteral("Projects")))
        return;
    trap.step(4, [&] { ListData(); });
    trap.step(5, [&] { refillTasksOfSelectedProject(*this); });
}

// Add Project Task.
void Form1::PushButton4_Click() {
    ErrorTrap trap(formName(), QStringLiteral("PushButton4_Click"));
    if (!hasSelectedRow(ListView1))
        return;
    QString projectId;
    trap.step(3, [&] { projectId = selectedCell(ListView1, 0); });
    trap.step(5, [&] { Editors::openTaskEditor(this, QString(), projectId, QStringLiteral("Add New Task")); });
    trap.step(6, [&] { ListTasks(); });
}

// Reports.
void Form1::PushButton5_Click() {
    ErrorTrap trap(formName(), QStringLiteral("PushButton5_Click"));
    trap.step(1, [&] {
        Form4 form(this);
        form.exec();
    });
}

// Edit Selected Task.
void Form1::PushButton6_Click() {
    ErrorTrap trap(formName(), QStringLiteral("PushButton6_Click"));
    if (!hasSelectedRow(ListView2) || !hasSelectedRow(ListView1))
        return;
    int position = -1;
    QString id;
    QString projectId;
    trap.step(2, [&] { position = selectedRow(ListView2); });
    trap.step(3, [&] { id = selectedCell(ListView2, 0); });
    trap.step(4, [&] { projectId = selectedCell(ListView1, 0); });
    trap.step(6, [&] { Editors::openTaskEditor(this, id, projectId, QStringLiteral("Edit Tasks")); });
    trap.step(7, [&] { ListTasks(); });
    trap.step(8, [&] {
        if (position >= 0 && position < m_tasks->rowCount())
            selectRow(ListView2, position);
    });
}

// Delete Selected Task.
void Form1::PushButton7_Click() {
    ErrorTrap trap(formName(), QStringLiteral("PushButton7_Click"));
    if (!hasSelectedRow(ListView2))
        return;
    if (!askAndDelete(trap, ListView2, QStringLiteral("Tasks")))
        return;
    trap.step(4, [&] { ListTasks(); });
}

// Load Sample/Example Data.
void Form1::PushButton8_Click() {
    const UndoSteps::Naming naming(QStringLiteral("Load Example Data"));
    if (!SampleData::load(QDate::currentDate()))
        return; // asked whether to add the examples again, and answered No
    ErrorTrap trap(formName(), QStringLiteral("PushButton8_Click"));
    trap.step(SampleData::refillLine, [&] { ListData(); });
    trap.step(SampleData::refillLine + 1, [&] { ListTasks(); });
}
