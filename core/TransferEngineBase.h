#pragma once

#include "RateDisplay.h"
#include "TransferHost.h"
#include "TransferTable.h"
#include "WorkerThreads.h"

#include <QObject>

// How both clients pace a list of files over one worker thread and the window's timers:
// the running flag and its button, the wait for a stopped worker before the next start, the
// poll timer (500 ms after a start, then every 250 ms) with the running file's figures, and
// the one-second retry timer. Each engine says what a start, an ended worker and a file's
// progress mean for it.
class TransferEngineBase : public QObject {
    Q_OBJECT
public:
    static constexpr int kNoIndex = -1000;
    static constexpr int kPollTimer = 1;
    static constexpr int kRetryTimer = 104;

    int currentIndex() const { return current_; }
    void setCurrentIndex(int index) { current_ = index; }
    bool isRunning() const { return running_; }
    // Running, or a stopped worker has not ended yet: rows must not move under it.
    bool isBusy() const { return running_ || !workers_.empty(); }

    // The start/stop button, the automatic start and the retry timer.
    virtual void toggle() = 0;
    void onTimer(int id);

protected:
    TransferEngineBase(TransferHost& host, TransferTable& table, QObject* parent);

    struct Progress {
        qint64 done = 0;
        qint64 size = 0;
        bool complete = false; // the worker has finished the file
        qint64 measuredRate = 0;
    };

    // Starts the next pending file, or runs the completion actions.
    virtual void startNext() = 0;
    // The worker has ended: results, retries, the completed file, the next start.
    virtual void settleEndedWorker() = 0;
    // The current file's figures, read on a tick while its worker runs.
    virtual Progress currentProgress() const = 0;
    // A question the ended worker left for the user; true when the tick is done with it.
    virtual bool askPendingQuestion() { return false; }
    // The total bar over `done` bytes of the whole list.
    virtual void showTotal(qint64 done);

    void setRunning(bool running);
    // A stopped worker is still finishing its last chunk: true, and the start happens once it
    // has ended, so that two workers never work on one file.
    bool deferStartUntilIdle();
    bool indexNamesRecord(int i) const { return i >= 0 && i < rows_.count(); }

    TransferHost& transferHost_;
    TransferTable& rows_;
    WorkerThreads workers_;
    int current_ = kNoIndex;
    bool running_ = false;
    qint64 totalBytes_ = 0;
    qint64 completedBytes_ = 0;
    // Kept for the life of the process, across files.
    int retryCounter_ = 0;
    RateDisplay rate_;

private:
    void pollTick();
    bool startWhenIdle_ = false;
};
