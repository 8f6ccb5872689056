#include "core/UploadChoices.h"

#include "core/RuntimeDir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kKeptLists = 256; // older choices are forgotten beyond this many lists

QString fileFor(const QByteArray& listKey) {
    return QDir(UploadChoices::folder())
        .filePath(QString::fromLatin1(
                      QCryptographicHash::hash(listKey, QCryptographicHash::Sha256).toHex()) +
                  QStringLiteral(".json"));
}

void forgetOldest(const QString& keep) {
    QDir dir(UploadChoices::folder());
    const QFileInfoList lists =
        dir.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Time | QDir::Reversed);
    for (qsizetype i = 0; i + kKeptLists < lists.size(); ++i) {
        if (lists[i].absoluteFilePath() != keep)
            QFile::remove(lists[i].absoluteFilePath());
    }
}

} // namespace

QString UploadChoices::folder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Vastrelle/upload-choices"));
}

bool UploadChoices::record(const QByteArray& listKey, const QStringList& paths, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QSet<QString> all = chosen(listKey);
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString canonical = info.canonicalFilePath();
        if (canonical.isEmpty() || !QFileInfo(canonical).isFile())
            return fail(QStringLiteral("not a regular file: %1").arg(path));
        all.insert(canonical);
    }
    QDir().mkpath(QFileInfo(folder()).path());
    if (!MakePrivateFolder(folder()))
        return fail(QStringLiteral("cannot make a private folder at %1").arg(folder()));
    QJsonArray files;
    QStringList sorted(all.begin(), all.end());
    sorted.sort();
    for (const QString& p : sorted)
        files.append(p);
    const QString path = fileFor(listKey);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1").arg(path));
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QJsonObject document{{QStringLiteral("key"), QString::fromLatin1(listKey.toHex())},
                               {QStringLiteral("files"), files}};
    out.write(QJsonDocument(document).toJson(QJsonDocument::Compact));
    if (!out.commit())
        return fail(QStringLiteral("cannot write %1").arg(path));
    forgetOldest(path);
    return true;
}

QSet<QString> UploadChoices::chosen(const QByteArray& listKey) {
    QFile file(fileFor(listKey));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject document = QJsonDocument::fromJson(file.read(16 << 20)).object();
    // The name is a hash of the key: make sure the file is for this very key.
    if (document.value(QStringLiteral("key")).toString() != QString::fromLatin1(listKey.toHex()))
        return {};
    QSet<QString> paths;
    for (const QJsonValue& value : document.value(QStringLiteral("files")).toArray()) {
        if (value.isString())
            paths.insert(value.toString());
    }
    return paths;
}

int UploadChoices::openChosen(const QSet<QString>& chosen, const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty() || !chosen.contains(canonical))
        return -1;
    // No following a link swapped in since, no waiting on a fifo, only a plain file.
    const int fd = ::open(QFile::encodeName(canonical).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, O_RDONLY);
    return fd;
}
