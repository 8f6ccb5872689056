// Where a banner page can send the member: frames of other sites load inside it, and an
// address elsewhere reaches the member's browser only for a real click in the banner, one per
// click. The banner page comes from the file service on this test's address; the other site
// is a small web host on 127.0.0.28.

#include "core/WebEngineStart.h"
#include "tests/banner/BannerSupport.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"
#include "ui/banner/CCustomControlSite.h"
#include "ui/banner/CCustomOccManager.h"
#include "ui/banner/CWebBrowser_banner.h"

#include <QApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using namespace BannerTest;

namespace {

// Another site: answers every request with a small page and remembers the paths asked for.
// Its frame page tells the page that holds it that it has loaded.
class OtherSite : public QObject {
public:
    QStringList requested;

    bool listen() {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
        });
        return server_.listen(QHostAddress(QStringLiteral("127.0.0.28")), 0);
    }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.28:%1%2").arg(server_.serverPort()).arg(path);
    }

private:
    void serve(QTcpSocket* socket) {
        const QByteArray head = socket->peek(16384);
        if (!head.contains("\r\n\r\n"))
            return;
        socket->readAll();
        const QByteArray path = head.split(' ').value(1);
        requested << QString::fromLatin1(path);
        const QByteArray body =
            path == "/frame.html"
                ? "<!DOCTYPE html><html><body>ad<script>parent.postMessage('framed', '*');"
                  "</script></body></html>"
                : "<!DOCTYPE html><html><body>elsewhere</body></html>";
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
};

// A banner as advertising pages make them: a link elsewhere whose click also opens windows,
// a frame from another site, and a script that tries to leave on its own.
QByteArray adPage(const OtherSite& other) {
    return QStringLiteral(
               "<!DOCTYPE html><html><body style=\"margin:0\">"
               "<a id=\"away\" href=\"%1\" style=\"display:block;width:200px;height:30px\">away</a>"
               "<iframe src=\"%2\" style=\"border:0;width:100px;height:20px\"></iframe>"
               "<script>"
               "var framed = false, downs = 0;"
               "window.addEventListener('message', function (e) {"
               "  if (e.data === 'framed') framed = true; });"
               "document.addEventListener('mousedown', function () { downs++; }, true);"
               "document.getElementById('away').addEventListener('click', function () {"
               "  window.open('%3'); window.open('%4'); });"
               "function leave() {"
               "  for (var i = 0; i < 5; i++) window.open('%5');"
               "  location.href = '%6'; }"
               "document.title = 'ready';"
               "</script></body></html>")
        .arg(other.url("/clicked.html"), other.url("/frame.html"), other.url("/extra1.html"),
             other.url("/extra2.html"), other.url("/popup.html"), other.url("/script.html"))
        .toUtf8();
}

} // namespace

class TestBannerNavigation : public QObject {
    Q_OBJECT

    std::unique_ptr<FileServiceProcess> service_;
    OtherSite other_;
    CCustomOccManager manager_;
    RecordingShell shell_;

    static QPoint centreOf(QWebEngineView* view, const char* id) {
        const QVariantList r =
            evaluate(view, QStringLiteral("var r = document.getElementById('%1')"
                                          ".getBoundingClientRect();"
                                          "[r.left + r.width / 2, r.top + r.height / 2]")
                               .arg(QLatin1String(id)))
                .toList();
        return QPoint(r.value(0).toInt(), r.value(1).toInt());
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        ShellSeam::install(&shell_);
        QVERIFY(other_.listen());
        const QString page = TestEnvironment::scratch("pages") + "/ads.html";
        QFile f(page);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(adPage(other_));
        f.close();
        service_ = std::make_unique<FileServiceProcess>(TestEnvironment::address());
        QVERIFY(service_->start({"--web-page", "/app/ads.html=" + page}));
    }

    void onlyTheMembersClicksLeaveTheBanner() {
        CWebBrowser_banner banner;
        banner.resize(525, 63);
        banner.Navigate2(
            QStringLiteral("http://%1:7580/app/ads.html").arg(TestEnvironment::address()));
        banner.show();
        QTRY_VERIFY(banner.view());
        QWebEngineView* view = banner.view();
        QTRY_COMPARE_WITH_TIMEOUT(view->title(), QString("ready"), kPageLoadMs);
        // The other site's frame is asked for and loads inside the page.
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(view, "framed").toBool(), kPageLoadMs);
        QVERIFY(other_.requested.contains("/frame.html"));

        // Windows and a navigation of the script alone: nothing is opened anywhere.
        QSignalSpy refused(banner.site(), SIGNAL(outsideNavigationRefused(QUrl)));
        evaluate(view, "leave()");
        QTRY_VERIFY_WITH_TIMEOUT(refused.size() >= 2 && refused.last().value(0).toUrl() ==
                                                            QUrl(other_.url("/script.html")),
                                 10000);
        QCOMPARE(shell_.urls, QStringList());

        // The member's click on the link: one address goes to the browser, though the click
        // also asked for two windows; the banner stays on its page.
        QTRY_VERIFY(view->focusProxy());
        QWidget* input = view->focusProxy();
        input->setFocus();
        const QPoint blank(400, 50);
        QVERIFY(QTest::qWaitFor(
            [&] {
                QTest::mouseClick(input, Qt::LeftButton, {}, blank);
                return evaluate(view, "downs > 0").toBool();
            },
            20000));
        const int before = int(refused.size());
        QTest::mouseClick(input, Qt::LeftButton, {}, centreOf(view, "away"));
        QTRY_COMPARE_WITH_TIMEOUT(refused.size(), before + 2, 10000);
        QCOMPARE(shell_.urls.size(), 1);
        QVERIFY2(shell_.urls[0].startsWith(other_.url("/")), qPrintable(shell_.urls[0]));
        // Another click, another address; Enter on the focused link is a click too.
        QTest::mouseClick(input, Qt::LeftButton, {}, centreOf(view, "away"));
        QTRY_COMPARE_WITH_TIMEOUT(refused.size(), before + 4, 10000);
        QCOMPARE(shell_.urls.size(), 2);
        evaluate(view, "document.getElementById('away').focus(); true");
        QTest::keyClick(input, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(refused.size(), before + 6, 10000);
        QCOMPARE(shell_.urls.size(), 3);
        QCOMPARE(view->url().path(), QString("/app/ads.html"));
        QVERIFY(!other_.requested.contains("/clicked.html"));
    }

    void cleanupTestCase() { service_.reset(); }
};

int main(int argc, char** argv) {
    WebEngineStart::prepareApplication();
    QApplication app(argc, argv);
    TestBannerNavigation test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestBannerNavigation.moc"
