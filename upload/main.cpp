#include "UploadStartup.h"

#ifdef VAULTRY_HAVE_BANNER
#include "CCustomOccManager.h"
#endif

#include <QApplication>

int main(int argc, char** argv) {
#ifdef VAULTRY_HAVE_BANNER
    CCustomOccManager::prepareApplication();
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vaultry_UPLOAD"));
    QApplication::setQuitOnLastWindowClosed(false);
#ifdef VAULTRY_HAVE_BANNER
    CCustomOccManager banners; // every banner of the program gets its site from here
#endif
    return RunUploadClient();
}
