#include "core/Formats.h"

#include <cstdio>

QString FormatSize(qint64 bytes) {
    static const char* const kUnits[] = {"Byte", "KB", "MB", "GB", "TB", "PB"};
    const QByteArray digits = QByteArray::number(bytes);
    int k = int(digits.size()) / 3 - 1;
    qint64 reduced = bytes;
    for (int i = 0; i < k; ++i)
        reduced /= 1024;
    const QByteArray reducedDigits = QByteArray::number(reduced);
    double value = double(reduced);
    int unit = k;
    if (reducedDigits.size() > 3) {
        value = double(reduced) * 0.0009765625;
        unit = k + 1;
    }
    if (unit < 0)
        unit = 0;
    if (unit > 5)
        unit = 5;
    char text[64];
    std::snprintf(text, sizeof text, "%3.1f%s", value, kUnits[unit]);
    return QString::fromLatin1(text);
}

QString FormatTime(qint64 seconds) {
    const qint64 minutes = seconds / 60;
    const qint64 secs = seconds - 60 * minutes;
    const qint64 hoursAll = minutes / 60;
    const qint64 mins = minutes - 60 * hoursAll;
    const qint64 hours = hoursAll - 60 * (hoursAll / 60);
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", int(hours), int(mins), int(secs));
    return QString::fromLatin1(text);
}

QString GroupDigits(qint64 value) {
    const QString digits = QString::number(value);
    const int signLength = digits.startsWith(QLatin1Char('-')) ? 1 : 0;
    QString grouped;
    const int count = int(digits.size()) - signLength;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0)
            grouped += QLatin1Char(',');
        grouped += digits[signLength + i];
    }
    return digits.left(signLength) + grouped;
}

qint64 ProgressPercent(qint64 done, qint64 total) {
    const qint64 hundredth = total / 100;
    // Below 100 bytes there is no hundredth to divide by: the share itself is exact, where
    // dividing by 1 made a whole 3-byte file "3%" (and a list that small never "done").
    const qint64 percent =
        hundredth > 0 ? done / hundredth : (total > 0 ? done * 100 / total : done);
    // Dividing by a truncated hundredth overshoots for small totals (3,072 of 3,072 bytes
    // gave 102%); a file that is not past its end never shows more than 100%.
    return done <= total && percent > 100 ? 100 : percent;
}

int ProgressBarPosition(qint64 done, qint64 total) {
    if (total <= 0 || done <= 0)
        return 0;
    if (done >= total)
        return 1000;
    // done < total here, so done * 1000 could overflow only for totals near 2^63 / 1000.
    if (done > (qint64(1) << 53))
        return int(double(done) / double(total) * 1000.0);
    return int(done * 1000 / total);
}

QString ProgressCaption(qint64 done, qint64 total) {
    return QStringLiteral("%1%/100%(%2/%3 Byte)")
        .arg(ProgressPercent(done, total))
        .arg(GroupDigits(done), GroupDigits(total));
}
