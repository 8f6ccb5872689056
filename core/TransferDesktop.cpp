#include "core/TransferDesktop.h"

#include "core/SettingsStore.h"
#include "core/TransferEngineBase.h"
#include "core/TransferTexts.h"

TransferDesktop::TransferDesktop(TransferEngineBase& engine, const Identity& identity, Buses buses)
    : identity_(identity), inhibitor_(buses.session, std::move(buses.system), identity.application,
                                      TransferText::keepsAwake()),
      notifier_(buses.session, identity.application, identity.desktopEntry) {
    connect(&engine, &TransferEngineBase::transferringChanged, this,
            [this](bool transferring) { inhibitor_.hold(transferring); });
    connect(&engine, &TransferEngineBase::listReported, this,
            [this](const QString& text, const QString& folder) {
                // Read when the list ends: the settings may have changed since the start.
                if (SettingsStore::ReadInt(identity_.notifyKey, 1) == 0)
                    return;
                notifier_.notify(TransferText::doneCaption(), text, folder);
            });
}

TransferDesktop::Buses TransferDesktop::programBuses() {
    return {QDBusConnection::sessionBus(), [] { return QDBusConnection::systemBus(); }};
}

// What is held goes with the program, however it ends.
TransferDesktop::~TransferDesktop() = default;
