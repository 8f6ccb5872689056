#pragma once

#include "core/TransferDesktop.h"

#include "ui/CSkinnedMainWindow.h"
#include "upload/engine/UploadEngine.h"

#include <memory>

class QCheckBox;
struct CopyData;

// The upload client's only window: the skin, the transfer list, two bars, the status texts,
// the image buttons, two check boxes, the banner and the tray icon. It announces itself to
// the page control, takes the manager commands it sends, hosts the engine and its timers,
// and ends the program through the exit routine.
class CBellcove_uploadDlg : public CSkinnedMainWindow {
    Q_OBJECT
public:
    // Command ids of the window's controls (its buttons and check boxes).
    enum Control {
        HideButton = 1007,
        MinimiseButton = 1008,
        ExitButton = 1009,
        ProgramEndBox = 1015,
        SystemEndBox = 1016,
        DeleteSelectedButton = 1018,
        DeleteCompletedButton = 1019,
        MoveUpButton = 1020,
        MoveDownButton = 1021,
        MoveTopButton = 1022,
        MoveBottomButton = 1023,
        StartStopButton = 1028,
        SettingsButton = 1048,
        List = 1014,
        RemainingLine = 1029,
        TotalBar = 1036,
        Banner = 1041,
        StatusLine = 1044,
        SpeedLine = 1045,
        FileBar = 1046,
    };

    CBellcove_uploadDlg();
    ~CBellcove_uploadDlg() override;

    UploadEngine& engine() { return *engine_; }
    bool columnsMade() const { return columnsMade_; }

    // Runs a command of the window's tables (buttons, check boxes, tray menu 32771..32774).
    void onCommand(int id) override;
    // A copy-data message: the answer goes back at once, the command is handled afterwards.
    qint64 receiveCopyData(const CopyData& message);

    // The tray icon goes with the program.
    void quit() override;

protected:
    TransferEngineBase& transferEngine() override { return *engine_; }
    void loadSettingsIntoWindow() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();

    std::unique_ptr<UploadEngine> engine_;
    // Sleep held off while files move, the end of a list notified; after the engine, so
    // that it goes first.
    std::unique_ptr<TransferDesktop> desktop_;
    bool columnsMade_ = false;

    QCheckBox* programEnd_ = nullptr;
    QCheckBox* systemEnd_ = nullptr;
};
