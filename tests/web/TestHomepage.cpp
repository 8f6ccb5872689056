// The member's file page of vaultry-fileservice, driven in Qt WebEngine the way a member uses
// it: rows ticked and buttons pressed with the mouse, the member id typed. The launch links
// the page asks the browser to open are caught before anything opens them, and their decoded
// bytes are compared with the requests the download client and the page control expect.

#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"
#include "tests/web/HomepageDriver.h"
#include "tools/webdemo/CaughtLink.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtTest>

#include <memory>

namespace {

QByteArray cp949(const QString& text) {
    QStringEncoder encoder("windows-949");
    return encoder.encode(text);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Whatever might still try to open a launch link lands here instead of on the desktop.
class LinkSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

} // namespace

class TestHomepage : public QObject {
    Q_OBJECT

    std::unique_ptr<FileServiceProcess> service_;
    LinkSink sink_;
    QWebEngineProfile* profile_ = nullptr; // off the record: nothing written to disk
    std::unique_ptr<HomepageDriver> page_;

    bool openHomepage() {
        return page_->open(QUrl(QStringLiteral("http://%1:7580/").arg(TestEnvironment::address())));
    }
    static QByteArray linkText(const QUrl& url) { return CaughtLinkText(url).toUtf8(); }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        QDesktopServices::setUrlHandler(QStringLiteral("vastrelle"), &sink_, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("vastrelle-page"), &sink_, "open");
        const QString root = TestEnvironment::scratch(QStringLiteral("root"));
        QVERIFY(writeFile(root + "/a.txt", "plain"));
        QVERIFY(writeFile(root + QStringLiteral("/docs/보고서.pdf"), QByteArray(3000, 'p')));
        QVERIFY(writeFile(root + QStringLiteral("/한글 파일.txt"), "korean"));
        QVERIFY(writeFile(root + "/zeta.bin", QByteArray(10, 'z')));
        QVERIFY(writeFile(root + "/what?.txt", "asked"));
        for (int i = 0; i < 181; ++i)
            QVERIFY(
                writeFile(root + QStringLiteral("/many/file-with-a-long-name-%1.dat").arg(i), "x"));
        profile_ = new QWebEngineProfile(this);
        page_ = std::make_unique<HomepageDriver>(profile_);
        service_ = std::make_unique<FileServiceProcess>(TestEnvironment::address());
        QVERIFY(service_->start({"--root", root, "--state",
                                 TestEnvironment::scratch(QStringLiteral("state")), "--member",
                                 "kim"}));
    }

    void downloadLinkCarriesTheTickedEntries() {
        QVERIFY(openHomepage());
        // The page is UTF-8 and shows the Korean names as they are.
        QVERIFY(page_
                    ->evaluate(HomepageDriver::rowOf(QStringLiteral("docs/보고서.pdf")) +
                               " !== undefined")
                    .toBool());
        QCOMPARE(page_->evaluate("document.characterSet").toString(), QString("UTF-8"));
        // A name with "?" would break the request apart: its row takes no tick.
        QVERIFY(page_->click(HomepageDriver::rowOf("what?.txt")));
        QVERIFY(page_->tick(QStringLiteral("한글 파일.txt")));
        QVERIFY(page_->tick(QStringLiteral("docs/보고서.pdf")));
        QVERIFY(
            !page_->evaluate(HomepageDriver::rowOf("what?.txt") + ".querySelector('input').checked")
                 .toBool());
        QVERIFY(page_->typeMember("kim"));
        QVERIFY(page_->click(HomepageDriver::buttonNamed(QStringLiteral("다운로드"))));
        QTRY_COMPARE_WITH_TIMEOUT(page_->asked().size(), 1, 10000);
        QByteArray request;
        QVERIFY2(HomepageDriver::decodeLink(page_->asked()[0], "vastrelle", request),
                 linkText(page_->asked()[0]).constData());
        // Entries in the page's order, each followed by "?", then member and server number.
        QCOMPARE(request, cp949(QStringLiteral("docs/보고서.pdf?한글 파일.txt?|kim|1")));
        QCOMPARE(page_->notice(), QString());
    }

    void uploadLinkNamesTheMember() {
        QVERIFY(openHomepage());
        QVERIFY(page_->typeMember("kim"));
        QVERIFY(page_->click(HomepageDriver::buttonNamed(QStringLiteral("업로드"))));
        QTRY_COMPARE_WITH_TIMEOUT(page_->asked().size(), 1, 10000);
        QByteArray request;
        QVERIFY2(HomepageDriver::decodeLink(page_->asked()[0], "vastrelle-page", request),
                 linkText(page_->asked()[0]).constData());
        QCOMPARE(request, QByteArray("Vaultry_uploader_Choose|kim|1"));
    }

    void emptyOrUnusableInputShowsANotice() {
        QVERIFY(openHomepage());
        QVERIFY(page_->tick("a.txt"));
        QCOMPARE(page_->notice(), QString());
        QVERIFY(page_->click(HomepageDriver::buttonNamed(QStringLiteral("다운로드"))));
        QTRY_VERIFY_WITH_TIMEOUT(!page_->notice().isEmpty(), 5000);
        const QString emptyMember = page_->notice();
        // Typing takes the notice away; the upload button with the field empty again brings it.
        QVERIFY(page_->typeMember("x"));
        QTRY_COMPARE_WITH_TIMEOUT(page_->notice(), QString(), 5000);
        QTest::keyClick(page_->view()->focusProxy(), Qt::Key_Backspace);
        QVERIFY(page_->click(HomepageDriver::buttonNamed(QStringLiteral("업로드"))));
        QTRY_COMPARE_WITH_TIMEOUT(page_->notice(), emptyMember, 5000);
        // A member id the page cannot encode is refused with its own notice.
        page_->evaluate("var m = document.querySelector('input[type=text]'); m.value = '김철수';"
                        " m.dispatchEvent(new Event('input'));");
        QTRY_COMPARE_WITH_TIMEOUT(page_->notice(), QString(), 5000);
        QVERIFY(page_->click(HomepageDriver::buttonNamed(QStringLiteral("다운로드"))));
        QTRY_VERIFY_WITH_TIMEOUT(!page_->notice().isEmpty() && page_->notice() != emptyMember,
                                 5000);
        // More files than one launch link can carry: told, not sent.
        page_->evaluate("document.querySelector('input[type=text]').value = '';");
        QVERIFY(page_->typeMember("kim"));
        QTRY_COMPARE_WITH_TIMEOUT(page_->notice(), QString(), 5000);
        QVERIFY(page_->click(QStringLiteral("document.querySelector('.files-head input')")));
        QVERIFY(page_->click(HomepageDriver::buttonNamed(QStringLiteral("다운로드"))));
        QTRY_VERIFY_WITH_TIMEOUT(!page_->notice().isEmpty(), 5000);
        // None of that navigated: the first link asked for is the one that follows.
        QVERIFY(page_->click(HomepageDriver::buttonNamed(QStringLiteral("업로드"))));
        QTRY_COMPARE_WITH_TIMEOUT(page_->asked().size(), 1, 10000);
        QVERIFY(linkText(page_->asked()[0]).startsWith("vastrelle-page://"));
        QCOMPARE(page_->notice(), QString());
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
    TestHomepage test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestHomepage.moc"
