#pragma once

#include "core/MemberHandshake.h"
#include "core/ServerLink.h"
#include "core/TransferEngineBase.h"
#include "download/engine/DownloadHost.h"
#include "download/engine/DownloadThread.h"
#include "download/engine/FileRecord.h"

// The download client's engine: request handling (sign-on, time window, save folder, file
// list exchange), and the transfer of the listed files one at a time. Widget-free; everything
// visible goes through DownloadHost. The exit signs off (off the window's thread) before the
// window's run ends.
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
    // A manager command from the launch link or a hand-off: sign-on, time window, save folder
    // (the save-folder dialog and the folder question when the settings say so), file list.
    void processRequest(const QByteArray& command) override;
    // The record the open-file and open-folder commands act on: the first marked row when
    // the user has selected rows (-1 when not), else the current file while one is pending,
    // else the first.
    int chosenRecord(int firstMarkedRow) const;
    // A request's sign-on is on the wire and its answer not back yet.
    bool signingOn() const { return signingOn_; }
    // The local clock the time window is judged by.
    void setLocalClock(LocalClock clock) { localClock_ = std::move(clock); }

protected:
    void beginFile(int row) override;
    int nextPendingRow(int skipping) const override;
    int dataPort() const override { return DownloadThread::kDataPort; }
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
    void prepareListEnd() override;

private:
    struct Request {
        QByteArray fileList;
        QByteArray memberId;
        QByteArray serverNumber;
    };
    void startSignOn(const Request& request);
    void afterSignOn(const Request& request, struct SignOnOutcome& outcome);
    // The request's save root: the stored folder, or the member's choice when the settings
    // say to ask (after the save-folder dialog); then the list.
    void chooseBatchRoot(const Request& request, bool mayStart);
    void listFiles(const Request& request, bool mayStart, QString root);
    void askForAnotherFolder();
    // "오류" in the row, passed over until the completion actions, the index on the next.
    void markFailed(int row);
    void finishExit();
    // The folder the list was saved into, for the notification of its end: the first row's
    // save root, else the stored one.
    QString saveFolder() const;

    DownloadHost& host_;
    RecordTable<FileRecord> table_;
    MemberInfo member_;
    LocalClock localClock_ = SystemLocalHour;
    ServerLink signOnLink_;                              // held open until the program ends
    std::shared_ptr<SpareConnection> listingConnection_; // opened beside the sign-on
    QByteArray controlAddress_;                          // the file server's, as signed on to
    std::shared_ptr<SpareConnection> signOffConnection_; // opened while the last file ends
    bool signingOn_ = false;
    quint64 resumeId_ = 0;
    DuplicateAnswer duplicateAnswer_ = DuplicateAnswer::None; // for the current file
    DuplicatePolicy duplicatePolicy_ = DuplicatePolicy::Resume;
    std::shared_ptr<DownloadProgress> progress_; // what the running (or last) worker reports
};
