#include "core/ServerLink.h"

#include "core/DataSocket.h"
#include "core/DesktopSeams.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {
constexpr int kSliceMs = 100; // how often a wait looks at the cancel flag
} // namespace

ServerLink::~ServerLink() {
    Close();
}

ServerLink::ServerLink(ServerLink&& other) noexcept
    : limits_(other.limits_), cancel_(other.cancel_), socket_(std::exchange(other.socket_, -1)),
      connected_(std::exchange(other.connected_, false)), failed_(other.failed_),
      closedByPeer_(other.closedByPeer_) {}

ServerLink& ServerLink::operator=(ServerLink&& other) noexcept {
    if (this != &other) {
        Close();
        limits_ = other.limits_;
        cancel_ = other.cancel_;
        socket_ = std::exchange(other.socket_, -1);
        connected_ = std::exchange(other.connected_, false);
        failed_ = other.failed_;
        closedByPeer_ = other.closedByPeer_;
    }
    return *this;
}

void ServerLink::apply(const LinkSettings& settings) {
    limits_ = settings.limits;
    cancel_ = settings.cancel.get();
}

QString ServerLink::ResolveAddress(const QString& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &result) != 0 || !result)
        return {};
    QString dotted;
    const auto* in = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
    if (in->sin_addr.s_addr != 0) {
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
            dotted = QString::fromLatin1(text);
    }
    ::freeaddrinfo(result);
    return dotted;
}

bool ServerLink::waitFor(short events, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (cancel_ && cancel_->load())
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return false;
        pollfd p{socket_, events, 0};
        const int r = ::poll(&p, 1, int(qMin<qint64>(left, kSliceMs)));
        if (r > 0)
            return true;
        if (r < 0 && errno != EINTR)
            return false;
    }
}

bool ServerLink::Connect(const QString& address, int port) {
    Close();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    if (::inet_pton(AF_INET, address.toLatin1().constData(), &to.sin_addr) != 1)
        return false;
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0)
        return false;
    // Connect without blocking so the wait can be bounded, then go back to blocking.
    const int flags = ::fcntl(socket_, F_GETFL);
    ::fcntl(socket_, F_SETFL, flags | O_NONBLOCK);
    int r = ::connect(socket_, reinterpret_cast<sockaddr*>(&to), sizeof to);
    if (r != 0 && errno == EINPROGRESS && waitFor(POLLOUT, limits_.connectMs)) {
        int error = 0;
        socklen_t len = sizeof error;
        ::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &len);
        r = error == 0 ? 0 : -1;
    }
    ::fcntl(socket_, F_SETFL, flags);
    if (r != 0) {
        Close();
        return false;
    }
    connected_ = true;
    return true;
}

bool ServerLink::ConnectToFileServer() {
    return Connect(ResolveAddress(ServiceAddress::fileServer()), kControlPort);
}

bool ServerLink::ConnectToFileServer(const std::shared_ptr<SpareConnection>& spare, int maxAgeMs) {
    const QString address = ResolveAddress(ServiceAddress::fileServer());
    if (spare && spare->isFor(address.toLatin1(), kControlPort)) {
        const int fd = spare->takeConnected(
            limits_.connectMs, [this] { return cancel_ && cancel_->load(); }, maxAgeMs);
        if (fd >= 0) {
            Close();
            socket_ = fd;
            connected_ = true;
            return true;
        }
    }
    return Connect(address, kControlPort);
}

std::shared_ptr<SpareConnection> ServerLink::OpenSpareToFileServer() {
    return SpareConnection::open(ResolveAddress(ServiceAddress::fileServer()).toLatin1(),
                                 kControlPort);
}

bool ServerLink::sendAll(const QByteArray& command) {
    qsizetype sent = 0;
    while (sent < command.size()) {
        if (!waitFor(POLLOUT, limits_.replyStartMs))
            return false;
        const ssize_t n = ::send(socket_, command.constData() + sent, size_t(command.size() - sent),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

QByteArray ServerLink::Exchange(const QByteArray& command) {
    failed_ = true;
    closedByPeer_ = false;
    if (command.size() > kBufferSize || socket_ < 0)
        return {};
    // An empty command puts nothing on the wire, so no reply can come: waiting for one would
    // only hold the caller until the time limit (signing off an empty member id does this).
    if (command.isEmpty()) {
        failed_ = false;
        return {};
    }
    if (!sendAll(command) || !waitFor(POLLIN, limits_.replyStartMs)) {
        Close();
        return {};
    }
    // The reply is what one receive gives once it has begun.
    char buffer[kBufferSize + 1];
    ssize_t n;
    do {
        n = ::recv(socket_, buffer, kBufferSize, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        Close();
        return {};
    }
    failed_ = false;
    closedByPeer_ = n == 0;
    buffer[n] = '\0';
    // Read as a terminator-ended text: anything after a zero byte is dropped.
    return QByteArray(buffer, qsizetype(qstrnlen(buffer, size_t(n))));
}

void ServerLink::Close() {
    connected_ = false;
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
}
