#pragma once

#include "core/CompletionNotifier.h"
#include "core/SleepInhibitor.h"

#include <QDBusConnection>
#include <QObject>
#include <functional>

class TransferEngineBase;

// The desktop around a transfer engine: the machine is kept awake while its list runs, and
// the end of a list is a notification too ("DOWN_Notify" / "UP_Notify", on unless 0). The
// buses are the seam: the programs use the session and system buses, tests a private one.
class TransferDesktop : public QObject {
    Q_OBJECT
public:
    struct Identity {
        QString application;  // "다운로더" / "업로더"
        QString desktopEntry; // the program's desktop file name
        const char* notifyKey;
    };
    struct Buses {
        QDBusConnection session;
        std::function<QDBusConnection()> system; // asked for only when it is needed
    };
    // The session bus, and the system bus for logind.
    static Buses programBuses();

    TransferDesktop(TransferEngineBase& engine, const Identity& identity, Buses buses);
    TransferDesktop(TransferEngineBase& engine, const Identity& identity)
        : TransferDesktop(engine, identity, programBuses()) {}
    ~TransferDesktop() override;

    SleepInhibitor& inhibitor() { return inhibitor_; }

private:
    Identity identity_;
    SleepInhibitor inhibitor_;
    CompletionNotifier notifier_;
};
