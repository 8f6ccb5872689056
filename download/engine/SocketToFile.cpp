#include "download/engine/SocketToFile.h"

#include "core/DataSocket.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kPipeBytes = 1 << 20;
constexpr qint64 kBufferBytes = 256 * 1024;
} // namespace

SocketToFile::SocketToFile(int socket, int file) : socket_(socket), file_(file) {
    if (::pipe2(pipe_, O_CLOEXEC) == 0) {
        ::fcntl(pipe_[1], F_SETPIPE_SZ, kPipeBytes);
        spliced_ = true;
    }
}

SocketToFile::~SocketToFile() {
    for (int fd : pipe_) {
        if (fd >= 0)
            ::close(fd);
    }
}

SocketToFile::Step SocketToFile::move(qint64 want) {
    return spliced_ ? moveSpliced(want) : moveBuffered(want);
}

SocketToFile::Step SocketToFile::moveSpliced(qint64 want) {
    const int capacity = qMax(4096, ::fcntl(pipe_[1], F_GETPIPE_SZ));
    const ssize_t in = ::splice(socket_, nullptr, pipe_[1], nullptr,
                                size_t(qMin<qint64>(want, capacity)), SPLICE_F_MOVE);
    if (in < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return {Status::Silent};
        if (errno == EINVAL || errno == ENOSYS) { // no splice from this socket
            spliced_ = false;
            return moveBuffered(want);
        }
        return {Status::ReceiveError, 0, errno};
    }
    if (in == 0)
        return {Status::Closed};
    qint64 written = 0;
    while (written < in) {
        const ssize_t out =
            ::splice(pipe_[0], nullptr, file_, nullptr, size_t(in - written), SPLICE_F_MOVE);
        if (out < 0 && errno == EINTR)
            continue;
        if (out < 0 && (errno == EINVAL || errno == ENOSYS)) { // no splice into this file
            spliced_ = false;
            Step rest = drainPipeBuffered(in - written);
            rest.bytes += written;
            return rest;
        }
        if (out <= 0)
            return {Status::WriteError, written, out < 0 ? errno : EIO};
        written += out;
    }
    return {Status::Moved, written};
}

SocketToFile::Step SocketToFile::drainPipeBuffered(qint64 inPipe) {
    buffer_.resize(size_t(kBufferBytes));
    qint64 written = 0;
    while (written < inPipe) {
        const ssize_t n =
            ::read(pipe_[0], buffer_.data(), size_t(qMin<qint64>(inPipe - written, kBufferBytes)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {Status::WriteError, written, EIO};
        if (!WriteAll(file_, buffer_.data(), n))
            return {Status::WriteError, written, errno};
        written += n;
    }
    return {Status::Moved, written};
}

SocketToFile::Step SocketToFile::moveBuffered(qint64 want) {
    buffer_.resize(size_t(kBufferBytes));
    const ssize_t n = ::recv(socket_, buffer_.data(), size_t(qMin<qint64>(want, kBufferBytes)), 0);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return {Status::Silent};
        return {Status::ReceiveError, 0, errno};
    }
    if (n == 0)
        return {Status::Closed};
    if (!WriteAll(file_, buffer_.data(), n))
        return {Status::WriteError, 0, errno};
    return {Status::Moved, n};
}
