#include "Csv.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

// The characters of Windows-1252 bytes 0x80 to 0x9F; the five unused bytes keep their value.
constexpr char16_t windows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                          0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

CsvReadResult refused(const QString& why) {
    CsvReadResult result;
    result.error = why;
    return result;
}

// Whether every surrogate of the text is one half of a pair.
bool pairedSurrogates(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return false;
    }
    return true;
}

const QString utf8Name = QStringLiteral("UTF-8");
const QString utf16Name = QStringLiteral("UTF-16");
const QString windows1252Name = QStringLiteral("Windows-1252");

// Decodes the bytes in the encoding the user chose; false with a reason when they are not text.
bool decodeAs(const QString& chosen, const QByteArray& bytes, QString* text, QString* encoding, QString* error) {
    *encoding = chosen;
    if (chosen == utf16Name) {
        const bool bigEndian = bytes.startsWith("\xFE\xFF");
        const qsizetype mark = bigEndian || bytes.startsWith("\xFF\xFE") ? 2 : 0;
        QStringDecoder decoder(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
        *text = decoder.decode(bytes.mid(mark));
    } else {
        const qsizetype nul = bytes.indexOf('\0');
        if (nul >= 0) {
            const int line = static_cast<int>(bytes.left(nul).count('\n')) + 1;
            *error = QStringLiteral("The file holds a NUL byte (line %1), so it is not a CSV text file.").arg(line);
            return false;
        }
        // A byte order mark is never part of the text, whichever encoding is chosen.
        const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
        if (chosen == windows1252Name) {
            *text = Csv::fromWindows1252(body);
        } else {
            QStringDecoder decoder(QStringConverter::Utf8);
            *text = decoder.decode(body);
            *encoding = utf8Name;
        }
    }
    if (text->contains(QChar(0))) {
        *error = QStringLiteral("The file holds NUL characters, so it is not a text file.");
        return false;
    }
    return true;
}

// Decodes the bytes; false with a reason when they are not text.
bool decode(const QByteArray& bytes, QString* text, QString* encoding, QString* error) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                               QStringConverter::Flag::Stateless);
        *text = decoder.decode(bytes.mid(2));
        *encoding = QStringLiteral("UTF-16");
        if (decoder.hasError() || bytes.size() % 2 != 0 || !pairedSurrogates(*text)) {
            *error = QStringLiteral("The file is marked as UTF-16 but is not valid UTF-16 text.");
            return false;
        }
        if (text->contains(QChar(0))) {
            *error = QStringLiteral("The file holds NUL characters, so it is not a text file.");
            return false;
        }
        return true;
    }
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) {
        const int line = static_cast<int>(bytes.left(nul).count('\n')) + 1;
        *error = QStringLiteral("The file holds a NUL byte (line %1), so it is not a CSV text file.").arg(line);
        return false;
    }
    QByteArrayView body(bytes);
    const bool bom = body.startsWith("\xEF\xBB\xBF");
    if (bom)
        body = body.sliced(3);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    *text = utf8.decode(body);
    if (!utf8.hasError()) {
        *encoding = QStringLiteral("UTF-8");
        return true;
    }
    if (bom) {
        *error = QStringLiteral("The file is marked as UTF-8 but holds bytes that are not UTF-8.");
        return false;
    }
    *text = Csv::fromWindows1252(bytes);
    *encoding = QStringLiteral("Windows-1252");
    return true;
}

// The characters that the reader may take for the separator.
bool isSeparator(QChar c) {
    return c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char('\t');
}

// Whether a cell must be quoted: when it holds a character of specials, a quote or a line break.
bool needsQuotes(const QString& cell, QStringView specials) {
    // A leading byte order mark would be taken for the file's own.
    if (cell.startsWith(QChar(0xFEFF)))
        return true;
    for (const QChar c : cell) {
        if (specials.contains(c) || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    }
    return false;
}

void appendCell(QString& out, const QString& cell, QStringView specials) {
    if (!needsQuotes(cell, specials)) {
        out += cell;
        return;
    }
    out += QLatin1Char('"');
    for (const QChar c : cell) {
        if (c == QLatin1Char('"'))
            out += QLatin1Char('"');
        out += c;
    }
    out += QLatin1Char('"');
}

} // namespace

namespace Csv {

QString fromWindows1252(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        text += (b >= 0x80 && b < 0xA0) ? QChar(windows1252High[b - 0x80]) : QChar(char16_t(b));
    }
    return text;
}

QChar detectSeparator(QStringView text) {
    // Quotes are told apart as the reader does: a quote opens a quoted cell only at the start of a
    // cell, which here is the start of the line or any of the three characters.
    int commas = 0;
    int semicolons = 0;
    int tabs = 0;
    bool quoted = false;
    bool cellStart = true;
    bool started = false; // past the blank lines before the header
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text.at(i + 1) == QLatin1Char('"'))
                    ++i;
                else
                    quoted = false;
            }
            continue;
        }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (started)
                break;
            continue;
        }
        started = true;
        if (isSeparator(c)) {
            ++(c == QLatin1Char(',') ? commas : c == QLatin1Char(';') ? semicolons : tabs);
            cellStart = true;
        } else {
            quoted = c == QLatin1Char('"') && cellStart;
            cellStart = false;
        }
    }
    if (semicolons > commas && semicolons > tabs)
        return QLatin1Char(';');
    if (tabs > commas && tabs > semicolons)
        return QLatin1Char('\t');
    return QLatin1Char(',');
}

QString separatorName(QChar separator, bool plural) {
    QString name = separator == QLatin1Char(';')    ? QStringLiteral("semicolon")
                   : separator == QLatin1Char('\t') ? QStringLiteral("tab")
                                                    : QStringLiteral("comma");
    if (plural)
        name += QLatin1Char('s');
    return name;
}

QStringList encodings() {
    return {utf8Name, windows1252Name, utf16Name};
}

CsvReadResult read(const QByteArray& bytes, const CsvReadOptions& options) {
    CsvReadResult result;
    QString text;
    const bool decoded = options.encoding.isEmpty()
                             ? decode(bytes, &text, &result.encoding, &result.error)
                             : decodeAs(options.encoding, bytes, &text, &result.encoding, &result.error);
    if (!decoded)
        return result;
    const QChar separator = detectSeparator(text);

    std::vector<QStringList> records;
    std::vector<int> lines;
    QStringList record;
    QString cell;
    int line = 1;
    int recordLine = 1;
    bool quoted = false;    // inside a quoted cell
    bool wasQuoted = false; // the current cell was quoted and has closed
    bool cellStarted = false;
    int quoteLine = 0;

    auto endRecord = [&] {
        // A line with nothing on it is skipped.
        if (record.isEmpty() && !cellStarted && cell.isEmpty()) {
            recordLine = line;
            return;
        }
        record << cell;
        records.push_back(record);
        lines.push_back(recordLine);
        record.clear();
        cell.clear();
        cellStarted = false;
        wasQuoted = false;
    };

    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text.at(i + 1) == QLatin1Char('"')) {
                    cell += c;
                    ++i;
                } else {
                    quoted = false;
                    wasQuoted = true;
                }
            } else {
                if (c == QLatin1Char('\n') ||
                    (c == QLatin1Char('\r') && !(i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))))
                    ++line;
                cell += c;
            }
            continue;
        }
        if (c == separator) {
            record << cell;
            cell.clear();
            cellStarted = true;
            wasQuoted = false;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endRecord();
            ++line;
            recordLine = line;
        } else if (wasQuoted) {
            return refused(QStringLiteral("Line %1: a quoted cell is followed by \"%2\" instead of a %3 or "
                                          "the end of the line.")
                               .arg(line)
                               .arg(c)
                               .arg(separatorName(separator)));
        } else if (c == QLatin1Char('"') && cell.isEmpty()) {
            quoted = true;
            cellStarted = true;
            quoteLine = line;
        } else {
            cell += c; // a quote inside an unquoted cell is kept as it is
            cellStarted = true;
        }
    }
    if (quoted)
        return refused(QStringLiteral("Line %1: a quoted cell is never closed (a quote is missing).").arg(quoteLine));
    endRecord();

    if (records.empty())
        return refused(QStringLiteral("The file is empty: it has no header row."));
    result.table.header = records.front();
    const auto width = result.table.header.size();
    for (size_t r = 1; r < records.size(); ++r) {
        if (records[r].size() == width) {
            result.table.rows.push_back(std::move(records[r]));
            result.table.lines.push_back(lines[r]);
        } else if (options.keepOddRows) {
            result.table.oddRows.push_back({lines[r], static_cast<int>(records[r].size())});
        } else {
            return refused(QStringLiteral("Line %1 has %2 cells, but the header has %3.")
                               .arg(lines[r])
                               .arg(records[r].size())
                               .arg(width));
        }
    }
    result.separator = separator;
    result.ok = true;
    return result;
}

CsvReadResult readFile(const QString& path, qint64 maxSize, const CsvReadOptions& options) {
    const QFileInfo info(path);
    if (!info.isFile())
        return refused(QStringLiteral("The file '%1' does not exist.").arg(path));
    if (info.size() > maxSize) {
        const QLocale c = QLocale::c();
        return refused(QStringLiteral("The file '%1' is %2; files over %3 cannot be read.")
                           .arg(info.fileName(), c.formattedDataSize(info.size()), c.formattedDataSize(maxSize)));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("The file '%1' could not be read: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.read(maxSize + 1);
    if (bytes.size() > maxSize) // grew while we looked
        return refused(QStringLiteral("The file '%1' is too large to be read.").arg(info.fileName()));
    return read(bytes, options);
}

bool write(const CsvTable& table, QByteArray* out, QString* error, QChar separator) {
    if (!isSeparator(separator)) {
        *error = QStringLiteral("Cells can be separated only by commas, semicolons or tabs.");
        return false;
    }
    // Every character that the reader might take for the separator is quoted, whichever one
    // separates the cells: the header row then holds outside quotes only the separator written.
    static const QString specials = QStringLiteral(",;\t");
    QString text;
    auto appendRecord = [&](const QStringList& cells, int row) {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (cells[i].contains(QChar(0))) {
                *error = row == 0
                             ? QStringLiteral("A column name holds a NUL character, which a CSV file cannot hold.")
                             : QStringLiteral("Row %1 holds a NUL character, which a CSV file cannot hold.").arg(row);
                return false;
            }
            if (i > 0)
                text += separator;
            appendCell(text, cells[i], specials);
        }
        if (cells.size() == 1 && cells.front().isEmpty())
            text += QLatin1String("\"\"");
        text += QLatin1String("\r\n");
        return true;
    };
    if (table.header.isEmpty()) {
        *error = QStringLiteral("A table without columns cannot be written.");
        return false;
    }
    if (!appendRecord(table.header, 0))
        return false;
    for (size_t r = 0; r < table.rows.size(); ++r) {
        if (table.rows[r].size() != table.header.size()) {
            *error = QStringLiteral("Row %1 has %2 cells, but the header has %3.")
                         .arg(r + 1)
                         .arg(table.rows[r].size())
                         .arg(table.header.size());
            return false;
        }
        if (!appendRecord(table.rows[r], static_cast<int>(r) + 1))
            return false;
    }
    // The byte order mark tells spreadsheets that the file is UTF-8.
    *out = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    return true;
}

bool writeFile(const QString& path, const CsvTable& table, QString* error) {
    QByteArray bytes;
    if (!write(table, &bytes, error))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("The file '%1' could not be written: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString tabSeparated(const QStringList& cells) {
    QString out;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out += QLatin1Char('\t');
        appendCell(out, cells[i], u"\t");
    }
    return out;
}

} // namespace Csv
