#include "core/TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

// ICU knows "CP949" as IBM's code page, which maps 0x5C to the won sign and back to another
// byte; the Windows code page keeps ASCII as ASCII.
static constexpr const char* kCodePage = "windows-949";

QString FromCp949(const QByteArray& bytes) {
    QStringDecoder decoder(kCodePage);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray ToCp949(const QString& text) {
    QStringEncoder encoder(kCodePage);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

// Length of the longest prefix of at most n bytes that ends on a character boundary.
static int boundaryAtOrBefore(const QByteArray& name, int n) {
    int i = 0;
    while (i < n) {
        const bool lead = static_cast<unsigned char>(name[i]) > 126;
        const int width = lead ? 2 : 1;
        if (i + width > n)
            break;
        i += width;
    }
    return i;
}

QByteArray ShortenName(const QByteArray& name, int n) {
    if (name.size() <= n)
        return name;
    return name.left(boundaryAtOrBefore(name, n)) + "...";
}

QByteArray CutName(const QByteArray& text, int n) {
    return ShortenName(text, n);
}
