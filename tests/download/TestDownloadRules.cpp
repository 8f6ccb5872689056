#include "FileReply.h"
#include "RateDisplay.h"
#include "SafePath.h"
#include "TestEnvironment.h"
#include "TextCodec.h"

#include <QDir>
#include <QtTest>

class TestDownloadRules : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void fileReplyFields() {
        const auto r =
            RecordFromFileReply("movie.part1.mkv|10.0.0.7|K99|a\\b\\|5368709120", "e1", "/save");
        QVERIFY(r);
        QCOMPARE(r->name, QByteArray("movie.part1.mkv"));
        QCOMPARE(r->dataAddress, QByteArray("10.0.0.7"));
        QCOMPARE(r->fileKey, QByteArray("K99"));
        QCOMPARE(r->extension, QByteArray("mkv"));
        QCOMPARE(r->size, Q_INT64_C(5368709120));
        QCOMPARE(r->subfolder, (QStringList{"a", "b"}));
        QCOMPARE(r->folder, QString("/save/a/b"));
        QCOMPARE(r->localPath(), QString("/save/a/b/movie.part1.mkv"));
        QCOMPARE(r->entry, QByteArray("e1"));
        QCOMPARE(int(r->state), 0);

        const auto bare = RecordFromFileReply("README|1.2.3.4|k||  42xyz", "e", "/s");
        QVERIFY(bare);
        QCOMPARE(bare->extension, QByteArray("README"));
        QCOMPARE(bare->folder, QString("/s"));
        QCOMPARE(bare->size, 42);

        const QByteArray korean = ToCp949(QString::fromUtf8("사진.jpg"));
        const auto k =
            RecordFromFileReply(korean + "|1.2.3.4|k|" + ToCp949("앨범\\") + "|9", "e", "/s");
        QVERIFY(k);
        QCOMPARE(k->localPath(), QString::fromUtf8("/s/앨범/사진.jpg"));
    }

    void pathsThatLeaveTheRootAreRefused() {
        for (const char* name : {"", ".", "..", "a/b", "a\\b", "C:evil", "/abs"})
            QVERIFY2(!SafeFileName(QString::fromLatin1(name)), name);
        QVERIFY(SafeFileName("ok name (1).txt"));
        // Hidden names become visible ones: nothing of the kind is made or touched.
        QCOMPARE(SafeFileName("..hidden").value(), QString("__hidden"));
        QCOMPARE(SafeFileName(".bashrc").value(), QString("_bashrc"));
        QCOMPARE(SafeFileName("a.b.").value(), QString("a.b."));
        QCOMPARE(SafeSubfolder(".ssh\\").value(), QStringList{"_ssh"});
        QCOMPARE(SafeSubfolder("a\\.config\\b\\").value(), (QStringList{"a", "_config", "b"}));
        const auto dotted =
            RecordFromFileReply("authorized_keys|1.2.3.4|k|.ssh\\|5", "e", "/home/u");
        QVERIFY(dotted);
        QCOMPARE(dotted->localPath(), QString("/home/u/_ssh/authorized_keys"));
        QCOMPARE(RecordFromFileReply(".profile|1.2.3.4|k||5", "e", "/h")->localPath(),
                 QString("/h/_profile"));
        QCOMPARE(RecordFromFileReply(".profile|1.2.3.4|k||5", "e", "/h")->name,
                 QByteArray(".profile")); // the wire name stays what the server sent
        QVERIFY(!RecordFromFileReply("neg|1.2.3.4|k||-5", "e", "/h"));
        // A name or folder beginning with ":" is a plain name here, under the save root.
        QCOMPARE(RecordFromFileReply(":x.txt|1.2.3.4|k|:r\\|5", "e", "/h")->localPath(),
                 QString("/h/:r/:x.txt"));
        for (const char* folder :
             {"..\\", "a\\..\\", "\\abs\\", "/abs/", "a\\\\b\\", "C:\\x\\", "./"})
            QVERIFY2(!SafeSubfolder(QString::fromLatin1(folder)), folder);
        QCOMPARE(SafeSubfolder("").value(), QStringList());
        QCOMPARE(SafeSubfolder("a\\b\\").value(), (QStringList{"a", "b"}));
        QCOMPARE(SafeSubfolder("a\\b").value(), (QStringList{"a", "b"}));
        QString deep;
        for (int i = 0; i < 101; ++i)
            deep += "d\\";
        QVERIFY(!SafeSubfolder(deep));
        QVERIFY(!RecordFromFileReply("../x|1.1.1.1|k||1", "e", "/s"));
        QVERIFY(!RecordFromFileReply("x|1.1.1.1|k|..\\|1", "e", "/s"));
        QVERIFY(!RecordFromFileReply("garbage without fields", "e", "/s"));
    }

    void rateDisplayFollowsRisesAtOnceAndFallsSlowly() {
        RateDisplay d;
        qint64 done = 0;
        auto tick = [&](qint64 measured) { return d.tick(measured, ++done, 10000); };
        // The first tick only remembers the bytes done.
        RateDisplay::Shown s = tick(1000);
        QVERIFY(!s.rate && !s.remainingSeconds);
        s = tick(1000);
        QCOMPARE(s.rate.value(), 1000);
        QCOMPARE(s.remainingSeconds.value(), 10);
        for (int i = 0; i < 3; ++i)
            QVERIFY(!tick(1000).remainingSeconds);
        s = tick(1000); // fourth tick: remaining time again, the rate unchanged so not shown
        QVERIFY(!s.rate);
        QCOMPARE(s.remainingSeconds.value(), 10);
        // A fall is followed only on the fifth slow tick, by a quarter of the difference.
        for (int i = 0; i < 4; ++i) {
            tick(500);
            QCOMPARE(d.smoothed(), 1000);
        }
        tick(500);
        QCOMPARE(d.smoothed(), 875);
        // A rise is followed at once.
        tick(4000);
        QCOMPARE(d.smoothed(), 4000);
        // Every 28th tick shows the rate whatever it did.
        int shownAt = 0;
        for (int i = 1; i <= 28 && !shownAt; ++i)
            if (tick(4000).rate)
                shownAt = i;
        QVERIFY(shownAt > 0);
        // No measurement yet, or nothing done on the previous tick: nothing changes.
        RateDisplay idle;
        QVERIFY(!idle.tick(0, 0, 100).rate);
        QVERIFY(!idle.tick(500, 0, 100).rate);
        QCOMPARE(idle.smoothed(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDownloadRules)
#include "TestDownloadRules.moc"
