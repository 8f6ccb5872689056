// A link with latency for the benchmarks: forwards TCP ports from one loopback address to
// another, holding every byte back by a one-way delay in each direction, and holding a new
// connection's first bytes back by one round trip more (what its handshake would cost).
//
//   vaultry-bench-latency-proxy --listen ADDR --to ADDR --rtt-ms N PORT...
//
// A client that connects and sends at once has its bytes arrive one round trip plus one
// one-way delay later, as over a real link; one that connected earlier and waited has them
// arrive after the one-way delay alone. Half-closes are passed on in order with the bytes.
// Plain POSIX, one thread, no bandwidth limit beyond the copying itself. Prints "ready" once
// every port listens; ends on SIGTERM or SIGINT.

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kQueueLimit = 16u << 20; // bytes held per direction before reading pauses
constexpr size_t kReadSize = 256u << 10;

volatile sig_atomic_t stopping = 0;

long long nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

void setQuick(int fd) {
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

struct Chunk {
    long long due = 0;
    std::string bytes; // empty with `end`: the sender's half-close
    bool end = false;
    size_t sent = 0;
};

struct Direction {
    int from = -1;
    int to = -1;
    std::deque<Chunk> queue;
    size_t queued = 0;
    bool readEnded = false;
    bool delivered = false; // the end has been passed on
};

struct Pair {
    int client = -1;
    int upstream = -1;
    long long readyAt = 0; // the handshake's round trip has passed
    Direction up;          // client to upstream
    Direction down;        // upstream to client
    bool dead = false;
};

struct Listener {
    int fd = -1;
    int port = 0;
};

int listenOn(const char* address, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, address, &sa.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || listen(fd, 128) != 0) {
        std::fprintf(stderr, "cannot listen on %s:%d: %s\n", address, port, std::strerror(errno));
        std::exit(1);
    }
    return fd;
}

int connectTo(const char* address, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, address, &sa.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        close(fd);
        return -1;
    }
    setQuick(fd);
    return fd;
}

// Reads what is there into the queue, due one one-way delay from now (or from the end of the
// handshake). False when the connection failed.
bool readInto(Direction& d, long long readyAt, long long oneWayNs) {
    std::string buffer(kReadSize, '\0');
    const ssize_t n = recv(d.from, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    const long long now = nowNs();
    Chunk c;
    c.due = (now > readyAt ? now : readyAt) + oneWayNs;
    if (n == 0) {
        c.end = true;
        d.readEnded = true;
    } else {
        buffer.resize(size_t(n));
        c.bytes = std::move(buffer);
        d.queued += size_t(n);
    }
    d.queue.push_back(std::move(c));
    return true;
}

// Passes on what is due. False when the connection failed.
bool writeDue(Direction& d) {
    const long long now = nowNs();
    while (!d.queue.empty() && d.queue.front().due <= now) {
        Chunk& c = d.queue.front();
        if (c.end) {
            shutdown(d.to, SHUT_WR);
            d.delivered = true;
            d.queue.pop_front();
            continue;
        }
        const ssize_t n = send(d.to, c.bytes.data() + c.sent, c.bytes.size() - c.sent,
                               MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        c.sent += size_t(n);
        d.queued -= size_t(n);
        if (c.sent < c.bytes.size())
            return true;
        d.queue.pop_front();
    }
    return true;
}

void closePair(Pair& p) {
    if (p.dead)
        return;
    // A failed side is passed on as a reset, as a broken link would show it.
    const linger hard{1, 0};
    if (!(p.up.delivered && p.down.delivered)) {
        setsockopt(p.client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        setsockopt(p.upstream, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    close(p.client);
    close(p.upstream);
    p.dead = true;
}

} // namespace

int main(int argc, char** argv) {
    const char* listenAddress = nullptr;
    const char* toAddress = nullptr;
    long long rttMs = -1;
    std::vector<int> ports;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--listen" && i + 1 < argc)
            listenAddress = argv[++i];
        else if (a == "--to" && i + 1 < argc)
            toAddress = argv[++i];
        else if (a == "--rtt-ms" && i + 1 < argc)
            rttMs = std::atoll(argv[++i]);
        else if (std::atoi(a.c_str()) > 0)
            ports.push_back(std::atoi(a.c_str()));
        else {
            std::fprintf(stderr, "unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    if (!listenAddress || !toAddress || rttMs < 0 || ports.empty()) {
        std::fprintf(stderr,
                     "usage: vaultry-bench-latency-proxy --listen ADDR --to ADDR --rtt-ms N "
                     "PORT...\n");
        return 2;
    }
    std::signal(SIGTERM, [](int) { stopping = 1; });
    std::signal(SIGINT, [](int) { stopping = 1; });
    std::signal(SIGPIPE, SIG_IGN);
    const long long rttNs = rttMs * 1000000LL;
    const long long oneWayNs = rttNs / 2;

    std::vector<Listener> listeners;
    for (int port : ports)
        listeners.push_back({listenOn(listenAddress, port), port});
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<std::unique_ptr<Pair>> pairs;
    std::vector<pollfd> polled;
    std::vector<std::pair<Pair*, int>> owners; // per polled entry after the listeners
    while (!stopping) {
        polled.clear();
        owners.clear();
        for (const Listener& l : listeners)
            polled.push_back({l.fd, POLLIN, 0});
        const long long now = nowNs();
        long long wake = -1;
        auto wantWrite = [&](const Direction& d) {
            if (d.queue.empty())
                return false;
            if (d.queue.front().due <= now)
                return true;
            const long long in = d.queue.front().due - now;
            if (wake < 0 || in < wake)
                wake = in;
            return false;
        };
        for (auto& p : pairs) {
            short clientEvents = 0;
            short upstreamEvents = 0;
            if (!p->up.readEnded && p->up.queued < kQueueLimit)
                clientEvents |= POLLIN;
            if (!p->down.readEnded && p->down.queued < kQueueLimit)
                upstreamEvents |= POLLIN;
            if (wantWrite(p->up))
                upstreamEvents |= POLLOUT;
            if (wantWrite(p->down))
                clientEvents |= POLLOUT;
            // A side with nothing to wait for is left out: an ended peer would wake us at once.
            polled.push_back({clientEvents ? p->client : -1, clientEvents, 0});
            owners.push_back({p.get(), 0});
            polled.push_back({upstreamEvents ? p->upstream : -1, upstreamEvents, 0});
            owners.push_back({p.get(), 1});
        }
        timespec timeout{};
        timespec* timeoutp = nullptr;
        if (wake >= 0) {
            timeout.tv_sec = wake / 1000000000LL;
            timeout.tv_nsec = wake % 1000000000LL;
            timeoutp = &timeout;
        }
        const int ready = ppoll(polled.data(), polled.size(), timeoutp, nullptr);
        if (ready < 0 && errno != EINTR)
            break;
        for (size_t i = 0; i < listeners.size(); ++i) {
            if (!(polled[i].revents & POLLIN))
                continue;
            const int client = accept4(listeners[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            const int upstream = connectTo(toAddress, listeners[i].port);
            if (upstream < 0) {
                close(client);
                continue;
            }
            setQuick(client);
            auto p = std::make_unique<Pair>();
            p->client = client;
            p->upstream = upstream;
            p->readyAt = nowNs() + rttNs;
            p->up.from = client;
            p->up.to = upstream;
            p->down.from = upstream;
            p->down.to = client;
            pairs.push_back(std::move(p));
        }
        for (size_t k = 0; k < owners.size(); ++k) {
            Pair& p = *owners[k].first;
            if (p.dead)
                continue;
            const pollfd& f = polled[listeners.size() + k];
            Direction& reading = owners[k].second == 0 ? p.up : p.down;
            bool ok = true;
            if (f.revents & (POLLIN | POLLHUP | POLLERR))
                ok = !reading.readEnded ? readInto(reading, p.readyAt, oneWayNs) : true;
            if (ok && (f.revents & POLLERR))
                ok = false;
            if (!ok)
                closePair(p);
        }
        for (auto& p : pairs) {
            if (p->dead)
                continue;
            if (!writeDue(p->up) || !writeDue(p->down))
                closePair(*p);
            else if (p->up.delivered && p->down.delivered)
                closePair(*p);
        }
        std::erase_if(pairs, [](const std::unique_ptr<Pair>& p) { return p->dead; });
    }
    for (auto& p : pairs)
        closePair(*p);
    return 0;
}
