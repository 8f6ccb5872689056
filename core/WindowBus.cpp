#include "core/WindowBus.h"

#include "core/RuntimeDir.h"
#include "core/UniqueFd.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// The bus owns its sockets rather than using QLocalServer: it has to serve its endpoint from
// inside a waiting send, without running the event loop; QLocalServer keeps a backlog of 50,
// and closes itself for good when one accept fails (a descriptor limit reached by a crowd of
// connections would silence the window until it restarts).

namespace {

constexpr quint32 kMagic = 0x56425553; // "VBUS"
constexpr int kAnswerSize = 8;
constexpr int kAcceptBatch = 16;      // per wake-up, so one burst does not starve the rest
constexpr int kReadChunk = 64 * 1024; // per wake-up and connection, for the same reason
constexpr int kConnectRetryMs = 10;   // a full backlog is tried again this often
constexpr int kSweepMs = 100;         // how often stalled connections are looked for

struct Registry {
    QMutex mutex;
    std::vector<WindowBus*> buses; // registered ones only
};
// Never destroyed: a bus that outlives static destruction still finds it.
Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

thread_local int nestedSends = 0;

struct NestedSend {
    NestedSend() { ++nestedSends; }
    ~NestedSend() { --nestedSends; }
    NestedSend(const NestedSend&) = delete;
    NestedSend& operator=(const NestedSend&) = delete;
};

quint32 readU32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | quint32(b[3]);
}

void appendU32(QByteArray& out, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
}

bool validEndpoint(const QString& endpoint) {
    return !endpoint.isEmpty() && endpoint != QLatin1String(".") &&
           endpoint != QLatin1String("..") && !endpoint.contains(QLatin1Char('/')) &&
           !endpoint.contains(QChar(0));
}

bool processAlive(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

} // namespace

// The address of an endpoint in a private folder: a window's own in the folder in use, another
// one's wherever it lives. A local socket address holds at most 107 bytes of path; a longer
// one is reached through a descriptor of the folder ("/proc/self/fd/N/<endpoint>"), which the
// kernel resolves like the path itself.
class WindowBus::Address {
public:
    enum Whose { Own, Peer };
    Address(const QString& endpoint, Whose whose) {
        if (!validEndpoint(endpoint))
            return;
        const QString dir = whose == Own ? PrivateRuntimeDir() : folderHolding(endpoint);
        if (dir.isEmpty())
            return;
        path_ = QFile::encodeName(QDir(dir).filePath(endpoint));
        if (fits(path_))
            return;
        dirFd_ = ::open(QFile::encodeName(dir).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const QByteArray viaFolder =
            "/proc/self/fd/" + QByteArray::number(dirFd_) + '/' + QFile::encodeName(endpoint);
        if (dirFd_ < 0 || !fits(viaFolder))
            path_.clear();
    }
    ~Address() {
        if (dirFd_ >= 0)
            ::close(dirFd_);
    }
    Address(const Address&) = delete;
    Address& operator=(const Address&) = delete;

    bool valid() const { return !path_.isEmpty(); }
    QByteArray path() const { return path_; } // the file itself, to remove or change it
    const sockaddr* address() const { return reinterpret_cast<const sockaddr*>(&address_); }
    socklen_t size() const { return sizeof address_; }

private:
    static QString folderHolding(const QString& endpoint) {
        for (const QString& dir : PrivateRuntimeDirs()) {
            struct stat info {};
            if (::lstat(QFile::encodeName(QDir(dir).filePath(endpoint)).constData(), &info) == 0)
                return dir;
        }
        return {};
    }

    bool fits(const QByteArray& path) {
        std::memset(&address_, 0, sizeof address_);
        address_.sun_family = AF_UNIX;
        if (path.size() >= qsizetype(sizeof address_.sun_path))
            return false;
        std::memcpy(address_.sun_path, path.constData(), size_t(path.size()));
        return true;
    }

    QByteArray path_;
    sockaddr_un address_{};
    int dirFd_ = -1;
};

// ---- frames ------------------------------------------------------------------------------

BusFrame ReadBusFrame(QByteArrayView bytes) {
    BusFrame frame;
    if (bytes.size() < kBusFrameHeader)
        return frame;
    const char* p = bytes.data();
    const quint32 senderLength = readU32(p + 8);
    const quint32 dataLength = readU32(p + 12);
    if (readU32(p) != kMagic || senderLength > quint32(kBusMaxSender) ||
        dataLength > quint32(kBusMaxData)) {
        frame.status = BusFrame::Bad;
        return frame;
    }
    const qsizetype total = kBusFrameHeader + qsizetype(senderLength) + qsizetype(dataLength);
    if (bytes.size() < total)
        return frame;
    frame.status = BusFrame::Complete;
    frame.tag = readU32(p + 4);
    frame.sender = QByteArray(p + kBusFrameHeader, qsizetype(senderLength));
    frame.data = QByteArray(p + kBusFrameHeader + senderLength, qsizetype(dataLength));
    frame.length = total;
    return frame;
}

QByteArray WriteBusFrame(quint32 tag, const QByteArray& sender, const QByteArray& data) {
    QByteArray bytes;
    bytes.reserve(kBusFrameHeader + sender.size() + data.size());
    appendU32(bytes, kMagic);
    appendU32(bytes, tag);
    appendU32(bytes, quint32(sender.size()));
    appendU32(bytes, quint32(data.size()));
    bytes += sender;
    bytes += data;
    return bytes;
}

QByteArray CopyData::text() const {
    const qsizetype end = data.indexOf('\0');
    return end < 0 ? data : data.left(end);
}

// ---- receiving ---------------------------------------------------------------------------

// A connection whose frame is still arriving.
struct WindowBus::Incoming {
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    QByteArray bytes;
    QDeadlineTimer deadline;
};

WindowBus::WindowBus(const QString& className, QObject* parent)
    : QObject(parent), endpoint_(QStringLiteral("%1.%2").arg(className).arg(::getpid())) {
    const Address address(endpoint_, Address::Own);
    if (className.isEmpty() || !address.valid())
        return;
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    const bool taken = std::any_of(r.buses.begin(), r.buses.end(), [&](const WindowBus* bus) {
        return bus->path_ == address.path();
    });
    if (taken || !listen(address))
        return;
    r.buses.push_back(this);
}

bool WindowBus::listen(const Address& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const QByteArray path = address.path();
    ::unlink(path.constData()); // a leftover of a dead process that had our pid
    if (::bind(fd, address.address(), address.size()) != 0) {
        ::close(fd);
        return false;
    }
    if (::chmod(path.constData(), 0600) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        ::unlink(path.constData());
        return false;
    }
    listenFd_ = fd;
    path_ = path;
    acceptNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(acceptNotifier_, &QSocketNotifier::activated, this, &WindowBus::acceptConnections);
    stallTimer_ = new QTimer(this);
    stallTimer_->setInterval(kSweepMs);
    connect(stallTimer_, &QTimer::timeout, this, &WindowBus::dropStalled);
    return true;
}

WindowBus::~WindowBus() {
    if (listenFd_ < 0)
        return;
    {
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        r.buses.erase(std::remove(r.buses.begin(), r.buses.end(), this), r.buses.end());
    }
    for (const auto& in : incoming_)
        ::close(in->fd);
    ::close(listenFd_);
    ::unlink(path_.constData());
}

void WindowBus::acceptConnections() {
    const QPointer<WindowBus> alive(this);
    for (int i = 0; i < kAcceptBatch; ++i) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE) {
                if (!incoming_.empty()) {
                    dropIncoming(0); // frees a descriptor for the newcomer
                    continue;
                }
                // Nothing of ours to give up: listen again a little later instead of spinning.
                acceptPause_ = QDeadlineTimer(kSweepMs);
                acceptNotifier_->setEnabled(false);
                stallTimer_->start();
            }
            return; // usually EAGAIN: nobody else is waiting
        }
        if (int(incoming_.size()) >= kMaxIncoming)
            dropIncoming(0);
        auto in = std::make_unique<Incoming>();
        in->fd = fd;
        in->deadline = QDeadlineTimer(kFrameDeadlineMs);
        in->notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(in->notifier, &QSocketNotifier::activated, this, [this, fd] { readIncoming(fd); });
        incoming_.push_back(std::move(in));
        if (!stallTimer_->isActive())
            stallTimer_->start();
        // A sender has usually written its whole frame before it is accepted.
        readIncoming(fd);
        if (!alive)
            return; // the handler ended this bus
    }
}

void WindowBus::readIncoming(int fd) {
    const auto it = std::find_if(incoming_.begin(), incoming_.end(),
                                 [fd](const auto& in) { return in->fd == fd; });
    if (it == incoming_.end())
        return; // a late wake-up for a connection already answered or dropped
    const std::size_t index = std::size_t(it - incoming_.begin());
    QByteArray& bytes = (*it)->bytes;
    const qsizetype before = bytes.size();
    bytes.resize(before + kReadChunk);
    const ssize_t got = ::recv(fd, bytes.data() + before, kReadChunk, 0);
    const int error = errno;
    bytes.resize(before + std::max<ssize_t>(got, 0));
    if (got < 0) {
        if (!wouldBlock(error))
            dropIncoming(index);
        return;
    }
    const BusFrame frame = ReadBusFrame(bytes);
    if (frame.status == BusFrame::Bad || (frame.status == BusFrame::NeedMore && got == 0)) {
        dropIncoming(index);
        return;
    }
    if (frame.status == BusFrame::NeedMore)
        return;

    // The connection leaves the list before the handler runs: whatever the handler does
    // (send, and so serve this bus again, or end the bus) no longer reaches it.
    const UniqueFd answerFd(fd);
    (*it)->notifier->setEnabled(false);
    (*it)->notifier->deleteLater();
    incoming_.erase(it);

    CopyData message;
    message.tag = frame.tag;
    message.sender = QString::fromUtf8(frame.sender);
    message.data = frame.data;
    const Handler handler = handler_; // the handler may replace itself
    const qint64 result = handler ? handler(message) : 0;
    QByteArray answer;
    appendU32(answer, quint32(quint64(result) >> 32));
    appendU32(answer, quint32(quint64(result)));
    // A fresh connection has room for 8 bytes; a peer that went away is no concern of ours.
    ::send(answerFd.get(), answer.constData(), size_t(answer.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
}

void WindowBus::dropIncoming(std::size_t index) {
    const std::unique_ptr<Incoming>& in = incoming_[index];
    in->notifier->setEnabled(false);
    in->notifier->deleteLater();
    ::close(in->fd);
    incoming_.erase(incoming_.begin() + qsizetype(index));
}

bool WindowBus::accepting() {
    if (!acceptNotifier_->isEnabled() && acceptPause_.hasExpired())
        acceptNotifier_->setEnabled(true);
    return acceptNotifier_->isEnabled();
}

void WindowBus::dropStalled() {
    for (std::size_t i = incoming_.size(); i-- > 0;) {
        if (incoming_[i]->deadline.hasExpired())
            dropIncoming(i);
    }
    if (accepting() && incoming_.empty())
        stallTimer_->stop();
}

// ---- sending -----------------------------------------------------------------------------

short WindowBus::waitServing(int fd, short events, int timeoutMs) {
    struct Source {
        QPointer<WindowBus> bus;
        int fd = -1; // the listening socket or one incoming connection
    };
    std::vector<pollfd> fds;
    std::vector<Source> sources;
    fds.push_back({fd, events, 0});
    sources.push_back({});
    {
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        for (WindowBus* bus : r.buses) {
            if (bus->thread() != QThread::currentThread())
                continue;       // its handler belongs to another thread, which serves it
            bus->dropStalled(); // its timer does not run while this thread waits
            if (bus->accepting()) {
                fds.push_back({bus->listenFd_, POLLIN, 0});
                sources.push_back({bus, bus->listenFd_});
            }
            for (const auto& in : bus->incoming_) {
                fds.push_back({in->fd, POLLIN, 0});
                sources.push_back({bus, in->fd});
            }
        }
    }
    if (::poll(fds.data(), nfds_t(fds.size()), timeoutMs) <= 0)
        return 0;
    // Handlers run here, with the registry free: they may send, and so come back here.
    for (std::size_t i = 1; i < fds.size(); ++i) {
        const Source& source = sources[i];
        if (fds[i].revents == 0 || !source.bus)
            continue;
        if (source.fd == source.bus->listenFd_)
            source.bus->acceptConnections();
        else
            source.bus->readIncoming(source.fd);
    }
    return fds[0].revents;
}

// Every private folder is looked in: a window that started while the runtime folder could not
// be used lives in the cache folder.
QString WindowBus::findWindow(const QString& className) {
    if (className.isEmpty())
        return {};
    for (const QString& dir : PrivateRuntimeDirs()) {
        const QStringList names = QDir(dir).entryList({className + QStringLiteral(".*")},
                                                      QDir::System | QDir::Files, QDir::Name);
        for (const QString& name : names) {
            bool numeric = false;
            const qint64 pid = name.mid(className.size() + 1).toLongLong(&numeric);
            if (!numeric || !name.startsWith(className + QLatin1Char('.')))
                continue;
            if (!processAlive(pid)) {
                QFile::remove(QDir(dir).filePath(name));
                continue;
            }
            return name;
        }
    }
    return {};
}

std::optional<qint64> WindowBus::send(const QString& endpoint, quint32 tag, const QString& sender,
                                      const QByteArray& data, int timeoutMs) {
    const QByteArray senderBytes = sender.toUtf8();
    const Address address(endpoint, Address::Peer);
    if (data.size() > kMaxData || senderBytes.size() > kBusMaxSender || !address.valid())
        return std::nullopt;
    if (nestedSends >= kMaxNestedSends)
        return std::nullopt; // endless ping-pong between handlers ends here
    const NestedSend nested;
    const QDeadlineTimer deadline(timeoutMs);
    const auto waitMs = [&deadline] {
        const qint64 left = deadline.remainingTime();
        return int(left < 0 ? kSweepMs : std::min<qint64>(left, kSweepMs));
    };

    const UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.valid())
        return std::nullopt;
    // A full backlog refuses at once; try again until the time limit, serving meanwhile.
    while (::connect(socket.get(), address.address(), address.size()) != 0) {
        if (errno == EINPROGRESS)
            break;
        if (!wouldBlock(errno) || deadline.hasExpired())
            return std::nullopt;
        waitServing(-1, 0, std::min(waitMs(), kConnectRetryMs));
    }

    const QByteArray frame = WriteBusFrame(tag, senderBytes, data);
    qsizetype written = 0;
    QByteArray answer;
    while (!deadline.hasExpired()) {
        const bool writing = written < frame.size();
        if (waitServing(socket.get(), writing ? POLLOUT : POLLIN, waitMs()) == 0)
            continue;
        if (writing) {
            const ssize_t n = ::send(socket.get(), frame.constData() + written,
                                     size_t(frame.size() - written), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && !wouldBlock(errno))
                return std::nullopt;
            written += std::max<ssize_t>(n, 0);
            continue;
        }
        char bytes[kAnswerSize];
        const ssize_t n =
            ::recv(socket.get(), bytes, size_t(kAnswerSize - answer.size()), MSG_DONTWAIT);
        if (n == 0 || (n < 0 && !wouldBlock(errno)))
            return std::nullopt; // closed without an answer: a frame it refused
        answer.append(bytes, std::max<ssize_t>(n, 0));
        if (answer.size() == kAnswerSize)
            return qint64((quint64(readU32(answer.constData())) << 32) |
                          readU32(answer.constData() + 4));
    }
    return std::nullopt;
}
