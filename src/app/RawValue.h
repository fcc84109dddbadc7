// One value of a result row as the database gave it, without conversion: for fills that must not
// make a QString for every cell.
#pragma once

#include <QtGlobal>

#include <cstdint>

struct RawValue {
    enum class Type : std::uint8_t { Null, Integer, Real, Text };
    Type type = Type::Null;
    qint64 integer = 0;
    double real = 0;
    const char* text = nullptr; // UTF-8; valid until the result moves on
    qsizetype size = 0;
};
