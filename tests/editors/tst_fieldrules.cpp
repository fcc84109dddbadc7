// The editors' rules for dates and numbers beyond "present and numeric", without a window.
#include "editors/FieldRules.h"

#include <QtTest>

class TestFieldRules : public QObject {
    Q_OBJECT
private slots:
    void numbers_data();
    void numbers();
    void dates_data();
    void dates();
};

void TestFieldRules::numbers_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("plain");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<bool>("outsidePercent");
    auto row = [](const char* locale, const QString& text, bool plain, bool negative, bool outsidePercent) {
        QTest::newRow(qPrintable(QStringLiteral("%1 '%2'").arg(QLatin1String(locale), text)))
            << locale << text << plain << negative << outsidePercent;
    };
    row("en_US", "0", true, false, false);
    row("en_US", " 12.5 ", true, false, false);
    row("en_US", ".5", true, false, false);
    row("en_US", "1,234,567.25", true, false, true);
    row("en_US", "100.01", true, false, true);
    row("en_US", "-0", true, false, false);
    row("en_US", "-10", true, true, true);
    row("en_US", "1e3", false, false, false);
    row("en_US", "0x10", false, false, false);
    row("en_US", "inf", false, false, false);
    row("en_US", "nan", false, false, false);
    row("en_US", "1,2,3", false, false, false);
    row("en_US", "12,34", false, false, false);
    row("en_US", "", false, false, false);
    row("en_US", "1 000", false, false, false);
    row("en_US", "12,5", false, false, false);
    row("de_DE", "12,5", true, false, false);
    row("de_DE", "1.000,5", true, false, true);
    row("de_DE", "-3,25", true, true, true);
    row("de_DE", "12.5", false, false, false);
    row("de_DE", "2,5e1", false, false, false);
    row("C", "150", true, false, true);
}

void TestFieldRules::numbers() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(bool, plain);
    QFETCH(bool, negative);
    QFETCH(bool, outsidePercent);
    const QLocale l(locale);
    QCOMPARE(FieldRules::isPlainNumber(text, l), plain);
    QCOMPARE(FieldRules::isNegative(text, l), negative);
    QCOMPARE(FieldRules::isOutsidePercent(text, l), outsidePercent);
}

void TestFieldRules::dates_data() {
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QDate>("end");
    QTest::addColumn<bool>("startPlausible");
    QTest::addColumn<bool>("endBeforeStart");
    QTest::newRow("same day") << QDate(2026, 1, 20) << QDate(2026, 1, 20) << true << false;
    QTest::newRow("a year before") << QDate(2026, 1, 20) << QDate(2025, 1, 20) << true << true;
    QTest::newRow("first day") << QDate(1900, 1, 1) << QDate(2200, 12, 31) << true << false;
    QTest::newRow("day before the first") << QDate(1899, 12, 31) << QDate(2026, 1, 1) << false << false;
    QTest::newRow("day after the last") << QDate(2201, 1, 1) << QDate(2201, 1, 2) << false << false;
    QTest::newRow("year 1") << QDate(1, 1, 1) << QDate(9999, 12, 31) << false << false;
    QTest::newRow("missing start") << QDate() << QDate(2026, 1, 1) << false << false;
    QTest::newRow("missing end") << QDate(2026, 1, 1) << QDate() << true << false;
}

void TestFieldRules::dates() {
    QFETCH(QDate, start);
    QFETCH(QDate, end);
    QFETCH(bool, startPlausible);
    QFETCH(bool, endBeforeStart);
    QCOMPARE(FieldRules::isPlausibleDate(start), startPlausible);
    QCOMPARE(FieldRules::endsBeforeStart(start, end), endBeforeStart);
}

QTEST_MAIN(TestFieldRules)
#include "tst_fieldrules.moc"
