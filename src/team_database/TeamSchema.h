// Creating the program's tables in an empty team database.
#pragma once

#include <QString>

namespace TeamSchema {

// The PostgreSQL script of the six tables and two views.
QString script();
// Creates the tables in the database named by target, all or nothing. Throws DbError with a
// plain message when the database already has them or the role may not create tables.
void create(const QString& target);

} // namespace TeamSchema
