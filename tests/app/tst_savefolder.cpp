// Where the save dialogs start, and that the folder chosen in one is where the next one starts.
#include "app/SaveFolder.h"
#include "app/Settings.h"
#include "app/widgets/QtMessages.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

class TestSaveFolder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
    void startFolder_data();
    void startFolder();
    void dialogStartsThereAndRemembersTheChoice();
    void openDialogOnAFreshHome();
};

void TestSaveFolder::startFolder_data() {
    QTest::addColumn<bool>("documents");     // the user has a documents folder
    QTest::addColumn<QString>("remembered"); // "": none; "kept": a folder that exists; "gone": one deleted since
    QTest::addColumn<QString>("expected");   // home, documents or kept
    QTest::newRow("nothing: home") << false << ""
                                   << "home";
    QTest::newRow("documents") << true << ""
                               << "documents";
    QTest::newRow("last folder") << true << "kept"
                                 << "kept";
    QTest::newRow("last folder without documents") << false << "kept"
                                                   << "kept";
    QTest::newRow("last folder deleted") << true << "gone"
                                         << "documents";
    QTest::newRow("last folder deleted, no documents") << false << "gone"
                                                       << "home";
}

void TestSaveFolder::startFolder() {
    QFETCH(bool, documents);
    QFETCH(QString, remembered);
    QFETCH(QString, expected);
    TestEnvironment env;
    const QString home = env.root() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(home));
    qputenv("HOME", QFile::encodeName(home));
    if (documents)
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Documents")));
    const QString kept = env.root() + QStringLiteral("/exports");
    if (!remembered.isEmpty()) {
        QVERIFY(QDir().mkpath(kept));
        SaveFolder::remember(kept + QStringLiteral("/Projects.csv"));
        if (remembered == QLatin1String("gone"))
            QVERIFY(QDir(kept).removeRecursively());
    }
    const QString want = expected == QLatin1String("home")        ? home
                         : expected == QLatin1String("documents") ? home + QStringLiteral("/Documents")
                                                                  : kept;
    QCOMPARE(SaveFolder::start(), want);
    QCOMPARE(SaveFolder::suggestedPath(QStringLiteral("Timeline.pdf")), want + QStringLiteral("/Timeline.pdf"));
}

// The program's real save dialog: it opens in the documents folder with the suggested name; the
// folder a file is saved to is where the next dialog opens, in this run and the next.
void TestSaveFolder::dialogStartsThereAndRemembersTheChoice() {
    TestEnvironment env;
    const QString home = env.root() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(home + QStringLiteral("/Documents")));
    qputenv("HOME", QFile::encodeName(home));
    const QString other = env.root() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(other));

    QtMessages messages;
    QStringList opened;
    auto answer = [&](const QString& path) {
        QTimer::singleShot(0, [&opened, path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) {
                qWarning("no file dialog open");
                return;
            }
            opened << dialog->directory().absolutePath() + QLatin1Char('|') +
                          dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            if (path.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(path);
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
    };
    answer(other + QStringLiteral("/Projects.csv"));
    QCOMPARE(messages.saveFileName(QStringLiteral("Export"), QStringLiteral("Projects.csv"),
                                   QStringLiteral("CSV files (*.csv)")),
             other + QStringLiteral("/Projects.csv"));
    answer(QString());
    QCOMPARE(messages.saveFileName(QStringLiteral("Export Timeline"), QStringLiteral("Timeline.pdf"),
                                   QStringLiteral("PDF document (*.pdf)")),
             QString());
    QCOMPARE(opened, QStringList({home + QStringLiteral("/Documents|Projects.csv"), other + "|Timeline.pdf"}));
    // Kept in the program's settings section for the next run.
    QCOMPARE(Settings::read(QStringLiteral("LastSaveFolder"), QString()), other);
}

// On a fresh home, with no documents folder yet, the open dialog starts in the home folder with
// no file name filled in.
void TestSaveFolder::openDialogOnAFreshHome() {
    TestEnvironment env;
    const QString home = env.root() + QStringLiteral("/fresh");
    QVERIFY(QDir().mkpath(home));
    qputenv("HOME", QFile::encodeName(home));
    QtMessages messages;
    QString opened;
    QTimer::singleShot(0, [&opened] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            qWarning("no file dialog open");
            return;
        }
        opened = dialog->directory().absolutePath() + QLatin1Char('|') +
                 dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        dialog->reject();
    });
    QCOMPARE(messages.openFileNames(QStringLiteral("Import Plan"), QStringLiteral("Plans (*.xml)"), false),
             QStringList());
    QCOMPARE(opened, home + QLatin1Char('|'));
}

QTEST_MAIN(TestSaveFolder)
#include "tst_savefolder.moc"
