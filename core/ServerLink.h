#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>

// One command connection to the file server: send one command, take one reply, in strict
// lock-step. Blocking, IPv4, plain TCP, every wait bounded. The link owns its socket: it is
// closed by Close, by a new Connect and when the link is destroyed. It can be moved (the
// sign-on connection is handed to its keeper, which holds it open until the program ends),
// never copied.
class ServerLink {
public:
    static constexpr int kControlPort = 7510;
    static constexpr int kBufferSize = 20480;

    struct Limits {
        int connectMs = 20000;    // the usual stack gives up after about 20 s
        int replyStartMs = 30000; // a dead server must not hold a caller forever
    };

    ServerLink() = default;
    ~ServerLink();
    ServerLink(ServerLink&& other) noexcept;
    ServerLink& operator=(ServerLink&& other) noexcept;
    ServerLink(const ServerLink&) = delete;
    ServerLink& operator=(const ServerLink&) = delete;

    // Host name or dotted text to dotted IPv4 text; "" when it cannot be resolved.
    static QString ResolveAddress(const QString& host);

    // True on success. An open connection is closed first.
    bool Connect(const QString& address, int port = kControlPort);
    // Resolve the configured file server and connect to its control port.
    bool ConnectToFileServer();
    // The same through `spare`, a connection opened ahead to the file server's control port,
    // when it was opened at most `maxAgeMs` ago and is still good; otherwise afresh.
    bool ConnectToFileServer(const std::shared_ptr<class SpareConnection>& spare, int maxAgeMs);
    // A connection to the file server's control port opened ahead (its handshake runs in the
    // system meanwhile) for a later exchange; null when the address cannot be had. Nothing is
    // sent on it until it is used.
    static std::shared_ptr<class SpareConnection> OpenSpareToFileServer();

    // The reply to one command: what a single receive returned, read up to a zero byte.
    // "" when the peer closed (the link stays as it is), or on any error, time-out or
    // cancel (the link is closed). A command longer than the 20480-byte buffer is refused:
    // nothing is sent and the reply is "".
    QByteArray Exchange(const QByteArray& command);

    void Close();
    bool connected() const { return connected_; }
    // The link's own socket, -1 when it has none.
    int socketDescriptor() const { return socket_; }
    // The last Exchange ended without a reply: error, time-out, cancel, closed link or a
    // refused command (a peer that closed cleanly is not a failure).
    bool failed() const { return failed_; }
    // The last Exchange got no reply: it failed, or the peer closed the connection instead of
    // answering (a server that refuses or cuts a connection). A command that needs no reply
    // (the empty one) is not lost.
    bool lost() const { return failed_ || closedByPeer_; }

    void setLimits(const Limits& limits) { limits_ = limits; }
    // Waits give up within about 100 ms once `*cancel` is set (the program is ending).
    void setCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
    // Limits and cancel flag together, as an engine hands them to its exchanges.
    void apply(const struct LinkSettings& settings);

private:
    bool waitFor(short events, int timeoutMs) const;
    bool sendAll(const QByteArray& command);

    Limits limits_;
    const std::atomic<bool>* cancel_ = nullptr;
    int socket_ = -1;
    bool connected_ = false;
    bool failed_ = false;
    bool closedByPeer_ = false;
};

// How the links of one engine behave: their limits, and the flag that tells them the program
// is ending (shared, so that an exchange left behind at the end still has it).
struct LinkSettings {
    ServerLink::Limits limits;
    std::shared_ptr<const std::atomic<bool>> cancel;
};
