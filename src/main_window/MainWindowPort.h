// The main window as features see it (PlannerWindow): its menus kept in named groups, its lists,
// their refills and the signals of both.
#pragma once

#include "app/widgets/PlannerWindow.h"

#include <QList>
#include <QPointer>

#include <map>
#include <vector>

class Form1;
class QMenu;

class MainWindowPort final : public PlannerWindow {
    Q_OBJECT
public:
    explicit MainWindowPort(Form1& form);

    QWidget* window() const override;
    void addAction(Menu menu, const QString& group, QAction* action) override;
    void setCornerWidget(QWidget* widget) override;
    int menuBarHeight() const override;
    QString title() const override;
    void setTitle(const QString& title) override;
    QTreeView* projectList() const override;
    QTreeView* taskList() const override;
    RecordListModel* projects() const override;
    RecordListModel* tasks() const override;
    void refillProjects() override;
    void refillTasks() override;
    bool patchLists(const QString& table, const QSet<qint64>& ids) override;
    bool listsRead() const override;

private:
    struct Group {
        QString name;
        bool separated; // a line above it when a group above has actions
        QList<QPointer<QAction>> actions;
    };
    QMenu* menuOf(Menu menu) const;
    // Lays the menu out again from its groups, in their order.
    void arrange(Menu menu);

    Form1& m_form;
    std::map<Menu, std::vector<Group>> m_groups;
    std::map<Menu, QList<QAction*>> m_separators;
};
