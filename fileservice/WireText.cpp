#include "fileservice/WireText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
const char* codecName() {
    static const char* name = QStringEncoder("windows-949").isValid() ? "windows-949" : "CP949";
    return name;
}
} // namespace

QString FromWire(const QByteArray& bytes) {
    QStringDecoder decoder(codecName());
    return decoder.decode(bytes);
}

QByteArray ToWire(const QString& text) {
    QStringEncoder encoder(codecName());
    return encoder.encode(text);
}

bool WireCodecWorks() {
    const QString sample = QStringLiteral("일반회원\\똠\\a");
    const QByteArray bytes = ToWire(sample);
    return bytes == QByteArray("\xc0\xcf\xb9\xdd\xc8\xb8\xbf\xf8\\\x8c\x63\\a") &&
           FromWire(bytes) == sample;
}
