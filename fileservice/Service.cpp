#include "Service.h"

#include "WireText.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

Service::Service(Options options, QByteArray secret)
    : opt_(std::move(options)), catalogue_(opt_.root, secret), uploads_(secret),
      store_(opt_.store) {
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
    for (int fd : activeFds_)
        ::shutdown(fd, SHUT_RDWR);
}

bool Service::sleepMs(int64_t ms) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    return !stopCv_.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return stopping_.load(); });
}

bool Service::addActive(int fd, PortKind port) {
    std::lock_guard<std::mutex> lock(activeMutex_);
    int& count = active_[int(port)];
    if (count >= opt_.maxConnections[int(port)])
        return false;
    activeFds_.insert(fd);
    ++count;
    ++activeTotal_;
    if (stopping_)
        ::shutdown(fd, SHUT_RDWR);
    return true;
}

void Service::removeActive(int fd, PortKind port) {
    std::lock_guard<std::mutex> lock(activeMutex_);
    activeFds_.erase(fd);
    ::close(fd);
    --active_[int(port)];
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
