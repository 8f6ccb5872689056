#include "download/DownloadStartup.h"

#include "core/ControlConnectionsAhead.h"
#include "core/InstanceLock.h"
#include "core/LaunchLink.h"
#include "core/ProcessSignals.h"
#include "core/Protocol.h"
#include "core/RuntimeDir.h"
#include "core/SettingsStore.h"
#include "core/WindowBus.h"
#include "download/engine/DownloadTexts.h"
#include "download/window/CVaultry_downloadDlg.h"
#include "ui/ListEndPicture.h"
#include "ui/ModalSeam.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

namespace {

void inform(const QString& text) {
    ModalSeam::message(nullptr, text, DownloadText::caption(), QMessageBox::Information);
}

int runWindow(const QByteArray& request) {
    // A request begins with its sign-on and listing: their connections make their handshakes
    // while the window is built.
    if (!request.isEmpty())
        ControlConnectionsAhead::open(2);
    CVaultry_downloadDlg window(request);
    // Not QDialog::exec(): hiding the window to the tray must not end the program, which
    // lives until the exit procedure ends the window's run.
    QObject::connect(&window, &CVaultry_downloadDlg::ended, qApp, &QCoreApplication::quit);
    // From here on the end of the session runs the exit. Before, its signals end the start-up
    // at once: the next start takes over a dead process's lock and removes its endpoint.
    SessionEndSignals sessionEnd;
    QObject::connect(&sessionEnd, &SessionEndSignals::endRequested, &window,
                     &CSkinnedMainWindow::endSession);
    SavePictureAtListEnd(window);
    window.show();
    QApplication::exec();
    return 0;
}

enum class HandOver { Taken, HolderEnded, NoAnswer };

// The lock's holder may still be starting (its window is not on the bus yet) or ending (its
// window has left the bus, the lock is not free yet): the request is the member's work, so it
// is kept until the window takes it or the holder has ended, and only then given up with a
// box. An end may take the sign-off's two bounded waits and the wait for a worker.
HandOver handOver(InstanceLock& lock, const QByteArray& command) {
    constexpr int kWaitMs = 15000;
    constexpr int kPollMs = 50;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const QString running =
            WindowBus::findWindow(QString::fromLatin1(Protocol::kDownloadWindowClass));
        if (!running.isEmpty() &&
            WindowBus::send(running, Protocol::kDownloadTag, QString(), command + '\0'))
            return HandOver::Taken;
        if (lock.tryAgain())
            return HandOver::HolderEnded;
        if (waited.elapsed() >= kWaitMs)
            return HandOver::NoAnswer;
        QThread::msleep(kPollMs);
    }
}

} // namespace

int RunDownloadClient(const QStringList& arguments) {
    // Held for the life of the process: while it is held, this is the running client.
    static InstanceLock lock(QStringLiteral("VASTRELLE Download Control"));
    if (lock.unavailable()) {
        // Without a private folder there is neither a safe lock nor a window bus: going on
        // would run two clients at once or drop the request silently.
        ModalSeam::message(nullptr,
                           TransferText::noPrivateFolder(DownloadText::caption(),
                                                         PrivateRuntimeDirCandidates().join(", ")),
                           DownloadText::errorCaption(), QMessageBox::Critical);
        return 1;
    }
    const bool anotherRuns = !lock.acquired();
    SettingsStore::EnsureDefaults();

    // The argument text is the arguments joined by single spaces, as one command line.
    const QByteArray argumentText = arguments.join(QLatin1Char(' ')).toLocal8Bit();
    const LaunchRequest link = DecodeLaunchLink(argumentText);
    if (link.kind == LaunchRequest::Kind::Unreadable) {
        // Nothing of it can be trusted: no hand-off, no sign-on, no window.
        ModalSeam::message(nullptr, TransferText::unreadableDownload(), DownloadText::caption(),
                           QMessageBox::Critical);
        return 0;
    }
    if (link.kind == LaunchRequest::Kind::Request) {
        const QByteArray command = DownloadManagerCommand(link.request);
        if (anotherRuns) {
            switch (handOver(lock, command)) {
            case HandOver::Taken:
                return 0;
            case HandOver::HolderEnded:
                return runWindow(command);
            case HandOver::NoAnswer:
                ModalSeam::message(nullptr, DownloadText::handOverFailed(), DownloadText::caption(),
                                   QMessageBox::Critical);
                return 1;
            }
        }
        return runWindow(command);
    }
    if (anotherRuns) {
        inform(DownloadText::alreadyRunning());
        return 0;
    }
    if (!WindowBus::findWindow(QString::fromLatin1(Protocol::kPageControlClass)).isEmpty())
        return runWindow(QByteArray());
    inform(DownloadText::startFromHomepage());
    return 0;
}
