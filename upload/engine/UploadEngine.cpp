#include "upload/engine/UploadEngine.h"

#include "core/CompletionChoice.h"
#include "core/DesktopSeams.h"
#include "core/Formats.h"
#include "core/ManagerCommand.h"
#include "core/MemberHandshake.h"
#include "core/Protocol.h"
#include "core/SettingsStore.h"
#include "core/TextCodec.h"
#include "upload/engine/UploadExchanges.h"
#include "upload/engine/UploadTexts.h"

using Icon = UploadHost::Icon;

UploadEngine::UploadEngine(UploadHost& host, EngineSetup setup)
    : TransferEngineBase(host, table_, std::move(setup)), host_(host) {}

UploadEngine::~UploadEngine() = default;

// ---- manager command ----------------------------------------------------------------------

void UploadEngine::processRequest(const QByteArray& command) {
    if (!admitRequest(command))
        return;
    const ManagerCommand read = ReadManagerCommand(command);
    if (read.kind != ManagerCommand::Kind::Upload) {
        finishRequest();
        return;
    }
    const QByteArray listKey = read.list;
    const QByteArray memberId = read.memberId;
    const QByteArray serverNumber = read.serverNumber;
    if (memberId.isEmpty()) {
        refuseMember(MemberText::pleaseLogIn());
        return;
    }
    host_.restoreAndShow();
    auto outcome = std::make_shared<MemberCheckOutcome>();
    runExchange([outcome, memberId,
                 settings = linkSettings()] { *outcome = ExchangeMemberCheck(memberId, settings); },
                [this, outcome, listKey, serverNumber] {
                    if (ending())
                        return;
                    if (outcome->connectFailed) {
                        // Every further exchange would fail too, each with its own box: one is
                        // enough.
                        host_.message(TransferText::cannotConnect(), UploadText::applicationTitle(),
                                      Icon::Warning);
                        finishRequest();
                        return;
                    }
                    if (outcome->check == MemberCheck::NoMember) {
                        refuseMember(MemberText::pleaseLogIn());
                        return;
                    }
                    listFiles(listKey, serverNumber);
                });
}

void UploadEngine::listFiles(const QByteArray& listKey, const QByteArray& serverNumber) {
    auto outcome = std::make_shared<UploadListingOutcome>();
    const int capacity = TransferTable::kCapacity - table_.count();
    runExchange(
        [outcome, listKey, serverNumber, capacity, settings = linkSettings()] {
            *outcome = ExchangeUploadList(listKey, serverNumber, capacity, settings);
        },
        [this, outcome] {
            if (ending())
                return;
            if (outcome->connectFailed)
                host_.message(TransferText::cannotConnect(), UploadText::applicationTitle(),
                              Icon::Warning);
            for (const ListedRow& row : outcome->rows)
                table_.append(row.record, row.record.shownName(), FormatSize(row.shownSize));
            if (outcome->cutShort)
                host_.message(UploadText::listCutShort(), UploadText::errorCaption(),
                              Icon::Warning);
            refreshAfterListing();
            if (SettingsStore::ReadInt(SettingKey::UpAutostart, 0) != 0)
                startIfIdle();
            finishRequest();
        });
}

// ---- transfer -----------------------------------------------------------------------------

void UploadEngine::beginFile(int row) {
    if (SettingsStore::ReadInt(SettingKey::UpTray, 0) != 0)
        host_.hideToTray();
    const UploadRecord& record = table_.record(row);
    UploadJob job;
    fillDataJob(job, record);
    job.firstToken = record.firstToken;
    job.secondToken = record.secondToken;
    job.path = record.localPath();
    job.listKey = record.listKey;
    job.fileNumber = record.fileNumber;
    job.offsetReplyLimitMs = dataLimits().replyMs;
    job.closeWaitMs = dataLimits().closeWaitMs;
    progress_ = progressOf<UploadProgress>(record);
    startWorker(progress_, [job, progress = progress_] { UploadThread(job, *progress).run(); });
}

void UploadEngine::reportWorkerNotes() {
    if (ending())
        return;
    if (progress_->offsetError.load())
        host_.message(UploadText::offsetError(), UploadText::errorCaption(), Icon::Error);
    if (progress_->noticeFailed.load())
        host_.message(TransferText::cannotConnect(), UploadText::applicationTitle(), Icon::Warning);
}

void UploadEngine::onRetriesUsedUp(int row) {
    // Nothing is on the file any more: it waits for the member.
    table_.setState(row, RowState::Waiting);
    host_.message(UploadText::serverLost(), UploadText::errorCaption(), Icon::Error);
}

void UploadEngine::onOtherOutcome(int row, AttemptOutcome outcome) {
    if (outcome != AttemptOutcome::CannotOpen)
        return;
    // The queue waits until the member acts; the row waits with it.
    setRunning(false);
    table_.setState(row, RowState::Waiting);
    host_.message(UploadText::cannotOpen(), UploadText::errorCaption(), Icon::Error);
}

bool UploadEngine::showsListDone(qint64 completed, qint64 total) const {
    // Every byte, not 100 percent: 10,000 of 10,099 bytes reads 100% already.
    return completed == total;
}

bool UploadEngine::showsFileDone(const TransferRecord& record) const {
    Q_UNUSED(record);
    // All bytes sent is not yet a complete file: the data server confirms it by closing.
    const TransferProgress* progress = workerProgress();
    return progress && progress->complete();
}

void UploadEngine::runCompletion() {
    setRunning(false);
    host_.raiseTopmost();
    const bool anyDone = transferredSomething();
    resetCompletionCounters();
    if (anyDone)
        emit listReported(TransferText::allDone(), QString());
    switch (UploadCompletion()) {
    case Completion::PowerOff:
        host_.removeTrayIcon();
        PowerSeam::current().powerOff();
        break;
    case Completion::EndProgram:
        exitProgram();
        break;
    case Completion::Report:
        // An empty list has transferred nothing: no report of success.
        if (anyDone) {
            host_.showWindow();
            host_.message(TransferText::allDone(), TransferText::doneCaption(), Icon::Information);
        }
        break;
    }
}

// ---- lines --------------------------------------------------------------------------------

void UploadEngine::showCurrentLines() {
    const int current = currentIndex();
    if (!indexNamesRecord(current)) {
        host_.showStatus(QString());
        return;
    }
    host_.showStatus(QLatin1Char('\'') + FromCp949(CutName(table_.record(current).name, 30)) +
                     UploadText::uploading());
}

void UploadEngine::showEmptyTotal() {
    host_.showTotalProgress(0, QString::fromLatin1(kEmptyTotalCaption));
}

// ---- exit ---------------------------------------------------------------------------------

// Nothing goes to the file server at the end; the worker gets a short while to stop.
void UploadEngine::finishProgram() {
    joinAll();
    host_.quit();
}
