#include "LookupEditor.h"

#include "Openers.h"
#include "app/Backup.h"
#include "app/Cascade.h"
#include "app/ChangeFeed.h"
#include "app/Database.h"
#include "app/ErrorTrap.h"
#include "app/Messages.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>

#include <optional>

using EditorSql::ValueList;

namespace {
const QString continueQuestion = QStringLiteral("\r\nDo you wish to continue?");
}

LookupEditor::LookupEditor(const QString& formName, bool withCategories, QWidget* parent)
    : QDialog(parent) {
    setObjectName(formName);
    // Entries that others add or delete while the window is open show at once; the user's
    // choices stay as they are.
    ChangeFeed& feed = Database::shared().changes();
    connect(&feed, &ChangeFeed::changed, this, [this, &feed] {
        if (m_loaded)
            refreshLists(feed.pendingTables());
    });
    auto combo = [this](const QString& name) {
        auto* c = new QComboBox(this);
        c->setObjectName(name);
        c->setEditable(false);
        return c;
    };
    Combo1 = combo(QStringLiteral("Combo1"));
    Combo1->setToolTip(QStringLiteral("Double click to edit contact"));
    Combo3 = combo(QStringLiteral("Combo3"));
    Combo5 = combo(QStringLiteral("Combo5"));
    PushButton5 = smallButton(QStringLiteral("+"), QStringLiteral("PushButton5"));
    PushButton9 = smallButton(QStringLiteral("*"), QStringLiteral("PushButton9"));
    PushButton6 = smallButton(QStringLiteral("-"), QStringLiteral("PushButton6"));
    PushButton7 = smallButton(QStringLiteral("+"), QStringLiteral("PushButton7"));
    PushButton8 = smallButton(QStringLiteral("-"), QStringLiteral("PushButton8"));
    PushButton13 = smallButton(QStringLiteral("+"), QStringLiteral("PushButton13"));
    PushButton14 = smallButton(QStringLiteral("-"), QStringLiteral("PushButton14"));
    connect(PushButton5, &QPushButton::clicked, this, &LookupEditor::PushButton5_Click);
    connect(PushButton9, &QPushButton::clicked, this, &LookupEditor::PushButton9_Click);
    connect(PushButton6, &QPushButton::clicked, this, &LookupEditor::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &LookupEditor::PushButton7_Click);
    connect(PushButton8, &QPushButton::clicked, this, &LookupEditor::PushButton8_Click);
    connect(PushButton13, &QPushButton::clicked, this, &LookupEditor::PushButton13_Click);
    connect(PushButton14, &QPushButton::clicked, this, &LookupEditor::PushButton14_Click);
    if (withCategories) {
        Combo4 = combo(QStringLiteral("Combo4"));
        PushButton11 = smallButton(QStringLiteral("+"), QStringLiteral("PushButton11"));
        PushButton12 = smallButton(QStringLiteral("-"), QStringLiteral("PushButton12"));
        connect(PushButton11, &QPushButton::clicked, this, &LookupEditor::PushButton11_Click);
        connect(PushButton12, &QPushButton::clicked, this, &LookupEditor::PushButton12_Click);
    }
}

QPushButton* LookupEditor::smallButton(const QString& caption, const QString& name) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    // Enter in a field must never run a list command.
    b->setAutoDefault(false);
    b->setFixedWidth(b->fontMetrics().height() * 2);
    return b;
}

QHBoxLayout* LookupEditor::listRow(QComboBox* combo, std::initializer_list<QPushButton*> buttons) const {
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    row->addWidget(combo, 1);
    for (QPushButton* b : buttons)
        row->addWidget(b);
    return row;
}

void LookupEditor::setVisible(bool visible) {
    if (visible && !m_loaded) {
        m_loaded = true;
        Form_Load();
        if (QWidget* first = firstField())
            first->setFocus(Qt::OtherFocusReason);
    }
    QDialog::setVisible(visible);
}

// ---------------------------------------------------------------- loaders

void LookupEditor::LoadContacts() {
    ErrorTrap trap(objectName(), QStringLiteral("LoadContacts"));
    trap.step(1, [&] { m_ContactIDs = {}; });
    trap.step(2, [&] { Combo1->clear(); });
    std::optional<ResultSet> rs;
    // Nothing to walk when the query did not run.
    if (!trap.step(3, [&] { rs.emplace(Database::shared().query(EditorSql::contactsQuery())); }))
        return;
    while (!rs->eof()) {
        // The ID and the entry are added together, so the two lists stay in step even when
        // a row cannot be read.
        trap.step(4, [&] {
            const qint64 id = rs->integer(QStringLiteral("ID"));
            const QString entry = EditorSql::contactEntryText(rs->value(QStringLiteral("ContactName")),
                                                              rs->value(QStringLiteral("FirstName")),
                                                              rs->value(QStringLiteral("LastName")));
            m_ContactIDs.append(id);
            Combo1->addItem(entry);
        });
        if (!trap.step(4, [&] { rs->moveNext(); }))
            break;
    }
    Combo1->setCurrentIndex(-1);
    trap.step(5, [&] { rs->close(); });
}

void LookupEditor::loadList(ValueList list, QComboBox* combo, const QString& procedure) {
    ErrorTrap trap(objectName(), procedure);
    trap.step(1, [&] { combo->clear(); });
    std::optional<ResultSet> rs;
    if (!trap.step(2, [&] { rs.emplace(Database::shared().query(EditorSql::listQuery(list))); }))
        return;
    const QString column = EditorSql::listColumn(list);
    while (!rs->eof()) {
        trap.step(3, [&] { combo->addItem(rs->text(column)); });
        if (!trap.step(3, [&] { rs->moveNext(); }))
            break;
    }
    combo->setCurrentIndex(-1);
    trap.step(4, [&] { rs->close(); });
}

void LookupEditor::LoadStatus() {
    loadList(ValueList::Status, Combo3, QStringLiteral("LoadStatus"));
}

void LookupEditor::LoadCategories() {
    if (Combo4)
        loadList(ValueList::Categories, Combo4, QStringLiteral("LoadCategories"));
}

void LookupEditor::LoadPriorities() {
    loadList(ValueList::Priorities, Combo5, QStringLiteral("LoadPriorities"));
}

void LookupEditor::reload(ValueList list) {
    switch (list) {
    case ValueList::Status:
        LoadStatus();
        break;
    case ValueList::Categories:
        LoadCategories();
        break;
    case ValueList::Priorities:
        LoadPriorities();
        break;
    }
}

// ---------------------------------------------------------------- value-list buttons

void LookupEditor::addValue(ValueList list, const QString& procedure, const QString& title, const QString& prompt) {
    ErrorTrap trap(objectName(), procedure);
    QString value;
    trap.step(1, [&] { value = Messages::current().input(title, prompt); });
    if (value.isEmpty())
        return;
    QComboBox* combo = list == ValueList::Status ? Combo3 : list == ValueList::Categories ? Combo4 : Combo5;
    const QString previous = combo->currentIndex() < 0 ? QString() : combo->currentText();
    const bool added = trap.step(3, [&] { Database::shared().execute(EditorSql::insertValue(list, value)); });
    reload(list);
    // The new value is picked; a value that could not be added leaves the pick as it was.
    const QString wanted = added ? value : previous;
    if (!wanted.isNull())
        combo->setCurrentIndex(combo->findText(wanted, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void LookupEditor::deleteValue(ValueList list, QComboBox* combo, const QString& procedure, const QString& warning) {
    if (combo->currentIndex() < 0)
        return;
    ErrorTrap trap(objectName(), procedure);
    if (!Messages::current().ask(warning + continueQuestion))
        return;
    const QString value = combo->currentText();
    // One backup copy of a local file for both statements; without it neither runs. (A team
    // database's backups are the server's business.)
    std::optional<Backup::Cover> backup;
    if (Database::shared().keepsOwnBackups() && !trap.step(3, [&] { backup.emplace(Database::shared()); }))
        return;
    Cascade::run(trap, EditorSql::deleteValue(list, value), EditorSql::deleteProjectsWithValue(list, value));
    backup.reset();
    reload(list);
}

void LookupEditor::PushButton7_Click() {
    addValue(ValueList::Status, QStringLiteral("PushButton7_Click"), QStringLiteral("Input Status"),
             QStringLiteral("Enter new Status: "));
}

void LookupEditor::PushButton8_Click() {
    deleteValue(ValueList::Status, Combo3, QStringLiteral("PushButton8_Click"),
                QStringLiteral("Warning: Deleting status will also delete issue data that is linked to this status."));
}

void LookupEditor::PushButton11_Click() {
    if (Combo4)
        addValue(ValueList::Categories, QStringLiteral("PushButton11_Click"), QStringLiteral("Input Category"),
                 QStringLiteral("Enter new Category: "));
}

void LookupEditor::PushButton12_Click() {
    if (Combo4)
        deleteValue(
            ValueList::Categories, Combo4, QStringLiteral("PushButton12_Click"),
            QStringLiteral("Warning: Deleting category will also delete issue data that is linked to this category."));
}

void LookupEditor::PushButton13_Click() {
    addValue(ValueList::Priorities, QStringLiteral("PushButton13_Click"), QStringLiteral("Input Priority"),
             QStringLiteral("Enter new Priority: "));
}

void LookupEditor::PushButton14_Click() {
    deleteValue(
        ValueList::Priorities, Combo5, QStringLiteral("PushButton14_Click"),
        QStringLiteral("Warning: Deleting priority will also delete issue data that is linked to this priority."));
}

// ---------------------------------------------------------------- contact buttons

void LookupEditor::PushButton5_Click() {
    ErrorTrap trap(objectName(), QStringLiteral("PushButton5_Click"));
    trap.step(2, [&] { Editors::openContactEditor(this, QString()); });
    LoadContacts();
}

void LookupEditor::PushButton9_Click() {
    if (Combo1->currentIndex() < 0)
        return;
    ErrorTrap trap(objectName(), QStringLiteral("PushButton9_Click"));
    const QString id = QString::number(selectedContactID());
    trap.step(3, [&] { Editors::openContactEditor(this, id); });
    LoadContacts();
}

void LookupEditor::PushButton6_Click() {
    if (Combo1->currentIndex() < 0)
        return;
    ErrorTrap trap(objectName(), QStringLiteral("PushButton6_Click"));
    if (!Messages::current().ask(
            QStringLiteral(
                "Warning: Deleting assigned to will also delete issue data that is linked to this contact.") +
            continueQuestion))
        return;
    const qint64 id = selectedContactID();
    std::optional<Backup::Cover> backup;
    if (Database::shared().keepsOwnBackups() && !trap.step(3, [&] { backup.emplace(Database::shared()); }))
        return;
    Cascade::run(trap, EditorSql::deleteContact(id), EditorSql::deleteProjectsOwnedBy(id));
    backup.reset();
    LoadContacts();
}

// ---------------------------------------------------------------- selection helpers

qint64 LookupEditor::selectedContactID() const {
    return m_ContactIDs.value(Combo1->currentIndex());
}

void LookupEditor::selectContact(const QVariant& id) {
    bool ok = false;
    const qint64 wanted = id.toLongLong(&ok);
    Combo1->setCurrentIndex(ok && !id.isNull() ? static_cast<int>(m_ContactIDs.indexOf(wanted)) : -1);
    // A contact that no longer exists is said so, never shown as a blank or as someone else.
    Combo1->setPlaceholderText(Combo1->currentIndex() < 0 && ok && !id.isNull()
                                   ? QStringLiteral("(deleted contact)") // as the stored views name it
                                   : QString());
}

void LookupEditor::selectText(QComboBox* combo, const QString& text) {
    int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) // the database compares these texts without regard to case
        index = combo->findText(text, Qt::MatchFixedString);
    if (index < 0) {
        // The entry was deleted from the list (by another user, say) while records still carry it:
        // the record's value is shown and kept, as stored, unless the user picks another.
        combo->addItem(text);
        index = combo->count() - 1;
        combo->setItemData(index, QStringLiteral("No longer in the list; kept as stored"), Qt::ToolTipRole);
    }
    combo->setCurrentIndex(index);
}

// ---------------------------------------------------------------- live lists

void LookupEditor::refreshLists(const QSet<QString>& tables) {
    // An empty name: some table changed, which one is not known (another copy of the program on the
    // same local file).
    const auto changed = [&tables](const char* table) {
        return tables.contains(QLatin1String(table)) || tables.contains(QString());
    };
    const std::pair<ValueList, QComboBox*> lists[] = {
        {ValueList::Status, Combo3}, {ValueList::Categories, Combo4}, {ValueList::Priorities, Combo5}};
    for (const auto& [list, combo] : lists) {
        if (!combo || !changed(list == ValueList::Status       ? "status_entries"
                               : list == ValueList::Categories ? "categories_entries"
                                                               : "priorities_entries"))
            continue;
        const bool chosen = combo->currentIndex() >= 0;
        const QString text = combo->currentText();
        reload(list);
        if (chosen)
            selectText(combo, text);
    }
    if (changed("employees")) {
        const bool chosen = Combo1->currentIndex() >= 0;
        const qint64 id = chosen ? selectedContactID() : 0;
        LoadContacts();
        if (chosen)
            selectContact(id);
    }
}
