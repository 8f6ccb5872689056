#include "ui/banner/CCustomControlSite.h"

#include <QApplication>
#include <QChildEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWebEngineView>
#include <memory>

namespace {

// The banner is something to look at and click, never a place the keyboard gets stuck in:
// Tab passes over it, and a Tab that reaches it (after a click in the page) goes on to the
// window's next control, as it would from any other control.
void passFocusOn(QWidget* from, bool backward) {
    QWidget* window = from ? from->window() : nullptr;
    if (!window)
        return;
    QKeyEvent tab(QEvent::KeyPress, backward ? Qt::Key_Backtab : Qt::Key_Tab,
                  backward ? Qt::ShiftModifier : Qt::NoModifier);
    QApplication::sendEvent(window, &tab);
}

bool isTabKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    return (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool isWeb(const QUrl& url) {
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// A page that exists only to catch the address of a window a banner page asked for, and
// hands it to the member's browser if the click it was opened for is still unused.
class ExternalWindow : public QWebEnginePage {
public:
    ExternalWindow(QWebEngineProfile* profile, CCustomControlSite* site)
        : QWebEnginePage(profile, site), site_(site) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        site_->openOutside(url);
        deleteLater();
        return false;
    }

private:
    CCustomControlSite* site_;
};

} // namespace

CCustomControlSite::CCustomControlSite(QWebEngineView* view) : QWebEnginePage(view), view_(view) {
    if (!view_)
        return;
    view_->setPage(this);
    // The view turns the page's menu request into nothing under this policy.
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    // Keys go to the view's focus proxy, the widget that the engine makes for each page it
    // renders, and which it may replace; so every child the view gets is watched.
    view_->installEventFilter(this);
    for (QObject* child : view_->children())
        watch(child);
    if (QWidget* proxy = view_->focusProxy())
        watch(proxy);
}

CCustomControlSite::~CCustomControlSite() = default;

void CCustomControlSite::setHomeOrigin(const QUrl& home) {
    home_ = home.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                          QUrl::RemoveUserInfo);
}

bool CCustomControlSite::mayShow(const QUrl& url) const {
    if (url == QUrl(QStringLiteral("about:blank")))
        return true;
    return home_.isValid() && url.scheme() == home_.scheme() && url.host() == home_.host() &&
           url.port(url.scheme() == QLatin1String("https") ? 443 : 80) ==
               home_.port(home_.scheme() == QLatin1String("https") ? 443 : 80);
}

bool CCustomControlSite::clickUnused() const {
    return lastClick_.isValid() && !lastClick_.hasExpired(kClickGraceMs);
}

bool CCustomControlSite::openOutside(const QUrl& url) {
    if (!isWeb(url) || !clickUnused()) {
        emit outsideNavigationRefused(url);
        return false;
    }
    lastClick_.invalidate();
    if (host_.openUrl)
        host_.openUrl(url.toString());
    return true;
}

bool CCustomControlSite::acceptNavigationRequest(const QUrl& url, NavigationType type,
                                                 bool isMainFrame) {
    if (!isMainFrame) {
        // A frame inside the page, whatever its site: it never takes the banner anywhere.
        return (isWeb(url) || url.scheme() == QLatin1String("about")) &&
               QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }
    if (mayShow(url)) {
        // A click that led somewhere on the site has had its navigation.
        lastClick_.invalidate();
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }
    // The banner's own page never leaves the site; what the member clicked goes to the
    // browser instead, redirects and scripts go nowhere.
    openOutside(url);
    return false;
}

QWebEnginePage* CCustomControlSite::createWindow(WebWindowType) {
    // A script's window.open with no click gets no window at all.
    if (!clickUnused()) {
        emit outsideNavigationRefused(QUrl());
        return nullptr;
    }
    return new ExternalWindow(profile(), this);
}

QMessageBox* CCustomControlSite::CreateMessageBox(const HostMessage& message) {
    auto* box = new QMessageBox(message.icon, message.caption, message.text, message.buttons,
                                message.owner);
    box->setTextFormat(Qt::PlainText); // the page's text is shown, never interpreted
    return box;
}

void CCustomControlSite::ShowMessageBox(const HostMessage& message) {
    std::unique_ptr<QMessageBox> box(CreateMessageBox(message));
    if (host_.runBox)
        host_.runBox(*box);
    else
        box->exec();
}

bool CCustomControlSite::IsSwallowedKey(const QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    // Backspace would navigate back, so it goes nowhere, in text fields included.
    if (key->key() == Qt::Key_Backspace)
        return true;
    // The override comes before the press and counts as one: the engine runs its editing
    // commands (Ctrl+Backspace deletes a word) when it sees the override.
    if (type == QEvent::KeyRelease)
        return false;
    // Refresh, open, print and new window.
    if (key->key() == Qt::Key_F5)
        return true;
    const bool control = key->modifiers().testFlag(Qt::ControlModifier);
    return control &&
           (key->key() == Qt::Key_O || key->key() == Qt::Key_P || key->key() == Qt::Key_N);
}

void CCustomControlSite::watch(QObject* object) {
    if (object && object != this)
        object->installEventFilter(this); // installing twice keeps one filter
}

bool CCustomControlSite::IsMemberActivation(const QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto button = static_cast<const QMouseEvent*>(event)->button();
        return button == Qt::LeftButton || button == Qt::MiddleButton;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<const QKeyEvent*>(event)->key();
        return key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    return false;
}

bool CCustomControlSite::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::ChildAdded)
        watch(static_cast<QChildEvent*>(event)->child());
    // A script's clicks stay inside the engine; what reaches the view's widgets is the
    // member's own.
    if (IsMemberActivation(event))
        lastClick_.start();
    if (event->type() == QEvent::ContextMenu)
        return true;
    if (watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        // The engine gives the widgets it makes Tab focus once they are built: taken away as
        // soon as they are polished, a click still gives the page the keyboard.
        if ((event->type() == QEvent::Polish || event->type() == QEvent::Show) &&
            (widget->focusPolicy() & Qt::TabFocus))
            widget->setFocusPolicy(Qt::ClickFocus);
        if (isTabKey(event)) {
            const auto* key = static_cast<const QKeyEvent*>(event);
            passFocusOn(widget, key->key() == Qt::Key_Backtab ||
                                    key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
        if (event->type() == QEvent::FocusIn) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
                QMetaObject::invokeMethod(
                    widget,
                    [widget, reason] { passFocusOn(widget, reason == Qt::BacktabFocusReason); },
                    Qt::QueuedConnection);
        }
    }
    if (IsSwallowedKey(event))
        return true;
    return QWebEnginePage::eventFilter(watched, event);
}

void CCustomControlSite::ShowMessage(const QString& text) {
    HostMessage message;
    message.owner = view_ ? view_->window() : nullptr;
    message.text = text;
    // The page's own caption and kind of box do not matter: the banner has one kind of box.
    message.caption = QString::fromLatin1(kCaption);
    message.icon = QMessageBox::Critical;
    message.buttons = QMessageBox::Ok;
    ShowMessageBox(message);
}

void CCustomControlSite::javaScriptAlert(const QUrl&, const QString& msg) {
    ShowMessage(msg);
}

bool CCustomControlSite::javaScriptConfirm(const QUrl&, const QString& msg) {
    ShowMessage(msg);
    return true;
}

bool CCustomControlSite::javaScriptPrompt(const QUrl&, const QString& msg,
                                          const QString& defaultValue, QString* result) {
    ShowMessage(msg);
    if (result)
        *result = defaultValue;
    return true;
}
