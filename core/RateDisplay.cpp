#include "core/RateDisplay.h"

RateDisplay::Shown RateDisplay::tick(qint64 measured, qint64 done, qint64 remainingBytes) {
    Shown shown;
    if (previousDone_ != 0 && measured > 0) {
        if (baseline_ == 0)
            baseline_ = smoothed_;
        if (measured < smoothed_) {
            if (++slowTicks_ > 4)
                slowTicks_ = 0;
        } else {
            slowTicks_ = 0;
        }
        const qint64 before = smoothed_;
        if (slowTicks_ == 0) {
            if (smoothed_ != 0 && measured <= smoothed_)
                smoothed_ = (smoothed_ + (smoothed_ + measured) / 2) / 2;
            else
                smoothed_ = measured;
        }
        ++ticks_;
        if (ticks_ % 4 == 0 && measured > before)
            shown.rate = smoothed_;
        if (ticks_ == 28 || baseline_ == 0) {
            shown.rate = smoothed_;
            ticks_ = 0;
        }
        if (ticks_ % 4 == 0)
            shown.remainingSeconds = remainingBytes / (smoothed_ != 0 ? smoothed_ : measured);
    }
    previousDone_ = done;
    return shown;
}
