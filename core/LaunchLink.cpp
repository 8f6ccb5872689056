#include "LaunchLink.h"

#include "StringSplitter.h"
#include "WireNumbers.h"

std::optional<QByteArray> DecodeLaunchLink(const QByteArray& argumentText) {
    StringSplitter words(" ");
    words.split(argumentText);
    if (words.piece(0) != "/url")
        return std::nullopt;
    const QByteArray link = words.piece(1);
    StringSplitter scheme(":");
    scheme.split(link);
    if (scheme.piece(0) != "vastrelle")
        return std::nullopt;
    StringSplitter slashes("//");
    slashes.split(link);
    const QByteArray payload = slashes.piece(1);
    if (payload.isEmpty())
        return std::nullopt;

    StringSplitter codes(",");
    codes.split(payload);
    QByteArray request;
    for (unsigned i = 0; i < codes.count(); ++i) {
        const qint64 value = ParseWireInt64(codes.piece(int(i)));
        if (value != 0)
            request.append(char(static_cast<unsigned char>(value % 256)));
    }
    return request;
}

QByteArray DownloadManagerCommand(const QByteArray& request) {
    return QByteArray(kDownloadCommandWord) + '|' + request;
}
