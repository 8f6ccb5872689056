#include "DownloadThread.h"

#include "DataSocket.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kSliceMs = 100; // how often a silent wait looks for a stop request
} // namespace

void DownloadThread::run() {
    const QByteArray address = record_.dataAddress;
    const QString path = record_.localPath();

    // The subfolder chain under the root, one component at a time.
    if (!record_.subfolder.isEmpty())
        QDir(record_.root).mkpath(record_.subfolder);

    DataSocket socket;
    if (!socket.connectTo(address, kDataPort, 20000, [this] { return shared_.aborting.load(); })) {
        shared_.transferResult = DownloadShared::Failed;
        return;
    }
    // A peer that stops reading must not hold the header sends forever.
    socket.setSendLimit(20000);
    if (!socket.probe()) {
        shared_.transferResult = DownloadShared::Failed;
        return;
    }
    record_.started = 1;
    const qint64 size = record_.size;
    if (!socket.sendBlock(record_.extension + "/") || !socket.sendBlock(record_.fileKey) ||
        !socket.sendBlock(QByteArray::number(size))) {
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
    if (!socket.sendBlock(QByteArray::number(offset))) {
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

    const int file = offset != 0 ? ::open(nativePath.constData(), O_WRONLY | O_CLOEXEC)
                                 : ::open(nativePath.constData(),
                                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0 || (offset != 0 && ::lseek(file, off_t(offset), SEEK_SET) < 0)) {
        if (file >= 0)
            ::close(file);
        shared_.transferResult = DownloadShared::CannotWrite;
        return;
    }
    receiveInto(socket, file, offset);
    ::close(file);
}

void DownloadThread::receiveInto(DataSocket& socket, int file, qint64 offset) {
    const qint64 size = record_.size;
    // Never more than the file still lacks: a server that sends more has failed the attempt.
    qint64 allowed = size - offset;
    std::vector<char> buffer(kReceiveBuffer);
    // Blocking receives that give up every slice, so a stop request or a stalled server is
    // noticed without a poll call in front of every read.
    socket.setReceiveSlice(kSliceMs);
    RateWindow rate;
    rate.start();
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
        const ssize_t n = ::recv(socket.fd(), buffer.data(), want, 0);
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
            if (allowed > 0 && WriteAll(file, buffer.data(), allowed))
                record_.done.fetchAdd(allowed);
            failed = true;
            break;
        }
        if (!WriteAll(file, buffer.data(), n)) {
            shared_.transferResult = DownloadShared::CannotWrite;
            return;
        }
        allowed -= n;
        record_.done.fetchAdd(n);
        qint64 measured = 0;
        if (rate.add(n, measured))
            shared_.measuredSpeed = measured;
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
