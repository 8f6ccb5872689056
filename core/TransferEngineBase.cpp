#include "TransferEngineBase.h"

#include "Formats.h"
#include "TransferTexts.h"

TransferEngineBase::TransferEngineBase(TransferHost& host, TransferTable& table, QObject* parent)
    : QObject(parent), transferHost_(host), rows_(table) {}

TransferEngineBase::~TransferEngineBase() {
    // The host may be half gone by now: only the threads are told to end.
    cancel_->store(true);
    if (progress_)
        progress_->requestStop();
    joinAll();
}

// ---- the list, one file at a time ---------------------------------------------------------

void TransferEngineBase::setRunning(bool running) {
    running_ = running;
    if (!running)
        startWhenIdle_ = false;
    transferHost_.showRunning(running);
}

void TransferEngineBase::toggle() {
    if (running_) {
        stopCurrent();
        setRunning(false);
        return;
    }
    startNext();
}

bool TransferEngineBase::stopCurrent() {
    if (!progress_ || !progress_->requestStop())
        return false;
    const int row = rowOfLastWorker();
    if (row >= 0)
        rows_.recordAt(row).state = TransferRecord::StopRequested;
    return true;
}

int TransferEngineBase::nextPendingRow() const {
    for (int row = 0; row < rows_.count(); ++row) {
        if (rows_.recordAt(row).pending())
            return row;
    }
    return -1;
}

void TransferEngineBase::startNext() {
    if (!workers_.empty()) {
        // A stopped worker is finishing its last chunk; the start follows its end.
        startWhenIdle_ = true;
        running_ = true;
        transferHost_.showRunning(true);
        return;
    }
    const int row = nextPendingRow();
    if (row < 0) {
        current_ = kNoIndex;
        runCompletion();
        return;
    }
    current_ = row;
    setRunning(true);
    beginFile(row);
    transferHost_.startTimer(kPollTimer, 500);
}

void TransferEngineBase::startWorker(std::shared_ptr<TransferProgress> progress,
                                     std::function<void()> work) {
    progress_ = std::move(progress);
    progressRecordId_ = indexNamesRecord(current_) ? rows_.recordAt(current_).id : 0;
    workers_.start(std::move(work), [this] { workerEnded(); });
}

int TransferEngineBase::rowOfLastWorker() const {
    return progressRecordId_ ? rows_.rowOfRecord(progressRecordId_) : -1;
}

void TransferEngineBase::copyProgressIntoRow(int row) {
    if (!progress_ || !indexNamesRecord(row))
        return;
    TransferRecord& record = rows_.recordAt(row);
    record.done = progress_->done.load();
    record.started = progress_->started.load();
}

void TransferEngineBase::workerEnded() {
    transferHost_.stopTimer(kPollTimer);
    const bool startWaited = startWhenIdle_;
    startWhenIdle_ = false;
    settleEndedWorker();
    if (startWaited && running_ && workers_.empty())
        startNext();
}

void TransferEngineBase::fileCompleted(int row) {
    retryCounter_ = 0;
    ++completedSinceCompletion_;
    recountTotals();
    showTotal(completedBytes_);
    if (ProgressPercent(completedBytes_, totalBytes_) >= 100)
        transferHost_.showRemaining(TransferText::doneCaption());
    rows_.setText(row, TransferTable::StateColumn, TransferText::complete());
    const TransferRecord& record = rows_.recordAt(row);
    transferHost_.showFileProgress(ProgressBarPosition(record.done, record.size),
                                   ProgressCaption(record.done, record.size));
}

bool TransferEngineBase::scheduleRetry() {
    if (retryCounter_ < 3) {
        ++retryCounter_;
        transferHost_.startTimer(kRetryTimer, 1000);
        return true;
    }
    retryCounter_ = 0;
    return false;
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

// The display tick: the running file's bar, the total, its state text, rate and remaining
// time. It decides nothing; the worker's end moves the list on.
void TransferEngineBase::pollTick() {
    transferHost_.stopTimer(kPollTimer);
    if (workers_.empty() || !progress_)
        return;
    const int row = rowOfLastWorker();
    if (row >= 0) {
        TransferRecord& record = rows_.recordAt(row);
        const qint64 done = progress_->done.load();
        record.done = done;
        record.started = progress_->started.load();
        const bool complete = done == record.size;
        if (complete) {
            rows_.setText(row, TransferTable::StateColumn, TransferText::complete());
        } else {
            showTotal(completedBytes_ + done);
            rows_.setText(row, TransferTable::StateColumn, TransferText::transferring());
        }
        transferHost_.showFileProgress(ProgressBarPosition(done, record.size),
                                       ProgressCaption(done, record.size));
        if (!complete) {
            const RateDisplay::Shown shown =
                rate_.tick(progress_->rate.load(), done, totalBytes_ - completedBytes_ - done);
            if (shown.rate)
                transferHost_.showSpeed(FormatSize(*shown.rate));
            if (shown.remainingSeconds)
                transferHost_.showRemaining(FormatTime(*shown.remainingSeconds));
        }
    }
    transferHost_.startTimer(kPollTimer, 250);
}

// ---- totals ---------------------------------------------------------------------------------

void TransferEngineBase::showTotal(qint64 done) {
    transferHost_.showTotalProgress(qMax(totalBarMinimum(), ProgressBarPosition(done, totalBytes_)),
                                    ProgressCaption(done, totalBytes_));
}

void TransferEngineBase::recountTotals() {
    totalBytes_ = 0;
    completedBytes_ = 0;
    for (int row = 0; row < rows_.count(); ++row) {
        const TransferRecord& r = rows_.recordAt(row);
        totalBytes_ += r.size;
        if (r.state == TransferRecord::Done)
            completedBytes_ += r.size;
    }
}

void TransferEngineBase::refreshAfterListing() {
    if (rows_.count() == 0)
        return;
    recountTotals();
    if (current_ < 0) {
        for (int row = 0; row < rows_.count(); ++row) {
            if (rows_.recordAt(row).state != TransferRecord::Done) {
                current_ = row;
                break;
            }
        }
    }
    showTotal(completedBytes_);
    transferHost_.showFileProgress(0, QString::fromLatin1(kEmptyFileCaption));
    transferHost_.showRemaining(QStringLiteral("00:00:00"));
    transferHost_.showSpeed(QStringLiteral("-"));
    showCurrentLines();
}

void TransferEngineBase::refreshAfterDelete() {
    totalBytes_ = 0;
    completedBytes_ = 0;
    for (int row = 0; row < rows_.count(); ++row) {
        const TransferRecord& r = rows_.recordAt(row);
        totalBytes_ += r.size;
        // A stopped file counts with the bytes it has.
        if (r.state == TransferRecord::StopRequested || r.state == TransferRecord::Done)
            completedBytes_ += r.done;
    }
    if (rows_.count() == 0) {
        showEmptyTotal();
        return;
    }
    showTotal(completedBytes_);
}

// ---- control exchanges and requests ----------------------------------------------------------

void TransferEngineBase::runExchange(std::function<void()> work, std::function<void()> then) {
    waitingExchanges_.append({std::move(work), std::move(then)});
    if (exchanges_.empty())
        runNextExchange();
}

void TransferEngineBase::runNextExchange() {
    if (waitingExchanges_.isEmpty())
        return;
    auto [work, then] = waitingExchanges_.takeFirst();
    exchanges_.start(std::move(work), [this, then = std::move(then)] {
        if (then)
            then();
        if (exchanges_.empty())
            runNextExchange();
    });
}

bool TransferEngineBase::beginRequest() {
    if (requestInProgress_)
        return false;
    requestInProgress_ = true;
    return true;
}

void TransferEngineBase::finishRequest() {
    requestInProgress_ = false;
    onRequestFinished();
    if (!queuedRequests_.isEmpty())
        processQueuedRequest(queuedRequests_.takeFirst());
}

void TransferEngineBase::beginEnding() {
    ending_ = true;
    cancel_->store(true);
    if (progress_)
        progress_->requestStop();
    waitingExchanges_.clear();
    requestInProgress_ = false;
    queuedRequests_.clear();
    transferHost_.stopTimer(kPollTimer);
    transferHost_.stopTimer(kRetryTimer);
}

void TransferEngineBase::joinAll() {
    if (!workers_.joinAll(kExitWaitMs))
        qWarning("a transfer worker did not end in time; it is left behind");
    exchanges_.joinAll(kExitWaitMs);
}
