// File → Recently Deleted: the deleted projects with their tasks, who deleted them and when, each
// restorable whole.
#pragma once

#include "app/History.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;

class RecentlyDeleted : public QDialog {
    Q_OBJECT
public:
    explicit RecentlyDeleted(QWidget* parent = nullptr);
    bool restoredAnything() const { return m_restored; }

private:
    void reload();
    void restoreSelected();

    QList<History::DeletedProject> m_projects;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_restore = nullptr;
    bool m_restored = false;
};
