#include "fileservice/UploadLists.h"

#include "fileservice/WireText.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <algorithm>

UploadLists::UploadLists(QByteArray secret) : secret_(std::move(secret)) {}

void UploadLists::add(const QString& key, const QStringList& paths) {
    std::lock_guard<std::mutex> lock(mutex_);
    append(key, QString(), paths);
}

QString UploadLists::registerList(const QString& member, const QStringList& paths) {
    quint32 random[4];
    QRandomGenerator::system()->generate(std::begin(random), std::end(random));
    const QString key =
        QStringLiteral("L") +
        QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(random), sizeof random).toHex());
    std::lock_guard<std::mutex> lock(mutex_);
    int& registered = registeredFiles_[member];
    if (registered + paths.size() > kMaxRegisteredFilesPerMember)
        return QString();
    registered += int(paths.size());
    append(key, member, paths);
    return key;
}

void UploadLists::append(const QString& key, const QString& member, const QStringList& paths) {
    for (const QString& path : paths) {
        UploadFile f;
        f.number = ++lastNumber_;
        f.listKey = key;
        f.listKeyWire = ToWire(key);
        f.member = member;
        f.localPath = path;
        const int cut =
            std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
        f.name = path.mid(cut + 1);
        f.token1 = "UP" + QByteArray::number(f.number);
        const QByteArray what =
            "upload\n" + key.toUtf8() + '\n' + path.toUtf8() + '\n' + QByteArray::number(f.number);
        f.token2 = QMessageAuthenticationCode::hash(what, secret_, QCryptographicHash::Sha256)
                       .toHex()
                       .left(32);
        files_.push_back(f);
    }
}

std::vector<const UploadFile*> UploadLists::list(const QByteArray& keyWire) const {
    std::vector<const UploadFile*> files;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const UploadFile& f : files_)
        if (f.listKeyWire == keyWire)
            files.push_back(&f);
    return files;
}

const UploadFile* UploadLists::byNumber(int number) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const UploadFile& f : files_)
        if (f.number == number)
            return &f;
    return nullptr;
}

const UploadFile* UploadLists::byToken(const QByteArray& token1) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const UploadFile& f : files_)
        if (f.token1 == token1)
            return &f;
    return nullptr;
}
