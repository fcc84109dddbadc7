#include "ErrorTrap.h"

#include "Messages.h"

ErrorTrap::ErrorTrap(QString window, QString procedure)
    : m_window(std::move(window))
    , m_procedure(std::move(procedure)) {}

QString ErrorTrap::supportAddress() {
    return QStringLiteral("support@tarnwick.example");
}

QString ErrorTrap::errorText(const QString& description, const QString& window, const QString& procedure, int line) {
    return description + QStringLiteral("\r\nin FennickPlanner2021/08/31.") + window + QLatin1Char('.') + procedure +
           QStringLiteral(" at line ") + QString::number(line) +
           QStringLiteral("\r\n\r\nPlease email screenshot of this message to ") + supportAddress();
}

void ErrorTrap::report(int line, const QString& description) {
    m_failed = true;
    m_faulted = true;
    Messages::current().error(errorText(description, m_window, m_procedure, line));
}

void ErrorTrap::refuse(const QString& description, bool passing) {
    m_failed = true;
    m_lasting = m_lasting || !passing;
    if (s_quiet > 0 || m_said.contains(description))
        return;
    m_said.insert(description);
    Messages::current().notice(description);
}

ErrorTrap::QuietRefusals::QuietRefusals() {
    ++s_quiet;
}

ErrorTrap::QuietRefusals::~QuietRefusals() {
    --s_quiet;
}
