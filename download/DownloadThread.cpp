#include "DownloadThread.h"

#include "TextCodec.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSliceMs = 100; // how often a silent wait looks for a stop request

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

// Connects with a bounded wait that gives up early when the program ends.
bool connectTo(int fd, const QByteArray& address, const Shared<bool>& aborting) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(DownloadThread::kDataPort);
    if (::inet_pton(AF_INET, address.constData(), &to.sin_addr) != 1)
        return false;
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int r = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (r != 0 && errno == EINPROGRESS) {
        r = -1;
        for (int waited = 0; waited < 20000 && !aborting; waited += kSliceMs) {
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

bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

bool DownloadThread::sendBlock(int socket, const QByteArray& text) {
    QByteArray block(kHeaderBlock, '\0');
    std::memcpy(block.data(), text.constData(),
                size_t(qMin<qsizetype>(text.size(), kHeaderBlock - 1)));
    qsizetype sent = 0;
    while (sent < block.size()) {
        const ssize_t n =
            ::send(socket, block.constData() + sent, size_t(block.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

void DownloadThread::measure(qint64 bytes) {
    windowBytes_ += bytes;
    const qint64 elapsedUs = (nowNs() - windowStartNs_) / 1000;
    if (elapsedUs > 200000) {
        shared_.measuredSpeed = (1000000000 / elapsedUs) * windowBytes_ / 1000;
        windowStartNs_ = nowNs();
        windowBytes_ = 0;
    }
}

void DownloadThread::run() {
    const QByteArray address = record_.dataAddress;
    const QString path = record_.localPath();

    // The subfolder chain under the root, one component at a time.
    if (!record_.subfolder.isEmpty())
        QDir(record_.root).mkpath(record_.subfolder);

    Fd socket{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    if (socket.fd < 0 || !connectTo(socket.fd, address, shared_.aborting)) {
        shared_.transferResult = DownloadShared::Failed;
        return;
    }
    // A peer that stops reading must not hold the header sends forever.
    const timeval sendLimit{20, 0};
    ::setsockopt(socket.fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    if (::send(socket.fd, "", 0, MSG_NOSIGNAL) < 0) {
        shared_.transferResult = DownloadShared::Failed;
        return;
    }
    record_.started = 1;
    const qint64 size = record_.size;
    if (!sendBlock(socket.fd, record_.extension + "/") || !sendBlock(socket.fd, record_.fileKey) ||
        !sendBlock(socket.fd, QByteArray::number(size))) {
        shared_.transferResult = DownloadShared::Failed;
        return;
    }

    struct stat local {};
    const QByteArray nativePath = QFile::encodeName(path);
    qint64 offset = ::stat(nativePath.constData(), &local) == 0 ? qint64(local.st_size) : 0;
    if (shared_.resumeIndex == -1) {
        const int choice = shared_.fileOverChoice;
        if (choice == 0) {
            const int mode = shared_.fileOverMode;
            if (mode == 1) {
                offset = 0;
            } else if (mode == 2 && offset != 0) {
                shared_.transferResult = DownloadShared::AskUser;
                return;
            }
        } else if (choice == 1) {
            offset = 0;
        }
    }
    if (!sendBlock(socket.fd, QByteArray::number(offset))) {
        shared_.transferResult = DownloadShared::Failed;
        return;
    }
    // Bytes present in the local file: what the record reports from here on.
    record_.done = offset;
    if (offset != 0 && offset == size) {
        record_.state = FileRecord::Done;
        record_.started = 0;
        shared_.fileOverChoice = 0;
        return;
    }

    Fd file{offset != 0
                ? ::open(nativePath.constData(), O_WRONLY | O_CLOEXEC)
                : ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
    if (file.fd < 0 || (offset != 0 && ::lseek(file.fd, off_t(offset), SEEK_SET) < 0)) {
        shared_.transferResult = DownloadShared::CannotWrite;
        return;
    }
    receiveInto(socket.fd, file.fd, offset);
}

void DownloadThread::receiveInto(int socket, int file, qint64 offset) {
    const qint64 size = record_.size;
    // Never more than the file still lacks: a server that sends more has failed the attempt.
    qint64 allowed = size - offset;
    std::vector<char> buffer(kReceiveBuffer);
    // Blocking receives that give up every slice, so a stop request or a stalled server is
    // noticed without a poll call in front of every read.
    const timeval slice{0, kSliceMs * 1000};
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice);
    windowStartNs_ = nowNs();
    int silentMs = 0;
    bool stopped = false;
    bool failed = false;
    for (;;) {
        if (shared_.aborting) {
            failed = true;
            break;
        }
        // One more byte than allowed, so that an overshooting server is noticed.
        const size_t want = size_t(qBound<qint64>(1, allowed + 1, qint64(buffer.size())));
        const ssize_t n = ::recv(socket, buffer.data(), want, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (record_.state == FileRecord::StopRequested) {
                stopped = true;
                break;
            }
            silentMs += kSliceMs;
            if (silentMs >= shared_.stallLimitMs) {
                failed = true;
                break;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            shared_.receiveError = true;
            break;
        }
        if (n == 0)
            break;
        silentMs = 0;
        if (n > allowed) {
            // The bytes up to the announced size are the file's own: keep them, so the retry
            // finds the file complete; what follows is the server's fault.
            if (allowed > 0 && writeAll(file, buffer.data(), allowed))
                record_.done.fetchAdd(allowed);
            failed = true;
            break;
        }
        if (!writeAll(file, buffer.data(), n)) {
            shared_.transferResult = DownloadShared::CannotWrite;
            return;
        }
        allowed -= n;
        record_.done.fetchAdd(n);
        measure(n);
        if (record_.state == FileRecord::StopRequested) {
            stopped = true;
            break;
        }
    }
    if (stopped) {
        shared_.transferResult = DownloadShared::Stopped;
        return;
    }
    if (!failed && record_.done == size) {
        record_.state = FileRecord::Done;
        record_.started = 0;
        shared_.fileOverChoice = 0;
        shared_.resumeIndex = -1;
        return;
    }
    shared_.transferResult = DownloadShared::Failed;
}
