#include "fileservice/Demo.h"

#include "fileservice/WireText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct SampleFile {
    const char* path; // UTF-8, relative
    int64_t size;     // bytes; text files are made of Korean lines up to this size
    bool text;
};

const SampleFile kTree[] = {
    {"안내문.txt", 3 * 1024, true},
    {"photo-2024.jpg", 1536 * 1024, false},
    {"docs/report.pdf", 256 * 1024, false},
    {"music/track01.mp3", 6 * 1024 * 1024, false},
    {"video/2024/여름휴가.mp4", 30 * 1024 * 1024, false},
};

const SampleFile kUploads[] = {
    {"업로드 샘플.txt", 2 * 1024, true},
    {"backup.zip", 8 * 1024 * 1024, false},
};

uint64_t seedFor(const QByteArray& name) {
    uint64_t h = 1469598103934665603ull; // FNV-1a
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h ? h : 1;
}

// Deterministic content: xorshift64* bytes, or numbered Korean lines for text files.
bool writeSample(const QString& path, const SampleFile& f) {
    const QFileInfo info(path);
    if (info.isFile() && info.size() == f.size)
        return true; // already there (a kept --demo-root)
    QDir().mkpath(info.absolutePath());
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (f.text) {
        QByteArray text;
        const QByteArray line =
            QStringLiteral("볼트리 예제 파일입니다. 이 줄은 다운로드와 업로드 시험을 위해 "
                           "만들어졌습니다.\n")
                .toUtf8();
        for (int n = 1; text.size() < f.size; ++n)
            text += QByteArray::number(n).rightJustified(4, '0') + ' ' + line;
        text.truncate(static_cast<int>(f.size));
        return out.write(text) == text.size();
    }
    uint64_t x = seedFor(QByteArray(f.path));
    std::vector<char> chunk(1 << 20);
    int64_t left = f.size;
    while (left > 0) {
        const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(chunk.size()));
        for (int64_t i = 0; i < n; i += 8) {
            x ^= x >> 12;
            x ^= x << 25;
            x ^= x >> 27;
            const uint64_t v = x * 2685821657736338717ull;
            for (int b = 0; b < 8 && i + b < n; ++b)
                chunk[i + b] = static_cast<char>(v >> (8 * b));
        }
        if (out.write(chunk.data(), n) != n)
            return false;
        left -= n;
    }
    return true;
}

QString makeTempDir(const char* pattern) {
    QByteArray templ = QDir::temp().filePath(QString::fromLatin1(pattern)).toLocal8Bit();
    if (!::mkdtemp(templ.data()))
        return QString();
    return QString::fromLocal8Bit(templ);
}

} // namespace

QByteArray LaunchLink(const QByteArray& payload) {
    QByteArray link = "vastrelle://";
    for (int i = 0; i < payload.size(); ++i) {
        if (i)
            link += ',';
        link += QByteArray::number(static_cast<unsigned char>(payload[i]));
    }
    return link;
}

bool PrepareDemo(Options& o, DemoSetup& out, QString& error) {
    const QString temp = makeTempDir("vaultry-demo-XXXXXX");
    if (temp.isEmpty()) {
        error = QStringLiteral("cannot create a temporary folder");
        return false;
    }
    out.tempDirs << temp;

    if (!o.demoRoot.isEmpty()) {
        if (!o.root.isEmpty() &&
            QFileInfo(o.root).absoluteFilePath() != QFileInfo(o.demoRoot).absoluteFilePath()) {
            error = QStringLiteral("--root and --demo-root name different folders");
            return false;
        }
        o.root = o.demoRoot;
    }
    if (o.root.isEmpty() || !o.demoRoot.isEmpty()) {
        if (o.root.isEmpty())
            o.root = QDir(temp).filePath(QStringLiteral("files"));
        for (const SampleFile& f : kTree) {
            if (!writeSample(QDir(o.root).filePath(QString::fromUtf8(f.path)), f)) {
                error = QStringLiteral("cannot write the sample tree in %1").arg(o.root);
                return false;
            }
        }
        out.lines << QStringLiteral("demo tree: %1").arg(QDir(o.root).absolutePath());
    }

    bool haveMember = false;
    for (const MemberSpec& m : o.members)
        haveMember |= m.id == QLatin1String(kDemoMember);
    if (!haveMember)
        o.members.push_back({QString::fromLatin1(kDemoMember), QStringLiteral("일반회원"),
                             QString::fromLatin1(kDefaultPaidUntil),
                             QString::fromLatin1(kDefaultMegabytes)});
    out.lines << QStringLiteral("demo member: %1 (일반회원)").arg(QLatin1String(kDemoMember));

    bool haveList = false;
    for (const UploadListSpec& l : o.uploadLists)
        haveList |= l.key == QLatin1String(kDemoUploadKey);
    if (!haveList) {
        const QString folder = QDir(temp).filePath(QStringLiteral("upload-source"));
        UploadListSpec list{QString::fromLatin1(kDemoUploadKey), {}};
        for (const SampleFile& f : kUploads) {
            const QString path = QDir(folder).filePath(QString::fromUtf8(f.path));
            if (!writeSample(path, f)) {
                error = QStringLiteral("cannot write the upload samples in %1").arg(folder);
                return false;
            }
            list.paths << path;
        }
        o.uploadLists.push_back(list);
        out.lines << QStringLiteral("demo upload list: %1 (%2)")
                         .arg(list.key, list.paths.join(QLatin1String(", ")));
    }
    return true;
}

QStringList DemoLinks(const QStringList& entries) {
    QStringList lines;
    QByteArray list;
    int count = 0;
    for (const QString& e : entries) {
        if (++count > 180)
            break; // the client refuses more than 180 files
        list += ToWire(e) + '?';
    }
    const QByteArray payload = list + '|' + kDemoMember + '|' + kDemoServer;
    lines << QStringLiteral("launch link: %1").arg(QString::fromLatin1(LaunchLink(payload)));
    lines << QStringLiteral("download manager command: Vaultry_downloader_Manager|%1")
                 .arg(FromWire(payload));
    lines << QStringLiteral("upload manager command: Vaultry_uploader_Manager|%1|%2|%3")
                 .arg(QLatin1String(kDemoUploadKey), QLatin1String(kDemoMember),
                      QLatin1String(kDemoServer));
    return lines;
}
