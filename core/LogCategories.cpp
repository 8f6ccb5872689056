#include "core/LogCategories.h"

Q_LOGGING_CATEGORY(lcDownload, "vaultry.download")
Q_LOGGING_CATEGORY(lcUpload, "vaultry.upload")
Q_LOGGING_CATEGORY(lcBus, "vaultry.bus")
Q_LOGGING_CATEGORY(lcNet, "vaultry.net")
Q_LOGGING_CATEGORY(lcDesktop, "vaultry.desktop")
Q_LOGGING_CATEGORY(lcBanner, "vaultry.banner")
