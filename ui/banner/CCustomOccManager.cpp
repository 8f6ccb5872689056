#include "ui/banner/CCustomOccManager.h"

#include "ui/banner/CCustomControlSite.h"

#include <QCoreApplication>
#include <QList>
#include <QtGlobal>

#include <algorithm>

#include <unistd.h>

namespace {

CCustomOccManager* g_manager = nullptr;

bool hasFlag(const QList<QByteArray>& flags, const QByteArray& flag) {
    return flags.contains(flag);
}

} // namespace

CCustomOccManager::CCustomOccManager() {
    // The last one made is the one in use; the program makes exactly one.
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

QByteArray CCustomOccManager::ChromiumFlags(const QByteArray& given, bool offscreen, bool root) {
    QList<QByteArray> flags = given.simplified().split(' ');
    flags.removeAll(QByteArray());
    if (offscreen && !hasFlag(flags, "--disable-gpu"))
        flags.append("--disable-gpu");
    if (root && !hasFlag(flags, "--no-sandbox"))
        flags.append("--no-sandbox");
    // Chromium's own log lines (GL, sandbox, fonts) would fill the member's console; flags
    // given for logging are left as they are.
    const bool loggingGiven = std::any_of(flags.cbegin(), flags.cend(), [](const QByteArray& f) {
        return f.startsWith("--log-level") || f.startsWith("--enable-logging") ||
               f == "--disable-logging";
    });
    if (!loggingGiven)
        flags << "--disable-logging"
              << "--log-level=3";
    return flags.join(' ');
}

void CCustomOccManager::prepareApplication() {
    if (!QCoreApplication::instance())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool offscreen = platform.startsWith("offscreen") || platform.startsWith("minimal");
    const QByteArray given = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const QByteArray flags = ChromiumFlags(given, offscreen, ::geteuid() == 0);
    if (flags != given)
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

CCustomControlSite* CCustomOccManager::CreateSite(QWebEngineView* view) {
    return new CCustomControlSite(view);
}
