#pragma once

class CCustomControlSite;
class QWebEngineView;

// Every banner asks it for the site that decides how the banner behaves. The programs' banners
// get theirs from the banner module's plain one; a test that wants other sites derives from it
// and overrides CreateSite.
class CCustomOccManager {
public:
    CCustomOccManager();
    virtual ~CCustomOccManager();
    CCustomOccManager(const CCustomOccManager&) = delete;
    CCustomOccManager& operator=(const CCustomOccManager&) = delete;

    // The manager made last; a plain one if none was made, so a banner always has a site.
    static CCustomOccManager* instance();

    // Makes the site for a banner's new view; the view owns it.
    virtual CCustomControlSite* CreateSite(QWebEngineView* view);
};
