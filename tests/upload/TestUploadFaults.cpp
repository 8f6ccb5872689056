#include "tests/upload/FakeServers.h"
#include "tests/upload/UploadFixture.h"

#include <QSemaphore>

// The engine under a broken or hostile service. The data port is the test's own fake where the
// service's behaviour is not enough (the service keeps the control port).
class TestUploadFaults : public QObject {
    Q_OBJECT

    // The service with its data ports unbound, and the fake on the upload data port.
    static bool startWithFakeData(UploadFixture& f) {
        return f.startService({"--refuse-data", "nolisten"});
    }

private slots:
    void init() {
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, 0);
        SettingsStore::WriteInt(SettingKey::UpSystemEnd, 0);
    }

    void refusedDataConnectionsRetryThenGiveUp() {
        UploadFixture f("refused");
        f.addFile("a.bin", 1000);
        QVERIFY(f.startService({"--refuse-data", "nolisten"}));
        f.process(UploadFixture::command());
        const QString lost("서버와 연결되지 않아 접속이 종료되었습니다.");
        QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage(lost), 10000);
        QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 3);
        QCOMPARE(f.host.messages.size(), 1);
        QCOMPARE(f.host.messages[0].caption, QString("업로더 (오류)"));
        QVERIFY(f.host.messages[0].onMainThread);
        QVERIFY(!f.host.running);
        // The next failure counts from the start again: three more silent retries.
        f.engine->toggle();
        QTRY_COMPARE_WITH_TIMEOUT(f.host.countOf(lost), 2, 10000);
        QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 6);
    }

    void missingLocalFileStopsTheQueue() {
        UploadFixture f("missing");
        const QString gone = QDir(f.source).filePath("gone.bin");
        f.queued << gone;
        const QByteArray after = f.addFile("after.bin", 100);
        QVERIFY(f.startService());
        f.process(UploadFixture::command());
        QCOMPARE(f.engine->table().count(), 2);
        const QString cannot(
            "업로드할 파일을 열수 없습니다.\n업로드할 파일이 존재하는지 확인해주세요.");
        QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage(cannot), 10000);
        QCOMPARE(f.host.messages.last().caption, QString("업로더 (오류)"));
        QVERIFY(!f.host.running);
        QTRY_VERIFY(!f.engine->isBusy());
        QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 0);
        QCOMPARE(f.host.messages.size(), 1);
        QVERIFY(!f.service.log().contains("after.bin\" offset"));
        // Once the file is there, the same row goes first.
        QFile back(gone);
        back.open(QIODevice::WriteOnly);
        back.close();
        UploadFixture::choose({gone});
        f.engine->toggle();
        QVERIFY(f.finished());
        QVERIFY(f.storedAll(2));
        QCOMPARE(f.stored("after.bin"), after);
    }

    void offsetsTheDataServerAnswers() {
        {
            UploadFixture f("offsets");
            const QByteArray bytes = f.addFile("five.bin", 5000);
            QVERIFY(startWithFakeData(f));
            FakeDataServer data(TestEnvironment::address());
            QVERIFY(data.listening());
            // "1000" of 5000: the last 4000 bytes from byte 1000.
            data.reply = [](int, qint64) { return QByteArray("1000"); };
            f.process(UploadFixture::command());
            QVERIFY(f.finished());
            QTRY_COMPARE(data.closedConnections(), 1);
            QCOMPARE(data.held(), bytes.mid(1000));
            QCOMPARE(data.sizes().value(0), QByteArray("5000"));
            QVERIFY(f.service.waitForLog("upload complete: file 1001", 5000));
        }

        // "0", an empty text after the first bytes, or a negative number: from the first byte.
        for (const QByteArray& answer : {QByteArray("0"), QByteArray("-25"), QByteArray("x7")}) {
            UploadFixture g("offsets-" + QString::fromLatin1(answer));
            const QByteArray all = g.addFile("five.bin", 5000);
            QVERIFY(startWithFakeData(g));
            FakeDataServer fresh(TestEnvironment::address());
            fresh.reply = [answer](int, qint64) { return answer; };
            g.process(UploadFixture::command());
            QVERIFY(g.finished());
            QTRY_COMPARE(fresh.closedConnections(), 1);
            QCOMPARE(fresh.held(), all);
        }
    }

    void offsetBeyondTheSizeIsAFailedAttempt() {
        UploadFixture f("beyond");
        f.addFile("five.bin", 5000);
        QVERIFY(startWithFakeData(f));
        FakeDataServer data(TestEnvironment::address());
        data.reply = [](int, qint64) { return QByteArray("9000"); };
        f.process(UploadFixture::command());
        QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage("서버와 연결되지 않아 접속이 종료되었습니다."),
                                 10000);
        QCOMPARE(data.connections(), 4);
        QVERIFY(data.held().isEmpty());
        QVERIFY(!f.service.log().contains("upload complete"));
    }

    // Bytes after the offset reply stay unread; closing a socket with unread input resets the
    // connection and throws away what the data server has not read yet. The file's last
    // bytes must still arrive.
    void extraBytesAfterTheOffsetNeverCostTheFilesEnd() {
        UploadFixture f("extra");
        const QByteArray bytes = f.addFile("three.bin", 3000000);
        QVERIFY(startWithFakeData(f));
        FakeDataServer data(TestEnvironment::address());
        data.reply = [](int, qint64) { return QByteArray("0") + QByteArray(20, '\0'); };
        data.throttled = true; // the client has sent all and closed long before it is read
        f.process(UploadFixture::command());
        QTRY_VERIFY_WITH_TIMEOUT(f.engine->table().record(0).state == RowState::Done, 20000);
        data.throttled = false;
        QTRY_COMPARE_WITH_TIMEOUT(data.closedConnections(), 1, 20000);
        QCOMPARE(data.held().size(), bytes.size());
        QVERIFY(data.held() == bytes);
    }

    // An offset whose read fails (a reset) is reported, by the window's thread, at every
    // attempt; a data server that closes without one is a lost connection, retried silently.
    void unreadableOffsetIsReportedByTheWindowThread() {
        for (const QByteArray& answer : {FakeDataServer::kReset, QByteArray()}) {
            UploadFixture f(answer.isEmpty() ? "nooffset" : "offsetreset");
            f.addFile("five.bin", 5000);
            QVERIFY(startWithFakeData(f));
            FakeDataServer data(TestEnvironment::address());
            data.reply = [answer](int, qint64) { return answer; };
            f.process(UploadFixture::command());
            QTRY_VERIFY_WITH_TIMEOUT(
                f.host.hasMessage("서버와 연결되지 않아 접속이 종료되었습니다."), 10000);
            QCOMPARE(data.connections(), 4);
            QCOMPARE(f.host.countOf("파일용량 수신에러."), answer.isEmpty() ? 0 : 4);
            for (const auto& m : f.host.messages) {
                QVERIFY(m.onMainThread);
                QCOMPARE(m.caption, QString("업로더 (오류)"));
            }
        }
    }

    void silentDataServerIsGivenUp() {
        UploadFixture f("silent");
        f.addFile("five.bin", 5000);
        QVERIFY(startWithFakeData(f));
        EngineSetup quick;
        quick.data.replyMs = 300;
        f.makeEngine(std::move(quick));
        QSemaphore release;
        FakeServer data(TestEnvironment::address(), 7312, [&](int, int) {
            release.tryAcquire(1, 10000); // holds the connection without a word
        });
        f.process(UploadFixture::command());
        QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage("파일용량 수신에러."), 10000);
        release.release(10);
    }

    void stopKeepsBytesAndStartResumes() {
        UploadFixture f("stop");
        const QByteArray bytes = f.addFile("big.bin", 24 * 1024 * 1024);
        QVERIFY(startWithFakeData(f));
        FakeDataServer data(TestEnvironment::address());
        data.throttled = true;
        f.process(UploadFixture::command());
        UploadRecord& record = f.engine->table().record(0);
        QTRY_VERIFY_WITH_TIMEOUT(record.started && record.done > 0, 10000);
        f.engine->toggle(); // stop
        QVERIFY(!f.host.running);
        QTRY_VERIFY_WITH_TIMEOUT(!f.engine->isBusy(), 10000);
        data.throttled = false;
        QTRY_COMPARE_WITH_TIMEOUT(data.closedConnections(), 1, 10000);
        const qint64 kept = record.done;
        QVERIFY(kept > 0 && kept < bytes.size());
        QCOMPARE(int(record.state), int(RowState::StopRequested));
        QCOMPARE(int(record.started), 1);
        QCOMPARE(qint64(data.held().size()), kept);
        QVERIFY(f.host.messages.isEmpty());
        // Start again: the same row, resumed where the data server says.
        f.engine->toggle();
        QVERIFY(record.done >= kept);
        QVERIFY(f.finished());
        QTRY_COMPARE(data.closedConnections(), 2);
        QCOMPARE(data.offsets(), (QList<qint64>{0, kept}));
        QVERIFY(data.held() == bytes);
        QCOMPARE(f.host.messages.size(), 1);
    }

    void restartWhileStoppedWorkerRunsNeverDoublesIt() {
        UploadFixture f("double");
        const QByteArray bytes = f.addFile("big.bin", 24 * 1024 * 1024);
        QVERIFY(startWithFakeData(f));
        FakeDataServer data(TestEnvironment::address());
        data.throttled = true;
        f.process(UploadFixture::command());
        UploadRecord& record = f.engine->table().record(0);
        QTRY_VERIFY_WITH_TIMEOUT(record.started && record.done > 0, 10000);
        f.engine->toggle(); // stop: the worker is still in its send
        f.engine->toggle(); // start again at once
        QVERIFY(f.host.running);
        QVERIFY(f.engine->isBusy());
        data.throttled = false;
        QVERIFY(f.finished());
        QTRY_COMPARE(data.closedConnections(), 2);
        QVERIFY(data.held() == bytes);
    }

    void listingEndsAtNullAndPing() {
        for (const QByteArray& end : {QByteArray("Null"), QByteArray("Ping")}) {
            TestEnvironment::prepare();
            UploadFixture f("ends-" + QString::fromLatin1(end));
            SettingsStore::WriteInt(SettingKey::UpAutostart, 0);
            QStringList heard;
            std::mutex heardLock;
            FakeServer control(TestEnvironment::address(), 7510, [&](int fd, int) {
                int keys = 0;
                char buffer[20480];
                for (;;) {
                    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                    if (n <= 0)
                        return;
                    const QByteArray command(buffer, int(n));
                    {
                        std::lock_guard lock(heardLock);
                        heard << QString::fromLatin1(command);
                    }
                    QByteArray reply = "Ok";
                    if (command == "q")
                        reply = ++keys == 1 ? "t1|t2|127.0.0.1|a.txt|/nowhere/a.txt|10" : end;
                    else if (command.startsWith("10"))
                        reply = "1001|Ok";
                    else if (command == "kim")
                        reply = "kim|1|x|2099123123";
                    ::send(fd, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL);
                }
            });
            QVERIFY(control.listening());
            f.process(UploadFixture::command());
            QCOMPARE(f.engine->table().count(), 1);
            QCOMPARE(f.engine->table().record(0).fileNumber, 1001);
            std::lock_guard lock(heardLock);
            QCOMPARE(heard.count("q"), 2);
            QVERIFY(heard.contains("10" + QString(30, '0')));
        }
    }
};

QTEST_GUILESS_MAIN(TestUploadFaults)
#include "TestUploadFaults.moc"
