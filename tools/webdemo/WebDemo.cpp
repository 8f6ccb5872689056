#include "tools/webdemo/WebDemo.h"

#include "tools/webdemo/CaughtLink.h"
#include "tools/webdemo/DesktopEntry.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <cstdio>
#include <functional>

namespace {

void say(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

} // namespace

// Lets the service's own pages load and keeps every other link the page asks for, as a
// browser does before it hands a link of a foreign scheme to the desktop.
class CatchingPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;
    QList<QUrl> asked;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            return true;
        asked << url;
        return false;
    }
};

WebDemo::WebDemo(WebDemoOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    auto* profile = new QWebEngineProfile(this); // off the record: nothing kept on disk
    view_ = new QWebEngineView();
    page_ = new CatchingPage(profile, view_);
    view_->setPage(page_);
    view_->resize(1100, 860);
}

WebDemo::~WebDemo() {
    delete view_;
}

bool WebDemo::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

QVariant WebDemo::evaluate(const QString& script) {
    QVariant result;
    bool done = false;
    page_->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    waitFor([&] { return done; }, 10000);
    return result;
}

bool WebDemo::load() {
    bool finished = false;
    bool ok = false;
    connect(page_, &QWebEnginePage::loadFinished, this, [&](bool success) {
        finished = true;
        ok = success;
    });
    view_->load(options_.page);
    view_->show();
    return waitFor([&] { return finished; }, 30000) && ok &&
           waitFor([&] { return view_->focusProxy() != nullptr; }, 10000) &&
           waitFor([&] { return evaluate("document.readyState").toString() == "complete"; }, 10000);
}

bool WebDemo::saveScreenshot() {
    // Let the engine paint the ticked rows before the picture is taken.
    QEventLoop settle;
    QTimer::singleShot(800, &settle, &QEventLoop::quit);
    settle.exec();
    QDir().mkpath(QFileInfo(options_.screenshot).absolutePath());
    return view_->grab().save(options_.screenshot, "PNG");
}

bool WebDemo::click(const QString& elementId) {
    const QVariantList box =
        evaluate(QStringLiteral("(function () { var e = document.getElementById('%1');"
                                " if (!e) return [];"
                                " e.scrollIntoView({block: 'center'});"
                                " var r = e.getBoundingClientRect();"
                                " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
                     .arg(elementId))
            .toList();
    QWidget* target = view_->focusProxy();
    if (box.size() != 2 || !target)
        return false;
    // A real press and release: the browser opens a link of a foreign scheme only for a
    // member's gesture, never for a script on its own.
    const QPointF at(box[0].toDouble(), box[1].toDouble());
    const QPointF global = target->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QCoreApplication::sendEvent(target, &release);
    return true;
}

bool WebDemo::pressAndHandOver(const QString& buttonId, const QStringList& extraEnvironment) {
    const qsizetype before = page_->asked.size();
    if (!click(buttonId))
        return false;
    if (!waitFor([&] { return page_->asked.size() > before; }, 10000)) {
        say(QStringLiteral("the page asked for no link; its notice: %1")
                .arg(evaluate("document.getElementById('notice').textContent").toString()));
        return false;
    }
    const QString link = CaughtLinkText(page_->asked.last());
    say(QStringLiteral("the page asks to open %1")
            .arg(link.size() > 160 ? link.left(160) + QStringLiteral("...") : link));
    const QString desktopFile =
        DesktopEntry::handlerFor(options_.applications, DesktopEntry::schemeOf(link));
    const QStringList command = DesktopEntry::commandFor(desktopFile, link);
    if (command.isEmpty()) {
        say(QStringLiteral("no handler for %1 in %2")
                .arg(DesktopEntry::schemeOf(link), options_.applications));
        return false;
    }
    say(QStringLiteral("handler %1 runs %2").arg(QFileInfo(desktopFile).fileName(), command[0]));
    QProcess handler;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& variable : extraEnvironment)
        environment.insert(variable.section(QLatin1Char('='), 0, 0),
                           variable.section(QLatin1Char('='), 1));
    handler.setProcessEnvironment(environment);
    handler.setProcessChannelMode(QProcess::ForwardedChannels);
    handler.start(command[0], command.mid(1));
    if (!handler.waitForStarted(10000)) {
        say(QStringLiteral("the handler did not start: %1").arg(handler.errorString()));
        return false;
    }
    if (!waitFor([&] { return handler.state() == QProcess::NotRunning; },
                 options_.handlerTimeoutMs)) {
        say(QStringLiteral("the handler is still running; left to itself"));
        return true;
    }
    say(QStringLiteral("the handler ended with exit code %1").arg(handler.exitCode()));
    return handler.exitStatus() == QProcess::NormalExit;
}

int WebDemo::run() {
    say(QStringLiteral("opening %1 in an offscreen browser").arg(options_.page.toString()));
    if (!load()) {
        say(QStringLiteral("the page did not load"));
        return 1;
    }
    evaluate(QStringLiteral("(function () { var all = document.getElementById('all');"
                            " if (!all.checked) all.click();"
                            " var m = document.getElementById('member'); m.value = '%1';"
                            " m.dispatchEvent(new Event('input')); })()")
                 .arg(QString(options_.member)
                          .replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                          .replace(QLatin1Char('\''), QLatin1String("\\'"))));
    say(QStringLiteral("ticked %1 file(s) for member %2")
            .arg(evaluate("document.getElementById('picked').textContent").toString(),
                 options_.member));
    if (!options_.screenshot.isEmpty()) {
        if (saveScreenshot())
            say(QStringLiteral("screenshot of the page: %1").arg(options_.screenshot));
        else
            say(QStringLiteral("no screenshot could be taken"));
    }
    say(QStringLiteral("pressing 다운로드"));
    if (!pressAndHandOver(QStringLiteral("download"), {}))
        return 1;
    if (options_.uploadFiles.isEmpty())
        return 0;

    // The chooser's answer, as the member would pick these files.
    QTemporaryDir answers;
    const QString answerFile = QDir(answers.path()).filePath(QStringLiteral("chosen.txt"));
    QFile file(answerFile);
    if (!answers.isValid() || !file.open(QIODevice::WriteOnly))
        return 1;
    file.write(options_.uploadFiles.join(QLatin1Char('\n')).toUtf8() + '\n');
    file.close();
    say(QStringLiteral("pressing 업로드 (the chooser answers: %1)")
            .arg(options_.uploadFiles.join(QStringLiteral(", "))));
    return pressAndHandOver(QStringLiteral("upload"),
                            {QStringLiteral("VAULTRY_CHOSEN_FILES=") + answerFile})
               ? 0
               : 1;
}
