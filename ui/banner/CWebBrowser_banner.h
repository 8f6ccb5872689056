#pragma once

#include "ui/CBannerArea.h"

class CBannerWebView;
class CCustomControlSite;
class QWebEngineView;

// A banner area whose web view is built in rather than loaded from the banner module: for
// tools and tests that link the web engine anyway and want the view's page at hand.
class CWebBrowser_banner : public CBannerArea {
    Q_OBJECT
public:
    explicit CWebBrowser_banner(QWidget* parent = nullptr);
    ~CWebBrowser_banner() override;

    // Null until the view has been made.
    QWebEngineView* view() const;
    CCustomControlSite* site() const;

protected:
    BannerModule::View* makeView(const BannerModule::Host& host) override;
};
