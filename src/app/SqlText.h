// SQL text rules: how values become parts of a statement text, and the one place
// where the statement texts are adapted to SQLite's dialect.
#pragma once

#include <QDate>
#include <QString>

namespace SqlText {

// Every single quote doubled; the result is not enclosed in quotes. A text holding a NUL
// character, which SQLite cannot read inside a literal, is written as '||cast(x'<its UTF-8
// bytes>' as text)||' so that, once quoted, it is a join that gives the same characters.
QString doubled(const QString& text);

// A text literal: enclosed in single quotes with every inner single quote doubled (a text with
// a NUL character becomes a join, see doubled()).
QString quoted(const QString& text);

// The stored form of a date (yyyy-MM-dd), without quotes.
QString dateText(const QDate& date);

// The SQL dialects the statement texts are adapted to.
enum class Dialect { Sqlite, PostgreSql };

// Rewrites a statement text for a database engine: '+' joining texts becomes '||', and a
// single-table First/Last query reads the table in stored order. Quoted texts are never
// touched. For SQLite bracketed names stay as they are; for PostgreSQL they become quoted
// lower-case names (the schema's names are all lower case there), First/Last follow the
// table's order column, and a text holding a NUL character, which PostgreSQL cannot store,
// is refused with DbError.
QString adaptDialect(const QString& statement, Dialect dialect = Dialect::Sqlite);

} // namespace SqlText
