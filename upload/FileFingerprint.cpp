#include "FileFingerprint.h"

#include <QFile>

#include <array>
#include <cstdio>
#include <cstdlib>

qint64 FingerprintSampleOffset(qint64 listedSize) {
    if (listedSize < 10)
        return 0;
    if (listedSize > 2000000000)
        return 1999999990;
    return listedSize / 2;
}

QByteArray FileFingerprint(const QString& path, qint64 listedSize) {
    std::array<char, 10> sample{};
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.seek(FingerprintSampleOffset(listedSize))) {
        qint64 filled = 0;
        while (filled < qint64(sample.size())) {
            const qint64 n = file.read(sample.data() + filled, qint64(sample.size()) - filled);
            if (n <= 0)
                break;
            filled += n;
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
