#include "download/engine/SaveFolder.h"
#include "tests/download/EngineFixture.h"

#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// Where the download engine puts a file's bytes: never through a second link to another
// file, and a name the client had to change never onto a file that is not the row's own.
class TestDownloadSaving : public QObject {
    Q_OBJECT
    RecordingShell shell_;

    static int linkCount(const QString& path) {
        struct stat info {};
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_nlink) : -1;
    }

    static void write(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static void startWithMode(EngineFixture& f, int storedPolicy) {
        SettingsStore::WriteInt(SettingKey::DownFileOver, storedPolicy);
        f.engine->loadSettings();
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
    }

private slots:
    void initTestCase() { ShellSeam::install(&shell_); }

    void hardLinksAreNeverWrittenThrough() {
        const QByteArray secret(60, 's');
        // Overwrite would rewrite the other file, resume would append to it.
        for (const int mode : {1, 3}) {
            const QString tag = QString("hard%1").arg(mode);
            EngineFixture f(tag);
            f.addFile("linked.bin", 100000);
            const QByteArray fine = f.addFile("fine.bin", 700);
            QVERIFY(f.startService());
            const QString outside = TestEnvironment::scratch(tag + "-outside") + "/secret";
            write(outside, secret);
            const QString planted = f.saveRoot + "/linked.bin";
            QCOMPARE(::link(QFile::encodeName(outside), QFile::encodeName(planted)), 0);

            startWithMode(f, mode);
            f.process(EngineFixture::request({"linked.bin", "fine.bin"}));
            QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage("1개의 파일을 전송하지 못했습니다."), 20000);
            // Failed at once like a symbolic link: no retry, no folder question, and the list
            // went on.
            QCOMPARE(f.stateText(0), QString("오류"));
            QCOMPARE(f.stateText(1), QString("완료"));
            QCOMPARE(f.saved("fine.bin"), fine);
            QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 0);
            QVERIFY(f.host.folderTitles.isEmpty());
            QCOMPARE(EngineFixture::readFile(outside), secret);
            QCOMPARE(linkCount(outside), 2);
        }

        // The open itself decides, not an earlier look by path: a hard link put in place after
        // the size was taken is refused before anything is cut or written.
        const QString root = TestEnvironment::scratch("hard-open");
        const QString outside = TestEnvironment::scratch("hard-open-outside") + "/secret";
        write(outside, secret);
        QCOMPARE(::link(QFile::encodeName(outside), QFile::encodeName(root + "/late.bin")), 0);
        const SaveFolder folder(root, {});
        QCOMPARE(folder.status(), SaveFolder::Status::Ready);
        for (const bool truncate : {true, false}) {
            errno = 0;
            QCOMPARE(folder.openForWriting("late.bin", truncate), -1);
            QCOMPARE(errno, ELOOP);
        }
        QCOMPARE(folder.localSize("late.bin"), -1);
        QCOMPARE(EngineFixture::readFile(outside), secret);
        // A file of its own is still written as before.
        write(root + "/own.bin", "abc");
        const int own = folder.openForWriting("own.bin", true);
        QVERIFY(own >= 0);
        ::close(own);
        QCOMPARE(QFileInfo(root + "/own.bin").size(), 0);
    }

    void changedNamesNeverLandOnAnotherFile() {
        EngineFixture f("changed");
        const QByteArray dotted = f.addFile(".cfg", 1000);
        const QByteArray plain = f.addFile("_cfg", 2000);
        const QByteArray keep = f.addFile(".keep", 300);
        // The first data connection (".cfg") is cut part-way: its retry must go on in the
        // file it began, not start another.
        QVERIFY(f.startService({"--cut-after", "500", "--cut-connections", "1"}));
        // The member's own file under the name ".keep" is made into.
        write(f.saveRoot + "/_keep", "mine");

        startWithMode(f, 3);
        f.process(EngineFixture::request({".cfg", "_cfg", ".keep"}));
        QVERIFY(f.finished());
        for (int row = 0; row < 3; ++row)
            QCOMPARE(f.stateText(row), QString("완료"));
        QCOMPARE(f.saved("_cfg (1)"), dotted);
        QCOMPARE(f.saved("_cfg"), plain);
        QCOMPARE(f.saved("_keep"), QByteArray("mine"));
        QCOMPARE(f.saved("_keep (1)"), keep);
        QVERIFY(f.service.log().contains("offset=\"500\""));
        QCOMPARE(f.engine->table().record(0).localPath(), f.saveRoot + "/_cfg (1)");
        // Rows show the names the server gave.
        QCOMPARE(f.engine->table().text(0, TransferTable::NameColumn), QString(".cfg"));

        // The same files again, now in the same list: the rows that had to be renamed keep to
        // names of their own; the one the server named plainly meets its file as it always did
        // (resumed: already complete).
        f.engine->deleteRows({0, 1, 2});
        f.host.messages.clear();
        f.process(EngineFixture::request({".cfg", "_cfg"}));
        QVERIFY(f.finished());
        QCOMPARE(f.saved("_cfg (2)"), dotted);
        QCOMPARE(f.saved("_cfg"), plain);
        QCOMPARE(f.saved("_cfg (1)"), dotted);
        QCOMPARE(QDir(f.saveRoot).entryList(QDir::Hidden | QDir::Files).size(), 5);
    }

    void longNamesAreShortenedToFit() {
        EngineFixture f("long");
        const QByteArray a = f.addFile("a.bin", 100);
        const QByteArray b = f.addFile("b.bin", 200);
        // 100 syllables: 300 bytes on disk, more than a name can hold.
        const QString longName = QString(100, QChar(0xAC00)) + ".txt";
        QVERIFY(f.startService({"--hostile-name", longName}));
        const QString fitted = QString(83, QChar(0xAC00)) + ".txt";     // 253 bytes
        const QString first = QString(82, QChar(0xAC00)) + " (1).txt";  // 254 bytes
        const QString second = QString(82, QChar(0xAC00)) + " (2).txt"; // 254 bytes
        write(f.saveRoot + "/" + fitted, "keep me");

        startWithMode(f, 1);
        f.process(EngineFixture::request({"a.bin", "b.bin"}));
        QCOMPARE(f.engine->table().count(), 2);
        QVERIFY(f.finished());
        QCOMPARE(f.saved(fitted), QByteArray("keep me"));
        QCOMPARE(f.saved(first), a);
        QCOMPARE(f.saved(second), b);
        QCOMPARE(f.engine->table().text(0, TransferTable::NameColumn), longName);
    }
};

QTEST_GUILESS_MAIN(TestDownloadSaving)
#include "TestDownloadSaving.moc"
