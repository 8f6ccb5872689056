#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>

// A data connection opened ahead of the file that is to use it: its handshake runs while the
// file before it finishes, so that the file's first bytes can go out the moment its worker
// starts. Only the connection is made; nothing is sent on it. Closed when destroyed, unless a
// worker took it.
class SpareConnection {
public:
    // Starts the connect and returns at once (the handshake goes on in the system); null when
    // `address` is no dotted IPv4 address or no socket can be had.
    static std::shared_ptr<SpareConnection> open(const QByteArray& address, int port);
    ~SpareConnection();
    SpareConnection(const SpareConnection&) = delete;
    SpareConnection& operator=(const SpareConnection&) = delete;

    bool isFor(const QByteArray& address, int port) const {
        return address == address_ && port == port_;
    }
    const QByteArray& address() const { return address_; }
    // How long ago it was opened.
    qint64 ageMs() const;
    // The socket, once (non-blocking, its connect perhaps still under way); -1 after that.
    int take() { return fd_.exchange(-1); }
    // The socket, once, blocking again and connected: its handshake is waited for (at most
    // `limitMs`, and no longer than `giveUp` allows). -1 when the connect failed, when the peer
    // has closed or reset it meanwhile, or when it was opened more than `maxAgeMs` ago (a
    // server may drop a silent connection at any moment after a while); it is closed then.
    int takeConnected(int limitMs, const std::function<bool()>& giveUp, int maxAgeMs);

private:
    SpareConnection(int fd, QByteArray address, int port);
    QByteArray address_;
    int port_;
    qint64 openedNs_;
    std::atomic<int> fd_;
};

// One data connection of a transfer worker: a blocking IPv4 socket whose every wait is
// bounded, so a dead or stalled data server can never hold a worker (or a program that is
// ending) forever. Closed when destroyed.
class DataSocket {
public:
    static constexpr int kHeaderBlock = 20480;

    DataSocket();
    ~DataSocket();
    DataSocket(const DataSocket&) = delete;
    DataSocket& operator=(const DataSocket&) = delete;

    int fd() const { return fd_; }

    // Connects to dotted `address` (no name lookup), waiting at most `limitMs`, and giving
    // up early as soon as `giveUp` says so (checked every 100 ms).
    bool connectTo(const QByteArray& address, int port, int limitMs,
                   const std::function<bool()>& giveUp);
    // The same, through `spare` when it was opened to this address and port: its handshake
    // is waited for (within the same limits) and the connection used when the peer has not
    // closed or refused it meanwhile. Otherwise, a fresh connection is made as connectTo does:
    // a spare the server dropped costs nothing but that.
    bool connectVia(const std::shared_ptr<SpareConnection>& spare, const QByteArray& address,
                    int port, int limitMs, const std::function<bool()>& giveUp);
    // A send the peer does not take within `ms` fails.
    void setSendLimit(int ms);
    // A receive with nothing to read returns EAGAIN after `ms`.
    void setReceiveSlice(int ms);

    // The zero-byte send the data servers expect before the header blocks.
    bool probe();
    // All `size` bytes, or false.
    bool sendAll(const char* data, qint64 size);
    // A text, its terminating zero and zero padding to 20480 bytes: the header block the
    // data servers read up to its first zero byte.
    bool sendBlock(const QByteArray& text);

    // How the peer answered the end of our bytes.
    enum class PeerEnd { Closed, Reset, Silent, GaveUp };
    // Ends our side of the connection (a half-close: the peer reads an end after our last
    // byte) and waits for the peer to close its own. Whatever it sends meanwhile is read and
    // dropped. Silent after `silenceMs` without a byte; GaveUp as soon as `giveUp` says so
    // (checked every 100 ms).
    PeerEnd finishSending(int silenceMs, const std::function<bool()>& giveUp);

private:
    int fd_ = -1;
};

// The worker's measured rate: bytes over windows of at least 0.2 s.
class RateWindow {
public:
    void start();
    // Adds bytes; returns true and sets `rate` (bytes per second) when a window closed.
    bool add(qint64 bytes, qint64& rate);

private:
    qint64 startNs_ = 0;
    qint64 bytes_ = 0;
};

// All `size` bytes to a file descriptor, or false.
bool WriteAll(int fd, const char* data, qint64 size);
