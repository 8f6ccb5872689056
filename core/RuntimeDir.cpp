#include "core/RuntimeDir.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Only absolute folders count, as the base directory rules say.
QString absoluteVariable(const char* name) {
    const QString value = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

QString runtimeFolder() {
    const QString runtime = absoluteVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/vaultry");
}

QString cacheHome() {
    const QString cache = absoluteVariable("XDG_CACHE_HOME");
    if (!cache.isEmpty())
        return cache;
    const QString home = absoluteVariable("HOME");
    return home.isEmpty() ? QString() : home + QStringLiteral("/.cache");
}

QString cacheFolder(const QString& cache) {
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/vaultry-runtime");
}

} // namespace

// The folder is opened without following a symlink and checked through that handle, so what
// is checked is what gets fixed.
bool MakePrivateFolder(const QString& dir) {
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

QStringList PrivateRuntimeDirCandidates() {
    QStringList dirs{runtimeFolder(), cacheFolder(cacheHome())};
    dirs.removeAll(QString());
    return dirs;
}

QString PrivateRuntimeDir() {
    const QString runtime = runtimeFolder();
    if (!runtime.isEmpty() && MakePrivateFolder(runtime))
        return runtime;
    const QString cache = cacheHome();
    if (cache.isEmpty())
        return {};
    ::mkdir(QFile::encodeName(cache).constData(), 0700); // a fresh account may have none yet
    const QString fallback = cacheFolder(cache);
    return MakePrivateFolder(fallback) ? fallback : QString();
}

QStringList PrivateRuntimeDirs() {
    const QString inUse = PrivateRuntimeDir();
    if (inUse.isEmpty())
        return {};
    QStringList dirs{inUse};
    for (const QString& other : PrivateRuntimeDirCandidates()) {
        struct stat info {};
        // Only a folder that is there already: looking must not make one.
        if (other != inUse && ::lstat(QFile::encodeName(other).constData(), &info) == 0 &&
            MakePrivateFolder(other))
            dirs.append(other);
    }
    return dirs;
}
