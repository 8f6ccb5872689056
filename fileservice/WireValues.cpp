#include "fileservice/WireValues.h"

#include <cstdint>
#include <cstring>

int64_t ParseInt64(const QByteArray& text) {
    int i = 0;
    const int n = text.size();
    while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int d = text[i] - '0';
        if (value > (INT64_MAX - d) / 10)
            return negative ? INT64_MIN : INT64_MAX;
        value = value * 10 + d;
    }
    return negative ? -value : value;
}

QByteArray BlockValue(const char* block, int size) {
    const void* zero = std::memchr(block, 0, size);
    const int len = zero ? static_cast<int>(static_cast<const char*>(zero) - block) : size;
    return QByteArray(block, len);
}
