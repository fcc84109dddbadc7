// What the timeline shows, without widgets: dates read leniently (a bad date loses the bar, never
// the row), projects with their tasks, collapsing, marks, colour keys and the division into pages.
#include "app/ValueText.h"
#include "timeline/TimelineOutput.h"
#include "timeline/TimelineRows.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <QtTest>

using namespace Timeline;

namespace {

Item item(bool isTask, qint64 id, qint64 projectId, const QString& start, const QString& end) {
    Item i;
    i.isTask = isTask;
    i.id = id;
    i.projectId = projectId;
    i.name = (isTask ? QStringLiteral("T%1") : QStringLiteral("P%1")).arg(id);
    i.startText = start;
    i.endText = end;
    i.start = parseStoredDate(start);
    i.end = parseStoredDate(end);
    return i;
}

Item project(qint64 id, const QString& start, const QString& end, const QString& status = QStringLiteral("Open")) {
    Item p = item(false, id, id, start, end);
    p.who = QStringLiteral("Owner");
    p.category = QStringLiteral("Cat%1").arg(id % 2);
    p.priority = QStringLiteral("High");
    p.status = status;
    return p;
}

Item task(qint64 id, qint64 projectId, const QString& start, const QString& due, double percent = 0) {
    Item t = item(true, id, projectId, start, due);
    t.who = QStringLiteral("Someone");
    t.status = QStringLiteral("Open");
    t.priority = QStringLiteral("Low");
    t.percent = percent;
    return t;
}

QImage painted(const Scene& s, QSize size, int pixelSize = 0);

QStringList names(const Data& data, const std::vector<Row>& rows) {
    QStringList list;
    for (const Row& r : rows)
        list << itemOf(data, r).name;
    return list;
}

} // namespace

class TestTimelineRows : public QObject {
    Q_OBJECT
private slots:
    void storedDates_data();
    void storedDates();
    void bars_data();
    void bars();
    void projectsWithTasks();
    void aProjectsBarSpansItsPlan_data();
    void aProjectsBarSpansItsPlan();
    void outlineLinksAndTheCriticalPath();
    void range();
    void colourKeys();
    void aStatusKeepsItsColourInEveryDatabase();
    void theWorkGoingOnStandsOut_data();
    void theWorkGoingOnStandsOut();
    void namesWithLineBreaksStayOnTheirRow_data();
    void namesWithLineBreaksStayOnTheirRow();
    void pages_data();
    void pages();
    void longTimelinesGoIntoFiles_data();
    void longTimelinesGoIntoFiles();
    void writingCanBeStopped();
    void theLastNameIsWhole_data();
    void theLastNameIsWhole();
};

void TestTimelineRows::storedDates_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QDate>("date");
    QTest::newRow("ISO date") << "2026-12-07" << QDate(2026, 12, 7);
    QTest::newRow("with a time") << "2026-12-07 10:30:00" << QDate(2026, 12, 7);
    QTest::newRow("with a T time") << "2026-12-07T10:30:00" << QDate(2026, 12, 7);
    QTest::newRow("blanks around") << " 2026-12-07 " << QDate(2026, 12, 7);
    QTest::newRow("leap day") << "2024-02-29" << QDate(2024, 2, 29);
    QTest::newRow("missing") << "" << QDate();
    QTest::newRow("no such day") << "2026-02-30" << QDate();
    QTest::newRow("month 13") << "2026-13-01" << QDate();
    QTest::newRow("short date text") << "12/7/2026" << QDate();
    QTest::newRow("words") << "next week" << QDate();
    QTest::newRow("digits run on") << "2026-12-071" << QDate();
    QTest::newRow("letters in the year") << "2O26-12-07" << QDate();
    QTest::newRow("year zero") << "0000-01-01" << QDate();
}

void TestTimelineRows::storedDates() {
    QFETCH(QString, stored);
    QFETCH(QDate, date);
    QCOMPARE(parseStoredDate(stored), date);
}

void TestTimelineRows::bars_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("due");
    QTest::addColumn<double>("percent");
    QTest::addColumn<bool>("hasBar");
    QTest::addColumn<bool>("reversed");
    QTest::addColumn<bool>("overdue");
    QTest::addColumn<QString>("tipHas");
    // Today is 2026-12-07.
    // clang-format off
    QTest::newRow("plain")                 << "2026-12-01" << "2026-12-10" << 20.0 << true << false << false << "Due: ";
    QTest::newRow("one day")               << "2026-12-08" << "2026-12-08" << 0.0 << true << false << false << "Start: ";
    QTest::newRow("missing start")         << "" << "2026-12-10" << 0.0 << false << false << false << "Start: (none)";
    QTest::newRow("unreadable due")        << "2026-12-01" << "soon" << 0.0 << false << false << false << "(unreadable: soon)";
    QTest::newRow("end before start")      << "2026-12-10" << "2026-12-01" << 0.0 << true << true << true << "before the start";
    QTest::newRow("overdue")               << "2026-11-01" << "2026-12-06" << 99.5 << true << false << true << "Overdue";
    QTest::newRow("late but done")         << "2026-11-01" << "2026-12-06" << 100.0 << true << false << false << "100 %";
    QTest::newRow("due today is not late") << "2026-11-01" << "2026-12-07" << 0.0 << true << false << false << "0 %";
    QTest::newRow("a week late, none done") << "2026-11-01" << "2026-12-01" << 0.0 << true << false << true << "Complete: 0 %";
    // clang-format on
}

void TestTimelineRows::bars() {
    QFETCH(QString, start);
    QFETCH(QString, due);
    QFETCH(double, percent);
    QFETCH(bool, hasBar);
    QFETCH(bool, reversed);
    QFETCH(bool, overdue);
    QFETCH(QString, tipHas);
    const QDate today(2026, 12, 7);
    const Item t = task(1, 1, start, due, percent);
    QCOMPARE(t.hasBar(), hasBar);
    QCOMPARE(t.reversed(), reversed);
    QCOMPARE(t.overdue(today), overdue);
    QVERIFY2(toolTip(t, today).contains(tipHas), qPrintable(toolTip(t, today)));
    // A project is never overdue, however late its end.
    QVERIFY(!project(1, start, due).overdue(today));
}

void TestTimelineRows::aProjectsBarSpansItsPlan_data() {
    QTest::addColumn<QString>("end");       // the project's own End Date; it starts on 5 January
    QTest::addColumn<QStringList>("tasks"); // start|due
    QTest::addColumn<QDate>("barEnd");      // and its bar starts on the first task's day
    QTest::addColumn<bool>("differs");
    const QStringList two{"2026-01-06|2026-01-08", "2026-01-07|2026-01-12", "2026-01-10|2026-01-09"};
    QTest::newRow("plan within its dates") << "2026-01-20" << two << QDate(2026, 1, 12) << true;
    QTest::newRow("plan ends on its End Date") << "2026-01-12" << two << QDate(2026, 1, 12) << false;
    QTest::newRow("no End Date") << "" << two << QDate(2026, 1, 12) << true;
    QTest::newRow("no tasks with dates") << "2026-01-20" << QStringList{"|"} << QDate(2026, 1, 20) << false;
}

void TestTimelineRows::aProjectsBarSpansItsPlan() {
    QFETCH(QString, end);
    QFETCH(QStringList, tasks);
    QFETCH(QDate, barEnd);
    QFETCH(bool, differs);
    Data data;
    data.projects = {project(1, "2026-01-05", end)};
    std::vector<Item> list;
    for (const QString& dates : tasks)
        list.push_back(
            task(static_cast<qint64>(list.size()) + 10, 1, dates.section(u'|', 0, 0), dates.section(u'|', 1)));
    attachTasks(data, list);
    attachTasks(data, data.takeTasks()); // read again: its own dates stay its own
    const Item& p = data.projects[0];
    QCOMPARE(std::make_pair(p.start, p.end), std::make_pair(QDate(2026, 1, tasks.size() > 1 ? 6 : 5), barEnd));
    QCOMPARE(p.ownEnd, parseStoredDate(end));
    // The tooltip gives its own End Date and says where it differs from the plan's end.
    const QString tip = toolTip(p, {});
    QVERIFY2(tip.contains(QStringLiteral("End: ") + (end.isEmpty() ? QStringLiteral("(none)") : shortDateText(end))),
             qPrintable(tip));
    QCOMPARE(tip.contains(QLatin1String("differs from the end of its plan")), differs);
}

void TestTimelineRows::projectsWithTasks() {
    // Bad dates lose the bar and keep the row; tasks of projects not listed are left out.
    Data data;
    data.projects = {project(5, "2026-12-01", "2026-12-31"), project(2, "", "garbled"),
                     project(9, "2026-12-10", "2026-12-01")};
    attachTasks(data, {task(1, 5, "2026-12-09", "2026-12-12"), task(2, 2, "", ""), task(3, 5, "2026-12-02", "x"),
                       task(4, 77, "2026-12-02", "2026-12-03"), task(5, 5, "bad", "2026-12-03")});
    QCOMPARE(names(data, buildRows(data, {})), (QStringList{"P5", "T3", "T1", "T5", "P2", "T2", "P9"}));
    QCOMPARE(data.task(0, 0).category, data.projects[0].category); // a task is coloured by its project's category
    // Collapsed projects keep their row and hide their tasks.
    QCOMPARE(names(data, buildRows(data, {5})), (QStringList{"P5", "P2", "T2", "P9"}));
    QCOMPARE(names(data, buildRows(data, {5, 2, 9})), (QStringList{"P5", "P2", "P9"}));
    // The main window refilled the tasks of one project.
    replaceTasks(data, 2, {task(8, 2, "2026-12-05", "2026-12-06"), task(7, 2, "2026-12-01", "2026-12-02")});
    QCOMPARE(names(data, buildRows(data, {5})), (QStringList{"P5", "P2", "T7", "T8", "P9"}));
    replaceTasks(data, 1234, {task(6, 1234, "2026-12-05", "2026-12-06")}); // not listed: nothing changes
    QCOMPARE(buildRows(data, {}).size(), size_t(8));
}

void TestTimelineRows::outlineLinksAndTheCriticalPath() {
    // T4 under T1, T2 under T4, T3 on its own: each task follows its parent, each level in start
    // order; a parent that lies under its own child (which the database refuses) still shows.
    auto under = [](Item t, qint64 parent) {
        t.parentId = parent;
        return t;
    };
    Data data;
    data.mayHaveLinks = true;
    data.projects = {project(1, "2027-01-04", "2027-01-29"), project(2, "2027-01-04", "2027-01-29")};
    attachTasks(data,
                {task(1, 1, "2027-01-04", "2027-01-08"), under(task(2, 1, "2027-01-04", "2027-01-05"), 4),
                 task(3, 1, "2027-01-05", "2027-01-06"), under(task(4, 1, "2027-01-06", "2027-01-08"), 1),
                 under(task(5, 2, "2027-01-04", "2027-01-04"), 6), under(task(6, 2, "2027-01-05", "2027-01-05"), 5)});
    QCOMPARE(names(data, buildRows(data, {})), (QStringList{"P1", "T1", "T4", "T2", "T3", "P2", "T5", "T6"}));
    QCOMPARE((QList<int>{data.task(0, 0).depth, data.task(0, 1).depth, data.task(0, 2).depth}), (QList<int>{0, 1, 2}));
    QVERIFY(data.task(0, 0).summary && data.task(0, 1).summary && !data.task(0, 2).summary);

    // T3 -> T2 (finish to start): T3 ends after T1's tasks, so T3 and T2 carry the project's end.
    QVERIFY(!data.linksRead(0));
    setProjectLinks(data, 0, {{3, 2, LinkKind::FinishToStart, 0}, {3, 99, LinkKind::FinishToStart, 0}});
    QCOMPARE(data.linkCount(0), 1); // a link to a task not listed is left out
    scheduleProject(data, 0);
    QVERIFY(data.task(0, 3).critical && data.task(0, 2).critical);
    QVERIFY(toolTip(data.task(0, 3), {}).contains(QLatin1String("Slack: 0 working days (critical)")));
    // The critical path alone, and the rows of the tasks for drawing links to them.
    const std::vector<Row> critical = buildRows(data, {}, true);
    QCOMPARE(names(data, critical), (QStringList{"P1", "T1", "T4", "T2", "T3"}));
    const std::vector<int> rowOf = rowsOfTasks(data, critical);
    QCOMPARE(rowOf[static_cast<size_t>(data.projectLinks[0].ends[0].first)], 4);
    // The links read stay with their project through a new order of the projects, and are read
    // again once the project's tasks are.
    std::swap(data.projects[0], data.projects[1]);
    attachTasks(data, data.takeTasks());
    QCOMPARE(data.linkCount(1), 1);
    replaceTasks(data, 1, {task(3, 1, "2027-01-05", "2027-01-06")});
    QVERIFY(!data.linksRead(1));
}

void TestTimelineRows::range() {
    Data data;
    QCOMPARE(dateRange(data).first, QDate());
    data.projects = {project(1, "", "bad"), project(2, "2026-12-10", "2026-12-01")};
    attachTasks(data, {task(1, 1, "2027-03-01", ""), task(2, 2, "2025-05-05", "x")});
    QCOMPARE(dateRange(data), std::make_pair(QDate(2025, 5, 5), QDate(2027, 3, 1)));
}

void TestTimelineRows::colourKeys() {
    Data data;
    data.projects = {project(1, "", "", "open"), project(2, "", "", "Closed"), project(3, "", "", "")};
    attachTasks(data, {task(1, 1, "", "")});
    QCOMPARE(legendKeys(data, ColourBy::Status), (std::vector<QString>{"", "Closed", "open", "Open"}));
    QCOMPARE(legendKeys(data, ColourBy::Priority), (std::vector<QString>{"High", "Low"}));
    QCOMPARE(legendKeys(data, ColourBy::Category), (std::vector<QString>{"Cat0", "Cat1"}));
}

void TestTimelineRows::aStatusKeepsItsColourInEveryDatabase() {
    // Two databases with other value lists: "Open" sits elsewhere in each legend.
    Data one, other;
    one.projects = {project(1, "", "", "Open"), project(2, "", "", "Closed")};
    other.projects = {project(1, "", "", "Archived"), project(2, "", "", "Open"), project(3, "", "", "Blocked"),
                      project(4, "", "", "Active")};
    auto colourOfOpen = [](const Data& data) {
        Scene s;
        const std::vector<QString> keys = legendKeys(data, ColourBy::Status);
        for (size_t i = 0; i < keys.size(); ++i)
            s.colourIndex.insert(keys[i], static_cast<int>(i));
        return s.colourOf(project(9, "", "", "Open"));
    };
    QCOMPARE(colourOfOpen(one), colourOfOpen(other));
    QCOMPARE(colourOfOpen(one), keyColour(QStringLiteral("Open"), ColourBy::Status));
    // Eight values or fewer are spread over the colours, not all on one.
    QSet<QRgb> used;
    for (const char* status : {"Open", "Closed", "In process", "On hold", "Done", "Cancelled"})
        used.insert(keyColour(QLatin1String(status)).rgb());
    QVERIFY(used.size() >= 3);
}

void TestTimelineRows::theWorkGoingOnStandsOut_data() {
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("kind"); // StatusKind
    QTest::newRow("in process") << "In process" << int(StatusKind::Going);
    QTest::newRow("in progress") << "in progress" << int(StatusKind::Going);
    QTest::newRow("cancelled") << "Canceled by the customer" << int(StatusKind::Over);
    QTest::newRow("done") << " Done" << int(StatusKind::Over);
    QTest::newRow("not started") << "Not started" << int(StatusKind::Other);
}

void TestTimelineRows::theWorkGoingOnStandsOut() {
    QFETCH(QString, status);
    QFETCH(int, kind);
    QCOMPARE(int(statusKind(status)), kind);
    // Going: saturated and dark; over: a pale grey; any other status neither.
    const QColor colour = keyColour(status, ColourBy::Status);
    QCOMPARE(colour.hsvSaturation() > 200 && colour.lightness() < 100, kind == int(StatusKind::Going));
    QCOMPARE(colour.hsvSaturation() < 20 && colour.lightness() > 180, kind == int(StatusKind::Over));
    QCOMPARE(keyColour(status, ColourBy::Priority), keyColour(status)); // the other keys keep theirs
}

void TestTimelineRows::namesWithLineBreaksStayOnTheirRow_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one line") << "Garden"
                              << "Garden";
    QTest::newRow("two lines") << "Garden\nphase two"
                               << "Garden \u2026";
    QTest::newRow("Windows line ends") << "Garden\r\nphase two\r\nthree"
                                       << "Garden \u2026";
    QTest::newRow("line break at the end") << "Garden\n"
                                           << "Garden";
    QTest::newRow("Unicode line separator") << "Garden\u2028phase two"
                                            << "Garden \u2026";
}

void TestTimelineRows::namesWithLineBreaksStayOnTheirRow() {
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QCOMPARE(oneLine(name), shown);
    // Painted, in the names and in the chart.
    auto rowsAround = [](const QString& middleName) {
        Data data;
        data.projects = {project(1, "2026-01-06", "2026-01-08"), project(2, "2026-01-05", "2026-01-20"),
                         project(3, "2026-01-06", "2026-01-08")};
        data.projects[0].name = data.projects[2].name = QString();
        data.projects[1].name = middleName;
        attachTasks(data, {});
        const std::vector<Row> rows = buildRows(data, {});
        Scene s;
        s.data = &data;
        s.rows = &rows;
        s.scale = TimeScale(QDate(2026, 1, 1), 8);
        s.today = QDate(2026, 3, 10);
        s.colourIndex.insert(QStringLiteral("Open"), 0);
        const Geometry& g = s.geometry;
        QImage image(g.nameWidth + 400, g.scaleHeight() + 4 * g.rowHeight, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            paint(painter, s, image.size(), 0, 0);
        }
        return image;
    };
    // The name reads as its first line with the mark, on its own row: the image is the same as
    // for that text written on one line.
    QVERIFY(rowsAround(name) == rowsAround(shown));
}

void TestTimelineRows::pages_data() {
    QTest::addColumn<QSizeF>("page");
    QTest::addColumn<int>("rows");
    QTest::addColumn<double>("chartWidth");
    QTest::addColumn<int>("across");
    QTest::addColumn<int>("down");
    QTest::addColumn<int>("rowsPerPage");
    // Names 240 wide, scale 40 high, rows 22 high.
    QTest::newRow("fits one page") << QSizeF(1040, 700) << 10 << 500.0 << 1 << 1 << 30;
    QTest::newRow("no rows still one page") << QSizeF(1040, 700) << 0 << 0.0 << 1 << 1 << 30;
    QTest::newRow("exactly one page across") << QSizeF(1040, 700) << 30 << 800.0 << 1 << 1 << 30;
    QTest::newRow("one pixel more: two across") << QSizeF(1040, 700) << 31 << 801.0 << 2 << 2 << 30;
    QTest::newRow("many rows") << QSizeF(1040, 700) << 1000 << 3000.0 << 4 << 34 << 30;
    QTest::newRow("page lower than a row") << QSizeF(1040, 50) << 3 << 10.0 << 1 << 3 << 1;
    QTest::newRow("page narrower than the names") << QSizeF(200, 700) << 3 << 10.0 << 10 << 1 << 30;
}

void TestTimelineRows::pages() {
    QFETCH(QSizeF, page);
    QFETCH(int, rows);
    QFETCH(double, chartWidth);
    QFETCH(int, across);
    QFETCH(int, down);
    QFETCH(int, rowsPerPage);
    const PageGrid grid = pageGrid(page, Geometry{}, rows, chartWidth);
    QCOMPARE(grid.across, across);
    QCOMPARE(grid.down, down);
    QCOMPARE(grid.rowsPerPage, rowsPerPage);
    QVERIFY(grid.across * grid.chartWidth >= chartWidth); // every day lands on some page
}

namespace {

// `count` projects; the first spans the years 1 to 9999 when `allYears`, the others a week each.
struct LongTimeline {
    LongTimeline(int count, bool allYears) {
        for (int i = 1; i <= count; ++i)
            data.projects.push_back(project(i, "2026-01-05", "2026-01-12"));
        if (allYears)
            data.projects[0] = project(1, "0001-01-01", "9999-12-31");
        attachTasks(data, {});
        rows = buildRows(data, {});
        scene.data = &data;
        scene.rows = &rows;
        scene.scale = TimeScale(QDate(2026, 1, 1), 24); // the window's first zoom
        scene.today = QDate(2026, 1, 8);
        scene.colourIndex.insert(QStringLiteral("Open"), 0);
    }
    Data data;
    std::vector<Row> rows;
    Scene scene;
};

int pdfPages(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = file.readAll();
    return static_cast<int>(pdf.count("/Type /Page") - pdf.count("/Type /Pages"));
}

} // namespace

void TestTimelineRows::longTimelinesGoIntoFiles_data() {
    QTest::addColumn<int>("projects");
    QTest::addColumn<bool>("allYears");
    QTest::newRow("the years 1 to 9999") << 3 << true;
    QTest::newRow("20,000 rows") << 20000 << false;
    QTest::newRow("both") << 20000 << true;
}

void TestTimelineRows::longTimelinesGoIntoFiles() {
    QFETCH(int, projects);
    QFETCH(bool, allYears);
    const LongTimeline t(projects, allYears);
    QTemporaryDir dir;
    // As the view shows it, far more pages than anyone prints; fitted, no more than asked for.
    QVERIFY(planPages(pdfPageSize(), t.scene).pages() > pagesWithoutAsking);
    const PagePlan fitted = planPages(pdfPageSize(), t.scene, pagesWithoutAsking);
    QVERIFY(fitted.pages() <= pagesWithoutAsking);
    QCOMPARE(fitted.grid.across, 1); // the whole span on each page
    QString error;
    const QString pdf = dir.filePath(QStringLiteral("t.pdf"));
    QVERIFY2(exportFile(pdf, t.scene, &error, nullptr, pagesWithoutAsking), qPrintable(error));
    QCOMPARE(pdfPages(pdf), fitted.pages());

    // An image: the whole span within the size limit (drawn at a coarser zoom), not cut off at it.
    const QString png = dir.filePath(QStringLiteral("t.png"));
    int leftOut = -1;
    QVERIFY2(exportFile(png, t.scene, &error, &leftOut), qPrintable(error));
    const QImage image(png);
    QVERIFY(image.width() < maxImageSide && image.height() <= maxImageSide);
    const Geometry g;
    // Rows that do not fit even a quarter the size are left out, and said so.
    QCOMPARE(leftOut, std::max(0, projects - static_cast<int>((maxImageSide * 4 - g.scaleHeight()) / g.rowHeight)));
}

void TestTimelineRows::writingCanBeStopped() {
    const LongTimeline t(500, false);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("t.pdf"));
    QString error = QStringLiteral("unchanged");
    int told = 0, total = 0;
    const bool written = exportFile(pdf, t.scene, &error, nullptr, 0, [&](int done, int all) {
        told = done;
        total = all;
        return done < 3; // Cancel pressed during the third page
    });
    QVERIFY(!written);
    QVERIFY(error.isEmpty()); // nothing to report: the user stopped it
    QCOMPARE(told, 3);
    QVERIFY(total > 3);
    QVERIFY(!QFile::exists(pdf));
}

namespace {

QImage painted(const Scene& s, QSize size, int pixelSize) {
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QFont font = painter.font();
    if (pixelSize)
        font.setPixelSize(pixelSize);
    painter.setFont(font);
    paint(painter, s, size, 0, 0);
    return image;
}

// The rightmost column with a dark pixel below the time scale.
int rightmostDark(const QImage& image) {
    for (int x = image.width() - 1; x >= 0; --x)
        for (int y = Geometry().scaleHeight(); y < image.height(); ++y)
            if (qGray(image.pixel(x, y)) < 100)
                return x;
    return -1;
}

} // namespace

void TestTimelineRows::theLastNameIsWhole_data() {
    QTest::addColumn<QString>("last");
    QTest::newRow("task") << "task";
    QTest::newRow("milestone") << "milestone";
    QTest::newRow("milestone at the start of its day") << "milestone at start";
    QTest::newRow("summary") << "summary";
}

void TestTimelineRows::theLastNameIsWhole() {
    QFETCH(QString, last);
    // A project whose last task has a long name; today far away.
    Data data;
    data.projects = {project(1, "2026-01-05", "2026-01-16")};
    Item first = task(10, 1, "2026-01-08", "2026-01-10"), end = task(11, 1, "2026-01-08", "2026-01-16");
    end.name = QStringLiteral("The last one, with a long name");
    end.atDayStart = last == QLatin1String("milestone at start");
    end.milestone = last == QLatin1String("milestone") || end.atDayStart;
    end.start = end.milestone ? end.end : end.start;
    first.parentId = last == QLatin1String("summary") ? end.id : 0;
    attachTasks(data, {first, end});
    const std::vector<Row> rows = buildRows(data, {});
    const std::vector<int> rowOfTask = rowsOfTasks(data, rows);
    Scene s;
    s.data = &data;
    s.rows = &rows;
    s.rowOfTask = &rowOfTask;
    s.scale = TimeScale(QDate(2026, 1, 1), 24);
    s.today = QDate(2025, 1, 1);
    const Geometry& g = s.geometry;
    // A milestone stands at the end of its day, or at its start.
    if (end.milestone) {
        const double dayLeft = g.nameWidth + s.scale.x(end.end);
        QCOMPARE(barRect(s, end, end.start, end.end, 0, 0).center().x(),
                 end.atDayStart ? dayLeft : dayLeft + s.scale.pixelsPerDay());
    }

    // PNG and SVG files as wide as what the painter draws given room: the last name's last pixel.
    const int extent = rightmostDark(painted(paperScene(s), QSize(2000, g.scaleHeight() + 3 * g.rowHeight), 12));
    QTemporaryDir dir;
    QString error;
    QVERIFY2(exportFile(dir.filePath(QStringLiteral("t.png")), s, &error), qPrintable(error));
    const QImage png(dir.filePath(QStringLiteral("t.png")));
    QVERIFY2(png.width() > extent && rightmostDark(png) == extent, qPrintable(QString::number(png.width())));
    QVERIFY2(exportFile(dir.filePath(QStringLiteral("t.svg")), s, &error), qPrintable(error));
    QFile svg(dir.filePath(QStringLiteral("t.svg")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const auto box =
        QRegularExpression(QStringLiteral("viewBox=\"0 0 (\\d+) ")).match(QString::fromUtf8(svg.readAll()));
    QVERIFY2(box.captured(1).toInt() > extent, qPrintable(box.captured(1)));

    // The pointer over the task shows its link handles: every dark pixel of its name stays.
    const QSize size(900, g.scaleHeight() + 3 * g.rowHeight);
    const QImage plain = painted(s, size);
    const int row = rowOfTask[1], top = g.scaleHeight() + row * g.rowHeight;
    s.hoverRow = row;
    const QImage hovered = painted(s, size);
    QVERIFY(hovered != plain);
    const int from = static_cast<int>(barRect(s, end, end.start, end.end, top, 0).right()) + 2;
    int letters = 0;
    for (int x = from; x < size.width(); ++x)
        for (int y = top; y < top + g.rowHeight; ++y)
            if (qGray(plain.pixel(x, y)) < 100) {
                ++letters;
                QCOMPARE(hovered.pixel(x, y), plain.pixel(x, y));
            }
    QVERIFY(letters > 50);
}

QTEST_MAIN(TestTimelineRows) // the names are painted with the fonts of a GUI application
#include "tst_timeline_rows.moc"
