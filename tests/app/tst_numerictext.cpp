// The locale-aware number test of the editors and the number texts it hands to SQL.
#include "app/NumericText.h"
#include "app/ValueText.h"

#include <QtTest>

class TestNumericText : public QObject {
    Q_OBJECT
private slots:
    void acceptsWhatTheLocaleWrites_data();
    void acceptsWhatTheLocaleWrites();
    void storedNumbersRoundTripThroughTheEditorText_data();
    void storedNumbersRoundTripThroughTheEditorText();
    void plainTextKeepsEveryDigit_data();
    void plainTextKeepsEveryDigit();
};

void TestNumericText::acceptsWhatTheLocaleWrites_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<QString>("sql");
    const QString en = QStringLiteral("en_US");
    const QString de = QStringLiteral("de_DE");
    QTest::newRow("plain") << en << "1000" << true << "1000";
    QTest::newRow("outer blanks") << en << "  12  " << true << "12";
    QTest::newRow("signs") << en << "-5" << true << "-5";
    QTest::newRow("plus sign") << en << "+5" << true << "5";
    QTest::newRow("decimal") << en << "0.25" << true << "0.25";
    QTest::newRow("leading point") << en << ".5" << true << "0.5";
    QTest::newRow("exponent") << en << "1.5e3" << true << "1500";
    QTest::newRow("negative exponent") << en << "2E-3" << true << "0.002";
    QTest::newRow("grouping") << en << "1,000,000.5" << true << "1000000.5";
    QTest::newRow("huge whole number stays exact") << en << "9007199254740993" << true << "9007199254740993";
    QTest::newRow("comma is no decimal in en") << en << "1,5" << false << "";
    QTest::newRow("german decimal comma") << de << "1,5" << true << "1.5";
    QTest::newRow("german grouping") << de << "1.000,25" << true << "1000.25";
    QTest::newRow("german tenth") << de << "0,1" << true << "0.1";
    QTest::newRow("german grouped decimals") << de << "1.234.567,891" << true << "1234567.891";
    QTest::newRow("german small exponent") << de << "-3,5e-7" << true << "-3.5e-07";
    QTest::newRow("german many digits") << de << "12345678,123456789" << true << "12345678.12345679";
    QTest::newRow("negative zero") << en << "-0.0" << true << "0";
    QTest::newRow("empty") << en << "" << false << "";
    QTest::newRow("blanks") << en << "   " << false << "";
    QTest::newRow("letters") << en << "abc" << false << "";
    QTest::newRow("trailing letters") << en << "12abc" << false << "";
    QTest::newRow("inner blank") << en << "1 2" << false << "";
    QTest::newRow("nan") << en << "nan" << false << "";
    QTest::newRow("infinity") << en << "inf" << false << "";
    QTest::newRow("minus infinity") << en << "-inf" << false << "";
    QTest::newRow("overflow") << en << "1e999" << false << "";
    QTest::newRow("hex") << en << "0x10" << false << "";
}

void TestNumericText::acceptsWhatTheLocaleWrites() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(QString, sql);
    const QLocale l(locale);
    QCOMPARE(NumericText::isNumeric(text, l), numeric);
    QCOMPARE(NumericText::toSql(text, l), sql);
    if (numeric) { // SQL reads the text as the value typed
        bool ok = false;
        QCOMPARE(QLocale::c().toDouble(sql, &ok), l.toDouble(text.trimmed()));
        QVERIFY(ok);
    }
}

void TestNumericText::storedNumbersRoundTripThroughTheEditorText_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("sql");
    auto row = [](const char* tag, QString locale, QVariant stored, QString shown, QString sql) {
        QTest::newRow(tag) << locale << stored << shown << sql;
    };
    row("integer en", "en_US", qlonglong(1234567), "1234567", "1234567");
    row("integer de", "de_DE", qlonglong(1234567), "1234567", "1234567");
    row("real de", "de_DE", 1000.5, "1000,5", "1000.5");
    row("whole real", "en_US", 2.0, "2", "2");
    row("tenth", "en_US", 0.1, "0.1", "0.1");
    row("seventeen digits", "en_US", 12345678901234.568, "12345678901234.568", "12345678901234.568");
    row("null", "en_US", QVariant(), "", "");
    row("stored text", "en_US", QString("n/a"), "n/a", "");
}

void TestNumericText::storedNumbersRoundTripThroughTheEditorText() {
    QFETCH(QString, locale);
    QFETCH(QVariant, stored);
    QFETCH(QString, shown);
    QFETCH(QString, sql);
    const QLocale l(locale);
    const QString text = NumericText::toLocaleText(stored, l);
    QCOMPARE(text, shown);
    QCOMPARE(NumericText::toSql(text, l), sql);
}

// The plain text that lists, exports and copies between databases write: every digit the double
// holds, no exponent for ordinary sizes, and it reads back as the same double.
void TestNumericText::plainTextKeepsEveryDigit_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("budget with 17 digits") << 12345678901234.568 << "12345678901234.568";
    QTest::newRow("tenth") << 0.1 << "0.1";
    QTest::newRow("third") << 1.0 / 3 << "0.3333333333333333";
    QTest::newRow("negative fraction") << -1234.75 << "-1234.75";
    QTest::newRow("whole") << 1500.0 << "1500";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("large with a half") << 1e15 + 0.5 << "1000000000000000.5";
    QTest::newRow("large whole") << 1e20 << "100000000000000000000";
    QTest::newRow("very small") << 2.5e-7 << "2.5e-07";
}

void TestNumericText::plainTextKeepsEveryDigit() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(numberText(value), text);
    bool ok = false;
    QCOMPARE(QLocale::c().toDouble(numberText(value), &ok), value);
    QVERIFY(ok);
}

QTEST_GUILESS_MAIN(TestNumericText)
#include "tst_numerictext.moc"
