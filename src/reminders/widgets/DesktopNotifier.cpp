#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_connected = bus.isConnected();
    if (!m_connected)
        return;
    bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this, SLOT(onClosed(uint, uint)));
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetCapabilities"))),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<QStringList> reply = *call;
        if (!reply.isError())
            m_markup = reply.value().contains(QStringLiteral("body-markup"));
        m_knowsCapabilities = true;
        for (const auto& waiting : std::exchange(m_waiting, {}))
            waiting();
        call->deleteLater();
    });
}

void DesktopNotifier::send(const QString& summary, const QString& body, const QStringList& actions,
                           std::function<void(uint)> shown) {
    if (!m_connected)
        return;
    if (!m_knowsCapabilities) {
        m_waiting.push_back([=, this] { sendNow(summary, body, actions, shown); });
        return;
    }
    sendNow(summary, body, actions, std::move(shown));
}

void DesktopNotifier::sendNow(const QString& summary, const QString& body, const QStringList& actions,
                              std::function<void(uint)> shown) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("org.tarnwick.FennickPlanner"));
    hints.insert(QStringLiteral("category"), QStringLiteral("x-fennick.reminder"));
    call << QStringLiteral("Fennick Planner") << 0u << QStringLiteral("org.tarnwick.FennickPlanner") << summary
         << (m_markup ? body.toHtmlEscaped() : body) << actions << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [shown = std::move(shown)](QDBusPendingCallWatcher* pending) {
                const QDBusPendingReply<uint> reply = *pending;
                if (reply.isError())
                    qWarning("Reminders: the desktop did not show a notification: %s",
                             qPrintable(reply.error().message()));
                else if (shown)
                    shown(reply.value());
                pending->deleteLater();
            });
}

void DesktopNotifier::close(uint id) {
    if (!m_connected)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("CloseNotification"));
    call << id;
    QDBusConnection::sessionBus().asyncCall(call);
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action) {
    emit actionInvoked(id, action);
}

void DesktopNotifier::onClosed(uint id, uint) {
    emit closed(id);
}
