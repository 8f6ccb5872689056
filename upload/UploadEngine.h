#pragma once

#include "RateDisplay.h"
#include "ServerLink.h"
#include "TransferTable.h"
#include "UploadHost.h"
#include "UploadRecord.h"
#include "UploadThread.h"
#include "WorkerThreads.h"

#include <QObject>
#include <memory>

// The upload client's engine: the manager command with its member check and listing, and
// the transfer of the listed files one at a time on a worker thread, polled by the window's
// timer. Widget-free; everything visible goes through UploadHost.
class UploadEngine : public QObject {
    Q_OBJECT
public:
    static constexpr int kNoIndex = -1000;
    static constexpr int kProgressTimer = 1;
    static constexpr int kRetryTimer = 104;

    explicit UploadEngine(UploadHost& host, QObject* parent = nullptr);
    ~UploadEngine() override;

    RecordTable<UploadRecord>& table() { return table_; }
    const RecordTable<UploadRecord>& table() const { return table_; }
    int currentIndex() const { return current_; }
    void setCurrentIndex(int index) { current_ = index; }
    bool isRunning() const { return running_; }
    // Running, or a stopped worker has not ended yet: rows must not move under it.
    bool isBusy() const { return running_ || !workers_.empty(); }
    // The local path of the row the worker is sending (or last sent).
    QString currentPath() const { return currentPath_; }

    // A manager command from the page control: member check, listing, autostart.
    void processCommand(const QByteArray& command);
    void toggle();
    void onTimer(int id);
    // Asks when rows are unfinished, then ends the window's run. Nothing goes to the file
    // server. False when the user chose to stay.
    bool exitRoutine();

    void refreshAfterListing();
    void refreshAfterDelete();

    // For tests: shorter limits on the data connection.
    UploadShared& shared() { return shared_; }

private:
    bool checkMember(QByteArray& memberId);
    void listFiles(const QByteArray& listKey, const QByteArray& serverNumber);
    void startNext();
    void runCompletion();
    void progressTick();
    void settleEndedWorker();
    void showFileBar(const UploadRecord& r);
    void showTotalBar(qint64 done);
    void showStatusOfCurrent();
    void setRunning(bool running);
    void joinAll();
    bool indexNamesRecord(int i) const { return i >= 0 && i < table_.count(); }
    ServerLink makeLink();

    UploadHost& host_;
    RecordTable<UploadRecord> table_;
    UploadShared shared_;

    int current_ = kNoIndex;
    bool running_ = false;
    bool startWhenIdle_ = false;
    qint64 totalBytes_ = 0;
    qint64 completedBytes_ = 0;
    QString currentPath_;
    WorkerThreads workers_;

    // Kept for the life of the process, across files.
    int retryCounter_ = 0;
    RateDisplay rate_;
};
