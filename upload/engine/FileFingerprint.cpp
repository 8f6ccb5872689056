#include "upload/engine/FileFingerprint.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

qint64 FingerprintSampleOffset(qint64 listedSize) {
    if (listedSize < 10)
        return 0;
    if (listedSize > 2000000000)
        return 1999999990;
    return listedSize / 2;
}

QByteArray FileFingerprint(int fd, qint64 listedSize) {
    std::array<char, 10> sample{};
    if (fd >= 0) {
        const off_t at = off_t(FingerprintSampleOffset(listedSize));
        size_t filled = 0;
        while (filled < sample.size()) {
            const ssize_t n =
                ::pread(fd, sample.data() + filled, sample.size() - filled, at + off_t(filled));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            filled += size_t(n);
        }
    }
    QByteArray text = QByteArray::number(listedSize);
    for (char c : sample) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%03d", std::abs(int(static_cast<signed char>(c))));
        text += digits;
    }
    return text;
}
