// The error trap that every handler runs under: it numbers the handler's steps, shows the
// "Application Error" box for a step that fails, and lets the handler go on with the next. A
// refusal that the user's situation explains (a record in use elsewhere, a right missing, the
// server away) is no fault of the program: it is said as a plain notice instead.
#pragma once

#include "DbError.h"

#include <QSet>
#include <QString>

#include <exception>
#include <functional>

class ErrorTrap {
public:
    ErrorTrap(QString window, QString procedure);

    // Runs one numbered step. Returns false (after showing the error box or the notice) when it
    // failed.
    template <typename F> bool step(int line, F&& body) {
        try {
            body();
            return true;
        } catch (const DbError& e) {
            if (e.expected())
                refuse(e.description(), e.passing());
            else
                report(line, e.description());
        } catch (const std::exception& e) {
            report(line, QString::fromLocal8Bit(e.what()));
        }
        return false;
    }

    // Whether any step of this trap has failed so far.
    bool failed() const { return m_failed; }
    // Whether steps failed, and only for refusals that the user's situation explains: once the
    // situation has passed (the lock is gone, the server is back), the same work may succeed.
    bool refusedOnly() const { return m_failed && !m_faulted; }
    // As refusedOnly(), and each refusal passes by itself (see DbError::passing()).
    bool refusedForNow() const { return refusedOnly() && !m_lasting; }

    // While one lives, refusals are not said again (a retry of work whose refusal the user was
    // told of already); faults of the program still get the error box.
    class QuietRefusals {
    public:
        QuietRefusals();
        ~QuietRefusals();
        QuietRefusals(const QuietRefusals&) = delete;
        QuietRefusals& operator=(const QuietRefusals&) = delete;
    };

    // The text of the error box for a failure at the given line.
    static QString errorText(const QString& description, const QString& window, const QString& procedure, int line);
    static QString supportAddress();

private:
    void report(int line, const QString& description);
    void refuse(const QString& description, bool passing);

    QString m_window;
    QString m_procedure;
    bool m_failed = false;
    bool m_faulted = false;
    bool m_lasting = false;
    QSet<QString> m_said; // each refusal is said once, though the next steps often meet it again
    static inline int s_quiet = 0;
};
