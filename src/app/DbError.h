// The one exception type of the program: a failed step with the text the user sees.
// Thrown by the data layer and the loaders, caught only by the error trap.
#pragma once

#include <QString>

#include <stdexcept>

class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& description)
        : std::runtime_error(description.toStdString())
        , m_description(description) {}
    const QString& description() const { return m_description; }

private:
    QString m_description;
};
