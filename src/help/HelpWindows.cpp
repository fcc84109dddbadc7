#include "HelpWindows.h"

#include "app/widgets/KnownKeys.h"

#include "app/Backup.h"
#include "app/Connection.h"
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/Messages.h"
#include "app/widgets/AccessibleNames.h"
#include "app/widgets/Appearance.h"

#include <QAbstractButton>
#include <QAction>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace Help {

namespace {

QString withoutMnemonic(QString text) {
    text.replace(QLatin1String("&&"), QString(QChar(0x1)));
    text.remove(QLatin1Char('&'));
    text.replace(QChar(0x1), QLatin1Char('&'));
    text = text.section(QLatin1Char('\t'), 0, 0).trimmed();
    if (text.endsWith(QLatin1String("...")))
        text.chop(3);
    else if (text.endsWith(QChar(0x2026)))
        text.chop(1);
    return text.trimmed();
}

QString keysText(const QList<QKeySequence>& keys) {
    QStringList texts;
    for (const QKeySequence& key : keys)
        if (!key.isEmpty())
            texts << key.toString(QKeySequence::NativeText);
    return texts.join(QStringLiteral(", "));
}

// What the row keys of the main window's lists do: their QShortcuts carry no text of their own.
struct KnownShortcut {
    const char* control;
    const char* key;
    const char* command;
};
constexpr KnownShortcut knownShortcuts[] = {
    {"ListView1", "Return", "Edit the selected project"}, {"ListView1", "Enter", "Edit the selected project"},
    {"ListView1", "Del", "Delete the selected project"},  {"ListView2", "Return", "Edit the selected task"},
    {"ListView2", "Enter", "Edit the selected task"},     {"ListView2", "Del", "Delete the selected task"},
};

QString shortcutCommand(const QShortcut* shortcut, const QWidget* owner) {
    if (!shortcut->whatsThis().isEmpty())
        return shortcut->whatsThis();
    const QString key = shortcut->key().toString(QKeySequence::PortableText);
    for (const KnownShortcut& k : knownShortcuts)
        if (owner && owner->objectName() == QLatin1String(k.control) && key == QLatin1String(k.key))
            return QLatin1String(k.command);
    return {};
}

QString placeName(QWidget* widget) {
    if (!widget)
        return {};
    QString name = AccessibleNames::nameFor(widget->window(), widget);
    if (name.isEmpty())
        name = AccessibleNames::spokenName(widget);
    return name.isEmpty() ? widget->objectName() : name;
}

// The rows in the order found; keys that do the same thing in the same place share a row.
class Collector {
public:
    void add(const QString& keys, const QString& command, const QString& where) {
        if (keys.isEmpty())
            return;
        const QString separator = QStringLiteral(", ");
        // A key does one thing in one place: a key listed there already is left out.
        QStringList fresh;
        for (const QString& key : keys.split(separator)) {
            const bool listed = std::any_of(m_rows.cbegin(), m_rows.cend(), [&](const Shortcut& s) {
                return s.where == where && s.keys.split(separator).contains(key);
            });
            if (!listed && !fresh.contains(key))
                fresh << key;
        }
        if (fresh.isEmpty())
            return;
        for (Shortcut& s : m_rows) {
            if (s.command == command && s.where == where) {
                s.keys += separator + fresh.join(separator);
                return;
            }
        }
        m_rows.push_back({fresh.join(separator), command, where});
    }

    void addMenu(QMenu* menu, const QString& path) {
        const auto actions = menu->actions();
        for (QAction* action : actions) {
            if (action->isSeparator())
                continue;
            if (action->menu()) {
                addMenu(action->menu(), path + QStringLiteral(" \u2192 ") + withoutMnemonic(action->text()));
                continue;
            }
            addAction(action, path);
        }
    }

    void addAction(QAction* action, const QString& where) {
        if (m_seen.contains(action))
            return;
        m_seen.insert(action);
        add(keysText(action->shortcuts()), withoutMnemonic(action->text()), where);
    }

    std::vector<Shortcut> take() { return std::move(m_rows); }

private:
    QSet<QAction*> m_seen;
    std::vector<Shortcut> m_rows;
};

} // namespace

QString version() {
    return QStringLiteral(FENNICK_VERSION);
}

QString databaseInUse() {
    const Database& db = Database::shared();
    if (db.isOpen())
        return db.connection()->kindAndPlace() + (db.isReadOnly() ? QStringLiteral(" (read only)") : QString());
    if (db.isShared()) // the team database that was tried
        return QStringLiteral("None: the team database %1 could not be opened").arg(db.describe());
    return QStringLiteral("None: the database %1 is not open").arg(DataStore::workingDatabase());
}

QString dataFolder() {
    const QString open = Database::shared().path();
    return open.isEmpty() ? DataStore::dataFolder() : QFileInfo(open).absolutePath();
}

QString backupsFolder() {
    const QString open = Database::shared().path();
    return Backup::folderFor(open.isEmpty() ? DataStore::workingDatabase() : open);
}

std::vector<Shortcut> shortcutsOf(QWidget* window) {
    Collector rows;
    // A place in another window that belongs to this one (the timeline) is named with that window.
    auto inWindow = [window](const QWidget* w, const QString& place) {
        const QWidget* own = w ? w->window() : nullptr;
        return own && own != window ? own->windowTitle() + QStringLiteral(" \u2192 ") + place : place;
    };
    const auto bars = window->findChildren<QMenuBar*>();
    for (QMenuBar* bar : bars) {
        const auto menus = bar->actions();
        for (QAction* entry : menus) {
            if (!entry->menu())
                continue;
            const QString title = withoutMnemonic(entry->text());
            rows.addMenu(entry->menu(), inWindow(bar, title));
        }
    }
    // Actions outside the menus: on the window or on one of its controls.
    const auto actions = window->findChildren<QAction*>();
    for (QAction* action : actions) {
        QWidget* owner = nullptr;
        const auto objects = action->associatedObjects();
        for (QObject* o : objects)
            if (auto* w = qobject_cast<QWidget*>(o); w && !qobject_cast<QMenu*>(w))
                owner = w;
        rows.addAction(action,
                       owner && owner != window ? inWindow(owner, placeName(owner)) : QStringLiteral("Main window"));
    }
    const auto shortcuts = window->findChildren<QShortcut*>();
    for (QShortcut* shortcut : shortcuts) {
        auto* owner = qobject_cast<QWidget*>(shortcut->parent());
        const QString where =
            owner && owner != window ? inWindow(owner, placeName(owner)) : QStringLiteral("Main window");
        QString command = shortcutCommand(shortcut, owner);
        if (command.isEmpty())
            command = QStringLiteral("Shortcut in %1").arg(where);
        rows.add(keysText(shortcut->keys()), command, where);
    }
    // The keys of windows not open now (and those no action carries, such as the mouse wheel).
    for (const KnownKeys::Key& s : KnownKeys::registeredKeys())
        rows.add(s.keys, s.command, s.where);
    // Alt+letter: the underlined letters of the menu titles and of the buttons.
    for (QMenuBar* bar : bars) {
        const auto menus = bar->actions();
        for (QAction* entry : menus)
            rows.add(QKeySequence::mnemonic(entry->text()).toString(QKeySequence::NativeText),
                     QStringLiteral("Open the %1 menu").arg(withoutMnemonic(entry->text())),
                     inWindow(bar, QStringLiteral("Menu bar")));
    }
    const auto buttons = window->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons)
        rows.add(QKeySequence::mnemonic(button->text()).toString(QKeySequence::NativeText),
                 withoutMnemonic(button->text()), inWindow(button, QStringLiteral("Button")));
    return rows.take();
}

AboutWindow::AboutWindow(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowTitle(QStringLiteral("About Fennick Planner"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("lblIcon"));
    icon->setPixmap(Appearance::programIcon().pixmap(64, 64));
    auto* name = new QLabel(QStringLiteral("<b>Fennick Planner</b>"), this);
    name->setObjectName(QStringLiteral("lblName"));
    auto* summary = new QLabel(QStringLiteral("Projects, their tasks and the contacts who work on them."), this);
    summary->setObjectName(QStringLiteral("lblSummary"));

    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const char* objectName, const QString& caption, const QString& value, bool link) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QStringLiteral("lblCaption%1").arg(row));
        auto* field = new QLabel(this);
        field->setObjectName(QLatin1String(objectName));
        if (link) {
            field->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                               .arg(QUrl::fromLocalFile(value).toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                    value.toHtmlEscaped()));
            field->setTextFormat(Qt::RichText);
            field->setTextInteractionFlags(Qt::TextBrowserInteraction);
            connect(field, &QLabel::linkActivated, this, [](const QString& url) { openFolder(QUrl(url)); });
            m_links << field;
        } else {
            field->setText(value);
            field->setTextFormat(Qt::PlainText);
            field->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        }
        field->setWordWrap(true);
        label->setBuddy(field);
        grid->addWidget(label, row, 0, Qt::AlignTop);
        grid->addWidget(field, row, 1);
        ++row;
    };
    addRow("lblVersion", QStringLiteral("Version:"), version(), false);
    addRow("lblLicence", QStringLiteral("Licence:"), QStringLiteral("MIT, \u00a9 2026 Tarnwick"), false);
    addRow("lblDataFolder", QStringLiteral("Data folder:"), dataFolder(), true);
    addRow("lblBackupsFolder", QStringLiteral("Backups:"), backupsFolder(), true);
    addRow("lblDatabase", QStringLiteral("Database in use:"), databaseInUse(), false);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* heading = new QHBoxLayout;
    heading->addWidget(icon);
    auto* titles = new QVBoxLayout;
    titles->addWidget(name);
    titles->addWidget(summary);
    heading->addLayout(titles, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addWidget(buttons);
    Appearance::applyDialogAppearance(this);
    setMinimumWidth(fontMetrics().averageCharWidth() * 70);
}

void AboutWindow::changeEvent(QEvent* event) {
    // A label lays out its links once, in the link colour of that moment: when the system
    // switches between light and dark, they are laid out again in the new colour.
    if (event->type() == QEvent::PaletteChange) {
        for (QLabel* link : std::as_const(m_links)) {
            const QString text = link->text();
            link->clear();
            link->setText(text);
        }
    }
    QDialog::changeEvent(event);
}

void AboutWindow::openFolder(const QUrl& url) {
    const QString path = url.toLocalFile();
    if (!QFileInfo(path).isDir()) {
        Messages::current().notice(
            QStringLiteral("The folder %1 does not exist yet. It is made when it is first needed.").arg(path));
        return;
    }
    if (!QDesktopServices::openUrl(url))
        Messages::current().notice(QStringLiteral("No file manager could open the folder %1.").arg(path));
}

ShortcutsWindow::ShortcutsWindow(QWidget* window, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ShortcutsWindow"));
    setWindowTitle(QStringLiteral("Keyboard Shortcuts"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ShortcutList"));
    m_list->setAccessibleName(QStringLiteral("Keyboard shortcuts"));
    m_list->setRootIsDecorated(false);
    m_list->setAlternatingRowColors(true);
    m_list->setHeaderLabels({QStringLiteral("Keys"), QStringLiteral("Command"), QStringLiteral("Where")});
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (const Shortcut& s : shortcutsOf(window))
        new QTreeWidgetItem(m_list, {s.keys, s.command, s.where});
    for (int c = 0; c < m_list->columnCount(); ++c)
        m_list->resizeColumnToContents(c);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    Appearance::applyDialogAppearance(this);
    const int em = fontMetrics().averageCharWidth();
    resize(em * 90, fontMetrics().height() * 24);
}

} // namespace Help
