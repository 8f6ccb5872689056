#include "UploadEngine.h"

#include "CompletionChoice.h"
#include "DesktopSeams.h"
#include "FileFingerprint.h"
#include "Formats.h"
#include "Protocol.h"
#include "MemberHandshake.h"
#include "SettingsStore.h"
#include "TextCodec.h"
#include "UploadTexts.h"
#include "WireNumbers.h"

#include <QFileInfo>

using Icon = UploadHost::Icon;

namespace {

// Field `index` of a "|"-separated command; the last field asked for takes the rest.
QByteArray commandField(const QByteArray& command, int index, bool rest = false) {
    qsizetype from = 0;
    for (int i = 0; i < index; ++i) {
        const qsizetype bar = command.indexOf('|', from);
        if (bar < 0)
            return QByteArray();
        from = bar + 1;
    }
    const qsizetype end = rest ? -1 : command.indexOf('|', from);
    return end < 0 ? command.mid(from) : command.mid(from, end - from);
}

// The file number is the reply's text before its first "|".
int fileNumberOf(const QByteArray& reply) {
    const qsizetype bar = reply.indexOf('|');
    return ParseWireInt32(bar < 0 ? reply : reply.left(bar));
}

} // namespace

UploadEngine::UploadEngine(UploadHost& host, QObject* parent)
    : TransferEngineBase(host, table_, parent), host_(host) {
    table_.setColumnTitles(
        {QStringLiteral("파일명"), QStringLiteral("파일크기"), QStringLiteral("진행상태")});
}

UploadEngine::~UploadEngine() {
    joinAll();
}

ServerLink UploadEngine::makeLink() {
    return ServerLink([this] {
        host_.message(TransferText::cannotConnect(), UploadText::applicationTitle(), Icon::Warning);
    });
}

// ---- manager command ----------------------------------------------------------------------

void UploadEngine::processCommand(const QByteArray& command) {
    if (commandField(command, 0) != Protocol::kUploadCommandWord)
        return;
    const QByteArray listKey = commandField(command, 1);
    QByteArray memberId = commandField(command, 2);
    const QByteArray serverNumber = commandField(command, 3, true);
    if (memberId.isEmpty()) {
        host_.message(MemberText::pleaseLogIn(), MemberText::errorCaption(), Icon::Information);
        exitRoutine();
        return;
    }
    host_.restoreAndShow();
    if (!checkMember(memberId))
        return;
    listFiles(listKey, serverNumber);
    refreshAfterListing();
    if (SettingsStore::readInt(SettingKey::UpAutostart, 0) != 0 && !running_)
        toggle();
}

bool UploadEngine::checkMember(QByteArray& memberId) {
    ServerLink link = makeLink();
    // Without a file server every further exchange would fail too, each with its own box.
    if (!link.ConnectToFileServer())
        return false;
    const SignOnResult result = SignOn(link, memberId);
    link.Close();
    switch (result.check) {
    case MemberCheck::NoMember: {
        ServerLink farewell = makeLink();
        SignOff(farewell, memberId);
        host_.message(MemberText::pleaseLogIn(), MemberText::errorCaption(), Icon::Information);
        exitRoutine();
        return false;
    }
    case MemberCheck::OverUser:
        return true; // listed anyway, and never signed off
    case MemberCheck::Member:
        break;
    }
    memberId = result.member.id;
    ServerLink farewell = makeLink();
    SignOff(farewell, memberId);
    return true;
}

void UploadEngine::listFiles(const QByteArray& listKey, const QByteArray& serverNumber) {
    ServerLink link = makeLink();
    if (!link.ConnectToFileServer())
        return;
    const QByteArray accepted = link.Exchange("@Upload");
    link.Exchange(serverNumber.isEmpty() ? QByteArray("@Server0") : "@Server" + serverNumber);
    while (accepted == "Ok" && !table_.isFull()) {
        const QByteArray reply = link.Exchange(listKey);
        if (reply.isEmpty() || reply == "Null" || reply == "Ping" || reply == "ListEnd")
            break;
        ListedFile listed = ParseListing(reply);
        UploadRecord& record = listed.record;
        // The server expects a fingerprint after every record, usable or not.
        const QByteArray numbered = link.Exchange(FileFingerprint(record.localPath(), record.size));
        record.fileNumber = fileNumberOf(numbered);
        if (!listed.usable)
            continue;
        const QString path = record.localPath();
        const QString shownName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        table_.append(record, shownName, FormatSize(QFileInfo(path).size()),
                      TransferText::waiting());
    }
    link.Close();
}

// ---- transfer -----------------------------------------------------------------------------

void UploadEngine::toggle() {
    if (running_) {
        // Only a row being sent is asked to stop: a row the worker has just completed stays
        // complete.
        if (indexNamesRecord(current_) &&
            table_.record(current_).state == UploadRecord::Transferring)
            table_.record(current_).state = UploadRecord::StopRequested;
        setRunning(false);
        return;
    }
    startNext();
}

void UploadEngine::startNext() {
    if (deferStartUntilIdle())
        return;
    current_ = kNoIndex;
    for (int i = 0; i < table_.count(); ++i) {
        const UploadRecord& r = table_.record(i);
        if (r.state != UploadRecord::Done || r.started) {
            current_ = i;
            break;
        }
    }
    if (current_ == kNoIndex) {
        runCompletion();
        return;
    }
    if (SettingsStore::readInt(SettingKey::UpTray, 0) != 0)
        host_.hideToTray();
    UploadRecord& record = table_.record(current_);
    currentPath_ = record.localPath();
    if (!record.started)
        record.done = 0; // a row stopped part-way keeps what the server holds
    record.state = UploadRecord::Transferring;
    setRunning(true);
    shared_.transferResult = UploadShared::None;

    workers_.start(
        [this, &record, path = currentPath_] { UploadThread(shared_, record, path).run(); });

    showStatusOfCurrent();
    showFileBar(record);
    host_.startTimer(kProgressTimer, 500);
}

void UploadEngine::runCompletion() {
    setRunning(false);
    host_.raiseTopmost();
    switch (UploadCompletion()) {
    case Completion::PowerOff:
        host_.removeTrayIcon();
        PowerSeam::current().powerOff();
        break;
    case Completion::EndProgram:
        exitRoutine();
        break;
    case Completion::Report:
        host_.showWindow();
        host_.message(TransferText::allDone(), TransferText::doneCaption(), Icon::Information);
        break;
    }
}

void UploadEngine::joinAll() {
    shared_.aborting = true;
    workers_.joinAll();
    shared_.aborting = false;
}

TransferEngineBase::Progress UploadEngine::currentProgress() const {
    const UploadRecord& record = table_.record(current_);
    const qint64 done = record.done;
    return {done, record.size, done == record.size && record.state == UploadRecord::Done,
            shared_.measuredRate};
}

void UploadEngine::settleEndedWorker() {
    if (shared_.offsetError.load()) {
        shared_.offsetError = false;
        host_.message(UploadText::offsetError(), UploadText::errorCaption(), Icon::Error);
    }
    if (shared_.noticeFailed.load()) {
        shared_.noticeFailed = false;
        host_.message(TransferText::cannotConnect(), UploadText::applicationTitle(), Icon::Warning);
    }
    const int result = shared_.transferResult;
    if (result == UploadShared::Failed) {
        setRunning(false);
        if (retryCounter_ < 3) {
            ++retryCounter_;
            host_.startTimer(kRetryTimer, 1000);
        } else {
            retryCounter_ = 0;
            host_.message(UploadText::serverLost(), UploadText::errorCaption(), Icon::Error);
        }
        shared_.transferResult = UploadShared::None;
    } else if (result == UploadShared::CannotOpen) {
        setRunning(false);
        host_.message(UploadText::cannotOpen(), UploadText::errorCaption(), Icon::Error);
        shared_.transferResult = UploadShared::None;
    }
    if (!indexNamesRecord(current_))
        return;
    UploadRecord& record = table_.record(current_);
    if (record.done != record.size || record.state != UploadRecord::Done)
        return;
    completedBytes_ += record.size;
    showTotalBar(completedBytes_);
    if (completedBytes_ >= totalBytes_)
        host_.showRemaining(TransferText::doneCaption());
    table_.setText(current_, TransferTable::StateColumn, TransferText::complete());
    showFileBar(record);
    ++current_;
    if (running_)
        startNext();
}

// ---- figures and lines --------------------------------------------------------------------

void UploadEngine::showFileBar(const UploadRecord& r) {
    host_.showFileProgress(ProgressBarPosition(r.done, r.size), ProgressCaption(r.done, r.size));
}

void UploadEngine::showTotalBar(qint64 done) {
    // The total bar never sits at 0 once there is a list.
    host_.showTotalProgress(qMax(1, ProgressBarPosition(done, totalBytes_)),
                            ProgressCaption(done, totalBytes_));
}

void UploadEngine::showStatusOfCurrent() {
    if (!indexNamesRecord(current_)) {
        host_.showStatus(QString());
        return;
    }
    host_.showStatus(QLatin1Char('\'') + FromCp949(CutName(table_.record(current_).name, 30)) +
                     UploadText::uploading());
}

void UploadEngine::refreshAfterListing() {
    if (table_.count() == 0)
        return;
    totalBytes_ = 0;
    completedBytes_ = 0;
    for (int i = 0; i < table_.count(); ++i) {
        const UploadRecord& r = table_.record(i);
        totalBytes_ += r.size;
        if (r.state == UploadRecord::Done)
            completedBytes_ += r.size;
    }
    if (current_ < 0) {
        for (int i = 0; i < table_.count(); ++i) {
            if (table_.record(i).state != UploadRecord::Done) {
                current_ = i;
                break;
            }
        }
    }
    host_.showRemaining(QStringLiteral("00:00:00"));
    showTotalBar(completedBytes_);
    host_.showFileProgress(0, QString::fromLatin1(kEmptyFileCaption));
    showStatusOfCurrent();
    host_.showSpeed(QStringLiteral("-"));
}

void UploadEngine::refreshAfterDelete() {
    totalBytes_ = 0;
    completedBytes_ = 0;
    for (int i = 0; i < table_.count(); ++i) {
        const UploadRecord& r = table_.record(i);
        totalBytes_ += r.size;
        if (r.state == UploadRecord::Done || r.state == UploadRecord::StopRequested)
            completedBytes_ += r.done;
    }
    if (table_.count() == 0) {
        host_.showTotalProgress(0, QString::fromLatin1(kEmptyTotalCaption));
        return;
    }
    showTotalBar(completedBytes_);
}

// ---- exit ---------------------------------------------------------------------------------

bool UploadEngine::exitRoutine() {
    int unfinished = 0;
    for (int i = 0; i < table_.count(); ++i)
        unfinished += table_.record(i).state != UploadRecord::Done ? 1 : 0;
    if (unfinished > 0 &&
        !host_.askYesNo(TransferText::unfinishedExit(), TransferText::exitCaption()))
        return false;
    joinAll();
    host_.quit();
    return true;
}
