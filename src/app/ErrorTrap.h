// The error trap that every handler runs under: it numbers the handler's steps, shows the
// "Application Error" box for a step that fails, and lets the handler go on with the next.
#pragma once

#include "DbError.h"

#include <QString>

#include <exception>
#include <functional>

class ErrorTrap {
public:
    ErrorTrap(QString window, QString procedure);

    // Runs one numbered step. Returns false (after showing the error box) when it failed.
    template <typename F> bool step(int line, F&& body) {
        try {
            body();
            return true;
        } catch (const DbError& e) {
            report(line, e.description());
        } catch (const std::exception& e) {
            report(line, QString::fromLocal8Bit(e.what()));
        }
        return false;
    }

    // Whether any step of this trap has failed so far.
    bool failed() const { return m_failed; }

    // The text of the error box for a failure at the given line.
    static QString errorText(const QString& description, const QString& window, const QString& procedure, int line);
    static QString supportAddress();

private:
    void report(int line, const QString& description);

    QString m_window;
    QString m_procedure;
    bool m_failed = false;
};
