// Creating the program's tables in an empty team database, or bringing the tables of an earlier
// version up to date.
#pragma once

#include <QString>

namespace TeamSchema {

// The PostgreSQL script of a new database: the tables and views, then every later step.
QString script();
// The script that brings the tables from the version before to this one.
QString upgradeScript(int toVersion);
// Creates the tables in the database named by target, all or nothing; tables of an earlier
// version are brought up to date instead. Throws DbError with a plain message when the tables
// are current already or the role may not create or change tables.
void create(const QString& target);
// The statement that makes a database fit for the tables: UTF-8 whatever the server's own
// locale, so that the case-insensitive collation can be made in it.
QString createDatabaseStatement(const QString& name);

} // namespace TeamSchema
