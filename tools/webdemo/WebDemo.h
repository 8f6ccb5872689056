#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

class QWebEngineView;
class CatchingPage;

struct WebDemoOptions {
    QUrl page;               // the member's file page
    QString applications;    // folder of the .desktop files that handle the page's links
    QString member;          // typed into the member field
    QString screenshot;      // PNG of the page with the files ticked
    QStringList uploadFiles; // the chooser's answer for the upload; no upload when empty
    int handlerTimeoutMs = 120000;
};

// A member's visit to the file page, in a browser engine without a display: every file
// ticked, the member id typed, "다운로드" pressed and then "업로드"; each link the page asks
// the browser to open goes to its handler exactly as the desktop would run it.
class WebDemo : public QObject {
    Q_OBJECT
public:
    explicit WebDemo(WebDemoOptions options, QObject* parent = nullptr);
    ~WebDemo() override;

    // 0 when every step went through; the handlers' own outcome is theirs to tell.
    int run();

private:
    bool load();
    QVariant evaluate(const QString& script);
    bool waitFor(const std::function<bool()>& condition, int timeoutMs);
    bool saveScreenshot();
    bool click(const QString& elementId);
    // Presses the button and hands the link it asks for to its handler; false when no link
    // came or no handler ran.
    bool pressAndHandOver(const QString& buttonId, const QStringList& extraEnvironment);

    WebDemoOptions options_;
    QWebEngineView* view_ = nullptr;
    CatchingPage* page_ = nullptr;
};
