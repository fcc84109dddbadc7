// The one exception type of the program: a failed step with the text the user sees.
// Thrown by the data layer and the loaders, caught only by the error trap.
#pragma once

#include <QString>

#include <stdexcept>

class DbError : public std::runtime_error {
public:
    // lasting: trying again cannot help until someone changes the database or the rights (a role
    // without rights on the tables, tables of another version), so the user is told once.
    explicit DbError(const QString& description, bool lasting = false)
        : std::runtime_error(description.toStdString())
        , m_description(description)
        , m_lasting(lasting) {}
    const QString& description() const { return m_description; }
    bool lasting() const { return m_lasting; }

private:
    QString m_description;
    bool m_lasting = false;
};
