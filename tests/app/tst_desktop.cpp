// The program as a desktop citizen: where it finds its shipped and optional files, a name for
// every control, readable windows in a dark palette, and the designed proportions at 192 DPI.
#include "app/DataStore.h"
#include "app/Database.h"
#include "app/widgets/AccessibleNames.h"
#include "app/widgets/Appearance.h"
#include "editors/Form2.h"
#include "editors/Form3.h"
#include "editors/Form5.h"
#include "help/HelpWindows.h"
#include "main_window/Form1.h"
#include "reports/Form4.h"
#include "support/TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

namespace {

// Every window of the program, loaded as its opener loads it.
struct WindowMaker {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
};

const std::vector<WindowMaker>& windowMakers() {
    static const std::vector<WindowMaker> makers = {
        {"Form1",
         [] {
             auto form = std::make_unique<Form1>();
             form->Form_Load();
             return std::unique_ptr<QWidget>(std::move(form));
         }},
        {"Form2", [] { return std::unique_ptr<QWidget>(std::make_unique<Form2>()); }},
        {"Form3", [] { return std::unique_ptr<QWidget>(std::make_unique<Form3>()); }},
        {"Form4", [] { return std::unique_ptr<QWidget>(std::make_unique<Form4>()); }},
        {"Form5",
         [] {
             auto form = std::make_unique<Form5>();
             form->m_ProjectID = QStringLiteral("1");
             return std::unique_ptr<QWidget>(std::move(form));
         }},
        {"AboutWindow", [] { return std::unique_ptr<QWidget>(std::make_unique<Help::AboutWindow>()); }},
        {"ShortcutsWindow",
         [] {
             Form1 main;
             return std::unique_ptr<QWidget>(std::make_unique<Help::ShortcutsWindow>(&main));
         }},
    };
    return makers;
}

std::unique_ptr<QWidget> showWindow(const QString& name) {
    for (const WindowMaker& m : windowMakers()) {
        if (name == QLatin1String(m.name)) {
            std::unique_ptr<QWidget> window = m.make();
            window->show();
            QCoreApplication::processEvents();
            return window;
        }
    }
    return nullptr;
}

void addWindowRows() {
    QTest::addColumn<QString>("window");
    for (const WindowMaker& m : windowMakers())
        QTest::newRow(m.name) << QString::fromLatin1(m.name);
}

QPalette darkPalette() {
    QPalette p;
    const QColor text(0xe6, 0xe6, 0xe6);
    p.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x55, 0x55, 0x55));
    p.setColor(QPalette::Midlight, QColor(0x48, 0x48, 0x48));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    p.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0x6f, 0xb4));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x8a, 0xb8, 0xff));
    p.setColor(QPalette::LinkVisited, QColor(0xc0, 0x9a, 0xff));
    p.setColor(QPalette::ToolTipBase, QColor(0x40, 0x40, 0x40));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    return p;
}

// Contrast ratio of two colours as the web accessibility guidelines define it (1 to 21).
double contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The strongest contrast between any drawn pixel of the widget and its background: the colour
// of its text as it is really painted (a link or rich text may not take the palette's text role).
double drawnContrast(QWidget* w) {
    const QImage image = w->grab().toImage();
    const QColor background = w->palette().color(w->backgroundRole());
    double best = 1.0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            best = std::max(best, contrast(image.pixelColor(x, y), background));
    return best;
}

// The control's geometry in device pixels, relative to the widget that holds it.
QRect devicePixels(QWidget* w) {
    const qreal ratio = w->devicePixelRatioF();
    const QPoint at = w->isWindow() ? QPoint(0, 0) : w->pos();
    return QRect(qRound(at.x() * ratio), qRound(at.y() * ratio), qRound(w->width() * ratio),
                 qRound(w->height() * ratio));
}

const char* const geometryMode = "FENNICK_GEOMETRY_DUMP";

// Child-process mode: prints "window control x y width height" in device pixels for every
// window, and the screen's resolution as "dpi <dots per inch>".
int dumpGeometry(int argc, char** argv) {
    QApplication app(argc, argv);
    TestEnvironment env;
    ScriptedMessages messages;
    Messages::install(&messages);
    env.openDatabase();
    QTextStream out(stdout);
    {
        QWidget probe;
        probe.show();
        out << "dpi " << qRound(probe.logicalDpiX() * probe.devicePixelRatioF()) << '\n';
    }
    for (const WindowMaker& m : windowMakers()) {
        std::unique_ptr<QWidget> window = showWindow(QString::fromLatin1(m.name));
        QList<QWidget*> widgets{window.get()};
        widgets += window->findChildren<QWidget*>();
        for (QWidget* w : widgets) {
            if (!w->isVisible() || w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            const QRect r = devicePixels(w);
            out << m.name << ' ' << w->objectName() << ' ' << r.x() << ' ' << r.y() << ' ' << r.width() << ' '
                << r.height() << '\n';
        }
    }
    Messages::install(nullptr);
    Database::shared().close();
    return 0;
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestEnvironment>();
        Messages::install(&m_messages);
        m_messages.clear();
        m_env->openDatabase();
    }
    void cleanup() {
        QApplication::setPalette(QPalette());
        Messages::install(nullptr);
        Database::shared().close();
        m_env.reset();
    }

    void filesFound_data();
    void filesFound();
    void installedProgramFindsTemplate();
    void everyControlNamed_data() { addWindowRows(); }
    void everyControlNamed();
    void symbolButtonsSpelledOut();
    void readableInDarkPalette_data() { addWindowRows(); }
    void readableInDarkPalette();
    void iconAtEverySize();
    void proportionsAt192Dpi_data();
    void proportionsAt192Dpi();

private:
    std::unique_ptr<TestEnvironment> m_env;
    ScriptedMessages m_messages;
};

void TestDesktop::filesFound_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("placedIn"); // program, config, share
    QTest::addColumn<QString>("foundIn");
    const QString skin = "x/o.cjs";
    const QString cursor = "HAND-M.CUR";
    const QString package = "ADOFix64.msu";
    QTest::newRow("skin beside the program wins") << skin << QStringList{"program", "config", "share"} << "program";
    QTest::newRow("skin from the user's folder") << skin << QStringList{"config", "share"} << "config";
    QTest::newRow("skin installed") << skin << QStringList{"share"} << "share";
    QTest::newRow("skin nowhere") << skin << QStringList{} << "program";
    QTest::newRow("cursor from the user's folder") << cursor << QStringList{"config"} << "config";
    QTest::newRow("cursor installed") << cursor << QStringList{"share"} << "share";
    QTest::newRow("template installed") << "dbBlank.mdb" << QStringList{"share"} << "share";
    QTest::newRow("repair package not from the user's folder") << package << QStringList{"config"} << "program";
    QTest::newRow("repair package installed") << package << QStringList{"config", "share"} << "share";
}

void TestDesktop::filesFound() {
    QFETCH(QString, file);
    QFETCH(QStringList, placedIn);
    QFETCH(QString, foundIn);
    // An installed layout: <root>/bin holds the program, <root>/share/fennick-planner its files.
    const QString root = m_env->root() + "/prefix";
    const QMap<QString, QString> folders{{"program", root + "/bin"},
                                         {"config", m_env->configHome() + "/Tarnwick/Fennick Planner"},
                                         {"share", root + "/share/fennick-planner"}};
    DataStore::setProgramFolderForTesting(folders["program"]);
    for (const QString& place : placedIn) {
        const QString path = folders[place] + "/" + file;
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QString expected = folders[foundIn] + "/" + file;
    QString found;
    if (file == "x/o.cjs")
        found = Appearance::skinFile();
    else if (file == "HAND-M.CUR")
        found = Appearance::handCursorFile();
    else if (file == "dbBlank.mdb")
        found = DataStore::templateDatabase();
    else
        found = DataStore::programFile(file);
    QCOMPARE(found, expected);
    DataStore::setProgramFolderForTesting(m_env->programFolder());
}

void TestDesktop::installedProgramFindsTemplate() {
    // A first start of an installed program: no template beside it, the one in share is copied.
    Database::shared().close();
    QVERIFY(QDir(m_env->dataHome()).removeRecursively());
    const QString root = m_env->root() + "/usr";
    QVERIFY(QDir().mkpath(root + "/bin"));
    QVERIFY(QDir().mkpath(root + "/share/fennick-planner"));
    QVERIFY(QFile::copy(templatePath(), root + "/share/fennick-planner/dbBlank.mdb"));
    DataStore::setProgramFolderForTesting(root + "/bin");
    Form1 form;
    form.Form_Load();
    QVERIFY2(m_messages.errors().isEmpty(), qPrintable(m_messages.errors().join('\n')));
    QVERIFY(Database::shared().isOpen());
    QCOMPARE(Database::shared().path(), DataStore::workingDatabase());
    form.Form_QueryUnload();
    DataStore::setProgramFolderForTesting(m_env->programFolder());
}

void TestDesktop::everyControlNamed() {
    QFETCH(QString, window);
    std::unique_ptr<QWidget> w = showWindow(window);
    QVERIFY(w);
    QStringList unnamed;
    int controls = 0;
    const auto children = w->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (!child->isVisible() || !AccessibleNames::isFocusableControl(child))
            continue;
        ++controls;
        const QString name = AccessibleNames::spokenName(child);
        bool wordy = false;
        for (const QChar c : name)
            wordy = wordy || c.isLetter();
        if (!wordy)
            unnamed
                << QStringLiteral("%1 (%2) \"%3\"").arg(child->objectName(), child->metaObject()->className(), name);
    }
    QVERIFY(controls > 0);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
}

void TestDesktop::symbolButtonsSpelledOut() {
    // The small "+", "*" and "-" buttons are read with the field they serve.
    std::unique_ptr<QWidget> w = showWindow(QStringLiteral("Form2"));
    const std::pair<const char*, const char*> expected[] = {
        {"Text1", "Name"},
        {"Combo1", "Owner"},
        {"PushButton5", "Add Owner"},
        {"PushButton9", "Edit Owner"},
        {"PushButton6", "Delete Owner"},
        {"PushButton12", "Delete Category"},
        {"PushButton7", "Add Status"},
        {"DateTimePicker2", "End Date"},
    };
    for (const auto& [control, name] : expected) {
        QWidget* c = w->findChild<QWidget*>(QLatin1String(control));
        QVERIFY2(c, control);
        QCOMPARE(AccessibleNames::spokenName(c), QLatin1String(name));
    }
    std::unique_ptr<QWidget> reports = showWindow(QStringLiteral("Form4"));
    QCOMPARE(AccessibleNames::spokenName(reports->findChild<QWidget*>(QStringLiteral("Combo1"))),
             QStringLiteral("Report Type"));
}

void TestDesktop::readableInDarkPalette() {
    QFETCH(QString, window);
    // The window is loaded in the light palette, then the system switches to dark while it is open.
    std::unique_ptr<QWidget> w = showWindow(window);
    QApplication::setPalette(darkPalette());
    QCoreApplication::processEvents();
    if (const QByteArray folder = qgetenv("FENNICK_SHOT_DIR"); !folder.isEmpty())
        w->grab().save(QString::fromLocal8Bit(folder) + "/dark-" + window + ".png");

    QStringList unreadable;
    QList<QWidget*> widgets{w.get()};
    widgets += w->findChildren<QWidget*>();
    for (QWidget* c : widgets) {
        if (!c->isVisible())
            continue;
        const QPalette& p = c->palette();
        const QPalette::ColorGroup group = c->isEnabled() ? QPalette::Active : QPalette::Disabled;
        const double minimum = c->isEnabled() ? 4.5 : 2.0;
        const double ratio = contrast(p.color(group, c->foregroundRole()), p.color(group, c->backgroundRole()));
        if (ratio < minimum)
            unreadable << QStringLiteral("%1 %2 (%3)").arg(c->objectName(), c->metaObject()->className()).arg(ratio);
        if (qobject_cast<QAbstractItemView*>(c)) {
            for (QPalette::ColorRole base : {QPalette::Base, QPalette::AlternateBase})
                if (contrast(p.color(group, QPalette::Text), p.color(group, base)) < minimum)
                    unreadable << c->objectName() + " rows";
        }
        if (auto* label = qobject_cast<QLabel*>(c); label && !label->text().isEmpty()) {
            if (const double drawn = drawnContrast(label); drawn < 4.5)
                unreadable << QStringLiteral("%1 \"%2\" drawn (%3)").arg(c->objectName(), label->text()).arg(drawn);
        }
    }
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QStringLiteral(", "))));
}

void TestDesktop::iconAtEverySize() {
    // The window icon is the desktop entry's icon, drawn for each size rather than scaled.
    const QIcon icon = Appearance::programIcon();
    for (int size : Appearance::programIconSizes()) {
        QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
        const QImage image = icon.pixmap(size, size).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY(image.hasAlphaChannel());
    }
    std::unique_ptr<QWidget> w = showWindow(QStringLiteral("Form1"));
    QCOMPARE(w->windowIcon().availableSizes(), icon.availableSizes());
}

void TestDesktop::proportionsAt192Dpi_data() {
    QTest::addColumn<int>("screenDpi");
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("compared"); // controls compared (window/control prefixes); empty: all
    QTest::newRow("scaled twice") << 96 << QStringList{"QT_SCALE_FACTOR=2"} << QStringList{};
    QTest::newRow("192 dpi screen") << 192 << QStringList{} << QStringList{};
    // Without Qt's scaling the windows placed in twips grow through the twips conversion alone;
    // the style's own pixel sizes (menu bar, laid-out editors) do not double there.
    QTest::newRow("192 dpi, no scaling: twips at 192 dpi")
        << 96 << QStringList{"QT_FONT_DPI=192", "QT_ENABLE_HIGHDPI_SCALING=0"}
        << QStringList{"Form1/ListView", "Form1/PushButton", "Form4/"};
}

void TestDesktop::proportionsAt192Dpi() {
    QFETCH(int, screenDpi);
    QFETCH(QStringList, environment);
    QFETCH(QStringList, compared);
    // A screen large enough for every window at both sizes: a small one would squeeze them.
    auto screen = [this](int dpi) {
        const QString path = m_env->root() + QStringLiteral("/screen-%1.json").arg(dpi);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(QStringLiteral(R"({"screens":[{"name":"s","x":0,"y":0,"width":5120,"height":3200,)"
                                  R"("logicalDpi":%1,"logicalBaseDpi":96,"dpr":1}]})")
                       .arg(dpi)
                       .toUtf8());
        return QStringLiteral("offscreen:configfile=") + path;
    };
    auto run = [](const QString& platform, const QStringList& settings) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"QT_SCALE_FACTOR", "QT_FONT_DPI", "QT_ENABLE_HIGHDPI_SCALING", "QT_SCREEN_SCALE_FACTORS"})
            env.remove(QLatin1String(name));
        env.insert(QLatin1String(geometryMode), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        for (const QString& s : settings)
            env.insert(s.section('=', 0, 0), s.section('=', 1));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        child.waitForFinished(-1);
        QMap<QString, QRect> geometry;
        int dpi = 0;
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 2 && f[0] == "dpi")
                dpi = f[1].toInt();
            else if (f.size() == 6)
                geometry.insert(f[0] + '/' + f[1], QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt()));
        }
        return std::make_pair(dpi, geometry);
    };
    const auto [dpi1, at1x] = run(screen(96), {});
    const auto [dpi2, at2x] = run(screen(screenDpi), environment);
    QCOMPARE(dpi1, 96);
    QCOMPARE(dpi2, 192);
    QVERIFY(at1x.size() > 50);
    QCOMPARE(at2x.keys(), at1x.keys());
    auto isCompared = [&compared](const QString& key) {
        return compared.isEmpty() ||
               std::any_of(compared.begin(), compared.end(), [&key](const QString& p) { return key.startsWith(p); });
    };
    // Every control keeps its place and size relative to its window: twice the pixels, give or
    // take what text rendering rounds at another size.
    QStringList moved;
    int checked = 0;
    for (auto it = at1x.constBegin(); it != at1x.constEnd(); ++it) {
        if (!isCompared(it.key()))
            continue;
        ++checked;
        const QRect a = it.value();
        const QRect b = at2x.value(it.key());
        const QList<int> want{a.x() * 2, a.y() * 2, a.width() * 2, a.height() * 2};
        const QList<int> got{b.x(), b.y(), b.width(), b.height()};
        for (int i = 0; i < 4; ++i) {
            if (std::abs(got[i] - want[i]) > std::max(4, want[i] / 20)) {
                moved << QStringLiteral("%1: %2,%3 %4x%5 at 2x, %6,%7 %8x%9 at 1x")
                             .arg(it.key())
                             .arg(b.x())
                             .arg(b.y())
                             .arg(b.width())
                             .arg(b.height())
                             .arg(a.x())
                             .arg(a.y())
                             .arg(a.width())
                             .arg(a.height());
                break;
            }
        }
    }
    QVERIFY2(moved.isEmpty(), qPrintable(moved.join('\n')));
    QVERIFY(checked >= 14);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(geometryMode))
        return dumpGeometry(argc, argv);
    QApplication app(argc, argv);
    TestDesktop test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
