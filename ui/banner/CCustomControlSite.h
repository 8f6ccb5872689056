#pragma once

#include "ui/BannerModule.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>

class QWebEngineView;

// How one banner behaves towards its page: no context menu, no refresh, open, print or
// new-window keys, no Backspace, the page's script dialogs shown as the host's own box, and
// the banner kept on the service's own site: a page cannot take it (and its scripts) to
// another origin. Frames of other sites inside the page (advertising networks serve them so)
// load where they are. An address elsewhere that the page asks for, by a link or a new window,
// goes to the member's browser only when it follows a real click (or Enter) in the banner, and
// one per click: the engine reports a script's navigation as a link click, so the kind of
// navigation proves nothing, and a script left alone must not send the member's browser
// anywhere.
//
// Of what a browser's host is usually asked (context menu, keys, message boxes, help, border,
// menus and toolbars, an external object, drop targets, address translation), only the first
// three need the host here. The rest (help, the border flag, menus and toolbars, the external
// object, drop targets, URL translation) are covered by what a web view does anyway: it has no
// frame, no browser chrome, no help, and nothing is exposed to the page's scripts.
class CCustomControlSite : public QWebEnginePage {
    Q_OBJECT
public:
    // What the page wants the user to see, in the form the host shows it.
    struct HostMessage {
        QWidget* owner = nullptr;
        QString text;
        QString caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons = QMessageBox::NoButton;
    };
    static constexpr const char* kCaption = "Custom Browser";

    // Becomes the view's page (owned by the view) and starts filtering its input.
    explicit CCustomControlSite(QWebEngineView* view);
    ~CCustomControlSite() override;

    QWebEngineView* view() const { return view_; }
    // The program's browser and box runner, which the site uses instead of its own.
    void setHost(const BannerModule::Host& host) { host_ = host; }

    // How long after a click an address elsewhere may still be opened for it: the page's
    // handler of the click and the engine's navigation take moments, not seconds.
    static constexpr int kClickGraceMs = 5000;

    // The one site the banner may show: scheme, host and port of `home`.
    void setHomeOrigin(const QUrl& home);
    // Whether a page of `url` may be shown in the banner.
    bool mayShow(const QUrl& url) const;
    // Opens a web address elsewhere in the member's browser if a click in the banner is still
    // unused (and uses it up); otherwise refuses it. True when it was opened.
    bool openOutside(const QUrl& url);

    // The host's box for a page message; it runs like every other box of the windows.
    static QMessageBox* CreateMessageBox(const HostMessage& message);
    void ShowMessageBox(const HostMessage& message);

    // True for the keys the banner never passes on to the page.
    static bool IsSwallowedKey(const QEvent* event);

signals:
    // The page asked for an address elsewhere (or a new window, url empty) with no click to
    // answer for it: nothing was opened.
    void outsideNavigationRefused(const QUrl& url);

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    // The box offers OK only, so both answer as OK would: confirm is true, and prompt
    // accepts the field's proposed text, since the user had no field to change it in.
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    // New windows are never made in the program: their address opens in the browser.
    QWebEnginePage* createWindow(WebWindowType type) override;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowMessage(const QString& text);
    void watch(QObject* object);
    // The member's own action in the banner: a click, or Enter on a focused link.
    static bool IsMemberActivation(const QEvent* event);
    bool clickUnused() const;

    QWebEngineView* view_ = nullptr;
    QUrl home_;
    BannerModule::Host host_;
    QElapsedTimer lastClick_; // invalid while no click is unused
};
