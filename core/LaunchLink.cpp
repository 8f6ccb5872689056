#include "core/LaunchLink.h"

#include "core/Protocol.h"
#include "core/WireNumbers.h"

namespace {

// The text between the first occurrence of `separator` and the next one (or the end).
QByteArray secondPiece(const QByteArray& text, const QByteArray& separator) {
    const qsizetype first = text.indexOf(separator);
    if (first < 0)
        return {};
    const qsizetype from = first + separator.size();
    const qsizetype next = text.indexOf(separator, from);
    return next < 0 ? text.mid(from) : text.mid(from, next - from);
}

} // namespace

LaunchRequest DecodeLaunchLink(const QByteArray& argumentText) {
    // The switch and the link are the first two words of the argument text.
    const qsizetype space = argumentText.indexOf(' ');
    if (space < 0 || argumentText.left(space) != Protocol::kLaunchSwitch)
        return {};
    const qsizetype linkEnd = argumentText.indexOf(' ', space + 1);
    return DecodeSchemeLink(argumentText.mid(space + 1, linkEnd < 0 ? -1 : linkEnd - space - 1),
                            Protocol::kLaunchScheme);
}

LaunchRequest DecodeSchemeLink(const QByteArray& link, const QByteArray& scheme) {
    if (!link.contains(':') || link.left(link.indexOf(':')) != scheme)
        return {};
    const QByteArray payload = secondPiece(link, "//");
    if (payload.isEmpty())
        return {};

    // Every code of the payload, however many: a piece is read like atoi, zero values and
    // pieces without digits add nothing, the rest add one byte each (modulo 256).
    LaunchRequest decoded{LaunchRequest::Kind::Request, {}};
    decoded.request.reserve(qMin<qsizetype>(payload.size() / 2 + 1, kMaxLaunchRequest));
    qsizetype from = 0;
    while (from <= payload.size()) {
        qsizetype comma = payload.indexOf(',', from);
        if (comma < 0)
            comma = payload.size();
        const qint64 value =
            ParseWireInt64(QByteArray::fromRawData(payload.constData() + from, comma - from));
        if (value != 0) {
            if (decoded.request.size() >= kMaxLaunchRequest)
                return {LaunchRequest::Kind::Unreadable, {}};
            decoded.request.append(char(static_cast<unsigned char>(value % 256)));
        }
        from = comma + 1;
    }
    return decoded;
}
