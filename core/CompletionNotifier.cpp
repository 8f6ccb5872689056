#include "core/CompletionNotifier.h"

#include "core/DesktopSeams.h"
#include "core/LogCategories.h"
#include "core/TransferTexts.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// A notification server that the bus starts on demand may take a moment.
constexpr int kCallTimeoutMs = 10000;
constexpr int kFlushTimeoutMs = 1000;

} // namespace

CompletionNotifier::CompletionNotifier(QDBusConnection sessionBus, QString application,
                                       QString desktopEntry, QObject* parent)
    : QObject(parent), bus_(std::move(sessionBus)), application_(std::move(application)),
      desktopEntry_(std::move(desktopEntry)) {
    if (!bus_.isConnected())
        return;
    bus_.connect(QString(), kPath, kService, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(uint, QString)));
    bus_.connect(QString(), kPath, kService, QStringLiteral("NotificationClosed"), this,
                 SLOT(onClosed(uint, uint)));
}

CompletionNotifier::~CompletionNotifier() {
    // Still waiting for the capabilities, or for their answer to be handled: sent as it is.
    for (const Asking& waiting : asking_) {
        bus_.call(notifyCall(waiting.summary, waiting.body, {}), QDBus::NoBlock);
        ++notifying_;
    }
    if (notifying_ == 0 || !bus_.isConnected())
        return;
    // Messages leave in order: the daemon's answer means the notifications reached it.
    bus_.call(QDBusMessage::createMethodCall(
                  QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                  QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")),
              QDBus::Block, kFlushTimeoutMs);
}

QDBusMessage CompletionNotifier::notifyCall(const QString& summary, const QString& body,
                                            const QStringList& actions) const {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << application_ << uint(0) << desktopEntry_ << summary << body << actions
         << QVariantMap{{QStringLiteral("desktop-entry"), desktopEntry_}} << int(-1);
    return call;
}

void CompletionNotifier::notify(const QString& summary, const QString& body,
                                const QString& folder) {
    if (!bus_.isConnected()) {
        qCDebug(lcDesktop, "no session bus: the end of the list is not notified");
        return;
    }
    if (folder.isEmpty()) {
        send(summary, body, folder, false);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(QDBusMessage::createMethodCall(kService, kPath, kService,
                                                      QStringLiteral("GetCapabilities")),
                       kCallTimeoutMs),
        this);
    asking_.append({watcher, summary, body});
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, summary, body, folder](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                asking_.removeIf([done](const Asking& a) { return a.capabilities == done; });
                const QDBusPendingReply<QStringList> reply = *done;
                if (reply.isError()) {
                    qCDebug(lcDesktop, "no notification server (%s)",
                            qPrintable(reply.error().message()));
                    return;
                }
                send(summary, body, folder, reply.value().contains(QStringLiteral("actions")));
            });
}

void CompletionNotifier::send(const QString& summary, const QString& body, const QString& folder,
                              bool withAction) {
    const QStringList actions =
        withAction ? QStringList{QString::fromLatin1(kOpenFolderAction), TransferText::openFolder()}
                   : QStringList{};
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(notifyCall(summary, body, actions), kCallTimeoutMs), this);
    ++notifying_;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, folder, withAction](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                --notifying_;
                const QDBusPendingReply<uint> reply = *done;
                if (reply.isError()) {
                    qCDebug(lcDesktop, "the notification was not shown (%s)",
                            qPrintable(reply.error().message()));
                    return;
                }
                if (withAction)
                    folders_.insert(reply.value(), folder);
            });
}

void CompletionNotifier::onActionInvoked(uint id, const QString& action) {
    const auto it = folders_.constFind(id);
    if (it == folders_.cend() || action != QLatin1String(kOpenFolderAction))
        return;
    ShellSeam::current().openFolder(*it, QString());
}

void CompletionNotifier::onClosed(uint id, uint reason) {
    Q_UNUSED(reason);
    folders_.remove(id);
}
