#include "core/TextCodec.h"
#include "core/WindowBus.h"
#include "tests/support/TestEnvironment.h"

#include <QProcess>
#include <QtTest>

namespace {

constexpr quint32 kDownloadTag = 41160500;
constexpr quint32 kUploadTag = 60504110;

QByteArray withNul(const QByteArray& text) {
    QByteArray data = text;
    data.append('\0');
    return data;
}

} // namespace

class TestPageCtl : public QObject {
    Q_OBJECT

    QString program() const { return TestEnvironment::binary("vaultry-pagectl"); }

    // Starts `serve` and returns once its class is on the bus.
    QProcess* startServe(const QStringList& args) {
        auto* p = new QProcess(this);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(program(), QStringList{"serve"} + args);
        if (!p->waitForStarted(5000) || !p->waitForReadyRead(10000))
            return nullptr;
        if (!p->readLine().startsWith("ready VAULtry_AX_EXE."))
            return nullptr;
        return p;
    }

    // waitForFinished() answers false for a process that has already ended.
    static bool ended(QProcess* p) {
        return p->state() == QProcess::NotRunning || p->waitForFinished(10000);
    }

    static void stop(QProcess* p) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        QVERIFY(QFileInfo(program()).isExecutable());
    }

    void downloadAnnouncementIsAnsweredWithTheCommand() {
        const QString command = QString::fromUtf8("Vaultry_downloader_Manager|자료.zip|kim|3");
        QProcess* serve =
            startServe({"--download-command", command, "--upload-command", "U", "--once"});
        QVERIFY(serve);
        const QString control = WindowBus::findWindow("VAULtry_AX_EXE");
        QVERIFY(control.startsWith("VAULtry_AX_EXE."));

        WindowBus client("Vaultry_downloader");
        QVERIFY(client.isRegistered());
        QList<CopyData> received;
        client.setHandler([&](const CopyData& m) {
            received.append(m);
            return 1;
        });
        const auto answer = WindowBus::send(control, kDownloadTag, client.endpoint(),
                                            withNul("Vaultry_Downloader"));
        QVERIFY(answer.has_value());
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received[0].tag, kDownloadTag);
        QCOMPARE(received[0].data, withNul(ToCp949(command)));
        QCOMPARE(received[0].sender, control);

        QVERIFY(ended(serve));
        QCOMPARE(serve->exitStatus(), QProcess::NormalExit);
        QCOMPARE(serve->exitCode(), 0);
        // Only the download commands answer a download client.
        QCOMPARE(received.size(), 1);
        const QByteArray log = serve->readAll();
        QVERIFY2(log.contains("received tag 41160500"), log.constData());
        QVERIFY2(log.contains("sent tag 41160500"), log.constData());
    }

    void uploadAnnouncementGetsEveryUploadCommandInOrder() {
        QProcess* serve =
            startServe({"--upload-command", "Vaultry_uploader_Manager|K1|kim|2", "--upload-command",
                        "Vaultry_uploader_Manager|K2|kim|2", "--download-command", "D", "--once"});
        QVERIFY(serve);
        const QString control = WindowBus::findWindow("VAULtry_AX_EXE");
        WindowBus client("vaultry_uploader");
        QList<CopyData> received;
        client.setHandler([&](const CopyData& m) {
            received.append(m);
            return 1;
        });
        // Neither a wrong text under the upload tag, nor the upload text under the download
        // tag, nor an announcement without a window to answer counts as an announcement.
        QCOMPARE(WindowBus::send(control, kUploadTag, client.endpoint(), withNul("vaultry_up")),
                 std::optional<qint64>(0));
        QCOMPARE(
            WindowBus::send(control, kDownloadTag, client.endpoint(), withNul("vaultry_uploader")),
            std::optional<qint64>(0));
        QCOMPARE(WindowBus::send(control, kUploadTag, QString(), withNul("vaultry_uploader")),
                 std::optional<qint64>(0));
        QCOMPARE(serve->state(), QProcess::Running);

        QCOMPARE(
            WindowBus::send(control, kUploadTag, client.endpoint(), withNul("vaultry_uploader")),
            std::optional<qint64>(1));
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(received[0].tag, kUploadTag);
        QCOMPARE(received[0].data, withNul("Vaultry_uploader_Manager|K1|kim|2"));
        QCOMPARE(received[1].data, withNul("Vaultry_uploader_Manager|K2|kim|2"));
        QVERIFY(ended(serve));
        QCOMPARE(serve->exitCode(), 0);
        QCOMPARE(received.size(), 2);
    }

    void vanishedClientMakesOnceFail() {
        QProcess* serve = startServe({"--download-command", "X", "--once"});
        QVERIFY(serve);
        const QString control = WindowBus::findWindow("VAULtry_AX_EXE");
        // The sender names an endpoint that nobody listens on.
        QCOMPARE(WindowBus::send(control, kDownloadTag, "Vaultry_downloader.1",
                                 withNul("Vaultry_Downloader")),
                 std::optional<qint64>(1));
        QVERIFY(ended(serve));
        QCOMPARE(serve->exitCode(), 2);
    }

    void sendReachesTheWindowOfTheClass() {
        WindowBus target("Test_target");
        QList<CopyData> received;
        target.setHandler([&](const CopyData& m) {
            received.append(m);
            return 77;
        });
        QProcess send;
        send.start(program(), {"send", "--class", "Test_target", "--tag", "41160500",
                               QString::fromUtf8("Vaultry_downloader_Manager|한글|id|1")});
        // The answer comes from this thread's event loop, so wait without blocking it.
        QTRY_COMPARE(received.size(), 1);
        QVERIFY(ended(&send));
        QCOMPARE(send.exitCode(), 0);
        QCOMPARE(received[0].tag, kDownloadTag);
        QCOMPARE(received[0].data,
                 withNul(ToCp949(QString::fromUtf8("Vaultry_downloader_Manager|한글|id|1"))));
        QVERIFY(send.readAllStandardOutput().contains("answer 77"));
    }

    void sendExitCodes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("missing class")
            << QStringList{"send", "--class", "No_such", "--tag", "1", "x"} << 1;
        QTest::newRow("bad tag") << QStringList{"send", "--class", "No_such", "--tag", "x1", "x"}
                                 << 2;
        QTest::newRow("no text") << QStringList{"send", "--class", "No_such", "--tag", "1"} << 2;
        QTest::newRow("not in cp949")
            << QStringList{"send", "--class", "No_such", "--tag", "1", QString::fromUtf8("😀")} << 2;
        QTest::newRow("unknown mode") << QStringList{"listen"} << 2;
        QTest::newRow("serve bad option") << QStringList{"serve", "--verbose"} << 2;
        QTest::newRow("serve missing text") << QStringList{"serve", "--download-command"} << 2;
    }

    void sendExitCodes() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QProcess p;
        p.start(program(), args);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), code);
    }

    void cleanup() {
        for (QProcess* p : findChildren<QProcess*>())
            stop(p);
    }
};

QTEST_GUILESS_MAIN(TestPageCtl)
#include "TestPageCtl.moc"
