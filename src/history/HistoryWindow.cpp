#include "HistoryWindow.h"

#include "app/ErrorTrap.h"
#include "app/Messages.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString whenText(const QDateTime& at) {
    return QLocale::system().toString(at.toLocalTime(), QLocale::ShortFormat);
}

QString changeText(const History::Entry& entry, const QString& onlyField) {
    if (entry.kind == QLatin1String("insert") && onlyField.isEmpty())
        return QStringLiteral("Added");
    if (entry.kind == QLatin1String("delete") && onlyField.isEmpty())
        return QStringLiteral("Deleted");
    QStringList parts;
    for (const History::FieldChange& c : History::changedFields(entry)) {
        if (!onlyField.isEmpty() && c.field != onlyField)
            continue;
        parts << QStringLiteral("%1 %2 → %3")
                     .arg(History::fieldCaption(c.field), History::valueText(c.field, c.before),
                          History::valueText(c.field, c.after))
                     .simplified();
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace

QString HistoryWindow::entryLine(const History::Entry& entry, const QString& field) {
    return QStringLiteral("%1, %2: %3").arg(whenText(entry.at), History::personText(entry), changeText(entry, field));
}

HistoryWindow::HistoryWindow(const QString& table, qint64 recordId, const QString& name, QWidget* parent)
    : QDialog(parent)
    , m_table(table)
    , m_recordId(recordId) {
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("History of %1 '%2'").arg(History::tableCaption(table), name));
    resize(720, 420);

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Field:"), this));
    m_field = new QComboBox(this);
    m_field->setObjectName(QStringLiteral("fieldFilter"));
    filters->addWidget(m_field, 1);
    filters->addWidget(new QLabel(QStringLiteral("Person:"), this));
    m_person = new QComboBox(this);
    m_person->setObjectName(QStringLiteral("personFilter"));
    filters->addWidget(m_person, 1);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("When"), QStringLiteral("Who"), QStringLiteral("Change")});
    m_list->header()->setSectionResizeMode(2, QHeaderView::Stretch);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_restore = buttons->addButton(QStringLiteral("&Restore this version"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("restoreVersion"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, [this] {
        ErrorTrap trap(QStringLiteral("HistoryWindow"), QStringLiteral("restoreVersion_Click"));
        trap.step(1, [this] { restoreSelected(); });
    });
    connect(m_field, &QComboBox::currentIndexChanged, this, [this] { fill(); });
    connect(m_person, &QComboBox::currentIndexChanged, this, [this] { fill(); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { m_restore->setEnabled(m_list->currentItem()); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    reload();
}

void HistoryWindow::reload() {
    m_entries = History::ofRecord(m_table, m_recordId);
    QSignalBlocker a(m_field);
    QSignalBlocker b(m_person);
    const QString field = m_field->currentData().toString();
    const QString person = m_person->currentData().toString();
    m_field->clear();
    m_person->clear();
    m_field->addItem(QStringLiteral("(all fields)"), QString());
    m_person->addItem(QStringLiteral("(everyone)"), QString());
    QStringList fields;
    QStringList people;
    for (const History::Entry& e : m_entries) {
        for (const History::FieldChange& c : History::changedFields(e))
            if (!fields.contains(c.field))
                fields << c.field;
        if (!people.contains(e.by))
            people << e.by;
    }
    for (const QString& f : fields)
        m_field->addItem(History::fieldCaption(f), f);
    for (const QString& p : people) {
        History::Entry sample;
        sample.by = p;
        m_person->addItem(History::personText(sample), p.isEmpty() ? QStringLiteral("\x01") : p);
    }
    m_field->setCurrentIndex(std::max(0, m_field->findData(field)));
    m_person->setCurrentIndex(std::max(0, m_person->findData(person)));
    fill();
}

void HistoryWindow::fill() {
    const QString field = m_field->currentData().toString();
    const QString person = m_person->currentData().toString();
    m_list->clear();
    for (int i = 0; i < m_entries.size(); ++i) {
        const History::Entry& e = m_entries[i];
        if (!person.isEmpty() && (person == QStringLiteral("\x01") ? !e.by.isEmpty() : e.by != person))
            continue;
        const QString change = changeText(e, field);
        if (!field.isEmpty() && change.isEmpty())
            continue;
        auto* item = new QTreeWidgetItem(m_list, {whenText(e.at), History::personText(e), change});
        item->setData(0, Qt::UserRole, i);
        item->setToolTip(2, change);
    }
    m_list->resizeColumnToContents(0);
    m_list->resizeColumnToContents(1);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    m_restore->setEnabled(m_list->currentItem());
}

void HistoryWindow::restoreSelected() {
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    const History::Entry entry = m_entries.at(item->data(0, Qt::UserRole).toInt());
    try {
        History::restoreVersion(entry);
    } catch (const History::Conflict& conflict) {
        Messages::current().notice(conflict.description());
        reload();
        return;
    }
    m_restored = true;
    reload();
}
