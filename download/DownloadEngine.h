#pragma once

#include "DownloadHost.h"
#include "DownloadThread.h"
#include "FileRecord.h"
#include "MemberHandshake.h"
#include "ServerLink.h"
#include "TransferEngineBase.h"

#include <memory>

// The download client's engine: request handling, the file list exchange, and the transfer of
// the listed files one at a time on a worker thread, polled by the window's timer. Widget-free;
// everything visible goes through DownloadHost.
class DownloadEngine : public TransferEngineBase {
    Q_OBJECT
public:
    static constexpr int kMaxListed = 180;

    explicit DownloadEngine(DownloadHost& host, QObject* parent = nullptr);
    ~DownloadEngine() override;

    RecordTable<FileRecord>& table() { return table_; }
    int resumeIndex() const { return shared_.resumeIndex; }

    // Reads the cached duplicate-file policy ("DOWN_File_over"), at start and after settings.
    void loadSettings();
    // A manager command from the launch link or a hand-off.
    void processRequest(const QByteArray& command);
    void toggle() override;
    // The exit procedure: asks when files are unfinished, signs off, ends the window's run.
    // False when the user chose to stay.
    bool exitProcedure();

    // What the list commands need: indexes into the table and the two recomputations.
    void setResumeIndex(int index) { shared_.resumeIndex = index; }
    void refreshAfterListing();
    void refreshAfterDelete();
    // Removes the rows reading "완료" with their records, as the list option does after each
    // file; the current index keeps naming the same record.
    void deleteCompletedRows();
    // The record the open-file and open-folder commands act on: the first marked row when
    // the user has selected rows (-1 when not), else the current file while one is pending,
    // else the first.
    int chosenRecord(int firstMarkedRow) const;
    // The local clock the time window is judged by (tests set their own hour).
    void setClock(LocalClock clock) { clock_ = std::move(clock); }

    // For tests: shorter limits for stalled data connections.
    void setStallLimitMs(int ms) { shared_.stallLimitMs = ms; }

private:
    bool signOn(const QByteArray& memberId);
    QString chooseBatchRoot();
    void addFiles(const QByteArray& fileList, const QByteArray& serverNumber, const QString& root,
                  bool mayStart);
    void startNext() override;
    void settleEndedWorker() override;
    Progress currentProgress() const override;
    bool askPendingQuestion() override;
    void runCompletion();
    void showProgressOfCurrent();
    void showCurrentLines();
    void joinAll();
    ServerLink makeLink();

    DownloadHost& host_;
    RecordTable<FileRecord> table_;
    DownloadShared shared_;
    MemberInfo member_;
    LocalClock clock_ = SystemLocalHour;
    ServerLink signOnLink_;
};
