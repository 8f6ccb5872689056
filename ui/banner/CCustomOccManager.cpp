#include "ui/banner/CCustomOccManager.h"

#include "ui/banner/CCustomControlSite.h"

namespace {

CCustomOccManager* g_manager = nullptr;

} // namespace

CCustomOccManager::CCustomOccManager() {
    // The last one made is the one in use.
    g_manager = this;
}

CCustomOccManager::~CCustomOccManager() {
    if (g_manager == this)
        g_manager = nullptr;
}

CCustomOccManager* CCustomOccManager::instance() {
    if (g_manager)
        return g_manager;
    static CCustomOccManager fallback;
    return &fallback;
}

CCustomControlSite* CCustomOccManager::CreateSite(QWebEngineView* view) {
    return new CCustomControlSite(view);
}
