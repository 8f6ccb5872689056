#include "UploadThread.h"

#include "ServerLink.h"
#include "WireNumbers.h"

#include <QFile>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSliceMs = 100; // how often a wait looks for a stop request
constexpr int kMaxOffsetReply = 12;

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Connects with a bounded wait that gives up early when `give up` says so.
template <class GiveUp>
bool connectTo(int fd, const QByteArray& address, int limitMs, GiveUp giveUp) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(UploadThread::kDataPort);
    if (::inet_pton(AF_INET, address.constData(), &to.sin_addr) != 1)
        return false;
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int r = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (r != 0 && errno == EINPROGRESS) {
        r = -1;
        for (int waited = 0; waited < limitMs && !giveUp(); waited += kSliceMs) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, kSliceMs) > 0) {
                int error = 0;
                socklen_t len = sizeof error;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
                r = error == 0 ? 0 : -1;
                break;
            }
        }
    }
    ::fcntl(fd, F_SETFL, flags);
    return r == 0;
}

// The whole buffer or failure; a send that the peer does not take within SO_SNDTIMEO fails.
bool sendAll(int socket, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::send(socket, data, size_t(size), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// A text, its NUL and zero padding: the fixed header block the data server reads.
bool sendBlock(int socket, const QByteArray& text) {
    QByteArray block(UploadThread::kHeaderBlock, '\0');
    std::memcpy(block.data(), text.constData(),
                size_t(qMin<qsizetype>(text.size(), UploadThread::kHeaderBlock - 1)));
    return sendAll(socket, block.constData(), block.size());
}

} // namespace

void UploadThread::measure(qint64 bytes) {
    windowBytes_ += bytes;
    const qint64 elapsedUs = (nowNs() - windowStartNs_) / 1000;
    if (elapsedUs > 200000) {
        shared_.measuredRate = (1000000000 / elapsedUs) * windowBytes_ / 1000;
        windowStartNs_ = nowNs();
        windowBytes_ = 0;
    }
}

void UploadThread::run() {
    const int result = transfer();
    if (result != UploadShared::None) {
        shared_.transferResult = result;
        return;
    }
    record_.state = UploadRecord::Done;
    record_.started = 0;
    notifyComplete();
}

int UploadThread::transfer() {
    auto stopRequested = [this] {
        return shared_.aborting.load() || record_.state == UploadRecord::StopRequested;
    };
    const QByteArray address = record_.dataAddress;
    // The announced size bounds what is sent: the data server keeps no byte beyond it, and
    // the row completes when its bytes done reach it.
    const qint64 size = record_.size;

    Fd socket{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (socket.fd < 0 || !connectTo(socket.fd, address, shared_.connectLimitMs, stopRequested))
        return UploadShared::Failed;

    const QByteArray nativePath = QFile::encodeName(path_);
    struct stat local {};
    if (::stat(nativePath.constData(), &local) != 0 || !S_ISREG(local.st_mode))
        return UploadShared::CannotOpen;
    Fd file{::open(nativePath.constData(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return UploadShared::CannotOpen;

    // A peer that stops taking bytes must not hold the worker forever.
    const timeval sendLimit{shared_.sendLimitMs / 1000, (shared_.sendLimitMs % 1000) * 1000};
    ::setsockopt(socket.fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    if (::send(socket.fd, "", 0, MSG_NOSIGNAL) < 0)
        return UploadShared::Failed;
    if (!sendBlock(socket.fd, record_.firstToken) || !sendBlock(socket.fd, record_.secondToken) ||
        !sendBlock(socket.fd, QByteArray::number(size)))
        return UploadShared::Failed;

    // The resume offset: wait for it without consuming it, then read it.
    int waited = 0;
    for (;;) {
        pollfd p{socket.fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, kSliceMs);
        if (ready > 0)
            break;
        if (ready < 0 && errno == EINTR)
            continue;
        if (stopRequested())
            return UploadShared::Stopped;
        waited += kSliceMs;
        if (ready < 0 || waited >= shared_.offsetReplyLimitMs) {
            shared_.offsetError = true;
            return UploadShared::Failed;
        }
    }
    char reply[kMaxOffsetReply + 1] = {};
    ssize_t got = -1;
    do {
        got = ::recv(socket.fd, reply, kMaxOffsetReply, 0);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        shared_.offsetError = true;
        return UploadShared::Failed;
    }
    const qint64 offset = ParseWireInt64(QByteArray(reply, int(got)));
    // A server that claims more bytes than the file has holds something else: starting at 0
    // would have it write our bytes behind its own, and seeking to the end would "complete"
    // a file that was never sent. The attempt fails like a lost connection.
    if (offset > size)
        return UploadShared::Failed;
    qint64 done = 0;
    if (offset > 0) {
        if (::lseek(file.fd, off_t(offset), SEEK_SET) < 0)
            return UploadShared::Failed;
        done = offset;
    }
    record_.done = done;
    record_.started = 1;

    std::vector<char> buffer(size_t(qMin<qint64>(kChunk, qMax<qint64>(size - done, 1))));
    windowStartNs_ = nowNs();
    windowBytes_ = 0;
    while (done < size) {
        const size_t want = size_t(qMin<qint64>(qint64(buffer.size()), size - done));
        ssize_t n;
        do {
            n = ::read(file.fd, buffer.data(), want);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return UploadShared::CannotOpen;
        // The file became shorter than announced: end the attempt instead of reading nothing
        // forever.
        if (n == 0)
            return UploadShared::Failed;
        // A send cut short by the program's end or a stop is not a lost connection.
        if (!sendAll(socket.fd, buffer.data(), n))
            return stopRequested() ? UploadShared::Stopped : UploadShared::Failed;
        done += n;
        record_.done = done;
        measure(n);
        if (stopRequested())
            return UploadShared::Stopped;
    }
    return UploadShared::None;
}

void UploadThread::notifyComplete() {
    ServerLink link([this] { shared_.noticeFailed = true; });
    if (!link.ConnectToFileServer())
        return;
    link.Exchange("@Upload_complute");
    link.Exchange(QByteArray::number(record_.fileNumber));
    link.Close();
}
