#include "upload/engine/UploadThread.h"

#include "core/DataSocket.h"
#include "core/UniqueFd.h"
#include "core/UploadChoices.h"
#include "core/WireNumbers.h"

#include <QDebug>

#include <cerrno>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kMaxOffsetReply = 12;
constexpr int kSliceMs = 100; // how often a wait looks for a stop request

} // namespace

void UploadThread::run() {
    const AttemptOutcome result = transfer();
    if (result != AttemptOutcome::None) {
        progress_.result = result;
        return;
    }
    progress_.markComplete();
    progress_.started = false;
}

AttemptOutcome UploadThread::transfer() {
    using R = AttemptOutcome;
    // Whatever the worker is doing when it sees a stop, the attempt ends as stopped.
    auto failedOrStopped = [this] { return giveUp() ? R::Stopped : R::Failed; };
    const qint64 size = job_.size;

    DataSocket socket;
    if (!socket.connectVia(job_.spare, job_.dataAddress, kDataPort, job_.connectLimitMs,
                           [this] { return giveUp(); }))
        return failedOrStopped();

    UniqueFd file{UploadChoices::openChosen(UploadChoices::chosen(job_.listKey), job_.path)};
    if (!file.valid())
        return R::CannotOpen;

    // A peer that stops taking bytes must not hold the worker forever.
    socket.setSendLimit(job_.sendLimitMs);
    if (!socket.probe())
        return failedOrStopped();
    if (!socket.sendBlock(job_.firstToken) || !socket.sendBlock(job_.secondToken) ||
        !socket.sendBlock(QByteArray::number(size)))
        return failedOrStopped();

    // The resume offset: wait for it without consuming it, then read it.
    for (int waited = 0;;) {
        pollfd p{socket.fd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, kSliceMs);
        if (ready > 0)
            break;
        if (ready < 0 && errno == EINTR)
            continue;
        if (giveUp())
            return R::Stopped;
        waited += kSliceMs;
        if (ready < 0 || waited >= job_.offsetReplyLimitMs) {
            progress_.offsetError = true;
            return R::Failed;
        }
    }
    char reply[kMaxOffsetReply + 1] = {};
    ssize_t got = -1;
    do {
        got = ::recv(socket.fd(), reply, kMaxOffsetReply, 0);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        if (giveUp())
            return R::Stopped;
        // A data server that closed without a word is a lost connection like any other;
        // only a read that fails is the offset error the member is told of.
        progress_.offsetError = got < 0;
        return R::Failed;
    }
    const qint64 offset = ParseWireInt64(QByteArray(reply, int(got)));
    // A server that claims more bytes than the file has holds something else: starting at 0
    // would have it write our bytes behind its own, and seeking to the end would "complete"
    // a file that was never sent. The attempt fails like a lost connection.
    if (offset > size)
        return R::Failed;
    off_t position = offset > 0 ? off_t(offset) : 0;
    progress_.done = position;
    progress_.started = true;

    RateWindow rate;
    rate.start();
    while (position < size) {
        const size_t want = size_t(qMin<qint64>(kChunk, size - position));
        const ssize_t n = ::sendfile(socket.fd(), file.get(), &position, want);
        if (n < 0 && errno == EINTR)
            continue;
        // The file became shorter than announced (0), or the peer is gone: the attempt ends
        // instead of sending nothing forever; a send cut short by a stop is a stop.
        if (n <= 0)
            return failedOrStopped();
        progress_.done = position;
        qint64 measured = 0;
        if (rate.add(n, measured))
            progress_.rate = measured;
        if (position < size && giveUp())
            return R::Stopped;
    }
    // Sent is not received: the last bytes may still wait in buffers on either side, and
    // are lost if the data server goes now. The file is complete when the data server, having
    // read our end after the last byte, closes its side; a reset or a long silence is a failed
    // attempt (the retry asks the offset again, and completes at once if all is there).
    switch (socket.finishSending(job_.closeWaitMs, [this] { return giveUp(); })) {
    case DataSocket::PeerEnd::Closed:
        return R::None;
    case DataSocket::PeerEnd::GaveUp:
        return R::Stopped;
    case DataSocket::PeerEnd::Reset:
    case DataSocket::PeerEnd::Silent:
        break;
    }
    return R::Failed;
}
