#pragma once

#include "core/DataJob.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <memory>

// Everything one upload attempt needs, fixed when it starts: the worker works from this and
// its UploadProgress, never from the list.
struct UploadJob : DataJob {
    QByteArray firstToken;
    QByteArray secondToken;
    QString path;                   // the local file; at most `size` bytes of it are sent
    QByteArray listKey;             // the member chose files for this list: nothing else is read
    int offsetReplyLimitMs = 30000; // a data server that does not answer the offset
    int closeWaitMs = 60000;        // ... or stays silent without closing after the last byte
};

struct UploadProgress : TransferProgress {
    // Failures the window reports: the worker never shows a box itself.
    std::atomic<bool> offsetError{false}; // reading the data server's offset failed
};

// Moves one local file to its data server, from the offset the server reports. The engine
// tells the file server that the file is complete.
class UploadThread {
public:
    static constexpr int kDataPort = 7312;
    // Sent at a time straight from the file; a stop request is looked at after each.
    static constexpr qint64 kChunk = 1 << 20;

    UploadThread(const UploadJob& job, UploadProgress& progress) : job_(job), progress_(progress) {}
    void run();

private:
    AttemptOutcome transfer();
    bool giveUp() const { return job_.giveUp(progress_); }

    const UploadJob& job_;
    UploadProgress& progress_;
};
