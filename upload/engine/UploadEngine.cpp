#include "upload/engine/UploadEngine.h"

#include "core/CompletionChoice.h"
#include "core/DesktopSeams.h"
#include "core/Formats.h"
#include "core/LogCategories.h"
#include "core/ManagerCommand.h"
#include "core/MemberHandshake.h"
#include "core/Protocol.h"
#include "core/SettingsStore.h"
#include "core/TextCodec.h"
#include "upload/engine/UploadExchanges.h"
#include "upload/engine/UploadTexts.h"

using Icon = UploadHost::Icon;

UploadEngine::UploadEngine(UploadHost& host, EngineSetup setup)
    : TransferEngineBase(host, table_, setup), host_(host),
      notices_(setup.notices ? std::move(setup.notices) : std::make_unique<WorkerThreads>(this)) {}

UploadEngine::~UploadEngine() {
    noticeCancel_->store(true);
    notices_->joinAll(0);
}

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
    // A file starts as soon as its record and fingerprint are exchanged.
    const ListingRun run{SettingsStore::ReadInt(SettingKey::UpAutostart, 0) != 0};
    auto listed = [this, post = exchangePoster(), run](ListedRow row) {
        post([this, row = std::move(row), run] {
            addListedRow(run, [&] {
                table_.append(row.record, row.record.shownName(), FormatSize(row.shownSize));
            });
        });
    };
    auto outcome = std::make_shared<UploadListingOutcome>();
    const int capacity = TransferTable::kCapacity - table_.count();
    runExchange(
        [outcome, listKey, serverNumber, capacity, listed, settings = linkSettings()] {
            *outcome = ExchangeUploadList(listKey, serverNumber, capacity, settings, listed);
        },
        [this, outcome, run] {
            if (ending())
                return;
            if (outcome->connectFailed)
                host_.message(TransferText::cannotConnect(), UploadText::applicationTitle(),
                              Icon::Warning);
            if (outcome->cutShort)
                host_.message(UploadText::listCutShort(), UploadText::errorCaption(),
                              Icon::Warning);
            endListing(run);
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
}

void UploadEngine::onFileCompleted(int row) {
    sendNotice(table_.record(row).fileNumber);
}

void UploadEngine::sendNotice(int fileNumber) {
    auto delivered = std::make_shared<bool>(false);
    LinkSettings settings{linkSettings().limits, noticeCancel_};
    notices_->start([fileNumber, delivered,
                     settings] { *delivered = ExchangeCompletionNotice(fileNumber, settings); },
                    [this, delivered] {
                        if (!*delivered && !ending())
                            host_.message(TransferText::cannotConnect(),
                                          UploadText::applicationTitle(), Icon::Warning);
                    });
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

// Nothing new goes to the file server at the end; the worker gets a short while to stop, and
// the completion notices still under way a short while to get through.
void UploadEngine::finishProgram() {
    if (!notices_->joinAll(kExitWaitMs))
        qCWarning(lcUpload, "a completion notice did not get through in time; it is left behind");
    noticeCancel_->store(true);
    joinAll();
    host_.quit();
}
