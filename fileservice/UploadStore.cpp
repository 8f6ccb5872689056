#include "fileservice/UploadStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Opens a regular file for writing without following a link and without blocking on a FIFO.
int openRegular(const QString& path, int flags, mode_t mode, struct stat& st, QString& error) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          flags | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0) {
        error = errno == ELOOP
                    ? QStringLiteral("\"%1\" is a link, not taken").arg(path)
                    : QStringLiteral("cannot open \"%1\" for writing: %2").arg(path, errnoText());
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = QStringLiteral("\"%1\" is not a regular file").arg(path);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

QString UploadStore::storedPath(const UploadFile& f) const {
    QString name = f.name;
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("upload-%1").arg(f.number);
    return QDir(folder_).filePath(name);
}

QString UploadStore::partialFolder() const {
    return QDir(folder_).filePath(QStringLiteral(".vaultry-partial"));
}

// Partial files are named by a hash of the stored copy's name (any name fits) and the size.
QString UploadStore::partialPrefix(const QString& stored) const {
    const QByteArray name = QFileInfo(stored).fileName().toUtf8();
    return QString::fromLatin1(
               QCryptographicHash::hash(name, QCryptographicHash::Sha256).toHex().left(32)) +
           QLatin1Char('-');
}

bool UploadStore::claim(const QString& stored, int fd, int waitMs, bool& tookOver) {
    std::unique_lock<std::mutex> lock(claimsMutex_);
    auto held = claims_.find(stored);
    tookOver = held != claims_.end();
    if (tookOver) {
        // The holder's socket stays open while it is listed: it is closed only after release.
        held->second.ended = true;
        ::shutdown(held->second.fd, SHUT_RDWR);
        if (!released_.wait_for(lock, std::chrono::milliseconds(waitMs),
                                [&] { return claims_.count(stored) == 0; }))
            return false;
    }
    claims_[stored] = Claim{fd, false};
    return true;
}

bool UploadStore::endedByNewer(const QString& stored) {
    std::lock_guard<std::mutex> lock(claimsMutex_);
    auto held = claims_.find(stored);
    return held != claims_.end() && held->second.ended;
}

bool UploadStore::awaitUnclaimed(const QString& stored, int waitMs) {
    std::unique_lock<std::mutex> lock(claimsMutex_);
    return released_.wait_for(lock, std::chrono::milliseconds(waitMs),
                              [&] { return claims_.count(stored) == 0; });
}

void UploadStore::release(const QString& stored) {
    {
        std::lock_guard<std::mutex> lock(claimsMutex_);
        claims_.erase(stored);
    }
    released_.notify_all();
}

bool UploadStore::begin(const UploadFile& f, int64_t size, Session& s, QString& error) const {
    s = Session{};
    s.stored = storedPath(f);
    QDir().mkpath(folder_);
    struct stat st {};
    const int fd = openRegular(s.stored, O_WRONLY, 0644, st, error);
    if (fd < 0)
        return false;
    if (st.st_size <= size) {
        s.fd = fd;
        s.offset = st.st_size;
        return true;
    }
    ::close(fd); // the stored copy is not touched
    const QByteArray dir = QFile::encodeName(partialFolder());
    if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST) {
        error = QStringLiteral("cannot create \"%1\": %2").arg(partialFolder(), errnoText());
        return false;
    }
    s.partial = QDir(partialFolder()).filePath(partialPrefix(s.stored) + QString::number(size));
    s.fd = openRegular(s.partial, O_RDWR, 0600, st, error);
    if (s.fd < 0)
        return false;
    if (st.st_size > size && ::ftruncate(s.fd, 0) == 0)
        st.st_size = 0;
    s.offset = st.st_size;
    s.replacing = true;
    return true;
}

bool UploadStore::finish(Session& s, int64_t size) const {
    struct stat st {};
    const bool complete = s.fd >= 0 && ::fstat(s.fd, &st) == 0 && st.st_size == size;
    bool replaced = false;
    if (complete && s.replacing) {
        ::fsync(s.fd);
        replaced = ::rename(QFile::encodeName(s.partial).constData(),
                            QFile::encodeName(s.stored).constData()) == 0;
    }
    if (s.fd >= 0)
        ::close(s.fd);
    s.fd = -1;
    // Leftovers of other versions go once this connection has made the stored copy whole.
    if (replaced || (complete && !s.replacing && s.offset < size))
        removePartials(s.stored);
    return replaced;
}

void UploadStore::abandon(Session& s) {
    if (s.fd >= 0)
        ::close(s.fd);
    s.fd = -1;
}

void UploadStore::removePartials(const QString& stored) const {
    const QDir dir(partialFolder());
    const QString prefix = partialPrefix(stored);
    for (const QString& name : dir.entryList({prefix + QLatin1Char('*')}, QDir::Files))
        QFile::remove(dir.filePath(name));
}
