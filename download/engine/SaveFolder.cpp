#include "download/engine/SaveFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Errors that say a component is not a plain folder of ours, as opposed to a folder that
// cannot be made.
bool notAcceptable(int error) {
    return error == ELOOP || error == ENOTDIR || error == EISDIR || error == EEXIST;
}

// A plain file that no other name leads to: a second hard link may be anywhere on the file
// system, and writing through it would rewrite that file.
bool plainFileOfItsOwn(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_nlink == 1;
}

} // namespace

SaveFolder::SaveFolder(const QString& root, const QStringList& subfolder) {
    if (root.isEmpty() || !QDir().mkpath(root))
        return;
    dir_.reset(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir_.valid())
        return;
    for (const QString& component : subfolder) {
        const QByteArray name = QFile::encodeName(component);
        if (::mkdirat(dir_.get(), name.constData(), 0755) != 0 && errno != EEXIST) {
            status_ = notAcceptable(errno) ? Status::NotAcceptable : Status::CannotCreate;
            return;
        }
        UniqueFd next(::openat(dir_.get(), name.constData(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid()) {
            status_ = notAcceptable(errno) ? Status::NotAcceptable : Status::CannotCreate;
            return;
        }
        dir_ = std::move(next);
    }
    status_ = Status::Ready;
}

qint64 SaveFolder::localSize(const QString& name) const {
    struct stat info {};
    if (::fstatat(dir_.get(), QFile::encodeName(name).constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    return plainFileOfItsOwn(info) ? qint64(info.st_size) : -1;
}

int SaveFolder::openForWriting(const QString& name, bool truncate) const {
    // Never truncated by the open: whatever was swapped in since the size was taken is looked
    // at on the open descriptor first.
    const int flags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | (truncate ? O_CREAT : 0);
    const int fd = ::openat(dir_.get(), QFile::encodeName(name).constData(), flags, 0644);
    if (fd < 0)
        return -1;
    // Only a plain file of its own is written to (a fifo would block, a device is not ours).
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !plainFileOfItsOwn(info)) {
        ::close(fd);
        errno = ELOOP;
        return -1;
    }
    if (truncate && ::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    ::fcntl(fd, F_SETFL, O_WRONLY);
    return fd;
}

int SaveFolder::createNew(const QString& name) const {
    return ::openat(dir_.get(), QFile::encodeName(name).constData(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}
