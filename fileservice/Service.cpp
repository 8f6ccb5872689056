#include "Service.h"

#include "WireText.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

Service::Service(Options options) : opt_(std::move(options)) {
    int number = 1000;
    for (const UploadListSpec& list : opt_.uploadLists) {
        for (const QString& path : list.paths) {
            UploadFile f;
            f.number = ++number;
            f.listKey = list.key;
            f.localPath = path;
            int cut =
                std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
            f.name = path.mid(cut + 1);
            f.token1 = "UP" + QByteArray::number(f.number);
            f.token2 = QCryptographicHash::hash((list.key + QLatin1Char('|') + path +
                                                 QLatin1Char('|') + QString::number(f.number))
                                                    .toUtf8(),
                                                QCryptographicHash::Sha1)
                           .toHex()
                           .left(16);
            uploads_.push_back(f);
        }
    }
}

// ---------------------------------------------------------------------------------------
// Logging and lifecycle

void Service::log(const QString& line) {
    if (opt_.quiet)
        return;
    say(line);
}

void Service::say(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::lock_guard<std::mutex> lock(logMutex_);
    std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

void Service::requestStop() {
    {
        std::lock_guard<std::mutex> lock(stopMutex_);
        stopping_ = true;
    }
    stopCv_.notify_all();
    std::lock_guard<std::mutex> lock(activeMutex_);
    for (int fd : activeFds_)
        ::shutdown(fd, SHUT_RDWR);
}

bool Service::sleepMs(int64_t ms) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    return !stopCv_.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return stopping_.load(); });
}

void Service::addActive(int fd) {
    std::lock_guard<std::mutex> lock(activeMutex_);
    activeFds_.insert(fd);
    ++active_;
    if (stopping_)
        ::shutdown(fd, SHUT_RDWR);
}

void Service::removeActive(int fd) {
    std::lock_guard<std::mutex> lock(activeMutex_);
    activeFds_.erase(fd);
    ::close(fd);
    --active_;
    idleCv_.notify_all();
}

bool Service::waitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(activeMutex_);
    return idleCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [this] { return active_.load() == 0; });
}

// ---------------------------------------------------------------------------------------
// Catalogue

QByteArray Service::keyFor(const QString& relative) {
    return "F" +
           QCryptographicHash::hash(relative.toUtf8(), QCryptographicHash::Sha1).toHex().left(24);
}

static bool regularFile(const QString& path, int64_t& size) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    size = st.st_size;
    return true;
}

bool Service::findEntry(const QByteArray& entryWire, CatalogueEntry& out, QString& why) {
    if (opt_.root.isEmpty()) {
        why = QStringLiteral("no catalogue");
        return false;
    }
    const QString relative = FromWire(entryWire);
    if (relative.isEmpty() || relative.startsWith(QLatin1Char('/')) ||
        relative.contains(QLatin1Char('\\')) || relative.contains(QChar(0)) ||
        relative.contains(QChar(0xFFFD))) {
        why = QStringLiteral("not a catalogue path");
        return false;
    }
    for (const QString& part : relative.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")) {
            why = QStringLiteral("not a catalogue path");
            return false;
        }
    }
    const QString rootCanon = QFileInfo(opt_.root).canonicalFilePath();
    const QString path = QDir(opt_.root).filePath(relative);
    const QString canon = QFileInfo(path).canonicalFilePath();
    if (rootCanon.isEmpty() || canon.isEmpty() || !canon.startsWith(rootCanon + QLatin1Char('/'))) {
        why = QStringLiteral("no such file");
        return false;
    }
    int64_t size = 0;
    if (!regularFile(path, size)) {
        why = QStringLiteral("not a regular file");
        return false;
    }
    out.relative = relative;
    out.absolute = path;
    out.key = keyFor(relative);
    out.size = size;
    std::lock_guard<std::mutex> lock(keysMutex_);
    keys_[out.key] = relative;
    return true;
}

QStringList Service::catalogue() const {
    QStringList files;
    if (opt_.root.isEmpty())
        return files;
    const QDir root(opt_.root);
    QDirIterator it(opt_.root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        int64_t size = 0;
        if (regularFile(path, size))
            files << root.relativeFilePath(path);
    }
    files.sort();
    return files;
}

bool Service::findKey(const QByteArray& key, CatalogueEntry& out) {
    QString relative;
    {
        std::lock_guard<std::mutex> lock(keysMutex_);
        auto it = keys_.find(key);
        if (it != keys_.end())
            relative = it->second;
    }
    QString why;
    if (!relative.isEmpty() && findEntry(ToWire(relative), out, why) && out.key == key)
        return true;
    // Not seen yet (or gone): scan the catalogue as it is now.
    for (const QString& rel : catalogue()) {
        const QByteArray k = keyFor(rel);
        {
            std::lock_guard<std::mutex> lock(keysMutex_);
            keys_[k] = rel;
        }
        if (k == key) {
            out.relative = rel;
            out.absolute = QDir(opt_.root).filePath(rel);
            out.key = k;
            return regularFile(out.absolute, out.size);
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Members

Service::MemberCheck Service::checkMember(const QByteArray& idWire, QByteArray& reply) const {
    for (const QString& id : opt_.overUsers) {
        if (ToWire(id) == idWire) {
            reply = "Over_user";
            return MemberCheck::OverUser;
        }
    }
    for (const MemberSpec& m : opt_.members) {
        if (ToWire(m.id) == idWire) {
            reply = ToWire(m.id) + '|' + ToWire(m.megabytes) + '|' + ToWire(m.className) + '|' +
                    ToWire(m.paidUntil);
            return MemberCheck::Member;
        }
    }
    reply = "No_member";
    return MemberCheck::Unknown;
}

// ---------------------------------------------------------------------------------------
// Upload queues

std::vector<const UploadFile*> Service::uploadList(const QByteArray& keyWire) const {
    std::vector<const UploadFile*> files;
    for (const UploadFile& f : uploads_)
        if (ToWire(f.listKey) == keyWire)
            files.push_back(&f);
    return files;
}

const UploadFile* Service::uploadByNumber(int number) const {
    for (const UploadFile& f : uploads_)
        if (f.number == number)
            return &f;
    return nullptr;
}

const UploadFile* Service::uploadByToken(const QByteArray& token1) const {
    for (const UploadFile& f : uploads_)
        if (f.token1 == token1)
            return &f;
    return nullptr;
}

QString Service::storePath(const UploadFile& f) const {
    QString name = f.name;
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("upload-%1").arg(f.number);
    return QDir(opt_.store).filePath(name);
}

int64_t Service::listedSize(const UploadFile& f) const {
    int64_t size = 0;
    if (!regularFile(f.localPath, size))
        return 0;
    return size;
}

// ---------------------------------------------------------------------------------------
// Helpers

QString Shown(const QByteArray& wire, int maxChars) {
    const QString text = FromWire(wire);
    QString out;
    out.reserve(std::min<qsizetype>(text.size(), maxChars) + 16);
    int chars = 0;
    for (QChar c : text) {
        if (chars >= maxChars) {
            out += QStringLiteral("...(%1 bytes)").arg(wire.size());
            break;
        }
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
        ++chars;
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}

int64_t ParseInt64(const QByteArray& text) {
    int i = 0;
    const int n = text.size();
    while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int d = text[i] - '0';
        if (value > (INT64_MAX - d) / 10)
            return negative ? INT64_MIN : INT64_MAX;
        value = value * 10 + d;
    }
    return negative ? -value : value;
}

QByteArray BlockValue(const char* block, int size) {
    const void* zero = std::memchr(block, 0, size);
    const int len = zero ? static_cast<int>(static_cast<const char*>(zero) - block) : size;
    return QByteArray(block, len);
}

QByteArray Fingerprint(const QString& path, int64_t size) {
    QByteArray text = QByteArray::number(static_cast<qlonglong>(size));
    int64_t offset = size / 2;
    if (size < 10)
        offset = 0;
    else if (size > 2000000000)
        offset = 1999999990;
    unsigned char sample[10] = {};
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        int got = 0;
        while (got < 10) {
            const ssize_t r = ::pread(fd, sample + got, 10 - got, offset + got);
            if (r <= 0)
                break;
            got += static_cast<int>(r);
        }
        ::close(fd);
    }
    for (unsigned char b : sample) {
        const int v = std::abs(static_cast<int>(static_cast<signed char>(b)));
        char digits[8];
        std::snprintf(digits, sizeof digits, "%03d", v);
        text += digits;
    }
    return text;
}
