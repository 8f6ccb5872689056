#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// A listening socket served by a thread of its own, one connection at a time, so that the
// engine's blocking exchanges on the test's thread can be answered. What a connection gets is
// the test's handler.
class FakeServer {
public:
    using Handler = std::function<void(int fd, int connection)>;

    FakeServer(const QString& address, int port, Handler handler, int receiveBuffer = 0)
        : handler_(std::move(handler)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (receiveBuffer > 0)
            ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(quint16(port));
        ::inet_pton(AF_INET, address.toLatin1().constData(), &at.sin_addr);
        listening_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
                     ::listen(listener_, 8) == 0;
        if (listening_)
            thread_ = std::thread([this] { serve(); });
    }
    ~FakeServer() {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
    }
    bool listening() const { return listening_; }
    int connections() const { return connections_; }
    bool stopping() const { return stopping_; }

    // Reads exactly n bytes; false when the peer closed or the server stops.
    bool readExactly(int fd, char* into, int n) {
        while (n > 0) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                if (stopping_)
                    return false;
                continue;
            }
            const ssize_t r = ::recv(fd, into, size_t(n), 0);
            if (r <= 0)
                return false;
            into += r;
            n -= int(r);
        }
        return true;
    }

private:
    void serve() {
        while (!stopping_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            handler_(fd, connections_++);
            ::close(fd);
        }
    }

    Handler handler_;
    int listener_ = -1;
    bool listening_ = false;
    std::atomic<bool> stopping_ = false;
    std::atomic<int> connections_ = 0;
    std::thread thread_;
};

// The upload data port: three header blocks, an offset reply of the test's choice (by default
// what it holds), then the bytes from that offset into its store until the client's end, and
// a close. Throttled, it takes the bytes slowly, so that a stop arrives mid-file.
class FakeDataServer {
public:
    static inline const QByteArray kReset = "<reset>";
    // "" closes without a reply, kReset resets the connection instead of replying.
    std::function<QByteArray(int attempt, qint64 held)> reply;
    std::atomic<bool> throttled = false;
    // After the client's end: the first `resetAtEnd` connections are reset instead of
    // closed; while `holdAtEnd` is set the connection stays open without a word.
    std::atomic<int> resetAtEnd = 0;
    std::atomic<bool> holdAtEnd = false;

    explicit FakeDataServer(const QString& address)
        : server_(
              address, 7312, [this](int fd, int n) { serve(fd, n); }, 16384) {}

    bool listening() const { return server_.listening(); }
    // Connections that brought their header blocks: the attempts (a connection opened ahead
    // and dropped unused is none). `reply` numbers them the same way.
    int connections() const { return attempts_; }
    QByteArray held() {
        std::lock_guard lock(mutex_);
        return store_;
    }
    QList<qint64> offsets() {
        std::lock_guard lock(mutex_);
        return offsets_;
    }
    QList<QByteArray> sizes() {
        std::lock_guard lock(mutex_);
        return sizes_;
    }
    // Connections whose client's end has been read (all it sent is held).
    int closedConnections() const { return closed_; }

private:
    void serve(int fd, int) {
        QByteArray blocks(3 * 20480, '\0');
        if (!server_.readExactly(fd, blocks.data(), int(blocks.size())))
            return;
        const int connection = attempts_++;
        qint64 held;
        {
            std::lock_guard lock(mutex_);
            held = store_.size();
            sizes_ << QByteArray(blocks.constData() + 2 * 20480);
        }
        const QByteArray answer = reply ? reply(connection, held) : QByteArray::number(held);
        if (answer == kReset)
            resetOnClose(fd);
        if (answer.isEmpty() || answer == kReset)
            return;
        ::send(fd, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
        qint64 offset = answer.toLongLong();
        if (offset < 0 || offset > held)
            offset = qBound<qint64>(0, offset, held);
        {
            std::lock_guard lock(mutex_);
            offsets_ << offset;
            store_.truncate(offset);
        }
        char buffer[65536];
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                if (server_.stopping())
                    break;
                continue;
            }
            const ssize_t r = ::recv(fd, buffer, throttled ? 4096 : sizeof buffer, 0);
            if (r <= 0)
                break;
            {
                std::lock_guard lock(mutex_);
                store_.append(buffer, int(r));
            }
            if (throttled)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ++closed_;
        while (holdAtEnd && !server_.stopping())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (connection < resetAtEnd)
            resetOnClose(fd);
    }

    static void resetOnClose(int fd) {
        linger l{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }

    std::mutex mutex_;
    QByteArray store_;
    QList<qint64> offsets_;
    QList<QByteArray> sizes_;
    std::atomic<int> closed_ = 0;
    std::atomic<int> attempts_ = 0;
    FakeServer server_;
};
