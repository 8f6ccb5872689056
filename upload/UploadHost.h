#pragma once

#include <QString>

// Everything the upload engine shows or asks goes through this interface; the main window
// implements it with widgets, the tests with a recorder.
class UploadHost {
public:
    enum class Icon { Information, Warning, Error };

    virtual ~UploadHost() = default;

    // Status area: file line ("'name' 업로드중"), rate and remaining time.
    virtual void showStatus(const QString& text) = 0;
    virtual void showRate(const QString& text) = 0;
    virtual void showRemaining(const QString& text) = 0;
    // The two bars: position 0..1000 and the caption drawn over them.
    virtual void showFileProgress(int position, const QString& caption) = 0;
    virtual void showTotalProgress(int position, const QString& caption) = 0;
    // The start/stop button's alternate look.
    virtual void showRunning(bool running) = 0;

    virtual void message(const QString& text, const QString& caption, Icon icon) = 0;
    virtual bool askYesNo(const QString& text, const QString& caption) = 0;

    virtual void startTimer(int id, int milliseconds) = 0;
    virtual void stopTimer(int id) = 0;

    virtual void restoreAndShow() = 0; // restore if minimised, show, focus
    virtual void showWindow() = 0;
    virtual void hideToTray() = 0; // "UP_Tray": the icon stays
    virtual void raiseTopmost() = 0;
    // Before the machine is shut down: the icon must not outlive the program.
    virtual void removeTrayIcon() = 0;
    // Ends the window's run; removes the tray icon.
    virtual void quit() = 0;
};
