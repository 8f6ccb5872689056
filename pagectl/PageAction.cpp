#include "pagectl/PageAction.h"

#include "core/LaunchLink.h"
#include "core/ManagerCommand.h"
#include "core/Protocol.h"

#include <QList>

namespace {

bool hasControlBytes(const QByteArray& text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return true;
    }
    return false;
}

// The server number is a number: it ends up inside "@Server%s" on the file server's wire.
bool isServerNumber(const QByteArray& text) {
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

PageActionRead readDownload(const QByteArray& payload) {
    // files|member|server after the command word, as the client's window reads it; a server
    // number of digits alone leaves no room for another "|".
    const ManagerCommand command = ReadManagerCommand(payload);
    if (command.list.isEmpty() || command.memberId.isEmpty() || hasControlBytes(payload) ||
        !isServerNumber(command.serverNumber))
        return {PageActionRead::Status::BadDownload, {}};
    PageActionRead read{PageActionRead::Status::Ok, {}};
    read.action.kind = PageAction::Kind::Download;
    read.action.command = payload;
    read.action.member = command.memberId;
    read.action.server = command.serverNumber;
    return read;
}

PageActionRead readUpload(const QByteArray& payload) {
    const QList<QByteArray> fields = payload.split('|');
    if (fields.size() != 3 || fields[1].isEmpty() || hasControlBytes(fields[1]) ||
        !isServerNumber(fields[2]))
        return {PageActionRead::Status::BadUpload, {}};
    PageActionRead read{PageActionRead::Status::Ok, {}};
    read.action.kind = PageAction::Kind::Upload;
    read.action.member = fields[1];
    read.action.server = fields[2];
    return read;
}

} // namespace

QByteArray PageAction::payload() const {
    if (kind == Kind::Download)
        return command;
    return QByteArray(Protocol::kUploadChooseWord) + '|' + member + '|' + server;
}

PageActionRead ReadPageLink(const QByteArray& link) {
    const LaunchRequest decoded = DecodeSchemeLink(link, Protocol::kPageScheme);
    switch (decoded.kind) {
    case LaunchRequest::Kind::None:
        return {PageActionRead::Status::NotALink, {}};
    case LaunchRequest::Kind::Unreadable:
        return {PageActionRead::Status::Unreadable, {}};
    case LaunchRequest::Kind::Request:
        break;
    }
    // Codes that all read as nothing carry no action at all.
    if (decoded.request.isEmpty())
        return {PageActionRead::Status::NotALink, {}};
    return ReadPageAction(decoded.request);
}

PageActionRead ReadPageAction(const QByteArray& payload) {
    if (payload.size() > kMaxLaunchRequest)
        return {PageActionRead::Status::Unreadable, {}};
    const QByteArray word = payload.left(payload.indexOf('|'));
    if (!payload.contains('|'))
        return {PageActionRead::Status::UnknownAction, {}};
    if (word == Protocol::kDownloadCommandWord)
        return readDownload(payload);
    if (word == Protocol::kUploadChooseWord)
        return readUpload(payload);
    return {PageActionRead::Status::UnknownAction, {}};
}

QByteArray EncodeSchemeLink(const QByteArray& scheme, const QByteArray& bytes) {
    QByteArray link = scheme + "://";
    link.reserve(link.size() + bytes.size() * 4 + 1);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i)
            link += ',';
        link += QByteArray::number(static_cast<unsigned char>(bytes[i]));
    }
    return link + '/';
}
