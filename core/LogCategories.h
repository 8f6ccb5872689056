#pragma once

#include <QLoggingCategory>

// The programs' log, by area; turned on for a bug report with QT_LOGGING_RULES, e.g.
// QT_LOGGING_RULES="vaultry.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcDownload) // vaultry.download: the download engine and its workers
Q_DECLARE_LOGGING_CATEGORY(lcUpload)   // vaultry.upload: the upload engine and its workers
Q_DECLARE_LOGGING_CATEGORY(lcBus)      // vaultry.bus: the window bus and the end of the session
Q_DECLARE_LOGGING_CATEGORY(lcNet)      // vaultry.net: control and data connections
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)  // vaultry.desktop: notifications, sleep, shell, power
Q_DECLARE_LOGGING_CATEGORY(lcBanner)   // vaultry.banner: loading the banner's web engine module
