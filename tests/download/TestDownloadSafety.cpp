#include "tests/download/EngineFixture.h"

#include <QFileInfo>

#include <csignal>
#include <sys/resource.h>

// The download engine against a hostile or failing world: links in the save folder, hidden
// names, a full disk, a slow server, and the retry budget.
class TestDownloadSafety : public QObject {
    Q_OBJECT
    RecordingShell shell_;

    static QByteArray read(const QString& path) { return EngineFixture::readFile(path); }

    // A file-size limit on this process stands in for a full disk; it goes when the scope ends.
    struct FileSizeLimit {
        rlimit saved{};
        explicit FileSizeLimit(rlim_t bytes) {
            ::getrlimit(RLIMIT_FSIZE, &saved);
            rlimit limited = saved;
            limited.rlim_cur = bytes;
            ::setrlimit(RLIMIT_FSIZE, &limited);
        }
        ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved); }
    };

private slots:
    void initTestCase() {
        ShellSeam::install(&shell_);
        // Writes beyond the limit fail with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
    }

    void linksInTheSaveFolderAreNeverFollowed() {
        EngineFixture f("links");
        f.addFile("victim.txt", 500);
        f.addFile("linked/x.bin", 700);
        const QByteArray fine = f.addFile("fine.bin", 900);
        QVERIFY(f.startService());
        // Outside the save folder: a file the server must not rewrite, a folder it must not
        // reach. The save folder holds links to both.
        const QString outside = TestEnvironment::scratch("links-outside");
        QFile target(outside + "/target.txt");
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("keep me");
        target.close();
        QVERIFY(QFile::link(outside + "/target.txt", f.saveRoot + "/victim.txt"));
        QVERIFY(QFile::link(outside, f.saveRoot + "/linked"));

        SettingsStore::WriteInt(SettingKey::DownFileOver, 1);
        f.engine->loadSettings();
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        f.process(EngineFixture::request({"victim.txt", "linked/x.bin", "fine.bin"}));
        QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage("2개의 파일을 전송하지 못했습니다."), 20000);
        // Both failed at once, without a retry and without asking for another folder; the
        // list went on to the next file.
        QCOMPARE(f.stateText(0), QString("오류"));
        QCOMPARE(f.stateText(1), QString("오류"));
        QCOMPARE(f.stateText(2), QString("완료"));
        QCOMPARE(f.saved("fine.bin"), fine);
        QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 0);
        QVERIFY(f.host.folderTitles.isEmpty());
        QCOMPARE(read(outside + "/target.txt"), QByteArray("keep me"));
        QVERIFY(!QFileInfo::exists(outside + "/x.bin"));
        QCOMPARE(QDir(outside).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"target.txt"});
        QVERIFY(QFileInfo(f.saveRoot + "/victim.txt").isSymLink());
    }

    void hiddenNamesAreSavedVisible() {
        EngineFixture f("dots");
        const QByteArray bytes = f.addFile("plain.txt", 321);
        // Whatever the server calls the file and its folder, nothing hidden is made.
        QVERIFY(f.startService({"--hostile-name", ".bashrc", "--hostile-folder", ".ssh\\"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        f.process(EngineFixture::request({"plain.txt"}));
        QVERIFY(f.finished());
        QCOMPARE(f.saved("_ssh/_bashrc"), bytes);
        QCOMPARE(QDir(f.saveRoot).entryList(QDir::Hidden | QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"_ssh"});
        QCOMPARE(f.engine->table().text(0, TransferTable::NameColumn), QString(".bashrc"));
    }

    void fullDiskStopsAndKeepsAnExactPrefix() {
        EngineFixture f("full");
        const QByteArray source = f.addFile("big.bin", 300000);
        QVERIFY(f.startService());
        // Overwrite mode: the resume after the full disk must still keep the bytes.
        SettingsStore::WriteInt(SettingKey::DownFileOver, 1);
        f.engine->loadSettings();
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        const QString local = QDir(f.saveRoot).filePath("big.bin");
        const QString full = "디스크 공간이 부족하여 다운로드를 멈추었습니다.\n"
                             "공간을 확보한 후 다시 시작하면 이어받습니다.";
        {
            FileSizeLimit limit(100000);
            f.process(EngineFixture::request({"big.bin"}));
            QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage(full), 20000);
        }
        QVERIFY(!f.engine->isRunning());
        QVERIFY(f.host.folderTitles.isEmpty()); // not taken for an unwritable folder
        QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 0);
        QCOMPARE(read(local), source.left(100000));
        QVERIFY(f.engine->table().record(0).pending());
        // Space again: the next start resumes at the local size and ends byte-exact.
        f.engine->toggle();
        QVERIFY(f.finished());
        QCOMPARE(read(local), source);
        QVERIFY(f.service.log().contains("offset=\"100000\""));
    }

    void slowServerLeavesTheWindowResponsive() {
        EngineFixture f("slow");
        f.addFile("a.txt", 10);
        f.addFile("b.txt", 20);
        QVERIFY(f.startService({"--delay-ms", "300"}));
        // What the window's thread does while the server takes its time: it is handled
        // during the exchange, not after it.
        bool handled = false;
        bool duringExchange = false;
        f.engine->processRequest(EngineFixture::request({"a.txt", "b.txt"}));
        QTimer::singleShot(0, [&] {
            handled = true;
            duringExchange = f.engine->exchangeInProgress();
        });
        QTRY_VERIFY(handled);
        QVERIFY(duringExchange);
        QVERIFY(f.engine->isBusy()); // rows must not move under the listing
        f.settle();
        QCOMPARE(f.engine->table().count(), 2);
        QVERIFY(!f.engine->isBusy());
    }

    void listingTimeOutSaysHowManyWereNotListed() {
        EngineFixture f("timeout");
        for (const char* name : {"one", "two", "three"})
            f.addFile(name, 5);
        // The listing connection answers "@Download", the server choice and one entry; the
        // second entry is never answered.
        QVERIFY(f.startService({"--hang-after", "3"}));
        EngineSetup quick;
        quick.control = {2000, 300};
        f.makeEngine(std::move(quick));
        f.process(EngineFixture::request({"one", "two", "three"}));
        QCOMPARE(f.engine->table().count(), 1);
        QVERIFY(f.host.hasMessage("서버의 응답이 없어 2개의 파일을 목록에 추가하지 못했습니다."));
    }

    void fileAfterRecoveredDropsStillGetsThreeRetries() {
        EngineFixture f("budget");
        const QByteArray a = f.addFile("a.bin", 5000);
        const QByteArray b = f.addFile("b.bin", 9000);
        // The first six data connections are cut after 2000 bytes each: "a" resumes twice and
        // completes on its third connection; "b" needs all three of its retries.
        QVERIFY(f.startService({"--cut-after", "2000", "--cut-connections", "6"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        f.process(EngineFixture::request({"a.bin", "b.bin"}));
        QVERIFY(f.finished(30000));
        QCOMPARE(f.saved("a.bin"), a);
        QCOMPARE(f.saved("b.bin"), b);
        QCOMPARE(f.stateText(1), QString("완료"));
        QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 5);
    }
};

QTEST_GUILESS_MAIN(TestDownloadSafety)
#include "TestDownloadSafety.moc"
