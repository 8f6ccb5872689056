#include "tests/support/TestEnvironment.h"
#include "tests/upload/FingerprintOf.h"
#include "upload/engine/UploadRecord.h"

#include <QDir>
#include <QFile>
#include <QtTest>

// The fingerprint and the listing record, without any server.
class TestUploadRules : public QObject {
    Q_OBJECT
    QString dir_;

    QString fileWith(const QString& name, qint64 size, qint64 at, const QByteArray& bytes) {
        const QString path = QDir(dir_).filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.resize(size); // sparse: gigabyte files cost nothing
        f.seek(at);
        f.write(bytes);
        return path;
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        dir_ = TestEnvironment::scratch("rules");
    }

    void sampleOffsets() {
        QCOMPARE(FingerprintSampleOffset(-5), qint64(0));
        QCOMPARE(FingerprintSampleOffset(9), qint64(0));
        QCOMPARE(FingerprintSampleOffset(10), qint64(5));
        QCOMPARE(FingerprintSampleOffset(2000000000), qint64(1000000000));
        QCOMPARE(FingerprintSampleOffset(2000000001), qint64(1999999990));
        QCOMPARE(FingerprintSampleOffset(5000000000), qint64(1999999990));
    }

    void fingerprintDigits() {
        // 0x41 065, 0xFF 001 (-1), 0x80 128 (-128), 0x7F 127, 0x00 000.
        const QString path = fileWith("mid.bin", 100, 50, QByteArray("\x41\xFF\x80\x7F\x00", 5));
        QCOMPARE(fingerprintOf(path, 100),
                 QByteArray("100") + "065001128127000" + "000000000000000");
        // Below 10 bytes: from the start; what the file does not fill is zero.
        const QString tiny = fileWith("tiny.bin", 3, 0, "AAA");
        QCOMPARE(fingerprintOf(tiny, 3), QByteArray("3065065065") + QByteArray(21, '0'));
        // An 18-byte file read at 9 has 9 bytes; the tenth is zero.
        const QString shortFile = fileWith("short.bin", 18, 9, QByteArray(9, '\x41'));
        QCOMPARE(fingerprintOf(shortFile, 18), "18" + QByteArray("065").repeated(9) + "000");
        // A missing file: the size and thirty zeros.
        QCOMPARE(fingerprintOf(QDir(dir_).filePath("none"), 77), "77" + QByteArray(30, '0'));
        QCOMPARE(fingerprintOf(QDir(dir_).filePath("none"), -3), "-3" + QByteArray(30, '0'));
        QCOMPARE(fingerprintOf(path, 100).size(), 3 + 30);
    }

    void fingerprintOfLargeFiles() {
        const QString exact = fileWith("exact.bin", 2000000000, 1000000000, "\x41\x80");
        QCOMPARE(fingerprintOf(exact, 2000000000),
                 QByteArray("2000000000065128") + QByteArray(24, '0'));
        const QString above = fileWith("above.bin", 2000000000, 1999999990, "\xFF\x41");
        QCOMPARE(fingerprintOf(above, 3000000000),
                 QByteArray("3000000000001065") + QByteArray(24, '0'));
        QFile::remove(exact);
        QFile::remove(above);
    }

    void listingRecords() {
        const ListedFile a = ParseListing("UP1001|abc|127.0.0.1|a.txt|/home/me/a.txt|5000");
        QVERIFY(a.usable);
        QCOMPARE(a.record.firstToken, QByteArray("UP1001"));
        QCOMPARE(a.record.secondToken, QByteArray("abc"));
        QCOMPARE(a.record.dataAddress, QByteArray("127.0.0.1"));
        QCOMPARE(a.record.folder, QByteArray("/home/me/"));
        QCOMPARE(a.record.size, qint64(5000));
        QCOMPARE(a.record.localPath(), QString("/home/me/a.txt"));
        // A Windows path keeps its folder up to the last backslash.
        const ListedFile w = ParseListing("t|u|1.2.3.4|b.zip|C:\\data\\b.zip|7");
        QCOMPARE(w.record.folder, QByteArray("C:\\data\\"));
        QCOMPARE(w.record.localPath(), QString("C:/data/b.zip"));
        // On this machine's own paths a backslash is part of a name, not a separator.
        const ListedFile b = ParseListing("t|u|1.2.3.4|a\\b.txt|/tmp/x/a\\b.txt|7");
        QCOMPARE(b.record.localPath(), QString("/tmp/x/a\\b.txt"));
        QCOMPARE(b.record.shownName(), QString("a\\b.txt"));
        // The size is the rest of the reply, read as a 64-bit number.
        QCOMPARE(ParseListing("t|u|a|n|/p/n|5000000000|x").record.size, qint64(5000000000));
        // Not usable: no name, no path, a negative size.
        QVERIFY(!ParseListing("t|u|a||/p/n|5").usable);
        QVERIFY(!ParseListing("t|u|a|n||5").usable);
        QVERIFY(!ParseListing("t|u|a|n|/p/n|-5").usable);
        QVERIFY(!ParseListing("garbage").usable);
    }
};

QTEST_GUILESS_MAIN(TestUploadRules)
#include "TestUploadRules.moc"
