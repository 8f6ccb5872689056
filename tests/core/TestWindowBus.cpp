#include "InstanceLock.h"
#include "RuntimeDir.h"
#include "TestEnvironment.h"
#include "WindowBus.h"

#include <QLocalSocket>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

// The peer half runs in a child process started from this same executable.
static int runPeer(const QString& className, const QString& lockName) {
    InstanceLock lock(lockName);
    WindowBus bus(className);
    bus.setHandler([&](const CopyData& m) -> qint64 {
        if (m.text() == "call-me-back") {
            const QString sender = m.sender;
            QTimer::singleShot(
                0, [sender, &bus] { WindowBus::send(sender, 2, bus.endpoint(), "callback"); });
        }
        if (m.text() == "quit")
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return qint64(m.tag) * 1000 + m.text().size();
    });
    printf("%s %d\n", bus.isRegistered() ? "ready" : "failed", lock.acquired() ? 1 : 0);
    fflush(stdout);
    return QCoreApplication::exec();
}

class TestWindowBus : public QObject {
    Q_OBJECT

    QProcess* startPeer(const QString& className, const QString& lockName) {
        auto* p = new QProcess(this);
        p->start(QCoreApplication::applicationFilePath(), {"--peer", className, lockName});
        if (!p->waitForStarted() || !p->waitForReadyRead(10000))
            return nullptr;
        return p;
    }

private slots:
    void initTestCase() { TestEnvironment::prepare(); }

    void copyDataRoundTripBetweenProcesses() {
        QProcess* peer = startPeer("Test_peer", "peer lock");
        QVERIFY(peer);
        QCOMPARE(peer->readLine().trimmed(), QByteArray("ready 1"));
        const QString endpoint = WindowBus::findWindow("Test_peer");
        QVERIFY(endpoint.startsWith("Test_peer."));
        QCOMPARE(WindowBus::findWindow("Nobody_here"), QString());

        // The receiver reads no further than the bytes sent, and stops at a terminator.
        QCOMPARE(WindowBus::send(endpoint, 41160500, "", "abc").value(), 41160500003LL);
        QCOMPARE(WindowBus::send(endpoint, 7, "", QByteArray("ab\0cd", 5)).value(), 7002LL);
        QCOMPARE(WindowBus::send(endpoint, 7, "", QByteArray()).value(), 7000LL);

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

        // A second holder of the lock name is refused while the peer lives.
        QVERIFY(!InstanceLock("peer lock").acquired());

        WindowBus::send(endpoint, 1, "", "quit");
        QVERIFY(peer->waitForFinished(5000));
        QCOMPARE(WindowBus::findWindow("Test_peer"), QString());
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

    void runtimeFolderIsPrivate() {
        const QString dir = PrivateRuntimeDir();
        QVERIFY(!dir.isEmpty());
        QVERIFY(dir.startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR")));
        ::chmod(QFile::encodeName(dir).constData(), 0755);
        QCOMPARE(PrivateRuntimeDir(), dir);
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(dir).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), 0700);
        // Oversized or garbage frames do not take the receiver down.
        WindowBus bus("Test_garbage");
        QLocalSocket raw;
        raw.connectToServer(dir + "/" + bus.endpoint());
        QVERIFY(raw.waitForConnected(2000));
        raw.write(QByteArray(64, '\xff'));
        raw.flush();
        QTRY_COMPARE(raw.state(), QLocalSocket::UnconnectedState);
        QVERIFY(bus.isRegistered());
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--peer")
        return runPeer(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestWindowBus test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestWindowBus.moc"
