#pragma once

// What the banner's tests share: the member's browser replaced by a recorder, scripts run in
// the page with their answers awaited, and the time a first page load may take.

#include "core/DesktopSeams.h"

#include <QStringList>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace BannerTest {

// A fresh machine's first start of the web engine is far slower than later ones (caches made,
// libraries paged in); a page normally loads in well under a second.
inline constexpr int kPageLoadMs = 60000;

// The member's browser: what the banner asked it to open.
class RecordingShell : public ShellSeam {
public:
    QStringList urls;
    void openUrl(const QString& url) override { urls << url; }
    void openFolder(const QString&, const QString&) override {}
    void openFile(const QString&) override {}
};

// Runs a script in the page and waits for its answer.
inline QVariant evaluate(QWebEngineView* view, const QString& script) {
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        qWarning("no answer to: %s", qPrintable(script));
    return result;
}

} // namespace BannerTest
