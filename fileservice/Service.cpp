#include "fileservice/Service.h"

#include "fileservice/WireText.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Connection::touch() const {
    activity->lastNs = SteadyNs();
}

Service::Service(Options options, QByteArray secret, QByteArray registrationToken)
    : opt_(std::move(options)), registrationToken_(std::move(registrationToken)),
      catalogue_(opt_.root, secret), uploads_(secret), store_(opt_.store) {
    for (const UploadListSpec& list : opt_.uploadLists)
        uploads_.add(list.key, list.paths);
}

// ---------------------------------------------------------------------------------------
// Logging and lifecycle

void Service::log(const QString& line) {
    if (opt_.quiet)
        return;
    say(line);
}

void Service::say(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::lock_guard<std::mutex> lock(logMutex_);
    std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

void Service::requestStop() {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stopping_ = true;
    }
    stopCv_.notify_all();
    std::lock_guard<std::mutex> lock(activeMutex_);
    for (const auto& port : active_)
        for (const auto& entry : port)
            ::shutdown(entry.first, SHUT_RDWR);
}

bool Service::sleepMs(int64_t ms) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    return !stopCv_.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return stopping_.load(); });
}

Service::Admission Service::admit(const Connection& c, QString& evictedTag,
                                  int64_t& evictedIdleMs) {
    std::lock_guard<std::mutex> lock(activeMutex_);
    auto& port = active_[int(c.port)];
    const int cap = opt_.maxConnections[int(c.port)];
    Admission admission = Admission::Admitted;
    if (int(port.size()) - evicting_[int(c.port)] >= cap) {
        // Those closed earlier count against the cap again until they have ended: a
        // stream of newcomers cannot make the threads grow beyond twice the cap.
        if (int(port.size()) >= 2 * cap)
            return Admission::Refused;
        auto victim = port.end();
        auto idleSince = [](const Active& a) {
            return std::make_pair(a.activity->lastNs.load(), a.id);
        };
        for (auto it = port.begin(); it != port.end(); ++it) {
            if (it->second.activity->evicted.load())
                continue;
            if (victim == port.end() || idleSince(it->second) < idleSince(victim->second))
                victim = it;
        }
        if (victim == port.end())
            return Admission::Refused;
        victim->second.activity->evicted = true;
        ++evicting_[int(c.port)];
        evictedTag = victim->second.tag;
        evictedIdleMs = (SteadyNs() - victim->second.activity->lastNs.load()) / 1000000;
        // Wakes its thread, whatever it waits for; the socket is closed when the thread ends.
        ::shutdown(victim->first, SHUT_RDWR);
        admission = Admission::AdmittedByEviction;
    }
    c.touch();
    port.emplace(c.fd, Active{c.id, c.tag, c.activity});
    ++activeTotal_;
    if (stopping_)
        ::shutdown(c.fd, SHUT_RDWR);
    return admission;
}

void Service::removeActive(const Connection& c) {
    std::lock_guard<std::mutex> lock(activeMutex_);
    if (active_[int(c.port)].erase(c.fd) == 0)
        return;
    if (c.evicted())
        --evicting_[int(c.port)];
    ::close(c.fd);
    --activeTotal_;
    idleCv_.notify_all();
}

bool Service::waitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(activeMutex_);
    return idleCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this] { return activeTotal_ == 0; });
}

// ---------------------------------------------------------------------------------------
// Members

Service::MemberCheck Service::checkMember(const QByteArray& idWire, QByteArray& reply) const {
    for (const QString& id : opt_.overUsers) {
        if (ToWire(id) == idWire) {
            reply = "Over_user";
            return MemberCheck::OverUser;
        }
    }
    for (const MemberSpec& m : opt_.members) {
        if (ToWire(m.id) == idWire) {
            reply = ToWire(m.id) + '|' + ToWire(m.megabytes) + '|' + ToWire(m.className) + '|' +
                    ToWire(m.paidUntil);
            return MemberCheck::Member;
        }
    }
    reply = "No_member";
    return MemberCheck::Unknown;
}

bool Service::isMember(const QString& id) const {
    for (const MemberSpec& m : opt_.members)
        if (m.id == id)
            return true;
    return false;
}

// ---------------------------------------------------------------------------------------
// Upload queues

int64_t Service::listedSize(const UploadFile& f) const {
    struct stat st {};
    if (::stat(QFile::encodeName(f.localPath).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return st.st_size;
}

// ---------------------------------------------------------------------------------------
// Helpers

QString Shown(const QByteArray& wire, int maxChars) {
    const QString text = FromWire(wire);
    QString out;
    out.reserve(std::min<qsizetype>(text.size(), maxChars) + 16);
    int chars = 0;
    for (QChar c : text) {
        if (chars >= maxChars) {
            out += QStringLiteral("...(%1 bytes)").arg(wire.size());
            break;
        }
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
        ++chars;
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}

bool SameToken(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

QByteArray Fingerprint(const QString& path, int64_t size) {
    QByteArray text = QByteArray::number(static_cast<qlonglong>(size));
    int64_t offset = size / 2;
    if (size < 10)
        offset = 0;
    else if (size > 2000000000)
        offset = 1999999990;
    unsigned char sample[10] = {};
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        int got = 0;
        while (got < 10) {
            const ssize_t r = ::pread(fd, sample + got, 10 - got, offset + got);
            if (r <= 0)
                break;
            got += static_cast<int>(r);
        }
        ::close(fd);
    }
    for (unsigned char b : sample) {
        const int v = std::abs(static_cast<int>(static_cast<signed char>(b)));
        char digits[8];
        std::snprintf(digits, sizeof digits, "%03d", v);
        text += digits;
    }
    return text;
}
