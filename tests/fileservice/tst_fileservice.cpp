// Protocol tests of vaultry-fileservice: the real binary, bound to this test's address,
// driven over raw POSIX sockets exactly as the clients talk to it.

#include "tests/fileservice/RawSocket.h"
#include "tests/fileservice/ServiceProbe.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace {

using namespace ServiceProbe;

// The banner pages the clients show, as they have always been served.
constexpr const char* kDownloadBannerSha256 =
    "e5da1f52e861268b568ae0c2269e0fab69e64348d1463f4fd1972027a42176ee";
constexpr const char* kUploadBannerSha256 =
    "ebbb99084b8c82e6e3b708d1938c540c27637c1c7a5ac5645930694d13a79fbb";

// Code page 949 bytes of a text (the Windows code page, as the real service sends).
QByteArray cp(const QString& text) {
    QStringEncoder e("windows-949");
    return e.encode(text);
}
QString fromCp(const QByteArray& bytes) {
    QStringDecoder d("windows-949");
    return d.decode(bytes);
}

// JSON written with single quotes, which reads better here; FILE and SECOND stand for paths.
QByteArray json(const char* text, const QString& file = QString(),
                const QString& second = QString()) {
    return QString::fromUtf8(text)
        .replace(QLatin1Char('\''), QLatin1Char('"'))
        .replace(QLatin1String("FILE"), file)
        .replace(QLatin1String("SECOND"), second)
        .toUtf8();
}

// The clients' FileFingerprint, written again here so the test does not share the code.
QByteArray fingerprint(const QString& path, qint64 size) {
    QByteArray text = QByteArray::number(size);
    qint64 offset = size / 2;
    if (size < 10)
        offset = 0;
    else if (size > 2000000000)
        offset = 1999999990;
    char sample[10] = {};
    QFile f(path);
    if (f.open(QIODevice::ReadOnly) && f.seek(offset))
        f.read(sample, 10);
    for (char c : sample)
        text += QByteArray::number(qAbs(int(static_cast<signed char>(c)))).rightJustified(3, '0');
    return text;
}

} // namespace

class TestFileService : public QObject {
    Q_OBJECT

private:
    QString addr;
    QString root, uploads, store, state;
    QStringList bigFiles;

    QStringList baseArgs() const {
        return {
            QStringLiteral("--root"),  root,  QStringLiteral("--store"),  store,
            QStringLiteral("--state"), state, QStringLiteral("--member"), QStringLiteral("kim")};
    }

    HttpReply http(const QByteArray& method, const QByteArray& path,
                   const QByteArray& headers = QByteArray(), const QByteArray& body = QByteArray(),
                   bool withLength = true) {
        return ServiceProbe::http(addr, method, path, headers, body, withLength);
    }

    // A registration as the page control sends it, with the service's token.
    HttpReply registerList(const QByteArray& json,
                           const QByteArray& headers = "Content-Type: application/json\r\n") {
        return http("POST", "/api/upload-lists", tokenHeader(state) + headers, json);
    }

    // The upload records of a list key, each fingerprinted as the client does.
    QList<QList<QByteArray>> uploadRecords(const QByteArray& key) {
        QList<QList<QByteArray>> records;
        RawSocket c;
        if (!c.connect(addr, kControl) || c.exchange("@Upload") != "Ok" ||
            c.exchange("@Server1").isEmpty())
            return records;
        for (int i = 0; i < 300; ++i) {
            const QByteArray reply = c.exchange(key);
            const QList<QByteArray> f = reply.split('|');
            if (f.size() != 6)
                break;
            records << f;
            c.exchange(fingerprint(fromCp(f[4]), f[5].toLongLong()));
        }
        return records;
    }

    // Opens an upload data connection for a record announcing size; the offset reply (empty
    // when the service closes without one).
    QByteArray openUpload(const QList<QByteArray>& record, qint64 size, RawSocket& ul) {
        if (!ul.connect(addr, kUpload))
            return "connect failed";
        ul.send(RawSocket::block(record.value(0)) + RawSocket::block(record.value(1)) +
                RawSocket::block(QByteArray::number(size)));
        return ul.receiveOnce(3000, 12);
    }

    // One download-list exchange on a fresh control connection; the reply to the entry.
    QByteArray entryReply(const QByteArray& entry) {
        RawSocket c;
        if (!c.connect(addr, kControl))
            return "connect failed";
        if (c.exchange("@Download") != "Ok" || c.exchange("@Server1") != "Ok")
            return "no Ok";
        return c.exchange(entry);
    }

    // A download data connection: zero-byte send, four blocks, then everything until the end.
    QByteArray download(const QByteArray& ext, const QByteArray& key, qint64 size, qint64 offset,
                        bool* ended = nullptr) {
        RawSocket d;
        if (!d.connect(addr, kDownload))
            return "connect failed";
        ::send(d.fd(), "", 0, MSG_NOSIGNAL);
        d.send(RawSocket::block(ext + '/') + RawSocket::block(key) +
               RawSocket::block(QByteArray::number(size)) +
               RawSocket::block(QByteArray::number(offset)));
        return d.receiveAll(3000, ended);
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        addr = TestEnvironment::address();
        QVERIFY2(QFileInfo(FileServiceProcess::program()).isExecutable(),
                 qPrintable(FileServiceProcess::program()));
        root = TestEnvironment::scratch(QStringLiteral("root"));
        uploads = TestEnvironment::scratch(QStringLiteral("uploads"));
        store = TestEnvironment::scratch(QStringLiteral("store"));
        state = TestEnvironment::scratch(QStringLiteral("state"));
        QVERIFY(writeFile(root + "/a.txt", pattern(1000, 1)));
        QVERIFY(writeFile(root + "/sub/b.bin", pattern(300000, 2)));
        QVERIFY(writeFile(root + "/x/y/z.dat", pattern(5000, 3)));
        QVERIFY(writeFile(root + QStringLiteral("/한글 파일.txt"), pattern(777, 4)));
        QVERIFY(writeFile(root + "/empty.dat", QByteArray()));
        QVERIFY(writeFile(uploads + "/u1.txt", pattern(5000, 5)));
        QVERIFY(writeFile(uploads + "/u2.bin", pattern(200000, 6)));
        QVERIFY(writeFile(uploads + QStringLiteral("/업로드.txt"), pattern(18, 7)));
    }

    void cleanupTestCase() {
        for (const QString& f : bigFiles)
            QFile::remove(f);
    }

    // ---------------------------------------------------------------------------------
    // Start and stop

    void startsAndStopsCleanly() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs()));
        QVERIFY(s.log().contains(QStringLiteral("listening on %1").arg(addr)));
        RawSocket idle; // a client that keeps its connection open must not hold the stop up
        QVERIFY(idle.connect(addr, kControl));
        QCOMPARE(idle.exchange("@Connect_start"), QByteArray("Ok"));
        QElapsedTimer t;
        t.start();
        s.stop();
        QVERIFY(t.elapsed() < 4000);
        QVERIFY(!s.isRunning());
        QCOMPARE(s.exitCode(), 0);
        QVERIFY(s.log().contains(QStringLiteral("stopped")));
        QVERIFY(idle.waitClosed(1000));
    }

    void removesItsTemporaryFolders() {
        // The demo tree and the default store go to temporary folders that a clean stop
        // removes.
        const QString tmp = TestEnvironment::scratch(QStringLiteral("tmp"));
        FileServiceProcess s(addr); // (its own log folder is made here, outside tmp)
        const QByteArray saved = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.toLocal8Bit());
        const bool started = s.start({"--demo"}, 30000);
        if (saved.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", saved);
        QVERIFY(started);
        QCOMPARE(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);
        QVERIFY(s.log().contains(QStringLiteral("demo tree: %1/vaultry-demo-").arg(tmp)));
        s.stop();
        QCOMPARE(s.exitCode(), 0);
        QCOMPARE(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    void failsClearlyWhenAPortIsTaken() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1; // the port may still be in TIME_WAIT from an earlier test
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(kWeb);
        ::inet_pton(AF_INET, addr.toLatin1().constData(), &sa.sin_addr);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        QCOMPARE(::listen(fd, 1), 0);
        const QString tmp = TestEnvironment::scratch(QStringLiteral("tmp"));
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tmp);
        p.setProcessEnvironment(env);
        p.start(FileServiceProcess::program(),
                QStringList{"--root", root, "--demo", "--bind", addr});
        QVERIFY(p.waitForFinished(10000));
        ::close(fd);
        const QString out = QString::fromUtf8(p.readAll());
        QVERIFY(p.exitCode() != 0);
        QVERIFY2(out.contains(QStringLiteral("cannot bind %1:7580").arg(addr)), qPrintable(out));
        QVERIFY(!out.contains(QStringLiteral("listening on")));
        QCOMPARE(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    void rejectsBadOptions() {
        QProcess p;
        p.start(FileServiceProcess::program(), {"--bind", addr, "--refuse-data", "sometimes"});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(p.readAllStandardError().contains("--refuse-data"));
        FileServiceProcess bad(addr); // its output, errors included, is in the log
        QVERIFY(!bad.start({"--bogus-option"}));
        QVERIFY(bad.log().contains(QStringLiteral("unknown option --bogus-option")));
        QVERIFY(!bad.isRunning());
        p.start(FileServiceProcess::program(), {"--help"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        const QByteArray help = p.readAllStandardOutput();
        for (const char* flag : {"--cut-after",
                                 "--cut-connections",
                                 "--delay-ms",
                                 "--refuse-data",
                                 "--hang",
                                 "--close-after",
                                 "--garbage-entries",
                                 "--download-reply",
                                 "--overshoot",
                                 "--stall-after",
                                 "--hostile-name",
                                 "--hostile-folder",
                                 "--state",
                                 "--server-number",
                                 "--identify-timeout",
                                 "--listing-idle-timeout",
                                 "--max-connections",
                                 "--max-control-connections",
                                 "--max-download-connections",
                                 "--max-upload-connections",
                                 "--max-web-connections"})
            QVERIFY2(help.contains(flag), flag);
    }

    // ---------------------------------------------------------------------------------
    // Sign-on and sign-off

    void signOnForEveryMemberKind() {
        FileServiceProcess s(addr);
        QVERIFY(s.start({"--member", "kim", "--member",
                         QStringLiteral("sp:스페셜정액제:2030010112:500"), "--member",
                         QStringLiteral("am:오전정액제:2030123116"), "--member",
                         QStringLiteral("pm:오후정액제"), "--member",
                         QStringLiteral("night:심야정액제:2020010100:7"), "--member",
                         "blank:", "--over-user", "busy"}));
        struct Case {
            QByteArray id;
            QByteArray reply;
        };
        const QByteArray general("\xc0\xcf\xb9\xdd\xc8\xb8\xbf\xf8"); // 일반회원
        QCOMPARE(cp(QStringLiteral("일반회원")), general);
        const Case cases[] = {
            {"kim", "kim|10240|" + general + "|2099123123"},
            {"sp", "sp|500|" + cp(QStringLiteral("스페셜정액제")) + "|2030010112"},
            {"am", "am|10240|" + cp(QStringLiteral("오전정액제")) + "|2030123116"},
            {"pm", "pm|10240|" + cp(QStringLiteral("오후정액제")) + "|2099123123"},
            {"night", "night|7|" + cp(QStringLiteral("심야정액제")) + "|2020010100"},
            {"blank", "blank|10240||2099123123"},
            {"busy", "Over_user"},
            {"nobody", "No_member"},
            {"", "No_member"},
        };
        for (const Case& c : cases) {
            RawSocket ctl;
            QVERIFY(ctl.connect(addr, kControl));
            QVERIFY(!ctl.exchange("@Connect_start").isEmpty());
            if (c.id.isEmpty())
                continue; // an empty id is never sent by the clients
            QCOMPARE(ctl.exchange(c.id), c.reply);
        }
        // Sign-off on a new connection: any reply to both.
        RawSocket off;
        QVERIFY(off.connect(addr, kControl));
        QVERIFY(!off.exchange("@Connect_end").isEmpty());
        QVERIFY(!off.exchange("kim").isEmpty());
        QVERIFY(s.waitForLog(QStringLiteral("sign-off \"kim\""), 3000));
        // The download client keeps its sign-on connection open and signs on again later on
        // another one; the first connection stays usable.
        RawSocket first, second;
        QVERIFY(first.connect(addr, kControl));
        QCOMPARE(first.exchange("@Connect_start"), QByteArray("Ok"));
        QCOMPARE(first.exchange("kim").left(4), QByteArray("kim|"));
        QVERIFY(second.connect(addr, kControl));
        QCOMPARE(second.exchange("@Connect_start"), QByteArray("Ok"));
        QCOMPARE(second.exchange("am").left(3), QByteArray("am|"));
        QCOMPARE(first.exchange("@Connect_start"), QByteArray("Ok"));
        QCOMPARE(first.exchange("nobody"), QByteArray("No_member"));
    }

    // ---------------------------------------------------------------------------------
    // Download list

    void downloadListExchange() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs()));
        RawSocket c;
        QVERIFY(c.connect(addr, kControl));
        QCOMPARE(c.exchange("@Download"), QByteArray("Ok"));
        QCOMPARE(c.exchange("@Server7"), QByteArray("Ok"));

        QList<QByteArray> f = c.exchange("a.txt").split('|');
        QCOMPARE(f.size(), 5);
        QCOMPARE(f[0], QByteArray("a.txt"));
        QCOMPARE(f[1], addr.toLatin1());
        QVERIFY(!f[2].isEmpty());
        QCOMPARE(f[3], QByteArray());
        QCOMPARE(f[4], QByteArray("1000"));
        const QByteArray keyA = f[2];

        f = c.exchange("sub/b.bin").split('|');
        QCOMPARE(f.size(), 5);
        QCOMPARE(f[0], QByteArray("b.bin"));
        QCOMPARE(f[3], QByteArray("sub\\"));
        QCOMPARE(f[4], QByteArray("300000"));
        QVERIFY(f[2] != keyA);

        f = c.exchange("x/y/z.dat").split('|');
        QCOMPARE(f.size(), 5);
        QCOMPARE(f[0], QByteArray("z.dat"));
        QCOMPARE(f[3], QByteArray("x\\y\\"));
        QCOMPARE(f[4], QByteArray("5000"));

        f = c.exchange(cp(QStringLiteral("한글 파일.txt"))).split('|');
        QCOMPARE(f.size(), 5);
        QCOMPARE(f[0], cp(QStringLiteral("한글 파일.txt")));
        QCOMPARE(f[4], QByteArray("777"));

        f = c.exchange("empty.dat").split('|');
        QCOMPARE(f.size(), 5);
        QCOMPARE(f[4], QByteArray("0"));

        // Unknown entries get "Null" (the client skips them), and so does anything that is
        // not a plain path inside the catalogue.
        for (const QByteArray& bad :
             {QByteArray("missing.txt"), QByteArray("sub"), QByteArray("../a.txt"),
              QByteArray("/etc/passwd"), QByteArray("sub/../a.txt"), QByteArray("./a.txt"),
              QByteArray("sub//b.bin"), QByteArray("sub\\b.bin"), QByteArray("a.txt/"),
              QByteArray("@Connect_start")})
            QCOMPARE(c.exchange(bad), QByteArray("Null"));

        // The same entry again is answered again (the client, not the service, skips
        // duplicates), with the same key.
        QCOMPARE(c.exchange("a.txt").split('|').value(2), keyA);

        // A file added while the service runs is found.
        QVERIFY(writeFile(root + "/later/new.txt", pattern(321, 9)));
        f = c.exchange("later/new.txt").split('|');
        QCOMPARE(f.value(0), QByteArray("new.txt"));
        QCOMPARE(f.value(3), QByteArray("later\\"));
        QCOMPARE(f.value(4), QByteArray("321"));
        QByteArray got = download("txt", f[2], 321, 0);
        QCOMPARE(got, pattern(321, 9));
        QDir(root + "/later").removeRecursively();

        // "@Server0" (empty server number) works the same way.
        RawSocket c2;
        QVERIFY(c2.connect(addr, kControl));
        QCOMPARE(c2.exchange("@Download"), QByteArray("Ok"));
        QVERIFY(!c2.exchange("@Server0").isEmpty());
        QCOMPARE(c2.exchange("a.txt").split('|').value(2), keyA);
        QVERIFY(s.waitForLog(QStringLiteral("entry \"missing.txt\""), 2000));
    }

    // ---------------------------------------------------------------------------------
    // Download data

    void downloadWholeAndResumed() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs()));
        const QList<QByteArray> f = entryReply("sub/b.bin").split('|');
        QCOMPARE(f.size(), 5);
        const QByteArray key = f[2];
        const QByteArray whole = pattern(300000, 2);

        bool ended = false;
        QCOMPARE(download("bin", key, 300000, 0, &ended), whole);
        QVERIFY(ended);
        QCOMPARE(download("bin", key, 300000, 123456, &ended), whole.mid(123456));
        QVERIFY(ended);
        QCOMPARE(download("bin", key, 300000, 299999, &ended), whole.right(1));
        // At or beyond the end: nothing, then the close.
        QCOMPARE(download("bin", key, 300000, 300000, &ended), QByteArray());
        QVERIFY(ended);
        QCOMPARE(download("bin", key, 300000, 999999, &ended), QByteArray());
        QVERIFY(ended);
        // An empty file: nothing, then the close.
        const QList<QByteArray> e = entryReply("empty.dat").split('|');
        QCOMPARE(download("dat", e.value(2), 0, 0, &ended), QByteArray());
        QVERIFY(ended);
        // An unknown key: closed without data.
        QCOMPARE(download("bin", "no-such-key", 300000, 0, &ended), QByteArray());
        QVERIFY(ended);
        QVERIFY(s.waitForLog(QStringLiteral("unknown file key \"no-such-key\""), 2000));
        QVERIFY(s.log().contains(QStringLiteral("from offset 123456: sent 176544 bytes")));

        // The file key stays valid for a new service: it is looked up by scanning.
        s.stop();
        QVERIFY(s.start(baseArgs()));
        QCOMPARE(download("bin", key, 300000, 299000), whole.right(1000));
    }

    void downloadBeyondFourGiB() {
        const qint64 size = (5ll << 30) + 123;
        const QString path = root + "/big/huge.iso";
        QDir().mkpath(root + "/big");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (!f.resize(size))
                QSKIP("no sparse files here");
            QVERIFY(f.seek(size - 123));
            QVERIFY(f.write(pattern(123, 11)) == 123);
            QVERIFY(f.seek((4ll << 30) + 7));
            QVERIFY(f.write("marker") == 6);
        }
        bigFiles << path;
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs()));
        const QList<QByteArray> f = entryReply("big/huge.iso").split('|');
        QCOMPARE(f.size(), 5);
        QCOMPARE(f[4], QByteArray("5368709243"));
        QCOMPARE(f[3], QByteArray("big\\"));
        bool ended = false;
        QCOMPARE(download("iso", f[2], size, size - 123, &ended), pattern(123, 11));
        QVERIFY(ended);
        // From an offset beyond 4 GiB: read the first bytes and stop (the rest is 1 GiB).
        RawSocket d;
        QVERIFY(d.connect(addr, kDownload));
        QVERIFY(d.send(RawSocket::block("iso/") + RawSocket::block(f[2]) + RawSocket::block(f[4]) +
                       RawSocket::block(QByteArray::number((4ll << 30) + 5))));
        QByteArray head;
        while (head.size() < 8) {
            const QByteArray part = d.receiveOnce(3000, 8 - int(head.size()));
            QVERIFY(!part.isEmpty());
            head += part;
        }
        QCOMPARE(head, QByteArray("\0\0marker", 8));
        d.abort();
        QVERIFY(s.waitForLog(QStringLiteral("offset=\"4294967301\""), 3000));
        QFile::remove(path);
    }

    void headerBlocksInAnySegmentation() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs()));
        const QList<QByteArray> f = entryReply("x/y/z.dat").split('|');
        QCOMPARE(f.size(), 5);
        const QByteArray headers = RawSocket::block("dat/") + RawSocket::block(f[2]) +
                                   RawSocket::block("5000") + RawSocket::block("1000");
        const int sizes[] = {1, 3, 777, 20000, 13, 4096, 2, 20479};
        RawSocket d;
        QVERIFY(d.connect(addr, kDownload));
        const int one = 1;
        ::setsockopt(d.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ::send(d.fd(), "", 0, MSG_NOSIGNAL);
        int pos = 0;
        for (int i = 0; pos < headers.size(); ++i) {
            const int n = qMin<int>(sizes[i % 8], int(headers.size()) - pos);
            QVERIFY(d.send(headers.mid(pos, n)));
            pos += n;
            QThread::msleep(3);
        }
        bool ended = false;
        QCOMPARE(d.receiveAll(3000, &ended), pattern(5000, 3).mid(1000));
        QVERIFY(ended);

        // A value is read up to its first zero byte; what follows in the block is ignored.
        QByteArray keyBlock = RawSocket::block(f[2]);
        keyBlock.replace(f[2].size() + 1, 5, "junk!");
        RawSocket d2;
        QVERIFY(d2.connect(addr, kDownload));
        QVERIFY(d2.send(RawSocket::block("dat/") + keyBlock + RawSocket::block("5000 trailing") +
                        RawSocket::block("4990")));
        QCOMPARE(d2.receiveAll(3000), pattern(5000, 3).right(10));

        // Upload blocks too.
        FileServiceProcess u(addr);
        s.stop();
        QVERIFY(
            u.start(baseArgs() << "--upload-list" << QStringLiteral("seg=%1/u1.txt").arg(uploads)));
        RawSocket c;
        QVERIFY(c.connect(addr, kControl));
        QCOMPARE(c.exchange("@Upload"), QByteArray("Ok"));
        QVERIFY(!c.exchange("@Server1").isEmpty());
        const QList<QByteArray> r = c.exchange("seg").split('|');
        QCOMPARE(r.size(), 6);
        QFile::remove(store + "/u1.txt");
        const QByteArray up =
            RawSocket::block(r[0]) + RawSocket::block(r[1]) + RawSocket::block(r[5]);
        RawSocket ul;
        QVERIFY(ul.connect(addr, kUpload));
        ::setsockopt(ul.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        pos = 0;
        for (int i = 3; pos < up.size(); ++i) {
            const int n = qMin<int>(sizes[i % 8], int(up.size()) - pos);
            QVERIFY(ul.send(up.mid(pos, n)));
            pos += n;
            QThread::msleep(3);
        }
        QCOMPARE(ul.receiveOnce(3000), QByteArray("0"));
    }

    // ---------------------------------------------------------------------------------
    // Upload listing, offset, data and completion

    void uploadListingAndTransfer() {
        const QString u1 = uploads + "/u1.txt";
        const QString u2 = uploads + "/u2.bin";
        const QString u3 = uploads + QStringLiteral("/업로드.txt");
        QFile::remove(store + "/u1.txt");
        QVERIFY(writeFile(store + "/u2.bin", pattern(300000, 1))); // longer than the file
        QFile::remove(store + QStringLiteral("/업로드.txt"));
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--upload-list" << QStringLiteral("k1=%1,%2").arg(u1, u2)
                                   << "--upload-list" << QStringLiteral("k1=%1").arg(u3)
                                   << "--upload-list" << QStringLiteral("other=%1").arg(u2)));
        RawSocket c;
        QVERIFY(c.connect(addr, kControl));
        QCOMPARE(c.exchange("@Upload"), QByteArray("Ok"));
        QVERIFY(!c.exchange("@Server3").isEmpty());

        struct Record {
            QList<QByteArray> fields;
            int number;
        };
        QList<Record> records;
        const QString paths[] = {u1, u2, u3};
        const qint64 sizes[] = {5000, 200000, 18};
        for (int i = 0; i < 3; ++i) {
            const QByteArray reply = c.exchange("k1");
            const QList<QByteArray> r = reply.split('|');
            QCOMPARE(r.size(), 6);
            QVERIFY(!r[0].isEmpty());
            QVERIFY(!r[1].isEmpty());
            QCOMPARE(r[2], addr.toLatin1());
            QCOMPARE(fromCp(r[3]), QFileInfo(paths[i]).fileName());
            QCOMPARE(fromCp(r[4]), paths[i]);
            QCOMPARE(r[5].toLongLong(), sizes[i]);
            // The client fingerprints folder-of-path + name with the listed size.
            const QString local = fromCp(r[4]);
            const QByteArray print =
                fingerprint(local.left(local.lastIndexOf('/') + 1) + fromCp(r[3]), sizes[i]);
            QCOMPARE(print.size(), QByteArray::number(sizes[i]).size() + 30);
            const QByteArray answer = c.exchange(print);
            const int bar = answer.indexOf('|');
            QVERIFY2(bar > 0, answer.constData());
            bool ok = false;
            const int number = answer.left(bar).toInt(&ok);
            QVERIFY(ok && number > 0);
            records.append({r, number});
        }
        QCOMPARE(c.exchange("k1"), QByteArray("ListEnd"));
        QCOMPARE(c.exchange("k1"), QByteArray("ListEnd"));
        QCOMPARE(c.exchange("unknown-key"), QByteArray("ListEnd"));
        QVERIFY(records[0].number != records[1].number && records[1].number != records[2].number);
        QVERIFY(s.waitForLog(QStringLiteral("for file %1 (matches)").arg(records[2].number), 2000));
        QVERIFY(!s.log().contains(QStringLiteral("differs from")));

        // Another list key on the same connection has its own cursor.
        QCOMPARE(c.exchange("other").split('|').value(3), QByteArray("u2.bin"));
        QVERIFY(c.exchange(fingerprint(u2, 200000))
                    .startsWith(QByteArray::number(records[1].number + 2) + '|'));
        QCOMPARE(c.exchange("other"), QByteArray("ListEnd"));

        // Upload u1 in two parts: offset 0, 2000 bytes, close; then offset 2000, the rest.
        const QByteArray data = pattern(5000, 5);
        const Record& r1 = records[0];
        auto open = [&](const Record& r, RawSocket& ul) -> QByteArray {
            if (!ul.connect(addr, kUpload))
                return "connect failed";
            ::send(ul.fd(), "", 0, MSG_NOSIGNAL);
            ul.send(RawSocket::block(r.fields[0]) + RawSocket::block(r.fields[1]) +
                    RawSocket::block(r.fields[5]));
            return ul.receiveOnce(3000, 12);
        };
        {
            RawSocket ul;
            QCOMPARE(open(r1, ul), QByteArray("0"));
            QVERIFY(ul.send(data.left(2000)));
        }
        QVERIFY(s.waitForLog(
            QStringLiteral("received 2000 bytes, stored 2000 of 5000 bytes of \"u1.txt\""), 3000));
        {
            RawSocket ul;
            QCOMPARE(open(r1, ul), QByteArray("2000"));
            QVERIFY(ul.send(data.mid(2000)));
        }
        QVERIFY(s.waitForLog(QStringLiteral("stored 5000 of 5000 bytes of \"u1.txt\""), 3000));
        QCOMPARE(readFile(store + "/u1.txt"), data);
        // A complete file: the offset is its size and nothing more is taken.
        {
            RawSocket ul;
            QCOMPARE(open(r1, ul), QByteArray("5000"));
            QVERIFY(ul.send("extra bytes"));
        }
        QVERIFY(s.waitForLog(QStringLiteral("11 bytes beyond the size discarded"), 3000));
        QCOMPARE(readFile(store + "/u1.txt"), data);

        // A stored copy longer than the announced size starts again at 0.
        {
            RawSocket ul;
            QCOMPARE(open(records[1], ul), QByteArray("0"));
            QVERIFY(ul.send(pattern(200000, 6)));
        }
        QVERIFY(s.waitForLog(QStringLiteral("stored 200000 of 200000 bytes of \"u2.bin\""), 3000));
        QCOMPARE(readFile(store + "/u2.bin"), pattern(200000, 6));

        // Korean name, stored by name.
        {
            RawSocket ul;
            QCOMPARE(open(records[2], ul), QByteArray("0"));
            QVERIFY(ul.send(pattern(18, 7)));
        }
        QVERIFY(s.waitForLog(QStringLiteral("stored 18 of 18 bytes of \"업로드.txt\""), 3000));
        QCOMPARE(readFile(store + QStringLiteral("/업로드.txt")), pattern(18, 7));

        // Completion notice on a fresh control connection.
        RawSocket done;
        QVERIFY(done.connect(addr, kControl));
        QVERIFY(!done.exchange("@Upload_complute").isEmpty());
        QVERIFY(!done.exchange(QByteArray::number(r1.number)).isEmpty());
        QVERIFY(s.waitForLog(
            QStringLiteral("upload complete: file %1 \"u1.txt\" stored 5000 of 5000 bytes")
                .arg(r1.number),
            3000));

        // Wrong tokens: closed without an offset.
        RawSocket bad;
        QVERIFY(bad.connect(addr, kUpload));
        QVERIFY(bad.send(RawSocket::block(r1.fields[0]) + RawSocket::block("wrong") +
                         RawSocket::block("5000")));
        bool ended = false;
        QCOMPARE(bad.receiveAll(3000, &ended), QByteArray());
        QVERIFY(ended);
    }

    void uploadBeyondFourGiB() {
        const qint64 size = 5ll << 30;
        const qint64 have = (4ll << 30) + (512ll << 20);
        const QString source = uploads + "/big.img";
        const QString bigStore = TestEnvironment::scratch(QStringLiteral("bigstore"));
        {
            QFile f(source);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            if (!f.resize(size))
                QSKIP("no sparse files here");
            QFile g(bigStore + "/big.img");
            QVERIFY(g.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(g.resize(have));
        }
        bigFiles << source << bigStore + "/big.img";
        FileServiceProcess s(addr);
        QVERIFY(s.start({"--store", bigStore, "--upload-list", "big=" + source}));
        RawSocket c;
        QVERIFY(c.connect(addr, kControl));
        QCOMPARE(c.exchange("@Upload"), QByteArray("Ok"));
        QVERIFY(!c.exchange("@Server0").isEmpty());
        const QList<QByteArray> r = c.exchange("big").split('|');
        QCOMPARE(r.size(), 6);
        QCOMPARE(r[5], QByteArray("5368709120"));
        QCOMPARE(c.exchange(fingerprint(source, size)).split('|').value(0), QByteArray("1001"));
        {
            RawSocket ul;
            QVERIFY(ul.connect(addr, kUpload));
            QVERIFY(
                ul.send(RawSocket::block(r[0]) + RawSocket::block(r[1]) + RawSocket::block(r[5])));
            const QByteArray offset = ul.receiveOnce(3000, 12);
            QCOMPARE(offset, QByteArray("4831838208"));
            QVERIFY(ul.send(pattern(100, 12)));
        }
        QVERIFY(s.waitForLog(QStringLiteral("stored 4831838308 of 5368709120 bytes"), 3000));
        QFile g(bigStore + "/big.img");
        QCOMPARE(g.size(), have + 100);
        QVERIFY(g.open(QIODevice::ReadOnly));
        QVERIFY(g.seek(have));
        QCOMPARE(g.read(100), pattern(100, 12));
        g.close();
        QFile::remove(source);
        QFile::remove(bigStore + "/big.img");
    }

    // ---------------------------------------------------------------------------------
    // Fault switches

    void faultCutAfter() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--cut-after"
                                   << "1000"
                                   << "--cut-connections"
                                   << "2"));
        const QByteArray key = entryReply("sub/b.bin").split('|').value(2);
        const QByteArray whole = pattern(300000, 2);
        bool ended = false;
        QCOMPARE(download("bin", key, 300000, 0, &ended), whole.left(1000));
        QVERIFY(ended);
        QCOMPARE(download("bin", key, 300000, 1000, &ended), whole.mid(1000, 1000));
        QVERIFY(ended);
        QCOMPARE(download("bin", key, 300000, 2000, &ended), whole.mid(2000)); // third: whole
        QVERIFY(s.log().contains(QStringLiteral("cut (fault switch)")));

        // Always, and with a reset instead of a clean close.
        s.stop();
        QVERIFY(s.start(baseArgs() << "--cut-after"
                                   << "5000"
                                   << "--cut-reset"));
        for (int i = 0; i < 2; ++i) {
            RawSocket d;
            QVERIFY(d.connect(addr, kDownload));
            QVERIFY(d.send(RawSocket::block("bin/") + RawSocket::block(key) +
                           RawSocket::block("300000") + RawSocket::block("0")));
            bool reset = false;
            const QByteArray got = d.receiveAll(3000, &ended, &reset);
            QVERIFY(ended);
            QVERIFY(got.size() <= 5000);
            QCOMPARE(got, whole.left(got.size()));
        }
        QVERIFY(s.waitForLog(QStringLiteral("cut with a reset"), 2000));
    }

    // A data server reading at 1 MiB/s (fault switch) still has most of the bytes to read
    // when a client that closed at once sends its completion notice: the answer waits for the
    // data connection, and the log tells what is really stored.
    void completionNoticeWaitsForItsDataConnection() {
        const QString here = QStringLiteral("127.0.0.22");
        const QString local = uploads + "/slow.bin";
        const QByteArray data = pattern(1572864, 9);
        QVERIFY(writeFile(local, data));
        QFile::remove(store + "/slow.bin");
        FileServiceProcess s(here);
        QVERIFY(s.start(baseArgs() << "--upload-list"
                                   << "slow=" + local << "--upload-read-rate"
                                   << "1048576"));
        RawSocket c;
        QVERIFY(c.connect(here, kControl));
        QCOMPARE(c.exchange("@Upload"), QByteArray("Ok"));
        QVERIFY(!c.exchange("@Server0").isEmpty());
        const QList<QByteArray> r = c.exchange("slow").split('|');
        QCOMPARE(r.size(), 6);
        const QByteArray number = c.exchange(fingerprint(local, data.size())).split('|').value(0);
        {
            RawSocket ul;
            QVERIFY(ul.connect(here, kUpload));
            QVERIFY(
                ul.send(RawSocket::block(r[0]) + RawSocket::block(r[1]) + RawSocket::block(r[5])));
            QCOMPARE(ul.receiveOnce(3000, 12), QByteArray("0"));
            QVERIFY(ul.send(data));
        }
        RawSocket done;
        QVERIFY(done.connect(here, kControl));
        QCOMPARE(done.exchange("@Upload_complute"), QByteArray("Ok"));
        QCOMPARE(done.exchange(number, 10000), QByteArray("Ok"));
        QVERIFY(s.waitForLog(QStringLiteral("upload complete: file %1 \"slow.bin\" stored "
                                            "1572864 of 1572864 bytes -> ")
                                 .arg(QString::fromLatin1(number)),
                             3000));
        QCOMPARE(readFile(store + "/slow.bin"), data);
    }

    void faultDelay() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--delay-ms"
                                   << "300"));
        RawSocket c;
        QVERIFY(c.connect(addr, kControl));
        QElapsedTimer t;
        t.start();
        QCOMPARE(c.exchange("@Connect_start"), QByteArray("Ok"));
        QVERIFY(t.elapsed() >= 290);
        t.restart();
        QCOMPARE(c.exchange("kim").left(4), QByteArray("kim|"));
        QVERIFY(t.elapsed() >= 290);
    }

    void faultRefuseData() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--refuse-data"
                                   << "close"));
        const QByteArray key = entryReply("a.txt").split('|').value(2);
        QVERIFY(!key.isEmpty());
        for (int port : {kDownload, kUpload}) {
            RawSocket d;
            QVERIFY(d.connect(addr, port));
            QVERIFY(d.waitClosed(2000));
        }
        s.stop();
        QVERIFY(s.start(baseArgs() << "--refuse-data"
                                   << "nolisten"));
        for (int port : {kDownload, kUpload}) {
            RawSocket d;
            QVERIFY(!d.connect(addr, port));
            QCOMPARE(d.lastError(), ECONNREFUSED);
        }
        QCOMPARE(entryReply("a.txt").split('|').value(2), key); // control still answers
    }

    void faultHang() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--hang"));
        RawSocket c;
        QVERIFY(c.connect(addr, kControl));
        QVERIFY(c.send("@Connect_start"));
        QCOMPARE(c.wait(700), 0); // no reply, not closed
        QVERIFY(c.send("kim"));
        QCOMPARE(c.wait(300), 0);
        QVERIFY(s.waitForLog(QStringLiteral("(hang: no reply)"), 2000));

        s.stop();
        QVERIFY(s.start(baseArgs() << "--hang-after"
                                   << "2"));
        RawSocket h;
        QVERIFY(h.connect(addr, kControl));
        QCOMPARE(h.exchange("@Download"), QByteArray("Ok"));
        QCOMPARE(h.exchange("@Server1"), QByteArray("Ok"));
        QVERIFY(h.send("a.txt"));
        QCOMPARE(h.wait(700), 0);
    }

    void faultGarbageEntries() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--garbage-entries"));
        RawSocket c;
        QVERIFY(c.connect(addr, kControl));
        QCOMPARE(c.exchange("@Download"), QByteArray("Ok"));
        QCOMPARE(c.exchange("@Server1"), QByteArray("Ok"));
        QSet<QByteArray> seen;
        for (int i = 0; i < 5; ++i) {
            QVERIFY(c.send("a.txt"));
            QByteArray reply;
            // The fifth garbage reply is 20480 bytes: one send, maybe several segments.
            while (c.wait(300) == 1) {
                const QByteArray part = c.receiveOnce(100, 65536);
                if (part.isEmpty())
                    break;
                reply += part;
            }
            QVERIFY(!reply.isEmpty());
            QVERIFY(reply != "Null");
            QVERIFY(!reply.contains('\0'));
            QVERIFY(reply.split('|').size() != 5 || reply.split('|')[1] != addr.toLatin1());
            seen.insert(reply);
        }
        QCOMPARE(seen.size(), 5);
        QVERIFY(seen.contains(QByteArray(20480, 'G')));
    }

    void faultDownloadAndUploadReply() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--download-reply"
                                   << "Busy"
                                   << "--upload-reply"
                                   << ""));
        RawSocket c;
        QVERIFY(c.connect(addr, kControl));
        QCOMPARE(c.exchange("@Download"), QByteArray("Busy"));
        RawSocket u;
        QVERIFY(u.connect(addr, kControl));
        QVERIFY(u.send("@Upload"));
        // An empty reply is no bytes at all: nothing arrives, the connection stays open.
        QCOMPARE(u.wait(500), 0);
    }

    void faultOvershoot() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--overshoot"
                                   << "500"));
        const QByteArray key = entryReply("a.txt").split('|').value(2);
        bool ended = false;
        const QByteArray got = download("txt", key, 1000, 0, &ended);
        QVERIFY(ended);
        QCOMPARE(got.size(), 1500);
        QCOMPARE(got.left(1000), pattern(1000, 1));
        QCOMPARE(got.mid(1000), QByteArray(500, char(0xA5)));
        QCOMPARE(download("txt", key, 1000, 1000, &ended), QByteArray(500, char(0xA5)));
    }

    void faultStall() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--stall-after"
                                   << "1000"
                                   << "--stall-connections"
                                   << "1"));
        const QByteArray key = entryReply("sub/b.bin").split('|').value(2);
        {
            RawSocket d;
            QVERIFY(d.connect(addr, kDownload));
            QVERIFY(d.send(RawSocket::block("bin/") + RawSocket::block(key) +
                           RawSocket::block("300000") + RawSocket::block("0")));
            bool ended = true;
            const QByteArray got = d.receiveAll(800, &ended);
            QCOMPARE(got, pattern(300000, 2).left(1000));
            QVERIFY(!ended); // open, silent
            QCOMPARE(d.wait(300), 0);
        }
        QVERIFY(s.waitForLog(QStringLiteral("stalled connection ended"), 3000));
        bool ended = false;
        QCOMPARE(download("bin", key, 300000, 0, &ended).size(), 300000); // second: normal
        QVERIFY(ended);
    }

    void faultHostileReplies() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--hostile-name"
                                   << "../evil"));
        QList<QByteArray> f = entryReply("a.txt").split('|');
        QCOMPARE(f.value(0), QByteArray("../evil"));
        QCOMPARE(f.value(4), QByteArray("1000"));
        QCOMPARE(download("txt", f.value(2), 1000, 0), pattern(1000, 1)); // the key still works
        s.stop();
        QVERIFY(s.start(baseArgs() << "--hostile-folder"
                                   << "/abs"));
        f = entryReply("a.txt").split('|');
        QCOMPARE(f.value(0), QByteArray("a.txt"));
        QCOMPARE(f.value(3), QByteArray("/abs"));
        s.stop();
        QVERIFY(s.start(baseArgs() << "--hostile-folder"
                                   << "..\\..\\"
                                   << "--hostile-name"
                                   << "/abs"));
        f = entryReply("a.txt").split('|');
        QCOMPARE(f.value(0), QByteArray("/abs"));
        QCOMPARE(f.value(3), QByteArray("..\\..\\"));
    }

    // ---------------------------------------------------------------------------------
    // Hostile and broken input

    void survivesMalformedInput() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs()
                        << "--idle-timeout"
                        << "1"
                        << "--identify-timeout"
                        << "1"
                        << "--upload-list" << QStringLiteral("k=%1/u1.txt").arg(uploads)));
        const QByteArray key = entryReply("a.txt").split('|').value(2);

        // Data ports: short blocks, blocks without a zero byte, vanishing mid-block, silence.
        for (int port : {kDownload, kUpload}) {
            {
                RawSocket d;
                QVERIFY(d.connect(addr, port));
                QVERIFY(d.send(QByteArray(100, 'x')));
            } // closed after 100 bytes
            {
                RawSocket d;
                QVERIFY(d.connect(addr, port));
                QVERIFY(d.send(QByteArray(10000, 'y')));
                d.abort(); // vanishes mid-block
            }
            {
                RawSocket d;
                QVERIFY(d.connect(addr, port));
                QVERIFY(d.send(QByteArray(4 * 20480, 'A'))); // no zero byte anywhere
                QVERIFY(d.waitClosed(3000));
            }
            {
                RawSocket d;
                QVERIFY(d.connect(addr, port));
                QVERIFY(d.waitClosed(4000)); // idle header read timed out
            }
            {
                RawSocket d;
                QVERIFY(d.connect(addr, port));
                QVERIFY(d.send(RawSocket::block("-99999999999999999999999") +
                               RawSocket::block("\xff\xfe") + RawSocket::block("-5") +
                               RawSocket::block("-77")));
                QVERIFY(d.waitClosed(3000));
            }
        }
        // A download with a negative or absurd offset and size.
        bool ended = false;
        QCOMPARE(download("txt", key, -1, -50, &ended), pattern(1000, 1));
        QCOMPARE(download("txt", key, 1ll << 62, 9223372036854775807ll, &ended), QByteArray());

        // Control: a huge command, unknown commands, binary, an embedded zero, an empty one,
        // and clients that vanish.
        {
            RawSocket c;
            QVERIFY(c.connect(addr, kControl));
            QVERIFY(c.send(QByteArray(200000, 'H')));
            QThread::msleep(300);
            QCOMPARE(c.exchange("@Connect_start"), QByteArray("Ok"));
            QCOMPARE(c.exchange("kim").left(4), QByteArray("kim|"));
            QCOMPARE(c.exchange("@Bogus"), QByteArray("Null"));
            QCOMPARE(c.exchange(QByteArray("\xff\x00\x01\x02", 4)), QByteArray("Null"));
            QCOMPARE(c.exchange(QByteArray("@Connect_start\0junk", 19)), QByteArray("Ok"));
            QCOMPARE(c.exchange(QByteArray("kim\0junk", 8)).left(4), QByteArray("kim|"));
            QCOMPARE(c.exchange(QByteArray("\0", 1)), QByteArray("Null"));
            QCOMPARE(c.exchange("@Upload_complute"), QByteArray("Ok"));
            QCOMPARE(c.exchange("not-a-number"), QByteArray("Ok"));
            QCOMPARE(c.exchange("@Upload"), QByteArray("Ok"));
            QCOMPARE(c.exchange("k").split('|').size(), 6);
            QCOMPARE(c.exchange("not a fingerprint").left(5), QByteArray("1001|"));
            for (int i = 0; i < 50; ++i) // many unknown list keys remember nothing
                QCOMPARE(c.exchange("key" + QByteArray::number(i)), QByteArray("ListEnd"));
        }
        for (int i = 0; i < 20; ++i) {
            RawSocket c;
            QVERIFY(c.connect(addr, kControl));
            if (i % 2)
                QVERIFY(c.send("@Connect_start"));
            c.abort();
        }
        // Web: garbage and an endless header.
        {
            RawSocket w;
            QVERIFY(w.connect(addr, kWeb));
            QVERIFY(w.send("\x16\x03\x01 not http\r\n\r\n"));
            QVERIFY(w.receiveAll(2000).startsWith("HTTP/1.1 400"));
            RawSocket w2;
            QVERIFY(w2.connect(addr, kWeb));
            w2.send("GET / HTTP/1.1\r\n" + QByteArray(40000, 'h'));
            QVERIFY(w2.waitClosed(4000));
        }
        // Many clients at once.
        std::atomic<int> good{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 120; ++i) {
            threads.emplace_back([&, i] {
                RawSocket c;
                if (!c.connect(addr, kControl))
                    return;
                if (c.exchange("@Connect_start") != "Ok")
                    return;
                if (c.exchange(i % 2 ? "kim" : "nobody").isEmpty())
                    return;
                ++good;
            });
        }
        for (auto& t : threads)
            t.join();
        QCOMPARE(good.load(), 120);

        // Still serving a normal client, in full.
        QVERIFY(s.isRunning());
        RawSocket c;
        QVERIFY(c.connect(addr, kControl));
        QCOMPARE(c.exchange("@Connect_start"), QByteArray("Ok"));
        QCOMPARE(c.exchange("kim").left(4), QByteArray("kim|"));
        QCOMPARE(download("bin", entryReply("sub/b.bin").split('|').value(2), 300000, 0),
                 pattern(300000, 2));
        QVERIFY(s.log().contains(QStringLiteral("command too long")));
        QVERIFY(s.log().contains(QStringLiteral("header block 1 incomplete")));
        s.stop();
        QCOMPARE(s.exitCode(), 0);
    }

    void connectionCap() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--max-connections"
                                   << "3"));
        RawSocket held[3];
        for (RawSocket& h : held) {
            QVERIFY(h.connect(addr, kControl));
            QCOMPARE(h.exchange("@Connect_start"), QByteArray("Ok"));
        }
        // A fourth is served: the longest-idle one makes room.
        RawSocket next;
        QVERIFY(next.connect(addr, kControl));
        QCOMPARE(next.exchange("@Connect_start"), QByteArray("Ok"));
        QVERIFY(held[0].waitClosed(2000));
        QVERIFY(s.waitForLog(QStringLiteral("connection limit (3) reached on the control port, "
                                            "ctl#1 closed to make room"),
                             2000));
        QCOMPARE(held[1].exchange("kim").left(4), QByteArray("kim|"));
    }

    // ---------------------------------------------------------------------------------
    // Web pages

    void webPages() {
        const QString page = TestEnvironment::scratch(QStringLiteral("web")) + "/alert.html";
        QVERIFY(writeFile(page, "<html><body><script>alert(\"abc\")</script></body></html>"));
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--web-page"
                                   << "/test/alert.html=" + page));
        auto get = [&](const QByteArray& path, const QByteArray& method = "GET") {
            RawSocket w;
            if (!w.connect(addr, kWeb))
                return QByteArray();
            w.send(method + ' ' + path + " HTTP/1.1\r\nHost: " + addr.toLatin1() + "\r\n\r\n");
            return w.receiveAll(3000);
        };
        for (const QByteArray& path : {QByteArray("/"), QByteArray("/app/download.html"),
                                       QByteArray("/app/upload.html?x=1")}) {
            const QByteArray r = get(path);
            QVERIFY2(r.startsWith("HTTP/1.1 200 OK\r\n"), r.left(100).constData());
            QVERIFY(r.contains("Content-Type: text/html; charset=utf-8\r\n"));
            const int split = r.indexOf("\r\n\r\n");
            const QByteArray body = r.mid(split + 4);
            QVERIFY(r.contains("Content-Length: " + QByteArray::number(body.size()) + "\r\n"));
            QVERIFY(body.contains(QStringLiteral("볼트리").toUtf8()));
            QVERIFY(body.contains("charset=\"utf-8\"") || body.contains("charset=utf-8"));
            if (path != "/") {
                QVERIFY(body.contains("525px"));
                QVERIFY(body.contains("63px"));
            }
        }
        QVERIFY(get("/nope.html").startsWith("HTTP/1.1 404"));
        QVERIFY(get("/app/../etc/passwd").startsWith("HTTP/1.1 404"));
        QVERIFY(get("/", "POST").startsWith("HTTP/1.1 405"));
        const QByteArray head = get("/app/download.html", "HEAD");
        QVERIFY(head.startsWith("HTTP/1.1 200"));
        QVERIFY(head.endsWith("\r\n\r\n"));
        QVERIFY(get("/test/alert.html").contains("alert(\"abc\")"));
    }

    // ---------------------------------------------------------------------------------
    // Secrets, links, stored copies

    void keysAndTokensComeFromTheServicesSecret() {
        const QString stateA = TestEnvironment::scratch(QStringLiteral("state-a"));
        const QString stateB = TestEnvironment::scratch(QStringLiteral("state-b"));
        const QStringList list{"--upload-list", QStringLiteral("k=%1/u1.txt").arg(uploads)};
        auto args = [&](const QString& stateDir) {
            return QStringList{"--root",  root,     "--store",  store,
                               "--state", stateDir, "--member", "kim"} +
                   list;
        };
        FileServiceProcess s(addr);
        QVERIFY(s.start(args(stateA)));
        const QByteArray keyA = entryReply("a.txt").split('|').value(2);
        const QList<QByteArray> recordA = uploadRecords("k").value(0);
        QVERIFY(keyA.size() >= 25);
        QCOMPARE(recordA.size(), 6);
        // The state folder is private, and so are the secret and the registration token in it.
        QCOMPARE(QFileInfo(stateA).permissions() & 0x0077, QFileDevice::Permissions());
        const QStringList files = QDir(stateA).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(files, (QStringList{"registration-token", "secret"}));
        for (const QString& file : files)
            QCOMPARE(
                QFileInfo(stateA + "/" + file).permissions() &
                    ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                QFileDevice::Permissions());
        const QByteArray tokenA = readFile(stateA + "/registration-token");
        QCOMPARE(tokenA.size(), 65);
        QVERIFY(tokenA != readFile(stateA + "/secret"));
        QCOMPARE(QFileInfo(stateA).permissions() &
                     ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                       QFile::WriteUser | QFile::ExeUser),
                 QFileDevice::Permissions());
        const QByteArray secretBytes = readFile(stateA + "/secret");

        // Another service with another secret: other keys and tokens, and ours mean nothing
        // to it, though the files and lists are the same.
        s.stop();
        QVERIFY(s.start(args(stateB)));
        const QByteArray keyB = entryReply("a.txt").split('|').value(2);
        QVERIFY(!keyB.isEmpty() && keyB != keyA);
        const QList<QByteArray> recordB = uploadRecords("k").value(0);
        QVERIFY(recordB.value(1) != recordA[1]);
        bool ended = false;
        QCOMPARE(download("txt", keyA, 1000, 0, &ended), QByteArray());
        QVERIFY(ended);
        QVERIFY(s.waitForLog(QStringLiteral("unknown file key"), 2000));
        {
            RawSocket ul;
            QCOMPARE(openUpload(recordA, 5000, ul), QByteArray());
        }
        QVERIFY(s.waitForLog(QStringLiteral("unknown upload tokens"), 2000));

        // The first secret is kept: its keys and tokens work again after a restart.
        s.stop();
        QVERIFY(s.start(args(stateA)));
        QCOMPARE(readFile(stateA + "/secret"), secretBytes);
        QCOMPARE(readFile(stateA + "/registration-token"), tokenA);
        QCOMPARE(download("txt", keyA, 1000, 0), pattern(1000, 1));
        QCOMPARE(uploadRecords("k").value(0), recordA);
        s.stop();

        // Without --state: the per-user state folder.
        const QString xdgState = TestEnvironment::scratch(QStringLiteral("xdg-state"));
        const QByteArray saved = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", xdgState.toLocal8Bit());
        const bool started = s.start({"--root", root, "--store", store});
        if (saved.isNull())
            qunsetenv("XDG_STATE_HOME");
        else
            qputenv("XDG_STATE_HOME", saved);
        QVERIFY(started);
        QVERIFY(QFileInfo(xdgState + "/vaultry-fileservice/secret").isFile());
        const QByteArray keyDefault = entryReply("a.txt").split('|').value(2);
        QVERIFY(keyDefault != keyA && keyDefault != keyB);
        s.stop();

        // A damaged secret is an error, never silently replaced (keys would all change).
        QVERIFY(writeFile(stateB + "/secret", "not a secret\n"));
        FileServiceProcess damaged(addr);
        QVERIFY(!damaged.start(args(stateB)));
        QVERIFY2(damaged.log().contains(QStringLiteral("damaged")), qPrintable(damaged.log()));
        QCOMPARE(readFile(stateB + "/secret"), QByteArray("not a secret\n"));
    }

    void symbolicLinksNeverLeadOutOfTheRoot() {
        const QString linkRoot = TestEnvironment::scratch(QStringLiteral("link-root"));
        const QString outside = TestEnvironment::scratch(QStringLiteral("outside"));
        QVERIFY(writeFile(outside + "/private.txt", "outside the root"));
        QVERIFY(writeFile(linkRoot + "/real.txt", pattern(1234, 20)));
        QVERIFY(writeFile(linkRoot + "/victim.txt", pattern(99, 21)));
        QVERIFY(QFile::link(outside + "/private.txt", linkRoot + "/out.txt"));
        QVERIFY(QFile::link(outside, linkRoot + "/outdir"));
        QVERIFY(QFile::link("../" + QFileInfo(outside).fileName() + "/private.txt",
                            linkRoot + "/relative-out.txt"));
        QVERIFY(QFile::link(linkRoot + "/real.txt", linkRoot + "/in.txt"));
        QDir().mkpath(linkRoot + "/sub");
        QVERIFY(QFile::link("../real.txt", linkRoot + "/sub/up.txt"));
        QCOMPARE(::mkfifo(QFile::encodeName(linkRoot + "/pipe").constData(), 0600), 0);
        const QStringList args{"--root", linkRoot, "--state", state, "--store", store};

        FileServiceProcess s(addr);
        QVERIFY(s.start(args));
        for (const QByteArray& entry : {QByteArray("out.txt"), QByteArray("outdir/private.txt"),
                                        QByteArray("relative-out.txt"), QByteArray("pipe")})
            QCOMPARE(entryReply(entry), QByteArray("Null"));
        QVERIFY(s.waitForLog(QStringLiteral("entry \"out.txt\" (leads outside the root)"), 2000));
        // Links that stay inside are served as the file they lead to, under its key.
        const QList<QByteArray> real = entryReply("real.txt").split('|');
        const QList<QByteArray> in = entryReply("in.txt").split('|');
        const QList<QByteArray> up = entryReply("sub/up.txt").split('|');
        QCOMPARE(in.value(0), QByteArray("in.txt"));
        QCOMPARE(in.value(4), QByteArray("1234"));
        QCOMPARE(in.value(2), real.value(2));
        QCOMPARE(up.value(3), QByteArray("sub\\"));
        QCOMPARE(up.value(2), real.value(2));
        QCOMPARE(download("txt", in.value(2), 1234, 0), pattern(1234, 20));

        // A file whose key was handed out and that is then replaced by a link out of the
        // root: its key serves nothing, neither from the keys seen nor from a fresh scan.
        const QByteArray victimKey = entryReply("victim.txt").split('|').value(2);
        QCOMPARE(download("txt", victimKey, 99, 0), pattern(99, 21));
        QVERIFY(QFile::remove(linkRoot + "/victim.txt"));
        QVERIFY(QFile::link(outside + "/private.txt", linkRoot + "/victim.txt"));
        bool ended = false;
        QCOMPARE(download("txt", victimKey, 99, 0, &ended), QByteArray());
        QVERIFY(ended);
        s.stop();
        QVERIFY(s.start(args));
        QCOMPARE(download("txt", victimKey, 99, 0, &ended), QByteArray());
        QVERIFY(ended);
        QVERIFY(s.waitForLog(QStringLiteral("unknown file key"), 2000));
        // The same key works again once the real file is back (keys follow the path).
        QVERIFY(QFile::remove(linkRoot + "/victim.txt"));
        QVERIFY(writeFile(linkRoot + "/victim.txt", pattern(99, 21)));
        QCOMPARE(download("txt", victimKey, 99, 0), pattern(99, 21));

        // The homepage lists what can be served, and nothing that leads out.
        const HttpReply page = http("GET", "/");
        QCOMPARE(page.status, 200);
        QVERIFY(page.body.contains("real.txt"));
        QVERIFY(page.body.contains("in.txt"));
        QVERIFY(!page.body.contains("out.txt"));
        QVERIFY(!page.body.contains("private.txt"));
        QVERIFY(!page.body.contains(">pipe<"));
    }

    void shorterUploadNeverDestroysTheStoredCopy() {
        const QString ownStore = TestEnvironment::scratch(QStringLiteral("store-replace"));
        const QByteArray old = pattern(300000, 30); // an earlier, longer version
        QVERIFY(writeFile(ownStore + "/u1.txt", old));
        FileServiceProcess s(addr);
        QVERIFY(s.start({"--store", ownStore, "--state", state, "--upload-list",
                         QStringLiteral("k=%1/u1.txt").arg(uploads)}));
        const QList<QByteArray> record = uploadRecords("k").value(0);
        QCOMPARE(record.value(5), QByteArray("5000"));
        const QByteArray fresh = pattern(5000, 5);

        // The new, shorter version starts at 0 and is cut off: the stored copy is untouched.
        {
            RawSocket ul;
            QCOMPARE(openUpload(record, 5000, ul), QByteArray("0"));
            QVERIFY(ul.send(fresh.left(2000)));
        }
        QVERIFY(s.waitForLog(QStringLiteral("stored 2000 of 5000 bytes of \"u1.txt\" in the "
                                            "partial file, the stored copy is kept"),
                             3000));
        QCOMPARE(readFile(ownStore + "/u1.txt"), old);
        // A size of 0 or 1 announced by anyone: nothing of the stored copy is lost either.
        {
            RawSocket ul;
            QCOMPARE(openUpload(record, 1, ul), QByteArray("0"));
        }
        QVERIFY(s.waitForLog(QStringLiteral("stored 0 of 1 bytes"), 3000));
        QCOMPARE(readFile(ownStore + "/u1.txt"), old);
        // The old size still resumes at the stored copy's end.
        {
            RawSocket ul;
            QCOMPARE(openUpload(record, 300000, ul), QByteArray("300000"));
        }
        // A second connection for the same file (a client retrying before the service saw
        // its first one go) ends the first and goes on from what the first had written.
        {
            RawSocket first, second;
            QCOMPARE(openUpload(record, 5000, first), QByteArray("2000"));
            QVERIFY(first.send(fresh.mid(2000, 500)));
            auto partialSize = [&] {
                const QDir partials(ownStore + "/.vaultry-partial");
                const QStringList names = partials.entryList({"*-5000"}, QDir::Files);
                return names.size() == 1 ? QFileInfo(partials.filePath(names[0])).size() : -1;
            };
            QTRY_COMPARE(partialSize(), qint64(2500));
            QCOMPARE(openUpload(record, 5000, second), QByteArray("2500"));
            QVERIFY(first.waitClosed(2000));
            QVERIFY(s.waitForLog(QStringLiteral("an older connection writing \"u1.txt\" was ended"),
                                 2000));
            QVERIFY(s.log().contains(QStringLiteral(
                "stored 2500 of 5000 bytes of \"u1.txt\" in the partial file, the stored copy "
                "is kept (ended for a newer connection)")));
        }
        QVERIFY(s.waitForLog(QStringLiteral("received 0 bytes, stored 2500 of 5000"), 3000));
        // The new version resumes where it was cut and, once complete, takes the place.
        {
            RawSocket ul;
            QCOMPARE(openUpload(record, 5000, ul), QByteArray("2500"));
            QVERIFY(ul.send(fresh.mid(2500)));
        }
        QVERIFY(s.waitForLog(QStringLiteral("stored 5000 of 5000 bytes of \"u1.txt\", complete: "
                                            "it replaced the stored copy"),
                             3000));
        QCOMPARE(readFile(ownStore + "/u1.txt"), fresh);
        QCOMPARE(QDir(ownStore + "/.vaultry-partial").entryList(QDir::Files), QStringList());
        {
            RawSocket ul;
            QCOMPARE(openUpload(record, 5000, ul), QByteArray("5000"));
        }

        // A stored copy that is a link is not written through.
        const QString outside = TestEnvironment::scratch(QStringLiteral("store-outside"));
        QVERIFY(writeFile(outside + "/target", "keep me"));
        QVERIFY(QFile::remove(ownStore + "/u1.txt"));
        QVERIFY(QFile::link(outside + "/target", ownStore + "/u1.txt"));
        {
            RawSocket ul;
            QCOMPARE(openUpload(record, 5000, ul), QByteArray());
        }
        QVERIFY(s.waitForLog(QStringLiteral("is a link, not taken"), 2000));
        QCOMPARE(readFile(outside + "/target"), QByteArray("keep me"));
    }

    // ---------------------------------------------------------------------------------
    // Connection limits

    void everyPortHasItsOwnCap() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--max-connections"
                                   << "2"
                                   << "--max-web-connections"
                                   << "1"));
        const QByteArray key = entryReply("sub/b.bin").split('|').value(2);
        QTRY_COMPARE(s.log().count(QStringLiteral("closed by client")), 1);
        // The control port full of idle sign-on connections, and more coming...
        RawSocket held[3];
        for (RawSocket& h : held) {
            QVERIFY(h.connect(addr, kControl));
            QCOMPARE(h.exchange("@Connect_start"), QByteArray("Ok"));
        }
        QVERIFY(held[0].waitClosed(2000));
        QVERIFY(
            s.waitForLog(QStringLiteral("connection limit (2) reached on the control port"), 2000));
        // ... takes no place from the data and web ports.
        QCOMPARE(download("bin", key, 300000, 0), pattern(300000, 2));
        QCOMPARE(http("GET", "/app/download.html").status, 200);
        // The web port's own cap: one slow request holds it (once the page request above has
        // ended), and the next one takes its place while the control port still answers.
        RawSocket slow;
        // (No QTRY here: it evaluates its condition once more after success, and every
        // evaluation opens a connection.)
        QElapsedTimer waited;
        waited.start();
        bool holding = false;
        while (!holding && waited.elapsed() < 5000) {
            holding = slow.connect(addr, kWeb) && slow.send("GET / HT") && slow.wait(200) == 0;
            if (!holding)
                QTest::qWait(50);
        }
        QVERIFY(holding);
        QCOMPARE(http("GET", "/app/upload.html").status, 200);
        QVERIFY(slow.waitClosed(2000));
        QVERIFY(s.waitForLog(QStringLiteral("connection limit (1) reached on the web port"), 2000));
        QCOMPARE(entryReply("a.txt").split('|').size(), 5);
    }

    void strangersHaveAShortTimeInTotal() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--identify-timeout"
                                   << "1"));
        QElapsedTimer t;
        // A control connection that says nothing, or nothing this port knows, is closed after
        // the identify time, however often it speaks.
        {
            RawSocket silent, chatty, known;
            QVERIFY(silent.connect(addr, kControl));
            QVERIFY(chatty.connect(addr, kControl));
            QVERIFY(known.connect(addr, kControl));
            QCOMPARE(known.exchange("@Connect_start"), QByteArray("Ok"));
            t.start();
            bool chattyClosed = false;
            while (t.elapsed() < 3000 && !chattyClosed) {
                chattyClosed = chatty.exchange("@Bogus", 300) != "Null";
                QThread::msleep(100);
            }
            QVERIFY(chattyClosed);
            QVERIFY(silent.waitClosed(1000));
            QVERIFY(t.elapsed() < 2500);
            // One that has identified itself keeps the long idle limit.
            QThread::msleep(300);
            QCOMPARE(known.exchange("kim").left(4), QByteArray("kim|"));
            QVERIFY(s.log().contains(QStringLiteral("no known command in time, closed")));
        }
        // Header blocks trickling in keep a data connection for no longer than that either.
        for (int port : {kDownload, kUpload}) {
            RawSocket d;
            QVERIFY(d.connect(addr, port));
            t.restart();
            bool closed = false;
            while (!closed && t.elapsed() < 4000) {
                closed = !d.send("x") || d.wait(150) == 1;
            }
            QVERIFY(closed);
            QVERIFY2(t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));
        }
        QVERIFY(s.log().contains(QStringLiteral("header block 1 incomplete")));
        // A web request dripping one byte at a time gets a time-out answer once the deadline
        // for the whole request has passed.
        {
            RawSocket w;
            QVERIFY(w.connect(addr, kWeb));
            const QByteArray request = "GET /app/download.html HTTP/1.1\r\nHost: x\r\n" +
                                       QByteArray(200, 'a') + "\r\n\r\n";
            t.restart();
            QByteArray answer;
            for (int i = 0; i < request.size() && answer.isEmpty(); ++i) {
                if (!w.send(request.mid(i, 1)))
                    break;
                if (w.wait(40) == 1)
                    answer = w.receiveAll(500);
            }
            QVERIFY2(answer.startsWith("HTTP/1.1 408"), answer.left(60).constData());
            QVERIFY(t.elapsed() < 2500);
        }
    }

    // ---------------------------------------------------------------------------------
    // Registering upload lists on the web port

    void registersUploadListsForAMember() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--member"
                                   << "lee"));
        const QString u1 = uploads + "/u1.txt";
        const QString korean = uploads + QStringLiteral("/업로드.txt");
        const QByteArray body = json("{'member': 'kim', 'files': [{'path': 'FILE', 'size': 5000},"
                                     " {'path': 'SECOND', 'size': 18}]}",
                                     u1, korean);
        const HttpReply first = registerList(body);
        QCOMPARE(first.status, 201);
        QVERIFY(first.head.contains("Content-Type: application/json"));
        const QByteArray key = QJsonDocument::fromJson(first.body)["key"].toString().toUtf8();
        QVERIFY2(key.size() >= 20, first.body.constData());
        const HttpReply second = registerList(body);
        QCOMPARE(second.status, 201);
        QVERIFY(QJsonDocument::fromJson(second.body)["key"].toString().toUtf8() != key);
        QVERIFY(s.waitForLog(QStringLiteral("POST /api/upload-lists 201"), 2000));

        // The list is what --upload-list would have made: records, fingerprints, uploads.
        const QList<QList<QByteArray>> records = uploadRecords(key);
        QCOMPARE(records.size(), 2);
        QCOMPARE(fromCp(records[0][4]), u1);
        QCOMPARE(records[0][5], QByteArray("5000"));
        QCOMPARE(fromCp(records[1][3]), QStringLiteral("업로드.txt"));
        QCOMPARE(records[1][5], QByteArray("18"));
        QVERIFY(s.waitForLog(QStringLiteral("(matches)"), 2000));
        QFile::remove(store + "/u1.txt");
        {
            RawSocket ul;
            QCOMPARE(openUpload(records[0], 5000, ul), QByteArray("0"));
            QVERIFY(ul.send(pattern(5000, 5)));
        }
        QVERIFY(s.waitForLog(QStringLiteral("stored 5000 of 5000 bytes of \"u1.txt\""), 3000));
        QCOMPARE(readFile(store + "/u1.txt"), pattern(5000, 5));

        // Refused, with an HTTP error and a short text, and nothing registered.
        struct Refusal {
            const char* why;
            QByteArray body;
            int status;
            QByteArray headers = "Content-Type: application/json\r\n";
        };
        const QString dir = uploads;
        const QList<Refusal> refusals = {
            {"not JSON", "member=kim", 400},
            {"not an object", "[1, 2]", 400},
            {"no member", json("{'files': [{'path': 'FILE', 'size': 5000}]}", u1), 400},
            {"empty member", json("{'member': '', 'files': [{'path': 'FILE', 'size': 5000}]}", u1),
             400},
            {"member with a bar",
             json("{'member': 'k|m', 'files': [{'path': 'FILE', 'size': 5000}]}", u1), 400},
            {"no files", json("{'member': 'kim', 'files': []}"), 400},
            {"files not a list", json("{'member': 'kim', 'files': 'a'}"), 400},
            {"size as text",
             json("{'member': 'kim', 'files': [{'path': 'FILE', 'size': '5000'}]}", u1), 400},
            {"fractional size",
             json("{'member': 'kim', 'files': [{'path': 'FILE', 'size': 4999.5}]}", u1), 400},
            {"negative size",
             json("{'member': 'kim', 'files': [{'path': 'FILE', 'size': -1}]}", u1), 400},
            {"relative path", json("{'member': 'kim', 'files': [{'path': 'a.txt', 'size': 1}]}"),
             400},
            {"unknown field",
             json("{'member': 'kim', 'admin': true, 'files': [{'path': 'FILE', 'size': 5000}]}",
                  u1),
             400},
            {"missing file",
             json("{'member': 'kim', 'files': [{'path': 'FILE/nope.bin', 'size': 1}]}", dir), 422},
            {"a folder", json("{'member': 'kim', 'files': [{'path': 'FILE', 'size': 0}]}", dir),
             422},
            {"wrong size", json("{'member': 'kim', 'files': [{'path': 'FILE', 'size': 4999}]}", u1),
             422},
            {"unknown member",
             json("{'member': 'nobody', 'files': [{'path': 'FILE', 'size': 5000}]}", u1), 422},
            {"plain text", body, 415, "Content-Type: text/plain\r\n"},
            {"another site", body, 403,
             "Content-Type: application/json\r\nOrigin: http://evil.example\r\n"},
            {"chunked", body, 411,
             "Content-Type: application/json\r\nTransfer-Encoding: chunked\r\n"},
        };
        for (const Refusal& r : refusals) {
            const HttpReply reply = r.status == 411
                                        ? http("POST", "/api/upload-lists",
                                               tokenHeader(state) + r.headers, r.body, false)
                                        : registerList(r.body, r.headers);
            QVERIFY2(reply.status == r.status, qPrintable(QStringLiteral("%1: %2 %3")
                                                              .arg(QLatin1String(r.why))
                                                              .arg(reply.status)
                                                              .arg(QString::fromUtf8(reply.body))));
            QVERIFY2(reply.head.contains("Content-Type: text/plain"), r.why);
            QVERIFY2(!reply.body.isEmpty() && reply.body.size() < 200, r.why);
        }
        // A body beyond the bound is refused before it is read.
        {
            RawSocket w;
            QVERIFY(w.connect(addr, kWeb));
            QVERIFY(w.send("POST /api/upload-lists HTTP/1.1\r\nContent-Type: application/json\r\n"
                           "Content-Length: 10000000\r\n\r\n{\"member\":"));
            QVERIFY(w.receiveAll(3000).startsWith("HTTP/1.1 413"));
        }
        // Another host name (a page of another site resolving to this machine).
        QCOMPARE(
            http("POST", "/api/upload-lists",
                 tokenHeader(state) + "Content-Type: application/json\r\nHost: evil.example\r\n",
                 body)
                .status,
            403);
        QCOMPARE(http("GET", "/api/upload-lists").status, 405);
        QCOMPARE(s.log().count(QStringLiteral("POST /api/upload-lists 201")), 2);
        // Only the two lists were made: their files are numbered 1001 to 1004.
        RawSocket done;
        QVERIFY(done.connect(addr, kControl));
        QVERIFY(!done.exchange("@Upload_complute").isEmpty());
        QVERIFY(!done.exchange("1005").isEmpty());
        QVERIFY(s.waitForLog(QStringLiteral("upload complete: unknown file \"1005\""), 2000));
    }

    void homepageListsTheCatalogue() {
        FileServiceProcess s(addr);
        QVERIFY(s.start(baseArgs() << "--server-number"
                                   << "7"));
        const HttpReply page = http("GET", "/");
        QCOMPARE(page.status, 200);
        QVERIFY(page.head.contains("Content-Type: text/html; charset=utf-8"));
        QVERIFY(page.body.contains(QStringLiteral("한글 파일.txt").toUtf8()));
        QVERIFY(page.body.contains(QStringLiteral("다운로드").toUtf8()));
        QVERIFY(page.body.contains(QStringLiteral("업로드").toUtf8()));
        for (const QByteArray& asset :
             {QByteArray("/assets/home.js"), QByteArray("/assets/home.css")}) {
            const HttpReply a = http("GET", asset);
            QCOMPARE(a.status, 200);
            QVERIFY(!a.body.isEmpty());
        }
        QVERIFY(http("GET", "/assets/home.js").head.contains("text/javascript"));
        QVERIFY(http("GET", "/assets/home.css").head.contains("text/css"));
        QCOMPARE(http("GET", "/assets/other.js").status, 404);
        // The banners are byte for byte the pages the clients have always shown.
        QCOMPARE(QCryptographicHash::hash(http("GET", "/app/download.html").body,
                                          QCryptographicHash::Sha256)
                     .toHex(),
                 QByteArray(kDownloadBannerSha256));
        QCOMPARE(QCryptographicHash::hash(http("GET", "/app/upload.html").body,
                                          QCryptographicHash::Sha256)
                     .toHex(),
                 QByteArray(kUploadBannerSha256));
        s.stop();
        // Without a catalogue the page still comes, with nothing to tick.
        QVERIFY(s.start({"--state", state}));
        QCOMPARE(http("GET", "/").status, 200);
    }

    // ---------------------------------------------------------------------------------
    // Demo

    void demoTreeAndLink() {
        const QString dir = TestEnvironment::scratch(QStringLiteral("demo"));
        FileServiceProcess s(addr);
        QVERIFY(s.start({"--demo", "--demo-root", dir}, 30000));
        const QString log = s.log();
        QVERIFY(log.contains(
            QStringLiteral("upload manager command: Vaultry_uploader_Manager|demo-upload|demo|1")));
        QVERIFY(
            log.contains(QStringLiteral("download manager command: Vaultry_downloader_Manager|")));
        QString link;
        for (const QString& line : log.split('\n'))
            if (line.startsWith(QStringLiteral("launch link: ")))
                link = line.mid(13);
        QVERIFY(link.startsWith(QStringLiteral("vastrelle://")));
        QByteArray payload;
        for (const QString& code : link.mid(12).split(',')) {
            bool ok = false;
            const int v = code.toInt(&ok);
            QVERIFY(ok && v > 0 && v < 256);
            payload += char(v);
        }
        QVERIFY(payload.endsWith("?|demo|1"));
        const QList<QByteArray> entries = payload.left(payload.indexOf('|')).split('?');
        QVERIFY(entries.size() >= 5);
        QVERIFY(entries.contains(cp(QStringLiteral("video/2024/여름휴가.mp4"))));
        QVERIFY(entries.contains(cp(QStringLiteral("안내문.txt"))));

        // Every entry is listed, in the tree, and downloads in full.
        qint64 largest = 0;
        int subfolders = 0, nested = 0;
        for (const QByteArray& entry : entries) {
            if (entry.isEmpty())
                continue;
            const QList<QByteArray> f = entryReply(entry).split('|');
            QCOMPARE(f.size(), 5);
            const qint64 size = f[4].toLongLong();
            QCOMPARE(QFileInfo(dir + '/' + fromCp(entry)).size(), size);
            largest = qMax(largest, size);
            subfolders += !f[3].isEmpty();
            nested += f[3].count('\\') >= 2;
        }
        QVERIFY(largest >= 10 << 20);
        QVERIFY(subfolders >= 2);
        QVERIFY(nested >= 1);
        const QList<QByteArray> video =
            entryReply(cp(QStringLiteral("video/2024/여름휴가.mp4"))).split('|');
        const QByteArray bytes = download("mp4", video[2], video[4].toLongLong(), 0);
        QCOMPARE(bytes.size(), video[4].toLongLong());
        QCOMPARE(bytes, readFile(dir + QStringLiteral("/video/2024/여름휴가.mp4")));

        // The demo member and upload list.
        RawSocket c;
        QVERIFY(c.connect(addr, kControl));
        QCOMPARE(c.exchange("@Connect_start"), QByteArray("Ok"));
        QCOMPARE(c.exchange("demo"),
                 "demo|10240|" + cp(QStringLiteral("일반회원")) + "|2099123123");
        RawSocket u;
        QVERIFY(u.connect(addr, kControl));
        QCOMPARE(u.exchange("@Upload"), QByteArray("Ok"));
        QVERIFY(!u.exchange("@Server1").isEmpty());
        int listed = 0;
        for (;;) {
            const QByteArray r = u.exchange("demo-upload");
            if (r == "ListEnd")
                break;
            const QList<QByteArray> f = r.split('|');
            QCOMPARE(f.size(), 6);
            QVERIFY(QFileInfo(fromCp(f[4])).isFile());
            QVERIFY(!u.exchange(fingerprint(fromCp(f[4]), f[5].toLongLong())).isEmpty());
            ++listed;
        }
        QVERIFY(listed >= 2);

        // Deterministic content: a new tree has the same bytes.
        const QByteArray before = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
        s.stop();
        QVERIFY(QDir(dir).removeRecursively());
        QVERIFY(s.start({"--demo", "--demo-root", dir, "--quiet"}, 30000));
        QCOMPARE(
            QCryptographicHash::hash(readFile(dir + QStringLiteral("/video/2024/여름휴가.mp4")),
                                     QCryptographicHash::Sha1),
            before);
        QVERIFY(!s.log().contains(QStringLiteral("ctl#")));
        s.stop();
        QDir(dir).removeRecursively();
    }
};

QTEST_GUILESS_MAIN(TestFileService)
#include "tst_fileservice.moc"
