#pragma once

#include "UploadRecord.h"

#include <QString>

// Values the worker and the window's timer share. Plain fields in the original design; here
// atomics, so that reading them on the timer while the worker writes is well defined.
struct UploadShared {
    enum Result { None = 0, Failed = 1, CannotOpen = 2, Stopped = 3 };

    Shared<int> transferResult = None;
    Shared<qint64> measuredRate = 0;
    // Failures the window reports: the worker never shows a box itself.
    Shared<bool> offsetError = false;  // the data server's offset could not be read
    Shared<bool> noticeFailed = false; // the completion notice found no file server
    Shared<bool> aborting = false;     // the program is ending

    int connectLimitMs = 20000;     // a data server that does not answer the connect
    int offsetReplyLimitMs = 30000; // ... or the offset
    int sendLimitMs = 20000;        // ... or stops taking bytes
};

// Moves one local file to its data server, from the offset the server reports, then tells
// the file server that the file is complete.
class UploadThread {
public:
    static constexpr int kDataPort = 7312;
    // Read and sent at a time; a stop request is looked at after each chunk. Larger chunks
    // measured no faster on loopback (1 GiB in about 1.7 s either way).
    static constexpr int kChunk = 20480;

    UploadThread(UploadShared& shared, UploadRecord& record, QString path)
        : shared_(shared), record_(record), path_(std::move(path)) {}
    void run();

private:
    int transfer();
    void notifyComplete();

    UploadShared& shared_;
    UploadRecord& record_;
    QString path_;
};
