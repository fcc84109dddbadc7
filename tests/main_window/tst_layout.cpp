// The main window's layout: the arithmetic of the passes, and a real window that is opened,
// dragged, maximised, restored and minimised.
#include "app/Settings.h"
#include "app/Twips.h"
#include "main_window/Form1.h"
#include "main_window/MainLayout.h"
#include "support/TestSupport.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeView>
#include <QtTest>

using namespace MainLayout;

namespace {

// The controls of a window as they stand, in pixels of the client area.
QList<QRect> controlRects(const Form1& form) {
    QList<QRect> rects;
    for (const Member& m : members)
        rects << form.findChild<QWidget*>(QLatin1String(m.name))->geometry();
    return rects;
}

// A placement converted to pixels as the window places it.
QList<QRect> pixelRects(const Placement& p, double dpi) {
    QList<QRect> rects;
    for (const Member& m : members) {
        const Box& b = p.*m.box;
        rects << QRect(Twips::toPixels(b.left, dpi), Twips::toPixels(b.top, dpi), Twips::toPixels(b.width, dpi),
                       Twips::toPixels(b.height, dpi));
    }
    return rects;
}

bool isCentred(const QWidget& w) {
    const QRect screen = w.screen()->geometry();
    const QRect frame = w.frameGeometry();
    return qAbs(frame.left() - screen.left() - (screen.width() - frame.width()) / 2) <= 1 &&
           qAbs(frame.top() - screen.top() - (screen.height() - frame.height()) / 2) <= 1;
}

// Every gap between neighbouring controls is 120; both lists have one size.
void verifyChain(const Placement& p) {
    QCOMPARE(QPointF(p.listView1.left, p.listView1.top), QPointF(120, 120));
    QCOMPARE(p.listView2.left, 120.0f);
    QCOMPARE(p.listView2.width, p.listView1.width);
    QCOMPARE(p.listView2.height, p.listView1.height);
    // Down the left: each control 120 below the one above it; the buttons there in one column.
    const Box column[] = {p.listView1, p.pushButton2, p.pushButton3, p.listView2, p.pushButton4, p.pushButton7};
    for (int i = 1; i < 6; ++i)
        QCOMPARE(column[i].top, column[i - 1].bottom() + 120);
    // The second button of each row 120 to the right of the first.
    const Box left[] = {p.pushButton2, p.pushButton3, p.pushButton4, p.pushButton7};
    const Box right[] = {p.pushButton1, p.pushButton5, p.pushButton6, p.pushButton8};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(left[i].left, p.pushButton2.left);
        QCOMPARE(right[i].left, left[i].right() + 120);
        QCOMPARE(right[i].top, left[i].top);
    }
}

// A main window with its own data and settings, shown on the screen.
struct MainWindow {
    bool show() {
        form.move(10, 20);
        form.show();
        return QTest::qWaitForWindowExposed(&form);
    }
    int pixels(double twips) const { return Twips::toPixels(twips, form.logicalDpiX()); }
    float twips(int pixels) const { return static_cast<float>(Twips::fromPixels(pixels, form.logicalDpiX())); }
    // A placement grown by the room the window has beyond the designed client area (a window
    // larger both ways, so without scroll bars).
    Placement grown(Placement p) const {
        const QSize room(form.width(), form.height() - form.menuBarHeight());
        const QSize extra = room - QSize(pixels(designedClientWidth), pixels(designedClientHeight));
        grow(p, twips(extra.width()), twips(extra.height()));
        return p;
    }

    TestEnvironment env;
    ScriptedMessages messages;
    Form1 form;
};

} // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void normalPassRestoresDesignedSizes();
    void maximisedPassFillsTheHeight_data();
    void maximisedPassFillsTheHeight();
    void tooSmallWindowKeepsButtonsInOrder();
    void resizeFollowsStateAndFlag();

    void freshWindowHasDesignedPlacement();
    void draggingNeverMaximisedWindowChangesNothing();
    void theListsGrowWithTheWindow_data();
    void theListsGrowWithTheWindow();
    void maximiseThenRestore();
    void windowStartingMaximisedCentresOnFirstRestore();
};

void TestLayout::normalPassRestoresDesignedSizes() {
    Placement p = designed();
    maximisedPass(p, 28800, 16200);
    normalPass(p);
    verifyChain(p);
    QCOMPARE(p.listView1, (Box{120, 120, 7800, 3315}));
    QCOMPARE(p.pushButton2, (Box{120, 3555, 3840, 405}));
    QCOMPARE(p.pushButton1, (Box{4080, 3555, 3840, 405}));
    QCOMPARE(p.pushButton3, (Box{120, 4080, 3840, 405}));
    QCOMPARE(p.listView2, (Box{120, 4605, 7800, 3315}));
    QCOMPARE(p.pushButton4, (Box{120, 8040, 3840, 405}));
    QCOMPARE(p.pushButton8, (Box{4080, 8565, 3840, 405}));
}

void TestLayout::maximisedPassFillsTheHeight_data() {
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::newRow("1024 x 768") << 15360.0f << 11520.0f;
    QTest::newRow("1920 x 1080") << 28800.0f << 16200.0f;
    QTest::newRow("odd height") << 19200.0f << 12345.0f;
}

void TestLayout::maximisedPassFillsTheHeight() {
    QFETCH(float, width);
    QFETCH(float, height);
    Placement p = designed();
    maximisedPass(p, width, height);
    verifyChain(p);
    QCOMPARE(p.listView1.width, width - 330);
    QCOMPARE(p.listView1.height, (height - 4 * 405 - 1320) / 2);
    QCOMPARE(p.pushButton2.left, width / 2 - 3840 - 840);
    // The last button row ends 600 above the window's outer bottom edge.
    QCOMPARE(p.pushButton7.bottom(), height - 600);
    QCOMPARE(p.pushButton8.bottom(), height - 600);
}

void TestLayout::tooSmallWindowKeepsButtonsInOrder() {
    Placement p = designed();
    maximisedPass(p, 6000, 2000);
    verifyChain(p);
    QCOMPARE(p.listView1.height, 0.0f);
    QCOMPARE(p.listView1.width, 5670.0f);
    QCOMPARE(p.pushButton2.left, 120.0f);

    maximisedPass(p, 200, 100);
    verifyChain(p);
    QCOMPARE(p.listView1.width, 0.0f);
    QCOMPARE(p.listView1.height, 0.0f);
}

void TestLayout::resizeFollowsStateAndFlag() {
    const Placement start = designed();
    Placement p = start;
    bool flag = false;

    // Normal before any maximised pass with no room beyond the design, and minimised: nothing moves.
    Pass pass = resize(p, WindowState::Normal, flag, 9000, 10000);
    QVERIFY(pass.laidOut && !pass.centre && !flag);
    pass = resize(p, WindowState::Minimised, flag, 9000, 10000);
    QVERIFY(!pass.laidOut && !pass.centre && !flag);
    QCOMPARE(p, start);

    pass = resize(p, WindowState::Maximised, flag, 15360, 11520);
    QVERIFY(pass.laidOut && !pass.centre && flag);
    QCOMPARE(p.listView1.width, 15030.0f);

    pass = resize(p, WindowState::Minimised, flag, 2000, 500);
    QVERIFY(!pass.laidOut && flag);
    QCOMPARE(p.listView1.width, 15030.0f);

    // Every normal size change from now on: designed list sizes and centring.
    for (int i = 0; i < 2; ++i) {
        pass = resize(p, WindowState::Normal, flag, 9000 + i * 1000, 10000);
        QVERIFY(pass.laidOut && pass.centre && flag);
        QCOMPARE(p.listView1, (Box{120, 120, 7800, 3315}));
        QCOMPARE(p.pushButton2.top, 3555.0f);
    }
}

void TestLayout::freshWindowHasDesignedPlacement() {
    MainWindow w;
    w.form.Form_Load();
    QVERIFY(w.show());
    QVERIFY(!w.form.restoreFlag());
    QCOMPARE(controlRects(w.form), pixelRects(designed(), w.form.logicalDpiX()));
    QCOMPARE(w.form.PushButton2->text(), QStringLiteral("Add New Project"));
    QCOMPARE(w.form.PushButton8->text(), QStringLiteral("Load Sample/Example Data"));
}

void TestLayout::draggingNeverMaximisedWindowChangesNothing() {
    MainWindow w;
    Form1& form = w.form;
    form.Form_Load();
    QVERIFY(w.show());
    const QPoint place = form.pos();
    const QList<QRect> before = controlRects(form);

    // Wider and lower: the lists take the width that the vertical scroll bar leaves; the buttons
    // and the lists' heights stay.
    const QSize dragged(form.width() + 150, form.height() - 40);
    form.resize(dragged);
    QTRY_COMPARE(form.size(), dragged);
    const int wider = 150 - form.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QList<QRect> expected = before;
    expected[0].setWidth(before[0].width() + wider);
    expected[5].setWidth(before[5].width() + wider);
    QCOMPARE(controlRects(form), expected);
    QCOMPARE(form.pos(), place);
    form.resize(dragged - QSize(150, 0));
    QTRY_COMPARE(controlRects(form), before);

    // Minimised and back to normal, never maximised: nothing either.
    form.showMinimized();
    QTRY_VERIFY(form.isMinimized());
    form.showNormal();
    QTRY_VERIFY(!form.isMinimized());
    QCOMPARE(controlRects(form), before);
    QCOMPARE(form.pos(), place);
    QVERIFY(!form.restoreFlag());
}

void TestLayout::theListsGrowWithTheWindow_data() {
    QTest::addColumn<QSize>("extra"); // pixels beyond the designed client area
    QTest::newRow("designed size") << QSize(0, 0);
    QTest::newRow("wider than the columns") << QSize(600, 0);
    QTest::newRow("taller") << QSize(0, 201);
}

void TestLayout::theListsGrowWithTheWindow() {
    QFETCH(QSize, extra);
    MainWindow w;
    Form1& form = w.form;
    form.Form_Load();
    QVERIFY(w.show());
    const QList<QRect> designedRects = pixelRects(designed(), form.logicalDpiX());
    const QSize designedWindow(w.pixels(designedClientWidth), w.pixels(designedClientHeight) + form.menuBarHeight());
    form.resize(designedWindow + extra);
    QTRY_COMPARE(form.size(), designedWindow + extra);
    // The lists take the width and half the height each; every button keeps its place below its list.
    const QList<QRect> rects = controlRects(form);
    for (int i = 0; i < 10; ++i) {
        const int down = i == 0 ? 0 : i <= 5 ? extra.height() / 2 : extra.height();
        const int bottom = i == 0 ? extra.height() / 2 : i == 5 ? extra.height() : down;
        const QRect expected = designedRects[i].adjusted(0, down, i % 5 ? 0 : extra.width(), bottom);
        const QPoint d1 = rects[i].topLeft() - expected.topLeft(), d2 = rects[i].bottomRight() - expected.bottomRight();
        QVERIFY2(d1.manhattanLength() <= 2 && d2.manhattanLength() <= 2, members[static_cast<size_t>(i)].name);
    }
    // The columns fill the lists; the last one's own width is kept, not the room it was stretched to.
    for (QTreeView* list : {form.ListView1, form.ListView2})
        QVERIFY(list->header()->length() >= list->viewport()->width());
    form.Form_QueryUnload();
    QCOMPARE(Settings::read(QStringLiteral("ColumnHeaders10"), QString()), QStringLiteral("1500"));
    // Back at the designed size, every control at its designed place.
    form.resize(designedWindow);
    QTRY_COMPARE(controlRects(form), designedRects);
}

void TestLayout::maximiseThenRestore() {
    MainWindow w;
    Form1& form = w.form;
    form.Form_Load();
    QVERIFY(w.show());

    form.showMaximized();
    QTRY_VERIFY(form.isMaximized());
    QTRY_COMPARE(form.frameGeometry().size(), form.screen()->availableGeometry().size());
    QVERIFY(form.restoreFlag());
    const float outerWidth = w.twips(form.frameGeometry().width());
    // The menu bar lies outside the designed client area.
    const float outerHeight = w.twips(form.frameGeometry().height() - form.menuBarHeight());
    QVERIFY(outerHeight > 4 * 405 + 1320);
    QCOMPARE(form.ListView1->width(), w.pixels(outerWidth - 330));
    QCOMPARE(form.ListView2->size(), form.ListView1->size());
    QVERIFY(form.ListView1->height() > w.pixels(3315) / 2);
    // The controls end 600 above the outer bottom edge (to the pixel).
    const QRect last = form.PushButton7->geometry();
    QVERIFY(qAbs(last.y() + last.height() - w.pixels(outerHeight - 600)) <= 1);
    QCOMPARE(form.PushButton8->geometry().bottom(), form.PushButton7->geometry().bottom());

    // Restored: centred, the normal pass (the first button row at 3555) grown to the window's
    // normal size (this platform restores it at the screen's size).
    form.showNormal();
    QTRY_VERIFY(!form.isMaximized());
    QTRY_VERIFY(isCentred(form));
    Placement expected = designed();
    normalPass(expected);
    QCOMPARE(expected.pushButton2.top, 3555.0f);
    QCOMPARE(controlRects(form), pixelRects(w.grown(expected), form.logicalDpiX()));

    // From now on a drag in the normal state re-centres; the lists take the room it gives.
    form.move(0, 0);
    form.resize(form.width() + 60, form.height() + 30);
    QTRY_VERIFY(isCentred(form));
    QCOMPARE(controlRects(form), pixelRects(w.grown(expected), form.logicalDpiX()));
}

void TestLayout::windowStartingMaximisedCentresOnFirstRestore() {
    MainWindow w;
    Form1& form = w.form;
    Settings::write(QStringLiteral("WindowState"), QStringLiteral("2"));
    form.Form_Load();
    QVERIFY(form.restoreFlag());
    QVERIFY(w.show());
    QTRY_VERIFY(form.isMaximized());
    QTRY_COMPARE(form.ListView1->width(), w.pixels(w.twips(form.frameGeometry().width()) - 330));

    // This platform keeps a window that was never normal at the screen's size on restore: give
    // it the normal size the way a desktop would.
    form.showNormal();
    QTRY_VERIFY(!form.isMaximized());
    form.setGeometry(QRect(QPoint(10, 20), QSize(600, 650)));
    QTRY_VERIFY(isCentred(form));
    Placement expected = designed();
    normalPass(expected);
    QCOMPARE(controlRects(form), pixelRects(w.grown(expected), form.logicalDpiX()));
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
