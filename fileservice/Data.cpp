// Data ports: 7301 (download) and 7312 (upload), server side.

#include "fileservice/Handlers.h"
#include "fileservice/Net.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* statusText(ReadStatus s) {
    switch (s) {
    case ReadStatus::Closed:
        return "client closed";
    case ReadStatus::TimedOut:
        return "timed out";
    case ReadStatus::Error:
        return "receive error";
    case ReadStatus::Complete:
        break;
    }
    return "complete";
}

// Reads `count` header blocks of kBlockSize bytes, whatever the segmentation; each value is
// its block's text up to the first zero byte. The header is how a data connection identifies
// itself, so all the blocks together get --identify-timeout, however the bytes trickle in.
bool readBlocks(Service& s, const Connection& c, int count, QByteArray* values) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(s.options().identifyTimeoutSec);
    std::unique_ptr<char[]> block(new char[kBlockSize]);
    for (int i = 0; i < count; ++i) {
        size_t got = 0;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const ReadStatus st =
            ReadFull(c.fd, block.get(), kBlockSize, int(std::max<int64_t>(left.count(), 1)), got);
        if (st != ReadStatus::Complete) {
            s.log(QStringLiteral("%1 header block %2 incomplete (%3 of %4 bytes, %5), closed")
                      .arg(c.tag)
                      .arg(i + 1)
                      .arg(got)
                      .arg(kBlockSize)
                      .arg(QLatin1String(statusText(st))));
            return false;
        }
        values[i] = BlockValue(block.get(), kBlockSize);
    }
    return true;
}

// Keeps a connection open without sending, until the client closes or the service stops.
void stallUntilClosed(Service& s, const Connection& c) {
    char sink[4096];
    while (!s.stopping()) {
        const int w = WaitReadable(c.fd, 500);
        if (w < 0)
            return;
        if (w == 0)
            continue;
        const ssize_t r = ::recv(c.fd, sink, sizeof sink, 0);
        if (r == 0 || (r < 0 && errno != EINTR))
            return;
    }
}

enum class SendEnd { Done, Failed, Idle, Evicted };
struct SendOutcome {
    SendEnd end = SendEnd::Done;
    int64_t sent = 0;
    QString why; // for the log, when not Done
};

// The file's bytes from `offset`, at most `limit` of them. A client that takes nothing for the
// idle limit is dropped: its connection would otherwise hold a place on the port for good.
SendOutcome sendFileBytes(Service& s, const Connection& c, int file, int64_t offset,
                          int64_t limit) {
    const int idleMs = s.options().idleTimeoutSec * 1000;
    SendOutcome out;
    off_t pos = offset;
    const int flags = ::fcntl(c.fd, F_GETFL);
    ::fcntl(c.fd, F_SETFL, flags | O_NONBLOCK);
    while (out.sent < limit && !s.stopping()) {
        const size_t chunk = static_cast<size_t>(std::min<int64_t>(limit - out.sent, 4 << 20));
        const ssize_t r = ::sendfile(c.fd, file, &pos, chunk);
        if (r > 0) {
            out.sent += r;
            c.touch();
            continue;
        }
        if (r == 0)
            break; // the file became shorter
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            out.end = c.evicted() ? SendEnd::Evicted : SendEnd::Failed;
            out.why = c.evicted() ? QStringLiteral("closed to make room for a newer connection")
                                  : QStringLiteral("send failed (%1)")
                                        .arg(QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
        pollfd p{c.fd, POLLOUT, 0};
        const int w = ::poll(&p, 1, idleMs);
        if (w < 0 && errno == EINTR)
            continue;
        if (w == 0) {
            out.end = SendEnd::Idle;
            out.why = QStringLiteral("the client took nothing for %1 s (idle time-out)")
                          .arg(s.options().idleTimeoutSec);
            break;
        }
        if (w < 0) {
            out.end = SendEnd::Failed;
            out.why = QStringLiteral("send failed (%1)")
                          .arg(QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
    }
    ::fcntl(c.fd, F_SETFL, flags);
    return out;
}

void resetClose(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

} // namespace

void ServeDownload(Service& s, const Connection& c) {
    const Options& o = s.options();
    if (o.refuseData == RefuseData::Close) {
        s.log(QStringLiteral("%1 connect %2: refused (closed at once)").arg(c.tag, c.peer));
        return;
    }
    s.log(QStringLiteral("%1 connect %2").arg(c.tag, c.peer));
    QByteArray v[4];
    if (!readBlocks(s, c, 4, v))
        return;
    const int64_t announced = ParseInt64(v[2]);
    int64_t offset = ParseInt64(v[3]);
    s.log(QStringLiteral("%1 header ext=%2 key=%3 size=%4 offset=%5")
              .arg(c.tag, Shown(v[0]), Shown(v[1]), Shown(v[2]), Shown(v[3])));

    CatalogueEntry e;
    const int file = s.catalogue().openByKey(v[1], e);
    if (file < 0) {
        s.log(QStringLiteral("%1 unknown file key %2, closed").arg(c.tag, Shown(v[1])));
        return;
    }
    const int64_t size = e.size;
    if (offset < 0) {
        s.log(QStringLiteral("%1 negative offset read as 0").arg(c.tag));
        offset = 0;
    }
    if (announced != size)
        s.log(QStringLiteral("%1 announced size %2 differs from the file's %3")
                  .arg(c.tag)
                  .arg(announced)
                  .arg(size));

    const int number = s.nextDownloadConnection();
    const bool cut = o.cutAfter >= 0 && (o.cutConnections == 0 || number <= o.cutConnections);
    const bool stall =
        o.stallAfter >= 0 && (o.stallConnections == 0 || number <= o.stallConnections);
    const int64_t remaining = offset >= size ? 0 : size - offset;
    int64_t limit = remaining;
    if (cut)
        limit = std::min(limit, o.cutAfter);
    if (stall)
        limit = std::min(limit, o.stallAfter);

    const SendOutcome outcome = sendFileBytes(s, c, file, offset, limit);
    ::close(file);
    const QString what = QStringLiteral("%1 \"%2\" (%3 bytes) from offset %4: sent %5 bytes")
                             .arg(c.tag, e.relative)
                             .arg(size)
                             .arg(offset)
                             .arg(outcome.sent);
    const int64_t sent = outcome.sent;
    if (outcome.end != SendEnd::Done) {
        s.log(what + QStringLiteral(", %1, closed").arg(outcome.why));
        return;
    }
    if (stall) {
        s.log(what + QStringLiteral(", stalled (fault switch)"));
        stallUntilClosed(s, c);
        s.log(QStringLiteral("%1 stalled connection ended").arg(c.tag));
        return;
    }
    if (cut && sent < remaining) {
        s.log(what + (o.cutReset ? QStringLiteral(", cut with a reset (fault switch)")
                                 : QStringLiteral(", cut (fault switch)")));
        if (o.cutReset)
            resetClose(c.fd);
        else
            FinishSending(c.fd, 2000);
        return;
    }
    int64_t extra = 0;
    if (o.overshoot > 0) {
        char pattern[16384];
        std::memset(pattern, 0xA5, sizeof pattern);
        while (extra < o.overshoot && !s.stopping()) {
            const size_t n =
                static_cast<size_t>(std::min<int64_t>(o.overshoot - extra, sizeof pattern));
            if (!SendWhole(c.fd, pattern, n))
                break;
            extra += n;
        }
    }
    s.log(what +
          (extra ? QStringLiteral(" + %1 overshoot bytes (fault switch)").arg(extra) : QString()) +
          QStringLiteral(", closed"));
    FinishSending(c.fd, 5000);
}

namespace {

// Holds the upload connection's claim on its stored copy for as long as it is served.
class StoreClaim {
public:
    StoreClaim(UploadStore& store, QString stored, int fd)
        : store_(store), stored_(std::move(stored)) {
        held_ = store_.claim(stored_, fd, 3000, tookOver_);
    }
    ~StoreClaim() {
        if (held_)
            store_.release(stored_);
    }
    StoreClaim(const StoreClaim&) = delete;
    StoreClaim& operator=(const StoreClaim&) = delete;
    bool held() const { return held_; }
    bool tookOver() const { return tookOver_; }
    bool endedByNewer() { return held_ && store_.endedByNewer(stored_); }

private:
    UploadStore& store_;
    QString stored_;
    bool held_ = false;
    bool tookOver_ = false;
};

} // namespace

void ServeUpload(Service& s, const Connection& c) {
    const Options& o = s.options();
    if (o.refuseData == RefuseData::Close) {
        s.log(QStringLiteral("%1 connect %2: refused (closed at once)").arg(c.tag, c.peer));
        return;
    }
    s.log(QStringLiteral("%1 connect %2").arg(c.tag, c.peer));
    QByteArray v[3];
    if (!readBlocks(s, c, 3, v))
        return;
    int64_t size = ParseInt64(v[2]);
    s.log(QStringLiteral("%1 header token1=%2 token2=%3 size=%4")
              .arg(c.tag, Shown(v[0]), Shown(v[1]), Shown(v[2])));
    const UploadFile* f = s.uploads().byToken(v[0]);
    if (!f || !SameToken(f->token2, v[1])) {
        s.log(QStringLiteral("%1 unknown upload tokens, closed").arg(c.tag));
        return;
    }
    if (size < 0)
        size = 0;

    UploadStore& store = s.store();
    StoreClaim claim(store, store.storedPath(*f), c.fd);
    if (!claim.held()) {
        s.log(QStringLiteral("%1 \"%2\" is still being written by another connection, closed")
                  .arg(c.tag, f->name));
        return;
    }
    if (claim.tookOver())
        s.log(
            QStringLiteral("%1 an older connection writing \"%2\" was ended").arg(c.tag, f->name));
    UploadStore::Session session;
    QString error;
    if (!store.begin(*f, size, session, error)) {
        s.log(QStringLiteral("%1 %2, closed").arg(c.tag, error));
        return;
    }
    if (session.replacing)
        s.log(QStringLiteral("%1 stored copy of \"%2\" is longer than the announced size: the "
                             "upload goes to a partial file that replaces it once complete")
                  .arg(c.tag, f->name));
    const QByteArray reply = QByteArray::number(static_cast<qlonglong>(session.offset));
    if (o.delayMs > 0 && !s.sleepMs(o.delayMs)) {
        UploadStore::abandon(session);
        return;
    }
    if (reply.size() > kMaxOffsetReply) {
        UploadStore::abandon(session);
        s.log(QStringLiteral("%1 stored size %2 does not fit the offset reply, closed")
                  .arg(c.tag, Shown(reply)));
        return;
    }
    if (!SendWhole(c.fd, reply.constData(), reply.size())) {
        UploadStore::abandon(session);
        s.log(QStringLiteral("%1 offset %2: send failed, closed").arg(c.tag, Shown(reply)));
        return;
    }
    s.log(QStringLiteral("%1 \"%2\" offset -> %3").arg(c.tag, f->name, Shown(reply)));

    constexpr int64_t kBuffer = 256 * 1024;
    std::unique_ptr<char[]> buf(new char[kBuffer]);
    int64_t pos = session.offset;
    int64_t received = 0;
    int64_t discarded = 0;
    // A slow data server (fault switch): small reads, each followed by the wait that keeps
    // the bytes read so far at the rate.
    const int64_t readSize =
        o.uploadReadRate > 0 ? std::clamp<int64_t>(o.uploadReadRate / 20, 1, kBuffer) : kBuffer;
    const auto readingSince = std::chrono::steady_clock::now();
    QString end = QStringLiteral("client closed");
    for (;;) {
        const int w = WaitReadable(c.fd, o.idleTimeoutSec * 1000);
        if (w == 0) {
            end = QStringLiteral("idle time-out");
            break;
        }
        if (w < 0 || s.stopping()) {
            end = QStringLiteral("stopped");
            break;
        }
        const ssize_t r = ::recv(c.fd, buf.get(), size_t(readSize), 0);
        if (r == 0) {
            if (c.evicted())
                end = QStringLiteral("closed to make room for a newer connection");
            break;
        }
        if (r < 0) {
            if (errno == EINTR)
                continue;
            end = QStringLiteral("receive error");
            break;
        }
        c.touch();
        received += r;
        // Bytes beyond the announced size are not stored: a client cannot fill the disk.
        const int64_t keep = std::max<int64_t>(0, std::min<int64_t>(r, size - pos));
        discarded += r - keep;
        int64_t written = 0;
        while (written < keep) {
            const ssize_t wr = ::pwrite(session.fd, buf.get() + written, keep - written, pos);
            if (wr <= 0) {
                if (wr < 0 && errno == EINTR)
                    continue;
                break;
            }
            written += wr;
            pos += wr;
        }
        if (written < keep) {
            end =
                QStringLiteral("write error: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
        if (o.uploadReadRate > 0) {
            const auto due =
                readingSince + std::chrono::milliseconds(received * 1000 / o.uploadReadRate);
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                due - std::chrono::steady_clock::now());
            if (wait.count() > 0 && !s.sleepMs(wait.count())) {
                end = QStringLiteral("stopped");
                break;
            }
        }
    }
    if (claim.endedByNewer())
        end = QStringLiteral("ended for a newer connection");
    const bool replacing = session.replacing;
    const bool replaced = store.finish(session, size);
    QString kept;
    if (replaced)
        kept = QStringLiteral(", complete: it replaced the stored copy");
    else if (replacing)
        kept = QStringLiteral(" in the partial file, the stored copy is kept");
    s.log(QStringLiteral("%1 received %2 bytes, stored %3 of %4 bytes of \"%5\"%6%7 (%8)")
              .arg(c.tag)
              .arg(received)
              .arg(pos)
              .arg(size)
              .arg(f->name)
              .arg(kept)
              .arg(discarded ? QStringLiteral(", %1 bytes beyond the size discarded").arg(discarded)
                             : QString())
              .arg(end));
}
