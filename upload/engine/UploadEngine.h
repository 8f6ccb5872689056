#pragma once

#include "core/TransferEngineBase.h"
#include "upload/engine/UploadHost.h"
#include "upload/engine/UploadRecord.h"
#include "upload/engine/UploadThread.h"

// The upload client's engine: the manager command with its member check and listing (asked
// off the window's thread), and the transfer of the listed files one at a time. Widget-free;
// everything visible goes through UploadHost. The exit sends nothing to the file server and
// waits at most a short while for the worker.
class UploadEngine : public TransferEngineBase {
    Q_OBJECT
public:
    explicit UploadEngine(UploadHost& host, EngineSetup setup = {});
    // Completion notices still under way.
    bool noticesPending() const { return !notices_->empty(); }
    ~UploadEngine() override;

    RecordTable<UploadRecord>& table() { return table_; }
    const RecordTable<UploadRecord>& table() const { return table_; }

    // A manager command from the page control: member check, listing, autostart.
    void processRequest(const QByteArray& command) override;

protected:
    void beginFile(int row) override;
    int dataPort() const override { return UploadThread::kDataPort; }
    void reportWorkerNotes() override;
    void onFileCompleted(int row) override;
    void onRetriesUsedUp(int row) override;
    void onOtherOutcome(int row, AttemptOutcome outcome) override;
    void runCompletion() override;
    void finishProgram() override;
    void showCurrentLines() override;
    void showEmptyTotal() override;
    int totalBarMinimum() const override { return 1; }
    bool showsListDone(qint64 completed, qint64 total) const override;
    bool showsFileDone(const TransferRecord& record) const override;

private:
    void listFiles(const QByteArray& listKey, const QByteArray& serverNumber);
    // The completion notice of a file goes out on a thread of its own while the next file
    // starts; the exit waits a bounded time for those still under way.
    void sendNotice(int fileNumber);

    UploadHost& host_;
    RecordTable<UploadRecord> table_;
    std::shared_ptr<UploadProgress> progress_; // what the running (or last) worker reports
    std::unique_ptr<WorkerRunner> notices_;
    // Notices are not given up when the program ends (its end waits for them, bounded), only
    // once that wait is over.
    std::shared_ptr<std::atomic<bool>> noticeCancel_ = std::make_shared<std::atomic<bool>>(false);
};
