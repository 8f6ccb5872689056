#include "ServerLink.h"

#include "DesktopSeams.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Waits for `events` on fd; false on time-out or error.
bool waitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs);
        if (r > 0)
            return true;
        if (r == 0 || errno != EINTR)
            return false;
    }
}
} // namespace

ServerLink::ServerLink(std::function<void()> onConnectFailure)
    : onConnectFailure_(std::move(onConnectFailure)) {}

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

bool ServerLink::Connect(const QString& address, int port) {
    connected_ = false;
    socket_ = -1;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(port));
    const bool dotted = ::inet_pton(AF_INET, address.toLatin1().constData(), &to.sin_addr) == 1;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool ok = dotted && fd >= 0;
    if (ok) {
        // Connect without blocking so the wait can be bounded, then go back to blocking.
        const int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        int r = ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (r != 0 && errno == EINPROGRESS && waitFor(fd, POLLOUT, limits_.connectMs)) {
            int error = 0;
            socklen_t len = sizeof error;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
            r = error == 0 ? 0 : -1;
        }
        ::fcntl(fd, F_SETFL, flags);
        ok = r == 0;
    }
    if (!ok) {
        if (fd >= 0)
            ::close(fd);
        if (onConnectFailure_)
            onConnectFailure_();
        return false;
    }
    socket_ = fd;
    connected_ = true;
    return true;
}

bool ServerLink::ConnectToFileServer() {
    return Connect(ResolveAddress(ServiceAddress::fileServer()), kControlPort);
}

QByteArray ServerLink::Exchange(const QByteArray& command) {
    if (command.size() > kBufferSize)
        return {};
    if (socket_ < 0) // never connected, or closed after a failure: the send fails
        return {};
    // An empty command puts nothing on the wire, so no reply can come: waiting for one would
    // only hold the window until the time limit (signing off an empty member id does this).
    if (command.isEmpty())
        return {};
    if (::send(socket_, command.constData(), size_t(command.size()), MSG_NOSIGNAL) < 0) {
        Close();
        return {};
    }
    // Wait for the reply to begin, then take what one receive gives.
    char buffer[kBufferSize + 1];
    if (!waitFor(socket_, POLLIN, limits_.replyStartMs)) {
        Close();
        return {};
    }
    ssize_t n;
    do {
        n = ::recv(socket_, buffer, kBufferSize, MSG_PEEK);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
        do {
            n = ::recv(socket_, buffer, kBufferSize, 0);
        } while (n < 0 && errno == EINTR);
    }
    if (n < 0) {
        Close();
        return {};
    }
    buffer[n] = '\0';
    // The reply is read as a terminator-ended text: anything after a zero byte is dropped.
    return QByteArray(buffer, qsizetype(qstrnlen(buffer, size_t(n))));
}

void ServerLink::Close() {
    connected_ = false;
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
}
