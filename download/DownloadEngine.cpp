#include "DownloadEngine.h"

#include "CompletionChoice.h"
#include "DesktopSeams.h"
#include "DownloadTexts.h"
#include "FileReply.h"
#include "Formats.h"
#include "Protocol.h"
#include "SettingsStore.h"
#include "StringSplitter.h"
#include "TextCodec.h"

#include <QDir>

using Icon = DownloadHost::Icon;

DownloadEngine::DownloadEngine(DownloadHost& host, QObject* parent)
    : TransferEngineBase(host, table_, parent), host_(host), signOnLink_(makeLink()) {
    table_.setColumnTitles(
        {QStringLiteral("파일명"), QStringLiteral("파일크기"), QStringLiteral("진행상태")});
}

DownloadEngine::~DownloadEngine() {
    joinAll();
}

ServerLink DownloadEngine::makeLink() {
    return ServerLink([this] {
        host_.message(TransferText::cannotConnect(), DownloadText::errorCaption(), Icon::Error);
    });
}

void DownloadEngine::loadSettings() {
    shared_.fileOverMode = SettingsStore::readInt(SettingKey::DownFileOver, 0);
}

// ---- requests -------------------------------------------------------------------------

void DownloadEngine::processRequest(const QByteArray& command) {
    const qsizetype bar = command.indexOf('|');
    const QByteArray word = bar < 0 ? command : command.left(bar);
    if (word != Protocol::kDownloadCommandWord)
        return;
    host_.moveToTopLeft();
    const HeadAndRest files = CutAtFirst(command.mid(bar + 1), '|');
    const HeadAndRest memberAndServer = CutAtFirst(files.rest, '|');
    const QByteArray fileList = files.head;
    const QByteArray memberId = memberAndServer.head;
    const QByteArray serverNumber = memberAndServer.rest;

    member_ = MemberInfo{};
    member_.className = ToCp949(QStringLiteral("일반회원"));
    if (memberId.isEmpty()) {
        host_.message(MemberText::pleaseLogIn(), MemberText::errorCaption(), Icon::Information);
        exitProcedure();
        return;
    }
    bool allowed = true;
    {
        signOnLink_.ConnectToFileServer();
        const SignOnResult result = SignOn(signOnLink_, memberId);
        if (result.check != MemberCheck::Member) {
            host_.message(result.check == MemberCheck::NoMember ? MemberText::pleaseLogIn()
                                                                : MemberText::alreadyInUse(),
                          MemberText::errorCaption(), Icon::Information);
            exitProcedure();
            return;
        }
        member_ = result.member;
        if (const auto refusal = CheckTimeWindow(member_, clock_())) {
            allowed = false;
            shared_.resumeIndex = current_;
            if (indexNamesRecord(current_))
                table_.record(current_).state = FileRecord::StopRequested;
            setRunning(false);
            host_.message(*refusal, MemberText::timeCaption(), Icon::Error);
            ShellSeam::current().openUrl(ServiceAddress::homepage());
        }
    }
    const QString root = chooseBatchRoot();
    host_.restoreAndShow();
    // A member outside the time window still sees the files, but nothing starts by itself.
    addFiles(fileList, serverNumber, root, allowed);
}

QString DownloadEngine::chooseBatchRoot() {
    using namespace SettingKey;
    if (SettingsStore::readInt(DefaultFolderUse, 0) == 0)
        host_.offerSaveFolderDialog();
    QString root = SettingsStore::readText(DefaultFolder);
    if (SettingsStore::readInt(DefaultFolderUse, 0) == 0 || root.isEmpty()) {
        if (const auto picked = host_.chooseFolder(DownloadText::chooseSaveFolder()))
            root = *picked;
    }
    // Never write into whatever the current directory happens to be.
    if (root.isEmpty())
        root = SettingsStore::DocumentsFolder();
    return root;
}

void DownloadEngine::addFiles(const QByteArray& fileList, const QByteArray& serverNumber,
                              const QString& root, bool mayStart) {
    StringSplitter pieces("?");
    pieces.split(fileList);
    int entries = 0;
    for (unsigned i = 0; i < pieces.count(); ++i)
        entries += pieces.piece(int(i)).isEmpty() ? 0 : 1;

    if (table_.count() + entries > kMaxListed) {
        host_.message(DownloadText::tooManyFiles(), DownloadText::caption(), Icon::Information);
    } else {
        ServerLink link = makeLink();
        link.ConnectToFileServer();
        const QByteArray accepted = link.Exchange("@Download");
        link.Exchange(serverNumber.isEmpty() ? QByteArray("@Server0") : "@Server" + serverNumber);
        QByteArray rest = fileList;
        for (int i = 0; accepted == "Ok" && i < entries; ++i) {
            const HeadAndRest next = CutAtFirst(rest, '?');
            if (next.head.isEmpty())
                break;
            rest = next.rest;
            bool known = false;
            for (int r = 0; r < table_.count() && !known; ++r)
                known = table_.record(r).entry == next.head;
            if (known)
                continue;
            const QByteArray reply = link.Exchange(next.head);
            if (reply.isEmpty() || reply == "Null" || reply == "Ping")
                continue;
            const auto record = RecordFromFileReply(reply, next.head, root);
            if (!record || table_.isFull())
                continue;
            table_.append(*record, record->displayName(), FormatSize(record->size),
                          TransferText::waiting());
        }
        link.Close();
    }
    refreshAfterListing();
    if (mayStart && SettingsStore::readInt(SettingKey::DownAutostart, 0) != 0 && !running_)
        toggle();
}

// ---- transfer -------------------------------------------------------------------------

void DownloadEngine::toggle() {
    if (running_) {
        shared_.resumeIndex = current_;
        if (indexNamesRecord(current_))
            table_.record(current_).state = FileRecord::StopRequested;
        setRunning(false);
        return;
    }
    startNext();
}

void DownloadEngine::startNext() {
    if (deferStartUntilIdle())
        return;
    current_ = kNoIndex;
    for (int i = 0; i < table_.count(); ++i) {
        const FileRecord& r = table_.record(i);
        const bool pending = r.state != FileRecord::Done || r.started;
        if (pending && r.state != FileRecord::Failed) {
            current_ = i;
            break;
        }
    }
    if (current_ == kNoIndex) {
        runCompletion();
        return;
    }
    FileRecord& record = table_.record(current_);
    setRunning(true);
    if (!record.started)
        record.done = 0;
    record.state = FileRecord::Transferring;
    showCurrentLines();
    showProgressOfCurrent();
    workers_.start([this, &record] { DownloadThread(shared_, record).run(); });
    host_.startTimer(kPollTimer, 500);
}

void DownloadEngine::runCompletion() {
    setRunning(false);
    host_.raiseTopmost();
    int firstFailed = kNoIndex;
    for (int i = 0; i < table_.count(); ++i) {
        FileRecord& r = table_.record(i);
        if (r.state == FileRecord::Failed) {
            r.state = FileRecord::Waiting;
            if (firstFailed == kNoIndex)
                firstFailed = i;
        }
    }
    current_ = firstFailed;
    switch (DownloadCompletion()) {
    case Completion::PowerOff:
        PowerSeam::current().powerOff();
        break;
    case Completion::EndProgram:
        exitProcedure();
        break;
    case Completion::Report:
        host_.message(TransferText::allDone(), TransferText::doneCaption(), Icon::Information);
        host_.showWindow();
        break;
    }
}

void DownloadEngine::joinAll() {
    shared_.aborting = true;
    workers_.joinAll();
}

bool DownloadEngine::askPendingQuestion() {
    if (shared_.transferResult != DownloadShared::AskUser || !indexNamesRecord(current_))
        return false;
    FileRecord& record = table_.record(current_);
    shared_.fileOverChoice = host_.askDuplicate(record.displayName());
    record.state = FileRecord::Waiting;
    shared_.transferResult = DownloadShared::None;
    startNext();
    return true;
}

TransferEngineBase::Progress DownloadEngine::currentProgress() const {
    const FileRecord& record = table_.record(current_);
    const qint64 done = record.done;
    return {done, record.size, done == record.size, shared_.measuredSpeed};
}

void DownloadEngine::settleEndedWorker() {
    if (shared_.receiveError.load()) {
        shared_.receiveError = false;
        host_.message(DownloadText::receiveError(), DownloadText::errorCaption(), Icon::Error);
    }
    const int result = shared_.transferResult;
    if (result == DownloadShared::Failed) {
        setRunning(false);
        if (retryCounter_ < 3) {
            ++retryCounter_;
            host_.startTimer(kRetryTimer, 1000);
        } else {
            retryCounter_ = 0;
            table_.setText(current_, TransferTable::StateColumn, DownloadText::error());
            if (indexNamesRecord(current_) && current_ != table_.count() - 1) {
                table_.record(current_).state = FileRecord::Failed;
                ++current_;
                host_.startTimer(kRetryTimer, 1000);
            }
        }
        shared_.transferResult = DownloadShared::None;
    }
    if (result == DownloadShared::CannotWrite) {
        setRunning(false);
        shared_.transferResult = DownloadShared::None;
        const auto folder = host_.chooseFolder(DownloadText::chooseDownloadFolder());
        if (!folder)
            return; // the file stays pending; the user starts again when ready
        for (int i = 0; i < table_.count(); ++i) {
            FileRecord& r = table_.record(i);
            r.root = *folder;
            r.folder = r.subfolder.isEmpty() ? *folder : QDir(*folder).filePath(r.subfolder);
        }
        SettingsStore::writeText(SettingKey::DefaultFolder, *folder);
        toggle();
        return;
    }
    if (!indexNamesRecord(current_))
        return;
    FileRecord& record = table_.record(current_);
    if (record.done != record.size || record.state != FileRecord::Done)
        return;
    completedBytes_ += record.size;
    host_.showTotalProgress(ProgressBarPosition(completedBytes_, totalBytes_),
                            ProgressCaption(completedBytes_, totalBytes_));
    if (ProgressPercent(completedBytes_, totalBytes_) >= 100)
        host_.showRemaining(TransferText::doneCaption());
    table_.setText(current_, TransferTable::StateColumn, TransferText::complete());
    if (SettingsStore::readInt(SettingKey::DownListDel, 0) != 0)
        deleteCompletedRows();
    // Only the index moves on here: recomputing the lines would wipe the "전송완료" just
    // shown; the next start redraws them for its own file.
    ++current_;
    if (running_)
        startNext();
}

// ---- figures and lines ----------------------------------------------------------------

void DownloadEngine::showProgressOfCurrent() {
    if (!indexNamesRecord(current_))
        return;
    const FileRecord& r = table_.record(current_);
    host_.showFileProgress(ProgressBarPosition(r.done, r.size), ProgressCaption(r.done, r.size));
}

void DownloadEngine::showCurrentLines() {
    if (!indexNamesRecord(current_))
        return;
    const FileRecord& r = table_.record(current_);
    host_.showStatus(QLatin1Char('\'') + FromCp949(ShortenName(r.name, 30)) +
                     DownloadText::downloading());
    host_.showFolder(r.folder);
}

void DownloadEngine::refreshAfterListing() {
    if (table_.count() == 0)
        return;
    totalBytes_ = 0;
    completedBytes_ = 0;
    for (int i = 0; i < table_.count(); ++i) {
        const FileRecord& r = table_.record(i);
        totalBytes_ += r.size;
        if (r.state == FileRecord::Done)
            completedBytes_ += r.size;
    }
    if (current_ < 0) {
        for (int i = 0; i < table_.count(); ++i) {
            if (table_.record(i).state != FileRecord::Done) {
                current_ = i;
                break;
            }
        }
    }
    host_.showTotalProgress(ProgressBarPosition(completedBytes_, totalBytes_),
                            ProgressCaption(completedBytes_, totalBytes_));
    host_.showFileProgress(0, QString::fromLatin1(kEmptyFileCaption));
    host_.showRemaining(QStringLiteral("00:00:00"));
    host_.showSpeed(QStringLiteral("-"));
    showCurrentLines();
}

void DownloadEngine::refreshAfterDelete() {
    totalBytes_ = 0;
    completedBytes_ = 0;
    for (int i = 0; i < table_.count(); ++i) {
        const FileRecord& r = table_.record(i);
        totalBytes_ += r.size;
        if (r.state == FileRecord::StopRequested || r.state == FileRecord::Done)
            completedBytes_ += r.done;
    }
    if (table_.count() == 0) {
        host_.showTotalProgress(0, DownloadText::emptyTotalCaption());
        host_.showRemaining(QStringLiteral("00:00:00"));
        return;
    }
    host_.showTotalProgress(ProgressBarPosition(completedBytes_, totalBytes_),
                            ProgressCaption(completedBytes_, totalBytes_));
}

// ---- list commands and exit -----------------------------------------------------------

void DownloadEngine::deleteCompletedRows() {
    const QList<int> removed = table_.removeRowsWithState(TransferText::complete());
    for (int row : removed) {
        if (row <= current_)
            --current_;
    }
    refreshAfterListing();
}

int DownloadEngine::chosenRecord(int firstMarkedRow) const {
    if (indexNamesRecord(firstMarkedRow))
        return firstMarkedRow;
    bool anyPending = false;
    for (int i = 0; i < table_.count() && !anyPending; ++i) {
        const FileRecord& r = table_.record(i);
        anyPending = r.state != FileRecord::Done || r.started;
    }
    return anyPending && indexNamesRecord(current_) ? current_ : 0;
}

bool DownloadEngine::exitProcedure() {
    int unfinished = 0;
    for (int i = 0; i < table_.count(); ++i)
        unfinished += table_.record(i).state != FileRecord::Done ? 1 : 0;
    if (unfinished > 0 &&
        !host_.askYesNo(TransferText::unfinishedExit(), TransferText::exitCaption()))
        return false;
    ServerLink farewell = makeLink();
    SignOff(farewell, member_.id);
    joinAll();
    host_.quit();
    return true;
}
