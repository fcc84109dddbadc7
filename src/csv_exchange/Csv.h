// Comma-separated text files (RFC 4180): one header row, then data rows of the same width.
// Written as UTF-8 (with a byte order mark, which spreadsheets need) with CRLF line ends; read from UTF-8 (with or
// without a byte order mark), UTF-16 with a byte order mark, or Windows-1252. Many address books and
// spreadsheets separate the cells with semicolons or tabs instead: the reader takes the separator from the
// header row, and the writer quotes every cell that holds any of the three, so that its files read back the
// same whichever separator the reader settles on.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

struct CsvTable {
    QStringList header;
    std::vector<QStringList> rows;
    // The file line on which each data row starts (1 is the header's line); empty when the table
    // was not read from a file.
    std::vector<int> lines;

    // Rows with another number of cells than the header, when the reader was told to read on past
    // them (CsvReadOptions::keepOddRows): their line and number of cells. They are not in rows.
    struct OddRow {
        int line;
        int cells;
    };
    std::vector<OddRow> oddRows;

    bool sameCells(const CsvTable& other) const { return header == other.header && rows == other.rows; }
    // The line of data row i for messages (falls back to i + 2: the header is line 1).
    int lineOf(size_t row) const { return row < lines.size() ? lines[row] : static_cast<int>(row) + 2; }
};

struct CsvReadOptions {
    // "UTF-8", "UTF-16" or "Windows-1252"; empty: decided from the bytes. A forced UTF-8 shows
    // bytes that are not UTF-8 as the replacement character.
    QString encoding;
    // A row with another number of cells than the header goes to CsvTable::oddRows instead of
    // refusing the whole file.
    bool keepOddRows = false;
};

struct CsvReadResult {
    bool ok = false;
    CsvTable table;
    QString error;                      // why the text was refused, for the user
    QString encoding;                   // "UTF-8", "UTF-16" or "Windows-1252"
    QChar separator = QLatin1Char(','); // ',', ';' or '\t', as found in the header row
};

namespace Csv {

// Files above this size are refused before they are read.
constexpr qint64 defaultMaxFileSize = 64LL * 1024 * 1024;

// Decodes and parses the bytes of a file. Blank lines are skipped; every other row must have as
// many cells as the header (unless options.keepOddRows). The whole file is read with the
// separator of its header row.
CsvReadResult read(const QByteArray& bytes, const CsvReadOptions& options = {});
// The encodings the reader knows, as CsvReadOptions and CsvReadResult name them.
QStringList encodings();
// The separator of a text whose first line that is not blank is its header row: the one of comma,
// semicolon and tab that occurs there most often outside quoted cells; comma when none of them leads.
QChar detectSeparator(QStringView text);
// "comma", "semicolon", "tab" (plural: "commas"...), for messages and the import preview.
QString separatorName(QChar separator, bool plural = false);
// Reads a file; refuses files larger than maxSize without reading them.
CsvReadResult readFile(const QString& path, qint64 maxSize = defaultMaxFileSize, const CsvReadOptions& options = {});

// The file text of a table, its cells separated by separator (comma, semicolon or tab). A cell is
// quoted when it holds a comma, a semicolon, a tab, a quote or a line break; a row of one empty
// cell is written as "" so that it is not a blank line. Fails (returns false and sets error) when
// a cell holds a NUL character, which no CSV reader accepts.
bool write(const CsvTable& table, QByteArray* out, QString* error, QChar separator = QLatin1Char(','));
// Writes the file in one go (the old file stays as it was when writing fails).
bool writeFile(const QString& path, const CsvTable& table, QString* error);

// Tab-separated text of one row, as spreadsheets paste it (cells with tabs, quotes or line
// breaks quoted).
QString tabSeparated(const QStringList& cells);

// Text decoding alone, exposed for tests: Windows-1252 bytes to text.
QString fromWindows1252(const QByteArray& bytes);

} // namespace Csv
