#include "fileservice/Catalogue.h"

#include "fileservice/WireText.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMessageAuthenticationCode>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens real (relative to the canonical root rootCanon) one component at a time with
// O_NOFOLLOW: no component may be a link by now, since real is already resolved. A FIFO is
// opened without blocking and then refused as not regular.
int openBeneath(const QString& rootCanon, const QString& real) {
    int dir = ::open(QFile::encodeName(rootCanon).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return -1;
    const QStringList parts = real.split(QLatin1Char('/'));
    for (int i = 0; i < parts.size(); ++i) {
        const QByteArray name = QFile::encodeName(parts[i]);
        const bool last = i + 1 == parts.size();
        const int flags = last ? (O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                               : (O_RDONLY | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC);
        const int next = ::openat(dir, name.constData(), flags);
        ::close(dir);
        if (next < 0)
            return -1;
        dir = next;
    }
    const int flags = ::fcntl(dir, F_GETFL);
    if (flags >= 0)
        ::fcntl(dir, F_SETFL, flags & ~O_NONBLOCK);
    return dir;
}

} // namespace

bool IsPlainRelativePath(const QString& relative) {
    if (relative.isEmpty() || relative.startsWith(QLatin1Char('/')) ||
        relative.contains(QLatin1Char('\\')) || relative.contains(QChar(0)))
        return false;
    for (const QString& part : relative.split(QLatin1Char('/')))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    return true;
}

Catalogue::Catalogue(QString root, QByteArray secret)
    : root_(std::move(root)), secret_(std::move(secret)) {}

QByteArray Catalogue::keyFor(const QString& real) const {
    return "F" + QMessageAuthenticationCode::hash("file\n" + real.toUtf8(), secret_,
                                                  QCryptographicHash::Sha256)
                     .toHex()
                     .left(32);
}

void Catalogue::remember(const QByteArray& key, const QString& real) {
    std::lock_guard<std::mutex> lock(keysMutex_);
    keys_[key] = real;
}

int Catalogue::open(const QString& relative, CatalogueEntry& out, QString& why) const {
    const QString rootCanon = QFileInfo(root_).canonicalFilePath();
    const QString canon = QFileInfo(QDir(root_).filePath(relative)).canonicalFilePath();
    if (rootCanon.isEmpty() || canon.isEmpty()) {
        why = QStringLiteral("no such file");
        return -1;
    }
    const QString prefix = rootCanon == QLatin1String("/") ? rootCanon : rootCanon + '/';
    if (!canon.startsWith(prefix) || canon.size() == prefix.size()) {
        why = QStringLiteral("leads outside the root");
        return -1;
    }
    const QString real = canon.mid(prefix.size());
    const int fd = openBeneath(rootCanon, real);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        why = fd < 0 ? QStringLiteral("cannot be opened inside the root")
                     : QStringLiteral("not a regular file");
        return -1;
    }
    out.relative = relative;
    out.real = real;
    out.key = keyFor(real);
    out.size = st.st_size;
    return fd;
}

bool Catalogue::lookup(const QByteArray& entryWire, CatalogueEntry& out, QString& why) {
    if (!enabled()) {
        why = QStringLiteral("no catalogue");
        return false;
    }
    const QString relative = FromWire(entryWire);
    if (ToWire(relative) != entryWire || !IsPlainRelativePath(relative)) {
        why = QStringLiteral("not a catalogue path");
        return false;
    }
    const int fd = open(relative, out, why);
    if (fd < 0)
        return false;
    ::close(fd);
    remember(out.key, out.real);
    return true;
}

int Catalogue::openByKey(const QByteArray& key, CatalogueEntry& out) {
    if (!enabled())
        return -1;
    QString real;
    {
        std::lock_guard<std::mutex> lock(keysMutex_);
        auto it = keys_.find(key);
        if (it != keys_.end())
            real = it->second;
    }
    QString why;
    if (!real.isEmpty()) {
        const int fd = open(real, out, why);
        if (fd >= 0 && out.key == key)
            return fd;
        if (fd >= 0)
            ::close(fd);
    }
    // Not seen yet (or gone, or changed): scan the catalogue as it is now. Every candidate
    // goes through the same checks as a control-port entry.
    for (const ListedFile& f : list()) {
        const QByteArray k = keyFor(f.real);
        remember(k, f.real);
        if (k != key)
            continue;
        const int fd = open(f.relative, out, why);
        if (fd >= 0 && out.key == key)
            return fd;
        if (fd >= 0)
            ::close(fd);
    }
    return -1;
}

std::vector<ListedFile> Catalogue::list() const {
    std::vector<ListedFile> files;
    if (!enabled())
        return files;
    const QString rootCanon = QFileInfo(root_).canonicalFilePath();
    if (rootCanon.isEmpty())
        return files;
    const QString prefix = rootCanon == QLatin1String("/") ? rootCanon : rootCanon + '/';
    const QDir root(root_);
    QDirIterator it(root_, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString canon = info.canonicalFilePath();
        if (canon.isEmpty() || !canon.startsWith(prefix))
            continue; // a link that leaves the root, or one that leads nowhere
        struct stat st {};
        if (::stat(QFile::encodeName(canon).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        files.push_back({root.relativeFilePath(path), canon.mid(prefix.size()), st.st_size});
    }
    std::sort(files.begin(), files.end(),
              [](const ListedFile& a, const ListedFile& b) { return a.relative < b.relative; });
    return files;
}
