#pragma once

#include "core/TransferHost.h"
#include "ui/ClientProfile.h"
#include "ui/DensityArt.h"
#include "ui/KitTexts.h"
#include <functional>

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <memory>

class CButtontoImage;
class CFileList;
class CUser_button;
class TransferEngineBase;
class WindowBus;
struct CopyData;
class TransferTable;
class CPic_Progress;
class CTrayicon;
class QCheckBox;
class QLabel;

// What the two main windows share: a frameless skinned face dragged by any free point, the
// status lines, the two bars, the start/stop button, the tray icon, the boxes, and the rule
// that closing only hides. The program lives until the window's run ends (ended()); hiding
// the window never ends it.
//
// Boxes (the engine's messages and questions, the window's own) wait in a queue and show one
// at a time, in the order they were asked for, modal but without a loop of their own, and
// never inside the engine's call. An answer goes back to the engine from the window's event
// loop.
class CSkinnedMainWindow : public QDialog, public virtual TransferHost {
    Q_OBJECT
public:
    CSkinnedMainWindow(const ClientProfile& profile, const QString& title, const QString& skinFile);
    ~CSkinnedMainWindow() override;

    CFileList* list() const { return list_; }

    bool hasEnded() const { return ended_; }
    // Boxes open or waiting for their turn.
    int boxesPending() const { return int(boxes_.size()) + (boxOpen_ ? 1 : 0); }
    CTrayicon* tray() const { return tray_; }
    // The title without the progress ("Willowmere - 다운로드").
    QString plainTitle() const { return plainTitle_; }

    // TransferHost
    void showStatus(const QString& text) override;
    void showSpeed(const QString& text) override;
    void showRemaining(const QString& text) override;
    void showFileProgress(int position, const QString& caption) override;
    void showTotalProgress(int position, const QString& caption) override;
    void showRunning(bool running) override;
    void message(const QString& text, const QString& caption, Icon icon) override;
    void ask(const MemberQuestion& question) override;
    void withdraw(quint64 questionId) override;
    void restoreAndShow() override;
    void showWindow() override;
    void hideToTray() override;
    void raiseTopmost() override;
    void removeTrayIcon() override;
    void quit() override;
    // Leaves the window bus (later: this may run inside the bus's own handler).
    void stopTakingRequests() override;
    // The window's endpoint on the bus, "" once it has left it.
    QString endpoint() const;

    // A command of the window's tables (buttons, check boxes, tray menu).
    virtual void onCommand(int id) = 0;

    // The member's session ends (a signal of SessionEndSignals): nobody will answer a box
    // now. Open boxes close, later ones are not shown, the tray icon goes, and the exit runs
    // without its question; its waits are bounded.
    void endSession();

signals:
    // The run is over: the program ends.
    void ended();
    // A list has come to its end; the completion actions follow.
    void listEnded();

public slots:
    void reject() override {} // the dialog's cancel does nothing: the program keeps running

protected:
    // The window's engine: its list and the shared commands act on it.
    virtual TransferEngineBase& transferEngine() = 0;
    virtual void loadSettingsIntoWindow() = 0;

    // Control ids of the commands both windows have.
    struct CommandIds {
        int hide, minimise, exit, moveTop, moveUp, moveDown, moveBottom, settings, deleteSelected,
            deleteCompleted, startStop;
    };
    void setCommandIds(const CommandIds& ids) { ids_ = ids; }
    // Runs `id` when it is one of the shared commands (buttons or tray menu); false otherwise.
    bool runSharedCommand(int id);
    // The list commands are refused while rows must not move: true, with the box that says so.
    bool refusedWhileBusy();

    // One box of the queue.
    struct Box {
        quint64 questionId = 0; // the engine's question it answers; 0 for the window's own
        // Shows the box without waiting; `closed` runs once it has closed and its answer has
        // gone where it goes. Returns the dialog while it is open, null when already closed.
        std::function<QDialog*(std::function<void()> closed)> show;
    };
    void queueBox(Box box);
    // A yes/no box of the window's own; `answered` gets true for "yes".
    void queueYesNo(const QString& text, const QString& caption,
                    std::function<void(bool)> answered);
    // The yes/no box behind queueYesNo() and the exit question; `answered` gets true for "yes".
    Box yesNoBox(quint64 questionId, const QString& text, const QString& caption,
                 std::function<void(bool)> answered);
    // The box that puts `question` to the member. The base shows the exit question and the
    // folder chooser; a window with questions of its own adds them.
    virtual Box questionBox(const MemberQuestion& question);
    // Shows `dialog` (made for the queue) modally; `answered` gets its result, then the box
    // is done. What a Box's show returns.
    QDialog* showQueued(QDialog* dialog, std::function<void(int)> answered,
                        std::function<void()> closed);
    CUser_button& userButton() { return *userButton_; }
    // The transfer list over the engine's table, where both windows have it.
    CFileList* createList(int id, TransferTable* table);

    // Building blocks, in dialog units; each control is named "id<control id>". A button is
    // named for screen readers as its art labels it (`alternate`: in its alternate state).
    CButtontoImage* imageButton(int id, int bitmap, QRect units, int top, int bottom, int left,
                                int right, const ControlText& text,
                                const ControlText& alternate = {});
    // A status line; `title` is what a screen reader says before the line's text.
    QLabel* statusLabel(int id, QRect units, const QColor& background, const QString& title);
    // Shows `text` on a status line made by statusLabel().
    static void setLineText(QLabel* line, const QString& text);
    // A check box of the row under the list, drawn over the skin; its text may run up to the
    // next control.
    QCheckBox* checkBox(int id, const QString& text, int x, int width);
    void createStatusLines(int statusId, int speedId, int remainingId, int y);
    void createBars(int fileId, int totalId);
    void setStartStopButton(CButtontoImage* button) { startStop_ = button; }
    void addTrayIcon(const QString& tip);
    // Puts the controls' Tab order into screen order; called once every control exists.
    void orderTabs();
    // Puts the window on the window bus under `className`; messages reach `handler`.
    void joinWindowBus(const char* className, std::function<qint64(const CopyData&)> handler);
    // Tells the page control, when one runs, that this window waits for its commands: `text`
    // with its terminating zero under `tag`, from the window's endpoint.
    void announceToPageControl(quint32 tag, const char* text);

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    const ClientProfile& profile_;

private:
    WindowBus* bus_ = nullptr;
    void loadSkin(const QString& skinFile);
    void showNextBox();
    void scheduleNextBox();
    // The run ends once quit() was called and no box is open or waiting.
    void endIfBoxesDone();
    // The title and the tray tip carry the total percentage while files move.
    void showProgressOnDesktop();
    // The list's end made the window topmost for its box: once no box is open or waiting,
    // it goes back among the others.
    void dropTopmostWhenBoxesDone();

    QList<Box> boxes_;
    bool boxOpen_ = false;
    quint64 openQuestion_ = 0;
    QPointer<QDialog> openDialog_;
    bool quitting_ = false;
    bool topmostForBoxes_ = false;
    QString plainTitle_;
    bool moving_ = false;
    int totalPercent_ = 0;

    SkinPicture skin_;
    QLabel* statusLine_ = nullptr;
    QLabel* speedLine_ = nullptr;
    QLabel* remainingLine_ = nullptr;
    CPic_Progress* fileBar_ = nullptr;
    CPic_Progress* totalBar_ = nullptr;
    CButtontoImage* startStop_ = nullptr;
    CTrayicon* tray_ = nullptr;
    bool ended_ = false;
    CFileList* list_ = nullptr;
    std::unique_ptr<CUser_button> userButton_;
    CommandIds ids_{};
};

// "id1038" for control 1038.
QString ControlName(int id);
