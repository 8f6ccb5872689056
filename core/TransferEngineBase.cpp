#include "TransferEngineBase.h"

#include "Formats.h"
#include "TransferTexts.h"

TransferEngineBase::TransferEngineBase(TransferHost& host, TransferTable& table, QObject* parent)
    : QObject(parent), transferHost_(host), rows_(table) {}

void TransferEngineBase::setRunning(bool running) {
    running_ = running;
    if (!running)
        startWhenIdle_ = false;
    transferHost_.showRunning(running);
}

bool TransferEngineBase::deferStartUntilIdle() {
    workers_.reap();
    if (workers_.empty())
        return false;
    startWhenIdle_ = true;
    running_ = true;
    transferHost_.showRunning(true);
    transferHost_.startTimer(kPollTimer, 50);
    return true;
}

void TransferEngineBase::onTimer(int id) {
    if (id == kRetryTimer) {
        transferHost_.stopTimer(kRetryTimer);
        // The retry restarts an idle queue only; a start the user pressed meanwhile stands.
        if (!running_)
            toggle();
        return;
    }
    if (id == kPollTimer)
        pollTick();
}

void TransferEngineBase::showTotal(qint64 done) {
    transferHost_.showTotalProgress(ProgressBarPosition(done, totalBytes_),
                                    ProgressCaption(done, totalBytes_));
}

void TransferEngineBase::pollTick() {
    transferHost_.stopTimer(kPollTimer);
    const bool workerListed = !workers_.empty();
    workers_.reap();
    if (startWhenIdle_) {
        if (workers_.empty()) {
            startWhenIdle_ = false;
            startNext();
        } else {
            transferHost_.startTimer(kPollTimer, 50);
        }
        return;
    }
    // The tick after the worker's end settles its file; until then the figures are shown.
    if (!workerListed) {
        settleEndedWorker();
        return;
    }
    if (askPendingQuestion())
        return;
    if (indexNamesRecord(current_)) {
        const Progress p = currentProgress();
        if (p.complete) {
            rows_.setText(current_, TransferTable::StateColumn, TransferText::complete());
        } else {
            showTotal(completedBytes_ + p.done);
            rows_.setText(current_, TransferTable::StateColumn, TransferText::transferring());
        }
        transferHost_.showFileProgress(ProgressBarPosition(p.done, p.size),
                                       ProgressCaption(p.done, p.size));
        if (!p.complete) {
            const RateDisplay::Shown shown =
                rate_.tick(p.measuredRate, p.done, totalBytes_ - completedBytes_ - p.done);
            if (shown.rate)
                transferHost_.showSpeed(FormatSize(*shown.rate));
            if (shown.remainingSeconds)
                transferHost_.showRemaining(FormatTime(*shown.remainingSeconds));
        }
    }
    // Once the worker has ended there is nothing to wait for: the next tick settles the file.
    transferHost_.startTimer(kPollTimer, workers_.empty() ? 0 : 250);
}
