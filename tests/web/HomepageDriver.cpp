#include "tests/web/HomepageDriver.h"

#include "tools/webdemo/CaughtLink.h"

#include <QSignalSpy>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineView>

bool RecordingPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool) {
    if (url.scheme() == QLatin1String("http"))
        return true;
    asked << url;
    return false;
}

HomepageDriver::HomepageDriver(QWebEngineProfile* profile) : profile_(profile) {}

HomepageDriver::~HomepageDriver() = default;

QVariant HomepageDriver::evaluate(const QString& script) {
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

bool HomepageDriver::open(const QUrl& url) {
    view_.reset();
    view_ = std::make_unique<QWebEngineView>();
    page_ = new RecordingPage(profile_, view_.get());
    view_->setPage(page_);
    view_->resize(1000, 900);
    QSignalSpy loaded(page_, &QWebEnginePage::loadFinished);
    view_->load(url);
    view_->show();
    if (!loaded.wait(60000) || !loaded.first().first().toBool())
        return false;
    if (!QTest::qWaitFor([this] { return view_->focusProxy() != nullptr; }, 10000) ||
        evaluate("document.readyState").toString() != QLatin1String("complete"))
        return false;
    // The engine drops input that comes before its view of the page is ready (seen on a
    // loaded machine), so a lone Shift, which no page acts on, is sent until one arrives.
    evaluate("window.keysSeen = 0; document.addEventListener('keydown',"
             " function () { window.keysSeen++; }, true); true");
    return QTest::qWaitFor(
        [this] {
            QTest::keyClick(view_->focusProxy(), Qt::Key_Shift);
            return evaluate("window.keysSeen > 0").toBool();
        },
        20000);
}

QPoint HomepageDriver::centreOf(const QString& element) {
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

bool HomepageDriver::click(const QString& element) {
    const QPoint at = centreOf(element);
    if (at.isNull())
        return false;
    QTest::mouseClick(view_->focusProxy(), Qt::LeftButton, {}, at);
    return true;
}

QString HomepageDriver::rowOf(const QString& entry) {
    return QStringLiteral("Array.prototype.find.call(document.querySelectorAll('#files li'),"
                          " function (li) { return li.textContent.indexOf('%1') >= 0; })")
        .arg(entry);
}

QString HomepageDriver::buttonNamed(const QString& text) {
    return QStringLiteral("Array.prototype.find.call(document.querySelectorAll('button'),"
                          " function (b) { return b.textContent.trim() === '%1'; })")
        .arg(text);
}

bool HomepageDriver::tick(const QString& entry) {
    const QString box = rowOf(entry) + QStringLiteral(".querySelector('input').checked");
    if (!click(rowOf(entry)))
        return false;
    return QTest::qWaitFor([&] { return evaluate(box).toBool(); }, 5000);
}

bool HomepageDriver::typeMember(const QString& text) {
    if (!click(QStringLiteral("document.querySelector('input[type=text]')")))
        return false;
    QTest::keyClicks(view_->focusProxy(), text);
    return QTest::qWaitFor(
        [&] {
            return evaluate("document.querySelector('input[type=text]').value").toString() == text;
        },
        5000);
}

QString HomepageDriver::notice() {
    return evaluate("(function () { var n = document.querySelector('[role=alert]');"
                    " return n && !n.hidden && n.offsetHeight > 0 ? n.textContent : ''; })()")
        .toString();
}

bool HomepageDriver::decodeLink(const QUrl& url, const QString& scheme, QByteArray& bytes) {
    const QByteArray text = CaughtLinkText(url).toUtf8();
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
