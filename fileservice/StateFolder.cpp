#include "fileservice/StateFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace StateFolder {

QString defaultFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::home().filePath(QStringLiteral(".local/state"));
    return QDir(base).filePath(QStringLiteral("vaultry-fileservice"));
}

QString registrationTokenPath(const QString& folder) {
    return QDir(folder).filePath(QString::fromLatin1(kRegistrationTokenName));
}

QByteArray readRegistrationToken(const QString& folder) {
    const QByteArray path = QFile::encodeName(registrationTokenPath(folder));
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    char text[2 * kTokenBytes + 2] = {};
    ssize_t got = -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
        do {
            got = ::read(fd, text, sizeof text);
        } while (got < 0 && errno == EINTR);
    }
    ::close(fd);
    QByteArray hex(text, int(qMax<ssize_t>(got, 0)));
    if (hex.endsWith('\n'))
        hex.chop(1);
    const QByteArray bytes = QByteArray::fromHex(hex);
    if (hex.size() != 2 * kTokenBytes || bytes.size() != kTokenBytes ||
        bytes.toHex() != hex.toLower())
        return QByteArray();
    return bytes.toHex();
}

} // namespace StateFolder
