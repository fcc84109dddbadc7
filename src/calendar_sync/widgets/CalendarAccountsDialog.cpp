#include "CalendarAccountsDialog.h"

#include "app/Database.h"
#include "app/DbError.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"
#include "calendar_sync/Credentials.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace CalendarSyncCommands {

AccountsDialog::AccountsDialog(PlannerWindow&, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CalendarAccounts"));
    setWindowTitle(QStringLiteral("Calendar Accounts"));
    const Credentials::Account account = Credentials::configuredAccount();
    m_url = new QLineEdit(account.url.toString(), this);
    m_url->setObjectName(QStringLiteral("calendarUrl"));
    m_url->setPlaceholderText(QStringLiteral("https://calendar.example.org/dav/"));
    m_user = new QLineEdit(account.user, this);
    m_user->setObjectName(QStringLiteral("calendarUser"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("calendarPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(Credentials::secretStoreAvailable()
                                       ? QStringLiteral("kept in the desktop's secret store")
                                       : QStringLiteral("asked once each run (or read from ~/.netrc)"));
    m_find = new QPushButton(QStringLiteral("&Find Task Lists"), this);
    m_find->setObjectName(QStringLiteral("findTaskLists"));
    m_new = new QPushButton(QStringLiteral("&New Task List..."), this);
    m_new->setObjectName(QStringLiteral("newTaskList"));
    m_new->setEnabled(false);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("calendarStatus"));
    m_status->setWordWrap(true);
    m_projects = new QTreeWidget(this);
    m_projects->setObjectName(QStringLiteral("calendarProjects"));
    m_projects->setHeaderLabels({QStringLiteral("Project"), QStringLiteral("Syncs to task list")});
    m_projects->setRootIsDecorated(false);
    m_projects->setUniformRowHeights(true);
    m_projects->header()->setSectionResizeMode(0, QHeaderView::Stretch);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Server &URL:"), m_url);
    form->addRow(QStringLiteral("&User:"), m_user);
    form->addRow(QStringLiteral("&Password:"), m_password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->addButton(m_find, QDialogButtonBox::ActionRole);
    buttons->addButton(m_new, QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_projects);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &AccountsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AccountsDialog::reject);
    connect(m_find, &QPushButton::clicked, this, &AccountsDialog::findTaskLists);
    connect(m_new, &QPushButton::clicked, this, [this] {
        const QString name =
            Messages::current().input(QStringLiteral("New Task List"), QStringLiteral("Name of the new task list:"));
        if (!name.trimmed().isEmpty())
            newTaskList(name.trimmed());
    });

    QString error;
    if (!m_state.load(CalendarSync::State::fileFor(Database::shared().target()), &error))
        throw DbError(error);
    for (const CalendarSync::CollectionState& cs : m_state.collections())
        m_lists << CalendarSync::TaskList{cs.url, cs.name.isEmpty() ? cs.url : cs.name};
    for (ResultSet rs = Database::shared().query(QStringLiteral("select ID, ProjectName from Projects order by ID"));
         !rs.eof(); rs.moveNext()) {
        const qint64 id = rs.value(0).toLongLong();
        auto* item = new QTreeWidgetItem(m_projects, {rs.rawText(1)});
        item->setData(0, Qt::UserRole, id);
        auto* combo = new QComboBox(m_projects);
        combo->setObjectName(QStringLiteral("project%1").arg(id));
        combo->addItem(QStringLiteral("(none)"), QString());
        for (const CalendarSync::TaskList& list : std::as_const(m_lists))
            combo->addItem(list.name, list.url);
        combo->setCurrentIndex(std::max(0, combo->findData(m_state.collectionOf(id))));
        m_projects->setItemWidget(item, 1, combo);
    }
    resize(560, 420);
}

CalDav::Client* AccountsDialog::client() {
    delete m_client;
    const QUrl url(m_url->text().trimmed());
    const QString user = m_user->text().trimmed();
    QString password = m_password->text();
    if (password.isEmpty() && !user.isEmpty())
        password = Credentials::password(url, user, true);
    m_client = new CalDav::Client(url, user, password, this);
    return m_client;
}

void AccountsDialog::addList(const CalendarSync::TaskList& list) {
    for (const CalendarSync::TaskList& known : std::as_const(m_lists))
        if (known.url == list.url)
            return;
    m_lists << list;
    for (int i = 0; i < m_projects->topLevelItemCount(); ++i)
        if (auto* combo = qobject_cast<QComboBox*>(m_projects->itemWidget(m_projects->topLevelItem(i), 1)))
            combo->addItem(list.name, list.url);
}

void AccountsDialog::findTaskLists() {
    const QUrl url(m_url->text().trimmed());
    if (!url.isValid() || !url.scheme().startsWith(QLatin1String("http"))) {
        Messages::current().notice(QStringLiteral("Please enter the http:// or https:// URL of the calendar server."));
        return;
    }
    m_status->setText(QStringLiteral("Asking the server for its task lists..."));
    m_find->setEnabled(false);
    CalendarSync::discover(*client(), [this](const CalendarSync::Found& found) {
        m_find->setEnabled(true);
        m_home = found.home;
        m_new->setEnabled(!m_home.isEmpty());
        for (const CalendarSync::TaskList& list : found.lists)
            addList(list);
        m_status->setText(found.error.isEmpty() ? QStringLiteral("%1 task lists found.").arg(found.lists.size())
                                                : found.error);
        emit listsFound();
    });
}

void AccountsDialog::newTaskList(const QString& name) {
    if (m_home.isEmpty() || !m_client)
        return;
    m_status->setText(QStringLiteral("Making the task list \"%1\"...").arg(name));
    CalendarSync::makeTaskList(*m_client, m_home, name, [this, name](const QString& url, const QString& error) {
        if (url.isEmpty()) {
            m_status->setText(error);
        } else {
            addList({url, name});
            m_status->setText(QStringLiteral("The task list \"%1\" was made.").arg(name));
        }
        emit listsFound();
    });
}

void AccountsDialog::accept() {
    ErrorTrap trap(QStringLiteral("CalendarAccounts"), QStringLiteral("accept"));
    const bool saved = trap.step(1, [&] {
        Credentials::Account account;
        account.url = QUrl(m_url->text().trimmed());
        account.user = m_user->text().trimmed();
        Credentials::saveAccount(account);
        if (!m_password->text().isEmpty()) {
            QString error;
            if (!Credentials::secretStoreAvailable() ||
                !Credentials::storePassword(account.url, account.user, m_password->text(), &error))
                Credentials::remember(account.url, account.user, m_password->text());
        }
        m_chosen.clear();
        m_assigned.clear();
        for (int i = 0; i < m_projects->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = m_projects->topLevelItem(i);
            auto* combo = qobject_cast<QComboBox*>(m_projects->itemWidget(item, 1));
            const QString url = combo ? combo->currentData().toString() : QString();
            m_assigned.insert(item->data(0, Qt::UserRole).toLongLong(), url);
            if (!url.isEmpty())
                m_chosen << CalendarSync::TaskList{url, combo->currentText()};
        }
    });
    if (saved)
        QDialog::accept();
}

} // namespace CalendarSyncCommands
