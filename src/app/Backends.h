// The kinds of database the program can open, registered at start by the composition root. The
// shared connection asks here for a connection by the form of what it is told to open, and
// knows no kind itself.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class Connection;

namespace Backends {

struct Backend {
    // For messages and diagnostics ("SQLite", "PostgreSQL").
    QString name;
    // Whether a database name has this kind's form (a libpq URI, a file path...).
    std::function<bool(const QString& target)> recognises;
    // Opens the database; throws DbError when it cannot.
    std::function<std::unique_ptr<Connection>(const QString& target)> open;
    // Whether the databases of this kind live on a server shared by a team.
    bool shared = false;
};

// Adds a kind; kinds added earlier are asked first. Adding a kind of a name already known
// replaces it.
void add(Backend backend);
// The kind that recognises the name, or nullptr when none does.
const Backend* find(const QString& target);
// Whether the name is that of a database on a server shared by a team.
bool isShared(const QString& target);
// Opens a connection of the kind that recognises the name; throws DbError when none does.
std::unique_ptr<Connection> open(const QString& target);

} // namespace Backends
