// The member's file page of vaultry-fileservice, driven in Qt WebEngine the way a member uses
// it: rows ticked and buttons pressed with the mouse, the member id typed. The launch links
// the page asks the browser to open are caught before anything opens them, and their decoded
// bytes are compared with the requests the download client and the page control expect.

#include "FileServiceProcess.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
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

// Records every navigation the page asks for and lets only the service's own pages load.
class RecordingPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;
    QList<QUrl> asked;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        if (url.scheme() == QLatin1String("http"))
            return true;
        asked << url;
        return false;
    }
};

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
    std::unique_ptr<QWebEngineView> view_;
    RecordingPage* page_ = nullptr;

    QVariant evaluate(const QString& script) {
        QVariant result;
        bool done = false;
        page_->runJavaScript(script, [&](const QVariant& v) {
            result = v;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000))
            qWarning("no answer to: %s", qPrintable(script));
        return result;
    }

    // A fresh view on the homepage, loaded.
    bool openHomepage() {
        view_ = std::make_unique<QWebEngineView>();
        page_ = new RecordingPage(profile_, view_.get());
        view_->setPage(page_);
        view_->resize(1000, 900);
        QSignalSpy loaded(page_, &QWebEnginePage::loadFinished);
        view_->load(QUrl(QStringLiteral("http://%1:7580/").arg(TestEnvironment::address())));
        view_->show();
        if (!loaded.wait(30000) || !loaded.first().first().toBool())
            return false;
        return QTest::qWaitFor([this] { return view_->focusProxy() != nullptr; }, 10000) &&
               evaluate("document.readyState").toString() == QLatin1String("complete");
    }

    // The centre of the first element matched by a script expression, scrolled into view;
    // a null point when there is none.
    QPoint centreOf(const QString& element) {
        const QVariantList box =
            evaluate(QStringLiteral("(function () { var e = %1; if (!e) return [];"
                                    " e.scrollIntoView({block: 'center'});"
                                    " var r = e.getBoundingClientRect();"
                                    " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                         .arg(element))
                .toList();
        if (box.size() != 2)
            return QPoint();
        return QPoint(qRound(box[0].toDouble()), qRound(box[1].toDouble()));
    }

    bool click(const QString& element) {
        const QPoint at = centreOf(element);
        if (at.isNull())
            return false;
        QTest::mouseClick(view_->focusProxy(), Qt::LeftButton, {}, at);
        return true;
    }

    static QString rowOf(const QString& entry) {
        return QStringLiteral("Array.prototype.find.call(document.querySelectorAll('#files li'),"
                              " function (li) { return li.textContent.indexOf('%1') >= 0; })")
            .arg(entry);
    }

    static QString buttonNamed(const QString& text) {
        return QStringLiteral("Array.prototype.find.call(document.querySelectorAll('button'),"
                              " function (b) { return b.textContent.trim() === '%1'; })")
            .arg(text);
    }

    // Ticks a row by clicking it, as a member does, and waits until its box shows the tick.
    bool tick(const QString& entry) {
        const QString box = rowOf(entry) + QStringLiteral(".querySelector('input').checked");
        if (!click(rowOf(entry)))
            return false;
        return QTest::qWaitFor([&] { return evaluate(box).toBool(); }, 5000);
    }

    bool typeMember(const QString& text) {
        if (!click(QStringLiteral("document.querySelector('input[type=text]')")))
            return false;
        QTest::keyClicks(view_->focusProxy(), text);
        return QTest::qWaitFor(
            [&] {
                return evaluate("document.querySelector('input[type=text]').value").toString() ==
                       text;
            },
            5000);
    }

    QString notice() {
        return evaluate("(function () { var n = document.querySelector('[role=alert]');"
                        " return n && !n.hidden && n.offsetHeight > 0 ? n.textContent : ''; })()")
            .toString();
    }

    // The text of a link the page asked for. QUrl takes no host with "," in it, which every
    // launch link has (its codes), so such a link arrives invalid, and its text is the one the
    // parse error quotes.
    static QByteArray linkText(const QUrl& url) {
        if (url.isValid())
            return url.toEncoded();
        static const QRegularExpression source(QStringLiteral("source was \"([^\"]*)\""));
        return source.match(url.errorString()).captured(1).toUtf8();
    }

    // The bytes of a launch link: scheme, "://", decimal codes separated by ",", "/".
    static bool decodeLink(const QUrl& url, const QString& scheme, QByteArray& bytes) {
        const QByteArray text = linkText(url);
        const QByteArray prefix = scheme.toLatin1() + "://";
        if (!text.startsWith(prefix) || !text.endsWith('/'))
            return false;
        bytes.clear();
        for (const QByteArray& code : text.mid(prefix.size()).chopped(1).split(',')) {
            bool ok = false;
            const int value = code.toInt(&ok);
            if (!ok || value < 1 || value > 255 || QByteArray::number(value) != code)
                return false;
            bytes += char(value);
        }
        return true;
    }

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
        service_ = std::make_unique<FileServiceProcess>(TestEnvironment::address());
        QVERIFY(service_->start({"--root", root, "--state",
                                 TestEnvironment::scratch(QStringLiteral("state")), "--member",
                                 "kim"}));
    }

    void downloadLinkCarriesTheTickedEntries() {
        QVERIFY(openHomepage());
        // The page is UTF-8 and shows the Korean names as they are.
        QVERIFY(evaluate(rowOf(QStringLiteral("docs/보고서.pdf")) + " !== undefined").toBool());
        QCOMPARE(evaluate("document.characterSet").toString(), QString("UTF-8"));
        // A name with "?" would break the request apart: its row takes no tick.
        QVERIFY(click(rowOf("what?.txt")));
        QVERIFY(tick(QStringLiteral("한글 파일.txt")));
        QVERIFY(tick(QStringLiteral("docs/보고서.pdf")));
        QVERIFY(!evaluate(rowOf("what?.txt") + ".querySelector('input').checked").toBool());
        QVERIFY(typeMember("kim"));
        QVERIFY(click(buttonNamed(QStringLiteral("다운로드"))));
        QTRY_COMPARE_WITH_TIMEOUT(page_->asked.size(), 1, 10000);
        QByteArray request;
        QVERIFY2(decodeLink(page_->asked[0], "vastrelle", request),
                 linkText(page_->asked[0]).constData());
        // Entries in the page's order, each followed by "?", then member and server number.
        QCOMPARE(request, cp949(QStringLiteral("docs/보고서.pdf?한글 파일.txt?|kim|1")));
        QCOMPARE(notice(), QString());
    }

    void uploadLinkNamesTheMember() {
        QVERIFY(openHomepage());
        QVERIFY(typeMember("kim"));
        QVERIFY(click(buttonNamed(QStringLiteral("업로드"))));
        QTRY_COMPARE_WITH_TIMEOUT(page_->asked.size(), 1, 10000);
        QByteArray request;
        QVERIFY2(decodeLink(page_->asked[0], "vastrelle-page", request),
                 linkText(page_->asked[0]).constData());
        QCOMPARE(request, QByteArray("Vaultry_uploader_Choose|kim|1"));
    }

    void emptyOrUnusableInputShowsANotice() {
        QVERIFY(openHomepage());
        QVERIFY(tick("a.txt"));
        QCOMPARE(notice(), QString());
        QVERIFY(click(buttonNamed(QStringLiteral("다운로드"))));
        QTRY_VERIFY_WITH_TIMEOUT(!notice().isEmpty(), 5000);
        const QString emptyMember = notice();
        // Typing takes the notice away; the upload button with the field empty again brings it.
        QVERIFY(typeMember("x"));
        QTRY_COMPARE_WITH_TIMEOUT(notice(), QString(), 5000);
        QTest::keyClick(view_->focusProxy(), Qt::Key_Backspace);
        QVERIFY(click(buttonNamed(QStringLiteral("업로드"))));
        QTRY_COMPARE_WITH_TIMEOUT(notice(), emptyMember, 5000);
        // A member id the page cannot encode is refused with its own notice.
        evaluate("var m = document.querySelector('input[type=text]'); m.value = '김철수';"
                 " m.dispatchEvent(new Event('input'));");
        QTRY_COMPARE_WITH_TIMEOUT(notice(), QString(), 5000);
        QVERIFY(click(buttonNamed(QStringLiteral("다운로드"))));
        QTRY_VERIFY_WITH_TIMEOUT(!notice().isEmpty() && notice() != emptyMember, 5000);
        // More files than one launch link can carry: told, not sent.
        evaluate("document.querySelector('input[type=text]').value = '';");
        QVERIFY(typeMember("kim"));
        QTRY_COMPARE_WITH_TIMEOUT(notice(), QString(), 5000);
        QVERIFY(click(QStringLiteral("document.querySelector('.files-head input')")));
        QVERIFY(click(buttonNamed(QStringLiteral("다운로드"))));
        QTRY_VERIFY_WITH_TIMEOUT(!notice().isEmpty(), 5000);
        // None of that navigated: the first link asked for is the one that follows.
        QVERIFY(click(buttonNamed(QStringLiteral("업로드"))));
        QTRY_COMPARE_WITH_TIMEOUT(page_->asked.size(), 1, 10000);
        QVERIFY(linkText(page_->asked[0]).startsWith("vastrelle-page://"));
        QCOMPARE(notice(), QString());
    }

    void cleanupTestCase() {
        view_.reset();
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
