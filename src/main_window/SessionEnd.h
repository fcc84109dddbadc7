// Ends the program in order when it is told to end from outside: a termination signal
// (SIGTERM, SIGINT, SIGHUP) or the end of the desktop session. Open modal windows close as if
// cancelled (a question counts as No), then the main window's shutdown steps run, once, and
// the program ends with status 0.
#pragma once

#include "app/ShutdownSignals.h"

#include <QObject>

class Form1;

class SessionEnd : public QObject {
    Q_OBJECT
public:
    explicit SessionEnd(Form1& form, QObject* parent = nullptr);

    // True once the end has begun.
    bool ending() const { return m_ending; }
    void endNow();

private:
    void finish();

    Form1& m_form;
    ShutdownSignals m_signals;
    bool m_ending = false;
    int m_waits = 0;
};
