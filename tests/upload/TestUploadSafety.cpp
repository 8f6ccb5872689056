#include "core/Formats.h"
#include "tests/upload/FakeServers.h"
#include "tests/upload/FingerprintOf.h"
#include "tests/upload/UploadFixture.h"
#include <QFile>

#include <QElapsedTimer>

#include <sys/stat.h>

// The upload engine against a hostile or failing server: files it names that the member never
// chose, a fifo, stops at awkward moments, the end of the program during a notice, and the
// retry budget. The control port is a script of the test's own.
namespace {

// The file server's control port, answering member "kim" and list "q" with `records`.
class ScriptedControl {
public:
    QList<QByteArray> records;         // what the list key gets, in turn; then "ListEnd"
    std::atomic<int> noticeDelayMs{0}; // the completion notice waits this long
    std::atomic<bool> noticesUnanswered{false};

    explicit ScriptedControl(const QString& address)
        : server_(address, 7510, [this](int fd, int) { serve(fd); }) {}

    bool listening() const { return server_.listening(); }
    QList<QByteArray> heard() {
        std::lock_guard lock(mutex_);
        return heard_;
    }
    QList<QByteArray> fingerprints() {
        QList<QByteArray> prints;
        for (const QByteArray& c : heard())
            if (c.size() > 30 && c.at(0) >= '0' && c.at(0) <= '9')
                prints << c;
        return prints;
    }

private:
    void serve(int fd) {
        char buffer[20480];
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                if (server_.stopping())
                    return;
                continue;
            }
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            const QByteArray command(buffer, int(n));
            QByteArray reply = "Ok";
            {
                std::lock_guard lock(mutex_);
                heard_ << command;
                if (command == "kim")
                    reply = "kim|1|x|2099123123";
                else if (command == "q")
                    reply = next_ < records.size() ? records[next_++] : QByteArray("ListEnd");
                else if (command.size() > 30)
                    reply = QByteArray::number(1001 + numbered_++) + "|Ok";
            }
            if (command == "@Upload_complute") {
                if (noticesUnanswered)
                    continue;
                std::this_thread::sleep_for(std::chrono::milliseconds(noticeDelayMs.load()));
            }
            ::send(fd, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL);
        }
    }

    std::mutex mutex_;
    QList<QByteArray> heard_;
    int next_ = 0;
    int numbered_ = 0;
    FakeServer server_;
};

QByteArray missingFingerprint(qint64 size) {
    return QByteArray::number(size) + QByteArray(30, '0');
}

} // namespace

class TestUploadSafety : public QObject {
    Q_OBJECT

    static QString writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    static QByteArray record(const QString& path, qint64 size, const QString& name = {}) {
        const QString shownName = name.isEmpty() ? QFileInfo(path).fileName() : name;
        const QString folder = QFileInfo(path).path() + "/";
        return "t1|t2|" + TestEnvironment::address().toLatin1() + "|" + shownName.toUtf8() + "|" +
               (folder + QFileInfo(path).fileName()).toUtf8() + "|" + QByteArray::number(size);
    }
    static const QString& cannotOpen() {
        static const QString text =
            "업로드할 파일을 열수 없습니다.\n업로드할 파일이 존재하는지 확인해주세요.";
        return text;
    }

private slots:
    void init() {
        TestEnvironment::prepare();
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, 0);
        SettingsStore::WriteInt(SettingKey::UpSystemEnd, 0);
    }

    void filesTheMemberDidNotChooseAreNeverRead() {
        UploadFixture f("secret");
        const QByteArray secret = "SECRET-" + QByteArray(43, 'k');
        const QString secretPath = writeFile(f.source + "/secret.txt", secret);
        ScriptedControl control(TestEnvironment::address());
        FakeDataServer data(TestEnvironment::address());
        QVERIFY(control.listening() && data.listening());
        // Six records sample the secret at six places; a seventh asks for the whole file.
        for (qint64 size : {10, 14, 20, 30, 40, 60})
            control.records << record(secretPath, size);
        control.records << record(secretPath, secret.size());
        f.process(UploadFixture::command());
        QCOMPARE(f.engine->table().count(), 7);
        // Each fingerprint is that of a missing file: nothing of the secret went out.
        const QList<QByteArray> prints = control.fingerprints();
        QCOMPARE(prints.size(), 7);
        for (int i = 0; i < 7; ++i)
            QCOMPARE(prints[i], missingFingerprint(QList<qint64>{10, 14, 20, 30, 40, 60, 50}[i]));
        // The upload of such a row fails as a missing file does; no byte reaches the server.
        QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage(cannotOpen()), 10000);
        QVERIFY(f.engine->table().record(0).pending()); // waits for the member, as it would
        QVERIFY(!f.engine->isBusy()); // the worker has ended: nothing more can come
        QVERIFY(data.held().isEmpty());
        for (const QByteArray& heard : control.heard())
            QVERIFY(!heard.contains("SECRET"));
    }

    void unusableRecordsCountTowardTheLimit() {
        UploadFixture f("limit");
        SettingsStore::WriteInt(SettingKey::UpAutostart, 0);
        f.addFile("ok.bin", 10);
        ScriptedControl control(TestEnvironment::address());
        for (int i = 0; i < 10; ++i)
            control.records << "t|u|" + TestEnvironment::address().toLatin1() + "||/no/name|5";
        for (int i = 0; i < 250; ++i)
            control.records << record(f.queued.first(), 10);
        f.process(UploadFixture::command());
        QCOMPARE(f.engine->table().count(), 190);
        QCOMPARE(control.fingerprints().size(), 200);
        QCOMPARE(control.fingerprints().first(), missingFingerprint(5)); // never read
    }

    void aFifoNeverHoldsTheWindow() {
        UploadFixture f("fifo");
        f.addFile("pipe", 10); // chosen as a plain file ...
        const QString pipe = f.queued.first();
        QFile::remove(pipe); // ... and a fifo by the time the list comes
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        ScriptedControl control(TestEnvironment::address());
        FakeDataServer data(TestEnvironment::address());
        control.records << record(pipe, 10);
        f.process(UploadFixture::command());
        QCOMPARE(f.engine->table().count(), 1);
        QCOMPARE(control.fingerprints(), QList<QByteArray>{missingFingerprint(10)});
        QTRY_VERIFY_WITH_TIMEOUT(f.host.hasMessage(cannotOpen()), 10000);
        QVERIFY(!f.engine->isBusy());
    }

    void rowShowsTheListingsOwnPath() {
        UploadFixture f("shown");
        SettingsStore::WriteInt(SettingKey::UpAutostart, 0);
        const QByteArray bytes = f.addFile("renamed.bin", 3000);
        writeFile(f.source + "/decoy-on-path.bin", QByteArray(123456, 'd'));
        ScriptedControl control(TestEnvironment::address());
        control.records << record(f.source + "/decoy-on-path.bin", 3000, "renamed.bin");
        f.process(UploadFixture::command());
        QCOMPARE(f.engine->table().text(0, TransferTable::NameColumn),
                 QString("decoy-on-path.bin"));
        QCOMPARE(f.engine->table().text(0, TransferTable::SizeColumn), FormatSize(123456));
        // The file read is the listed name in the path's folder.
        QCOMPARE(control.fingerprints(), QList<QByteArray>{fingerprintOf(f.queued.first(), 3000)});
        QCOMPARE(f.host.statusLines.last(), QString("'renamed.bin' 업로드중"));
    }

    void stopWhileConnectingIsAStop() {
        UploadFixture f("connecting");
        SettingsStore::WriteInt(SettingKey::UpAutostart, 0);
        f.addFile("a.bin", 1000);
        ScriptedControl control(TestEnvironment::address());
        control.records << record(f.queued.first(), 1000);
        // A data port whose queue is full: connects to it wait.
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(7312);
        ::inet_pton(AF_INET, TestEnvironment::address().toLatin1().constData(), &at.sin_addr);
        QCOMPARE(::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
        QCOMPARE(::listen(listener, 0), 0);
        QList<int> fillers;
        for (int i = 0; i < 3; ++i) {
            fillers << ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(fillers.last(), reinterpret_cast<sockaddr*>(&at), sizeof at);
        }
        QTest::qWait(100);
        f.process(UploadFixture::command());
        for (int round = 0; round < 4; ++round) {
            f.engine->toggle(); // start: the worker waits in its connect
            QTest::qWait(150);
            QVERIFY(f.engine->isBusy());
            f.engine->toggle(); // stop
            QTRY_VERIFY_WITH_TIMEOUT(!f.engine->isBusy(), 5000);
            QCOMPARE(f.engine->table().record(0).state, RowState::StopRequested);
        }
        QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 0);
        QVERIFY(f.host.messages.isEmpty());
        for (int fd : fillers)
            ::close(fd);
        ::close(listener);
    }

    void stopAsTheLastByteGoesLeavesOneCompletion() {
        UploadFixture f("race");
        const QByteArray bytes = f.addFile("a.bin", 200000);
        ScriptedControl control(TestEnvironment::address());
        FakeDataServer data(TestEnvironment::address());
        control.records << record(f.queued.first(), bytes.size());
        control.noticeDelayMs = 1500; // the worker is in its notice when the stop comes
        f.process(UploadFixture::command());
        QTRY_COMPARE_WITH_TIMEOUT(data.held().size(), bytes.size(), 10000);
        QTRY_VERIFY(control.heard().contains("@Upload_complute"));
        f.engine->toggle(); // stop, after the last byte
        QTRY_VERIFY_WITH_TIMEOUT(!f.engine->isBusy(), 10000);
        QCOMPARE(f.engine->table().record(0).state, RowState::Done);
        QCOMPARE(f.stateText(0), QString("완료"));
        f.engine->toggle(); // nothing is pending: the list is done
        QTRY_VERIFY(f.host.hasMessage("모든 파일이 전송완료되었습니다."));
        QVERIFY(!f.engine->isBusy()); // no worker after the first: nothing more can come
        QCOMPARE(data.connections(), 1);
        QCOMPARE(control.heard().count("@Upload_complute"), 1);
        QCOMPARE(data.held(), bytes);
    }

    void exitDuringANoticeWaitsOnlyBriefly() {
        UploadFixture f("exit");
        const QByteArray bytes = f.addFile("a.bin", 100000);
        ScriptedControl control(TestEnvironment::address());
        FakeDataServer data(TestEnvironment::address());
        control.records << record(f.queued.first(), bytes.size());
        control.noticesUnanswered = true;
        f.process(UploadFixture::command());
        QTRY_VERIFY_WITH_TIMEOUT(control.heard().contains("@Upload_complute"), 10000);
        // The file is complete before its notice goes: nothing is asked, and the end waits a
        // short while for the notice, not for its answer's 30 s.
        QVERIFY(f.engine->noticesPending());
        QTest::ignoreMessage(QtWarningMsg,
                             "a completion notice did not get through in time; it is left behind");
        QElapsedTimer exiting;
        exiting.start();
        f.engine->exitProgram();
        QTRY_COMPARE_WITH_TIMEOUT(f.host.quits, 1, 10000);
        QVERIFY(f.host.questions.isEmpty());
        QVERIFY(exiting.elapsed() < 10000); // not the notice's own 30 s
    }

    void fileAfterRecoveredDropsStillGetsThreeRetries() {
        UploadFixture f("budget");
        f.addFile("a.bin", 3000);
        f.addFile("b.bin", 4000);
        ScriptedControl control(TestEnvironment::address());
        control.records << record(f.queued[0], 3000) << record(f.queued[1], 4000);
        FakeDataServer data(TestEnvironment::address());
        // An offset beyond the file is a failed attempt: "a" fails twice, "b" three times.
        data.reply = [](int connection, qint64) {
            const bool fails =
                connection == 0 || connection == 1 || (connection >= 3 && connection <= 5);
            return fails ? QByteArray("999999999") : QByteArray("0");
        };
        f.process(UploadFixture::command());
        QVERIFY(f.finished(30000));
        QCOMPARE(data.connections(), 7);
        QCOMPARE(f.clock->startsOf(TransferEngineBase::kRetryTimer), 5);
        QVERIFY(!f.host.hasMessage("서버와 연결되지 않아 접속이 종료되었습니다."));
    }

    void nothingTransferredIsNeverReportedAsDone() {
        UploadFixture f("unreachable"); // no file server at all
        f.addFile("a.bin", 10);
        f.process(UploadFixture::command());
        QVERIFY(!f.engine->isBusy());
        QCOMPARE(f.host.countOf("파일전송 서버에 접속할수 없습니다."), 1);
        QVERIFY(!f.host.hasMessage("모든 파일이 전송완료되었습니다."));
        // An empty list started by hand has nothing to report either.
        f.engine->toggle();
        QVERIFY(!f.host.hasMessage("모든 파일이 전송완료되었습니다."));
    }
};

QTEST_GUILESS_MAIN(TestUploadSafety)
#include "TestUploadSafety.moc"
