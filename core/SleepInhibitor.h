#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <functional>

// Keeps the machine from suspending (and the session from going idle) while bytes move:
// the desktop portal's Inhibit where the portal answers, else the session's ScreenSaver
// Inhibit, else logind's "sleep:idle" block on the system bus (held by the descriptor it
// returns). Every call is asynchronous: the window's thread never waits on a bus. hold(false)
// while an Inhibit is still on its way releases it as soon as its answer arrives.
class SleepInhibitor : public QObject {
    Q_OBJECT
public:
    enum class Route { None, Portal, ScreenSaver, Logind };

    // `systemBus` is asked for only when the session offers nothing.
    SleepInhibitor(QDBusConnection sessionBus, std::function<QDBusConnection()> systemBus,
                   QString application, QString reason, QObject* parent = nullptr);
    ~SleepInhibitor() override; // releases what is held

    void hold(bool wanted);
    // What holds the machine awake now (None while asking, or when nothing on the buses can).
    Route route() const { return route_; }

signals:
    // The inhibition was taken (by `route`), or released (None).
    void routeChanged(SleepInhibitor::Route route);

private:
    void ask(Route route);
    void taken(Route route);
    void failed(Route route, const QString& why);
    void release();

    QDBusConnection session_;
    std::function<QDBusConnection()> systemBus_;
    QString application_;
    QString reason_;
    bool wanted_ = false;
    bool asking_ = false;
    Route route_ = Route::None;
    QString requestPath_;        // the portal's Request, closed to release
    uint cookie_ = 0;            // the ScreenSaver's cookie
    QDBusUnixFileDescriptor fd_; // logind's, released by closing it
};
