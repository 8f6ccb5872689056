#include "fileservice/Net.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

int WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        return r > 0 ? 1 : 0;
    }
}

ReadStatus ReadFull(int fd, char* buf, size_t len, int timeoutMs, size_t& got) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    got = 0;
    while (got < len) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return ReadStatus::TimedOut;
        const int w = WaitReadable(fd, static_cast<int>(left.count()));
        if (w == 0)
            return ReadStatus::TimedOut;
        if (w < 0)
            return ReadStatus::Error;
        const ssize_t r = ::recv(fd, buf + got, len - got, 0);
        if (r == 0)
            return ReadStatus::Closed;
        if (r < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return ReadStatus::Error;
        }
        got += static_cast<size_t>(r);
    }
    return ReadStatus::Complete;
}

bool SendWhole(int fd, const char* data, size_t len) {
    size_t sent = 0;
    while (sent < len) {
        const ssize_t r = ::send(fd, data + sent, len - sent, MSG_NOSIGNAL);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        sent += static_cast<size_t>(r);
    }
    return true;
}

int64_t Drain(int fd, int quietMs, int totalMs, int64_t maxBytes, bool& overflow) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(totalMs);
    char buf[16384];
    int64_t total = 0;
    overflow = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            overflow = true;
            break;
        }
        if (WaitReadable(fd, int(std::min<int64_t>(quietMs, left))) != 1)
            break;
        const ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        total += r;
        if (total >= maxBytes) {
            overflow = true;
            break;
        }
    }
    return total;
}

void FinishSending(int fd, int timeoutMs) {
    ::shutdown(fd, SHUT_WR);
    bool overflow = false;
    Drain(fd, timeoutMs, timeoutMs, 1 << 20, overflow);
}

void SetSocketTimeouts(int fd, int seconds) {
    timeval tv{};
    tv.tv_sec = seconds;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

QString PeerName(int fd) {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&a), &n) != 0 || a.sin_family != AF_INET)
        return QStringLiteral("?");
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return QStringLiteral("%1:%2").arg(QString::fromLatin1(text)).arg(ntohs(a.sin_port));
}

bool PeerIsLoopback(int fd) {
    sockaddr_in a{};
    socklen_t n = sizeof a;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&a), &n) != 0 || a.sin_family != AF_INET)
        return false;
    return (ntohl(a.sin_addr.s_addr) >> 24) == 127;
}
