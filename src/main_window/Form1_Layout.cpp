// The main window's layout on resize: the window side of MainLayout.
#include "Form1.h"

#include "MainLayout.h"
#include "app/Twips.h"

#include <QResizeEvent>
#include <QScreen>
#include <QStyle>

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeFrameParts();
    Form_Resize();
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void Form1::placeControls(const MainLayout::Placement& placement) {
    const double d = dpi();
    for (const MainLayout::Member& m : MainLayout::members) {
        const MainLayout::Box& b = placement.*m.box;
        m_client->findChild<QWidget*>(QLatin1String(m.name), Qt::FindDirectChildrenOnly)
            ->setGeometry(Twips::toPixels(b.left, d), Twips::toPixels(b.top, d), Twips::toPixels(b.width, d),
                          Twips::toPixels(b.height, d));
    }
}

void Form1::Form_Resize() {
    const double d = dpi();
    auto twips = [d](int pixels) { return static_cast<float>(Twips::fromPixels(pixels, d)); };

    // The controls as they stand, in twips.
    MainLayout::Placement placement;
    for (const MainLayout::Member& m : MainLayout::members) {
        const QWidget* w = m_client->findChild<QWidget*>(QLatin1String(m.name), Qt::FindDirectChildrenOnly);
        if (!w)
            return;
        const QRect g = w->geometry();
        placement.*m.box = {twips(g.x()), twips(g.y()), twips(g.width()), twips(g.height())};
    }
    const MainLayout::Placement before = placement;

    MainLayout::WindowState state = MainLayout::WindowState::Normal;
    if (windowState() & Qt::WindowMinimized)
        state = MainLayout::WindowState::Minimised;
    else if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        state = MainLayout::WindowState::Maximised;

    // The layout sees the window as its client area would have it: the menu bar lies outside.
    const QRect frame = frameGeometry();
    // What the client area has beyond the design, in whole pixels (a design that is no whole
    // number of pixels would otherwise move every control by one), less a scroll bar where the
    // design does not fit the other way.
    QSize room(width(), height() - menuBarHeight());
    const QSize design(Twips::toPixels(MainLayout::designedClientWidth, d),
                       Twips::toPixels(MainLayout::designedClientHeight, d));
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (room.height() < design.height())
        room.rwidth() -= scrollBar;
    if (room.width() < design.width())
        room.rheight() -= scrollBar;
    const QSize extra = (room - design).expandedTo(QSize(0, 0));
    const MainLayout::Pass pass =
        MainLayout::resize(placement, state, m_restoreFlag, twips(frame.width()),
                           twips(frame.height() - menuBarHeight()), twips(extra.width()), twips(extra.height()));

    if (pass.laidOut && placement != before) {
        placeControls(placement);
        placeFrameParts(); // the scrolled area follows the controls
    }
    if (pass.centre && screen()) {
        const QRect area = screen()->geometry();
        const MainLayout::Position at =
            MainLayout::centred(twips(area.width()), twips(area.height()), twips(frame.width()), twips(frame.height()));
        move(area.x() + Twips::toPixels(at.left, d), area.y() + Twips::toPixels(at.top, d));
    }
}
