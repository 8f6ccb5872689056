#include "ui/banner/CBannerWebView.h"

#include "ui/banner/CCustomControlSite.h"
#include "ui/banner/CCustomOccManager.h"

#include <QUrl>

CBannerWebView::CBannerWebView(QWidget* area, const BannerModule::Host& host)
    : QWebEngineView(area) {
    setFocusPolicy(Qt::ClickFocus);
    setGeometry(area->rect());
    site_ = CCustomOccManager::instance()->CreateSite(this);
    site_->setHost(host);
    show();
}

CBannerWebView::~CBannerWebView() = default;

void CBannerWebView::navigate(const QString& url) {
    const QUrl address = QUrl::fromUserInput(url);
    site_->setHomeOrigin(address);
    load(address);
}
