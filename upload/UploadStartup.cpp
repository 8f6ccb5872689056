#include "upload/UploadStartup.h"

#include "core/InstanceLock.h"
#include "core/ProcessSignals.h"
#include "core/Protocol.h"
#include "core/RuntimeDir.h"
#include "core/SettingsStore.h"
#include "core/WindowBus.h"
#include "ui/ListEndPicture.h"
#include "ui/ModalSeam.h"
#include "upload/engine/UploadTexts.h"
#include "upload/window/CBellcove_uploadDlg.h"

#include <QApplication>

// CBellcove_uploadApp's instance initialisation. The command line is not read: all work comes
// from the page control.
int RunUploadClient() {
    {
        // Taken and let go at once: a second uploader is not refused, the page control
        // decides which window it feeds. Without a private folder there is no window bus
        // either, and the page control could never reach the window.
        InstanceLock marker(QStringLiteral("MAXIcrate Upload Control"));
        if (marker.unavailable()) {
            ModalSeam::message(nullptr,
                               TransferText::noPrivateFolder(
                                   UploadText::caption(), PrivateRuntimeDirCandidates().join(", ")),
                               UploadText::errorCaption(), QMessageBox::Critical);
            return 1;
        }
    }
    SettingsStore::EnsureDefaults();
    if (WindowBus::findWindow(QString::fromLatin1(Protocol::kPageControlClass)).isEmpty()) {
        ModalSeam::message(nullptr, UploadText::startFromHomepage(), UploadText::caption(),
                           QMessageBox::Information);
        return 0;
    }
    CBellcove_uploadDlg window;
    // Not QDialog::exec(): hiding the window to the tray must not end the program, which
    // lives until the exit routine ends the window's run.
    QObject::connect(&window, &CBellcove_uploadDlg::ended, qApp, &QCoreApplication::quit);
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
