// vaultry-fileservice: the substitute file service (control 7510, download data 7301, upload
// data 7312, web 7580). One thread per connection, capped; see README.md for the reasons.

#include "fileservice/Demo.h"
#include "fileservice/Handlers.h"
#include "fileservice/Net.h"
#include "fileservice/Options.h"
#include "fileservice/Service.h"
#include "fileservice/State.h"
#include "fileservice/WireText.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Listener {
    PortKind kind;
    int port;
    const char* what;
    const char* tag;
    int fd = -1;
};

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char b = 1;
    const ssize_t r = ::write(g_signalPipe[1], &b, 1);
    (void)r;
}

int fatal(const QString& message) {
    std::fprintf(stderr, "vaultry-fileservice: %s\n", message.toUtf8().constData());
    return 1;
}

// Dotted IPv4 text of a host or address; empty when it cannot be resolved.
QString resolve(const QString& host) {
    in_addr a{};
    if (::inet_pton(AF_INET, host.toLatin1().constData(), &a) == 1)
        return host;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &res) != 0 || !res)
        return QString();
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr, text,
                sizeof text);
    ::freeaddrinfo(res);
    return QString::fromLatin1(text);
}

int bindListener(const QString& address, int port, QString& error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, address.toLatin1().constData(), &sa.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 128) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Job {
    Service* service;
    Connection connection;
};

void* runJob(void* arg) {
    std::unique_ptr<Job> job(static_cast<Job*>(arg));
    Service& s = *job->service;
    switch (job->connection.port) {
    case PortKind::Control:
        ServeControl(s, job->connection);
        break;
    case PortKind::Download:
        ServeDownload(s, job->connection);
        break;
    case PortKind::Upload:
        ServeUpload(s, job->connection);
        break;
    case PortKind::Web:
        ServeWeb(s, job->connection);
        break;
    }
    s.removeActive(job->connection);
    return nullptr;
}

void acceptOne(Service& s, const Listener& l) {
    const int fd = ::accept4(l.fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return; // EAGAIN, or the client already went away
    const int id = s.nextConnectionId();
    auto* job = new Job{&s, Connection{fd, id, l.kind, PeerName(fd),
                                       QStringLiteral("%1#%2").arg(QLatin1String(l.tag)).arg(id)}};
    const Connection& c = job->connection;
    QString evicted;
    int64_t evictedIdleMs = 0;
    const QString limit = QStringLiteral("connection limit (%1) reached on the %2 port")
                              .arg(s.options().maxConnections[int(l.kind)])
                              .arg(QLatin1String(l.what));
    switch (s.admit(c, evicted, evictedIdleMs)) {
    case Service::Admission::Refused:
        s.log(QStringLiteral("%1 connect %2: %3, closed").arg(c.tag, c.peer, limit));
        delete job;
        ::close(fd);
        return;
    case Service::Admission::AdmittedByEviction:
        s.log(QStringLiteral("%1 connect %2: %3, %4 closed to make room (idle %5 ms)")
                  .arg(c.tag, c.peer, limit, evicted)
                  .arg(evictedIdleMs));
        break;
    case Service::Admission::Admitted:
        break;
    }
    // No send waits forever on a peer that does not read.
    SetSocketTimeouts(fd, s.options().idleTimeoutSec);
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attr, 512 * 1024);
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, runJob, job);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        s.log(QStringLiteral("%1 cannot start a thread, closed").arg(c.tag));
        s.removeActive(c);
        delete job;
    }
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromUtf8(argv[i]);
    Options opt;
    if (const int rc = ParseOptions(args, opt))
        return rc == 1 ? 0 : rc;

    if (!WireCodecWorks())
        return fatal(
            QStringLiteral("the code page 949 text codec (ICU windows-949) is not available"));

    const QString address = resolve(opt.bind);
    if (address.isEmpty())
        return fatal(QStringLiteral("cannot resolve --bind %1").arg(opt.bind));
    opt.bind = address;

    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return fatal(QStringLiteral("cannot create a pipe"));
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);

    std::vector<Listener> listeners = {
        {PortKind::Control, 7510, "control", "ctl"},
        {PortKind::Download, 7301, "download data", "dl"},
        {PortKind::Upload, 7312, "upload data", "ul"},
        {PortKind::Web, 7580, "web", "web"},
    };
    if (opt.refuseData == RefuseData::NoListen)
        listeners.erase(std::remove_if(listeners.begin(), listeners.end(),
                                       [](const Listener& l) {
                                           return l.kind == PortKind::Download ||
                                                  l.kind == PortKind::Upload;
                                       }),
                        listeners.end());
    for (Listener& l : listeners) {
        QString error;
        l.fd = bindListener(opt.bind, l.port, error);
        if (l.fd < 0)
            return fatal(QStringLiteral("cannot bind %1:%2 (%3 port): %4")
                             .arg(opt.bind)
                             .arg(l.port)
                             .arg(QLatin1String(l.what), error));
    }

    // Folders are made only once every port is bound, so a failed start leaves nothing behind.
    DemoSetup demo;
    auto removeTemp = [&](const QStringList& dirs) {
        for (const QString& dir : dirs)
            QDir(dir).removeRecursively();
    };
    if (opt.demo) {
        QString error;
        if (!PrepareDemo(opt, demo, error)) {
            removeTemp(demo.tempDirs);
            return fatal(error);
        }
    }
    if (!opt.root.isEmpty() && !QFileInfo(opt.root).isDir()) {
        removeTemp(demo.tempDirs);
        return fatal(QStringLiteral("--root %1 is not a folder").arg(opt.root));
    }
    QStringList tempDirs = demo.tempDirs;
    if (opt.store.isEmpty()) {
        QByteArray templ =
            QDir::temp().filePath(QStringLiteral("vaultry-store-XXXXXX")).toLocal8Bit();
        if (!::mkdtemp(templ.data())) {
            removeTemp(tempDirs);
            return fatal(QStringLiteral("cannot create a temporary store folder"));
        }
        opt.store = QString::fromLocal8Bit(templ);
        tempDirs << opt.store;
    } else if (!QDir().mkpath(opt.store)) {
        removeTemp(tempDirs);
        return fatal(QStringLiteral("cannot create --store %1").arg(opt.store));
    }

    ServiceState state;
    QString stateError;
    if (!state.open(opt.state.isEmpty() ? ServiceState::defaultFolder() : opt.state, stateError)) {
        removeTemp(tempDirs);
        return fatal(stateError);
    }

    Service service(opt, state.secret(), state.registrationToken());
    if (opt.demo) {
        QStringList entries;
        for (const ListedFile& f : service.catalogue().list())
            entries << f.relative;
        for (const QString& line : demo.lines + DemoLinks(entries))
            service.say(line);
    }
    service.say(QStringLiteral("listening on %1").arg(opt.bind));

    std::vector<pollfd> fds;
    for (const Listener& l : listeners)
        fds.push_back({l.fd, POLLIN, 0});
    fds.push_back({g_signalPipe[0], POLLIN, 0});
    for (;;) {
        const int r = ::poll(fds.data(), fds.size(), -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            break;
        if (fds.back().revents)
            break;
        for (size_t i = 0; i < listeners.size(); ++i)
            if (fds[i].revents & POLLIN)
                acceptOne(service, listeners[i]);
    }

    service.say(QStringLiteral("stopping"));
    for (const Listener& l : listeners)
        ::close(l.fd);
    service.requestStop();
    const bool idle = service.waitIdle(5000);
    removeTemp(tempDirs);
    service.say(idle ? QStringLiteral("stopped")
                     : QStringLiteral("stopped (connections left behind)"));
    if (!idle)
        ::_exit(0); // threads still hold the service: leave without running destructors
    return 0;
}
