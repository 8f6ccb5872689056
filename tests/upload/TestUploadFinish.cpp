#include "tests/upload/FakeServers.h"
#include "tests/upload/UploadFixture.h"

// How an upload attempt ends once every byte is sent: the file is complete, and the file
// server told, only when the data server has read the client's end and closed its side. The
// file service keeps the control port; the data port is the test's fake.
class TestUploadFinish : public QObject {
    Q_OBJECT

    static bool startWithFakeData(UploadFixture& f) {
        return f.startService({"--refuse-data", "nolisten"});
    }

    // The upload of one file goes on to its completion report; its bytes arrived once, whole.
    static void finishes(UploadFixture& f, FakeDataServer& data, const QByteArray& bytes,
                         int attempts) {
        QVERIFY(f.finished());
        QCOMPARE(data.connections(), attempts);
        QCOMPARE(data.offsets(), (QList<qint64>{0, bytes.size()}));
        QVERIFY(data.held() == bytes);
        QVERIFY(f.service.waitForLog("upload complete: file 1001", 5000));
        QCOMPARE(f.service.log().count("upload complete"), 1);
        QCOMPARE(f.host.messages.size(), 1); // the completion report only
    }

private slots:
    void init() {
        TestEnvironment::prepare();
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, 0);
        SettingsStore::WriteInt(SettingKey::UpSystemEnd, 0);
    }

    // A data server that reads slowly: the client's sends are done long before the last byte
    // is read. Neither "완료" nor the completion notice may come before the data server has
    // read the client's end.
    void completeOnlyOnceTheDataServerHasEverything() {
        UploadFixture f("slow");
        const QByteArray bytes = f.addFile("three.bin", 3000000);
        QVERIFY(startWithFakeData(f));
        FakeDataServer data(TestEnvironment::address());
        data.throttled = true;
        f.process(UploadFixture::command());
        const UploadRecord& record = f.engine->table().record(0);
        QStringList early;
        QDeadlineTimer deadline(30000);
        while (record.state != RowState::Done && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            // Seen first, then compared with the data server: still reading means too early.
            const bool shown = f.stateText(0) == "완료";
            const bool noticed = f.service.log().contains("upload complete");
            if (data.closedConnections() > 0)
                continue;
            if (shown)
                early << "완료";
            if (noticed)
                early << "notice";
        }
        const int closedWhenDone = data.closedConnections();
        QCOMPARE(int(record.state), int(RowState::Done));
        QCOMPARE(closedWhenDone, 1);
        QCOMPARE(early, QStringList());
        QVERIFY(data.held() == bytes);
        QVERIFY(f.finished());
        QVERIFY(f.service.waitForLog("upload complete: file 1001", 5000));
    }

    // A reset instead of the close, or a data server that stays silent, fails the attempt:
    // the retry asks the offset, and with every byte there the file completes at once. A stop
    // ends the wait for the close like any other.
    void anyOtherEndIsAFailedAttempt() {
        {
            UploadFixture f("reset");
            const QByteArray bytes = f.addFile("five.bin", 50000);
            QVERIFY(startWithFakeData(f));
            FakeDataServer data(TestEnvironment::address());
            data.resetAtEnd = 1;
            f.process(UploadFixture::command());
            finishes(f, data, bytes, 2);
            QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 1);
        }
        {
            UploadFixture f("silent");
            EngineSetup quick;
            quick.data.closeWaitMs = 300;
            f.makeEngine(std::move(quick));
            const QByteArray bytes = f.addFile("five.bin", 50000);
            QVERIFY(startWithFakeData(f));
            FakeDataServer data(TestEnvironment::address());
            data.holdAtEnd = true;
            f.process(UploadFixture::command());
            QTRY_COMPARE_WITH_TIMEOUT(f.clock->startsOf(TransferEngineBase::kRetryTimer), 1, 10000);
            QVERIFY(f.stateText(0) != "완료");
            data.holdAtEnd = false; // the retry is served
            finishes(f, data, bytes, 2);
        }
        {
            UploadFixture f("stop");
            const QByteArray bytes = f.addFile("five.bin", 50000);
            QVERIFY(startWithFakeData(f));
            FakeDataServer data(TestEnvironment::address());
            data.holdAtEnd = true;
            f.process(UploadFixture::command());
            QTRY_COMPARE_WITH_TIMEOUT(data.closedConnections(), 1, 10000);
            f.engine->toggle(); // stop while the client waits for the close
            QTRY_VERIFY_WITH_TIMEOUT(!f.engine->isBusy(), 5000);
            const UploadRecord& record = f.engine->table().record(0);
            QCOMPARE(int(record.state), int(RowState::StopRequested));
            QCOMPARE(record.done, qint64(bytes.size()));
            QVERIFY(!f.service.log().contains("upload complete"));
            data.holdAtEnd = false;
            f.engine->toggle();
            finishes(f, data, bytes, 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestUploadFinish)
#include "TestUploadFinish.moc"
