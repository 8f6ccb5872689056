#include "pagectl/PageActionRunner.h"

#include "core/DesktopSeams.h"
#include "core/ManagerCommand.h"
#include "core/Protocol.h"
#include "core/TextCodec.h"
#include "core/TransferTexts.h"
#include "core/UploadChoices.h"
#include "core/WindowBus.h"
#include "pagectl/ClientLauncher.h"
#include "pagectl/FileChooser.h"
#include "pagectl/PageBox.h"
#include "pagectl/PageControl.h"
#include "pagectl/PageTexts.h"
#include "pagectl/UploadRegistration.h"

#include <QEventLoop>
#include <QTimer>

#include <memory>

namespace {

constexpr int kHandOffTimeoutMs = 5000;
constexpr int kClientWatchMs = 100;

bool refuse(const QString& caption, const QString& text) {
    ShowPageError(caption, text);
    return false;
}

// Sends to the running window of `windowClass`; false when there is none or it did not answer.
bool handToRunning(const char* windowClass, quint32 tag, const QByteArray& command) {
    const QString running = WindowBus::findWindow(QString::fromLatin1(windowClass));
    if (running.isEmpty())
        return false;
    if (!WindowBus::send(running, tag, QString(), command + '\0', kHandOffTimeoutMs))
        return false;
    LogLine(
        QStringLiteral("handed to the running client %1: \"%2\"").arg(running, FromCp949(command)));
    return true;
}

bool runDownload(const PageAction& action) {
    if (handToRunning(Protocol::kDownloadWindowClass, Protocol::kDownloadTag, action.command))
        return true;
    const QString name = QStringLiteral("Vaultry_DOWN");
    const QString program = ClientLauncher::find(name);
    if (program.isEmpty())
        return refuse(TransferText::downloadErrorCaption(), PageText::clientMissing(name));
    // The launch link of the same request, as the page's own download links carry it.
    const QByteArray request = ReadManagerCommand(action.command).request;
    const QString link = QString::fromLatin1(EncodeSchemeLink(Protocol::kLaunchScheme, request));
    if (!ClientLauncher::start(program, {QString::fromLatin1(Protocol::kLaunchSwitch), link}))
        return refuse(TransferText::downloadErrorCaption(), PageText::clientNotStarted(name));
    LogLine(QStringLiteral("started %1 %2 %3")
                .arg(program, QLatin1String(Protocol::kLaunchSwitch), link));
    return true;
}

// Starts the upload client as the page's control window and answers its announcement.
bool startUploader(const QByteArray& command) {
    const QString name = QStringLiteral("Vaultry_UPLOAD");
    const QString program = ClientLauncher::find(name);
    if (program.isEmpty())
        return refuse(TransferText::uploadErrorCaption(), PageText::clientMissing(name));
    auto control = std::make_unique<PageControl>(QList<QByteArray>{}, QList<QByteArray>{command},
                                                 /*once=*/true);
    if (!control->isRegistered()) {
        control.reset();
        return refuse(TransferText::uploadErrorCaption(), PageText::controlWindowTaken());
    }

    QEventLoop loop;
    bool served = false;
    bool delivered = false;
    QObject::connect(control.get(), &PageControl::served, &loop, [&](bool ok) {
        served = true;
        delivered = ok;
        loop.quit();
    });
    qint64 pid = 0;
    if (!ClientLauncher::start(program, {}, &pid)) {
        control.reset();
        return refuse(TransferText::uploadErrorCaption(), PageText::clientNotStarted(name));
    }
    LogLine(QStringLiteral("started %1").arg(program));
    // Waits for the announcement, but not for a client that has ended without one.
    QTimer::singleShot(PageActionRunner::kAnnounceTimeoutMs, &loop, &QEventLoop::quit);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (!ClientLauncher::isRunning(pid)) {
            LogLine(QStringLiteral("%1 ended without announcing itself").arg(name));
            loop.quit();
        }
    });
    watch.start(kClientWatchMs);
    loop.exec();
    watch.stop();
    // Gone before any box: a client announcing itself late, while the member reads that it
    // did not, must find no control window to feed it the list.
    control.reset();
    if (!served)
        return refuse(TransferText::uploadErrorCaption(), PageText::uploaderSilent());
    if (!delivered)
        return refuse(TransferText::uploadErrorCaption(), PageText::uploaderNotFed());
    return true;
}

bool runUpload(const PageAction& action) {
    const auto chosen = FileChooser::chooseFiles(PageText::chooserTitle());
    if (!chosen) {
        LogLine(QStringLiteral("no file chosen: nothing to upload"));
        return true;
    }
    const RegistrationOutcome registration =
        RegisterUploadList(ServiceAddress::homepage(), FromCp949(action.member), *chosen);
    switch (registration.status) {
    case RegistrationOutcome::Status::Unreachable:
        return refuse(TransferText::uploadErrorCaption(),
                      PageText::serviceUnreachable(registration.url, registration.text));
    case RegistrationOutcome::Status::Refused:
        return refuse(TransferText::uploadErrorCaption(),
                      PageText::registrationRefused(registration.httpStatus, registration.text));
    case RegistrationOutcome::Status::Unreadable:
        return refuse(TransferText::uploadErrorCaption(), PageText::unreadableRegistration());
    case RegistrationOutcome::Status::Registered:
        break;
    }
    LogLine(QStringLiteral("registered list %1 (%2 file(s))")
                .arg(QString::fromLatin1(registration.key))
                .arg(chosen->size()));
    // Only what is recorded here may be read by the upload client for this list.
    QString error;
    if (!UploadChoices::record(registration.key, *chosen, &error))
        return refuse(TransferText::uploadErrorCaption(), PageText::choiceNotRecorded(error));

    const QByteArray command = UploadManagerCommand(registration.key, action.member, action.server);
    if (handToRunning(Protocol::kUploadWindowClass, Protocol::kUploadTag, command))
        return true;
    return startUploader(command);
}

} // namespace

bool PageActionRunner::run(const PageAction& action) {
    return action.kind == PageAction::Kind::Download ? runDownload(action) : runUpload(action);
}
