#pragma once

#include "core/DataJob.h"
#include "core/DataSocket.h"
#include "core/EngineClock.h"
#include "core/MemberQuestion.h"
#include "core/RateDisplay.h"
#include "core/ServerLink.h"
#include "core/TransferHost.h"
#include "core/TransferProgress.h"
#include "core/TransferTable.h"
#include "core/WorkerThreads.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <map>
#include <memory>

// Limits on the data connections of an engine's workers.
struct DataLimits {
    int connectMs = 20000;   // a data server that does not answer the connect
    int replyMs = 30000;     // ... or the resume offset (upload)
    int sendMs = 20000;      // ... or stops taking bytes
    int silenceMs = 60000;   // ... or stops sending them (download)
    int closeWaitMs = 60000; // ... or stays silent without closing once it has every byte (upload)
};

// What an engine is built with; the defaults are the programs' own.
struct EngineSetup {
    std::unique_ptr<WorkerRunner> workers; // threads of their own when none is given
    std::unique_ptr<WorkerRunner> notices; // the upload's completion notices; the same
    std::shared_ptr<EngineClock> clock;    // QTimer when none is given
    ServerLink::Limits control;            // the control exchanges
    DataLimits data;
};

// How both clients move a list of files, one at a time, each on a worker of its own: the
// running flag and its button, the next file as soon as the previous worker has ended, the
// wait for a stopped worker before the same file starts again, the display tick (500 ms after
// a start, then every 250 ms) with the running file's figures, retries one second apart,
// totals, the list commands, and control exchanges with the file server run off the window's
// thread, one after another. Questions to the member go out through the host and the engine
// waits for their answers in named states (Waiting), going on with whatever else arrives
// meanwhile. Each client says what a file's job is, what its own results mean and what the
// end of the list does.
class TransferEngineBase : public QObject {
    Q_OBJECT
public:
    static constexpr int kNoIndex = -1000;
    // The engine's two timers, by the names its clock is given.
    static constexpr const char* kDisplayTimer = "display"; // 500 ms after a start, then 250
    static constexpr const char* kRetryTimer = "retry";     // 1 s after a failed attempt
    static constexpr const char* kSpareTimer = "spare";     // a pre-opened connection's idling
    static constexpr int kSpareIdleMs = 1000;               // ... is this long at most
    // A file with at most this much left when it starts has the next file's connection
    // opened at once; a longer one when a display tick finds it within a second of its end.
    static constexpr qint64 kSpareAtStartBytes = 1 << 20;
    static constexpr int kExitWaitMs = 2000; // for a worker at the program's end

    // What the engine waits for while a question is open; several can be open at once (the
    // exit question beside a request's folder question, say), at most one of each.
    enum class Waiting {
        ExitAnswer,       // the exit question; everything else goes on meanwhile
        DuplicateAnswer,  // the duplicate-file question holds the list (it stays "running")
        AnotherFolder,    // the folder question after an unwritable folder holds the list
        SaveFolderDialog, // a request waits for the save-folder dialog to close
        BatchFolder,      // a request waits for its save folder
    };

    ~TransferEngineBase() override;

    TransferTable& rows() { return rows_; }
    // The row of the file being (or last) transferred, kNoIndex when none. The engine follows
    // the record, wherever its row moves.
    int currentIndex() const;
    bool isRunning() const { return running_; }
    // Rows must not move: the list runs, a stopped worker is still ending, or a request is
    // being exchanged with the file server.
    bool isBusy() const { return running_ || !workers_->empty() || exchangeInProgress(); }
    bool exchangeInProgress() const { return !exchanges_.empty() || requestInProgress_; }
    // What the running (or last) worker reports; null before the first start.
    TransferProgress* workerProgress() const { return progress_.get(); }

    // A manager command: the launch link's or a hand-off (download), the page control's
    // (upload). Requests are handled one after another; the file server is asked off the
    // window's thread.
    virtual void processRequest(const QByteArray& command) = 0;
    // The start/stop button, the automatic start and the retry timer. A question that holds
    // the list is taken back by it: a stop while the duplicate question is open leaves the
    // file waiting (it is asked again on the next start), a start while the folder question
    // is open tries the same folder again.
    void toggle();
    // The exit (the exit buttons, the tray menu, the completion action): when files are
    // unfinished the member is asked first, and the answer decides later; otherwise, or on
    // "yes", everything that runs is told to end, open questions are withdrawn, and the
    // program ends (finishProgram). A second exit while the question is open adds nothing.
    void exitProgram();
    // The same end without the question, for the end of the session, when nobody is there
    // to answer: unfinished files keep what they have (a download its bytes on disk, an
    // upload what the server holds) and resume on the next start.
    void endWithoutAsking();

    // The member's answer to question `questionId`, from the window's event loop. An answer
    // to a question that was withdrawn, or that came after the end began, does nothing.
    void answer(quint64 questionId, const MemberReply& reply);
    bool isWaitingFor(Waiting state) const;

    // The list commands: rows and records go together, and totals are counted afresh. A
    // deleted marked row leaves the current file current; deleting the completed rows lowers
    // the current row number by one for each, and below the first row the refresh after it
    // takes the first unfinished one.
    void deleteRows(QList<int> rows);
    void deleteCompletedRows();
    // Totals, bars and lines after the list gained rows, or lost its completed ones.
    void refreshAfterListing();
    // Totals and the total bar after marked rows were deleted.
    void refreshAfterDelete();

signals:
    // Files move (the list runs and no question holds it), or no longer do: the desktop
    // keeps the machine awake meanwhile. Also false once the program's end has begun.
    void transferringChanged(bool transferring);
    // A list ended with something to report, in the completion box's words (whether or not
    // the box shows: ending the program and shutting down show none); `folder` is the save
    // folder to offer, "" for none.
    void listReported(const QString& text, const QString& folder);

protected:
    TransferEngineBase(TransferHost& host, TransferTable& table, EngineSetup& setup);

    // ---- what each client says -------------------------------------------------------
    // The row to transfer next, or -1 when none is pending; with `skipping`, the row that
    // would be next once that one is through.
    int nextPendingRow() const { return nextPendingRow(-1); }
    virtual int nextPendingRow(int skipping) const;
    // The data port of this client's data servers.
    virtual int dataPort() const = 0;
    // Starts the worker of `row` (startWorker) with a job made from its record and a progress
    // of the client's own type, which the client keeps; the row is marked transferring
    // already, and its lines and bar follow.
    virtual void beginFile(int row) = 0;
    // What the ended worker left for the window to say (boxes the worker never shows).
    virtual void reportWorkerNotes() {}
    // The client's own part of what the worker reports, copied into the worker's row with
    // the bytes done (on every display tick and when the worker has ended).
    virtual void copyOwnProgress(int row) { Q_UNUSED(row); }
    // The file of `row` is complete; the client's own bookkeeping before the next start.
    virtual void onFileCompleted(int row) { Q_UNUSED(row); }
    // The retries of `row` are used up.
    virtual void onRetriesUsedUp(int row) = 0;
    // An outcome of the client's own (neither complete, failed nor stopped).
    virtual void onOtherOutcome(int row, AttemptOutcome outcome) {
        Q_UNUSED(row);
        Q_UNUSED(outcome);
    }
    // Nothing is left to transfer: the completion actions.
    virtual void runCompletion() = 0;
    // The exit was confirmed and everything is told to end: what the client does last.
    virtual void finishProgram() = 0;
    // The status line (and the download client's folder line) for the current row.
    virtual void showCurrentLines() = 0;
    // The running file is the last one and near its end (within a second or so): what the
    // client does ahead of the list's end.
    virtual void prepareListEnd() {}
    // What the total bar shows for the list emptied by a delete.
    virtual void showEmptyTotal() = 0;
    // The lowest position the total bar takes while there is a list.
    virtual int totalBarMinimum() const { return 0; }
    // Whether the remaining-time line says "전송완료" once a file has completed: the
    // download client shows it when the total percentage reaches 100.
    virtual bool showsListDone(qint64 completed, qint64 total) const;
    // Whether the running file's row reads "완료" while its worker is still on it: once all
    // its bytes are there, unless the client waits for the receiving side to confirm them.
    virtual bool showsFileDone(const TransferRecord& record) const {
        return record.done == record.size;
    }
    // The stop half of toggle(): asks the current worker to stop (a file its worker has found
    // complete stays complete). The download client also remembers the row to resume.
    virtual void stopCurrent();

    // ---- helpers for the clients ---------------------------------------------------------
    // Starts the next pending file, or runs the completion actions. While a stopped worker
    // is still ending the start waits for it, so two workers never work on one file.
    void startNext();
    void setRunning(bool running);
    // Stops the list as the button does while it runs (also when it does not: the time rule
    // stops the current file all the same).
    void stopList();
    // The automatic start after a listing: only an idle list that no question holds.
    void startIfIdle();

    // Puts a question to the member; `then` runs with the answer, on this thread, from the
    // window's event loop. The engine is in `state` until then.
    quint64 ask(Waiting state, MemberQuestion::Kind kind, const QString& text,
                const QString& caption, std::function<void(const MemberReply&)> then);
    // Takes back the open question of `state`, if any; true when there was one.
    bool withdraw(Waiting state);
    bool indexNamesRecord(int i) const { return i >= 0 && i < rows_.count(); }
    // The current file by its row; a row past the end, or none, leaves no current file.
    void setCurrentRow(int row) { currentId_ = rows_.idAt(row); }

    // Runs `work` for the current row, with `progress` as what it reports; the ended worker
    // is settled on this thread as soon as it returns.
    void startWorker(std::shared_ptr<TransferProgress> progress, std::function<void()> work);
    // What every worker's job holds, from `record` and the engine's limits, with the
    // connection opened ahead for it when there is one.
    void fillDataJob(DataJob& job, const TransferRecord& record);
    // A fresh progress that starts where `record` stands.
    template <class Progress> static std::shared_ptr<Progress> progressOf(const TransferRecord& r) {
        auto progress = std::make_shared<Progress>();
        progress->done = r.done;
        progress->started = r.started;
        return progress;
    }

    // Runs a control exchange off the window's thread; `then` follows on this thread.
    // Exchanges run one after another in the order they were asked for.
    void runExchange(std::function<void()> work, std::function<void()> then);
    // For an exchange that reports on its way (a listing, row by row): steps handed to it run
    // on this thread in order, before the exchange's `then`.
    WorkerThreads::Post exchangePoster() const { return exchanges_.poster(); }
    // One listing's way into the table: rows join it as they are read, and the automatic start
    // comes with the first of them, once, so that a stop while the listing goes on stands.
    // Each of the listing's steps holds a copy; they share `started`.
    struct ListingRun {
        bool autostart = false;
        std::shared_ptr<bool> started = std::make_shared<bool>(false);
    };
    // A row read by a listing under way: `append` puts it into the table, the totals take it
    // in, and a list that was waiting for the listing's end with nothing left to do goes on
    // into it.
    void addListedRow(const ListingRun& run, const std::function<void()>& append);
    // The listing has ended: a list that is not running shows the new total, the automatic
    // start comes now if no row brought it, and the next request is taken.
    void endListing(const ListingRun& run);
    // What the links of this engine's exchanges go by, the flag of the program's end with them.
    LinkSettings linkSettings() const { return {controlLimits_, cancel_}; }
    const DataLimits& dataLimits() const { return dataLimits_; }

    // Requests are handled one at a time: true when `request` is to be handled now; false
    // when it waits its turn (or the program ends). finishRequest() takes the next.
    bool admitRequest(const QByteArray& request);
    // A data connection to `address` opened ahead, unless one is open there already; the file
    // that starts next takes it when its data server is there, and it is closed otherwise.
    void openSpare(const QByteArray& address);
    // A request is being handled: its listing may still add rows.
    bool listingInProgress() const { return requestInProgress_; }
    void finishRequest();
    // The member was refused: told so, and the exit runs (staying ends the request).
    void refuseMember(const QString& text);

    // Whether the list's end may be reported as a success: files were transferred since the
    // last completion, or the member started a list whose files were all transferred before.
    // A request that brought nothing (no file server, entries refused) is no success, whatever
    // earlier lists left complete.
    bool transferredSomething() const;
    // The completion actions start counting afresh.
    void resetCompletionCounters() {
        completedSinceCompletion_ = 0;
        requestsSinceCompletion_ = 0;
    }

    // The program is ending: the running exchange and the worker are told to give up, and
    // exchanges not yet begun are dropped. Exchanges asked for from here on still run (the
    // sign-off); continuations of the others must check ending() and do nothing.
    void beginEnding();
    bool ending() const { return ending_; }
    // Gives the workers and exchanges at most kExitWaitMs to end; the rest are left behind.
    void joinAll();

    void showTotal(qint64 done);
    void showFileBar(qint64 done, qint64 size);
    void recountTotals();

    TransferHost& transferHost_;
    TransferTable& rows_;
    quint64 currentId_ = 0; // the current file's record; 0 for none
    bool running_ = false;
    qint64 totalBytes_ = 0;
    qint64 completedBytes_ = 0;
    int retryCounter_ = 0; // kept across files; reset when a file completes or is given up
    RateDisplay rate_;     // kept for the life of the process
    // Starts the retry: toggle() one second from now, when the list is idle then.
    void startRetryTimer() { retryTimer_->start(1000); }

private:
    struct OpenQuestion {
        Waiting state;
        std::function<void(const MemberReply&)> then;
    };
    // The exit, and `ifStaying` when the member answers that the program stays.
    void exitOrStay(std::function<void()> ifStaying);
    bool anyUnfinished() const;
    // The question that holds the list (duplicate file, another folder), taken back.
    bool withdrawListQuestion();

    std::shared_ptr<EngineClock> clock_;
    std::unique_ptr<EngineTimer> displayTimer_;
    std::unique_ptr<EngineTimer> retryTimer_;
    std::unique_ptr<EngineTimer> spareTimer_;
    std::shared_ptr<SpareConnection> spare_;

    // Opens the data connection of the file that follows `runningRow`, unless one is open to
    // its data server already. It idles at most kSpareIdleMs; the list's stop drops it.
    void prepareSpare(int runningRow);
    void dropSpare();

    void rowsListed();
    // While a file runs within about its last MiB: the next file's connection, or what the
    // list's end needs, is prepared.
    void prepareSpareNearEnd();
    void workerEnded();
    void settleEndedWorker();
    void fileCompleted(int row);
    void copyProgressIntoRow(int row);
    int rowOfLastWorker() const;
    void displayTick();
    void retryTick();
    void runNextExchange();

    std::unique_ptr<WorkerRunner> workers_;
    WorkerThreads exchanges_{this};
    std::shared_ptr<TransferProgress> progress_;
    quint64 progressRecordId_ = 0;
    bool startWhenIdle_ = false;
    bool completionDeferred_ = false; // the list ended while a request was being exchanged
    std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
    QList<std::pair<std::function<void()>, std::function<void()>>> waitingExchanges_;
    bool requestInProgress_ = false;
    QList<QByteArray> queuedRequests_;
    int completedSinceCompletion_ = 0;
    int requestsSinceCompletion_ = 0;
    bool ending_ = false;
    bool announcedMoving_ = false; // what transferringChanged() said last
    void announceMoving();
    // The list waits for the member's answer on a file (duplicate, or another folder).
    bool heldByAnswer() const;
    std::map<quint64, OpenQuestion> questions_;
    QList<std::function<void()>> ifStaying_; // what waits for a "no" to the exit question
    ServerLink::Limits controlLimits_;
    DataLimits dataLimits_;
};
