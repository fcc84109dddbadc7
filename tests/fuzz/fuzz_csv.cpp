// Fuzz target for the CSV reader and writer. Each input is taken two ways:
// - as the bytes of a file: the reader either refuses it with a reason or gives a table whose rows
//   all have the header's width; writing that table (with commas, and with the separator it was
//   read with) and reading it again gives the same table, a file written with commas is read with
//   commas, and writing it once more gives the same bytes;
// - as a table: its UTF-8 text cut into cells at U+001F and into rows of 1 to 5 cells (the first
//   byte chooses). Written with commas, semicolons or tabs and read back it is the same table, and
//   the reader finds the separator it was written with (comma for one column); a table with a NUL
//   character is refused by the writer, which no reader could take back.
// Every text cell also passes the formula guard there and back unchanged.
#include "FuzzTarget.h"

#include "csv_exchange/Csv.h"
#include "csv_exchange/CsvCells.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {

const QChar separators[] = {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')};

bool abortOnFault = true;
long faults = 0;

QString shown(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.left(200).toPercentEncoding(" ,\"'="));
}

void fault(const char* rule, const QByteArray& input, const QString& detail) {
    ++faults;
    std::fprintf(stderr, "FAULT: %s\n  input: \"%s\"\n  %s\n", rule, shown(input).toUtf8().constData(),
                 detail.toUtf8().constData());
    if (abortOnFault)
        std::abort();
}

void checkFile(const QByteArray& bytes) {
    const CsvReadResult read = Csv::read(bytes);
    if (!read.ok) {
        if (read.error.isEmpty())
            fault("a refused file names no reason", bytes, QString());
        return;
    }
    for (const QStringList& row : read.table.rows) {
        if (row.size() != read.table.header.size())
            fault("a row read does not have the header's width", bytes, QString());
    }
    QByteArray written;
    QString error;
    if (!Csv::write(read.table, &written, &error)) {
        fault("a table read cannot be written", bytes, error);
        return;
    }
    const CsvReadResult again = Csv::read(written);
    if (!again.ok || !again.table.sameCells(read.table))
        fault("a table read, written and read again differs", bytes, again.error);
    else if (again.separator != QLatin1Char(','))
        fault("a file written with commas is read with another separator", bytes, QString(again.separator));
    QByteArray twice;
    if (!Csv::write(again.table, &twice, &error) || twice != written)
        fault("writing the same table twice gives other bytes", bytes, error);
    // Written the way it came (with semicolons or tabs) it reads back the same as well.
    QByteArray asCame;
    if (!Csv::write(read.table, &asCame, &error, read.separator)) {
        fault("a table read cannot be written with its own separator", bytes, error);
        return;
    }
    const CsvReadResult same = Csv::read(asCame);
    if (!same.ok || !same.table.sameCells(read.table))
        fault("a table read, written with its separator and read again differs", bytes, same.error);
}

void checkTable(const QByteArray& bytes) {
    const QString text = QString::fromUtf8(bytes);
    const int width = bytes.isEmpty() ? 1 : 1 + static_cast<unsigned char>(bytes.front()) % 5;
    QStringList cells = text.split(QChar(0x1F));
    while (cells.size() % width != 0)
        cells << QString();
    CsvTable table;
    table.header = cells.mid(0, width);
    for (qsizetype i = width; i < cells.size(); i += width)
        table.rows.push_back(cells.mid(i, width));

    for (const QChar separator : separators) {
        QByteArray written;
        QString error;
        const bool ok = Csv::write(table, &written, &error, separator);
        if (text.contains(QChar(0))) {
            if (ok)
                fault("a table with a NUL character was written", bytes, QString());
            return;
        }
        if (!ok) {
            fault("a table could not be written", bytes, error);
            return;
        }
        const CsvReadResult back = Csv::read(written);
        if (!back.ok)
            fault("a written table is refused by the reader", bytes, back.error);
        else if (!back.table.sameCells(table))
            fault("a written table reads back as another table", bytes, QString(separator));
        else if (back.separator != (width > 1 ? separator : QLatin1Char(',')))
            fault("a written table is read with another separator", bytes, QString(back.separator));
    }

    for (const QString& cell : std::as_const(cells)) {
        if (CsvCells::importText(CsvCells::exportText(cell)) != cell)
            fault("the formula guard does not come off as it went on", bytes, cell);
        if (CsvCells::looksLikeFormula(CsvCells::exportText(cell)))
            fault("a guarded text still looks like a formula", bytes, cell);
    }
}

} // namespace

namespace FuzzTarget {

void setUp(int* argc, char*** argv) {
    static QCoreApplication* app = new QCoreApplication(*argc, *argv);
    (void)app;
}

void setAbortOnFault(bool abort) {
    abortOnFault = abort;
}

long faultCount() {
    return faults;
}

void run(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    checkFile(bytes);
    checkTable(bytes);
}

} // namespace FuzzTarget

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    FuzzTarget::setUp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkFile(bytes);
    checkTable(bytes);
    return 0;
}
