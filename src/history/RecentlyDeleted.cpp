#include "RecentlyDeleted.h"

#include "app/ErrorTrap.h"
#include "app/Messages.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

RecentlyDeleted::RecentlyDeleted(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("RecentlyDeleted"));
    setWindowTitle(QStringLiteral("Recently Deleted"));
    resize(640, 360);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("deletedList"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels(
        {QStringLiteral("Project"), QStringLiteral("Tasks"), QStringLiteral("Deleted"), QStringLiteral("By")});
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_restore = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("restoreProject"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, [this] {
        ErrorTrap trap(QStringLiteral("RecentlyDeleted"), QStringLiteral("restoreProject_Click"));
        trap.step(1, [this] { restoreSelected(); });
    });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { m_restore->setEnabled(m_list->currentItem()); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    reload();
}

void RecentlyDeleted::reload() {
    m_projects = History::deletedProjects();
    m_list->clear();
    for (int i = 0; i < m_projects.size(); ++i) {
        const History::DeletedProject& p = m_projects[i];
        auto* item = new QTreeWidgetItem(
            m_list, {History::recordLabel(p.entry), QString::number(p.tasks),
                     QLocale::system().toString(p.entry.at.toLocalTime(), QLocale::ShortFormat),
                     History::personText(p.entry)});
        item->setData(0, Qt::UserRole, i);
    }
    for (int c = 1; c < 4; ++c)
        m_list->resizeColumnToContents(c);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    m_restore->setEnabled(m_list->currentItem());
}

void RecentlyDeleted::restoreSelected() {
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    const History::DeletedProject project = m_projects.at(item->data(0, Qt::UserRole).toInt());
    try {
        History::apply(History::deletionOfProject(project.entry), History::Direction::Back);
    } catch (const History::Conflict& conflict) {
        Messages::current().notice(conflict.description());
        reload();
        return;
    }
    m_restored = true;
    reload();
}
