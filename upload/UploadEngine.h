#pragma once

#include "ServerLink.h"
#include "TransferEngineBase.h"
#include "UploadHost.h"
#include "UploadRecord.h"
#include "UploadThread.h"

#include <memory>

// The upload client's engine: the manager command with its member check and listing, and
// the transfer of the listed files one at a time on a worker thread, polled by the window's
// timer. Widget-free; everything visible goes through UploadHost.
class UploadEngine : public TransferEngineBase {
    Q_OBJECT
public:
    static constexpr int kProgressTimer = kPollTimer;

    explicit UploadEngine(UploadHost& host, QObject* parent = nullptr);
    ~UploadEngine() override;

    RecordTable<UploadRecord>& table() { return table_; }
    const RecordTable<UploadRecord>& table() const { return table_; }
    // The local path of the row the worker is sending (or last sent).
    QString currentPath() const { return currentPath_; }

    // A manager command from the page control: member check, listing, autostart.
    void processCommand(const QByteArray& command);
    void toggle() override;
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
    void startNext() override;
    void settleEndedWorker() override;
    Progress currentProgress() const override;
    void showTotal(qint64 done) override { showTotalBar(done); }
    void runCompletion();
    void showFileBar(const UploadRecord& r);
    void showTotalBar(qint64 done);
    void showStatusOfCurrent();
    void joinAll();
    ServerLink makeLink();

    UploadHost& host_;
    RecordTable<UploadRecord> table_;
    UploadShared shared_;
    QString currentPath_;
};
