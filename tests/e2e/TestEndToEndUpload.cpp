#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

// The real programs: the page control stand-in feeds the upload client started without
// arguments; the substitute file service receives the files. Offscreen, with the client's
// message boxes answered into a log file.
class TestEndToEndUpload : public QObject {
    Q_OBJECT
    QString source_, store_, boxLog_;

    QString addFile(const QString& name, int size, QByteArray* bytes) {
        bytes->resize(size);
        for (int i = 0; i < size; ++i)
            (*bytes)[i] = char(QRandomGenerator::global()->bounded(256));
        const QString path = QDir(source_).filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(*bytes);
        return path;
    }

    QByteArray stored(const QString& name) const {
        QFile f(QDir(store_).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QString boxes() const {
        QFile f(boxLog_);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    std::unique_ptr<QProcess> client(const QStringList& args = {}) {
        return TestEnvironment::startClient("Vaultry_UPLOAD", args, boxLog_);
    }

    static void setting(const char* key, const QVariant& value) {
        QSettings s("Vastrelle", "Shuttlebox");
        s.setValue(QString("Config/") + key, value);
    }

    static bool pageControlRegistered() {
        return QDir(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/vaultry")
                   .entryList({"VAULtry_AX_EXE.*"}, QDir::System)
                   .size() == 1;
    }

private slots:
    void init() {
        TestEnvironment::prepare();
        source_ = TestEnvironment::scratch("source");
        store_ = TestEnvironment::scratch("store");
        boxLog_ = TestEnvironment::scratch("boxes") + "/boxes.log";
    }

    void withoutThePageControlItPointsToTheHomepage() {
        auto p = client({"--any", "arguments"});
        QVERIFY(p->waitForFinished(20000));
        QCOMPARE(p->exitCode(), 0);
        QVERIFY2(boxes().contains("업로더|홈페이지에서 실행해주세요."), qPrintable(boxes()));
        // The first start wrote the first-run settings.
        QSettings s("Vastrelle", "Shuttlebox");
        QCOMPARE(s.value("Config/User_Config").toInt(), 1);
        QCOMPARE(s.value("Config/UP_Autostart").toInt(), 1);
    }

    void pageControlFeedsItAndItEndsByItself() {
        const QString pagectl = TestEnvironment::binary("vaultry-pagectl");
        if (!QFile::exists(pagectl))
            QSKIP("vaultry-pagectl is not built");
        QByteArray one, two;
        const QString first = addFile("one.bin", 900000, &one);
        const QString second = addFile(QString::fromUtf8("둘째 파일.txt"), 1234, &two);
        FileServiceProcess service(TestEnvironment::address());
        QVERIFY(service.start({"--member", "kim", "--store", store_, "--upload-list",
                               "list7=" + first + "," + second}));
        setting("User_Config", 1);
        setting("UP_Autostart", 1);
        setting("UP_Program_end", 1);
        // The member's choice, as the page control records it.
        QCOMPARE(QProcess::execute(pagectl, {"allow", "list7", first, second}), 0);

        QProcess page;
        page.setProcessChannelMode(QProcess::MergedChannels);
        page.start(pagectl,
                   {"serve", "--upload-command", "Vaultry_uploader_Manager|list7|kim|1", "--once"});
        QVERIFY(page.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(pageControlRegistered(), 10000);

        auto p = client();
        QVERIFY(p->waitForFinished(60000));
        QCOMPARE(p->exitCode(), 0);
        QVERIFY(page.waitForFinished(10000));
        QCOMPARE(page.exitCode(), 0);
        const QString pageLog = QString::fromLocal8Bit(page.readAll());
        QVERIFY2(pageLog.contains("received tag 60504110"), qPrintable(pageLog));
        QVERIFY2(pageLog.contains("\"vaultry_uploader\""), qPrintable(pageLog));

        QVERIFY(service.waitForLog("upload complete: file 1002", 10000));
        QTRY_COMPARE_WITH_TIMEOUT(service.log().count("(client closed)"), 2, 10000);
        QCOMPARE(stored("one.bin"), one);
        QCOMPARE(stored(QString::fromUtf8("둘째 파일.txt")), two);
        QCOMPARE(service.log().count("(matches)"), 2);
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes()));
    }
};

QTEST_GUILESS_MAIN(TestEndToEndUpload)
#include "TestEndToEndUpload.moc"
