#include "StartupProbe.h"

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>

namespace {

class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget* window)
        : QObject(window)
        , m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // The paint event runs before the window's children paint: report once the event
            // loop has finished this frame.
            QTimer::singleShot(0, m_window, [window = m_window] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("painted %lld\n",
                            static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
                std::fflush(stdout);
                window->close();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* m_window;
    bool m_seen = false;
};

} // namespace

namespace StartupProbe {

bool enabled() {
    return qEnvironmentVariableIsSet("FENNICK_STARTUP_PROBE");
}

void install(QWidget* window) {
    if (enabled())
        window->installEventFilter(new FirstPaint(window));
}

} // namespace StartupProbe
