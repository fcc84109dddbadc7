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

// Rewrites a statement text for SQLite: '+' joining texts becomes '||', and a
// single-table First/Last query scans the table in stored order. Quoted texts
// and bracketed names are never touched.
QString adaptDialect(const QString& statement);

} // namespace SqlText
