#include "core/DesktopSeams.h"
#include "core/WebEngineStart.h"
#include "tests/banner/BannerSupport.h"
#include "tests/support/FileServiceProcess.h"
#include "tests/support/TestEnvironment.h"
#include "ui/ModalSeam.h"
#include "ui/banner/CCustomControlSite.h"
#include "ui/banner/CCustomOccManager.h"
#include "ui/banner/CWebBrowser_banner.h"

#include <QApplication>
#include <QFrame>
#include <QMenu>
#include <QWebEngineView>
#include <QtTest>

#include <memory>

namespace {

using namespace BannerTest;

// Every box a page asks for is recorded here instead of being shown, through the seam every
// box of the windows goes through.
QList<CCustomControlSite::HostMessage> g_messages;

int recordBox(QDialog& dialog) {
    auto* box = qobject_cast<QMessageBox*>(&dialog);
    if (!box)
        return QDialog::Rejected;
    g_messages.append({box->parentWidget(), box->text(), box->windowTitle(), box->icon(),
                       box->standardButtons()});
    return QMessageBox::Ok;
}

// A page that tries to leave the service's site in every way a page can.
// (A plain literal: the code generator reads "//" inside raw strings as a comment.)
const char kLeavingPage[] = "<!DOCTYPE html><html><body>\n"
                            "<a id=\"away\" href=\"http:/"
                            "/127.0.0.1:9/elsewhere.html\">away</a>\n"
                            "<a id=\"home\" href=\"/app/input.html\">home</a>\n"
                            "<script>\n"
                            "document.title = \"ready\";\n"
                            "function byScript() { location.href = \"http:/"
                            "/127.0.0.1:9/script.html\"; }\n"
                            "function byWindow() { window.open(\"http:/"
                            "/127.0.0.1:9/popup.html\"); }\n"
                            "function click(id) { document.getElementById(id).click(); }\n"
                            "</script></body></html>";

const char kDialogPage[] = R"(<!DOCTYPE html><html><body><script>
alert("abc");
var c = confirm("sure?");
var p = prompt("name?", "kim");
document.title = "done " + c + " " + p;
</script></body></html>)";

// Records the keys that reach the page, and right clicks.
const char kInputPage[] = R"(<!DOCTYPE html><html><body>
<input id="field" value="xy">
<script>
var keys = [];
var menus = 0;
document.addEventListener("keydown", function (e) {
  if (e.key !== "Control") keys.push((e.ctrlKey ? "Ctrl+" : "") + e.key);
}, true);
document.addEventListener("contextmenu", function () { menus++; }, true);
var f = document.getElementById("field");
f.focus();
f.setSelectionRange(2, 2);
document.title = "ready";
</script></body></html>)";

} // namespace

class TestBanner : public QObject {
    Q_OBJECT

    std::unique_ptr<FileServiceProcess> service_;
    CCustomOccManager manager_;
    RecordingShell shell_;

    QString url(const char* path) const {
        return QStringLiteral("http://%1:7580%2").arg(TestEnvironment::address(), path);
    }

    static QString writePage(const QString& dir, const QString& name, const char* html) {
        const QString path = dir + "/" + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(html);
        return path;
    }

    // The engine drops input that comes before its view of the page is ready, which a loaded
    // machine makes visible; a harmless key is sent until the page has seen one, and then the
    // page's record starts afresh.
    static bool waitUntilPageTakesInput(QWebEngineView* view, QWidget* target) {
        const bool taken = QTest::qWaitFor(
            [&] {
                QTest::keyClick(target, Qt::Key_End);
                return evaluate(view, "keys.length > 0").toBool();
            },
            20000);
        evaluate(view, "keys = []; menus = 0; f.setSelectionRange(2, 2); true");
        return taken;
    }

    // A shown banner on the given page, loaded.
    std::unique_ptr<CWebBrowser_banner> openBanner(const char* path) {
        auto banner = std::make_unique<CWebBrowser_banner>();
        banner->resize(525, 63);
        banner->Navigate2(url(path));
        banner->show();
        return banner;
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        ModalSeam::install(recordBox);
        ShellSeam::install(&shell_);
        const QString pages = TestEnvironment::scratch("pages");
        const QString dialogs = writePage(pages, "dialogs.html", kDialogPage);
        const QString input = writePage(pages, "input.html", kInputPage);
        const QString leaving = writePage(pages, "leaving.html", kLeavingPage);
        QVERIFY(!dialogs.isEmpty() && !input.isEmpty() && !leaving.isEmpty());
        service_ = std::make_unique<FileServiceProcess>(TestEnvironment::address());
        QVERIFY(service_->start({"--web-page", "/app/dialogs.html=" + dialogs, "--web-page",
                                 "/app/input.html=" + input, "--web-page",
                                 "/app/leaving.html=" + leaving}));
    }

    void bannerStaysOnTheServiceSite() {
        auto banner = openBanner("/app/leaving.html");
        QTRY_VERIFY(banner->view());
        QWebEngineView* view = banner->view();
        QTRY_COMPARE_WITH_TIMEOUT(view->title(), QString("ready"), kPageLoadMs);
        shell_.urls.clear();
        QSignalSpy refused(banner->site(), &CCustomControlSite::outsideNavigationRefused);
        // A script that moves the banner elsewhere, a window the page opens and a link the
        // script clicks: none of them is shown in the banner, and with no click of the member
        // none goes to the member's browser either.
        evaluate(view, "byScript()");
        evaluate(view, "byWindow()");
        evaluate(view, "click('away')");
        QTRY_VERIFY_WITH_TIMEOUT(refused.size() >= 3, 10000);
        QCOMPARE(shell_.urls, QStringList());
        QCOMPARE(view->url().path(), QString("/app/leaving.html"));
        QCOMPARE(evaluate(view, "document.title").toString(), QString("ready"));
        // A link within the site is followed in the banner.
        evaluate(view, "click('home')");
        QTRY_COMPARE_WITH_TIMEOUT(view->url().path(), QString("/app/input.html"), 10000);
        QCOMPARE(shell_.urls, QStringList());

        CCustomControlSite* site = banner->site();
        QVERIFY(site->mayShow(QUrl(url("/anything"))));
        QVERIFY(!site->mayShow(QUrl("http://127.0.0.1:7581/app/input.html")));
        QVERIFY(!site->mayShow(QUrl("https://" + TestEnvironment::address() + ":7580/")));
        QVERIFY(!site->mayShow(QUrl("file:///etc/passwd")));
        QVERIFY(!site->mayShow(QUrl("data:text/html,<script>1</script>")));
    }

    void chromiumFlagsFitTheMachine() {
        const QByteArray quiet = " --disable-logging --log-level=3";
        QCOMPARE(WebEngineStart::chromiumFlags("", false, false), quiet.mid(1));
        QCOMPARE(WebEngineStart::chromiumFlags("", true, true),
                 "--disable-gpu --no-sandbox" + quiet);
        QCOMPARE(WebEngineStart::chromiumFlags("--no-sandbox  --disable-gpu", true, true),
                 "--no-sandbox --disable-gpu" + quiet);
        QCOMPARE(WebEngineStart::chromiumFlags("--foo --log-level=0", false, true),
                 QByteArray("--foo --log-level=0 --no-sandbox"));
        QVERIFY(QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts));
        QCOMPARE(CCustomOccManager::instance(), static_cast<CCustomOccManager*>(&manager_));
    }

    void viewComesAfterTheWindow() {
        auto banner = std::make_unique<CWebBrowser_banner>();
        banner->Navigate2(url("/app/input.html"));
        QVERIFY(!banner->view()); // nothing of the engine before the banner is shown
        banner->show();
        QVERIFY(!banner->view());
        QTRY_VERIFY(banner->view());
        QVERIFY(banner->site());
        QCOMPARE(banner->view()->page(), static_cast<QWebEnginePage*>(banner->site()));
        QCOMPARE(banner->view()->geometry(), banner->rect());
        QVERIFY(!qobject_cast<QFrame*>(banner.get()));
        QVERIFY(!qobject_cast<QFrame*>(banner->view()));
        // The address given before the view existed is loaded.
        QTRY_COMPARE_WITH_TIMEOUT(banner->view()->title(), QString("ready"), kPageLoadMs);
    }

    void pageDialogsBecomeTheHostBox() {
        g_messages.clear();
        auto banner = openBanner("/app/dialogs.html");
        QTRY_VERIFY(banner->view());
        QTRY_VERIFY_WITH_TIMEOUT(banner->view()->title().startsWith("done"), kPageLoadMs);
        QCOMPARE(g_messages.size(), 3);
        const QStringList texts{"abc", "sure?", "name?"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(g_messages[i].text, texts[i]);
            QCOMPARE(g_messages[i].caption, QString("Custom Browser"));
            QCOMPARE(g_messages[i].icon, QMessageBox::Critical);
            QCOMPARE(g_messages[i].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(g_messages[i].owner, banner->window());
        }
        // Confirm answers as OK does; prompt keeps the proposed text.
        QCOMPARE(banner->view()->title(), QString("done true kim"));
    }

    void defaultBoxHasTheHostsForm() {
        CCustomControlSite::HostMessage m;
        m.text = "<b>abc</b>";
        m.caption = "Custom Browser";
        m.icon = QMessageBox::Critical;
        m.buttons = QMessageBox::Ok;
        std::unique_ptr<QMessageBox> box(CCustomControlSite::CreateMessageBox(m));
        QCOMPARE(box->text(), QString("<b>abc</b>"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->windowTitle(), QString("Custom Browser"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    void keyFilter() {
        auto banner = openBanner("/app/input.html");
        QTRY_VERIFY(banner->view());
        QWebEngineView* view = banner->view();
        QTRY_COMPARE_WITH_TIMEOUT(view->title(), QString("ready"), kPageLoadMs);
        QTRY_VERIFY(view->focusProxy());
        QWidget* target = view->focusProxy();
        target->setFocus();
        QVERIFY(waitUntilPageTakesInput(view, target));

        QTest::keyClick(target, Qt::Key_F5);
        QTest::keyClick(target, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_P, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_N, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_Backspace);
        QTest::keyClick(target, Qt::Key_Backspace, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_A);
        QTest::keyClick(target, Qt::Key_Left);
        // Tab goes on to the window's next control; the page never keeps the keyboard.
        QTest::keyClick(target, Qt::Key_Tab);
        QTest::keyClick(target, Qt::Key_B);
        QTRY_VERIFY_WITH_TIMEOUT(evaluate(view, "keys.indexOf('b') >= 0").toBool(), 10000);
        QCOMPARE(evaluate(view, "keys.join(',')").toString(), QString("a,ArrowLeft,b"));
        // Backspace removed nothing from the field; the letters went in.
        QCOMPARE(evaluate(view, "document.getElementById('field').value").toString(),
                 QString("xyba"));

        // Release and other kinds of Backspace events are held back as well.
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Backspace, Qt::NoModifier);
        QVERIFY(CCustomControlSite::IsSwallowedKey(&release));
        QKeyEvent f5Release(QEvent::KeyRelease, Qt::Key_F5, Qt::NoModifier);
        QVERIFY(!CCustomControlSite::IsSwallowedKey(&f5Release));
        QKeyEvent plainO(QEvent::KeyPress, Qt::Key_O, Qt::NoModifier, "o");
        QVERIFY(!CCustomControlSite::IsSwallowedKey(&plainO));
        QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(CCustomControlSite::IsSwallowedKey(&override));
    }

    void noContextMenu() {
        auto banner = openBanner("/app/input.html");
        QTRY_VERIFY(banner->view());
        QWebEngineView* view = banner->view();
        QCOMPARE(view->contextMenuPolicy(), Qt::NoContextMenu);
        QTRY_COMPARE_WITH_TIMEOUT(view->title(), QString("ready"), kPageLoadMs);
        QTRY_VERIFY(view->focusProxy());
        QVERIFY(waitUntilPageTakesInput(view, view->focusProxy()));
        const QPoint at(20, 20);

        QTest::mouseClick(view->focusProxy(), Qt::RightButton, {}, at);
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(view, "menus").toInt(), 1, 10000);

        // A second click under a policy that reports the engine's menu request: once it has
        // come, the first click's request has been dealt with too.
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        QSignalSpy asked(view, &QWidget::customContextMenuRequested);
        QTest::mouseClick(view->focusProxy(), Qt::RightButton, {}, at);
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 1, 10000);
        QCOMPARE(evaluate(view, "menus").toInt(), 2);
        QVERIFY(!QApplication::activePopupWidget());
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!(qobject_cast<QMenu*>(w) && w->isVisible()));
    }

    void cleanupTestCase() { service_.reset(); }
};

int main(int argc, char** argv) {
    WebEngineStart::prepareApplication();
    QApplication app(argc, argv);
    TestBanner test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestBanner.moc"
