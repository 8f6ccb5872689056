#pragma once

#include "fileservice/UploadLists.h"

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>

// Where uploads land: the stored copy is --store/<name>. An upload whose announced size is at
// least the stored copy's resumes into it. A shorter one is a new version: it is written to a
// partial file (--store/.vaultry-partial/, one per name and announced size) and takes the
// stored copy's place only once it is complete, so a peer announcing a smaller size can never
// destroy what is stored. The offset reply is always where the client should resume from:
// the stored copy's size, or the partial file's.
class UploadStore {
public:
    struct Session {
        int fd = -1;            // where the bytes go, written at their offset
        int64_t offset = 0;     // the resume offset to reply
        bool replacing = false; // writing a partial file that replaces the stored copy
        QString stored;
        QString partial;
    };

    explicit UploadStore(QString folder) : folder_(std::move(folder)) {}

    const QString& folder() const { return folder_; }
    QString storedPath(const UploadFile& f) const;

    // One data connection per stored copy at a time: two would interleave their bytes. The
    // newer one wins: a client retries after it lost a connection, possibly before the
    // service has noticed, so an older connection (fd) is shut down and its end awaited (at
    // most waitMs). False when it did not end in time.
    bool claim(const QString& stored, int fd, int waitMs, bool& tookOver);
    void release(const QString& stored);
    // True when the claim on stored was ended by a newer connection.
    bool endedByNewer(const QString& stored);
    // Waits at most waitMs until no connection writes `stored`; false when one still does.
    bool awaitUnclaimed(const QString& stored, int waitMs);

    // Opens what an upload of `size` bytes writes to. False with error set.
    bool begin(const UploadFile& f, int64_t size, Session& s, QString& error) const;
    // Closes the session. A complete replacement (the partial file holds `size` bytes) is
    // renamed over the stored copy; a session that made the stored copy whole removes the
    // name's leftover partial files. Returns true when the stored copy was replaced.
    bool finish(Session& s, int64_t size) const;
    // Closes a session that never got as far as its offset reply: nothing is committed.
    static void abandon(Session& s);

private:
    QString partialFolder() const;
    QString partialPrefix(const QString& stored) const;
    void removePartials(const QString& stored) const;

    QString folder_;
    std::mutex claimsMutex_;
    std::condition_variable released_;
    struct Claim {
        int fd = -1; // the socket of the connection writing the stored copy
        bool ended = false;
    };
    std::map<QString, Claim> claims_;
};
