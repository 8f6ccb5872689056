#include "core/ManagerCommand.h"

#include "core/Protocol.h"
#include "core/StringSplitter.h"

namespace {

// The field after `index` "|"s, up to the next one; the last field asked for takes the rest.
// Without enough "|" it is empty.
QByteArray field(const QByteArray& text, int index, bool rest = false) {
    qsizetype from = 0;
    for (int i = 0; i < index; ++i) {
        const qsizetype bar = text.indexOf('|', from);
        if (bar < 0)
            return QByteArray();
        from = bar + 1;
    }
    const qsizetype end = rest ? -1 : text.indexOf('|', from);
    return end < 0 ? text.mid(from) : text.mid(from, end - from);
}

} // namespace

ManagerCommand ReadManagerCommand(const QByteArray& text) {
    ManagerCommand command;
    const qsizetype bar = text.indexOf('|');
    const QByteArray word = bar < 0 ? text : text.left(bar);
    command.request = bar < 0 ? QByteArray() : text.mid(bar + 1);
    if (word == Protocol::kDownloadCommandWord) {
        command.kind = ManagerCommand::Kind::Download;
        const HeadAndRest list = CutAtFirst(command.request, '|');
        const HeadAndRest member = CutAtFirst(list.rest, '|');
        command.list = list.head;
        command.memberId = member.head;
        command.serverNumber = member.rest;
    } else if (word == Protocol::kUploadCommandWord) {
        command.kind = ManagerCommand::Kind::Upload;
        command.list = field(text, 1);
        command.memberId = field(text, 2);
        command.serverNumber = field(text, 3, true);
    }
    return command;
}

QByteArray DownloadManagerCommand(const QByteArray& request) {
    return QByteArray(Protocol::kDownloadCommandWord) + '|' + request;
}

QByteArray UploadManagerCommand(const QByteArray& listKey, const QByteArray& memberId,
                                const QByteArray& serverNumber) {
    return QByteArray(Protocol::kUploadCommandWord) + '|' + listKey + '|' + memberId + '|' +
           serverNumber;
}
