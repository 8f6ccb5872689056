#include "ui/banner/CWebBrowser_banner.h"

#include "ui/banner/CBannerWebView.h"

CWebBrowser_banner::CWebBrowser_banner(QWidget* parent) : CBannerArea(parent) {}

CWebBrowser_banner::~CWebBrowser_banner() = default;

QWebEngineView* CWebBrowser_banner::view() const {
    return static_cast<CBannerWebView*>(viewWidget());
}

CCustomControlSite* CWebBrowser_banner::site() const {
    const auto* view = static_cast<CBannerWebView*>(viewWidget());
    return view ? view->site() : nullptr;
}

BannerModule::View* CWebBrowser_banner::makeView(const BannerModule::Host& host) {
    return new CBannerWebView(this, host);
}
