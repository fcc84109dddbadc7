// The program as a desktop citizen: where it finds its files once installed, a name for every
// control, readable windows after a switch to a dark palette, the designed proportions at 192 dpi.
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/widgets/AccessibleNames.h"
#include "app/widgets/Appearance.h"
#include "app/widgets/ScreenFit.h"
#include "editors/Form2.h"
#include "editors/Form3.h"
#include "editors/Form5.h"
#include "help/HelpWindows.h"
#include "main_window/Form1.h"
#include "reports/Form4.h"
#include "support/TestSupport.h"
#include "timeline/TimelineWindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <cmath>

namespace {

const char* const windowNames[] = {"Form1", "Form2", "Form3", "Form4", "Form5", "AboutWindow", "ShortcutsWindow"};

// A window of the program, loaded as its opener loads it, and shown.
std::unique_ptr<QWidget> showWindow(const QString& name) {
    const std::map<QString, std::function<QWidget*()>> makers{
        {"Form1",
         [] {
             auto* f = new Form1;
             f->Form_Load();
             return f;
         }},
        {"Form2", [] { return new Form2; }},
        {"Form3", [] { return new Form3; }},
        {"Form4", [] { return new Form4; }},
        {"Form5", [] { return new Form5; }},
        {"AboutWindow", [] { return new Help::AboutWindow; }},
        {"ShortcutsWindow", [] { return new Help::ShortcutsWindow(std::make_unique<Form1>().get()); }}};
    std::unique_ptr<QWidget> w(makers.at(name)());
    w->show();
    QCoreApplication::processEvents();
    return w;
}

void addWindowRows() {
    QTest::addColumn<QString>("window");
    for (const char* name : windowNames)
        QTest::newRow(name) << QString(name);
}

// The strongest contrast of any painted pixel against the background: the text as really drawn.
double drawnContrast(QWidget* w) {
    const QImage image = w->grab().toImage();
    const QColor background = w->palette().color(w->backgroundRole());
    double best = 1.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            best = std::max(best, contrastRatio(image.pixelColor(x, y), background));
    return best;
}

// Child-process mode: "dpi <n>", then "window/control x y width height" in device pixels,
// relative to the widget holding the control, for every named control of every window.
int dumpGeometry(int argc, char** argv) {
    QApplication app(argc, argv);
    TestEnvironment env;
    ScriptedMessages messages;
    Messages::install(&messages);
    env.openDatabase();
    QTextStream out(stdout);
    for (const char* name : windowNames) {
        std::unique_ptr<QWidget> window = showWindow(name);
        const qreal ratio = window->devicePixelRatioF();
        out << "dpi " << qRound(window->logicalDpiX() * ratio) << '\n';
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        for (QWidget* w : widgets << window.get()) {
            if (!w->isVisible() || w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
                continue;
            const QPoint at = w->isWindow() ? QPoint() : w->pos();
            out << name << '/' << w->objectName() << ' ' << qRound(at.x() * ratio) << ' ' << qRound(at.y() * ratio)
                << ' ' << qRound(w->width() * ratio) << ' ' << qRound(w->height() * ratio) << '\n';
        }
    }
    Messages::install(nullptr);
    return 0;
}

// Child-process mode: the main window and the timeline as they open, in device pixels:
// "screen w h", "<window> frame-w frame-h", "buttons w h" (the last button's size) and
// "reached 0|1" (whether the last button can be scrolled into the window).
int dumpScreenFit(int argc, char** argv) {
    QApplication app(argc, argv);
    TestEnvironment env;
    ScriptedMessages messages;
    Messages::install(&messages);
    env.openDatabase();
    QTextStream out(stdout);
    Form1 form;
    form.Form_Load();
    form.show();
    form.findChild<QAction*>("actionTimeline")->trigger();
    auto* timeline = form.findChild<Timeline::TimelineWindow*>("TimelineWindow");
    timeline->show();
    // The windows are fitted again once shown (the sizes printed below show whether they were).
    (void)QTest::qWaitFor([&] {
        const auto fits = [](const QWidget* w) {
            const QSize room = ScreenFit::room(w);
            return w->width() <= room.width() && w->height() <= room.height();
        };
        return fits(&form) && fits(timeline);
    });
    const qreal ratio = form.devicePixelRatioF();
    auto device = [ratio](const QSize& s) {
        return QString("%1 %2").arg(qRound(s.width() * ratio)).arg(qRound(s.height() * ratio));
    };
    out << "screen " << device(form.screen()->availableGeometry().size()) << '\n';
    out << "Form1 " << device(form.frameGeometry().size()) << '\n';
    out << "Timeline " << device(timeline->frameGeometry().size()) << '\n';
    out << "buttons " << device(form.PushButton8->size()) << '\n';
    if (auto* scroll = form.findChild<QScrollArea*>("ClientScroll"))
        scroll->ensureWidgetVisible(form.PushButton8, 0, 0);
    const QRect shown(form.PushButton8->mapTo(&form, QPoint()), form.PushButton8->size());
    out << "reached " << int(form.rect().contains(shown)) << '\n';
    delete timeline;
    Messages::install(nullptr);
    return 0;
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestEnvironment>();
        Messages::install(&m_messages);
        m_env->openDatabase();
    }
    void cleanup() {
        QApplication::setPalette(QPalette());
        Messages::install(nullptr);
        Database::shared().close();
        m_env.reset();
        QVERIFY2(m_messages.errors().isEmpty(), qPrintable(m_messages.errors().join('\n')));
        m_messages.clear();
    }
    void filesFound_data();
    void filesFound();
    void everyControlNamed_data() { addWindowRows(); }
    void everyControlNamed();
    void readableInDarkPalette_data() { addWindowRows(); }
    void readableInDarkPalette();
    void iconAtEverySize();
    void proportionsAt192Dpi_data();
    void proportionsAt192Dpi();
    void windowsFitTheScreen_data();
    void windowsFitTheScreen();
    void fittedAgainWhenShown();
    void everyOptionWorksWithoutADisplay_data();
    void everyOptionWorksWithoutADisplay();

private:
    std::unique_ptr<TestEnvironment> m_env;
    ScriptedMessages m_messages;
};

void TestDesktop::filesFound_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("placedIn"); // of bin (beside the program), config, share
    QTest::addColumn<QString>("foundIn");
    QTest::newRow("skin beside the program") << "x/o.cjs" << QStringList{"bin", "config", "share"} << "bin";
    QTest::newRow("skin of the user") << "x/o.cjs" << QStringList{"config", "share"} << "config";
    QTest::newRow("skin installed") << "x/o.cjs" << QStringList{"share"} << "share";
    QTest::newRow("skin nowhere") << "x/o.cjs" << QStringList{} << "bin";
    QTest::newRow("cursor of the user") << "HAND-M.CUR" << QStringList{"config"} << "config";
    QTest::newRow("template installed") << "dbBlank.mdb" << QStringList{"share"} << "share";
    QTest::newRow("repair not of the user") << "ADOFix64.msu" << QStringList{"config"} << "bin";
    QTest::newRow("repair installed") << "ADOFix64.msu" << QStringList{"config", "share"} << "share";
}

void TestDesktop::filesFound() {
    QFETCH(QString, file);
    QFETCH(QStringList, placedIn);
    QFETCH(QString, foundIn);
    const QString prefix = m_env->root() + "/usr";
    const QMap<QString, QString> folders{{"bin", prefix + "/bin"},
                                         {"config", m_env->configHome() + "/Tarnwick/Fennick Planner"},
                                         {"share", prefix + "/share/fennick-planner"}};
    DataStore::setProgramFolderForTesting(folders["bin"]);
    for (const QString& place : placedIn) {
        QFile f(folders[place] + "/" + file);
        QVERIFY(QDir().mkpath(QFileInfo(f).absolutePath()) && f.open(QIODevice::WriteOnly));
    }
    const QString found = file == "x/o.cjs"       ? Appearance::skinFile()
                          : file == "HAND-M.CUR"  ? Appearance::handCursorFile()
                          : file == "dbBlank.mdb" ? DataStore::templateDatabase()
                                                  : DataStore::programFile(file);
    DataStore::setProgramFolderForTesting(m_env->programFolder());
    QCOMPARE(found, folders[foundIn] + "/" + file);
}

void TestDesktop::everyControlNamed() {
    QFETCH(QString, window);
    std::unique_ptr<QWidget> w = showWindow(window);
    QStringList unnamed;
    for (QWidget* c : w->findChildren<QWidget*>()) {
        const QString name = AccessibleNames::spokenName(c);
        if (c->isVisible() && AccessibleNames::isFocusableControl(c) &&
            std::none_of(name.begin(), name.end(), [](QChar ch) { return ch.isLetter(); }))
            unnamed << c->objectName() + " \"" + name + "\"";
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    if (window == "Form2") { // a symbol button is read with the field it serves
        QCOMPARE(AccessibleNames::spokenName(w->findChild<QWidget*>("PushButton9")), "Edit Owner");
        QCOMPARE(AccessibleNames::spokenName(w->findChild<QWidget*>("PushButton8")), "Delete Status");
    }
}

void TestDesktop::readableInDarkPalette() {
    QFETCH(QString, window);
    // Loaded in the light palette; the system switches to dark while the window is open.
    std::unique_ptr<QWidget> w = showWindow(window);
    QPalette dark(QColor(0x3a, 0x3a, 0x3a), QColor(0x2d, 0x2d, 0x2d));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(role, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    dark.setColor(QPalette::Link, QColor(0x8a, 0xb8, 0xff));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();
    if (const QString folder = qEnvironmentVariable("FENNICK_SHOT_DIR"); !folder.isEmpty())
        w->grab().save(folder + "/dark-" + window + ".png");

    QStringList unreadable;
    QList<QWidget*> widgets = w->findChildren<QWidget*>();
    for (QWidget* c : widgets << w.get()) {
        if (!c->isVisible() || !c->isEnabled())
            continue;
        const QPalette& p = c->palette();
        if (contrastRatio(p.color(c->foregroundRole()), p.color(c->backgroundRole())) < 4.5 ||
            (qobject_cast<QAbstractItemView*>(c) &&
             contrastRatio(p.color(QPalette::Text), p.color(QPalette::AlternateBase)) < 4.5))
            unreadable << c->objectName();
        if (auto* label = qobject_cast<QLabel*>(c); label && !label->text().isEmpty() && drawnContrast(label) < 4.5)
            unreadable << c->objectName() + " (as drawn)";
    }
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(", ")));
}

void TestDesktop::iconAtEverySize() {
    // The window icon is the desktop entry's, drawn for every size rather than scaled.
    std::unique_ptr<QWidget> w = showWindow("Form1");
    for (int size : Appearance::programIconSizes())
        QVERIFY2(w->windowIcon().availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
}

void TestDesktop::proportionsAt192Dpi_data() {
    QTest::addColumn<int>("screenDpi");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QString>("compared"); // the controls compared; empty: all
    QTest::newRow("scaled twice") << 96 << QStringList{"QT_SCALE_FACTOR=2"} << "";
    QTest::newRow("192 dpi screen") << 192 << QStringList{} << "";
    // Without Qt's scaling only the twips conversion makes the windows placed in twips grow; the
    // style's own pixel sizes (menu bar, laid-out editors) do not double there.
    QTest::newRow("192 dpi, unscaled twips") << 96 << QStringList{"QT_FONT_DPI=192", "QT_ENABLE_HIGHDPI_SCALING=0"}
                                             << "^(Form1/(ListView|PushButton)|Form4/)";
}

void TestDesktop::proportionsAt192Dpi() {
    QFETCH(int, screenDpi);
    QFETCH(QStringList, environment);
    QFETCH(QString, compared);
    auto run = [this](int dpi, const QStringList& settings) {
        // A screen large enough for every window at both sizes: a small one would squeeze them.
        QFile screen(m_env->root() + QStringLiteral("/screen-%1.json").arg(dpi));
        if (screen.open(QIODevice::WriteOnly))
            screen.write(QStringLiteral(R"({"screens":[{"name":"s","width":5120,"height":3200,"logicalDpi":%1,)"
                                        R"("logicalBaseDpi":96,"dpr":1}]})")
                             .arg(dpi)
                             .toUtf8());
        screen.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("FENNICK_GEOMETRY_DUMP", "1");
        env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + screen.fileName());
        for (const QString& s : settings)
            env.insert(s.section('=', 0, 0), s.section('=', 1));
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        child.waitForFinished(-1);
        QMap<QString, QList<int>> geometry; // "dpi" too
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            for (int i = 1; i < f.size(); ++i)
                geometry[f[0]] << f[i].toInt();
        }
        return geometry;
    };
    const QMap<QString, QList<int>> at1x = run(96, {}), at2x = run(screenDpi, environment);
    QCOMPARE(at1x.value("dpi").value(0), 96);
    QCOMPARE(at2x.value("dpi").value(0), 192);
    QCOMPARE(at2x.keys(), at1x.keys());
    // Every control keeps its place and size in its window: twice the pixels, give or take what
    // text rendering rounds at another size.
    QStringList moved;
    int checked = 0;
    for (auto it = at1x.constBegin(); it != at1x.constEnd(); ++it) {
        if (it.key() == "dpi" || !it.key().contains(QRegularExpression(compared)))
            continue;
        ++checked;
        for (int i = 0; i < 4; ++i)
            if (std::abs(at2x[it.key()].value(i) - 2 * it.value().value(i)) > std::max(4, it.value().value(i) / 10))
                moved << it.key();
    }
    QVERIFY2(moved.isEmpty(), qPrintable(moved.join(", ")));
    QVERIFY(checked >= 14);
}

void TestDesktop::windowsFitTheScreen_data() {
    QTest::addColumn<QString>("scale");
    QTest::addColumn<QSize>("screen"); // device pixels
    QTest::newRow("2x on 1600x1200") << "2" << QSize(1600, 1200);
    QTest::newRow("1x on 1024x600") << "1" << QSize(1024, 600);
    QTest::newRow("1.25x on 1280x800") << "1.25" << QSize(1280, 800);
    QTest::newRow("1x on 1920x1080") << "1" << QSize(1920, 1080);
}

void TestDesktop::windowsFitTheScreen() {
    QFETCH(QString, scale);
    QFETCH(QSize, screen);
    QFile config(m_env->root() + "/screen.json");
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(
        QString(R"({"screens":[{"name":"s","width":%1,"height":%2,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
            .arg(screen.width())
            .arg(screen.height())
            .toUtf8());
    config.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("FENNICK_SCREEN_FIT", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName());
    env.insert("QT_SCALE_FACTOR", scale);
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(-1));
    QMap<QString, QSize> sizes;
    int reached = -1;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3)
            sizes[f[0]] = QSize(f[1].toInt(), f[2].toInt());
        else if (f.size() == 2 && f[0] == "reached")
            reached = f[1].toInt();
    }
    QCOMPARE(sizes.value("screen"), screen);
    for (const char* window : {"Form1", "Timeline"}) {
        const QSize size = sizes.value(window);
        QVERIFY2(size.isValid() && size.width() <= screen.width() && size.height() <= screen.height(),
                 qPrintable(QString("%1 %2x%3").arg(window).arg(size.width()).arg(size.height())));
    }
    // The controls keep their designed size (Twips: 3840 x 405), and the last of them can be
    // brought into the window.
    const double factor = scale.toDouble();
    QVERIFY(std::abs(sizes.value("buttons").width() - 3840 / 15.0 * factor) <= 2 * factor);
    QVERIFY(std::abs(sizes.value("buttons").height() - 405 / 15.0 * factor) <= 2 * factor);
    QCOMPARE(reached, 1);
}

// A window fitted before it is shown, as the main window and the timeline are, is fitted once
// more when shown, whatever children it had already: a size restored in between comes back
// onto the screen.
void TestDesktop::fittedAgainWhenShown() {
    QWidget window;
    new QLabel(&window);
    const QSize tooLarge = ScreenFit::room(&window) + QSize(400, 400);
    window.resize(tooLarge);
    QVERIFY(ScreenFit::fit(&window));
    window.resize(tooLarge);
    window.show();
    QTRY_VERIFY2(window.width() <= ScreenFit::room(&window).width() &&
                     window.height() <= ScreenFit::room(&window).height(),
                 qPrintable(QStringLiteral("%1x%2").arg(window.width()).arg(window.height())));
}

void TestDesktop::everyOptionWorksWithoutADisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("printed"); // on standard output, or on standard error for a failure
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "--help-all";
    QTest::newRow("--help-all") << QStringList{"--help-all"} << 0 << "-platform <name[:options]>";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "Fennick Planner ";
    QTest::newRow("-platform before --help") << QStringList{"-platform", "xcb", "--help"} << 0 << "--database <uri>";
    QTest::newRow("-style after --version") << QStringList{"--version", "-style", "Fusion"} << 0 << "Fennick Planner ";
    QTest::newRow("--style=") << QStringList{"--style=Fusion", "-reverse", "--version"} << 0 << "Fennick Planner ";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'";
    QTest::newRow("stray argument") << QStringList{"file.txt"} << 2 << "Unexpected argument: file.txt";
    QTest::newRow("--create-schema alone") << QStringList{"--create-schema"} << 2 << "needs a team database";
    QTest::newRow("--copy-to-team alone") << QStringList{"--copy-to-team"} << 2 << "needs a team database";
    QTest::newRow("--copy-to-local alone") << QStringList{"--copy-to-local", "x.mdb"} << 2 << "needs a team database";
    // --sync is the program's calendar sync (X's synchronous mode stays -sync); without an account
    // it has nothing to sync with.
    QTest::newRow("--sync alone") << QStringList{"--sync"} << 2 << "no calendar account is set up";
    QTest::newRow("--sync, --calendar not a URL")
        << QStringList{"--sync", "--calendar", "tasks"} << 2 << "needs the http";
    QTest::newRow("the window") << QStringList{} << 1 << "no display to open the window on";
    QTest::newRow("the window, --database") << QStringList{"--database", "service=x"} << 1 << "no display";
    // Qt takes its options, and the window opens where -platform says.
    QTest::newRow("-platform offscreen -style Fusion")
        << QStringList{"-platform", "offscreen", "-style", "Fusion"} << 0 << "painted ";
}

void TestDesktop::everyOptionWorksWithoutADisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, printed);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "FENNICK_DATABASE"})
        env.remove(variable);
    env.insert("XDG_DATA_HOME", m_env->dataHome());
    env.insert("XDG_CONFIG_HOME", m_env->configHome());
    env.insert("FENNICK_STARTUP_PROBE", "1"); // the window, once painted, closes
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(FENNICK_PLANNER), arguments);
    QVERIFY(program.waitForFinished(120000));
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == exitCode, qPrintable(QString::number(program.exitCode()) + ": " + out + err));
    QVERIFY2((exitCode == 0 ? out : err).contains(printed), qPrintable(out + err));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("FENNICK_SCREEN_FIT"))
        return dumpScreenFit(argc, argv);
    if (qEnvironmentVariableIsSet("FENNICK_GEOMETRY_DUMP"))
        return dumpGeometry(argc, argv);
    QApplication app(argc, argv);
    TestDesktop test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
