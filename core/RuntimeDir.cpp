#include "RuntimeDir.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

QString PrivateRuntimeDir() {
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString dir = base.isEmpty()
                      ? QDir::temp().filePath(QStringLiteral("vaultry-%1").arg(::getuid()))
                      : QDir(base).filePath(QStringLiteral("vaultry"));
    const QByteArray path = QFile::encodeName(dir);
    ::mkdir(path.constData(), 0700);
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid())
        return {};
    if ((info.st_mode & 0777) != 0700 && ::chmod(path.constData(), 0700) != 0)
        return {};
    return dir;
}
