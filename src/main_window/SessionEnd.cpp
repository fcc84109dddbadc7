#include "SessionEnd.h"

#include "Form1.h"

#include <QApplication>
#include <QDialog>
#include <QSessionManager>
#include <QTimer>

SessionEnd::SessionEnd(Form1& form, QObject* parent)
    : QObject(parent)
    , m_form(form) {
    connect(&m_signals, &ShutdownSignals::received, this, &SessionEnd::endNow);
    // The session manager asks the program to keep its data before the session ends.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { endNow(); });
    // Whatever makes the event loop end, the settings are saved and the connection closed.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_form.Form_QueryUnload(); });
}

void SessionEnd::endNow() {
    if (m_ending)
        return;
    m_ending = true;
    // The commands that opened these windows finish first, with the connection still open.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog && dialog->isVisible())
            dialog->reject();
    }
    QTimer::singleShot(0, this, &SessionEnd::finish);
}

void SessionEnd::finish() {
    // A window that is still closing gets a moment (about two seconds at most).
    if (QApplication::activeModalWidget() && ++m_waits < 100) {
        QTimer::singleShot(20, this, &SessionEnd::finish);
        return;
    }
    m_form.Form_QueryUnload();
    QCoreApplication::exit(0);
}
