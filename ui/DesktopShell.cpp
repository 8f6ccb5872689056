#include "ui/DesktopShell.h"

#include "core/LogCategories.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>

namespace {

// A file manager that has to be started by the bus first may take a while; it still shows
// the folder when it comes, so a late answer is not followed by a second window.
constexpr int kFileManagerTimeoutMs = 25000;

void openWithDesktop(const QUrl& url) {
    if (!QDesktopServices::openUrl(url))
        qCWarning(lcDesktop, "the desktop could not open %s", qPrintable(url.toString()));
}

} // namespace

void DesktopShell::openUrl(const QString& url) {
    openWithDesktop(QUrl(url));
}

void DesktopShell::openFile(const QString& path) {
    openWithDesktop(QUrl::fromLocalFile(path));
}

void DesktopShell::openFolder(const QString& folder, const QString& selected) {
    const QUrl folderUrl = QUrl::fromLocalFile(folder);
    // A file not written yet cannot be selected: the folder alone, as the desktop opens it.
    const QFileInfo file(selected);
    if (selected.isEmpty() || !file.exists()) {
        openWithDesktop(folderUrl);
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openWithDesktop(folderUrl);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded)}
         << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kFileManagerTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folderUrl](QDBusPendingCallWatcher* done) {
                         const QDBusPendingReply<> reply = *done;
                         done->deleteLater();
                         if (!reply.isError())
                             return;
                         const QDBusError::ErrorType type = reply.error().type();
                         qCInfo(lcDesktop, "no file manager on the session bus (%s)",
                                qPrintable(reply.error().message()));
                         if (type != QDBusError::NoReply && type != QDBusError::Timeout &&
                             type != QDBusError::TimedOut)
                             openWithDesktop(folderUrl);
                     });
}
