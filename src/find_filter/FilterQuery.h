// The filter line's little language, read into terms that the matcher applies to projects and
// their tasks. Free words, "quoted phrases", field:value terms named after the list columns,
// comparisons for numbers and dates, -word to leave rows out and task: to look in tasks only.
// A term that cannot be read becomes a problem with its place in the text and the reason.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <string>
#include <vector>

namespace FindFilter {

// The folded texts, numbers and dates a project or task record holds, by slot.
namespace ProjectText {
enum { Id, Name, Owner, Category, Priority, Status, Start, End, Budget, BudgetInDays, Count };
}
namespace ProjectNumber {
enum { Id, Budget, BudgetInDays, Count };
}
namespace ProjectDate {
enum { Start, End, Count };
}
// Free words look in every task text; the numbers and dates serve field terms.
namespace TaskText {
enum { Title, AssignedTo, Description, Status, Priority, Due, Count };
}
namespace TaskNumber {
enum { Id, PercentComplete, Cost, CostInDays, Count };
}
namespace TaskDate {
enum { Start, Due, Count };
}

enum Scope : unsigned { InProjects = 1, InTasks = 2, InBoth = 3 };

enum class FieldKind { Text, Number, Date };

// A field that terms can name: the list column it stands for, the names users may type, and
// where its value lives in a project and in a task record (-1: not there).
struct Field {
    const char* label;
    QStringList names; // folded, without blanks; the first is the column header
    FieldKind kind;
    int projectSlot;
    int taskSlot;
    unsigned scope; // where a term looks when not restricted by task:
};

// Every field, in the order of the project list columns and then the task-only ones.
const std::vector<Field>& fields();
// The field that a typed name means (any case, accents and blanks ignored), or -1.
int fieldIndex(QStringView name);

enum class Op { Contains, Equals, Less, LessOrEqual, Greater, GreaterOrEqual, Between };

struct Term {
    int start = 0; // place of the term in the typed text
    int length = 0;
    bool exclude = false;
    unsigned scope = InBoth;
    int field = -1; // -1: a free word or phrase
    Op op = Op::Contains;
    std::string text; // folded word, phrase or text value
    double low = 0;   // numbers: the value, or the range for Between
    double high = 0;
    int firstDay = 0; // dates as yyyymmdd: the first and last day the value names
    int lastDay = 0;
};

struct Problem {
    int start = 0;
    int length = 0;
    QString message;
};

struct Query {
    std::vector<Term> terms;
    std::vector<Problem> problems;
    // Whether any readable term filters the lists.
    bool active() const { return !terms.empty(); }
};

// Reads the typed text. Terms that cannot be read are reported as problems and left out.
Query parse(QStringView text);

// A stored date (ISO text, maybe with a time) as yyyymmdd; 0 when it is none.
int dayNumber(QStringView isoDate);

} // namespace FindFilter
