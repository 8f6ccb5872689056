#include "core/WebEngineStart.h"

#include <QCoreApplication>
#include <QList>
#include <QtGlobal>

#include <algorithm>

#include <unistd.h>

QByteArray WebEngineStart::chromiumFlags(const QByteArray& given, bool offscreen, bool root) {
    QList<QByteArray> flags = given.simplified().split(' ');
    flags.removeAll(QByteArray());
    if (offscreen && !flags.contains("--disable-gpu"))
        flags.append("--disable-gpu");
    if (root && !flags.contains("--no-sandbox"))
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

void WebEngineStart::prepareApplication() {
    if (!QCoreApplication::instance())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool offscreen = platform.startsWith("offscreen") || platform.startsWith("minimal");
    const QByteArray given = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const QByteArray flags = chromiumFlags(given, offscreen, ::geteuid() == 0);
    if (flags != given)
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}
