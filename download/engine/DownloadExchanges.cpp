#include "download/engine/DownloadExchanges.h"

#include "core/ControlConnectionsAhead.h"
#include "core/StringSplitter.h"
#include "download/engine/FileReply.h"

SignOnOutcome ExchangeSignOn(const QByteArray& memberId, const LinkSettings& settings) {
    SignOnOutcome outcome;
    outcome.link.apply(settings);
    // Both connections may have been opened as the program started. The file list's makes its
    // handshake while the sign-on goes on; nothing goes on it before the sign-on has been
    // judged.
    const std::shared_ptr<SpareConnection> signOnConnection = ControlConnectionsAhead::take();
    outcome.listingConnection = ControlConnectionsAhead::take();
    if (!outcome.listingConnection)
        outcome.listingConnection = ServerLink::OpenSpareToFileServer();
    if (outcome.listingConnection)
        outcome.controlAddress = outcome.listingConnection->address();
    outcome.connectFailed = !outcome.link.ConnectToFileServer(signOnConnection, kControlSpareAgeMs);
    // Without a connection every exchange gives "", which reads as a general member.
    outcome.result = SignOn(outcome.link, memberId);
    // A server that closes the connection instead of answering (it refused or cut it) is as
    // far out of reach as one that takes no connection, and the member is told so.
    outcome.connectFailed = outcome.connectFailed || !outcome.result.answered;
    return outcome;
}

int CountEntries(const QByteArray& fileList) {
    int entries = 0;
    qsizetype from = 0;
    while (from <= fileList.size()) {
        qsizetype mark = fileList.indexOf('?', from);
        if (mark < 0)
            mark = fileList.size();
        entries += mark > from ? 1 : 0;
        from = mark + 1;
    }
    return entries;
}

ListingOutcome ExchangeFileList(const QByteArray& fileList, const QByteArray& serverNumber,
                                QSet<QByteArray> known, const QString& root,
                                const LinkSettings& settings,
                                const std::function<void(FileRecord)>& listed,
                                const std::shared_ptr<SpareConnection>& spare) {
    ListingOutcome outcome;
    ServerLink link;
    link.apply(settings);
    outcome.connectFailed = !link.ConnectToFileServer(spare, kControlSpareAgeMs);
    const QByteArray accepted = link.Exchange("@Download");
    if (link.lost()) {
        outcome.connectFailed = true;
        return outcome;
    }
    link.Exchange(serverNumber.isEmpty() ? QByteArray("@Server0") : "@Server" + serverNumber);
    if (accepted != "Ok")
        return outcome;
    const int entries = CountEntries(fileList);
    QByteArray rest = fileList;
    for (int i = 0; i < entries; ++i) {
        const HeadAndRest next = CutAtFirst(rest, '?');
        // An entry not followed by "?" is never asked for, and an empty one ends the list.
        if (next.head.isEmpty())
            break;
        rest = next.rest;
        if (known.contains(next.head))
            continue;
        const QByteArray reply = link.Exchange(next.head);
        if (link.lost()) {
            ++outcome.unlisted;
            continue;
        }
        if (reply.isEmpty() || reply == "Null" || reply == "Ping")
            continue;
        if (auto record = RecordFromFileReply(reply, next.head, root)) {
            known.insert(next.head);
            if (listed)
                listed(std::move(*record));
            else
                outcome.records.append(std::move(*record));
        }
    }
    return outcome;
}

bool ExchangeSignOff(const QByteArray& memberId, const LinkSettings& settings,
                     const std::shared_ptr<SpareConnection>& spare) {
    ServerLink link;
    link.apply(settings);
    const bool connected = link.ConnectToFileServer(spare, kControlSpareAgeMs);
    SignOff(link, memberId);
    return connected;
}
