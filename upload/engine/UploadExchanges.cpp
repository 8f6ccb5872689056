#include "upload/engine/UploadExchanges.h"

#include "core/LogCategories.h"
#include "core/ServerLink.h"
#include "core/UploadChoices.h"
#include "core/WireNumbers.h"
#include "upload/engine/FileFingerprint.h"

#include <QFile>

#include <chrono>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file number is the reply's text before its first "|".
int fileNumberOf(const QByteArray& reply) {
    const qsizetype bar = reply.indexOf('|');
    return ParseWireInt32(bar < 0 ? reply : reply.left(bar));
}

void signOff(const QByteArray& memberId, const LinkSettings& settings) {
    ServerLink link;
    link.apply(settings);
    if (link.ConnectToFileServer())
        SignOff(link, memberId);
}

} // namespace

MemberCheckOutcome ExchangeMemberCheck(const QByteArray& memberId, const LinkSettings& settings) {
    MemberCheckOutcome outcome;
    outcome.memberId = memberId;
    ServerLink link;
    link.apply(settings);
    // Without a file server every further exchange would fail too.
    if (!link.ConnectToFileServer()) {
        outcome.connectFailed = true;
        return outcome;
    }
    const SignOnResult result = SignOn(link, memberId);
    link.Close();
    // A connection closed instead of answered (refused or cut) is as good as none.
    if (!result.answered) {
        outcome.connectFailed = true;
        return outcome;
    }
    outcome.check = result.check;
    switch (result.check) {
    case MemberCheck::NoMember:
        signOff(memberId, settings);
        break;
    case MemberCheck::OverUser:
        break; // listed anyway, and never signed off
    case MemberCheck::Member:
        outcome.memberId = result.member.id;
        signOff(outcome.memberId, settings);
        break;
    }
    return outcome;
}

UploadListingOutcome ExchangeUploadList(const QByteArray& listKey, const QByteArray& serverNumber,
                                        int capacity, const LinkSettings& settings,
                                        const std::function<void(ListedRow)>& onRow) {
    UploadListingOutcome outcome;
    ServerLink link;
    link.apply(settings);
    if (!link.ConnectToFileServer()) {
        outcome.connectFailed = true;
        return outcome;
    }
    const QByteArray accepted = link.Exchange("@Upload");
    if (link.lost()) {
        outcome.connectFailed = true;
        return outcome;
    }
    link.Exchange(serverNumber.isEmpty() ? QByteArray("@Server0") : "@Server" + serverNumber);
    const QSet<QString> chosen = UploadChoices::chosen(listKey);
    for (int taken = 0; accepted == "Ok" && taken < capacity; ++taken) {
        const QByteArray reply = link.Exchange(listKey);
        if (link.lost()) {
            outcome.cutShort = true;
            break;
        }
        if (reply.isEmpty() || reply == "Null" || reply == "Ping" || reply == "ListEnd")
            break;
        ListedFile listed = ParseListing(reply);
        UploadRecord& record = listed.record;
        record.listKey = listKey;
        // The server expects a fingerprint after every record, usable or not; a file the
        // member did not choose is never read and reads as a missing one.
        const int fd = listed.usable ? UploadChoices::openChosen(chosen, record.localPath()) : -1;
        const QByteArray fingerprint = FileFingerprint(fd, record.size);
        if (fd >= 0)
            ::close(fd);
        const QByteArray numbered = link.Exchange(fingerprint);
        if (link.lost()) {
            outcome.cutShort = true;
            break;
        }
        record.fileNumber = fileNumberOf(numbered);
        if (!listed.usable)
            continue;
        struct stat shown {};
        const bool found = ::stat(QFile::encodeName(record.shownPath()).constData(), &shown) == 0;
        ListedRow row{record, found ? qint64(shown.st_size) : 0};
        if (onRow)
            onRow(std::move(row));
        else
            outcome.rows.append(std::move(row));
    }
    return outcome;
}

bool ExchangeCompletionNotice(int fileNumber, const LinkSettings& settings, int attempts,
                              int pauseMs) {
    auto cancelled = [&settings] { return settings.cancel && settings.cancel->load(); };
    for (int attempt = 1; attempt <= attempts && !cancelled(); ++attempt) {
        if (attempt > 1) {
            for (int waited = 0; waited < pauseMs && !cancelled(); waited += 100)
                std::this_thread::sleep_for(std::chrono::milliseconds(qMin(100, pauseMs)));
        }
        ServerLink link;
        link.apply(settings);
        if (!link.ConnectToFileServer())
            continue;
        link.Exchange("@Upload_complute");
        // Once the file number has gone, the notice is not sent again: the server would hear
        // of the file twice.
        if (link.lost())
            continue;
        link.Exchange(QByteArray::number(fileNumber));
        if (link.failed())
            qCWarning(lcUpload, "the completion notice for file %d was not answered", fileNumber);
        return true;
    }
    qCWarning(lcUpload, "the completion notice for file %d could not be sent", fileNumber);
    return false;
}
