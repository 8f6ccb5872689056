#pragma once

#include <QString>
#include <optional>

// Everything the download engine shows or asks goes through this interface; the main window
// implements it with widgets, the tests with a recorder.
class DownloadHost {
public:
    enum class Icon { Information, Warning, Error };

    virtual ~DownloadHost() = default;

    // Status area: file line ("'name' 다운로드중"), folder line, speed and remaining time.
    virtual void showStatus(const QString& text) = 0;
    virtual void showFolder(const QString& folder) = 0;
    virtual void showSpeed(const QString& text) = 0;
    virtual void showRemaining(const QString& text) = 0;
    // The two bars: position 0..1000 and the caption drawn over them.
    virtual void showFileProgress(int position, const QString& caption) = 0;
    virtual void showTotalProgress(int position, const QString& caption) = 0;
    // The start/stop button's alternate look.
    virtual void showRunning(bool running) = 0;

    virtual void message(const QString& text, const QString& caption, Icon icon) = 0;
    virtual bool askYesNo(const QString& text, const QString& caption) = 0;
    virtual std::optional<QString> chooseFolder(const QString& title) = 0;
    // The duplicate-file question: 1 overwrite, 2 resume.
    virtual int askDuplicate(const QString& fileName) = 0;
    // Offered before the folder question of a new batch; it may change the stored folder
    // settings, which the engine reads again afterwards.
    virtual void offerSaveFolderDialog() = 0;

    virtual void startTimer(int id, int milliseconds) = 0;
    virtual void stopTimer(int id) = 0;

    virtual void moveToTopLeft() = 0;
    virtual void restoreAndShow() = 0; // restore if minimised, focus, show
    virtual void showWindow() = 0;
    virtual void raiseTopmost() = 0;
    // Ends the window's run (the engine has already signed off).
    virtual void quit() = 0;
};
