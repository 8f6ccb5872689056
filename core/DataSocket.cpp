#include "core/DataSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSliceMs = 100;

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

DataSocket::DataSocket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}

DataSocket::~DataSocket() {
    if (fd_ < 0)
        return;
    // Closing with unread input makes the system reset the connection, which throws away
    // what is still waiting in the send buffer: an upload's last bytes. Whatever the peer sent
    // that nobody read (a longer offset reply, an overshoot) is read and dropped first.
    char scratch[4096];
    for (int round = 0; round < 256; ++round) {
        const ssize_t n = ::recv(fd_, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n > 0)
            continue;
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    ::close(fd_);
}

std::shared_ptr<SpareConnection> SpareConnection::open(const QByteArray& address, int port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    if (::inet_pton(AF_INET, address.constData(), &to.sin_addr) != 1)
        return nullptr;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return nullptr;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<SpareConnection>(new SpareConnection(fd, address, port));
}

SpareConnection::~SpareConnection() {
    const int fd = take();
    if (fd >= 0)
        ::close(fd);
}

namespace {

// Waits for the connect of non-blocking `fd` to end; true when it connected.
bool waitConnected(int fd, int limitMs, const std::function<bool()>& giveUp) {
    for (int waited = 0; waited < limitMs && !(giveUp && giveUp()); waited += kSliceMs) {
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, kSliceMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready != 0) {
            int error = 0;
            socklen_t len = sizeof error;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
            return ready > 0 && error == 0;
        }
    }
    return false;
}

// A connected socket whose peer has closed or reset it already: nothing can be asked on it.
bool droppedByPeer(int fd) {
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    char byte = 0;
    const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    // Our servers speak only when spoken to: any byte before that is as wrong as a close.
    return n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

} // namespace

SpareConnection::SpareConnection(int fd, QByteArray address, int port)
    : address_(std::move(address)), port_(port), openedNs_(nowNs()), fd_(fd) {}

qint64 SpareConnection::ageMs() const {
    return (nowNs() - openedNs_) / 1000000;
}

int SpareConnection::takeConnected(int limitMs, const std::function<bool()>& giveUp, int maxAgeMs) {
    const int fd = take();
    if (fd < 0)
        return -1;
    if (ageMs() <= maxAgeMs && waitConnected(fd, limitMs, giveUp) && !droppedByPeer(fd)) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    ::close(fd);
    return -1;
}

bool DataSocket::connectVia(const std::shared_ptr<SpareConnection>& spare,
                            const QByteArray& address, int port, int limitMs,
                            const std::function<bool()>& giveUp) {
    if (spare && spare->isFor(address, port)) {
        // The engine closes a spare that idles longer; the age is not looked at again here.
        const int fd = spare->takeConnected(limitMs, giveUp, std::numeric_limits<int>::max());
        if (fd >= 0) {
            if (fd_ >= 0)
                ::close(fd_);
            fd_ = fd;
            return true;
        }
        if (giveUp && giveUp())
            return false;
    }
    return connectTo(address, port, limitMs, giveUp);
}

bool DataSocket::connectTo(const QByteArray& address, int port, int limitMs,
                           const std::function<bool()>& giveUp) {
    if (fd_ < 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    if (::inet_pton(AF_INET, address.constData(), &to.sin_addr) != 1)
        return false;
    const int flags = ::fcntl(fd_, F_GETFL);
    ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    int r = ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (r != 0 && errno == EINPROGRESS) {
        r = -1;
        for (int waited = 0; waited < limitMs && !(giveUp && giveUp()); waited += kSliceMs) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, kSliceMs) > 0) {
                int error = 0;
                socklen_t len = sizeof error;
                ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len);
                r = error == 0 ? 0 : -1;
                break;
            }
        }
    }
    ::fcntl(fd_, F_SETFL, flags);
    return r == 0;
}

void DataSocket::setSendLimit(int ms) {
    const timeval limit{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

void DataSocket::setReceiveSlice(int ms) {
    const timeval slice{ms / 1000, (ms % 1000) * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice);
}

bool DataSocket::probe() {
    return ::send(fd_, "", 0, MSG_NOSIGNAL) >= 0;
}

bool DataSocket::sendAll(const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::send(fd_, data, size_t(size), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool DataSocket::sendBlock(const QByteArray& text) {
    QByteArray block(kHeaderBlock, '\0');
    std::memcpy(block.data(), text.constData(),
                size_t(qMin<qsizetype>(text.size(), kHeaderBlock - 1)));
    return sendAll(block.constData(), block.size());
}

DataSocket::PeerEnd DataSocket::finishSending(int silenceMs, const std::function<bool()>& giveUp) {
    if (::shutdown(fd_, SHUT_WR) != 0)
        return PeerEnd::Reset;
    char scratch[4096];
    for (int silent = 0;;) {
        if (giveUp && giveUp())
            return PeerEnd::GaveUp;
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, kSliceMs);
        if (ready < 0 && errno != EINTR)
            return PeerEnd::Reset;
        if (ready <= 0) {
            silent += ready == 0 ? kSliceMs : 0;
            if (silent >= silenceMs)
                return PeerEnd::Silent;
            continue;
        }
        const ssize_t n = ::recv(fd_, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n == 0)
            return PeerEnd::Closed;
        if (n > 0)
            silent = 0;
        else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return PeerEnd::Reset;
    }
}

void RateWindow::start() {
    startNs_ = nowNs();
    bytes_ = 0;
}

bool RateWindow::add(qint64 bytes, qint64& rate) {
    bytes_ += bytes;
    const qint64 elapsedUs = (nowNs() - startNs_) / 1000;
    if (elapsedUs <= 200000)
        return false;
    rate = (1000000000 / elapsedUs) * bytes_ / 1000;
    start();
    return true;
}

bool WriteAll(int fd, const char* data, qint64 size) {
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
