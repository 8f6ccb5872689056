#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// One command connection to the file server: send one command, take one reply, in strict
// lock-step. Blocking, IPv4, plain TCP. A value object: it never closes its socket by itself,
// because the sign-on connection is meant to stay open until the process ends.
class ServerLink {
public:
    static constexpr int kControlPort = 7510;
    static constexpr int kBufferSize = 20480;

    struct Limits {
        int connectMs = 20000;    // the Windows stack gives up after about 20 s
        int replyStartMs = 30000; // a dead server must not freeze a window forever
    };

    // `onConnectFailure` shows the client's own message box; it runs on the caller's thread.
    explicit ServerLink(std::function<void()> onConnectFailure = {});

    // Host name or dotted text to dotted IPv4 text; "" when it cannot be resolved.
    static QString ResolveAddress(const QString& host);

    // True on success. A link that is still connected gets a new socket; the old one stays
    // open (the sign-on connection relies on this).
    bool Connect(const QString& address, int port = kControlPort);

    // The reply to one command: what a single receive returned. "" when the peer closed
    // (the link stays as it is), or on any error (the link is closed). A command longer than
    // the 20480-byte buffer is refused: nothing is sent and the reply is "".
    QByteArray Exchange(const QByteArray& command);

    void Close();
    bool connected() const { return connected_; }

    // Resolve the configured file server and connect to its control port.
    bool ConnectToFileServer();

    void setLimits(const Limits& limits) { limits_ = limits; }

private:
    std::function<void()> onConnectFailure_;
    Limits limits_;
    int socket_ = -1;
    bool connected_ = false;
};
