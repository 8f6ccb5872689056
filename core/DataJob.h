#pragma once

#include "core/TransferProgress.h"

#include <QByteArray>
#include <atomic>
#include <memory>

class SpareConnection;

// What every transfer worker's job holds, whichever way its file travels: the data server,
// the announced size, the limits of its waits, and the flag of the program's end.
struct DataJob {
    QByteArray dataAddress; // dotted IPv4, no name lookup
    qint64 size = 0;
    int connectLimitMs = 20000;
    int sendLimitMs = 20000;
    std::shared_ptr<const std::atomic<bool>> cancel;
    // Opened ahead for this file's data server, when the engine had one; used if still good.
    std::shared_ptr<SpareConnection> spare;

    // The worker ends at its next chance: its stop was asked for, or the program ends.
    bool giveUp(const TransferProgress& progress) const {
        return progress.stopRequested() || (cancel && cancel->load());
    }
};
