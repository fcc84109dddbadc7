// The one exception type of the program: a failed step with the text the user sees.
// Thrown by the data layer and the loaders, caught only by the error trap.
#pragma once

#include <QString>

#include <stdexcept>

class DbError : public std::runtime_error {
public:
    enum class Kind {
        Failure, // something went wrong: the error box
        // Trying again cannot help until someone changes the database or the rights (a role
        // without rights on the tables, tables of another version), or not at once (a server
        // with no connection free), so the user is told once.
        Lasting,
        // The record is in use elsewhere (locked by another session): the user's situation, not a
        // fault; nothing was saved, and a moment later it may work.
        InUse,
        // The server cannot be reached, or the connection to it was lost: nothing was done, and the
        // program connects again by itself.
        Away,
    };
    explicit DbError(const QString& description, Kind kind = Kind::Failure)
        : std::runtime_error(description.toStdString())
        , m_description(description)
        , m_kind(kind) {}
    const QString& description() const { return m_description; }
    bool lasting() const { return m_kind == Kind::Lasting; }
    bool inUse() const { return m_kind == Kind::InUse; }
    Kind kind() const { return m_kind; }
    // A refusal that the user's situation explains (a lock, a right missing, a server away), not
    // a fault of the program: said as a plain notice rather than in the error box.
    bool expected() const { return m_kind != Kind::Failure; }
    // A refusal that passes by itself (the lock is let go, the server comes back): the same work
    // may succeed later without anyone doing anything.
    bool passing() const { return m_kind == Kind::InUse || m_kind == Kind::Away; }

private:
    QString m_description;
    Kind m_kind = Kind::Failure;
};
