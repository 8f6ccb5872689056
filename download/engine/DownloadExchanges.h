#pragma once

#include "core/DataSocket.h"
#include "core/MemberHandshake.h"
#include "core/ServerLink.h"
#include "download/engine/FileRecord.h"

#include <QList>
#include <QSet>
#include <atomic>
#include <functional>

// The download client's control exchanges with the file server. Each runs on a thread of its
// own and reports what happened; the engine shows it on the window's thread.

struct SignOnOutcome {
    bool connectFailed = false; // no connection, or it was closed instead of answered
    SignOnResult result;
    ServerLink link; // the sign-on connection, kept open by the engine until the program ends
    // Opened beside the sign-on for the file list that may follow it.
    std::shared_ptr<SpareConnection> listingConnection;
    // The file server's control address as resolved for the sign-on ("" when it was not).
    QByteArray controlAddress;
};
SignOnOutcome ExchangeSignOn(const QByteArray& memberId, const LinkSettings& settings);

struct ListingOutcome {
    bool connectFailed = false; // no connection, or "@Download" was not answered
    QList<FileRecord> records;
    int unlisted = 0; // entries the server never answered (time-out, cut or lost connection)
};
// A control connection opened ahead is used only this long after it was opened.
inline constexpr int kControlSpareAgeMs = 1000;

// "@Download", the server choice, then the entries of `fileList` in order: each entry once,
// skipping those in `known` and those the server has no file for. Each listed record goes to
// `listed` as soon as it is read, when given (and then not into the outcome).
ListingOutcome ExchangeFileList(const QByteArray& fileList, const QByteArray& serverNumber,
                                QSet<QByteArray> known, const QString& root,
                                const LinkSettings& settings,
                                const std::function<void(FileRecord)>& listed = {},
                                const std::shared_ptr<SpareConnection>& spare = {});

// "@Connect_end", then the member id; false when the file server could not be reached. On
// `spare` when it was opened to the file server's control port at most kControlSpareAgeMs ago
// and is still good, otherwise on a fresh connection.
bool ExchangeSignOff(const QByteArray& memberId, const LinkSettings& settings,
                     const std::shared_ptr<SpareConnection>& spare = {});

// The number of entries in a file list: its non-empty pieces between "?" characters, however
// many there are.
int CountEntries(const QByteArray& fileList);
