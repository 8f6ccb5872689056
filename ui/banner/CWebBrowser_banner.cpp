#include "ui/banner/CWebBrowser_banner.h"

#include "ui/banner/CCustomControlSite.h"
#include "ui/banner/CCustomOccManager.h"

#include "ui/KitTexts.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include <utility>

namespace {

// For a screen reader the banner is one named region; the page's own content lies inside it.
QAccessibleInterface* bannerFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CWebBrowser_banner") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Section);
    return nullptr;
}

} // namespace

CWebBrowser_banner::CWebBrowser_banner(QWidget* parent) : QWidget(parent) {
    static const bool accessible = (QAccessible::installFactory(bannerFactory), true);
    Q_UNUSED(accessible);
    setAccessibleName(KitText::banner());
    // Tab never stops here; a click gives the page the keyboard (see the site's filter).
    setFocusPolicy(Qt::NoFocus);
}

CWebBrowser_banner::~CWebBrowser_banner() = default;

void CWebBrowser_banner::Navigate2(const QString& url) {
    if (url.trimmed().isEmpty())
        return;
    pendingUrl_ = url;
    if (site_)
        site_->setHomeOrigin(QUrl::fromUserInput(url));
    if (view_) {
        view_->load(QUrl::fromUserInput(pendingUrl_));
        pendingUrl_.clear();
    }
}

void CWebBrowser_banner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (view_ || creationQueued_)
        return;
    // Let the window reach the screen and take its first request first: the page control
    // answers the window's announcement within milliseconds, and starting the engine holds
    // the window's thread for some 40 ms, which would delay that request's sign-on.
    creationQueued_ = true;
    QTimer::singleShot(kViewDelayMs, this, &CWebBrowser_banner::createView);
}

void CWebBrowser_banner::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (view_)
        view_->setGeometry(rect());
}

void CWebBrowser_banner::endView() {
    ended_ = true;
    pendingUrl_.clear();
    site_ = nullptr; // the view's child
    delete std::exchange(view_, nullptr);
}

void CWebBrowser_banner::createView() {
    if (view_ || ended_)
        return;
    view_ = new QWebEngineView(this);
    view_->setFocusPolicy(Qt::ClickFocus);
    view_->setGeometry(rect());
    site_ = CCustomOccManager::instance()->CreateSite(view_);
    if (!pendingUrl_.isEmpty())
        site_->setHomeOrigin(QUrl::fromUserInput(pendingUrl_));
    view_->show();
    emit viewCreated();
    if (!pendingUrl_.isEmpty()) {
        view_->load(QUrl::fromUserInput(pendingUrl_));
        pendingUrl_.clear();
    }
}
