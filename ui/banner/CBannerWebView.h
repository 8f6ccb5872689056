#pragma once

#include "ui/BannerModule.h"

#include <QWebEngineView>

class CCustomControlSite;

// The banner's web view, made inside a banner area when it is due: its page is the site the
// program's CCustomOccManager makes, which keeps it locked down.
class CBannerWebView : public QWebEngineView, public BannerModule::View {
    Q_OBJECT
public:
    // Fills `area` and shows; the area owns it.
    CBannerWebView(QWidget* area, const BannerModule::Host& host);
    ~CBannerWebView() override;

    QWidget* widget() override { return this; }
    void navigate(const QString& url) override;

    CCustomControlSite* site() const { return site_; }

private:
    CCustomControlSite* site_ = nullptr; // the view's page, owned by the view
};
