#include "UploadThread.h"

#include "DataSocket.h"
#include "ServerLink.h"
#include "WireNumbers.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxOffsetReply = 12;
constexpr int kSliceMs = 100; // how often a wait looks for a stop request

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

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

    DataSocket socket;
    if (!socket.connectTo(address, kDataPort, shared_.connectLimitMs, stopRequested))
        return UploadShared::Failed;

    const QByteArray nativePath = QFile::encodeName(path_);
    struct stat local {};
    if (::stat(nativePath.constData(), &local) != 0 || !S_ISREG(local.st_mode))
        return UploadShared::CannotOpen;
    Fd file{::open(nativePath.constData(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return UploadShared::CannotOpen;

    // A peer that stops taking bytes must not hold the worker forever.
    socket.setSendLimit(shared_.sendLimitMs);
    if (!socket.probe())
        return UploadShared::Failed;
    if (!socket.sendBlock(record_.firstToken) || !socket.sendBlock(record_.secondToken) ||
        !socket.sendBlock(QByteArray::number(size)))
        return UploadShared::Failed;

    // The resume offset: wait for it without consuming it, then read it.
    int waited = 0;
    for (;;) {
        pollfd p{socket.fd(), POLLIN, 0};
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
        got = ::recv(socket.fd(), reply, kMaxOffsetReply, 0);
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
    RateWindow rate;
    rate.start();
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
        if (!socket.sendAll(buffer.data(), n))
            return stopRequested() ? UploadShared::Stopped : UploadShared::Failed;
        done += n;
        record_.done = done;
        qint64 measured = 0;
        if (rate.add(n, measured))
            shared_.measuredRate = measured;
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
