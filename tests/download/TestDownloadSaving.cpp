#include "EngineFixture.h"
#include "SaveFolder.h"

#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// Where the download engine puts a file's bytes: never through a second link to another
// file.
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

    static void startWithMode(EngineFixture& f, int fileOverMode) {
        SettingsStore::WriteInt(SettingKey::DownFileOver, fileOverMode);
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
            QCOMPARE(f.host.timerCount(104), 0);
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
};

QTEST_GUILESS_MAIN(TestDownloadSaving)
#include "TestDownloadSaving.moc"
