// The termination signals SIGTERM, SIGINT and SIGHUP, delivered as a Qt signal in the thread
// that made this object. The signal handler only writes the signal's number into a pipe; a
// socket notifier reads it from there, so no Qt call ever runs inside the handler.
// One object at a time; destroying it restores the default handling.
#pragma once

#include <QObject>

class QSocketNotifier;

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;
    ShutdownSignals(const ShutdownSignals&) = delete;
    ShutdownSignals& operator=(const ShutdownSignals&) = delete;

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
};
