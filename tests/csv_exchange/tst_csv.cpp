// The CSV reader and writer and the cell rules: what is written reads back as the same table,
// the encodings that files come in, and the inputs that are refused with a reason.
#include "app/ValueText.h"
#include "csv_exchange/Csv.h"
#include "csv_exchange/CsvCells.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <random>

namespace {

// Cell pieces that matter to CSV: separators, quotes, line ends, marks and wide characters.
const QString pieces[] = {
    QStringLiteral(","),    QStringLiteral(";"),    QStringLiteral("\""),   QStringLiteral("\"\""),
    QStringLiteral("\r"),   QStringLiteral("\n"),   QStringLiteral("\r\n"), QStringLiteral(" "),
    QStringLiteral("\t"),   QStringLiteral("'"),    QStringLiteral("="),    QStringLiteral("a"),
    QStringLiteral("Café"), QString(QChar(0xFEFF)), QStringLiteral("€"),    QString::fromUtf8("\xF0\x9F\x98\x80"),
    QStringLiteral("x\"y"), QStringLiteral("1.5"),  QStringLiteral("")};

QString randomCell(std::mt19937& random) {
    QString cell;
    const int count = std::uniform_int_distribution<int>(0, 4)(random);
    for (int i = 0; i < count; ++i)
        cell += pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(random)];
    return cell;
}

CsvTable randomTable(std::mt19937& random) {
    CsvTable table;
    const int width = std::uniform_int_distribution<int>(1, 5)(random);
    const int height = std::uniform_int_distribution<int>(0, 6)(random);
    for (int c = 0; c < width; ++c)
        table.header << randomCell(random);
    for (int r = 0; r < height; ++r) {
        QStringList row;
        for (int c = 0; c < width; ++c)
            row << randomCell(random);
        table.rows.push_back(row);
    }
    return table;
}

QString describe(const CsvTable& t) {
    QStringList rows{t.header.join(QStringLiteral("|"))};
    for (const QStringList& r : t.rows)
        rows << r.join(QStringLiteral("|"));
    return rows.join(QStringLiteral(" // "));
}

} // namespace

class TestCsv : public QObject {
    Q_OBJECT
private slots:
    void writtenTablesReadBackTheSame();
    void tablesWithNulAreNotWritten();
    void decodesFiles_data();
    void decodesFiles();
    void refusesBadInput_data();
    void refusesBadInput();
    void refusesHugeFileUnread();
    void cellRules_data();
    void cellRules();
    void numberCells_data();
    void numberCells();
};

void TestCsv::writtenTablesReadBackTheSame() {
    std::mt19937 random(12);
    const QChar separators[] = {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')};
    for (int i = 0; i < 3000; ++i) {
        const CsvTable table = randomTable(random);
        // Files are written with commas; the others stand for the files of other programs, which
        // the reader must tell apart by their header row.
        const QChar separator = separators[i % 3];
        QByteArray bytes;
        QString error;
        QVERIFY2(Csv::write(table, &bytes, &error, separator), qPrintable(error));
        const CsvReadResult back = Csv::read(bytes);
        QVERIFY2(back.ok, qPrintable(back.error + QStringLiteral(" for ") + describe(table)));
        QVERIFY2(back.table.sameCells(table),
                 qPrintable(describe(table) + QStringLiteral(" read back as ") + describe(back.table)));
        QCOMPARE(back.encoding, QStringLiteral("UTF-8"));
        // One column has no separator to find: any reads it the same, and comma is taken.
        QCOMPARE(back.separator, table.header.size() > 1 ? separator : QLatin1Char(','));
    }
}

void TestCsv::tablesWithNulAreNotWritten() {
    CsvTable table;
    table.header = QStringList{QStringLiteral("Name")};
    table.rows.push_back({QStringLiteral("ok")});
    table.rows.push_back({QStringLiteral("a") + QChar(0) + QStringLiteral("b")});
    QByteArray bytes;
    QString error;
    QVERIFY(!Csv::write(table, &bytes, &error));
    QVERIFY2(error.contains(QStringLiteral("Row 2")), qPrintable(error));
    table.rows.pop_back();
    QVERIFY(!Csv::write(table, &bytes, &error, QLatin1Char('|')));
    QVERIFY2(error.contains(QStringLiteral("only by commas, semicolons or tabs")), qPrintable(error));
}

void TestCsv::decodesFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("cells"); // header and rows joined by "|" and " // "
    QTest::addColumn<QString>("lines"); // line of each data row
    QTest::addColumn<QString>("separator");

    QTest::newRow("UTF-8") << QByteArray("Name,City\r\nAnn,Z\xC3\xBCrich\r\n") << "UTF-8"
                           << "Name|City // Ann|Zürich"
                           << "2"
                           << ",";
    QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBFName\nCaf\xC3\xA9\n") << "UTF-8"
                                     << "Name // Café"
                                     << "2"
                                     << ",";
    QTest::newRow("Windows-1252") << QByteArray("Name,Price\nCaf\xE9,\x80 5\n") << "Windows-1252"
                                  << "Name|Price // Café|€ 5"
                                  << "2"
                                  << ",";
    QTest::newRow("UTF-16 with mark") << QByteArray("\xFF\xFEN\0a\0,\0b\0\n\0x\0,\0y\0", 18) << "UTF-16"
                                      << "Na|b // x|y"
                                      << "2"
                                      << ",";
    QTest::newRow("no line end at the end") << QByteArray("a,b\n1,2") << "UTF-8"
                                            << "a|b // 1|2"
                                            << "2"
                                            << ",";
    QTest::newRow("old Mac line ends") << QByteArray("a\r1\r2\r") << "UTF-8"
                                       << "a // 1 // 2"
                                       << "2,3"
                                       << ",";
    QTest::newRow("blank lines skipped") << QByteArray("a,b\n\n1,2\r\n\r\n3,4\n\n") << "UTF-8"
                                         << "a|b // 1|2 // 3|4"
                                         << "3,5"
                                         << ",";
    QTest::newRow("quoted line break counts lines") << QByteArray("a,b\n\"x\ny\",1\n2,3\n") << "UTF-8"
                                                    << "a|b // x\ny|1 // 2|3"
                                                    << "2,4"
                                                    << ",";
    QTest::newRow("quoted comma and quotes") << QByteArray("a\n\"1,\"\"2\"\"\"\n") << "UTF-8"
                                             << "a // 1,\"2\""
                                             << "2"
                                             << ",";
    QTest::newRow("quote inside a plain cell is kept") << QByteArray("a\n5\" disk\n") << "UTF-8"
                                                       << "a // 5\" disk"
                                                       << "2"
                                                       << ",";
    QTest::newRow("empty quoted cell is a row") << QByteArray("a\n\"\"\n") << "UTF-8"
                                                << "a // "
                                                << "2"
                                                << ",";
    QTest::newRow("trailing comma is an empty cell") << QByteArray("a,b\n1,\n") << "UTF-8"
                                                     << "a|b // 1|"
                                                     << "2"
                                                     << ",";
    // Semicolons and tabs, as address books and spreadsheets write them in many countries.
    QTest::newRow("semicolons") << QByteArray("First Name;Last Name;Notes\r\nJ\xFCrgen;M\xFCller;1,5 days\r\n")
                                << "Windows-1252"
                                << "First Name|Last Name|Notes // Jürgen|Müller|1,5 days"
                                << "2"
                                << ";";
    QTest::newRow("tabs") << QByteArray("a\tb c\n1,5\t\"x\ty\"\n") << "UTF-8"
                          << "a|b c // 1,5|x\ty"
                          << "2"
                          << "\t";
    QTest::newRow("semicolons in UTF-16") << QByteArray("\xFF\xFEN\0;\0b\0\n\0x\0,\0y\0;\0z\0", 20) << "UTF-16"
                                          << "N|b // x,y|z"
                                          << "2"
                                          << ";";
    QTest::newRow("quoted separators are not counted") << QByteArray("\"a;b;c\",d\n1,2\n") << "UTF-8"
                                                       << "a;b;c|d // 1|2"
                                                       << "2"
                                                       << ",";
    QTest::newRow("quoted header over two lines") << QByteArray("\"a\nb\";c\n1;2\n") << "UTF-8"
                                                  << "a\nb|c // 1|2"
                                                  << "3"
                                                  << ";";
    QTest::newRow("quote inside a plain cell hides nothing") << QByteArray("Size 5\";Note;x\n1;2;3\n") << "UTF-8"
                                                             << "Size 5\"|Note|x // 1|2|3"
                                                             << "2"
                                                             << ";";
    QTest::newRow("only the header row decides") << QByteArray("a,b\n1;2;3,4\n") << "UTF-8"
                                                 << "a|b // 1;2;3|4"
                                                 << "2"
                                                 << ",";
    QTest::newRow("semicolons outnumber commas") << QByteArray("Name;Notes, misc;City\nAnn;x;y\n") << "UTF-8"
                                                 << "Name|Notes, misc|City // Ann|x|y"
                                                 << "2"
                                                 << ";";
    QTest::newRow("a tie is read as commas") << QByteArray("a,b;c\n1,2;3\n") << "UTF-8"
                                             << "a|b;c // 1|2;3"
                                             << "2"
                                             << ",";
    QTest::newRow("blank lines before the header") << QByteArray("\r\n\na;b\n1;2\n") << "UTF-8"
                                                   << "a|b // 1|2"
                                                   << "4"
                                                   << ";";
}

void TestCsv::decodesFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, encoding);
    QFETCH(QString, cells);
    QFETCH(QString, lines);
    QFETCH(QString, separator);
    const CsvReadResult result = Csv::read(bytes);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.encoding, encoding);
    QCOMPARE(QString(result.separator), separator);
    QCOMPARE(describe(result.table), cells);
    QStringList got;
    for (const int line : result.table.lines)
        got << QString::number(line);
    QCOMPARE(got.join(QLatin1Char(',')), lines);
}

void TestCsv::refusesBadInput_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << QByteArray() << "empty";
    QTest::newRow("only blank lines") << QByteArray("\r\n\n") << "empty";
    QTest::newRow("ragged row") << QByteArray("a,b\n1,2\n3\n") << "Line 3 has 1 cells, but the header has 2";
    QTest::newRow("too many cells") << QByteArray("a\n1,2\n") << "Line 2 has 2 cells";
    QTest::newRow("quote never closed") << QByteArray("a,b\n1,\"open\n2,3\n")
                                        << "Line 2: a quoted cell is never closed";
    QTest::newRow("NUL byte") << QByteArray("a,b\n1,2\n3\0,4\n", 13) << "NUL byte (line 3)";
    QTest::newRow("binary file") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << "NUL byte";
    QTest::newRow("text after closing quote") << QByteArray("a\n\"x\"y\n") << "Line 2: a quoted cell is followed by";
    QTest::newRow("marked UTF-8 that is not") << QByteArray("\xEF\xBB\xBF"
                                                            "a\n\xE9\n")
                                              << "not UTF-8";
    QTest::newRow("UTF-16 with NUL") << QByteArray("\xFF\xFE"
                                                   "a\0\0\0",
                                                   6)
                                     << "NUL characters";
    QTest::newRow("ragged semicolon row") << QByteArray("a;b\n1;2\n3\n") << "Line 3 has 1 cells, but the header has 2";
    QTest::newRow("commas under a semicolon header")
        << QByteArray("First Name;Last Name\nAnn,Lee\n") << "Line 2 has 1 cells, but the header has 2";
    QTest::newRow("text after quote, semicolons")
        << QByteArray("a;b\n\"x\",y;1\n") << "Line 2: a quoted cell is followed by \",\" instead of a semicolon";
}

void TestCsv::refusesBadInput() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    const CsvReadResult result = Csv::read(bytes);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(reason), qPrintable(result.error));
}

void TestCsv::refusesHugeFileUnread() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(1024LL * 1024 * 1024)); // sparse: no gigabyte is written
    file.close();
    const CsvReadResult result = Csv::readFile(path);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(QStringLiteral("1.00 GiB")) || result.error.contains(QStringLiteral("1 GiB")),
             qPrintable(result.error));
    QVERIFY2(result.error.contains(QStringLiteral("cannot be read")), qPrintable(result.error));
}

void TestCsv::cellRules_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("cell");
    const int text = int(CsvCells::Kind::Text), number = int(CsvCells::Kind::Number), date = int(CsvCells::Kind::Date);
    QTest::newRow("plain text") << "Ann" << text << "Ann";
    QTest::newRow("formula") << "=cmd|' /C calc'!A0" << text << "'=cmd|' /C calc'!A0";
    QTest::newRow("plus") << "+1 555 0100" << text << "'+1 555 0100";
    QTest::newRow("minus text") << "-draft" << text << "'-draft";
    QTest::newRow("at") << "@SUM(A1)" << text << "'@SUM(A1)";
    QTest::newRow("tab") << "\tx" << text << "'\tx";
    QTest::newRow("quote before formula doubles") << "'=x" << text << "''=x";
    QTest::newRow("quote before text stays") << "'quoted'" << text << "'quoted'";
    QTest::newRow("negative number") << "-3.5" << number << "-3.5";
    QTest::newRow("number column holding text") << "=1+1" << number << "'=1+1";
    QTest::newRow("ISO date") << "2026-12-31" << date << "2026-12-31";
    QTest::newRow("date column holding text") << "-soon" << date << "'-soon";
}

void TestCsv::cellRules() {
    QFETCH(QString, stored);
    QFETCH(int, kind);
    QFETCH(QString, cell);
    QCOMPARE(CsvCells::exportCell(stored, CsvCells::Kind(kind)), cell);
    if (kind == int(CsvCells::Kind::Text))
        QCOMPARE(CsvCells::importText(cell), stored);
}

// Number cells are plain decimals: what a spreadsheet or another program writes as a number,
// and nothing that reads as one only by accident.
void TestCsv::numberCells_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("number"); // as plain text; empty when the cell is refused
    QTest::newRow("whole") << "1500"
                           << "1500";
    QTest::newRow("fraction") << "1234.5"
                              << "1234.5";
    QTest::newRow("negative") << "-0.25"
                              << "-0.25";
    QTest::newRow("blanks around") << " 12 "
                                   << "12";
    QTest::newRow("leading point") << ".5"
                                   << "0.5";
    QTest::newRow("formula guard") << "'42"
                                   << "42";
    QTest::newRow("many digits") << "12345678901234.568"
                                 << "12345678901234.568";
    QTest::newRow("exponent") << "1e3"
                              << "";
    QTest::newRow("plus") << "+5"
                          << "";
    QTest::newRow("decimal comma") << "1,5"
                                   << "";
    QTest::newRow("grouping") << "1,000.5"
                              << "";
    QTest::newRow("two points") << "1.2.3"
                                << "";
    QTest::newRow("hex") << "0x10"
                         << "";
    QTest::newRow("infinity") << "inf"
                              << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCsv::numberCells() {
    QFETCH(QString, cell);
    QFETCH(QString, number);
    const auto n = CsvCells::parseNumber(cell);
    QCOMPARE(n ? numberText(*n) : QString(), number);
}

QTEST_GUILESS_MAIN(TestCsv)
#include "tst_csv.moc"
