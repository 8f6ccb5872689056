#include "tests/core/ScriptedPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

ScriptedPeer::ScriptedPeer(const QString& address, int port, Responder responder)
    : responder_(std::move(responder)) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(quint16(port));
    ::inet_pton(AF_INET, address.toLatin1().constData(), &at.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return;
    }
    listenFd_ = fd;
    if (::pipe(wakeFds_) != 0)
        return;
    thread_ = std::thread([this] { run(); });
}

ScriptedPeer::~ScriptedPeer() {
    if (thread_.joinable()) {
        (void)::write(wakeFds_[1], "x", 1);
        thread_.join();
    }
    for (int fd : {listenFd_, wakeFds_[0], wakeFds_[1]})
        if (fd >= 0)
            ::close(fd);
}

QList<QByteArray> ScriptedPeer::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

void ScriptedPeer::run() {
    std::vector<int> clients;
    for (;;) {
        std::vector<pollfd> fds{{wakeFds_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (int c : clients)
            fds.push_back({c, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            const int c = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                clients.push_back(c);
                ++connections_;
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            const int c = fds[i].fd;
            char buffer[65536];
            const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ::close(c);
                std::erase(clients, c);
                continue;
            }
            const QByteArray command(buffer, n);
            {
                std::lock_guard lock(mutex_);
                commands_.append(command);
            }
            const Reply reply = responder_(command);
            if (reply.close) {
                ::close(c);
                std::erase(clients, c);
                continue;
            }
            if (reply.hang)
                continue;
            for (int s = 0; s < reply.segments.size(); ++s) {
                if (s > 0)
                    ::usleep(150000);
                const QByteArray& part = reply.segments[s];
                ::send(c, part.constData(), size_t(part.size()), MSG_NOSIGNAL);
            }
        }
    }
    for (int c : clients)
        ::close(c);
}
