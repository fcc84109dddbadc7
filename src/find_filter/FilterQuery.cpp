#include "FilterQuery.h"

#include "TextFold.h"

#include <QDate>
#include <QLocale>

#include <limits>

namespace FindFilter {

namespace {

QStringList names(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* n : list)
        out << QLatin1String(n);
    return out;
}

} // namespace

const std::vector<Field>& fields() {
    // Names of the project list's columns look in projects (and, after task:, in the matching task
    // column); names that only the task list has look in tasks; Priority and Status in both.
    // "id" and "name" mean the project's, as a project list user means them.
    static const std::vector<Field> all = {
        {"Project ID", names({"projectid", "id"}), FieldKind::Number, ProjectNumber::Id, TaskNumber::Id, InProjects},
        {"Project Name", names({"projectname", "name", "project"}), FieldKind::Text, ProjectText::Name, TaskText::Title,
         InProjects},
        {"Owner", names({"owner", "ownername"}), FieldKind::Text, ProjectText::Owner, TaskText::AssignedTo, InProjects},
        {"Category", names({"category", "cat"}), FieldKind::Text, ProjectText::Category, -1, InProjects},
        {"Priority", names({"priority", "prio", "pri"}), FieldKind::Text, ProjectText::Priority, TaskText::Priority,
         InBoth},
        {"Status", names({"status", "state"}), FieldKind::Text, ProjectText::Status, TaskText::Status, InBoth},
        {"Start", names({"start", "begin", "begins"}), FieldKind::Date, ProjectDate::Start, TaskDate::Start,
         InProjects},
        {"End", names({"end", "enddate", "ends", "finish"}), FieldKind::Date, ProjectDate::End, TaskDate::Due,
         InProjects},
        {"Budget", names({"budget"}), FieldKind::Number, ProjectNumber::Budget, TaskNumber::Cost, InProjects},
        {"Budget in Days", names({"budgetindays", "budgetdays", "days"}), FieldKind::Number,
         ProjectNumber::BudgetInDays, TaskNumber::CostInDays, InProjects},
        {"Task ID", names({"taskid"}), FieldKind::Number, -1, TaskNumber::Id, InTasks},
        {"Title", names({"title"}), FieldKind::Text, -1, TaskText::Title, InTasks},
        {"Assigned To", names({"assignedto", "assigned", "assignee"}), FieldKind::Text, -1, TaskText::AssignedTo,
         InTasks},
        {"Start Date", names({"startdate"}), FieldKind::Date, -1, TaskDate::Start, InTasks},
        {"Due Date", names({"duedate", "due"}), FieldKind::Date, -1, TaskDate::Due, InTasks},
        {"% Complete", names({"%complete", "complete", "percentcomplete", "percent", "progress"}), FieldKind::Number,
         -1, TaskNumber::PercentComplete, InTasks},
        {"Cost", names({"cost"}), FieldKind::Number, -1, TaskNumber::Cost, InTasks},
        {"Cost in Days", names({"costindays", "costdays"}), FieldKind::Number, -1, TaskNumber::CostInDays, InTasks},
        {"Description", names({"description", "desc"}), FieldKind::Text, -1, TaskText::Description, InTasks},
    };
    return all;
}

int fieldIndex(QStringView name) {
    QString key = QString::fromStdString(folded(name));
    key.remove(QLatin1Char(' '));
    const std::vector<Field>& all = fields();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].names.contains(key))
            return static_cast<int>(i);
    return -1;
}

int dayNumber(QStringView iso) {
    if (iso.size() < 10 || iso[4] != u'-' || iso[7] != u'-')
        return 0;
    int digits[8];
    const int at[8] = {0, 1, 2, 3, 5, 6, 8, 9};
    for (int i = 0; i < 8; ++i) {
        const char16_t c = iso[at[i]].unicode();
        if (c < u'0' || c > u'9')
            return 0;
        digits[i] = c - u'0';
    }
    const int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    return year * 10000 + (digits[4] * 10 + digits[5]) * 100 + digits[6] * 10 + digits[7];
}

namespace {

bool isQuote(QChar c) {
    return c == u'"' || c == QChar(0x201C) || c == QChar(0x201D) || c == QChar(0x201E);
}

bool isSpace(QChar c) {
    return c.isSpace();
}

// One blank-separated piece of the typed text; quotes may hold blanks.
struct Token {
    int start;
    int end;
    bool openQuote; // a quote that never closes
};

std::vector<Token> tokens(QStringView text) {
    std::vector<Token> out;
    const auto n = static_cast<int>(text.size());
    int i = 0;
    while (i < n) {
        while (i < n && isSpace(text[i]))
            ++i;
        if (i >= n)
            break;
        Token t{i, i, false};
        while (i < n && !isSpace(text[i])) {
            if (isQuote(text[i])) {
                int close = i + 1;
                while (close < n && !isQuote(text[close]))
                    ++close;
                if (close >= n) {
                    t.openQuote = true;
                    i = n;
                    break;
                }
                i = close + 1;
            } else {
                ++i;
            }
        }
        t.end = i;
        out.push_back(t);
    }
    return out;
}

QString withoutQuotes(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!isQuote(c))
            out.append(c);
    return out.trimmed();
}

QString quoted(QStringView text) {
    return QChar(0x201C) + text.toString() + QChar(0x201D);
}

bool readNumber(QStringView text, double& value) {
    bool ok = false;
    value = QLocale::c().toDouble(text, &ok);
    return ok;
}

// The first and last day that a typed date names: 2026, 2026-12 or 2026-12-31.
bool readDate(QStringView text, int& first, int& last) {
    const QList<QStringView> parts = text.split(u'-');
    if (parts.size() > 3 || parts[0].size() != 4)
        return false;
    int value[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (parts[i].isEmpty() || parts[i].size() > (i == 0 ? 4 : 2))
            return false;
        for (QChar c : parts[i])
            if (c < u'0' || c > u'9')
                return false;
        value[i] = parts[i].toInt();
    }
    const int year = value[0];
    if (parts.size() == 1) {
        first = year * 10000 + 101;
        last = year * 10000 + 1231;
        return year > 0;
    }
    const int month = value[1];
    if (month < 1 || month > 12 || year < 1)
        return false;
    if (parts.size() == 2) {
        first = year * 10000 + month * 100 + 1;
        last = year * 10000 + month * 100 + QDate(year, month, 1).daysInMonth();
        return true;
    }
    if (!QDate(year, month, value[2]).isValid())
        return false;
    first = last = year * 10000 + month * 100 + value[2];
    return true;
}

class Reader {
public:
    explicit Reader(QStringView text)
        : m_text(text) {}

    Query read() {
        for (const Token& t : tokens(m_text))
            readTerm(t);
        return std::move(m_query);
    }

private:
    void problem(const Token& t, const QString& message) {
        m_query.problems.push_back({t.start, t.end - t.start, message});
    }

    void readTerm(const Token& t) {
        const QStringView whole = m_text.mid(t.start, t.end - t.start);
        Term term;
        term.start = t.start;
        term.length = t.end - t.start;
        QStringView rest = whole;
        if (rest.startsWith(u'-')) {
            if (rest.size() == 1)
                return problem(t, QStringLiteral("A minus needs a word after it: -word leaves out the rows that "
                                                 "contain the word."));
            term.exclude = true;
            rest = rest.mid(1);
        }
        bool taskOnly = false;
        if (rest.startsWith(QLatin1String("task:"), Qt::CaseInsensitive)) {
            taskOnly = true;
            rest = rest.mid(5);
            if (rest.isEmpty())
                return problem(t, QStringLiteral("task: needs a word after it, such as task:review, to look for the "
                                                 "word in tasks only."));
            if (rest.startsWith(u'-') && rest.size() > 1 && !term.exclude) {
                term.exclude = true;
                rest = rest.mid(1);
            }
        }
        if (t.openQuote)
            return problem(t, QStringLiteral("The quote is not closed: put a second \" after the words."));

        // A field term: a name that starts with a letter, then : = < or >.
        qsizetype op = 0;
        while (op < rest.size() && !isQuote(rest[op]) && rest[op] != u':' && rest[op] != u'<' && rest[op] != u'>' &&
               rest[op] != u'=')
            ++op;
        const bool fieldTerm =
            op > 0 && op < rest.size() && !isQuote(rest[op]) && (rest[0].isLetter() || rest[0] == u'%');
        if (!fieldTerm) {
            const QString value = withoutQuotes(rest);
            if (value.isEmpty())
                return problem(t, QStringLiteral("The quotes hold no words."));
            term.scope = taskOnly ? InTasks : InBoth;
            term.text = folded(value);
            if (!term.text.empty())
                m_query.terms.push_back(std::move(term));
            return;
        }

        const QStringView name = rest.left(op);
        term.field = fieldIndex(name);
        if (term.field < 0)
            return problem(t, QStringLiteral("There is no column called %1. Columns: %2. To look for the text "
                                             "itself, put it in quotes.")
                                  .arg(quoted(name), knownNames()));
        const Field& field = fields()[static_cast<size_t>(term.field)];
        const QString label = QLatin1String(field.label);
        if (taskOnly && field.taskSlot < 0)
            return problem(t, QStringLiteral("%1 belongs to projects only; task: looks in tasks.").arg(label));
        term.scope = taskOnly ? InTasks : field.scope;

        qsizetype at = op + 1;
        const QChar sign = rest[op];
        QChar comparison = sign;
        if (sign == u':' && at < rest.size() && (rest[at] == u'<' || rest[at] == u'>' || rest[at] == u'='))
            comparison = rest[at++];
        bool orEqual = false;
        if ((comparison == u'<' || comparison == u'>') && at < rest.size() && rest[at] == u'=') {
            orEqual = true;
            ++at;
        }
        if (comparison == u'<')
            term.op = orEqual ? Op::LessOrEqual : Op::Less;
        else if (comparison == u'>')
            term.op = orEqual ? Op::GreaterOrEqual : Op::Greater;
        else if (comparison == u'=')
            term.op = Op::Equals;
        else
            term.op = Op::Contains;

        const QString value = withoutQuotes(rest.mid(at));
        const QString example = field.names.first();
        // owner: and owner="" alike find the rows where the text is empty (a project without an owner).
        if (value.isEmpty() && field.kind == FieldKind::Text && (term.op == Op::Contains || term.op == Op::Equals)) {
            term.op = Op::Equals;
            m_query.terms.push_back(std::move(term));
            return;
        }
        if (value.isEmpty())
            return problem(t, QStringLiteral("%1 needs a value after it, such as %2.")
                                  .arg(quoted(rest.left(at)), example + QLatin1Char(':') + sampleValue(field.kind)));

        switch (field.kind) {
        case FieldKind::Text:
            if (term.op != Op::Contains && term.op != Op::Equals)
                return problem(t, QStringLiteral("%1 is text: compare numbers and dates with < and >, and look for "
                                                 "text with %2:word.")
                                      .arg(label, example));
            term.text = folded(value);
            break;
        case FieldKind::Number:
            if (!readNumberTerm(term, value))
                return problem(
                    t,
                    QStringLiteral("%1 takes a number, such as %2>1000, %2:250 or %2:100..500.").arg(label, example));
            if (term.op == Op::Between && term.low > term.high)
                return problem(t, backwards(value, example, QStringLiteral("100..500")));
            break;
        case FieldKind::Date:
            if (!readDateTerm(term, value))
                return problem(t, QStringLiteral("%1 is not a date: write dates as 2026-12-31, 2026-12 or 2026, "
                                                 "such as %2<2026-12-31.")
                                      .arg(quoted(value), example));
            if (term.op == Op::Between && term.firstDay > term.lastDay)
                return problem(t, backwards(value, example, QStringLiteral("2026-01..2026-03")));
            break;
        }
        m_query.terms.push_back(std::move(term));
    }

    static QString sampleValue(FieldKind kind) {
        switch (kind) {
        case FieldKind::Number:
            return QStringLiteral("1000");
        case FieldKind::Date:
            return QStringLiteral("2026-12");
        case FieldKind::Text:
            break;
        }
        return QStringLiteral("word");
    }

    // A range whose ends are the wrong way round would silently find nothing.
    static QString backwards(const QString& value, const QString& example, const QString& sample) {
        return QStringLiteral("The range %1 runs backwards: write the smaller end first, such as %2:%3.")
            .arg(quoted(value), example, sample);
    }

    static QString knownNames() {
        QStringList list;
        for (const Field& f : fields())
            list << f.names.first();
        return list.join(QStringLiteral(", "));
    }

    // The ends of "low..high" (trimmed; either may be left open, not both). A range follows ':'
    // or '=' only.
    struct Range {
        bool given = false; // the value has ".."
        bool valid = false;
        QStringView low, high;
    };
    static Range rangeOf(const Term& term, const QString& value) {
        Range range;
        const qsizetype dots = value.indexOf(QLatin1String(".."));
        if (dots < 0)
            return range;
        range.given = true;
        range.low = QStringView(value).left(dots).trimmed();
        range.high = QStringView(value).mid(dots + 2).trimmed();
        range.valid =
            (term.op == Op::Contains || term.op == Op::Equals) && !(range.low.isEmpty() && range.high.isEmpty());
        return range;
    }

    // value, or low..high with either end left open.
    static bool readNumberTerm(Term& term, const QString& value) {
        if (const Range range = rangeOf(term, value); range.given) {
            if (!range.valid)
                return false;
            term.low = -std::numeric_limits<double>::infinity();
            term.high = std::numeric_limits<double>::infinity();
            if ((!range.low.isEmpty() && !readNumber(range.low, term.low)) ||
                (!range.high.isEmpty() && !readNumber(range.high, term.high)))
                return false;
            term.op = Op::Between;
            return true;
        }
        if (!readNumber(value, term.low))
            return false;
        term.high = term.low;
        if (term.op == Op::Contains || term.op == Op::Equals)
            term.op = Op::Between;
        return true;
    }

    static bool readDateTerm(Term& term, const QString& value) {
        if (const Range range = rangeOf(term, value); range.given) {
            if (!range.valid)
                return false;
            int unused = 0;
            term.firstDay = 0;
            term.lastDay = 99991231;
            if ((!range.low.isEmpty() && !readDate(range.low, term.firstDay, unused)) ||
                (!range.high.isEmpty() && !readDate(range.high, unused, term.lastDay)))
                return false;
            term.op = Op::Between;
            return true;
        }
        if (!readDate(value, term.firstDay, term.lastDay))
            return false;
        if (term.op == Op::Contains || term.op == Op::Equals)
            term.op = Op::Between;
        return true;
    }

    QStringView m_text;
    Query m_query;
};

} // namespace

Query parse(QStringView text) {
    return Reader(text).read();
}

} // namespace FindFilter
