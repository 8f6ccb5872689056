#include "core/TransferEngineBase.h"

#include "core/ControlConnectionsAhead.h"
#include "core/Formats.h"
#include "core/LogCategories.h"
#include "core/MemberHandshake.h"
#include "core/TransferTexts.h"

#include <QtNumeric>
#include <algorithm>
#include <limits>
#include <utility>

TransferEngineBase::TransferEngineBase(TransferHost& host, TransferTable& table, EngineSetup& setup)
    : transferHost_(host), rows_(table),
      clock_(setup.clock ? std::move(setup.clock) : std::make_shared<QtEngineClock>()),
      workers_(setup.workers ? std::move(setup.workers) : std::make_unique<WorkerThreads>(this)),
      controlLimits_(setup.control), dataLimits_(setup.data) {
    displayTimer_ =
        clock_->makeTimer(QString::fromLatin1(kDisplayTimer), [this] { displayTick(); });
    retryTimer_ = clock_->makeTimer(QString::fromLatin1(kRetryTimer), [this] { retryTick(); });
    spareTimer_ = clock_->makeTimer(QString::fromLatin1(kSpareTimer), [this] { dropSpare(); });
}

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
    if (!running) {
        startWhenIdle_ = false;
        // Whatever stops the list (the member, a refusal, its end) also takes back a retry
        // that a failed attempt had asked for; a failed attempt asks for it after this.
        retryTimer_->stop();
        dropSpare();
    }
    transferHost_.showRunning(running);
    announceMoving();
}

void TransferEngineBase::announceMoving() {
    // A list held by the member's answer moves nothing: an unanswered question does not keep
    // the machine awake.
    const bool moving = running_ && !ending_ && !heldByAnswer();
    if (moving == announcedMoving_)
        return;
    announcedMoving_ = moving;
    emit transferringChanged(moving);
}

void TransferEngineBase::toggle() {
    if (running_) {
        stopList();
        return;
    }
    // A start while the folder question is open tries the folder as it is.
    withdrawListQuestion();
    startNext();
}

void TransferEngineBase::stopList() {
    // The duplicate question's file has no worker and no bytes of this attempt: it waits, and
    // is asked about again on the next start.
    if (!withdrawListQuestion())
        stopCurrent();
    setRunning(false);
}

void TransferEngineBase::startIfIdle() {
    if (!running_ && !heldByAnswer())
        toggle();
}

bool TransferEngineBase::heldByAnswer() const {
    return isWaitingFor(Waiting::DuplicateAnswer) || isWaitingFor(Waiting::AnotherFolder);
}

int TransferEngineBase::currentIndex() const {
    const int row = rows_.rowOfRecord(currentId_);
    return row >= 0 ? row : kNoIndex;
}

void TransferEngineBase::stopCurrent() {
    if (!workers_->empty() && progress_) {
        // A file its worker has found complete stays complete.
        if (progress_->requestStop())
            rows_.setState(rowOfLastWorker(), RowState::StopRequested);
        return;
    }
    // No worker is on it (between attempts): the row is stopped all the same.
    const int current = currentIndex();
    if (indexNamesRecord(current) && !rows_.recordAt(current).isComplete())
        rows_.setState(current, RowState::StopRequested);
}

int TransferEngineBase::nextPendingRow(int skipping) const {
    for (int row = 0; row < rows_.count(); ++row) {
        if (row != skipping && rows_.recordAt(row).pending())
            return row;
    }
    return -1;
}

void TransferEngineBase::startNext() {
    // An answer or a timer that comes after the end began starts nothing.
    if (ending())
        return;
    if (!workers_->empty()) {
        // A stopped worker is finishing its last chunk; the start follows its end.
        startWhenIdle_ = true;
        running_ = true;
        transferHost_.showRunning(true);
        announceMoving();
        return;
    }
    const int row = nextPendingRow();
    if (row < 0) {
        currentId_ = 0;
        dropSpare();
        if (requestInProgress_ || !queuedRequests_.isEmpty()) {
            // A request handed over meanwhile is still being exchanged: its files join this
            // list, and the completion actions (ending the program, shutting down) wait for it.
            completionDeferred_ = true;
            setRunning(true);
            return;
        }
        runCompletion();
        return;
    }
    setCurrentRow(row);
    setRunning(true);
    TransferRecord& record = rows_.recordAt(row);
    // A file stopped part-way keeps what the receiving side holds.
    if (!record.started)
        record.done = 0;
    rows_.setState(row, RowState::Transferring);
    beginFile(row);
    if (record.size - record.done <= kSpareAtStartBytes)
        prepareSpare(row);
    showCurrentLines();
    showFileBar(record.done, record.size);
    displayTimer_->start(500);
}

void TransferEngineBase::startWorker(std::shared_ptr<TransferProgress> progress,
                                     std::function<void()> work) {
    progress_ = std::move(progress);
    progressRecordId_ = currentId_;
    workers_->start(std::move(work), [this] { workerEnded(); });
}

void TransferEngineBase::fillDataJob(DataJob& job, const TransferRecord& record) {
    spareTimer_->stop();
    std::shared_ptr<SpareConnection> spare = std::exchange(spare_, nullptr);
    if (spare && spare->isFor(record.dataAddress, dataPort()))
        job.spare = std::move(spare);
    job.dataAddress = record.dataAddress;
    job.size = record.size;
    job.connectLimitMs = dataLimits_.connectMs;
    job.sendLimitMs = dataLimits_.sendMs;
    job.cancel = cancel_;
}

void TransferEngineBase::prepareSpare(int runningRow) {
    const int next = nextPendingRow(runningRow);
    if (ending() || next < 0) {
        dropSpare();
        if (!ending())
            prepareListEnd();
        return;
    }
    openSpare(rows_.recordAt(next).dataAddress);
}

void TransferEngineBase::openSpare(const QByteArray& address) {
    if (spare_ && spare_->isFor(address, dataPort()))
        return;
    // A data server keeps a silent connection only so long: one that idles longer is closed
    // rather than risked, and the file connects afresh.
    spare_ = SpareConnection::open(address, dataPort());
    if (spare_)
        spareTimer_->start(kSpareIdleMs);
}

void TransferEngineBase::dropSpare() {
    spareTimer_->stop();
    spare_.reset();
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
    copyOwnProgress(row);
}

void TransferEngineBase::workerEnded() {
    displayTimer_->stop();
    const bool startWaited = startWhenIdle_;
    startWhenIdle_ = false;
    settleEndedWorker();
    if (startWaited && running_ && workers_->empty())
        startNext();
}

void TransferEngineBase::settleEndedWorker() {
    const int row = rowOfLastWorker();
    copyProgressIntoRow(row);
    reportWorkerNotes();
    if (ending())
        return;
    if (row < 0) {
        // The worker's row was deleted under it: its outcome has nowhere to go, and the list
        // goes on from where it stands instead of staying "running" with nothing running.
        if (running_)
            startNext();
        return;
    }
    setCurrentRow(row);
    TransferRecord& record = rows_.recordAt(row);
    if (progress_->complete()) {
        record.started = false;
        rows_.setState(row, RowState::Done);
        fileCompleted(row);
        // Only the current file moves on here: recomputing the lines would wipe the "전송완료"
        // just shown; the next start redraws them for its own file.
        setCurrentRow(row + 1);
        onFileCompleted(row);
        if (running_)
            startNext();
        return;
    }
    // A stop the member asked for wins over whatever the attempt ran into after it.
    const AttemptOutcome outcome =
        progress_->stopRequested() ? AttemptOutcome::Stopped : progress_->result.load();
    if (outcome == AttemptOutcome::Failed) {
        setRunning(false);
        if (retryCounter_ < 3) {
            ++retryCounter_;
            startRetryTimer();
        } else {
            retryCounter_ = 0;
            onRetriesUsedUp(row);
        }
    } else if (outcome != AttemptOutcome::Stopped) {
        onOtherOutcome(row, outcome);
    }
    // A stopped file keeps its bytes and resumes on the next start.
}

void TransferEngineBase::fileCompleted(int row) {
    retryCounter_ = 0;
    ++completedSinceCompletion_;
    recountTotals();
    showTotal(completedBytes_);
    if (showsListDone(completedBytes_, totalBytes_))
        transferHost_.showRemaining(TransferText::doneCaption());
    showFileBar(rows_.recordAt(row).done, rows_.recordAt(row).size);
}

bool TransferEngineBase::showsListDone(qint64 completed, qint64 total) const {
    return ProgressPercent(completed, total) >= 100;
}

void TransferEngineBase::retryTick() {
    // The retry restarts an idle queue only; a start the user pressed meanwhile stands.
    if (!running_)
        toggle();
}

// The display tick: the running file's bar, the total, its state text, rate and remaining
// time. It decides nothing; the worker's end moves the list on.
void TransferEngineBase::displayTick() {
    if (workers_->empty() || !progress_)
        return;
    const int row = rowOfLastWorker();
    if (row >= 0) {
        copyProgressIntoRow(row);
        const TransferRecord& record = rows_.recordAt(row);
        const qint64 done = record.done;
        const bool complete = showsFileDone(record);
        if (complete) {
            if (record.state == RowState::Transferring)
                rows_.setState(row, RowState::Finishing);
        } else {
            showTotal(completedBytes_ + done);
        }
        showFileBar(done, record.size);
        // Within about a second of its end, the next file's connection is opened.
        const qint64 rate = progress_->rate.load();
        if (!complete && !spare_ && rate > 0 && record.size - done < rate)
            prepareSpare(row);
        if (!complete) {
            const RateDisplay::Shown shown =
                rate_.tick(rate, done, totalBytes_ - completedBytes_ - done);
            if (shown.rate)
                transferHost_.showSpeed(FormatSize(*shown.rate));
            if (shown.remainingSeconds)
                transferHost_.showRemaining(FormatTime(*shown.remainingSeconds));
        }
    }
    displayTimer_->start(250);
}

// ---- list commands --------------------------------------------------------------------------

void TransferEngineBase::deleteRows(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the last to the first, so that the rows still to go keep their numbers.
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        if (!indexNamesRecord(*row))
            continue;
        rows_.removeRowAt(*row);
    }
    refreshAfterDelete();
}

void TransferEngineBase::deleteCompletedRows() {
    // The current row number falls by one for every removed row, wherever that row stood, so
    // that the lines name the row the member sees there; below the first row the refresh takes
    // the first unfinished one. The next start picks the first pending row whatever they name.
    const int current = currentIndex();
    const int removed = int(rows_.removeRowsInState(RowState::Done).size());
    setCurrentRow(current < 0 ? -1 : current - removed);
    refreshAfterListing();
}

// ---- totals ---------------------------------------------------------------------------------

void TransferEngineBase::showTotal(qint64 done) {
    transferHost_.showTotalProgress(qMax(totalBarMinimum(), ProgressBarPosition(done, totalBytes_)),
                                    ProgressCaption(done, totalBytes_));
}

void TransferEngineBase::showFileBar(qint64 done, qint64 size) {
    transferHost_.showFileProgress(ProgressBarPosition(done, size), ProgressCaption(done, size));
}

void TransferEngineBase::recountTotals() {
    // Sizes come from the server: a few huge ones must not overflow the sums.
    auto add = [](qint64 sum, qint64 size) {
        qint64 result = 0;
        return qAddOverflow(sum, qMax<qint64>(size, 0), &result)
                   ? std::numeric_limits<qint64>::max()
                   : result;
    };
    totalBytes_ = 0;
    completedBytes_ = 0;
    for (int row = 0; row < rows_.count(); ++row) {
        const TransferRecord& r = rows_.recordAt(row);
        totalBytes_ = add(totalBytes_, r.size);
        if (r.isComplete())
            completedBytes_ = add(completedBytes_, r.size);
    }
}

void TransferEngineBase::refreshAfterListing() {
    if (rows_.count() == 0)
        return;
    recountTotals();
    if (currentIndex() < 0) {
        for (int row = 0; row < rows_.count(); ++row) {
            if (!rows_.recordAt(row).isComplete()) {
                setCurrentRow(row);
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
        if (r.state == RowState::StopRequested || r.isComplete())
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

bool TransferEngineBase::admitRequest(const QByteArray& request) {
    if (ending())
        return false;
    if (requestInProgress_) {
        queuedRequests_.append(request);
        return false;
    }
    requestInProgress_ = true;
    ++requestsSinceCompletion_;
    return true;
}

bool TransferEngineBase::transferredSomething() const {
    if (completedSinceCompletion_ > 0)
        return true;
    if (requestsSinceCompletion_ > 0 || rows_.count() == 0)
        return false;
    for (int row = 0; row < rows_.count(); ++row) {
        if (!rows_.recordAt(row).isComplete())
            return false;
    }
    return true;
}

void TransferEngineBase::refuseMember(const QString& text) {
    transferHost_.message(text, MemberText::errorCaption(), TransferHost::Icon::Information);
    exitOrStay([this] { finishRequest(); });
}

void TransferEngineBase::finishRequest() {
    requestInProgress_ = false;
    if (!queuedRequests_.isEmpty()) {
        processRequest(queuedRequests_.takeFirst());
        return;
    }
    if (!completionDeferred_)
        return;
    completionDeferred_ = false;
    // The list goes on into the new files, or ends now; a list stopped meanwhile has no end.
    if (running_ && workers_->empty())
        startNext();
}

void TransferEngineBase::addListedRow(const ListingRun& run, const std::function<void()>& append) {
    if (ending())
        return;
    append();
    if (!running_ && !*run.started)
        refreshAfterListing();
    rowsListed();
    if (run.autostart && !*run.started) {
        *run.started = true;
        startIfIdle();
    }
}

void TransferEngineBase::endListing(const ListingRun& run) {
    // A running list keeps its lines and bars; the display tick shows the new total.
    if (!running_)
        refreshAfterListing();
    if (run.autostart && !*run.started)
        startIfIdle();
    finishRequest();
    // The last file may be under way already, and near its end: what follows the list is
    // prepared now.
    prepareSpareNearEnd();
}

void TransferEngineBase::prepareSpareNearEnd() {
    // The running file may be near its end already: what follows it is prepared now.
    const int row = rowOfLastWorker();
    if (running_ && !workers_->empty() && !spare_ && row >= 0 &&
        rows_.recordAt(row).size - progress_->done.load() <= kSpareAtStartBytes)
        prepareSpare(row);
}

void TransferEngineBase::rowsListed() {
    recountTotals();
    if (!running_) {
        showTotal(completedBytes_);
        return;
    }
    if (!workers_->empty()) {
        prepareSpareNearEnd();
        return;
    }
    if (completionDeferred_) {
        // The list ran out of files before the listing ended: it goes on with the new ones
        // (or waits again for the listing's end).
        completionDeferred_ = false;
        startNext();
    }
}

void TransferEngineBase::beginEnding() {
    ending_ = true;
    announceMoving();
    transferHost_.stopTakingRequests();
    cancel_->store(true);
    if (progress_)
        progress_->requestStop();
    waitingExchanges_.clear();
    dropSpare();
    ControlConnectionsAhead::drop();
    requestInProgress_ = false;
    queuedRequests_.clear();
    // Nothing asked before the end is waited for any more.
    for (const auto& open : std::exchange(questions_, {}))
        transferHost_.withdraw(open.first);
    ifStaying_.clear();
    displayTimer_->stop();
    retryTimer_->stop();
}

void TransferEngineBase::exitProgram() {
    exitOrStay({});
}

void TransferEngineBase::exitOrStay(std::function<void()> ifStaying) {
    if (ending())
        return;
    if (!anyUnfinished()) {
        endWithoutAsking();
        return;
    }
    if (ifStaying)
        ifStaying_.append(std::move(ifStaying));
    if (isWaitingFor(Waiting::ExitAnswer))
        return;
    ask(Waiting::ExitAnswer, MemberQuestion::Kind::ExitAnyway, TransferText::unfinishedExit(),
        TransferText::exitCaption(), [this](const MemberReply& reply) {
            const QList<std::function<void()>> staying = std::exchange(ifStaying_, {});
            if (reply.answer == MemberAnswer::Yes) {
                endWithoutAsking();
                return;
            }
            for (const auto& step : staying)
                step();
        });
}

void TransferEngineBase::endWithoutAsking() {
    if (ending())
        return;
    beginEnding();
    finishProgram();
}

bool TransferEngineBase::anyUnfinished() const {
    for (int row = 0; row < rows_.count(); ++row) {
        if (!rows_.recordAt(row).isComplete())
            return true;
    }
    return false;
}

// ---- questions ------------------------------------------------------------------------------

quint64 TransferEngineBase::ask(Waiting state, MemberQuestion::Kind kind, const QString& text,
                                const QString& caption,
                                std::function<void(const MemberReply&)> then) {
    withdraw(state); // at most one of each: a newer question replaces an older one
    // Unique in the process: an answer meant for another engine's question never fits one
    // of this engine's.
    static std::atomic<quint64> lastId{0};
    const quint64 id = ++lastId;
    // Open before the host hears of it: the answer finds it whenever it comes.
    questions_[id] = OpenQuestion{state, std::move(then)};
    announceMoving();
    transferHost_.ask(MemberQuestion{id, kind, text, caption});
    return id;
}

void TransferEngineBase::answer(quint64 questionId, const MemberReply& reply) {
    const auto open = questions_.find(questionId);
    if (open == questions_.end() || ending())
        return;
    const std::function<void(const MemberReply&)> then = std::move(open->second.then);
    questions_.erase(open);
    if (then)
        then(reply);
    announceMoving();
}

bool TransferEngineBase::isWaitingFor(Waiting state) const {
    return std::any_of(questions_.cbegin(), questions_.cend(),
                       [state](const auto& open) { return open.second.state == state; });
}

bool TransferEngineBase::withdraw(Waiting state) {
    for (auto open = questions_.begin(); open != questions_.end(); ++open) {
        if (open->second.state == state) {
            const quint64 id = open->first;
            questions_.erase(open);
            transferHost_.withdraw(id);
            // What follows (a start, a stop, the next question) tells the desktop.
            return true;
        }
    }
    return false;
}

bool TransferEngineBase::withdrawListQuestion() {
    const bool duplicate = withdraw(Waiting::DuplicateAnswer);
    const bool folder = withdraw(Waiting::AnotherFolder);
    return duplicate || folder;
}

void TransferEngineBase::joinAll() {
    if (!workers_->joinAll(kExitWaitMs))
        qCWarning(lcNet, "a transfer worker did not end in time; it is left behind");
    exchanges_.joinAll(kExitWaitMs);
}
