#include "core/InstanceLock.h"
#include "core/Protocol.h"
#include "core/TextCodec.h"
#include "core/WindowBus.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>

// The real programs: the download client started as the launch link would start it, against
// the substitute file service, offscreen, with its message boxes answered into a log file.
class TestEndToEndDownload : public QObject {
    Q_OBJECT
    QString source_, save_, boxLog_;

    static QString link(const QByteArray& payload) {
        QStringList codes;
        for (char c : payload)
            codes << QString::number(static_cast<unsigned char>(c));
        return "vastrelle://" + codes.join(',') + "/";
    }

    QByteArray addFile(const QString& name, int size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            bytes[i] = char(QRandomGenerator::global()->bounded(256));
        QDir().mkpath(QFileInfo(source_ + "/" + name).path());
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

    std::unique_ptr<QProcess> client(const QStringList& args) {
        return TestEnvironment::startClient("Vaultry_DOWN", args, boxLog_);
    }

    static void setting(const char* key, const QVariant& value) {
        QSettings s("Vastrelle", "Shuttlebox");
        s.setValue(QString("Config/") + key, value);
    }

private slots:
    void init() {
        TestEnvironment::prepare();
        source_ = TestEnvironment::scratch("source");
        save_ = TestEnvironment::scratch("save");
        boxLog_ = TestEnvironment::scratch("boxes") + "/boxes.log";
        setting("User_Config", 1);
        setting("Default_folder", save_);
        setting("Default_folder_use", 1);
        setting("DOWN_File_over", 1);
        setting("DOWN_Autostart", 1);
    }

    void launchLinkDownloadsAndEndsAfterSigningOff() {
        const QByteArray one = addFile("one.bin", 700000);
        const QByteArray two = addFile(QString::fromUtf8("폴더/둘.txt"), 1234);
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        setting("DOWN_Program_end", 1);
        QByteArray payload = "one.bin?";
        // The page sends code page 949 bytes: "폴더/둘.txt".
        payload += QByteArray("\xC6\xFA\xB4\xF5/\xB5\xD1.txt?");
        payload += "|kim|1";
        auto p = client({"/url", link(payload)});
        QVERIFY(p->waitForFinished(60000));
        QCOMPARE(p->exitCode(), 0);
        QCOMPARE(saved("one.bin"), one);
        QCOMPARE(saved(QString::fromUtf8("폴더/둘.txt")), two);
        QVERIFY(service.log().contains("@Connect_end"));
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes()));
    }

    void aWholeBatchInOneLink() {
        // 180 small files, Korean names, some in subfolders: one link of tens of kilobytes.
        QMap<QString, QByteArray> files;
        QByteArray entries;
        for (int i = 0; i < 180; ++i) {
            const QString folder = i % 3 == 0   ? QString::fromUtf8("사진/여름 %1/").arg(i % 5)
                                   : i % 3 == 1 ? QString("docs/")
                                                : QString();
            const QString name =
                folder + QString::fromUtf8("파일 이름 %1.dat").arg(i, 3, 10, QChar('0'));
            files[name] = addFile(name, 1 + int(QRandomGenerator::global()->bounded(32 * 1024)));
            entries += ToCp949(name) + "?";
        }
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        setting("DOWN_Program_end", 1);
        const QString launch = link(entries + "|kim|1");
        QVERIFY(launch.size() > 10000);
        auto p = client({"/url", launch});
        QVERIFY(p->waitForFinished(120000));
        QCOMPARE(p->exitCode(), 0);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY2(saved(it.key()) == it.value(), qPrintable(it.key()));
        QCOMPARE(service.log().count("header ext="), 180);
        QVERIFY(service.log().contains("sign-off \"kim\""));
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes()));
    }

    void linksThatAreNotRequestsReachNoServer() {
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        // Not a launch link: a start without a request, which needs the page control.
        for (const QStringList& args :
             {QStringList{"/url", "vastrelle:65,66"}, QStringList{"/url", "https://65,66/"},
              QStringList{"/URL", "vastrelle://65,66/"}}) {
            auto p = client(args);
            QVERIFY(p->waitForFinished(20000));
            QCOMPARE(p->exitCode(), 0);
        }
        QCOMPARE(boxes().count("다운로더|홈페이지에서 실행해주세요"), 3);
        // The control connection the test makes now is the service's first one.
        QTcpSocket probe;
        probe.connectToHost(TestEnvironment::address(), 7510);
        QVERIFY(probe.waitForConnected(5000));
        QVERIFY(service.waitForLog("ctl#", 5000));
        QVERIFY2(service.log().contains("ctl#1 connect"), qPrintable(service.log()));
    }

    void killedMidFileTheSameLinkFinishesIt() {
        const QByteArray big = addFile("big.bin", 8 * 1024 * 1024);
        FileServiceProcess service(TestEnvironment::address());
        // The first data connection stops after 3 MB and stays open: the program is killed
        // there, with part of the file on disk.
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--stall-after", "3000000",
                               "--stall-connections", "1"}));
        setting("DOWN_Program_end", 1);
        setting("DOWN_File_over", 3);
        const QString launch = link("big.bin?|kim|1");
        auto first = client({"/url", launch});
        QVERIFY(service.waitForLog("sent 3000000 bytes, stalled", 30000));
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(save_ + "/big.bin").size(), qint64(3000000), 10000);
        ::kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished(10000));
        // The same link again resumes at the local size and ends byte-exact.
        auto second = client({"/url", launch});
        QVERIFY(second->waitForFinished(60000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(saved("big.bin"), big);
        QVERIFY(service.log().contains("offset=\"3000000\""));
    }

    void secondStartHandsItsRequestToTheFirst() {
        const QByteArray first = addFile("first.bin", 300000);
        const QByteArray second = addFile("second.bin", 200000);
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        setting("DOWN_Program_end", 0);
        auto running = client({"/url", link("first.bin?|kim|1")});
        QTRY_VERIFY_WITH_TIMEOUT(boxes().contains("모든 파일이 전송완료되었습니다."), 60000);
        QCOMPARE(saved("first.bin"), first);

        auto handing = client({"/url", link("second.bin?|kim|1")});
        QVERIFY(handing->waitForFinished(20000));
        QCOMPARE(handing->exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(boxes().count("모든 파일이 전송완료되었습니다."), 2, 60000);
        QCOMPARE(saved("second.bin"), second);

        // Without a link, the second start only says that the downloader runs.
        auto plain = client({});
        QVERIFY(plain->waitForFinished(20000));
        QVERIFY2(boxes().contains("다운로더|다운로더가 이미 실행중입니다."), qPrintable(boxes()));
        QVERIFY(running->state() == QProcess::Running);
        running->terminate();
        QVERIFY(running->waitForFinished(10000));
    }

    // The first client holds the lock but its window is not on the bus yet: the request waits
    // for the window instead of being dropped; and once the holder has ended, a start takes the
    // lock and downloads by itself.
    void secondStartWaitsForTheFirstWindowOrItsEnd() {
        const QByteArray file = addFile("late.bin", 100000);
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        setting("DOWN_Program_end", 1);
        auto holder = std::make_unique<InstanceLock>(QStringLiteral("VASTRELLE Download Control"));
        QVERIFY(holder->acquired());

        auto handing = client({"/url", link("late.bin?|kim|1")});
        QVERIFY(handing->waitForStarted(20000));
        QTest::qWait(400); // the client looks for the window and finds none yet
        QVERIFY(handing->state() == QProcess::Running);
        {
            QList<CopyData> received;
            WindowBus window(QString::fromLatin1(Protocol::kDownloadWindowClass));
            window.setHandler([&received](const CopyData& message) {
                received << message;
                return qint64(0);
            });
            QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 20000);
            QCOMPARE(received.first().tag, Protocol::kDownloadTag);
            QVERIFY2(
                received.first().text().startsWith("Vaultry_downloader_Manager|late.bin?|kim|1"),
                received.first().text().constData());
            // The bus answers from this thread's loop, so wait with the loop running.
            QTRY_VERIFY_WITH_TIMEOUT(handing->state() == QProcess::NotRunning, 20000);
            QCOMPARE(handing->exitCode(), 0);
            QCOMPARE(saved("late.bin"), QByteArray("<missing>"));
        }

        // No window this time; the holder ends while the start waits.
        auto taking = client({"/url", link("late.bin?|kim|1")});
        QVERIFY(taking->waitForStarted(20000));
        QTest::qWait(300);
        holder.reset();
        QVERIFY(taking->waitForFinished(60000));
        QCOMPARE(taking->exitCode(), 0);
        QCOMPARE(saved("late.bin"), file);
    }

    // A request that reaches a client while it is ending (its sign-off held up by a slow
    // server) is not handed to the ending window, which would drop it: the new start waits
    // for that client's end and downloads by itself.
    void aStartDuringTheFirstClientsEndIsNotLost() {
        const QByteArray first = addFile("first.bin", 50000);
        const QByteArray second = addFile("second.bin", 60000);
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim", "--delay-ms", "700"}));
        setting("DOWN_Program_end", 1);
        auto ending = client({"/url", link("first.bin?|kim|1")});
        QTRY_VERIFY_WITH_TIMEOUT(service.log().contains("\"@Connect_end\""), 60000);
        auto later = client({"/url", link("second.bin?|kim|1")});
        QVERIFY(ending->waitForFinished(30000));
        QVERIFY(later->waitForFinished(60000));
        QCOMPARE(later->exitCode(), 0);
        QCOMPARE(saved("first.bin"), first);
        QCOMPARE(saved("second.bin"), second);
    }

    // A holder that never shows a window and never ends: the request is given up with a box.
    void secondStartThatNobodyTakesSaysSo() {
        InstanceLock holder(QStringLiteral("VASTRELLE Download Control"));
        QVERIFY(holder.acquired());
        auto handing = client({"/url", link("late.bin?|kim|1")});
        QVERIFY(handing->waitForFinished(30000));
        QCOMPARE(handing->exitCode(), 1);
        QVERIFY2(boxes().contains("실행중인 다운로더가 응답하지 않아 요청을 전하지 못했습니다."),
                 qPrintable(boxes()));
    }

    void startWithoutLinkNeedsThePageControl() {
        auto p = client({"--not-a-link"});
        QVERIFY(p->waitForFinished(20000));
        QCOMPARE(p->exitCode(), 0);
        QVERIFY2(boxes().contains("다운로더|홈페이지에서 실행해주세요"), qPrintable(boxes()));

        const QString pagectl = TestEnvironment::binary("vaultry-pagectl");
        if (!QFile::exists(pagectl))
            QSKIP("vaultry-pagectl is not built");
        const QByteArray data = addFile("paged.bin", 5000);
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--root", source_, "--member", "kim"}));
        setting("DOWN_Program_end", 1);
        QProcess page;
        page.start(pagectl, {"serve", "--download-command",
                             "Vaultry_downloader_Manager|paged.bin?|kim|1", "--once"});
        QVERIFY(page.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QDir(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/vaultry")
                                         .entryList({"VAULtry_AX_EXE.*"}, QDir::System)
                                         .size() == 1,
                                 10000);
        // Started without a request, the window announces itself and gets its work.
        auto p2 = client({});
        QVERIFY(p2->waitForFinished(60000));
        QCOMPARE(saved("paged.bin"), data);
        page.kill();
        page.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestEndToEndDownload)
#include "TestEndToEndDownload.moc"
