#pragma once

#include "Catalogue.h"
#include "Options.h"
#include "WireValues.h"
#include "UploadLists.h"
#include "UploadStore.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

// Wire sizes shared with the clients.
inline constexpr int kBlockSize = 20480;   // header blocks and command buffers
inline constexpr int kMaxOffsetReply = 12; // upload resume offset reply, bytes

// One accepted connection, served by one thread.
struct Connection {
    int fd = -1;
    int id = 0;
    PortKind port = PortKind::Control;
    QString peer;
    QString tag; // "ctl#3", "dl#4", ...
};

// Everything the connection threads share. Options are read-only once serving starts.
class Service {
public:
    Service(Options options, QByteArray secret);

    const Options& options() const { return opt_; }

    // Log line to stdout, flushed, unless --quiet. Whole lines, one writer at a time.
    void log(const QString& line);
    // Always printed (status lines for people and harnesses).
    void say(const QString& line);

    // Stop handling.
    bool stopping() const { return stopping_.load(); }
    void requestStop();
    // Sleeps ms milliseconds; returns false at once when the service is stopping.
    bool sleepMs(int64_t ms);
    // Connections being served, counted per port: a flood on one port never shuts the
    // others out.
    bool addActive(int fd, PortKind port);    // false (nothing added) when the port is full
    void removeActive(int fd, PortKind port); // and closes fd
    bool waitIdle(int timeoutMs);

    Catalogue& catalogue() { return catalogue_; }
    UploadLists& uploads() { return uploads_; }
    UploadStore& store() { return store_; }

    // Members.
    enum class MemberCheck { Unknown, OverUser, Member };
    MemberCheck checkMember(const QByteArray& idWire, QByteArray& reply) const;
    bool isMember(const QString& id) const;

    int64_t listedSize(const UploadFile& f) const;

    // Counters for the fault switches.
    int nextDownloadConnection() { return ++downloadConnections_; }
    int nextConnectionId() { return ++connectionIds_; }

private:
    Options opt_;
    Catalogue catalogue_;
    UploadLists uploads_;
    UploadStore store_;
    std::mutex logMutex_;
    std::atomic<bool> stopping_{false};
    std::mutex stopMutex_;
    std::condition_variable stopCv_;
    std::mutex activeMutex_;
    std::set<int> activeFds_;
    int active_[kPortKinds] = {}; // under activeMutex_
    int activeTotal_ = 0;         // under activeMutex_
    std::condition_variable idleCv_;

    std::atomic<int> downloadConnections_{0};
    std::atomic<int> connectionIds_{0};
};

// Log-friendly view of wire bytes: CP949 decoded, control bytes as \xNN, long texts cut.
QString Shown(const QByteArray& wire, int maxChars = 160);

// The clients' FileFingerprint of a local file for size S.
QByteArray Fingerprint(const QString& path, int64_t size);
