#include "TextFold.h"

#include <QChar>
#include <QString>

#include <array>
#include <memory>

namespace FindFilter {
namespace {

// Table values: the folded character, or one of these markers.
constexpr char16_t dropped = 0;    // a combining mark: left out
constexpr char16_t twoLetters = 1; // folds to two letters (see pairOf)

// Letters that fold to two letters, as users type them without the special key.
const char* pairOf(char16_t c) {
    switch (c) {
    case 0x00DF: // sharp s
    case 0x1E9E:
        return "ss";
    case 0x00C6: // ae
    case 0x00E6:
        return "ae";
    case 0x0152: // oe
    case 0x0153:
        return "oe";
    default:
        return nullptr;
    }
}

// Letters with a stroke or without a dot carry no decomposition, yet users type them plain.
char16_t plainLetter(char16_t c) {
    switch (c) {
    case 0x00D8: // o with stroke
    case 0x00F8:
        return u'o';
    case 0x0141: // l with stroke
    case 0x0142:
        return u'l';
    case 0x0110: // d with stroke
    case 0x0111:
        return u'd';
    case 0x0131: // dotless i
        return u'i';
    default:
        return c;
    }
}

char16_t baseLetter(char16_t c) {
    // Follow canonical decompositions (and the wide forms) down to the base character.
    for (int guard = 0; guard < 4; ++guard) {
        const QChar q(c);
        const QChar::Decomposition tag = q.decompositionTag();
        if (tag != QChar::Canonical && tag != QChar::Wide && tag != QChar::Narrow)
            break;
        const QString d = q.decomposition();
        if (d.isEmpty() || d.at(0).isSurrogate())
            break;
        c = d.at(0).unicode();
    }
    return c;
}

char16_t foldOne(char16_t c) {
    if (pairOf(c))
        return twoLetters;
    const QChar q(c);
    if (q.category() == QChar::Mark_NonSpacing || q.category() == QChar::Mark_Enclosing)
        return dropped;
    char16_t f = baseLetter(c);
    f = QChar(f).toCaseFolded().unicode();
    f = baseLetter(f);
    f = plainLetter(f);
    // A base that is itself a mark (rare) would vanish; keep the character then.
    return f == dropped || f == twoLetters ? c : f;
}

using Table = std::array<char16_t, 0x10000>;

const Table& table() {
    static const std::unique_ptr<Table> t = [] {
        auto made = std::make_unique<Table>();
        for (unsigned c = 0; c < 0x10000; ++c) {
            const auto u = static_cast<char16_t>(c);
            (*made)[c] = QChar::isSurrogate(c) ? u : foldOne(u);
        }
        return made;
    }();
    return *t;
}

char* putUtf8(char* out, char32_t c) {
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

} // namespace

void appendFolded(std::string& out, QStringView text) {
    const qsizetype n = text.size();
    if (n == 0)
        return;
    const Table& t = table();
    const char16_t* s = text.utf16();
    // At most three bytes for each UTF-16 unit (a pair of units takes four).
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(n) * 3);
    char* p = out.data() + start;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            *p++ = static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
            p = putUtf8(p, QChar::toCaseFolded(QChar::surrogateToUcs4(c, s[i + 1])));
            ++i;
            continue;
        }
        if (QChar::isSurrogate(c)) {
            p = putUtf8(p, 0xFFFD);
            continue;
        }
        const char16_t f = t[c];
        if (f == dropped)
            continue;
        if (f == twoLetters) {
            const char* pair = pairOf(c);
            *p++ = pair[0];
            *p++ = pair[1];
        } else {
            p = putUtf8(p, f);
        }
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

} // namespace FindFilter
