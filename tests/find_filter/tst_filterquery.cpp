// The filter language without a window: typed text read into terms, applied to a few projects
// and their tasks; terms that cannot be read are reported at their place and left out.
#include "find_filter/FilterIndex.h"
#include "find_filter/FilterQuery.h"
#include "find_filter/TextFold.h"

#include <QtTest>

#include <algorithm>

using namespace FindFilter;

namespace {

// ID, name, owner, category, priority, status, start, end, budget, budget in days.
const QStringList projectRows[] = {
    {"1", "Café Renovation", "John Wilson", "Main Category", "High", "In process", "2026-03-01", "2026-12-15", "1500",
     "10"},
    {"2", "Website Relaunch", "Daniel Carter", "Marketing", "Low", "Cancelled", "2026-01-10", "2027-02-01", "800", ""},
    {"3", "Straße Survey", "Zoë Ørsted", "Research", "Very High", "", "2025-11-30", "2026-06-30", "20000.5", "40"},
    {"4", "Big Project Phase", "John Wilson", "Main Category", "Normal", "Cancelled", "2026-12-31", "2027-12-31",
     "1000", "5"},
    {"5", "Orphan Idea", "", "Ideas", "Low", "New", "", "", "", ""},
};

// ID, project, title, assigned to, description, status, priority, start, due, % complete, cost, cost in days.
const TaskFields taskRows[] = {
    {10, 1, "Order espresso machine", "Daniel Carter", "Ask for a quote", "Open", "Low", "2026-03-02", "2026-04-01", 50,
     300, 2},
    {11, 1, "Paint walls", "John Wilson", "Two coats", "Done", "High", "2026-04-01", "2026-05-01", 100, 120, 1},
    {12, 2, "Write copy", "Daniel Carter", "Landing page review", "Open", "High", "2026-01-11", "2026-02-01", 0, 50, 1},
    {13, 3, "Interview residents", "Zoë Ørsted", "", "Open", "Normal", "2025-12-01", "2026-01-15", 20, 0, 3},
    {14, 99, "Task of a project not listed", "John Wilson", "", "Open", "High", "2026-01-01", "2026-01-02", 0, 0, 0},
    {15, 5, "Find someone", "", "", "New", "Low", "", "", 0, 0, 0},
};

FilterIndex makeIndex() {
    FilterIndex index;
    for (const QStringList& row : projectRows) {
        const std::vector<QString> cells(row.begin(), row.end());
        index.addProject(cells.data());
    }
    for (const TaskFields& task : taskRows)
        index.addTask(task);
    index.finish();
    return index;
}

} // namespace

class TestFilterQuery : public QObject {
    Q_OBJECT
private slots:
    void terms_data();
    void terms();
    void folding_data();
    void folding();
};

void TestFilterQuery::terms_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("projects"); // matching project IDs; "-" when nothing filters
    QTest::addColumn<QString>("tasks");    // the tasks shown under the matching projects
    QTest::addColumn<QString>("problem");  // part of the reason for a term left out
    QTest::addColumn<int>("problemAt");

    auto row = [](const char* name, const char* typed, const char* projects, const char* tasks,
                  const char* problem = "", int at = -1) {
        QTest::newRow(name) << QString::fromUtf8(typed) << projects << tasks << problem << at;
    };
    // Free words: any shown column, any case, without accents; all words; phrases.
    row("nothing typed", "   ", "-", "");
    row("word without accent", "cafe", "1", "10,11");
    row("upper case with accent", "CAFÉ", "1", "10,11");
    row("sharp s typed as ss", "strasse", "3", "13");
    row("letter with stroke", "orsted zoe", "3", "13");
    row("owner or a task's assignee", "carter", "1,2", "10,12");
    row("all words, across project and task", "wilson paint", "1", "11");
    row("phrase", "\"paint walls\"", "1", "11");
    row("phrase in the wrong order", "\"walls paint\"", "", "");
    row("curly quotes", "\u201Cpaint walls\u201D", "1", "11");
    row("ISO date as a word", "2026-12-15", "1", "10,11");
    row("number as a word", "1500", "1", "10,11");
    row("three words, one from a task", "cafe wilson carter", "1", "10");
    // Field terms: header names without blanks, any case, short forms.
    row("owner", "owner:wilson", "1,4", "10,11");
    row("field name in capitals", "Owner:WILSON", "1,4", "10,11");
    row("owner, leaving out a word", "owner:wilson -cancelled", "1", "10,11");
    row("status of projects and of tasks", "status:open", "1,2,3", "10,12,13");
    row("whole status", "status=cancelled", "2,4", "12");
    row("priority contains", "priority:high", "1,2,3", "10,11,12,13");
    row("priority equals, short form", "prio=high", "1,2", "10,11,12");
    row("category", "category:main", "1,4", "10,11");
    row("category short form", "cat:research", "3", "13");
    row("name", "name:website", "2", "12");
    row("header with blanks", "projectname:survey", "3", "13");
    row("quoted value", "name:\"big project\"", "4", "");
    row("project id", "id:3", "3", "13");
    row("owner: alone finds projects without an owner", "owner:", "5", "15");
    row("owner=\"\" finds them as well", "owner=\"\"", "5", "15");
    row("leave out projects without an owner", "-owner: cat:research", "3", "13");
    row("task: with an empty field", "task:assignee:", "5", "15");
    // Numbers and dates.
    row("budget greater", "budget>1000", "1,3", "10,11,13");
    row("budget at least", "budget>=1000", "1,3,4", "10,11,13");
    row("budget equal", "budget:1000", "4", "");
    row("budget range", "budget:800..1500", "1,2,4", "10,11,12");
    row("budget less", "budget<1000", "2", "12");
    row("comparison after a colon", "budget:>1000", "1,3", "10,11,13");
    row("empty number never matches", "days<=10", "1,4", "10,11");
    row("start before a day", "start<2026-01-01", "3", "13");
    row("start up to a month", "start<=2026-01", "2,3", "12,13");
    row("end in a month", "end:2026-12", "1", "10,11");
    row("end in a year", "end:2027", "2,4", "12");
    row("start after a day", "start>2026-06-30", "4", "");
    row("date range", "start:2026-01..2026-03", "1,2", "10,11,12");
    // Task fields, task: terms and exclusions.
    row("due date of a task", "due:2026-04", "1", "10");
    row("task title", "title:paint", "1", "11");
    row("assignee", "assignee:carter", "1,2", "10,12");
    row("description", "desc:quote", "1", "10");
    row("percent complete", "%complete>=50", "1", "10,11");
    row("cost", "cost>100", "1", "10,11");
    row("task id", "taskid:12", "2", "12");
    row("word in tasks only", "task:wilson", "1", "11");
    row("field in tasks only", "task:status:done", "1", "11");
    row("task id through task:", "task:id:13", "3", "13");
    row("leave out a word", "-cancelled", "1,3,5", "10,11,13,15");
    row("leave out an owner", "-wilson", "2,3,5", "12,13,15");
    row("leave out tasks only", "-task:open", "1,2,3,4,5", "11,15");
    row("minus after task:", "task:-open", "1,2,3,4,5", "11,15");
    row("project found alone, one task left out", "wilson -paint", "1,4", "10");
    // Terms that cannot be read: marked with the reason and left out; the rest still filters.
    row("number expected", "budget>abc", "-", "", "Budget takes a number", 0);
    row("bad date", "start<2026-13-01", "-", "", "is not a date", 0);
    row("unknown column", "foo:bar", "-", "", "no column called", 0);
    row("comparison on text", "owner>carter", "-", "", "is text", 0);
    row("number field without value", "budget:", "-", "", "needs a value", 0);
    row("reversed number range", "budget:500..100", "-", "", "runs backwards", 0);
    row("reversed date range", "start:2026-03..2026-01", "-", "", "runs backwards", 0);
    row("reversed range after a good word", "cafe days:40..10", "1", "10,11", "runs backwards", 5);
    row("quote never closed", "cafe \"paint walls", "1", "10,11", "not closed", 5);
    row("lone minus", "-", "-", "", "A minus needs a word", 0);
    row("task: alone", "task:", "-", "", "task: needs a word", 0);
    row("project column after task:", "task:category:main", "-", "", "belongs to projects only", 0);
    row("open range", "budget:..", "-", "", "takes a number", 0);
    row("good word before a bad term", "cafe budget>x", "1", "10,11", "takes a number", 5);
}

void TestFilterQuery::terms() {
    QFETCH(QString, typed);
    QFETCH(QString, projects);
    QFETCH(QString, tasks);
    QFETCH(QString, problem);
    QFETCH(int, problemAt);

    const Query query = parse(typed);
    if (problem.isEmpty()) {
        QVERIFY2(query.problems.empty(), query.problems.empty() ? "" : qPrintable(query.problems.front().message));
    } else {
        QCOMPARE(query.problems.size(), size_t(1));
        QVERIFY2(query.problems.front().message.contains(problem, Qt::CaseInsensitive),
                 qPrintable(query.problems.front().message));
        QCOMPARE(query.problems.front().start, problemAt);
    }
    if (projects == QLatin1String("-")) {
        QVERIFY(!query.active());
        return;
    }
    QVERIFY(query.active());

    const FilterIndex index = makeIndex();
    const std::vector<char> match = index.matchProjects(query);
    QStringList matched, shownTasks;
    for (int p = 0; p < index.projectCount(); ++p) {
        if (!match[static_cast<size_t>(p)])
            continue;
        matched << projectRows[p].first();
        const std::vector<char> taskMatch = index.matchTasks(query, p);
        for (int k = 0; k < index.taskCount(p); ++k)
            if (taskMatch[static_cast<size_t>(k)])
                shownTasks << QString::number(index.taskId(p, k));
    }
    // A project that matches through one of its tasks shows that task.
    for (int p = 0; p < index.projectCount(); ++p) {
        if (!match[static_cast<size_t>(p)] || index.taskCount(p) == 0)
            continue;
        const std::vector<char> taskMatch = index.matchTasks(query, p);
        const bool alone = [&] {
            FilterIndex single;
            const std::vector<QString> cells(projectRows[p].begin(), projectRows[p].end());
            single.addProject(cells.data());
            single.finish();
            return single.matchProjects(query).front() != 0;
        }();
        if (!alone)
            QVERIFY(std::find(taskMatch.begin(), taskMatch.end(), 1) != taskMatch.end());
    }
    shownTasks.sort();
    QCOMPARE(matched.join(QLatin1Char(',')), projects);
    QCOMPARE(shownTasks.join(QLatin1Char(',')), tasks);
}

void TestFilterQuery::folding_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* text, const char* expected) {
        QTest::newRow(text) << QString::fromUtf8(text) << QString::fromUtf8(expected);
    };
    row("Café", "cafe");
    row("NAÏVE Ångström", "naive angstrom");
    row("ŁÓDŹ", "lodz");
    row("Straße STRASSE", "strasse strasse");
    row("Æon Œuvre", "aeon oeuvre");
    row("İstanbul", "istanbul");
    row("ＦＵＬＬ", "full");
    row("e\u0301te\u0301", "ete"); // accents typed as combining marks
    row("Пётр", "петр");
    row("😀 ok", "😀 ok");
}

void TestFilterQuery::folding() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(folded(text)), expected);
}

QTEST_GUILESS_MAIN(TestFilterQuery)
#include "tst_filterquery.moc"
