// The locale-aware number test of the editors and the number texts it hands to SQL.
#include "app/NumericText.h"

#include <QtTest>

class TestNumericText : public QObject {
    Q_OBJECT
private slots:
    void acceptsWhatTheLocaleWrites_data();
    void acceptsWhatTheLocaleWrites();
    void sqlTextIsReadAsTheSameValue();
    void storedNumbersRoundTripThroughTheEditorText_data();
    void storedNumbersRoundTripThroughTheEditorText();
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
}

void TestNumericText::sqlTextIsReadAsTheSameValue() {
    // Whatever the locale, the SQL text is read back by the C locale as the typed value.
    const QLocale de(QStringLiteral("de_DE"));
    const QStringList typed = {QStringLiteral("0,1"), QStringLiteral("1.234.567,891"), QStringLiteral("-3,5e-7"),
                               QStringLiteral("12345678,123456789")};
    for (const QString& t : typed) {
        bool ok = false;
        const double expected = de.toDouble(t, &ok);
        QVERIFY(ok);
        const QString sql = NumericText::toSql(t, de);
        QCOMPARE(QLocale::c().toDouble(sql, &ok), expected);
        QVERIFY2(ok, qPrintable(sql));
        QVERIFY2(!sql.contains(QLatin1Char(',')), qPrintable(sql));
    }
}

void TestNumericText::storedNumbersRoundTripThroughTheEditorText_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("sql");
    QTest::newRow("integer en") << "en_US" << QVariant(qlonglong(1234567)) << "1234567"
                                << "1234567";
    QTest::newRow("integer de") << "de_DE" << QVariant(qlonglong(1234567)) << "1234567"
                                << "1234567";
    QTest::newRow("real de") << "de_DE" << QVariant(1000.5) << "1000,5"
                             << "1000.5";
    QTest::newRow("whole real") << "en_US" << QVariant(2.0) << "2"
                                << "2";
    QTest::newRow("tenth") << "en_US" << QVariant(0.1) << "0.1"
                           << "0.1";
    QTest::newRow("null") << "en_US" << QVariant() << ""
                          << "";
    QTest::newRow("stored text") << "en_US" << QVariant(QStringLiteral("n/a")) << "n/a"
                                 << "";
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

QTEST_GUILESS_MAIN(TestNumericText)
#include "tst_numerictext.moc"
