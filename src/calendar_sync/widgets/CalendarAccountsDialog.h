// File → Calendar Accounts…: the CalDAV server's URL, the user and the password (kept in the
// desktop's secret store where there is one, never in the settings), and which task list each
// project syncs to, chosen among those the server has (found with PROPFIND) or a new one made with
// MKCALENDAR.
#pragma once

#include "calendar_sync/CalDav.h"
#include "calendar_sync/Discovery.h"
#include "calendar_sync/SyncState.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

class PlannerWindow;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace CalendarSyncCommands {

class AccountsDialog final : public QDialog {
    Q_OBJECT
public:
    AccountsDialog(PlannerWindow& planner, QWidget* parent);

    // Asks the server for its task lists (answers arrive later; finished() then).
    void findTaskLists();
    // Makes a new task list of that name and offers it to the projects.
    void newTaskList(const QString& name);
    void accept() override;
    // After accept(): the task list each project syncs to (empty: none), and the lists chosen.
    const QHash<qint64, QString>& assigned() const { return m_assigned; }
    const QList<CalendarSync::TaskList>& chosenLists() const { return m_chosen; }

signals:
    void listsFound();

private:
    CalDav::Client* client();
    void addList(const CalendarSync::TaskList& list);

    QLineEdit* m_url;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLabel* m_status;
    QTreeWidget* m_projects;
    QPushButton* m_find;
    QPushButton* m_new;
    CalendarSync::State m_state;
    QString m_home;
    QPointer<CalDav::Client> m_client;
    QList<CalendarSync::TaskList> m_lists;
    QHash<qint64, QString> m_assigned;
    QList<CalendarSync::TaskList> m_chosen;
};

} // namespace CalendarSyncCommands
