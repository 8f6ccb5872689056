#include "RuntimeDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Only absolute folders count, as the base directory rules say.
QString absoluteVariable(const char* name) {
    const QString value = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

// The folder is opened without following a symlink and checked through that handle, so what
// is checked is what gets fixed.
bool usable(const QString& dir) {
    const QByteArray path = QFile::encodeName(dir);
    ::mkdir(path.constData(), 0700);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
              (info.st_mode & (S_IWGRP | S_IWOTH)) == 0; // else others may have planted entries
    if (ok && (info.st_mode & 07777) != 0700)
        ok = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return ok;
}

} // namespace

QStringList PrivateRuntimeDirCandidates() {
    QStringList dirs;
    const QString runtime = absoluteVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        dirs << runtime + QStringLiteral("/vaultry");
    QString cache = absoluteVariable("XDG_CACHE_HOME");
    if (cache.isEmpty()) {
        const QString home = absoluteVariable("HOME");
        if (!home.isEmpty())
            cache = home + QStringLiteral("/.cache");
    }
    if (!cache.isEmpty())
        dirs << cache + QStringLiteral("/vaultry-runtime");
    return dirs;
}

QString PrivateRuntimeDir() {
    for (const QString& dir : PrivateRuntimeDirCandidates()) {
        // The cache folder may not exist yet; a parent that does is left as it is.
        ::mkdir(QFile::encodeName(QFileInfo(dir).path()).constData(), 0700);
        if (usable(dir))
            return dir;
    }
    return {};
}
