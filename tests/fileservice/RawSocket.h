#pragma once

// A raw blocking POSIX TCP socket for protocol tests: the test talks to the service the way
// the clients do, byte for byte, with bounded waits. No client code is used.

#include <QByteArray>
#include <QString>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class RawSocket {
public:
    static constexpr int kBlock = 20480;

    RawSocket() = default;
    ~RawSocket() { close(); }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;
    RawSocket(RawSocket&& o) noexcept : fd_(o.fd_), error_(o.error_) { o.fd_ = -1; }

    bool connect(const QString& address, int port) {
        close();
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0)
            return false;
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, address.toLatin1().constData(), &sa.sin_addr);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            error_ = errno;
            close();
            return false;
        }
        return true;
    }

    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    // Close with a reset (the client vanishes).
    void abort() {
        if (fd_ < 0)
            return;
        linger l{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        close();
    }

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int lastError() const { return error_; }

    bool send(const QByteArray& bytes) {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t r =
                ::send(fd_, bytes.constData() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (r <= 0) {
                error_ = errno;
                return false;
            }
            sent += r;
        }
        return true;
    }

    // A 20480-byte header block: text, terminator, zero padding.
    static QByteArray block(const QByteArray& text) {
        QByteArray b = text.left(kBlock - 1);
        b.append(kBlock - b.size(), '\0');
        return b;
    }

    // 1 readable (data or end), 0 timed out, -1 error.
    int wait(int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }

    // One receive of up to max bytes, like the clients' exchange; empty on time-out or end.
    QByteArray receiveOnce(int timeoutMs = 5000, int max = kBlock) {
        if (wait(timeoutMs) != 1)
            return QByteArray();
        QByteArray buf(max, '\0');
        const ssize_t r = ::recv(fd_, buf.data(), max, 0);
        if (r <= 0) {
            error_ = r < 0 ? errno : 0;
            return QByteArray();
        }
        buf.truncate(r);
        return buf;
    }

    // Lock-step exchange: one bare command, one reply.
    QByteArray exchange(const QByteArray& command, int timeoutMs = 5000) {
        if (!send(command))
            return QByteArray();
        return receiveOnce(timeoutMs);
    }

    // Reads until the peer closes or nothing arrives for idleMs; ended says whether the peer
    // closed (or reset: reset is set then).
    QByteArray receiveAll(int idleMs, bool* ended = nullptr, bool* reset = nullptr) {
        QByteArray all;
        if (ended)
            *ended = false;
        if (reset)
            *reset = false;
        char buf[65536];
        for (;;) {
            if (wait(idleMs) != 1)
                return all;
            const ssize_t r = ::recv(fd_, buf, sizeof buf, 0);
            if (r == 0 || r < 0) {
                if (ended)
                    *ended = true;
                if (r < 0 && reset)
                    *reset = errno == ECONNRESET;
                return all;
            }
            all.append(buf, r);
        }
    }

    // True when the peer closes within timeoutMs (data before the end is discarded).
    bool waitClosed(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        char buf[65536];
        while (std::chrono::steady_clock::now() < deadline) {
            const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     deadline - std::chrono::steady_clock::now())
                                     .count());
            if (wait(std::max(left, 1)) != 1)
                continue;
            const ssize_t r = ::recv(fd_, buf, sizeof buf, 0);
            if (r <= 0)
                return true;
        }
        return false;
    }

private:
    int fd_ = -1;
    int error_ = 0;
};
