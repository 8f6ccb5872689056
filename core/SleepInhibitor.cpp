#include "core/SleepInhibitor.h"

#include "core/LogCategories.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

// A portal or screen saver that has to be started by the bus first may take a moment; the
// window goes on meanwhile.
constexpr int kInhibitTimeoutMs = 10000;
// The portal's flags: suspend (4) and idle (8).
constexpr uint kSuspendAndIdle = 4 | 8;

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");

} // namespace

SleepInhibitor::SleepInhibitor(QDBusConnection sessionBus,
                               std::function<QDBusConnection()> systemBus, QString application,
                               QString reason, QObject* parent)
    : QObject(parent), session_(std::move(sessionBus)), systemBus_(std::move(systemBus)),
      application_(std::move(application)), reason_(std::move(reason)) {}

SleepInhibitor::~SleepInhibitor() {
    wanted_ = false;
    release();
}

void SleepInhibitor::hold(bool wanted) {
    wanted_ = wanted;
    if (asking_)
        return; // the answer on its way decides, by wanted_
    if (wanted && route_ == Route::None)
        ask(Route::Portal);
    else if (!wanted)
        release();
}

void SleepInhibitor::ask(Route route) {
    QDBusMessage call;
    QDBusConnection bus = session_;
    switch (route) {
    case Route::Portal:
        call = QDBusMessage::createMethodCall(
            kPortalService, QStringLiteral("/org/freedesktop/portal/desktop"),
            QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
        call << QString() << kSuspendAndIdle << QVariantMap{{QStringLiteral("reason"), reason_}};
        break;
    case Route::ScreenSaver:
        call = QDBusMessage::createMethodCall(kScreenSaverService,
                                              QStringLiteral("/org/freedesktop/ScreenSaver"),
                                              kScreenSaverService, QStringLiteral("Inhibit"));
        call << application_ << reason_;
        break;
    case Route::Logind:
        bus = systemBus_ ? systemBus_() : QDBusConnection(QString());
        call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        call << QStringLiteral("sleep:idle") << application_ << reason_ << QStringLiteral("block");
        break;
    case Route::None:
        return;
    }
    asking_ = true;
    if (!bus.isConnected()) {
        // A call on a bus that is not there would never be answered.
        failed(route, QStringLiteral("no bus"));
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kInhibitTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, route](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusMessage reply = done->reply();
                if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                    failed(route, done->error().message());
                    return;
                }
                const QVariant first = reply.arguments().constFirst();
                if (route == Route::Portal)
                    requestPath_ = qdbus_cast<QDBusObjectPath>(first).path();
                else if (route == Route::ScreenSaver)
                    cookie_ = first.toUInt();
                else
                    fd_ = qdbus_cast<QDBusUnixFileDescriptor>(first);
                taken(route);
            });
}

void SleepInhibitor::taken(Route route) {
    asking_ = false;
    route_ = route;
    qCInfo(lcDesktop, "sleep held off through %s",
           route == Route::Portal        ? "the desktop portal"
           : route == Route::ScreenSaver ? "the screen saver"
                                         : "logind");
    emit routeChanged(route_);
    if (!wanted_)
        release(); // the transfer ended while the answer was on its way
}

void SleepInhibitor::failed(Route route, const QString& why) {
    qCDebug(lcDesktop, "inhibit refused (%d): %s", int(route), qPrintable(why));
    if (route == Route::Portal) {
        ask(Route::ScreenSaver);
    } else if (route == Route::ScreenSaver) {
        ask(Route::Logind);
    } else {
        asking_ = false;
        qCInfo(lcDesktop, "nothing on the buses holds sleep off; the transfer goes on");
    }
}

void SleepInhibitor::release() {
    switch (route_) {
    case Route::Portal:
        session_.call(
            QDBusMessage::createMethodCall(kPortalService, requestPath_,
                                           QStringLiteral("org.freedesktop.portal.Request"),
                                           QStringLiteral("Close")),
            QDBus::NoBlock);
        requestPath_.clear();
        break;
    case Route::ScreenSaver: {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kScreenSaverService, QStringLiteral("/org/freedesktop/ScreenSaver"),
            kScreenSaverService, QStringLiteral("UnInhibit"));
        call << cookie_;
        session_.call(call, QDBus::NoBlock);
        cookie_ = 0;
        break;
    }
    case Route::Logind:
        fd_ = QDBusUnixFileDescriptor(); // the last copy closes it
        break;
    case Route::None:
        return;
    }
    route_ = Route::None;
    qCInfo(lcDesktop, "sleep no longer held off");
    emit routeChanged(route_);
}
