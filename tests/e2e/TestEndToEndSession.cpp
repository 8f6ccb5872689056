#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

struct Launch {
    bool logBoxes = true; // else the boxes really open (offscreen) and wait for a click
    rlim_t fileSizeLimit = 0;
};

// The real clients at the end of the member's session, offscreen: the signals of a logout, a
// closed terminal or Ctrl+C run the exit without a question, a second one ends at once, and a
// file-size limit ends a file the way a full disk does.
class TestEndToEndSession : public QObject {
    Q_OBJECT
    QString source_, save_, boxLog_, picture_;

    std::unique_ptr<QProcess> client(const QString& program, const QStringList& args,
                                     const Launch& launch = {}) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VAULTRY_FILE_SERVER", TestEnvironment::address());
        env.insert("VAULTRY_HOMEPAGE", "http://" + TestEnvironment::address() + ":7580");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("VAULTRY_SCREENSHOT", picture_); // saved when a list ends, before its box
        if (launch.logBoxes)
            env.insert("VAULTRY_MODAL_LOG", boxLog_);
        else
            env.remove("VAULTRY_MODAL_LOG");
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->setWorkingDirectory(qEnvironmentVariable("VAULTRY_BIN_DIR"));
        if (const rlim_t limit = launch.fileSizeLimit) {
            p->setChildProcessModifier([limit] {
                const rlimit fileSize{limit, limit};
                ::setrlimit(RLIMIT_FSIZE, &fileSize);
            });
        }
        p->start(TestEnvironment::binary(program), args);
        return p;
    }

    std::unique_ptr<QProcess> download(const QByteArray& request, const Launch& launch = {}) {
        QStringList codes;
        for (char c : request)
            codes << QString::number(static_cast<unsigned char>(c));
        return client("Vaultry_DOWN", {"/url", "vastrelle://" + codes.join(',') + "/"}, launch);
    }

    QByteArray addFile(const QString& name, int size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            bytes[i] = char(QRandomGenerator::global()->bounded(256));
        QFile f(source_ + "/" + name);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return bytes;
    }

    QByteArray saved(const QString& name) const {
        QFile f(save_ + "/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QString boxes() const {
        QFile f(boxLog_);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    // The lock files and bus endpoints of the clients.
    static QStringList runtimeEntries() {
        return QDir(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/vaultry")
            .entryList(QDir::System | QDir::Files | QDir::Hidden);
    }

    static void setting(const char* key, const QVariant& value) {
        QSettings s("Vastrelle", "Shuttlebox");
        s.setValue(QString("Config/") + key, value);
    }

    // The client ran its exit to the end: a normal end, and nothing of it left behind.
    static bool endedCleanly(QProcess& p) {
        const bool ended = p.waitForFinished(30000);
        const QStringList left = runtimeEntries();
        if (ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && left.isEmpty())
            return true;
        qWarning() << "ended" << ended << "status" << p.exitStatus() << "code" << p.exitCode()
                   << "left behind" << left;
        return false;
    }

private slots:
    void init() {
        TestEnvironment::prepare();
        source_ = TestEnvironment::scratch("source");
        save_ = TestEnvironment::scratch("save");
        boxLog_ = TestEnvironment::scratch("boxes") + "/boxes.log";
        picture_ = TestEnvironment::scratch("picture") + "/list-end.png";
        QDir(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/vaultry").removeRecursively();
        setting("User_Config", 1);
        setting("Default_folder", save_);
        setting("Default_folder_use", 1);
        setting("DOWN_File_over", 3);
        setting("DOWN_Autostart", 1);
        setting("DOWN_Program_end", 0);
    }

    void aSignalRunsTheExitWithoutAsking_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    // Mid-file: the member is signed off, the endpoint and lock go, no question is asked,
    // and the bytes stay for the next start.
    void aSignalRunsTheExitWithoutAsking() {
        QFETCH(int, signalNumber);
        addFile("big.bin", 2000000);
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--stall-after", "300000"}));
        auto p = download("big.bin?|kim|1");
        QVERIFY(service.waitForLog("sent 300000 bytes, stalled", 30000));
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(save_ + "/big.bin").size(), qint64(300000), 10000);
        QCOMPARE(runtimeEntries().size(), 2); // the window's endpoint and the lock

        ::kill(pid_t(p->processId()), signalNumber);
        QVERIFY(endedCleanly(*p));
        QVERIFY2(service.log().contains("sign-off \"kim\""), qPrintable(service.log()));
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes()));
        QCOMPARE(QFileInfo(save_ + "/big.bin").size(), qint64(300000));
    }

    void aSecondSignalEndsAtOnce() {
        addFile("big.bin", 2000000);
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--stall-after", "300000",
                               "--hang-on", "@Connect_end"}));
        auto p = download("big.bin?|kim|1");
        QVERIFY(service.waitForLog("sent 300000 bytes, stalled", 30000));
        ::kill(pid_t(p->processId()), SIGTERM);
        // The sign-off waits for a reply that never comes; the second signal does not wait.
        QVERIFY(service.waitForLog("\"@Connect_end\" -> (hang: no reply)", 20000));
        ::kill(pid_t(p->processId()), SIGTERM);
        QVERIFY(p->waitForFinished(20000));
        QCOMPARE(p->exitStatus(), QProcess::CrashExit);
        QCOMPARE(p->exitCode(), int(SIGTERM));
    }

    // Logout finds the completion box open, and the file service gone: neither the open box
    // nor the sign-off's failure box holds the end.
    void noBoxHoldsTheEndOfTheSession() {
        addFile("small.bin", 5000);
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        auto p = download("small.bin?|kim|1", {.logBoxes = false});
        // The picture is taken when the list ends, right before the completion box opens.
        QTRY_VERIFY_WITH_TIMEOUT(!QImage(picture_).isNull() || p->state() == QProcess::NotRunning,
                                 60000);
        QVERIFY(p->state() == QProcess::Running);
        service.stop();
        ::kill(pid_t(p->processId()), SIGTERM);
        QVERIFY(endedCleanly(*p));
    }

    void theUploadClientEndsOnASignalWithoutAsking() {
        const QString pagectl = TestEnvironment::binary("vaultry-pagectl");
        const QString file = source_ + "/up.bin";
        addFile("up.bin", 10000);
        FileServiceProcess service(TestEnvironment::address());
        // Every data connection is closed at once: the file stays unfinished.
        QVERIFY(service.start(
            {"--member", "kim", "--upload-list", "list9=" + file, "--refuse-data", "close"}));
        setting("UP_Autostart", 1);
        QCOMPARE(QProcess::execute(pagectl, {"allow", "list9", file}), 0);
        QProcess page;
        page.start(pagectl,
                   {"serve", "--upload-command", "Vaultry_uploader_Manager|list9|kim|1", "--once"});
        QVERIFY(page.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(runtimeEntries().filter("VAULtry_AX_EXE.").size() == 1, 10000);

        auto p = client("Vaultry_UPLOAD", {});
        QVERIFY(service.waitForLog("refused (closed at once)", 30000));
        QTRY_COMPARE_WITH_TIMEOUT(page.state(), QProcess::NotRunning, 10000); // it served once
        ::kill(pid_t(p->processId()), SIGTERM);
        QVERIFY(endedCleanly(*p));
        QVERIFY2(!boxes().contains("종료확인"), qPrintable(boxes()));
    }

    // A file-size limit (ulimit -f) ends the file as a full disk does: its box, the bytes
    // written so far kept, the program still running.
    void aFileSizeLimitEndsTheFileAsAFullDisk() {
        const QByteArray big = addFile("big.bin", 1000000);
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        auto p = download("big.bin?|kim|1", {.fileSizeLimit = 400000});
        const QString diskFull = "디스크 공간이 부족하여 다운로드를 멈추었습니다.";
        QTRY_VERIFY_WITH_TIMEOUT(boxes().contains(diskFull) || p->state() == QProcess::NotRunning,
                                 60000);
        QVERIFY2(boxes().contains(diskFull), qPrintable(boxes()));
        QCOMPARE(saved("big.bin"), big.left(400000));
        QVERIFY(p->state() == QProcess::Running);
        ::kill(pid_t(p->processId()), SIGTERM);
        QVERIFY(endedCleanly(*p));
    }
};

QTEST_GUILESS_MAIN(TestEndToEndSession)
#include "TestEndToEndSession.moc"
