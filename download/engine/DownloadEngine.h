#pragma once

#include "DownloadHost.h"
#include "DownloadThread.h"
#include "FileRecord.h"
#include "MemberHandshake.h"
#include "ServerLink.h"
#include "TransferEngineBase.h"

// The download client's engine: request handling (sign-on, time window, save folder, file
// list exchange), and the transfer of the listed files one at a time. Widget-free; everything
// visible goes through DownloadHost.
class DownloadEngine : public TransferEngineBase {
    Q_OBJECT
public:
    static constexpr int kMaxListed = 180;
    static constexpr int kSignOffWaitMs = 5000; // each wait of the sign-off at the end

    explicit DownloadEngine(DownloadHost& host, EngineSetup setup = {});
    ~DownloadEngine() override;

    RecordTable<FileRecord>& table() { return table_; }
    const RecordTable<FileRecord>& table() const { return table_; }
    // The row of the file stopped by the member or the time rule, -1 when none: while there is
    // one, a file starts at its local size whatever the duplicate policy says.
    int resumeIndex() const { return table_.rowOfRecord(resumeId_); }
    // The member of the last request (the sign-off names it).
    const MemberInfo& member() const { return member_; }

    // Reads the cached duplicate-file policy ("DOWN_File_over"), at start and after settings.
    void loadSettings();
    // A manager command from the launch link or a hand-off. Requests are handled one after
    // another; the file server is asked off the window's thread.
    void processRequest(const QByteArray& command);
    // The exit procedure: asks when files are unfinished, signs off (off the window's
    // thread), then ends the window's run. False when the user chose to stay.
    bool exitProcedure() { return exitProgram(); }
    // The record the open-file and open-folder commands act on: the first marked row when
    // the user has selected rows (-1 when not), else the current file while one is pending,
    // else the first.
    int chosenRecord(int firstMarkedRow) const;
    // The local clock the time window is judged by.
    void setClock(LocalClock clock) { clock_ = std::move(clock); }

protected:
    void processQueuedRequest(const QByteArray& request) override { processRequest(request); }
    void beginFile(int row) override;
    int nextPendingRow() const override;
    void reportWorkerNotes() override;
    void copyOwnProgress(int row) override;
    void onFileCompleted(int row) override;
    void onRetriesUsedUp(int row) override;
    void onOtherOutcome(int row, AttemptOutcome outcome) override;
    void runCompletion() override;
    void finishProgram() override;
    void showCurrentLines() override;
    void showEmptyTotal() override;
    void stopCurrent() override;

private:
    struct Request {
        QByteArray fileList;
        QByteArray memberId;
        QByteArray serverNumber;
    };
    void startSignOn(const Request& request);
    void afterSignOn(const Request& request, struct SignOnOutcome& outcome);
    void listFiles(const Request& request, bool mayStart);
    QString chooseBatchRoot();
    void askForAnotherFolder();
    // "오류" in the row, passed over until the completion actions, the index on the next.
    void markFailed(int row);
    void finishExit();

    DownloadHost& host_;
    RecordTable<FileRecord> table_;
    MemberInfo member_;
    LocalClock clock_ = SystemLocalHour;
    ServerLink signOnLink_; // held open until the program ends
    quint64 resumeId_ = 0;
    DuplicateAnswer duplicateAnswer_ = DuplicateAnswer::None; // for the current file
    DuplicatePolicy duplicatePolicy_ = DuplicatePolicy::Resume;
    std::shared_ptr<DownloadProgress> progress_; // what the running (or last) worker reports
};
