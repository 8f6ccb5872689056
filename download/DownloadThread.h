#pragma once

#include "FileRecord.h"

#include <atomic>

// Values the worker and the window's timer share. Plain fields in the original design; here
// atomics, so that reading them on the timer while the worker writes is well defined.
struct DownloadShared {
    enum Result { None = 0, Failed = 1, CannotWrite = 2, Stopped = 3, AskUser = 10 };

    Shared<int> transferResult = None;
    Shared<qint64> measuredSpeed = 0;
    Shared<int> resumeIndex = -1;
    Shared<int> fileOverChoice = 0;    // 0 none, 1 overwrite, other values resume
    Shared<int> fileOverMode = 0;      // cached "DOWN_File_over"
    Shared<bool> receiveError = false; // shown by the window, never by the worker
    Shared<bool> aborting = false;     // the program is ending

    int stallLimitMs = 60000; // a data connection silent this long is a failed attempt
};

// Moves one file from its data server into the save folder.
class DownloadThread {
public:
    static constexpr int kDataPort = 7301;
    static constexpr int kReceiveBuffer = 256 * 1024;

    DownloadThread(DownloadShared& shared, FileRecord& record) : shared_(shared), record_(record) {}
    void run();

private:
    void receiveInto(class DataSocket& socket, int file, qint64 offset);

    DownloadShared& shared_;
    FileRecord& record_;
};
