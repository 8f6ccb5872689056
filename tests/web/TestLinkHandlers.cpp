// The member's file page in a real browser engine, its links followed to the end: each link
// the page asks the browser to open is handed to the handler that the .desktop files of res/
// name for its scheme, run as the desktop runs its Exec line (the link in place of %u, the
// program from the build's bin folder), until the files arrive byte for byte: downloaded into
// the save folder, uploaded into the service's store.

#include "tests/pagectl/PageFlowSupport.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"
#include "tests/web/HomepageDriver.h"
#include "tools/webdemo/CaughtLink.h"
#include "tools/webdemo/DesktopEntry.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QWebEngineProfile>
#include <QtTest>

#include <memory>

namespace {

// Whatever might still try to open a link lands here instead of on the desktop.
class LinkSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

} // namespace

class TestLinkHandlers : public QObject {
    Q_OBJECT

    std::unique_ptr<FileServiceProcess> service_;
    LinkSink sink_;
    QWebEngineProfile* profile_ = nullptr;
    std::unique_ptr<HomepageDriver> page_;
    QString root_, store_, save_, uploads_, boxLog_, outputs_;
    int handlers_ = 0;

    QString boxes() const {
        QFile f(boxLog_);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    static void setting(const char* key, const QVariant& value) {
        QSettings s("Vastrelle", "Shuttlebox");
        s.setValue(QString("Config/") + key, value);
    }

    bool openPage() {
        return page_->open(QUrl(QStringLiteral("http://%1:7580/").arg(TestEnvironment::address())));
    }

    // Presses the button and returns the link the page asked the browser to open.
    QString press(const QString& button) {
        const qsizetype before = page_->asked().size();
        if (!page_->click(HomepageDriver::buttonNamed(button)) ||
            !QTest::qWaitFor([&] { return page_->asked().size() > before; }, 10000))
            return QString();
        return CaughtLinkText(page_->asked().last());
    }

    // Starts the link's handler as the desktop would: the .desktop file of res/ that handles
    // its scheme, its Exec line with the link for %u, the program from the build.
    std::unique_ptr<QProcess> handOver(const QString& link, const QProcessEnvironment& env) {
        const QString desktopFile = DesktopEntry::handlerFor(
            qEnvironmentVariable("VAULTRY_SOURCE_DIR") + "/res", DesktopEntry::schemeOf(link));
        const QStringList command = DesktopEntry::commandFor(desktopFile, link);
        if (command.isEmpty()) {
            qWarning("no handler for %s", qPrintable(link.left(40)));
            return nullptr;
        }
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setStandardOutputFile(
            QDir(outputs_).filePath(QStringLiteral("handler-%1").arg(handlers_++)));
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(TestEnvironment::binary(command[0]), command.mid(1));
        return p;
    }

    static bool finished(QProcess& p, int timeoutMs) {
        return QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs);
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        QDesktopServices::setUrlHandler(QStringLiteral("vastrelle"), &sink_, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("vastrelle-page"), &sink_, "open");
        root_ = TestEnvironment::scratch("root");
        store_ = TestEnvironment::scratch("store");
        save_ = TestEnvironment::scratch("save");
        uploads_ = TestEnvironment::scratch("uploads");
        outputs_ = TestEnvironment::scratch("outputs");
        boxLog_ = TestEnvironment::scratch("boxes") + "/boxes.log";
        profile_ = new QWebEngineProfile(this);
        page_ = std::make_unique<HomepageDriver>(profile_);
        setting("User_Config", 1);
        setting("Default_folder", save_);
        setting("Default_folder_use", 1);
        setting("DOWN_File_over", 1);
        setting("DOWN_Autostart", 1);
        setting("DOWN_Program_end", 1);
        setting("UP_Autostart", 1);
        setting("UP_Program_end", 1);
    }

    void init() { QFile::remove(boxLog_); }

    void downloadButtonBringsTheTickedFiles() {
        QByteArray korean(250000, Qt::Uninitialized);
        for (int i = 0; i < korean.size(); ++i)
            korean[i] = char(i * 7 + i / 251);
        const QByteArray plain = "plain text\n";
        QVERIFY(PageFlow::writeFile(root_ + QString::fromUtf8("/사진/여름 바다.jpg"), korean));
        QVERIFY(PageFlow::writeFile(root_ + "/notes.txt", plain));
        QVERIFY(PageFlow::writeFile(root_ + "/left-alone.bin", "not ticked"));
        service_ = std::make_unique<FileServiceProcess>(TestEnvironment::address());
        // The service's default state folder (under this test's home): the page control reads
        // the registration token from there.
        QVERIFY(service_->start({"--root", root_, "--store", store_, "--member", "kim"}));

        QVERIFY(openPage());
        QVERIFY(page_->tick(QString::fromUtf8("사진/여름 바다.jpg")));
        QVERIFY(page_->tick("notes.txt"));
        QVERIFY(page_->typeMember("kim"));
        const QString link = press(QString::fromUtf8("다운로드"));
        QVERIFY2(link.startsWith("vastrelle://"), qPrintable(link));

        auto handler = handOver(link, PageFlow::programEnvironment(boxLog_));
        QVERIFY(handler);
        // The download client ends by itself once the list is done.
        QVERIFY(finished(*handler, 120000));
        QCOMPARE(handler->exitStatus(), QProcess::NormalExit);
        QCOMPARE(handler->exitCode(), 0);
        QCOMPARE(PageFlow::contents(save_ + QString::fromUtf8("/사진/여름 바다.jpg")), korean);
        QCOMPARE(PageFlow::contents(save_ + "/notes.txt"), plain);
        QVERIFY(!QFile::exists(save_ + "/left-alone.bin"));
        QVERIFY(service_->log().contains("sign-off \"kim\""));
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes()));
    }

    void uploadButtonSendsTheChosenFiles() {
        QVERIFY(service_);
        QByteArray picture(700000, Qt::Uninitialized);
        for (int i = 0; i < picture.size(); ++i)
            picture[i] = char((i * 13) ^ (i >> 9));
        const QByteArray memo = "메모: 업로드 시험\n";
        const QString one = uploads_ + QString::fromUtf8("/올릴 사진.png");
        const QString two = uploads_ + "/memo.txt";
        QVERIFY(PageFlow::writeFile(one, picture));
        QVERIFY(PageFlow::writeFile(two, memo));
        // What the member picks in the chooser.
        const QString answer = outputs_ + "/chosen.txt";
        QVERIFY(PageFlow::writeFile(answer, (one + "\n" + two + "\n").toUtf8()));

        QVERIFY(openPage());
        QVERIFY(page_->typeMember("kim"));
        const QString link = press(QString::fromUtf8("업로드"));
        QVERIFY2(link.startsWith("vastrelle-page://"), qPrintable(link));

        QProcessEnvironment env = PageFlow::programEnvironment(boxLog_);
        env.insert("VAULTRY_CHOSEN_FILES", answer);
        auto handler = handOver(link, env);
        QVERIFY(handler);
        // The page control ends once the upload client has the list.
        QVERIFY(finished(*handler, 60000));
        QCOMPARE(handler->exitCode(), 0);
        QVERIFY(service_->waitForLog("upload complete: file 1002", 60000));
        QVERIFY(PageFlow::waitUntilEnded("Vaultry_UPLOAD", 60000));
        QCOMPARE(PageFlow::contents(store_ + QString::fromUtf8("/올릴 사진.png")), picture);
        QCOMPARE(PageFlow::contents(store_ + "/memo.txt"), memo);
        QCOMPARE(service_->log().count("(matches)"), 2);
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes()));
    }

    void cleanupTestCase() {
        page_.reset();
        QCOMPARE(sink_.opened, QList<QUrl>());
        QDesktopServices::unsetUrlHandler(QStringLiteral("vastrelle"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("vastrelle-page"));
        service_.reset();
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestLinkHandlers test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestLinkHandlers.moc"
