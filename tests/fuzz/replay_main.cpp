// The fuzz target without libFuzzer: runs the same checks over the corpus files and folders named
// on the command line and over --count texts made from a fixed seed (--seed), so an ordinary
// build tries the same rules. Exit status 1 when any check failed.
#include "FuzzTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

// Pieces that matter to the SQL text rules and to the numeric test.
const char16_t* const textPieces[] = {u"'",          u"''",         u"'''",
                                      u"\"",         u"[",          u"]",
                                      u"[x]",        u";",          u"; drop table T;",
                                      u"--",         u"/*",         u"*/",
                                      u"+",          u"||",         u"(",
                                      u")",          u",",          u"\\",
                                      u"%",          u"_",          u"?",
                                      u":a",         u"@a",         u"$1",
                                      u"first(",     u"last(",      u" from T",
                                      u" ",          u"\t",         u"\n",
                                      u"\r",         u"\x01",       u"\x1f",
                                      u"\x7f",       u"\x00",       u"\u00a0",
                                      u"\u202f",     u"\u2028",     u"\ufeff",
                                      u"\ufffd",     u"é",          u"Zürich",
                                      u"中文",       u"ש",          u"\U0001F600",
                                      u"\U00010348", u"\U0010FFFD", u"a",
                                      u"Ann",        u"O'Brien",    u"select",
                                      u"x'00'",      u"char(0)",    u"NULL"};

const char16_t* const numberPieces[] = {u"0",
                                        u"1",
                                        u"2",
                                        u"5",
                                        u"9",
                                        u"12",
                                        u"000",
                                        u"999",
                                        u".",
                                        u",",
                                        u"-",
                                        u"+",
                                        u"e",
                                        u"E",
                                        u" ",
                                        u"٫",
                                        u"٬",
                                        u"٣",
                                        u"٠",
                                        u"\u00a0",
                                        u"\u202f",
                                        u"'",
                                        u"1e308",
                                        u"e-324",
                                        u"9223372036854775807",
                                        u"18446744073709551616",
                                        u"inf",
                                        u"nan",
                                        u"0x1F"};

template <size_t N> QString generate(std::mt19937& random, const char16_t* const (&pieces)[N], int maxPieces) {
    QString text;
    const int count = std::uniform_int_distribution<int>(0, maxPieces)(random);
    for (int i = 0; i < count; ++i) {
        const char16_t* piece = pieces[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
        // u"\x00" is a piece of its own: one NUL character.
        text += piece[0] == 0 ? QString(QChar(0)) : QString::fromUtf16(piece);
    }
    return text;
}

int runFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(2);
    }
    FuzzTarget::run(QString::fromUtf8(file.readAll()));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    FuzzTarget::setUp(&argc, &argv);
    FuzzTarget::setAbortOnFault(false);

    long count = 0;
    unsigned seed = 1;
    QStringList paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--count") == 0 && i + 1 < argc)
            count = std::strtol(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc)
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else
            paths << QFile::decodeName(argv[i]);
    }

    long files = 0;
    for (const QString& path : std::as_const(paths)) {
        if (QFileInfo(path).isDir()) {
            const QDir dir(path);
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
                files += runFile(dir.filePath(name));
        } else {
            files += runFile(path);
        }
    }

    std::mt19937 random(seed);
    for (long i = 0; i < count; ++i) {
        if (i % 500 == 0) {
            // Now and then a long text: the pieces of a short one repeated to 100,000 characters.
            QString piece = generate(random, textPieces, 12) + QLatin1Char('x');
            FuzzTarget::run(piece.repeated(100000 / piece.size()));
        } else if (i % 2 == 0)
            FuzzTarget::run(generate(random, textPieces, 12));
        else
            FuzzTarget::run(generate(random, numberPieces, 8));
    }

    std::printf("%ld corpus files and %ld generated texts tried, %ld faults\n", files, count, FuzzTarget::faultCount());
    return FuzzTarget::faultCount() == 0 ? 0 : 1;
}
