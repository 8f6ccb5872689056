#include "tests/download/EngineFixture.h"

// The engine under a broken or hostile service.
class TestDownloadFaults : public QObject {
    Q_OBJECT
    RecordingShell shell_;

private slots:
    void initTestCase() { ShellSeam::install(&shell_); }

    void lostConnectionIsRetried() {
        EngineFixture f("retry");
        const QByteArray first = f.addFile("first.bin", 300000);
        // The first connection is cut after 2000 bytes; the retry completes the file.
        QVERIFY(f.startService({"--cut-after", "2000", "--cut-connections", "1"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        f.process(EngineFixture::request({"first.bin"}));
        QVERIFY(f.finished());
        QCOMPARE(f.saved("first.bin"), first);
        QVERIFY(f.clock->starts.contains({TransferEngineBase::kRetryTimer, 1000}));
        QVERIFY(f.service.log().contains("offset=\"2000\""));
    }

    void fileGivenUpAfterThreeRetriesAndTheListGoesOn() {
        // Always cut: three retries one second apart, then "오류", failed, and the next file.
        EngineFixture g("giveup");
        g.addFile("first.bin", 300000);
        g.addFile("second.bin", 1000);
        QVERIFY(g.startService({"--cut-after", "2000"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        g.process(EngineFixture::request({"first.bin", "second.bin"}));
        // The end of the list says how many files could not be transferred.
        QTRY_VERIFY_WITH_TIMEOUT(g.host.hasMessage("1개의 파일을 전송하지 못했습니다."), 30000);
        QVERIFY(!g.host.hasMessage("모든 파일이 전송완료되었습니다."));
        QCOMPARE(g.stateText(0), QString("오류"));
        QCOMPARE(g.saved("second.bin"), g.readFile(QDir(g.source).filePath("second.bin")));
        QCOMPARE(g.clock->startsOf(TransferEngineBase::kRetryTimer),
                 4); // three retries and the move to the next file
        // The completion actions give the failed file back to the next start.
        QCOMPARE(g.engine->table().record(0).state, RowState::Errored);
        QCOMPARE(g.engine->currentIndex(), 0);
    }

    void lastFileGivenUpStopsTheList() {
        // The failing file is the last one: the engine stops without completion actions.
        EngineFixture h("lastfails");
        h.addFile("only.bin", 300000);
        QVERIFY(h.startService({"--cut-after", "2000"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        h.process(EngineFixture::request({"only.bin"}));
        QTRY_COMPARE_WITH_TIMEOUT(h.stateText(0), QString("오류"), 30000);
        QVERIFY(!h.engine->isRunning());
        QVERIFY(!h.engine->isBusy());
        QCOMPARE(h.clock->startsOf(TransferEngineBase::kRetryTimer),
                 3); // the three retries, and no move to a next file
        QVERIFY(h.host.messages.isEmpty());
    }

    void stopKeepsBytesAndStartResumes() {
        EngineFixture f("stop");
        const QByteArray source = f.addFile("movie.mkv", 2000000);
        QVERIFY(f.startService({"--stall-after", "100000", "--stall-connections", "1"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        f.process(EngineFixture::request({"movie.mkv"}));
        FileRecord& record = f.engine->table().record(0);
        QTRY_COMPARE_WITH_TIMEOUT(qint64(record.done), qint64(100000), 10000);
        f.engine->toggle(); // stop
        QVERIFY(!f.engine->isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(f.engine->isBusy(), false, 5000);
        QCOMPARE(int(record.state), int(RowState::StopRequested));
        QCOMPARE(f.engine->resumeIndex(), 0);
        QCOMPARE(QFileInfo(QDir(f.saveRoot).filePath("movie.mkv")).size(), qint64(100000));
        // Start again: resumes from the local size even though the mode would overwrite.
        SettingsStore::WriteInt(SettingKey::DownFileOver, 1);
        f.engine->loadSettings();
        f.engine->toggle();
        QVERIFY(f.finished());
        QCOMPARE(f.saved("movie.mkv"), source);
        QVERIFY(f.service.log().contains("offset=\"100000\""));
        QCOMPARE(f.engine->resumeIndex(), -1);
    }

    void restartWhileStoppedWorkerRunsNeverDoublesIt() {
        EngineFixture f("double");
        const QByteArray source = f.addFile("a.bin", 1500000);
        QVERIFY(f.startService({"--stall-after", "50000", "--stall-connections", "1"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        f.process(EngineFixture::request({"a.bin"}));
        QTRY_COMPARE_WITH_TIMEOUT(qint64(f.engine->table().record(0).done), qint64(50000), 10000);
        f.engine->toggle(); // stop: the worker is still waiting in its receive
        f.engine->toggle(); // start again at once
        QVERIFY(f.engine->isRunning());
        QVERIFY(f.finished());
        QCOMPARE(f.saved("a.bin"), source);
        QCOMPARE(f.service.log().count("header ext="), 2);
    }

    void unwritableFolderAsksForAnother() {
        EngineFixture f("unwritable");
        const QByteArray source = f.addFile("sub/doc.txt", 5000);
        QVERIFY(f.startService());
        // A regular file where the save folder should be: nothing can be created below it.
        const QString blocker = QDir(f.saveRoot).filePath("not-a-folder");
        QFile(blocker).open(QIODevice::WriteOnly);
        SettingsStore::WriteText(SettingKey::DefaultFolder, blocker);
        const QString rescue = TestEnvironment::scratch("rescue");
        f.host.folderAnswers = {rescue};
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        f.process(EngineFixture::request({"sub/doc.txt"}));
        QVERIFY(f.finished());
        QCOMPARE(f.host.folderTitles, QStringList{"다운로드할 폴더를 지정하세요."});
        QCOMPARE(SettingsStore::ReadText(SettingKey::DefaultFolder), rescue);
        QCOMPARE(f.readFile(rescue + "/sub/doc.txt"), source);
    }

    void cancelledFolderQuestionStopsTheList() {
        // Cancelling the chooser stops the engine instead of asking forever.
        EngineFixture g("unwritable-cancel");
        g.addFile("doc.txt", 10);
        QVERIFY(g.startService());
        QFile(QDir(g.saveRoot).filePath("blocker")).open(QIODevice::WriteOnly);
        SettingsStore::WriteText(SettingKey::DefaultFolder, QDir(g.saveRoot).filePath("blocker"));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        g.process(EngineFixture::request({"doc.txt"}));
        QTRY_COMPARE_WITH_TIMEOUT(g.host.folderTitles.size(), 1, 10000);
        QTRY_VERIFY(!g.engine->isBusy());
        QCOMPARE(g.host.folderTitles.size(), 1);
        QCOMPARE(g.clock->startsOf(TransferEngineBase::kRetryTimer), 0);
        QCOMPARE(g.engine->table().record(0).state, RowState::Waiting); // still to do
    }

    void hostileRepliesNeverLeaveTheSaveRoot() {
        for (const char* flag : {"--hostile-name", "--hostile-folder"}) {
            for (const char* value : {"../escape", "/etc/evil", "C:\\evil", "..", "a/../../b"}) {
                EngineFixture f(QString("hostile-%1").arg(qHash(QByteArray(flag) + value)));
                f.addFile("fine.txt", 10);
                QVERIFY(f.startService({flag, value}));
                f.process(EngineFixture::request({"fine.txt"}));
                QCOMPARE(f.engine->table().count(), 0);
            }
        }
        // Garbage answers are skipped too, and nothing is written outside the save root.
        EngineFixture g("garbage");
        g.addFile("fine.txt", 10);
        QVERIFY(g.startService({"--garbage-entries"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        g.process(EngineFixture::request({"fine.txt"}));
        QTRY_VERIFY(!g.engine->isBusy());
        const QDir parent(QFileInfo(g.saveRoot).path());
        for (const QString& entry : parent.entryList(QDir::NoDotAndDotDot | QDir::AllEntries))
            QVERIFY2(entry.contains("-save") || entry.contains("-source") || entry == "rescue",
                     qPrintable(entry));
    }

    void overshootCompletesAndStallIsAFailedAttempt() {
        // Once the announced bytes are here the file is complete, whatever the mode: the
        // bytes beyond are never written, and no attempt is wasted on them.
        for (int mode : {1, 3}) {
            EngineFixture f(QString("overshoot%1").arg(mode));
            const QByteArray source = f.addFile("exact.bin", 300000);
            QVERIFY(f.startService({"--overshoot", "70000"}));
            SettingsStore::WriteInt(SettingKey::DownFileOver, mode);
            f.engine->loadSettings();
            SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
            f.process(EngineFixture::request({"exact.bin"}));
            QVERIFY(f.finished());
            QCOMPARE(f.saved("exact.bin"), source); // never longer than announced
            QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 0);
            QCOMPARE(f.service.log().count("header ext="), 1);
            f.service.stop();
        }

        EngineFixture g("stall");
        const QByteArray stalled = g.addFile("slow.bin", 500000);
        QVERIFY(g.startService({"--stall-after", "1000", "--stall-connections", "1"}));
        EngineSetup quick;
        quick.data.silenceMs = 400;
        g.makeEngine(std::move(quick));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        g.process(EngineFixture::request({"slow.bin"}));
        QVERIFY(g.finished());
        QCOMPARE(g.saved("slow.bin"), stalled);
        QVERIFY(g.clock->starts.contains({TransferEngineBase::kRetryTimer, 1000}));
    }

    void receiveErrorIsShownByTheWindowThread() {
        EngineFixture f("reset");
        const QByteArray source = f.addFile("r.bin", 400000);
        QVERIFY(f.startService({"--cut-after", "3000", "--cut-connections", "1", "--cut-reset"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        f.process(EngineFixture::request({"r.bin"}));
        QVERIFY(f.finished());
        QCOMPARE(f.saved("r.bin"), source);
        bool shown = false;
        for (const auto& m : f.host.messages) {
            if (m.text == "수신에러.") {
                shown = true;
                QCOMPARE(m.caption, QString("다운로더 (오류)"));
                QVERIFY(m.onMainThread);
            }
        }
        QVERIFY(shown);
    }

    void memberRefusalsAndTimeWindow() {
        EngineFixture f("members");
        f.addFile("x.txt", 10);
        QVERIFY(f.startService({"--member", QString::fromUtf8("morning:오전정액제:2099123123"),
                                "--over-user", "busy"}));
        SettingsStore::WriteInt(SettingKey::DownAutostart, 1);
        // Empty member id: nothing sent, exit procedure.
        f.process("Vaultry_downloader_Manager|x.txt?||1");
        QCOMPARE(f.host.messages.first().text, QString("회원 로그인후 이용해주세요."));
        QCOMPARE(f.host.messages.first().caption, QString("회원정보 (오류)"));
        QTRY_COMPARE(f.host.quits, 1);
        f.makeEngine();
        f.process(EngineFixture::request({"x.txt"}, "ghost"));
        QCOMPARE(f.host.messages.last().text, QString("회원 로그인후 이용해주세요."));
        QCOMPARE(f.engine->table().count(), 0);
        // The sign-off names the member of the request, not an emptied id.
        QVERIFY(f.service.waitForLog("sign-off \"ghost\"", 5000));
        f.makeEngine();
        f.process(EngineFixture::request({"x.txt"}, "busy"));
        QCOMPARE(f.host.messages.last().text, QString("이미 해당아이디는 사용중입니다."));
        QCOMPARE(f.engine->table().count(), 0);

        // A morning member at 20:00: told, homepage opened, files listed but not started.
        f.makeEngine();
        f.host.messages.clear();
        f.engine->setLocalClock([] { return LocalHour{2026, 12, 8, 20}; });
        f.process(EngineFixture::request({"x.txt"}, "morning"));
        QCOMPARE(f.host.messages.size(), 1);
        QCOMPARE(f.host.messages[0].caption, QString("정보"));
        QVERIFY(f.host.messages[0].text.startsWith("오전정액(6시~16시)사용자입니다."));
        QCOMPARE(shell_.urls.last(), QString("http://127.0.0.1:9/"));
        QCOMPARE(f.engine->table().count(), 1);
        QVERIFY(!f.engine->isBusy()); // the listing is over and nothing was started
        QCOMPARE(qint64(f.engine->table().record(0).done), qint64(0));
        // No file was current: nothing is to be resumed, and a later start keeps the
        // duplicate-file setting.
        QCOMPARE(f.engine->resumeIndex(), -1);
    }
};

QTEST_GUILESS_MAIN(TestDownloadFaults)
#include "TestDownloadFaults.moc"
