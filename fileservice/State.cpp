#include "fileservice/State.h"

#include "fileservice/StateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kSecretBytes = 32;
constexpr const char* kSecretName = "secret";

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        done += w;
    }
    return true;
}

} // namespace

QString ServiceState::defaultFolder() {
    return StateFolder::defaultFolder();
}

QString ServiceState::secretPath() const {
    return QDir(folder_).filePath(QString::fromLatin1(kSecretName));
}

bool ServiceState::open(const QString& folder, QString& error) {
    folder_ = QDir(folder).absolutePath();
    QByteArray token;
    if (!makeFolder(error) ||
        !loadOrCreate(secretPath(), QStringLiteral("the secret"), secret_, error) ||
        !loadOrCreate(StateFolder::registrationTokenPath(folder_),
                      QStringLiteral("the registration token"), token, error))
        return false;
    token_ = token.toHex();
    return true;
}

bool ServiceState::makeFolder(QString& error) {
    const QByteArray path = QFile::encodeName(folder_);
    const QString parent = QFileInfo(folder_).absolutePath();
    if (!QDir().mkpath(parent)) {
        error = QStringLiteral("cannot create %1").arg(parent);
        return false;
    }
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        error = QStringLiteral("cannot create the state folder %1: %2").arg(folder_, errnoText());
        return false;
    }
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = QStringLiteral("the state folder %1 is not a folder").arg(folder_);
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        error = QStringLiteral("the state folder %1 belongs to another user").arg(folder_);
        return false;
    }
    // A folder that was made by hand with wider rights is narrowed: the secret is in it.
    if ((st.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0) {
        error =
            QStringLiteral("cannot make the state folder %1 private: %2").arg(folder_, errnoText());
        return false;
    }
    return true;
}

bool ServiceState::loadOrCreate(const QString& filePath, const QString& what, QByteArray& bytes,
                                QString& error) {
    const QByteArray path = QFile::encodeName(filePath);
    int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        if (!create(filePath, error))
            return false;
        fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0) {
        error = QStringLiteral("cannot read %1 %2: %3").arg(what, filePath, errnoText());
        return false;
    }
    struct stat st {};
    char text[2 * kSecretBytes + 2] = {};
    ssize_t got = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
        got = ::read(fd, text, sizeof text);
    ::close(fd);
    if (got < 0) {
        error = QStringLiteral("%1 %2 is not a private file of this user").arg(what, filePath);
        return false;
    }
    if ((st.st_mode & 077) != 0)
        ::chmod(path.constData(), 0600);
    QByteArray hex(text, int(got));
    if (hex.endsWith('\n'))
        hex.chop(1);
    const QByteArray decoded = QByteArray::fromHex(hex);
    if (hex.size() != 2 * kSecretBytes || decoded.size() != kSecretBytes ||
        decoded.toHex() != hex.toLower()) {
        error = QStringLiteral("%1 %2 is damaged; remove it to make a new one (keys and "
                               "tokens handed out before will no longer be valid)")
                    .arg(what, filePath);
        return false;
    }
    bytes = decoded;
    return true;
}

// Written under a temporary name and linked into place, so that two services starting at once
// on the same folder agree on one value: the second link fails and that service reads the
// first one's.
bool ServiceState::create(const QString& filePath, QString& error) {
    QByteArray random(kSecretBytes, '\0');
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(random.data()),
                                         reinterpret_cast<quint32*>(random.data() + kSecretBytes));
    const QByteArray temp = QFile::encodeName(QDir(folder_).filePath(
        QStringLiteral(".new-%1-%2").arg(::getpid()).arg(QFileInfo(filePath).fileName())));
    const int fd =
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = QStringLiteral("cannot write %1: %2").arg(filePath, errnoText());
        return false;
    }
    const bool written = writeAll(fd, random.toHex() + '\n') && ::fsync(fd) == 0;
    ::close(fd);
    const bool linked =
        written &&
        (::link(temp.constData(), QFile::encodeName(filePath).constData()) == 0 || errno == EEXIST);
    const int linkErrno = errno;
    ::unlink(temp.constData());
    if (!linked) {
        errno = linkErrno;
        error = QStringLiteral("cannot write %1: %2").arg(filePath, errnoText());
        return false;
    }
    return true;
}
