#pragma once

#include "core/MemberHandshake.h"
#include "core/ServerLink.h"
#include "upload/engine/UploadRecord.h"

#include <QList>
#include <atomic>
#include <functional>

// The upload client's control exchanges with the file server. Each runs on a thread of its
// own and reports what happened; the engine shows it on the window's thread.

struct MemberCheckOutcome {
    bool connectFailed = false; // no connection, or it was closed instead of answered
    MemberCheck check = MemberCheck::Member;
    QByteArray memberId; // the id the server named (the request's when it named none)
};
// "@Connect_start" and the member id; then, but for "Over_user", the sign-off on a new
// connection. Nothing more when the file server cannot be reached.
MemberCheckOutcome ExchangeMemberCheck(const QByteArray& memberId, const LinkSettings& settings);

struct ListedRow {
    UploadRecord record;
    qint64 shownSize = 0; // the size on disk of the listing's own path
};
struct UploadListingOutcome {
    bool connectFailed = false; // no connection, or "@Upload" was not answered
    bool cutShort = false;      // the server stopped answering (or cut) before the list ended
    QList<ListedRow> rows;
};
// "@Upload", the server choice, then the list key again and again, with a fingerprint after
// each record. At most `capacity` records are taken, usable or not. Only files the member
// chose for the list are read; any other is fingerprinted as a missing file.
// Each usable row goes to `onRow` as soon as its fingerprint is answered, when given (and
// then not into the outcome).
UploadListingOutcome ExchangeUploadList(const QByteArray& listKey, const QByteArray& serverNumber,
                                        int capacity, const LinkSettings& settings,
                                        const std::function<void(ListedRow)>& onRow = {});

// "@Upload_complute", then `fileNumber`, on a connection of its own. A notice that gets no
// connection, or no answer to its first command, goes again up to `attempts` times in all,
// `pauseMs` apart. False when it never got through.
bool ExchangeCompletionNotice(int fileNumber, const LinkSettings& settings, int attempts = 3,
                              int pauseMs = 1000);
