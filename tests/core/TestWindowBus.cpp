#include "core/InstanceLock.h"
#include "core/LaunchLink.h"
#include "core/RuntimeDir.h"
#include "core/WindowBus.h"
#include "tests/core/BusPeer.h"
#include "tests/support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A raw connection that sends what the test says and nothing more, as a stalled or hostile
// peer would.
int rawConnect(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True once the other side has closed the connection (end of file or reset).
bool closedByPeer(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    char byte = 0;
    return ::recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
}

QByteArray frameBytes(quint32 tag, const QByteArray& sender, const QByteArray& data) {
    return WriteBusFrame(tag, sender, data);
}

} // namespace

class TestWindowBus : public QObject {
    Q_OBJECT

    QProcess* startPeer(const QString& className, const QString& lockName,
                        int descriptorLimit = 0) {
        auto* p = new QProcess(this);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {"--peer", className, lockName, QString::number(descriptorLimit)});
        if (!p->waitForStarted() || !p->waitForReadyRead(10000))
            return nullptr;
        return p;
    }

    static void quitPeer(QProcess* peer, const QString& endpoint) {
        WindowBus::send(endpoint, 1, "", "quit");
        if (!peer->waitForFinished(5000))
            peer->kill();
    }

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void copyDataRoundTripBetweenProcesses() {
        QProcess* peer = startPeer("Test_peer", "peer lock");
        QVERIFY(peer);
        QCOMPARE(peer->readLine().trimmed(), QByteArray("ready 1 0"));
        const QString endpoint = WindowBus::findWindow("Test_peer");
        QVERIFY(endpoint.startsWith("Test_peer."));
        QCOMPARE(WindowBus::findWindow("Nobody_here"), QString());

        // The receiver reads no further than the bytes sent, and stops at a terminator.
        QCOMPARE(WindowBus::send(endpoint, 41160500, "", "abc").value(), 41160500003LL);
        QCOMPARE(WindowBus::send(endpoint, 7, "", QByteArray("ab\0cd", 5)).value(), 7002LL);
        QCOMPARE(WindowBus::send(endpoint, 7, "", QByteArray()).value(), 7000LL);
        // The largest message there may be arrives whole; one byte more is not sent at all.
        // A manager command around the largest launch-link request fits.
        QVERIFY(WindowBus::kMaxData >= kMaxLaunchRequest + 64);
        QByteArray big(WindowBus::kMaxData, 'x');
        QCOMPARE(WindowBus::send(endpoint, 7, "", big).value(), 7000LL + WindowBus::kMaxData);
        big.append('x');
        QVERIFY(!WindowBus::send(endpoint, 7, "", big).has_value());

        // The receiver can answer the sender's endpoint afterwards, as the page control does.
        WindowBus self("Test_self");
        QVERIFY(self.isRegistered());
        QList<CopyData> received;
        self.setHandler([&](const CopyData& m) {
            received.append(m);
            return 1;
        });
        QCOMPARE(WindowBus::send(endpoint, 1, self.endpoint(), "call-me-back").value(), 1012LL);
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received[0].tag, 2u);
        QCOMPARE(received[0].data, QByteArray("callback"));
        QCOMPARE(received[0].sender, endpoint);

        // One class has one endpoint per process: a second registration does not steal it.
        WindowBus again("Test_self");
        QVERIFY(!again.isRegistered());
        QVERIFY(self.isRegistered());
        QCOMPARE(WindowBus::send(self.endpoint(), 3, "", "still me").value(), 1LL);

        // A second holder of the lock name is refused while the peer lives.
        QVERIFY(!InstanceLock("peer lock").acquired());

        quitPeer(peer, endpoint);
        QCOMPARE(WindowBus::findWindow("Test_peer"), QString());
    }

    // A receiver that answers from inside its handler, with a send back to the window that is
    // still waiting for its own answer, is served at once, like a synchronous send between
    // windows: the waiting window handles the message, then gets its own answer.
    void answerSentBackFromInsideTheHandler() {
        QProcess* peer = startPeer("Test_nested", "nested lock");
        QVERIFY(peer);
        const QString endpoint = WindowBus::findWindow("Test_nested");
        QVERIFY(!endpoint.isEmpty());

        WindowBus self("Test_waiting");
        QList<QByteArray> handled;
        QList<QThread*> threads;
        self.setHandler([&](const CopyData& m) {
            handled.append(m.text());
            threads.append(QThread::currentThread());
            return Bounce(self, m);
        });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(WindowBus::send(endpoint, 5, self.endpoint(), "bounce:1", 3000),
                 std::optional<qint64>(101));
        // Handled while waiting, not afterwards by the event loop.
        QCOMPARE(handled, QList<QByteArray>{"bounce:0"});
        QCOMPARE(threads.first(), QThread::currentThread());

        // Back and forth a few times: each side serves the other while it waits.
        handled.clear();
        QCOMPARE(WindowBus::send(endpoint, 5, self.endpoint(), "bounce:5", 3000),
                 std::optional<qint64>(105));
        QCOMPARE(handled, (QList<QByteArray>{"bounce:4", "bounce:2", "bounce:0"}));

        // Endless ping-pong is cut off at a fixed depth and fails at once, without waiting.
        handled.clear();
        QCOMPARE(WindowBus::send(endpoint, 5, self.endpoint(), "bounce:1000", 3000),
                 std::optional<qint64>(-1));
        QVERIFY(handled.size() <= WindowBus::kMaxNestedSends);
        QVERIFY2(clock.elapsed() < 5000, "the nested sends waited for their time limits");

        // A bus of another thread is served by that thread only, never by a waiting sender.
        QThread worker;
        worker.start();
        auto* remote = new WindowBus("Test_worker");
        remote->moveToThread(&worker);
        std::atomic<QThread*> handledOn = nullptr;
        remote->setHandler([&](const CopyData& m) {
            handledOn = QThread::currentThread();
            return Bounce(*remote, m);
        });
        QCOMPARE(WindowBus::send(endpoint, 5, remote->endpoint(), "bounce:1", 3000),
                 std::optional<qint64>(101));
        QCOMPARE(handledOn.load(), &worker);
        connect(&worker, &QThread::finished, remote, &QObject::deleteLater);
        worker.quit();
        worker.wait();

        quitPeer(peer, endpoint);
    }

    // Connections that never complete their frame cost the receiver nothing but a slot for
    // about a second: a genuine sender is answered meanwhile, also by a receiver whose
    // descriptor limit is smaller than the crowd (256: more connections than it reads at
    // once; 32: it runs out of descriptors first).
    void halfOpenConnectionsDoNotHoldOffOthers() {
#ifdef VAULTRY_SANITIZED
        // The sanitizers' own checks need descriptors (UBSan probes memory through a pipe):
        // a process that has run out of them gets false findings.
        const QList<int> descriptorLimits{256};
#else
        const QList<int> descriptorLimits{256, 32};
#endif
        for (const int descriptorLimit : descriptorLimits) {
            QProcess* peer = startPeer("Test_stalled", "stalled lock", descriptorLimit);
            QVERIFY(peer);
            const QString endpoint = WindowBus::findWindow("Test_stalled");
            const QString path = PrivateRuntimeDir() + "/" + endpoint;
            const QByteArray whole = frameBytes(9, "", "half");
            QList<int> stalled;
            for (int i = 0; i < 400; ++i) {
                const int fd = rawConnect(path);
                QVERIFY(fd >= 0);
                stalled.append(fd);
                // Nothing at all, part of the header, or all but the last byte of a frame.
                const QByteArray part = whole.left(i % 3 == 0   ? 0
                                                   : i % 3 == 1 ? 7
                                                                : whole.size() - 1);
                if (!part.isEmpty())
                    QCOMPARE(::send(fd, part.constData(), size_t(part.size()), MSG_NOSIGNAL),
                             ssize_t(part.size()));
            }
            for (int round = 0; round < 3; ++round)
                QCOMPARE(WindowBus::send(endpoint, 9, "", "genuine", 3000),
                         std::optional<qint64>(9007));
            // Every stalled connection is dropped by the receiver within about a second (the
            // limit here leaves room for a busy machine).
            QTRY_VERIFY_WITH_TIMEOUT(std::all_of(stalled.begin(), stalled.end(), closedByPeer),
                                     4000);
            for (int fd : stalled)
                ::close(fd);
            QCOMPARE(WindowBus::send(endpoint, 9, "", "after", 3000), std::optional<qint64>(9005));
            quitPeer(peer, endpoint);
        }
    }

    void deadProcessesLeaveNothingTrusted() {
        QProcess* peer = startPeer("Test_crash", "crash lock");
        QVERIFY(peer);
        const QString endpoint = WindowBus::findWindow("Test_crash");
        QVERIFY(!endpoint.isEmpty());
        ::kill(pid_t(peer->processId()), SIGKILL);
        QVERIFY(peer->waitForFinished(5000));
        const QString socketFile = PrivateRuntimeDir() + "/" + endpoint;
        QVERIFY(QFileInfo::exists(socketFile)); // left behind by the crash
        QVERIFY(!WindowBus::send(endpoint, 1, "", "x").has_value());
        QCOMPARE(WindowBus::findWindow("Test_crash"), QString());
        QVERIFY(!QFileInfo::exists(socketFile));
        // The dead holder's lock is taken over.
        QVERIFY(InstanceLock("crash lock").acquired());
    }

    void garbageFramesAreDropped() {
        WindowBus bus("Test_garbage");
        int calls = 0;
        bus.setHandler([&](const CopyData&) { return ++calls; });
        const QString path = PrivateRuntimeDir() + "/" + bus.endpoint();
        const QList<QByteArray> garbage = {
            QByteArray(64, '\xff'),                                    // no frame at all
            frameBytes(1, QByteArray(5000, 's'), "x"),                 // sender too long
            frameBytes(1, "", "x").replace(12, 4, "\x7f\xff\xff\xff"), // data length too big
        };
        for (const QByteArray& bytes : garbage) {
            QLocalSocket raw;
            raw.connectToServer(path);
            QVERIFY(raw.waitForConnected(2000));
            raw.write(bytes);
            raw.flush();
            QTRY_COMPARE(raw.state(), QLocalSocket::UnconnectedState);
        }
        QCOMPARE(calls, 0);
        QVERIFY(bus.isRegistered());
    }

    void frameReaderCutsExactlyOneFrame() {
        const QByteArray frame =
            WriteBusFrame(0x02740F34, "Vaultry_downloader.42", QByteArray("a\0b", 3));
        QCOMPARE(frame.size(), 16 + 21 + 3);
        QCOMPARE(frame.left(8), QByteArray("VBUS\x02\x74\x0f\x34", 8));
        // Every proper prefix asks for more; the whole frame, with anything after it, reads
        // as that frame alone.
        for (int cut = 0; cut < frame.size(); ++cut)
            QCOMPARE(ReadBusFrame(frame.left(cut)).status, BusFrame::NeedMore);
        const BusFrame read = ReadBusFrame(frame + "trailing");
        QCOMPARE(read.status, BusFrame::Complete);
        QCOMPARE(read.length, frame.size());
        QCOMPARE(read.tag, 0x02740F34u);
        QCOMPARE(read.sender, QByteArray("Vaultry_downloader.42"));
        QCOMPARE(read.data, QByteArray("a\0b", 3));

        // A wrong magic is bad as soon as the header is there; oversized lengths are bad
        // before their bytes arrive, so nobody waits for a megabyte that is not allowed.
        QCOMPARE(ReadBusFrame(QByteArray(16, 'V')).status, BusFrame::Bad);
        QCOMPARE(ReadBusFrame(QByteArray(15, 'V')).status, BusFrame::NeedMore);
        QByteArray header = frame.left(16);
        header.replace(8, 4, QByteArray("\x00\x00\x10\x01", 4)); // sender 4097 bytes
        QCOMPARE(ReadBusFrame(header).status, BusFrame::Bad);
        header = frame.left(16);
        header.replace(12, 4, QByteArray("\x00\x10\x10\x01", 4)); // data 1 MiB + 4 KiB + 1
        QCOMPARE(ReadBusFrame(header).status, BusFrame::Bad);
        header.replace(12, 4, QByteArray("\x00\x10\x10\x00", 4)); // 1 MiB + 4 KiB: allowed
        QCOMPARE(ReadBusFrame(header).status, BusFrame::NeedMore);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--peer")
        return RunBusPeer(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                          std::atoi(argv[4]));
    TestWindowBus test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestWindowBus.moc"
