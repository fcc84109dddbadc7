// Desktop notifications through the session bus (the freedesktop Notifications service, as every
// Linux desktop offers it). Every call is asynchronous, so a slow or missing service never holds
// up the window; without a session bus nothing is sent.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // Whether a session bus was reached.
    bool connected() const { return m_connected; }

    // Sends a notification; `shown` gets the number the service gave it (not called when the
    // service refused it or none answered). `actions` are pairs of key and label.
    void send(const QString& summary, const QString& body, const QStringList& actions,
              std::function<void(uint id)> shown);
    // Takes a notification down (one whose action was taken: a server keeps some on screen).
    void close(uint id);

signals:
    // The user chose an action of a notification ("default": clicked the notification itself).
    void actionInvoked(uint id, const QString& action);
    void closed(uint id);

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    void sendNow(const QString& summary, const QString& body, const QStringList& actions,
                 std::function<void(uint id)> shown);

    bool m_connected = false;
    bool m_knowsCapabilities = false;
    std::vector<std::function<void()>> m_waiting; // sends asked for before the service said what it can do
    bool m_markup = false;                        // the service reads the body as markup: texts are escaped
};
