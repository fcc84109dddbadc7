// The Help menu's two windows: About (name, version, licence, where the data is kept, which
// database is in use) and Keyboard shortcuts (every shortcut of a window, read when it opens).
#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

#include <vector>

class QLabel;
class QTreeWidget;

namespace Help {

// The program's version, from the build (the project's version).
QString version();
// A line that says which database the program works on, for the About window.
QString databaseInUse();
// The folder of the working database and its backups folder.
QString dataFolder();
QString backupsFolder();

// One row of the shortcuts window.
struct Shortcut {
    QString keys;    // as the user reads them ("Ctrl+Q", "Return, Enter")
    QString command; // what they do
    QString where;   // the menu or the control they belong to
    bool operator==(const Shortcut&) const = default;
};
// Every shortcut of the window, read from it now: the shortcuts of its actions (menu order
// first), its QShortcuts, and the Alt+letter keys of its menus and buttons. Keys that do the
// same thing in the same place share one row.
std::vector<Shortcut> shortcutsOf(QWidget* window);

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

    // Opens a folder link in the file manager; tells the user when the folder is not there yet.
    static void openFolder(const QUrl& url);

protected:
    void changeEvent(QEvent* event) override;

private:
    QList<QLabel*> m_links;
};

class ShortcutsWindow : public QDialog {
    Q_OBJECT
public:
    // Lists the shortcuts of the given window as they are at this moment.
    explicit ShortcutsWindow(QWidget* window, QWidget* parent = nullptr);
    QTreeWidget* list() const { return m_list; }

private:
    QTreeWidget* m_list = nullptr;
};

} // namespace Help
