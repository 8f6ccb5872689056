#include "download/engine/DownloadEngine.h"

#include "core/CompletionChoice.h"
#include "core/DesktopSeams.h"
#include "core/Formats.h"
#include "core/ManagerCommand.h"
#include "core/Protocol.h"
#include "core/SettingsStore.h"
#include "core/StringSplitter.h"
#include "core/TextCodec.h"
#include "download/engine/DownloadExchanges.h"
#include "download/engine/DownloadTexts.h"

#include <QDir>

using Icon = DownloadHost::Icon;

DownloadEngine::DownloadEngine(DownloadHost& host, EngineSetup setup)
    : TransferEngineBase(host, table_, setup), host_(host) {}

DownloadEngine::~DownloadEngine() = default;

void DownloadEngine::loadSettings() {
    duplicatePolicy_ = DuplicatePolicyOf(SettingsStore::ReadInt(SettingKey::DownFileOver, 0));
}

// ---- requests -------------------------------------------------------------------------

void DownloadEngine::processRequest(const QByteArray& command) {
    if (!admitRequest(command))
        return;
    const ManagerCommand read = ReadManagerCommand(command);
    if (read.kind != ManagerCommand::Kind::Download) {
        finishRequest();
        return;
    }
    host_.moveToTopLeft();
    const Request request{read.list, read.memberId, read.serverNumber};

    // The member's values start afresh; the id stays the request's until the server names
    // it, so that a sign-off after a refusal still says who is leaving.
    member_ = MemberInfo{};
    member_.id = request.memberId;
    member_.className = ToCp949(MemberText::generalClass());
    if (request.memberId.isEmpty()) {
        refuseMember(MemberText::pleaseLogIn());
        return;
    }
    startSignOn(request);
}

void DownloadEngine::startSignOn(const Request& request) {
    auto outcome = std::make_shared<SignOnOutcome>();
    const QByteArray memberId = request.memberId;
    signingOn_ = true;
    runExchange([outcome, memberId,
                 settings = linkSettings()] { *outcome = ExchangeSignOn(memberId, settings); },
                [this, outcome, request] { afterSignOn(request, *outcome); });
}

void DownloadEngine::afterSignOn(const Request& request, SignOnOutcome& outcome) {
    signingOn_ = false;
    if (ending())
        return;
    if (outcome.connectFailed)
        host_.message(TransferText::cannotConnect(), DownloadText::errorCaption(), Icon::Error);
    // The sign-on connection stays open until the program ends.
    outcome.link.setCancel(nullptr);
    signOnLink_ = std::move(outcome.link);
    listingConnection_ = std::move(outcome.listingConnection);
    controlAddress_ = outcome.controlAddress;
    const SignOnResult& result = outcome.result;
    if (result.check != MemberCheck::Member) {
        listingConnection_.reset();
        refuseMember(result.check == MemberCheck::NoMember ? MemberText::pleaseLogIn()
                                                           : MemberText::alreadyInUse());
        return;
    }
    member_ = result.member;
    bool mayStart = true;
    if (const auto refusal = CheckTimeWindow(member_, localClock_())) {
        // A member outside the time window still sees the files, but nothing starts.
        mayStart = false;
        stopList();
        host_.message(*refusal, MemberText::timeCaption(), Icon::Error);
        ShellSeam::current().openUrl(ServiceAddress::homepage());
    }
    // The save-folder dialog is offered first when the member is to be asked; it may change
    // the stored folder settings, which are read after it.
    if (SettingsStore::ReadInt(SettingKey::DefaultFolderUse, 0) == 0) {
        ask(Waiting::SaveFolderDialog, MemberQuestion::Kind::SaveFolderSettings, {}, {},
            [this, request, mayStart](const MemberReply&) { chooseBatchRoot(request, mayStart); });
        return;
    }
    chooseBatchRoot(request, mayStart);
}

void DownloadEngine::chooseBatchRoot(const Request& request, bool mayStart) {
    using namespace SettingKey;
    const QString stored = SettingsStore::ReadText(DefaultFolder);
    if (SettingsStore::ReadInt(DefaultFolderUse, 0) == 0 || stored.isEmpty()) {
        // A chosen folder is this request's root only; cancelling keeps the stored one.
        ask(Waiting::BatchFolder, MemberQuestion::Kind::Folder, DownloadText::chooseSaveFolder(),
            {}, [this, request, mayStart, stored](const MemberReply& reply) {
                listFiles(request, mayStart,
                          reply.answer == MemberAnswer::FolderChosen ? reply.folder : stored);
            });
        return;
    }
    listFiles(request, mayStart, stored);
}

void DownloadEngine::listFiles(const Request& request, bool mayStart, QString root) {
    // Never write into whatever the current directory happens to be.
    if (root.isEmpty())
        root = SettingsStore::DocumentsFolder();
    host_.restoreAndShow();
    std::shared_ptr<SpareConnection> spare = std::exchange(listingConnection_, nullptr);
    const ListingRun run{mayStart && SettingsStore::ReadInt(SettingKey::DownAutostart, 0) != 0};
    if (table_.count() + CountEntries(request.fileList) > kMaxListed) {
        host_.message(DownloadText::tooManyFiles(), DownloadText::caption(), Icon::Information);
        endListing(run);
        return;
    }
    QSet<QByteArray> known;
    for (int row = 0; row < table_.count(); ++row)
        known.insert(table_.record(row).entry);
    // Each file becomes a row as soon as it is listed, and may start while the listing goes
    // on: the listing's exchanges stay on their own connection, in their order.
    auto listed = [this, post = exchangePoster(), run](FileRecord record) {
        post([this, record = std::move(record), run] {
            addListedRow(
                run, [&] { table_.append(record, record.displayName(), FormatSize(record.size)); });
        });
    };
    auto outcome = std::make_shared<ListingOutcome>();
    // No file is known yet, but the first one's data server is most often on the file
    // server's host: a connection made there now spares that file a handshake, and one made
    // in vain is closed unused when the file names another server.
    if (run.autostart && !isRunning())
        openSpare(controlAddress_);
    runExchange(
        [outcome, request, known, root, listed, spare, settings = linkSettings()] {
            *outcome = ExchangeFileList(request.fileList, request.serverNumber, known, root,
                                        settings, listed, spare);
        },
        [this, outcome, run] {
            if (ending())
                return;
            if (outcome->connectFailed)
                host_.message(TransferText::cannotConnect(), DownloadText::errorCaption(),
                              Icon::Error);
            if (outcome->unlisted > 0)
                host_.message(DownloadText::notListed(outcome->unlisted),
                              DownloadText::errorCaption(), Icon::Warning);
            endListing(run);
        });
}

// ---- transfer -------------------------------------------------------------------------

void DownloadEngine::stopCurrent() {
    signOffConnection_.reset();
    resumeId_ = currentId_;
    TransferEngineBase::stopCurrent();
}

void DownloadEngine::prepareListEnd() {
    // Only when the program ends with this list, which the sign-off follows at once; a list
    // whose listing may still add files does not end here yet.
    if (listingInProgress() || controlAddress_.isEmpty() ||
        DownloadCompletion() != Completion::EndProgram) {
        signOffConnection_.reset();
        return;
    }
    // The server may drop a silent connection after a while: one kept too long is replaced
    // (the sign-off checks its age again and connects afresh if it has to).
    if (signOffConnection_ && signOffConnection_->ageMs() < kControlSpareAgeMs / 2)
        return;
    signOffConnection_ = SpareConnection::open(controlAddress_, ServerLink::kControlPort);
}

int DownloadEngine::nextPendingRow(int skipping) const {
    // A record with an empty name ends the scan; a failed one is passed over until the
    // completion actions put it back.
    for (int row = 0; row < table_.count(); ++row) {
        const FileRecord& r = table_.record(row);
        if (r.name.isEmpty())
            break;
        if (row == skipping || !r.pending() || r.state == RowState::Failed)
            continue;
        // A renamed row chooses its new name among those of the folder's other rows: while
        // a listing may still add rows, it waits (and the list with it) for the listing's end.
        if (r.renamed && !r.claimed && listingInProgress())
            return -1;
        return row;
    }
    return -1;
}

void DownloadEngine::beginFile(int row) {
    const FileRecord& record = table_.record(row);
    DownloadJob job;
    fillDataJob(job, record);
    job.extension = record.extension;
    job.fileKey = record.fileKey;
    job.root = record.root;
    job.subfolder = record.subfolder;
    job.localName = record.localName;
    if (record.renamed && !record.claimed) {
        job.makeNewName = true;
        // The names the other rows of this folder save under; a renamed row that has not made
        // its file yet takes care of itself when it does.
        const QString folder = QDir::cleanPath(record.folder);
        for (int other = 0; other < table_.count(); ++other) {
            const FileRecord& r = table_.record(other);
            if (other != row && (!r.renamed || r.claimed) && QDir::cleanPath(r.folder) == folder)
                job.taken.insert(r.localName);
        }
    }
    job.resume = resumeIndex() != -1;
    job.duplicateAnswer = duplicateAnswer_;
    job.duplicatePolicy = duplicatePolicy_;
    job.stallLimitMs = dataLimits().silenceMs;
    progress_ = progressOf<DownloadProgress>(record);
    startWorker(progress_, [job, progress = progress_] { DownloadThread(job, *progress).run(); });
}

void DownloadEngine::reportWorkerNotes() {
    if (progress_->receiveError.load())
        host_.message(DownloadText::receiveError(), DownloadText::errorCaption(), Icon::Error);
}

void DownloadEngine::copyOwnProgress(int row) {
    // The name a renamed row's file was made under is the row's for good: retries and
    // resumes go on in it.
    FileRecord& record = table_.record(row);
    if (const auto name = progress_->claimedName()) {
        record.localName = *name;
        record.claimed = true;
    }
}

void DownloadEngine::onFileCompleted(int row) {
    Q_UNUSED(row);
    duplicateAnswer_ = DuplicateAnswer::None;
    if (!progress_->alreadyComplete.load())
        resumeId_ = 0;
    if (SettingsStore::ReadInt(SettingKey::DownListDel, 0) != 0)
        deleteCompletedRows();
}

void DownloadEngine::markFailed(int row) {
    table_.setState(row, RowState::Failed);
    setCurrentRow(row + 1);
}

void DownloadEngine::onRetriesUsedUp(int row) {
    // The last record given up stops the list: nothing follows it to start, and the next
    // start takes it again.
    if (row == table_.count() - 1) {
        table_.setState(row, RowState::Errored);
        return;
    }
    markFailed(row);
    startRetryTimer();
}

void DownloadEngine::onOtherOutcome(int row, AttemptOutcome outcome) {
    FileRecord& record = table_.record(row);
    switch (outcome) {
    case AttemptOutcome::CannotWrite:
        setRunning(false);
        table_.setState(row, RowState::Waiting);
        askForAnotherFolder();
        break;
    case AttemptOutcome::AskUser:
        // The list stays running while the member decides; the same file starts again with
        // the answer.
        table_.setState(row, RowState::Waiting);
        ask(Waiting::DuplicateAnswer, MemberQuestion::Kind::DuplicateFile, record.displayName(), {},
            [this](const MemberReply& reply) {
                duplicateAnswer_ = reply.answer == MemberAnswer::Resume
                                       ? DuplicateAnswer::Resume
                                       : DuplicateAnswer::Overwrite;
                startNext();
            });
        break;
    case AttemptOutcome::NotAcceptable:
        // The folder is writable; this path is not: the file fails and the list goes on.
        markFailed(row);
        retryCounter_ = 0;
        if (running_)
            startNext();
        break;
    case AttemptOutcome::DiskFull:
        // The bytes written so far stay; the next start resumes at the local size.
        setRunning(false);
        resumeId_ = record.id;
        table_.setState(row, RowState::Waiting);
        host_.message(DownloadText::diskFull(), DownloadText::errorCaption(), Icon::Error);
        break;
    default:
        break;
    }
}

void DownloadEngine::askForAnotherFolder() {
    ask(Waiting::AnotherFolder, MemberQuestion::Kind::Folder, DownloadText::chooseDownloadFolder(),
        {}, [this](const MemberReply& reply) {
            // Cancelled: the file stays pending; the member starts again when ready.
            if (reply.answer != MemberAnswer::FolderChosen)
                return;
            for (int row = 0; row < table_.count(); ++row)
                table_.record(row).setRoot(reply.folder);
            SettingsStore::WriteText(SettingKey::DefaultFolder, reply.folder);
            startIfIdle();
        });
}

void DownloadEngine::runCompletion() {
    setRunning(false);
    host_.raiseTopmost();
    int failed = 0;
    int firstFailed = kNoIndex;
    const bool anyDone = transferredSomething();
    // The failed files are taken again by the next start; their rows still say "오류".
    for (int row = 0; row < table_.count(); ++row) {
        if (table_.record(row).state == RowState::Failed) {
            table_.setState(row, RowState::Errored);
            ++failed;
            if (firstFailed == kNoIndex)
                firstFailed = row;
        }
    }
    setCurrentRow(firstFailed);
    resetCompletionCounters();
    // A list that does not end the program leaves no idle connection behind for a sign-off.
    if (DownloadCompletion() != Completion::EndProgram)
        signOffConnection_.reset();
    if (failed > 0 || anyDone)
        emit listReported(failed > 0 ? TransferText::notTransferred(failed)
                                     : TransferText::allDone(),
                          saveFolder());
    switch (DownloadCompletion()) {
    case Completion::PowerOff:
        PowerSeam::current().powerOff();
        break;
    case Completion::EndProgram:
        exitProgram();
        break;
    case Completion::Report:
        // Nothing reported as done unless something was: a list that never got a file (no
        // server, a refused request) ends quietly, and failures are counted.
        if (failed > 0) {
            host_.message(TransferText::notTransferred(failed), TransferText::doneCaption(),
                          Icon::Warning);
            host_.showWindow();
        } else if (anyDone) {
            host_.message(TransferText::allDone(), TransferText::doneCaption(), Icon::Information);
            host_.showWindow();
        }
        break;
    }
}

QString DownloadEngine::saveFolder() const {
    if (table_.count() > 0 && !table_.record(0).root.isEmpty())
        return table_.record(0).root;
    return SettingsStore::ReadText(SettingKey::DefaultFolder);
}

// ---- lines ----------------------------------------------------------------------------

void DownloadEngine::showCurrentLines() {
    const int current = currentIndex();
    if (!indexNamesRecord(current))
        return;
    const FileRecord& r = table_.record(current);
    host_.showStatus(QLatin1Char('\'') + FromCp949(ShortenName(r.name, 30)) +
                     DownloadText::downloading());
    host_.showFolder(r.folder);
}

void DownloadEngine::showEmptyTotal() {
    host_.showTotalProgress(0, DownloadText::emptyTotalCaption());
    host_.showRemaining(QStringLiteral("00:00:00"));
}

// ---- list commands and exit -----------------------------------------------------------

int DownloadEngine::chosenRecord(int firstMarkedRow) const {
    if (indexNamesRecord(firstMarkedRow))
        return firstMarkedRow;
    bool anyPending = false;
    for (int row = 0; row < table_.count() && !anyPending; ++row)
        anyPending = table_.record(row).pending();
    const int current = currentIndex();
    return anyPending && indexNamesRecord(current) ? current : 0;
}

// Whatever ran has been told to give up; the sign-off follows the exchange under way, if any.
void DownloadEngine::finishProgram() {
    const QByteArray memberId = member_.id;
    auto connected = std::make_shared<bool>(true);
    // The sign-off goes out although the program is ending: its link is not cancelled, but a
    // silent server holds the end of the program for seconds, not minutes.
    ServerLink::Limits limits = linkSettings().limits;
    limits.connectMs = qMin(limits.connectMs, kSignOffWaitMs);
    limits.replyStartMs = qMin(limits.replyStartMs, kSignOffWaitMs);
    // Nothing went on the connection opened ahead before this.
    std::shared_ptr<SpareConnection> spare = std::exchange(signOffConnection_, nullptr);
    runExchange(
        [memberId, connected, limits, spare] {
            *connected = ExchangeSignOff(memberId, {limits, nullptr}, spare);
        },
        [this, connected] {
            if (!*connected)
                host_.message(TransferText::cannotConnect(), DownloadText::errorCaption(),
                              Icon::Error);
            finishExit();
        });
}

void DownloadEngine::finishExit() {
    signOnLink_.Close();
    joinAll();
    host_.quit();
}
