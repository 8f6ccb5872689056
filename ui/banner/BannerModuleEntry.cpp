// The banner module's one entry: the programs load the module (and with it the web engine)
// only when a banner's view is due.

#include "ui/banner/CBannerWebView.h"

extern "C" Q_DECL_EXPORT BannerModule::View*
vaultry_banner_make_view(QWidget* area, const BannerModule::Host* host) {
    if (!area || !host)
        return nullptr;
    return new CBannerWebView(area, *host);
}
