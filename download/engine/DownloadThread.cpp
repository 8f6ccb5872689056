#include "download/engine/DownloadThread.h"

#include "core/DataSocket.h"
#include "core/LogCategories.h"
#include "core/UniqueFd.h"
#include "download/engine/SafePath.h"
#include "download/engine/SaveFolder.h"
#include "download/engine/SocketToFile.h"

#include <QDebug>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSliceMs = 100; // how often a silent wait looks for a stop request

bool noSpace(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

} // namespace

void DownloadThread::run() {
    using R = AttemptOutcome;
    // The folder chain first, as the file's place must exist before any byte comes.
    const SaveFolder folder(job_.root, job_.subfolder);
    if (folder.status() == SaveFolder::Status::NotAcceptable) {
        progress_.result = R::NotAcceptable;
        return;
    }
    if (folder.status() == SaveFolder::Status::CannotCreate) {
        progress_.result = R::CannotWrite;
        return;
    }

    DataSocket socket;
    if (!socket.connectVia(job_.spare, job_.dataAddress, kDataPort, job_.connectLimitMs,
                           [this] { return giveUp(); })) {
        progress_.result = giveUp() ? R::Stopped : R::Failed;
        return;
    }
    // A peer that stops reading must not hold the header sends forever.
    socket.setSendLimit(job_.sendLimitMs);
    if (!socket.probe()) {
        progress_.result = R::Failed;
        return;
    }
    progress_.started = true;
    const qint64 size = job_.size;
    if (!socket.sendBlock(job_.extension + "/") || !socket.sendBlock(job_.fileKey) ||
        !socket.sendBlock(QByteArray::number(size))) {
        progress_.result = R::Failed;
        return;
    }

    // A renamed row without a file of its own starts a new one: whatever is at its name
    // belongs to someone else.
    qint64 offset = job_.makeNewName ? 0 : folder.localSize(job_.localName);
    if (offset < 0) {
        progress_.result = R::NotAcceptable;
        return;
    }
    if (!job_.resume && !job_.makeNewName) {
        if (job_.duplicateAnswer == DuplicateAnswer::None) {
            if (job_.duplicatePolicy == DuplicatePolicy::Overwrite) {
                offset = 0;
            } else if (job_.duplicatePolicy == DuplicatePolicy::Ask && offset != 0) {
                progress_.result = R::AskUser;
                return;
            }
        } else if (job_.duplicateAnswer == DuplicateAnswer::Overwrite) {
            offset = 0;
        }
    }
    // A local file longer than the server's is not a beginning of it: resuming would call it
    // complete with none of this file's bytes, and starting over would destroy what the
    // member has. The file fails; the local one stays as it is.
    if (offset > size) {
        progress_.result = R::NotAcceptable;
        return;
    }
    if (!socket.sendBlock(QByteArray::number(offset))) {
        progress_.result = R::Failed;
        return;
    }
    // Bytes present in the local file: what the progress reports from here on.
    progress_.done = offset;
    if (offset != 0 && offset == size) {
        progress_.alreadyComplete = true;
        progress_.markComplete();
        return;
    }

    UniqueFd file{job_.makeNewName ? createNamed(folder)
                                   : folder.openForWriting(job_.localName, offset == 0)};
    if (!file.valid()) {
        progress_.result = errno == ELOOP   ? R::NotAcceptable
                           : noSpace(errno) ? R::DiskFull
                                            : R::CannotWrite;
        return;
    }
    if (offset != 0 && ::lseek(file.get(), off_t(offset), SEEK_SET) < 0) {
        progress_.result = R::CannotWrite;
        return;
    }
    receiveInto(socket, file.get(), offset);
}

int DownloadThread::createNamed(const SaveFolder& folder) {
    for (int number = 0; number <= kMaxNumber; ++number) {
        const QString name = NumberedName(job_.localName, number);
        if (job_.taken.contains(name))
            continue;
        const int fd = folder.createNew(name);
        if (fd >= 0) {
            progress_.claimName(name);
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = ELOOP; // every name is taken: this file fails, the list goes on
    return -1;
}

void DownloadThread::receiveInto(DataSocket& socket, int file, qint64 offset) {
    using R = AttemptOutcome;
    qint64 missing = job_.size - offset;
    // Receives that give up every slice, so a stop request or a stalled server is noticed
    // without a poll call in front of every read.
    socket.setReceiveSlice(kSliceMs);
    SocketToFile mover(socket.fd(), file);
    RateWindow rate;
    rate.start();
    int silentMs = 0;
    while (missing > 0) {
        if (job_.cancel && job_.cancel->load()) {
            progress_.result = R::Failed;
            return;
        }
        // Never more than the file still lacks: what a server sends beyond it stays unread.
        const SocketToFile::Step step = mover.move(missing);
        if (step.bytes > 0) {
            missing -= step.bytes;
            progress_.done.fetch_add(step.bytes);
            silentMs = 0;
            qint64 measured = 0;
            if (rate.add(step.bytes, measured))
                progress_.rate = measured;
        }
        switch (step.status) {
        case SocketToFile::Status::Moved:
            break;
        case SocketToFile::Status::Silent:
            silentMs += kSliceMs;
            if (!progress_.stopRequested() && silentMs < job_.stallLimitMs)
                continue;
            progress_.result = progress_.stopRequested() ? R::Stopped : R::Failed;
            return;
        case SocketToFile::Status::Closed: // before the whole file came
            progress_.result = R::Failed;
            return;
        case SocketToFile::Status::ReceiveError:
            progress_.receiveError = true;
            progress_.result = R::Failed;
            return;
        case SocketToFile::Status::WriteError:
            progress_.result = noSpace(step.error) ? R::DiskFull : R::CannotWrite;
            return;
        }
        if (missing > 0 && progress_.stopRequested()) {
            progress_.result = R::Stopped;
            return;
        }
    }
    // Every announced byte is here: the file is complete, whatever else the server sends.
    char extra = 0;
    if (::recv(socket.fd(), &extra, 1, MSG_PEEK | MSG_DONTWAIT) > 0)
        qCWarning(lcDownload,
                  "the server sent more than the announced %lld bytes; the rest is "
                  "dropped",
                  static_cast<long long>(job_.size));
    progress_.markComplete();
}
