// The time axis without widgets: dates to pixels and back, the zoom steps, and the marks of the
// time scale in the user's locale.
#include "timeline/TimeScale.h"

#include <QtTest>

using namespace Timeline;

class TestTimeScale : public QObject {
    Q_OBJECT
private slots:
    void dateToPixel_data();
    void dateToPixel();
    void dragDays_data();
    void dragDays();
    void zoomSteps_data();
    void zoomSteps();
    void fit_data();
    void fit();
    void unitStarts_data();
    void unitStarts();
    void scaleMarks_data();
    void scaleMarks();
    void weekends_data();
    void weekends();
};

void TestTimeScale::dateToPixel_data() {
    QTest::addColumn<QDate>("origin");
    QTest::addColumn<double>("ppd");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("probe"); // a pixel inside the day
    const QDate o(2026, 1, 1);
    QTest::newRow("origin itself") << o << 24.0 << o << 0.0 << 0.0;
    QTest::newRow("next day") << o << 24.0 << QDate(2026, 1, 2) << 24.0 << 47.9;
    QTest::newRow("before the origin") << o << 24.0 << QDate(2025, 12, 31) << -24.0 << -0.5;
    QTest::newRow("across a leap day") << QDate(2024, 2, 28) << 10.0 << QDate(2024, 3, 1) << 20.0 << 25.0;
    QTest::newRow("half a pixel a day") << o << 0.5 << QDate(2027, 1, 1) << 182.5 << 182.9;
    QTest::newRow("a year at the closest zoom") << o << 64.0 << QDate(2027, 1, 1) << 365 * 64.0 << 365 * 64.0 + 63;
    QTest::newRow("years before") << o << 1.0 << QDate(2016, 1, 1) << -3653.0 << -3652.5;
}

void TestTimeScale::dateToPixel() {
    QFETCH(QDate, origin);
    QFETCH(double, ppd);
    QFETCH(QDate, date);
    QFETCH(double, x);
    QFETCH(double, probe);
    const TimeScale scale(origin, ppd);
    QCOMPARE(scale.x(date), x);
    QCOMPARE(scale.dateAt(x), date);     // the left edge belongs to the day
    QCOMPARE(scale.dateAt(probe), date); // and so does every pixel up to the next day
    QCOMPARE(scale.dateAt(x + ppd), date.addDays(1));
}

void TestTimeScale::dragDays_data() {
    QTest::addColumn<double>("ppd");
    QTest::addColumn<double>("dx");
    QTest::addColumn<qint64>("days");
    QTest::newRow("no move") << 24.0 << 0.0 << qint64(0);
    QTest::newRow("less than half a day stays") << 24.0 << 11.0 << qint64(0);
    QTest::newRow("more than half a day moves") << 24.0 << 13.0 << qint64(1);
    QTest::newRow("two days right") << 24.0 << 48.0 << qint64(2);
    QTest::newRow("two days left") << 24.0 << -50.0 << qint64(-2);
    QTest::newRow("wide zoom, many days a pixel") << 0.5 << 10.0 << qint64(20);
}

void TestTimeScale::dragDays() {
    QFETCH(double, ppd);
    QFETCH(double, dx);
    QFETCH(qint64, days);
    QCOMPARE(TimeScale(QDate(2026, 1, 1), ppd).daysFor(dx), days);
}

void TestTimeScale::zoomSteps_data() {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    const int last = static_cast<int>(Timeline::zoomSteps().size()) - 1;
    QTest::newRow("widest") << 0 << 1 << 0;
    QTest::newRow("default") << defaultZoom() << defaultZoom() + 1 << defaultZoom() - 1;
    QTest::newRow("closest") << last << last << last - 1;
    QTest::newRow("below the table") << -5 << 1 << 0;
    QTest::newRow("above the table") << last + 7 << last << last - 1;
}

void TestTimeScale::zoomSteps() {
    QFETCH(int, step);
    QFETCH(int, in);
    QFETCH(int, out);
    QCOMPARE(zoomIn(step), in);
    QCOMPARE(zoomOut(step), out);
    // Each step closer shows more pixels a day, and the unit never gets coarser.
    const auto& steps = Timeline::zoomSteps();
    for (size_t i = 1; i < steps.size(); ++i) {
        QVERIFY(steps[i].pixelsPerDay > steps[i - 1].pixelsPerDay);
        QVERIFY(static_cast<int>(steps[i].unit) <= static_cast<int>(steps[i - 1].unit));
    }
    QCOMPARE(steps.front().unit, ScaleUnit::Millennium);
    QCOMPARE(steps.back().unit, ScaleUnit::Day);
}

void TestTimeScale::fit_data() {
    QTest::addColumn<qint64>("days");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("ppd");
    QTest::newRow("a week on a wide screen: closest") << qint64(7) << 1000.0 << 64.0;
    QTest::newRow("a month") << qint64(31) << 1000.0 << 24.0;
    QTest::newRow("a quarter") << qint64(92) << 1000.0 << 8.0;
    QTest::newRow("a year") << qint64(365) << 1000.0 << 2.0;
    QTest::newRow("ten years: years") << qint64(3653) << 1000.0 << 0.25;
    QTest::newRow("a century: decades") << qint64(36525) << 1000.0 << 0.015;
    QTest::newRow("the years 1 to 9999 in 760 pixels")
        << QDate(1, 1, 1).daysTo(QDate(9999, 12, 31)) + 3 << 760.0 << 0.0002;
    QTest::newRow("longer than any span: the widest step") << qint64(100000000) << 1000.0 << 0.0002;
    QTest::newRow("no days at all") << qint64(0) << 1000.0 << 64.0;
    QTest::newRow("exactly fits") << qint64(25) << 1000.0 << 40.0;
}

void TestTimeScale::fit() {
    QFETCH(qint64, days);
    QFETCH(double, width);
    QFETCH(double, ppd);
    QCOMPARE(Timeline::zoomSteps()[static_cast<size_t>(fitZoom(days, width))].pixelsPerDay, ppd);
    // A zoom stored by an earlier version (0 was its widest step, 0.5 pixels a day) keeps its meaning.
    QCOMPARE(Timeline::zoomSteps()[static_cast<size_t>(zoomFromSetting(0))].pixelsPerDay, 0.5);
    QCOMPARE(zoomFromSetting(zoomToSetting(fitZoom(days, width))), fitZoom(days, width));
}

void TestTimeScale::unitStarts_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("firstDay");
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("next");
    const QDate thu(2026, 12, 10); // a Thursday
    QTest::newRow("day") << thu << int(ScaleUnit::Day) << int(Qt::Monday) << thu << thu.addDays(1);
    QTest::newRow("week from Monday") << thu << int(ScaleUnit::Week) << int(Qt::Monday) << QDate(2026, 12, 7)
                                      << QDate(2026, 12, 14);
    QTest::newRow("week from Sunday") << thu << int(ScaleUnit::Week) << int(Qt::Sunday) << QDate(2026, 12, 6)
                                      << QDate(2026, 12, 13);
    QTest::newRow("week from Saturday") << thu << int(ScaleUnit::Week) << int(Qt::Saturday) << QDate(2026, 12, 5)
                                        << QDate(2026, 12, 12);
    QTest::newRow("the first day itself")
        << QDate(2026, 12, 7) << int(ScaleUnit::Week) << int(Qt::Monday) << QDate(2026, 12, 7) << QDate(2026, 12, 14);
    QTest::newRow("year") << thu << int(ScaleUnit::Year) << int(Qt::Monday) << QDate(2026, 1, 1) << QDate(2027, 1, 1);
    QTest::newRow("decade") << thu << int(ScaleUnit::Decade) << int(Qt::Monday) << QDate(2020, 1, 1)
                            << QDate(2030, 1, 1);
    QTest::newRow("century") << thu << int(ScaleUnit::Century) << int(Qt::Monday) << QDate(2000, 1, 1)
                             << QDate(2100, 1, 1);
    QTest::newRow("the first decade begins in year 1")
        << QDate(5, 6, 7) << int(ScaleUnit::Decade) << int(Qt::Monday) << QDate(1, 1, 1) << QDate(10, 1, 1);
    QTest::newRow("the last century") << QDate(9999, 12, 31) << int(ScaleUnit::Century) << int(Qt::Monday)
                                      << QDate(9900, 1, 1) << QDate(10000, 1, 1);
    QTest::newRow("week over a year end")
        << QDate(2027, 1, 1) << int(ScaleUnit::Week) << int(Qt::Monday) << QDate(2026, 12, 28) << QDate(2027, 1, 4);
    QTest::newRow("month") << thu << int(ScaleUnit::Month) << int(Qt::Monday) << QDate(2026, 12, 1)
                           << QDate(2027, 1, 1);
    QTest::newRow("quarter") << QDate(2026, 8, 31) << int(ScaleUnit::Quarter) << int(Qt::Monday) << QDate(2026, 7, 1)
                             << QDate(2026, 10, 1);
    QTest::newRow("last quarter") << thu << int(ScaleUnit::Quarter) << int(Qt::Monday) << QDate(2026, 10, 1)
                                  << QDate(2027, 1, 1);
}

void TestTimeScale::unitStarts() {
    QFETCH(QDate, date);
    QFETCH(int, unit);
    QFETCH(int, firstDay);
    QFETCH(QDate, start);
    QFETCH(QDate, next);
    const auto u = static_cast<ScaleUnit>(unit);
    QCOMPARE(unitStart(date, u, static_cast<Qt::DayOfWeek>(firstDay)), start);
    QCOMPARE(nextUnit(start, u), next);
}

void TestTimeScale::scaleMarks_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("unit");
    QTest::addColumn<bool>("upper");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QDate>("first");
    // The first day after the last unit: a label is drawn only when it fits its unit.
    QTest::addColumn<QDate>("lastEnd");
    // 2026-12-03 (Thursday) to 2026-12-15.
    QTest::newRow("days") << "en_US" << int(ScaleUnit::Day) << false
                          << QStringList{"3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}
                          << QDate(2026, 12, 3) << QDate(2026, 12, 16);
    QTest::newRow("weeks begin on Sunday in the US")
        << "en_US" << int(ScaleUnit::Week) << false << QStringList{"29 Nov", "6 Dec", "13 Dec"} << QDate(2026, 11, 29)
        << QDate(2026, 12, 20);
    QTest::newRow("weeks begin on Monday in Germany")
        << "de_DE" << int(ScaleUnit::Week) << false << QStringList{"30 Nov.", "7 Dez.", "14 Dez."}
        << QDate(2026, 11, 30) << QDate(2026, 12, 21);
    QTest::newRow("month above days, in German")
        << "de_DE" << int(ScaleUnit::Day) << true << QStringList{"Dezember 2026"} << QDate(2026, 12, 1)
        << QDate(2027, 1, 1);
    QTest::newRow("month") << "en_US" << int(ScaleUnit::Month) << false << QStringList{"Dec"} << QDate(2026, 12, 1)
                           << QDate(2027, 1, 1);
    QTest::newRow("quarter") << "en_US" << int(ScaleUnit::Quarter) << false << QStringList{"Q4"} << QDate(2026, 10, 1)
                             << QDate(2027, 1, 1);
    QTest::newRow("year above quarters") << "en_US" << int(ScaleUnit::Quarter) << true << QStringList{"2026"}
                                         << QDate(2026, 1, 1) << QDate(2027, 1, 1);
    QTest::newRow("year") << "en_US" << int(ScaleUnit::Year) << false << QStringList{"2026"} << QDate(2026, 1, 1)
                          << QDate(2027, 1, 1);
    QTest::newRow("decade above years") << "en_US" << int(ScaleUnit::Year) << true << QStringList{"2020"}
                                        << QDate(2020, 1, 1) << QDate(2030, 1, 1);
    QTest::newRow("century above decades")
        << "en_US" << int(ScaleUnit::Decade) << true << QStringList{"2000"} << QDate(2000, 1, 1) << QDate(2100, 1, 1);
    QTest::newRow("millennium above centuries")
        << "en_US" << int(ScaleUnit::Century) << true << QStringList{"2000"} << QDate(2000, 1, 1) << QDate(3000, 1, 1);
    QTest::newRow("millennia: nothing above")
        << "en_US" << int(ScaleUnit::Millennium) << true << QStringList{} << QDate() << QDate();
    QTest::newRow("millennium") << "en_US" << int(ScaleUnit::Millennium) << false << QStringList{"2000"}
                                << QDate(2000, 1, 1) << QDate(3000, 1, 1);
}

void TestTimeScale::scaleMarks() {
    QFETCH(QString, locale);
    QFETCH(int, unit);
    QFETCH(bool, upper);
    QFETCH(QStringList, labels);
    QFETCH(QDate, first);
    QFETCH(QDate, lastEnd);
    const auto marks =
        ticks(QDate(2026, 12, 3), QDate(2026, 12, 15), static_cast<ScaleUnit>(unit), upper, QLocale(locale));
    QStringList got;
    for (const Tick& t : marks)
        got << t.label;
    QCOMPARE(got, labels);
    if (marks.empty())
        return;
    QCOMPARE(marks.front().date, first);
    for (size_t i = 0; i + 1 < marks.size(); ++i)
        QCOMPARE(marks[i].end, marks[i + 1].date);
    QCOMPARE(marks.back().end, lastEnd);
}

void TestTimeScale::weekends_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<bool>("weekend");
    QTest::newRow("Saturday in Germany") << "de_DE" << QDate(2026, 12, 5) << true;
    QTest::newRow("Sunday in Germany") << "de_DE" << QDate(2026, 12, 6) << true;
    QTest::newRow("Monday in Germany") << "de_DE" << QDate(2026, 12, 7) << false;
    QTest::newRow("Friday in Egypt") << "ar_EG" << QDate(2026, 12, 4) << true;
    QTest::newRow("Sunday in Egypt") << "ar_EG" << QDate(2026, 12, 6) << false;
}

void TestTimeScale::weekends() {
    QFETCH(QString, locale);
    QFETCH(QDate, date);
    QFETCH(bool, weekend);
    QCOMPARE(isWeekend(date, QLocale(locale)), weekend);
}

QTEST_GUILESS_MAIN(TestTimeScale)
#include "tst_timescale.moc"
