// Help menu: the About window's facts and folder links, and the keyboard shortcuts read from the
// main window when the list opens.
#include "app/DataStore.h"
#include "app/Database.h"
#include "help/HelpWindows.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using Help::Shortcut;

// Catches the URLs the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestEnvironment>();
        Messages::install(&m_messages);
        m_messages.clear();
    }
    void cleanup() {
        Messages::install(nullptr);
        Database::shared().close();
        m_env.reset();
    }

    void aboutFacts_data();
    void aboutFacts();
    void folderLinks_data();
    void folderLinks();
    void mainWindowShortcuts_data();
    void mainWindowShortcuts();
    void shortcutsReadWhenOpened();
    void menuOpensBothWindows_data();
    void menuOpensBothWindows();

private:
    std::unique_ptr<TestEnvironment> m_env;
    ScriptedMessages m_messages;
};

void TestHelp::aboutFacts_data() {
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("expected");
    QTest::newRow("version") << true << "lblVersion" << QStringLiteral(FENNICK_VERSION);
    QTest::newRow("licence") << true << "lblLicence"
                             << "MIT";
    QTest::newRow("database open") << true << "lblDatabase"
                                   << "SQLite file <db>";
    QTest::newRow("database closed") << false << "lblDatabase"
                                     << "None: the database <db> is not open";
}

void TestHelp::aboutFacts() {
    QFETCH(bool, open);
    QFETCH(QString, label);
    QFETCH(QString, expected);
    if (open)
        m_env->openDatabase();
    Help::AboutWindow about;
    const QString text = about.findChild<QLabel*>(label)->text();
    QVERIFY2(text.startsWith(QString(expected).replace(QStringLiteral("<db>"), DataStore::workingDatabase())),
             qPrintable(text));
}

void TestHelp::folderLinks_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("exists");
    const QString data = QStringLiteral("/Tarnwick/Fennick Planner");
    QTest::newRow("data folder") << "lblDataFolder" << data << true;
    QTest::newRow("backups, none yet") << "lblBackupsFolder" << data + "/Backups" << false;
    QTest::newRow("backups made") << "lblBackupsFolder" << data + "/Backups" << true;
}

void TestHelp::folderLinks() {
    QFETCH(QString, label);
    QFETCH(QString, folder);
    QFETCH(bool, exists);
    m_env->openDatabase();
    const QString path = m_env->dataHome() + folder;
    if (exists)
        QVERIFY(QDir().mkpath(path));
    else
        QVERIFY(QDir(path).removeRecursively());
    Help::AboutWindow about;
    auto* link = about.findChild<QLabel*>(label);
    QVERIFY(link->text().contains(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toHtmlEscaped()));
    QVERIFY(link->textInteractionFlags() & Qt::LinksAccessibleByMouse);

    UrlCatcher catcher;
    emit link->linkActivated(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    if (exists) {
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(path)});
        QVERIFY(m_messages.shown().empty());
    } else {
        QVERIFY(catcher.opened.isEmpty());
        QCOMPARE(m_messages.notices().size(), 1);
        QVERIFY(m_messages.notices().first().contains(path));
    }
}

void TestHelp::mainWindowShortcuts_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("where");
    // The quit key is the platform's own (none on some).
    QTest::newRow("quit") << QKeySequence(QKeySequence::Quit).toString(QKeySequence::NativeText) << "Quit"
                          << "File";
    QTest::newRow("shortcuts") << "F1"
                               << "Keyboard Shortcuts"
                               << "Help";
    QTest::newRow("edit project") << "Return, Enter"
                                  << "Edit the selected project"
                                  << "Projects";
    QTest::newRow("delete project") << "Del"
                                    << "Delete the selected project"
                                    << "Projects";
    QTest::newRow("edit task") << "Return, Enter"
                               << "Edit the selected task"
                               << "Tasks of the selected project";
    QTest::newRow("delete task") << "Del"
                                 << "Delete the selected task"
                                 << "Tasks of the selected project";
    QTest::newRow("file menu") << "Alt+F"
                               << "Open the File menu"
                               << "Menu bar";
    QTest::newRow("help menu") << "Alt+H"
                               << "Open the Help menu"
                               << "Menu bar";
}

void TestHelp::mainWindowShortcuts() {
    QFETCH(QString, keys);
    QFETCH(QString, command);
    QFETCH(QString, where);
    if (keys.isEmpty())
        QSKIP("no such key on this platform");
    Form1 form;
    form.Form_Load();
    const std::vector<Shortcut> all = Help::shortcutsOf(&form);
    const Shortcut wanted{keys, command, where};
    QStringList listed;
    for (const Shortcut& s : all)
        listed << s.keys + "|" + s.command + "|" + s.where;
    QVERIFY2(std::find(all.begin(), all.end(), wanted) != all.end(), qPrintable(listed.join('\n')));
    // No row without keys or without a command.
    for (const Shortcut& s : all)
        QVERIFY2(!s.keys.isEmpty() && !s.command.isEmpty(), qPrintable(s.keys + "|" + s.command));
}

void TestHelp::shortcutsReadWhenOpened() {
    // Commands added by other parts of the program after the window was built are listed too.
    Form1 form;
    auto* action = new QAction(QStringLiteral("&Find..."), &form);
    action->setShortcut(QKeySequence(QStringLiteral("Ctrl+F")));
    form.menuEdit->addAction(action);
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+R")), form.ListView1);
    shortcut->setWhatsThis(QStringLiteral("Reload the lists"));
    auto* unnamed = new QShortcut(QKeySequence(QStringLiteral("Ctrl+U")), &form);
    Q_UNUSED(unnamed);

    Help::ShortcutsWindow window(&form);
    QStringList rows;
    for (int i = 0; i < window.list()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = window.list()->topLevelItem(i);
        rows << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
    }
    QVERIFY2(rows.contains("Ctrl+F|Find|Edit"), qPrintable(rows.join('\n')));
    QVERIFY2(rows.contains("Ctrl+R|Reload the lists|Projects"), qPrintable(rows.join('\n')));
    QVERIFY2(rows.contains("Ctrl+U|Shortcut in Main window|Main window"), qPrintable(rows.join('\n')));
    QCOMPARE(rows.size(), int(Help::shortcutsOf(&form).size()));
}

void TestHelp::menuOpensBothWindows_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("window");
    QTest::newRow("about") << "actionAbout"
                           << "AboutWindow";
    QTest::newRow("shortcuts") << "actionShortcuts"
                               << "ShortcutsWindow";
}

void TestHelp::menuOpensBothWindows() {
    QFETCH(QString, action);
    QFETCH(QString, window);
    Form1 form;
    form.Form_Load();
    QAction* command = form.findChild<QAction*>(action);
    QVERIFY(command);
    QVERIFY(form.menuHelp->actions().contains(command));
    QString opened;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) {
            opened = modal->objectName();
            modal->close();
        }
    });
    command->trigger();
    QCOMPARE(opened, window);
    QVERIFY(m_messages.errors().isEmpty());
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
