// Help menu: the About window's facts and folder links, and the shortcuts read from the main
// window when the list opens.
#include "app/DataStore.h"
#include "app/Database.h"
#include "help/HelpWindows.h"
#include "main_window/Form1.h"
#include "support/TestSupport.h"

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
    QStringList expected{"F1|Keyboard Shortcuts|Help",
                         "Return, Enter|Edit the selected project|Projects",
                         "Del|Delete the selected project|Projects",
                         "Return, Enter|Edit the selected task|Tasks of the selected project",
                         "Del|Delete the selected task|Tasks of the selected project",
                         "Alt+F|Open the File menu|Menu bar",
                         "Alt+H|Open the Help menu|Menu bar",
                         "Ctrl+F|Find|Edit",
                         "Ctrl+R|Reload the lists|Projects",
                         "Ctrl+U|Shortcut in Main window|Main window",
                         "Ctrl+P|Print|Timeline \u2192 File"};
    if (!quit.isEmpty()) // the platform's own key; some have none
        expected << quit + "|Quit|File";
    for (const QString& row : expected)
        QVERIFY2(rows.contains(row), qPrintable(row + " not in\n" + rows.join('\n')));
    QVERIFY(!rows.contains("Ctrl+P|Print|File"));
    QVERIFY(form.menuHelp->actions().contains(form.findChild<QAction*>("actionAbout")));
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
