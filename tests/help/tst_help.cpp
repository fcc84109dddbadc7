// Help menu: the About window's facts and folder links, and the shortcuts read from the main
// window when the list opens.
#include "app/DataStore.h"
#include "app/Database.h"
#include "help/HelpWindows.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"
#include "timeline/TimelineCommands.h"
#include "timeline/TimelineWindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTreeWidget>
#include <QtTest>

class TestHelp : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { m_opened << url; }
private slots:
    void init() { Messages::install(&m_messages); }
    void cleanup() {
        Messages::install(nullptr);
        Database::shared().close();
        m_messages.clear();
        m_opened.clear();
    }
    void aboutWindow_data();
    void aboutWindow();
    void shortcutsListed();
    void timelineKeysListedAsItsWindowHasThem();

private:
    ScriptedMessages m_messages;
    QList<QUrl> m_opened;
};

void TestHelp::aboutWindow_data() {
    QTest::addColumn<bool>("openDb");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("expected"); // <db>: the working database; <data>: the data folder
    QTest::addColumn<bool>("folderExists");
    QTest::newRow("version") << true << "lblVersion" << FENNICK_VERSION << true;
    QTest::newRow("licence") << true << "lblLicence"
                             << "MIT" << true;
    QTest::newRow("database") << true << "lblDatabase"
                              << "SQLite file <db>" << true;
    QTest::newRow("no database") << false << "lblDatabase"
                                 << "None: the database <db> is not open" << true;
    QTest::newRow("data folder") << true << "lblDataFolder"
                                 << "<data>" << true;
    QTest::newRow("backups") << true << "lblBackupsFolder"
                             << "<data>/Backups" << true;
    QTest::newRow("no backups yet") << true << "lblBackupsFolder"
                                    << "<data>/Backups" << false;
}

void TestHelp::aboutWindow() {
    QFETCH(bool, openDb);
    QFETCH(QString, label);
    QFETCH(QString, expected);
    QFETCH(bool, folderExists);
    TestEnvironment env;
    if (openDb)
        env.openDatabase();
    expected.replace("<db>", DataStore::workingDatabase()).replace("<data>", DataStore::dataFolder());
    if (label.endsWith("Folder") && !folderExists)
        QVERIFY(QDir(expected).removeRecursively());
    else if (label.endsWith("Folder"))
        QVERIFY(QDir().mkpath(expected));
    Help::AboutWindow about;
    auto* field = about.findChild<QLabel*>(label);
    if (!label.endsWith("Folder")) {
        QVERIFY2(field->text().startsWith(expected), qPrintable(field->text()));
        return;
    }
    // A folder is a link that opens it, or says that it is not there yet.
    const QString url = QUrl::fromLocalFile(expected).toString(QUrl::FullyEncoded);
    QVERIFY2(field->text().contains("href=\"" + url + "\""), qPrintable(field->text()));
    QDesktopServices::setUrlHandler("file", this, "open");
    emit field->linkActivated(url);
    QDesktopServices::unsetUrlHandler("file");
    QCOMPARE(m_opened, folderExists ? QList<QUrl>{QUrl(url)} : QList<QUrl>{});
    QCOMPARE(m_messages.notices().size(), folderExists ? 0 : 1);
}

void TestHelp::shortcutsListed() {
    TestEnvironment env;
    Form1 form;
    form.Form_Load();
    // Commands that other parts of the program add after the window was built are listed too.
    auto* find = new QAction("&Find...", &form);
    find->setShortcut(QKeySequence("Ctrl+F"));
    form.menuEdit->addAction(find);
    (new QShortcut(QKeySequence("Ctrl+R"), form.ListView1))->setWhatsThis("Reload the lists");
    new QShortcut(QKeySequence("Ctrl+U"), &form);
    // A window of its own that the main window owns lists its keys under its own name.
    auto* other = new QWidget(&form, Qt::Window);
    other->setWindowTitle("Timeline");
    auto* otherBar = new QMenuBar(other);
    otherBar->addMenu("&File")->addAction("&Print...", QKeySequence("Ctrl+P"), [] {});

    Help::ShortcutsWindow window(&form);
    QStringList rows;
    for (int i = 0; i < window.list()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = window.list()->topLevelItem(i);
        rows << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
    }
    const QString quit = QKeySequence(QKeySequence::Quit).toString(QKeySequence::NativeText);
    QStringList expected{
        "F1|Keyboard Shortcuts|Help", "Return, Enter|Edit the selected project|Projects",
        "Del|Delete the selected project|Projects",
        "Return, Enter|Edit the selected task|Tasks of the selected project",
        "Del|Delete the selected task|Tasks of the selected project", "Alt+F|Open the File menu|Menu bar",
        "Alt+H|Open the Help menu|Menu bar", "Ctrl+F|Find|Edit", "Ctrl+R|Reload the lists|Projects",
        "Ctrl+U|Shortcut in Main window|Main window", "Ctrl+P|Print|Timeline \u2192 File",
        // The timeline's keys, though its window is not open.
        "Ctrl+0|Fit All|Timeline \u2192 View", "T|Go to Today|Timeline \u2192 View", "Ctrl+Z|Undo|Timeline \u2192 Edit",
        "Ctrl+E|Export|Timeline \u2192 File", "Ctrl+Wheel|Zoom in or out around the pointer|Timeline \u2192 Chart",
        "Home|Go to the first row|Timeline \u2192 Chart"};
    if (!quit.isEmpty()) // the platform's own key; some have none
        expected << quit + "|Quit|File";
    for (const QString& row : expected)
        QVERIFY2(rows.contains(row), qPrintable(row + " not in\n" + rows.join('\n')));
    QVERIFY(!rows.contains("Ctrl+P|Print|File"));
    QVERIFY(form.menuHelp->actions().contains(form.findChild<QAction*>("actionAbout")));
}

namespace {
QStringList listed(QWidget* window) {
    QStringList rows;
    for (const Help::Shortcut& s : Help::shortcutsOf(window))
        rows << s.keys + "|" + s.command + "|" + s.where;
    return rows;
}
} // namespace

// Every key of the timeline window's menus is in the list the help shows before the window is
// open, as the open window itself gives it; with the window open, no key is listed twice.
void TestHelp::timelineKeysListedAsItsWindowHasThem() {
    TestEnvironment env;
    Form1 form;
    form.Form_Load();
    const QStringList closed = listed(&form);
    Timeline::TimelineWindow* timeline = Timeline::openWindow(form.port());
    QVERIFY(timeline);
    int checked = 0;
    for (QMenuBar* bar : timeline->findChildren<QMenuBar*>()) {
        for (QAction* menu : bar->actions()) {
            for (QAction* action : menu->menu()->actions()) {
                if (action->shortcuts().isEmpty())
                    continue;
                QStringList keys;
                for (const QKeySequence& k : action->shortcuts())
                    keys << k.toString(QKeySequence::NativeText);
                QString command = action->text().remove('&');
                if (command.endsWith("..."))
                    command.chop(3);
                const QString row = keys.join(", ") + "|" + command + "|Timeline \u2192 " + menu->text().remove('&');
                QVERIFY2(closed.contains(row), qPrintable(row + " not in\n" + closed.join('\n')));
                ++checked;
            }
        }
    }
    QVERIFY(checked >= 9);
    const QStringList open = listed(&form);
    QSet<QString> keysInPlaces;
    for (const QString& row : open) {
        const QStringList parts = row.split('|');
        for (const QString& key : parts[0].split(", ")) {
            const QString keyInPlace = key + "|" + parts[2];
            QVERIFY2(!keysInPlaces.contains(keyInPlace), qPrintable(keyInPlace + " listed twice"));
            keysInPlaces.insert(keyInPlace);
        }
    }
    delete timeline;
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
