#include "ScreenFit.h"

#include <QScreen>

#include <QEvent>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace ScreenFit {

namespace {
QMargins frameOf(const QWidget* window) {
    if (window->isVisible()) {
        const QRect inner = window->geometry(), outer = window->frameGeometry();
        if (outer != inner)
            return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom()};
    }
    const int border = window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    return {border, window->style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border, border};
}

// Fits the window once more when it has been shown: its real frame is known then. Q_OBJECT gives
// it a type of its own, without which findChild<RefitWhenShown*> would take any child for it.
class RefitWhenShown final : public QObject {
    Q_OBJECT
public:
    explicit RefitWhenShown(QWidget* window)
        : QObject(window) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* window = static_cast<QWidget*>(watched);
            window->removeEventFilter(this);
            QTimer::singleShot(0, window, [window] { fit(window); });
            deleteLater();
        }
        return false;
    }
};
} // namespace

QSize room(const QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    const QMargins frame = frameOf(window);
    return screen->availableGeometry().size().shrunkBy(frame);
}

bool fit(QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen)
        return false;
    if (!window->isVisible() && !window->findChild<RefitWhenShown*>(QString(), Qt::FindDirectChildrenOnly))
        new RefitWhenShown(window);
    const QSize fitted = window->size().boundedTo(room(window));
    const bool shrunk = fitted != window->size();
    if (shrunk)
        window->resize(fitted);
    // A window placed (or restored) partly off the area comes back onto it.
    const QRect area = screen->availableGeometry();
    const QMargins frame = frameOf(window);
    const QRect outer = window->geometry().marginsAdded(frame);
    if (window->testAttribute(Qt::WA_Moved) && !area.contains(outer)) {
        const int x = std::clamp(outer.left(), area.left(), std::max(area.left(), area.right() - outer.width() + 1));
        const int y = std::clamp(outer.top(), area.top(), std::max(area.top(), area.bottom() - outer.height() + 1));
        window->move(x, y);
    }
    return shrunk;
}

} // namespace ScreenFit

#include "ScreenFit.moc"
