#include "SqlText.h"

#include "DbError.h"

#include <QRegularExpression>

namespace SqlText {

QString doubled(const QString& text) {
    // SQLite reads a statement only up to a NUL character, so a NUL inside a literal would cut
    // the statement short. Such a text is joined in as its UTF-8 bytes instead, between the two
    // quotes that the caller puts around it: ''||cast(x'610062' as text)||'' is "a", NUL, "b".
    if (text.contains(QChar(0)))
        return QLatin1String("'||cast(x'") + QString::fromLatin1(text.toUtf8().toHex()) +
               QLatin1String("' as text)||'");
    QString result = text;
    result.replace(QLatin1Char('\''), QLatin1String("''"));
    return result;
}

QString quoted(const QString& text) {
    return QLatin1Char('\'') + doubled(text) + QLatin1Char('\'');
}

QString dateText(const QDate& date) {
    return date.toString(Qt::ISODate);
}

namespace {

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The character beside position i (skipping blanks) in the given direction, or a null char.
QChar neighbour(const QString& s, qsizetype i, int direction) {
    for (qsizetype j = i + direction; j >= 0 && j < s.size(); j += direction) {
        if (!s.at(j).isSpace())
            return s.at(j);
    }
    return {};
}

// A '+' joins texts when a quoted text stands on either side of it, or a name on both sides
// (FirstName+' '+LastName). Signs of numbers (=+5, 1e+3) are left alone.
bool joinsTexts(const QString& s, qsizetype i) {
    const QChar before = neighbour(s, i, -1);
    const QChar after = neighbour(s, i, +1);
    const QChar quote = QLatin1Char('\'');
    if (before == quote || after == quote)
        return true;
    const bool nameBefore = before == QLatin1Char(']') || (isNameChar(before) && !before.isDigit());
    const bool nameAfter = after == QLatin1Char('[') || (isNameChar(after) && !after.isDigit());
    if (!nameBefore || !nameAfter)
        return false;
    // 1e+3: the letter before is part of a number.
    for (qsizetype j = i - 1; j >= 0 && isNameChar(s.at(j)); --j) {
        if (j == 0 || !isNameChar(s.at(j - 1)))
            return !s.at(j).isDigit();
    }
    return true;
}

// First(x)/Last(x) over one table in stored order, for PostgreSQL: a value list is read from the
// table behind its view, which keeps the order in "seq"; the other tables keep it in their ID.
QString postgresFirstLast(const QString& statement) {
    static const QRegularExpression firstLast(QStringLiteral("\\b(first|last)\\s*\\(([^()]*)\\)"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression fromTable(QStringLiteral("\\bfrom\\s+(\"[^\"]+\"|\\w+)\\s*;?\\s*$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch table = fromTable.match(statement);
    if (!table.hasMatch())
        return statement;
    QString name = table.captured(1).toLower();
    name.remove(QLatin1Char('"'));
    const bool valueList =
        name == QLatin1String("status") || name == QLatin1String("categories") || name == QLatin1String("priorities");
    const QString order = valueList ? QStringLiteral("seq") : QStringLiteral("id");
    QString out;
    qsizetype at = 0;
    auto it = firstLast.globalMatch(statement);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool last = m.captured(1).compare(QLatin1String("last"), Qt::CaseInsensitive) == 0;
        out += statement.mid(at, m.capturedStart() - at);
        out += QStringLiteral("(array_agg(%1 ORDER BY %2%3))[1]")
                   .arg(m.captured(2).trimmed(), order, last ? QStringLiteral(" DESC") : QString());
        at = m.capturedEnd();
    }
    out += statement.mid(at);
    if (valueList) // the table behind the view, under the view's name
        out = out.left(table.capturedStart(1) + (out.size() - statement.size())) + name +
              QStringLiteral("_entries AS ") + name + out.mid(table.capturedEnd(1) + (out.size() - statement.size()));
    return out;
}

} // namespace

QString adaptDialect(const QString& statement, Dialect dialect) {
    const bool postgres = dialect == Dialect::PostgreSql;
    QString out;
    out.reserve(statement.size() + 16);
    bool inText = false;
    bool inName = false;
    for (qsizetype i = 0; i < statement.size(); ++i) {
        const QChar c = statement.at(i);
        if (inText) {
            out += c;
            if (c == QLatin1Char('\''))
                inText = false; // a doubled quote re-enters on the next character
            continue;
        }
        if (inName) {
            if (c == QLatin1Char(']')) {
                inName = false;
                out += postgres ? QLatin1Char('"') : c;
            } else if (postgres) {
                if (c == QLatin1Char('"'))
                    throw DbError(QStringLiteral("A name in the statement holds a double quote."));
                out += c.toLower();
            } else {
                out += c;
            }
            continue;
        }
        if (c == QLatin1Char('\'')) {
            // The join that stands for a text with a NUL character (see doubled()).
            if (postgres && i > 0 && statement.at(i - 1).toLower() == QLatin1Char('x') &&
                out.endsWith(QLatin1String("cast(x"), Qt::CaseInsensitive))
                throw DbError(QStringLiteral("The text holds a NUL character (code 0), which the team database "
                                             "cannot store, so nothing was saved. Please remove it and try again."));
            inText = true;
        } else if (c == QLatin1Char('[')) {
            inName = true;
            out += postgres ? QLatin1Char('"') : c;
            continue;
        }
        if (c == QLatin1Char('+') && joinsTexts(statement, i))
            out += QLatin1String("||");
        else
            out += c;
    }

    static const QRegularExpression firstLast(QStringLiteral("\\b(first|last)\\s*\\("),
                                              QRegularExpression::CaseInsensitiveOption);
    if (!firstLast.match(out).hasMatch())
        return out;
    if (postgres)
        return postgresFirstLast(out);
    // First()/Last() mean the first and last row in stored order. An index could make
    // SQLite visit the rows in another order, so such a single-table query scans the table.
    static const QRegularExpression fromTable(QStringLiteral("\\bfrom\\s+(\\[[^\\]]+\\]|\\w+)\\s*;?\\s*$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = fromTable.match(out);
    if (m.hasMatch())
        out = out.left(m.capturedEnd(1)) + QLatin1String(" NOT INDEXED");
    return out;
}

} // namespace SqlText
