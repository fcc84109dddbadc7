#include "MainWindowPort.h"

#include "Form1.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

MainWindowPort::MainWindowPort(Form1& form)
    : PlannerWindow(&form)
    , m_form(form) {
    setObjectName(QStringLiteral("MainWindowPort"));
    m_groups[Menu::File] = {{Database, false, {}}, {Exchange, true, {}}, {Quit, true, {}}};
    m_groups[Menu::Edit] = {{Undo, false, {}}, {Clipboard, true, {}}, {Find, false, {}}, {Plan, true, {}}};
    m_groups[Menu::View] = {{Windows, false, {}}};
    m_groups[Menu::Help] = {{Guide, false, {}}, {About, true, {}}};
}

QWidget* MainWindowPort::window() const {
    return &m_form;
}

QMenu* MainWindowPort::menuOf(Menu menu) const {
    switch (menu) {
    case Menu::File:
        return m_form.menuFile;
    case Menu::Edit:
        return m_form.menuEdit;
    case Menu::View:
        return m_form.menuView;
    case Menu::Help:
        return m_form.menuHelp;
    }
    return nullptr;
}

void MainWindowPort::addAction(Menu menu, const QString& group, QAction* action) {
    std::vector<Group>& groups = m_groups[menu];
    auto it = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.name == group; });
    if (it == groups.end()) {
        groups.push_back({group, true, {}});
        it = std::prev(groups.end());
    }
    it->actions.append(action);
    arrange(menu);
}

void MainWindowPort::arrange(Menu menu) {
    QMenu* target = menuOf(menu);
    if (!target)
        return;
    for (QAction* action : target->actions())
        target->removeAction(action);
    qDeleteAll(m_separators[menu]);
    m_separators[menu].clear();
    bool above = false;
    for (Group& group : m_groups[menu]) {
        group.actions.removeAll(nullptr);
        if (group.actions.isEmpty())
            continue;
        if (above && group.separated) {
            auto* line = new QAction(target);
            line->setSeparator(true);
            target->addAction(line);
            m_separators[menu].append(line);
        }
        for (QAction* action : std::as_const(group.actions))
            target->addAction(action);
        above = true;
    }
}

void MainWindowPort::setCornerWidget(QWidget* widget) {
    m_form.MenuBar->setCornerWidget(widget, Qt::TopRightCorner);
}

int MainWindowPort::menuBarHeight() const {
    return m_form.MenuBar ? m_form.MenuBar->sizeHint().height() : 0;
}

QString MainWindowPort::title() const {
    return m_form.windowTitle();
}

void MainWindowPort::setTitle(const QString& title) {
    m_form.setWindowTitle(title);
}

QTreeView* MainWindowPort::projectList() const {
    return m_form.ListView1;
}

QTreeView* MainWindowPort::taskList() const {
    return m_form.ListView2;
}

RecordListModel* MainWindowPort::projects() const {
    return m_form.projectModel();
}

RecordListModel* MainWindowPort::tasks() const {
    return m_form.taskModel();
}

void MainWindowPort::refillProjects() {
    m_form.ListData();
}

void MainWindowPort::refillTasks() {
    m_form.ListTasks();
}

bool MainWindowPort::patchLists(const QString& table, const QSet<qint64>& ids) {
    return m_form.patchLists(table, ids);
}

bool MainWindowPort::listsRead() const {
    return m_form.listsRead();
}
