#pragma once

#include "core/MemberQuestion.h"

#include <QString>

// What a transfer engine tells its window, as both main windows offer it; the windows
// implement it with widgets, the tests with recorders. The engine calls it on its own thread
// (the window's); no call waits for the member or returns an answer. Questions go out with
// ask() and their answers come back later as calls into the engine.
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

    // A message box; the engine goes on at once. Boxes show one at a time, in order.
    virtual void message(const QString& text, const QString& caption, Icon icon) = 0;
    // A question: shown when its turn comes. Its answer goes to the engine's answer() from
    // the window's event loop, never from inside this call.
    virtual void ask(const MemberQuestion& question) = 0;
    // The engine no longer waits for that answer: the box closes, or is never shown.
    virtual void withdraw(quint64 questionId) = 0;

    virtual void restoreAndShow() = 0; // restore if minimised, show, focus
    virtual void showWindow() = 0;
    virtual void hideToTray() = 0; // the tray icon stays
    virtual void raiseTopmost() = 0;
    // Before the machine is shut down: the icon must not outlive the program.
    virtual void removeTrayIcon() = 0;
    // The exit has begun: requests handed over from now on would be dropped, so the window
    // stops taking them (a later start then waits for this process to end instead).
    virtual void stopTakingRequests() {}
    // Ends the window's run (the engine has done its part of the exit already), once the
    // message boxes asked for before have been seen.
    virtual void quit() = 0;
};
