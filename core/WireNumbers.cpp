#include "core/WireNumbers.h"

#include <limits>

qint64 ParseWireInt64(const QByteArray& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Accumulate as a negative number so that the minimum value fits.
    qint64 value = 0;
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    bool saturated = false;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value < (kMin + digit) / 10) {
            saturated = true;
            break;
        }
        value = value * 10 - digit;
    }
    if (saturated)
        return negative ? kMin : std::numeric_limits<qint64>::max();
    if (negative)
        return value;
    return value == kMin ? std::numeric_limits<qint64>::max() : -value;
}

int ParseWireInt32(const QByteArray& text) {
    const qint64 v = ParseWireInt64(text);
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return int(v);
}
