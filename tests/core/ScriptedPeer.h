#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// A tiny TCP peer for the client-side tests: it answers each received command (one receive)
// from a script, possibly in several segments, or closes, or never answers.
class ScriptedPeer {
public:
    struct Reply {
        QList<QByteArray> segments; // sent one after another with a short pause between
        bool close = false;         // close the connection instead of answering
        bool hang = false;          // never answer
    };
    using Responder = std::function<Reply(const QByteArray& command)>;

    ScriptedPeer(const QString& address, int port, Responder responder);
    ~ScriptedPeer();
    bool listening() const { return listenFd_ >= 0; }

    QList<QByteArray> commands() const;
    int connections() const { return connections_; }

private:
    void run();

    Responder responder_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    QList<QByteArray> commands_;
    std::thread thread_;
};
