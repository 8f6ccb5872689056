#pragma once

#include "fileservice/Catalogue.h"
#include "fileservice/Options.h"
#include "fileservice/UploadLists.h"
#include "fileservice/UploadStore.h"
#include "fileservice/WireValues.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// Wire sizes shared with the clients.
inline constexpr int kBlockSize = 20480;   // header blocks and command buffers
inline constexpr int kMaxOffsetReply = 12; // upload resume offset reply, bytes

// When a connection last moved bytes, shared between its thread and the service, which
// closes the longest-idle connection of a full port to make room for a new one.
struct ConnectionActivity {
    std::atomic<int64_t> lastNs{0}; // steady clock
    std::atomic<bool> evicted{false};
};

// One accepted connection, served by one thread.
struct Connection {
    int fd = -1;
    int id = 0;
    PortKind port = PortKind::Control;
    QString peer;
    QString tag; // "ctl#3", "dl#4", ...
    std::shared_ptr<ConnectionActivity> activity = std::make_shared<ConnectionActivity>();

    // Bytes moved now: the connection is not idle.
    void touch() const;
    // The service closed it to make room for a newer one.
    bool evicted() const { return activity->evicted.load(); }
};

int64_t SteadyNs();

// Everything the connection threads share. Options are read-only once serving starts.
class Service {
public:
    Service(Options options, QByteArray secret, QByteArray registrationToken);

    const Options& options() const { return opt_; }
    // What a registration must carry (hex, from the state folder).
    const QByteArray& registrationToken() const { return registrationToken_; }

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
    // others out. A full port makes room by closing its longest-idle connection, so that
    // connections held open by anyone never lock the members out; only while the closed ones
    // are still ending (never more than the cap again) is a newcomer refused. `evictedTag`
    // names the connection closed for it.
    enum class Admission { Admitted, AdmittedByEviction, Refused };
    Admission admit(const Connection& c, QString& evictedTag, int64_t& evictedIdleMs);
    void removeActive(const Connection& c); // and closes its socket
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
    QByteArray registrationToken_;
    Catalogue catalogue_;
    UploadLists uploads_;
    UploadStore store_;
    std::mutex logMutex_;
    std::atomic<bool> stopping_{false};
    std::mutex stopMutex_;
    std::condition_variable stopCv_;
    struct Active {
        int id = 0; // the older of two equally idle connections goes first
        QString tag;
        std::shared_ptr<ConnectionActivity> activity;
    };
    std::mutex activeMutex_;
    std::map<int, Active> active_[kPortKinds]; // by socket, under activeMutex_
    int evicting_[kPortKinds] = {};            // closed to make room, still ending
    int activeTotal_ = 0;                      // under activeMutex_
    std::condition_variable idleCv_;

    std::atomic<int> downloadConnections_{0};
    std::atomic<int> connectionIds_{0};
};

// Log-friendly view of wire bytes: CP949 decoded, control bytes as \xNN, long texts cut.
QString Shown(const QByteArray& wire, int maxChars = 160);

// Compares secrets in time that does not depend on where they differ.
bool SameToken(const QByteArray& a, const QByteArray& b);

// The clients' FileFingerprint of a local file for size S.
QByteArray Fingerprint(const QString& path, int64_t size);
