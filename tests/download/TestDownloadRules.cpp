#include "core/RateDisplay.h"
#include "core/TextCodec.h"
#include "download/engine/FileReply.h"
#include "download/engine/SafePath.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
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

    void changedNamesFitAndAreNumbered() {
        auto bytes = [](const QString& s) { return QFile::encodeName(s).size(); };
        // Numbers go before the extension, as browsers put them.
        QCOMPARE(NumberedName("_cfg", 0), QString("_cfg"));
        QCOMPARE(NumberedName("_cfg", 1), QString("_cfg (1)"));
        QCOMPARE(NumberedName("archive.tar.gz", 12), QString("archive.tar (12).gz"));
        QCOMPARE(NumberedName("_x.", 2), QString("_x (2)."));

        // Too long for the file system: cut before the extension, on a character boundary.
        const QString syllables = QString(100, QChar(0xAC00));
        bool changed = false;
        QCOMPARE(SafeFileName(syllables + ".txt", &changed).value(),
                 QString(83, QChar(0xAC00)) + ".txt");
        QVERIFY(changed);
        QCOMPARE(NumberedName(syllables + ".txt", 3), QString(82, QChar(0xAC00)) + " (3).txt");
        // Exactly the limit stays as it is; one byte more is cut.
        const QString fits = QString(251, 'a') + ".txt";
        QCOMPARE(SafeFileName(fits, &changed).value(), fits);
        QVERIFY(!changed);
        QCOMPARE(SafeFileName("a" + fits).value(), fits);
        // A character of two UTF-16 units, or one the reader sees as one (a letter and its
        // mark), is never split.
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // 4 bytes
        const QString cut = NumberedName("a" + emoji.repeated(70) + ".md", 0);
        QCOMPARE(cut, "a" + emoji.repeated(62) + ".md");
        const QString marked = QString::fromUtf8("e\xCC\x81"); // 3 bytes
        QCOMPARE(NumberedName("_" + marked.repeated(100), 0), "_" + marked.repeated(84));
        // A name that is one long "extension" is cut from its end instead.
        const QString dotted = "_." + QString(300, 'x');
        QCOMPARE(NumberedName(dotted, 1), dotted.left(251) + " (1)");
        for (const QString& name : {syllables + ".txt", "a" + emoji.repeated(70) + ".md", dotted})
            for (int n : {0, 1, 9999})
                QVERIFY(bytes(NumberedName(name, n)) <= 255);

        // A record knows whether the client changed its name or folder.
        const auto plain = RecordFromFileReply("a.txt|1.2.3.4|k|d\\|5", "e", "/s");
        QVERIFY(plain && !plain->renamed);
        QCOMPARE(plain->localName, QString("a.txt"));
        QVERIFY(RecordFromFileReply(".a|1.2.3.4|k||5", "e", "/s")->renamed);
        QVERIFY(RecordFromFileReply("a|1.2.3.4|k|.d\\|5", "e", "/s")->renamed);
        const auto long_ =
            RecordFromFileReply(ToCp949(syllables + ".txt") + "|1.2.3.4|k||5", "e", "/s");
        QVERIFY(long_ && long_->renamed);
        QCOMPARE(long_->localPath(), "/s/" + QString(83, QChar(0xAC00)) + ".txt");
        // A renamed row moved to another folder chooses its name there afresh.
        FileRecord moved = *RecordFromFileReply(".a|1.2.3.4|k||5", "e", "/s");
        moved.localName = "_a (1)";
        moved.claimed = true;
        moved.setRoot("/t");
        QCOMPARE(moved.localPath(), QString("/t/_a"));
        QVERIFY(!moved.claimed);
        // A folder too long to make is still refused: every file in it would need it.
        QVERIFY(!SafeSubfolder(QString(256, 'd') + "\\"));
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
