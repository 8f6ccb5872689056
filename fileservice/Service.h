#pragma once

#include "Options.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <vector>

// Wire sizes shared with the clients.
inline constexpr int kBlockSize = 20480;   // header blocks and command buffers
inline constexpr int kMaxOffsetReply = 12; // upload resume offset reply, bytes

struct CatalogueEntry {
    QString relative; // "a/b/c.txt"
    QString absolute; // file on disk
    QByteArray key;   // file key of this service
    int64_t size = 0;
};

struct UploadFile {
    int number = 0; // file number of this service (fingerprint reply, completion notice)
    QString listKey;
    QString localPath; // as given on the command line
    QString name;      // last component of localPath
    QByteArray token1; // first token on the upload data connection
    QByteArray token2; // second token
};

// One accepted connection, served by one thread.
struct Connection {
    int fd = -1;
    int id = 0;
    QString peer;
    QString tag; // "ctl#3", "dl#4", ...
};

// Everything the connection threads share. Options are read-only once serving starts.
class Service {
public:
    explicit Service(Options options);

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
    void addActive(int fd);
    void removeActive(int fd); // and closes fd
    int activeCount() const { return active_.load(); }
    bool waitIdle(int timeoutMs);

    // Download catalogue.
    bool findEntry(const QByteArray& entryWire, CatalogueEntry& out, QString& why);
    bool findKey(const QByteArray& key, CatalogueEntry& out);
    QStringList catalogue() const; // relative paths, sorted
    static QByteArray keyFor(const QString& relative);

    // Members.
    enum class MemberCheck { Unknown, OverUser, Member };
    MemberCheck checkMember(const QByteArray& idWire, QByteArray& reply) const;

    // Upload queues.
    std::vector<const UploadFile*> uploadList(const QByteArray& keyWire) const;
    const UploadFile* uploadByNumber(int number) const;
    const UploadFile* uploadByToken(const QByteArray& token1) const;
    QString storeFolder() const { return opt_.store; }
    QString storePath(const UploadFile& f) const;
    int64_t listedSize(const UploadFile& f) const;

    // Counters for the fault switches.
    int nextDownloadConnection() { return ++downloadConnections_; }
    int nextConnectionId() { return ++connectionIds_; }

private:
    Options opt_;
    std::mutex logMutex_;
    std::atomic<bool> stopping_{false};
    std::mutex stopMutex_;
    std::condition_variable stopCv_;
    std::mutex activeMutex_;
    std::set<int> activeFds_;
    std::atomic<int> active_{0};
    std::condition_variable idleCv_;

    mutable std::mutex keysMutex_;
    std::map<QByteArray, QString> keys_; // key -> relative path, learned from replies and scans

    std::vector<UploadFile> uploads_;
    std::atomic<int> downloadConnections_{0};
    std::atomic<int> connectionIds_{0};
};

// Log-friendly view of wire bytes: CP949 decoded, control bytes as \xNN, long texts cut.
QString Shown(const QByteArray& wire, int maxChars = 160);

// Reads a signed 64-bit decimal the way atoi reads: blanks, sign, digits up to the first
// non-digit; no digits give 0; overflow saturates.
int64_t ParseInt64(const QByteArray& text);

// The header value of a block: bytes up to the first zero byte (the whole block if none).
QByteArray BlockValue(const char* block, int size);

// The clients' FileFingerprint of a local file for size S.
QByteArray Fingerprint(const QString& path, int64_t size);
