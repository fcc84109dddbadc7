// Folding of texts for searching: lower case, accents and other marks taken off, so "Café",
// "CAFE" and "cafe" all read "cafe". The result is UTF-8, compact and quick to search.
#pragma once

#include <QStringView>

#include <string>

namespace FindFilter {

// Appends the folded form of a text to out.
void appendFolded(std::string& out, QStringView text);

inline std::string folded(QStringView text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    appendFolded(out, text);
    return out;
}

} // namespace FindFilter
