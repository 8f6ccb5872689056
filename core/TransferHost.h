#pragma once

#include <QString>

// What a transfer engine shows or asks, as both main windows offer it; the windows implement
// it with widgets, the tests with recorders. Each client's own questions extend it.
class TransferHost {
public:
    enum class Icon { Information, Warning, Error };

    virtual ~TransferHost() = default;

    // Status area: file line, transfer rate and remaining time.
    virtual void showStatus(const QString& text) = 0;
    virtual void showSpeed(const QString& text) = 0;
    virtual void showRemaining(const QString& text) = 0;
    // The two bars: position 0..1000 and the caption drawn over them.
    virtual void showFileProgress(int position, const QString& caption) = 0;
    virtual void showTotalProgress(int position, const QString& caption) = 0;
    // The start/stop button's alternate look.
    virtual void showRunning(bool running) = 0;

    virtual void message(const QString& text, const QString& caption, Icon icon) = 0;
    virtual bool askYesNo(const QString& text, const QString& caption) = 0;

    virtual void restoreAndShow() = 0; // restore if minimised, show, focus
    virtual void showWindow() = 0;
    virtual void hideToTray() = 0; // the tray icon stays
    virtual void raiseTopmost() = 0;
    // Before the machine is shut down: the icon must not outlive the program.
    virtual void removeTrayIcon() = 0;
    // The exit has begun: requests handed over from now on would be dropped, so the window
    // stops taking them (a later start then waits for this process to end instead).
    virtual void stopTakingRequests() {}
    // Ends the window's run (the engine has done its part of the exit already).
    virtual void quit() = 0;
};
