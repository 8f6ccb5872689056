#pragma once

#include <QtGlobal>
#include <optional>

// The smoothed rate and remaining time shown once per progress tick. A rise of the measured
// rate shows at once; a fall is followed only every fifth slow tick, by a quarter of the
// difference, so the figures do not flicker. The state lives for the whole process.
class RateDisplay {
public:
    struct Shown {
        std::optional<qint64> rate;             // bytes per second to show, when due
        std::optional<qint64> remainingSeconds; // when due
    };

    // One tick: `measured` is the worker's latest rate, `done` the current file's bytes,
    // `remainingBytes` what is left of the whole list.
    Shown tick(qint64 measured, qint64 done, qint64 remainingBytes);

    qint64 smoothed() const { return smoothed_; }

private:
    qint64 smoothed_ = 0;
    qint64 baseline_ = 0;
    int ticks_ = 0;
    int slowTicks_ = 0;
    qint64 previousDone_ = 0;
};
