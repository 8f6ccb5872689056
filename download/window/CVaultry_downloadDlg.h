#pragma once

#include "core/TransferDesktop.h"

#include "download/engine/DownloadEngine.h"
#include "ui/CSkinnedMainWindow.h"

#include <memory>

class CBannerArea;
class QCheckBox;
class QLabel;

// The download client's only window: the skin, the transfer list, two bars, the status
// lines, the image buttons, two check boxes, the banner and the tray icon. It receives
// requests (at creation, or handed over by a second start), hosts the engine and its
// timers, and ends the program through the exit procedure.
class CVaultry_downloadDlg : public CSkinnedMainWindow, public DownloadHost {
    Q_OBJECT
public:
    // Command ids of the window's controls (its buttons and check boxes).
    enum Control {
        HideButton = 1001,
        MinimiseButton = 1002,
        ExitButton = 1003,
        MoveTopButton = 1007,
        MoveUpButton = 1008,
        MoveDownButton = 1009,
        MoveBottomButton = 1010,
        SettingsButton = 1011,
        DeleteSelectedButton = 1013,
        DeleteCompletedButton = 1014,
        StartStopButton = 1016,
        ProgramEndBox = 1017,
        SystemEndBox = 1034,
        ExitButton2 = 1035,
        OpenFolderButton = 1036,
        OpenFileButton = 1046,
        TotalBar = 1004,
        List = 1006,
        Banner = 1026,
        StatusLine = 1038,
        FileBar = 1040,
        SpeedLine = 1041,
        RemainingLine = 1042,
        FolderLine = 1045,
    };

    explicit CVaultry_downloadDlg(const QByteArray& initialRequest);
    ~CVaultry_downloadDlg() override;

    DownloadEngine& engine() { return *engine_; }

    // Runs a command of the window's tables (buttons 1001..1046, tray menu 32771..32774).
    void onCommand(int id) override;
    // A manager command handed over on the window bus.
    void receiveRequest(const QByteArray& command);

    // DownloadHost (the rest comes with the skinned window)
    void showFolder(const QString& folder) override;
    void moveToTopLeft() override;
    void stopTakingRequests() override;

protected:
    TransferEngineBase& transferEngine() override { return *engine_; }
    // The duplicate-file dialog and the save-folder dialog.
    Box questionBox(const MemberQuestion& question) override;
    void loadSettingsIntoWindow() override;

private:
    // A sign-on not answered within this long is taken for a slow link.
    static constexpr int kSlowSignOnMs = 20;

    void buildControls();
    int chosenRow() const;
    void openChosenFile();
    void openChosenFolder();
    void openRowFile(int row);

    std::unique_ptr<DownloadEngine> engine_;
    // Sleep held off while files move, the end of a list notified; after the engine, so
    // that it goes first.
    std::unique_ptr<TransferDesktop> desktop_;
    bool columnsMade_ = false;
    CBannerArea* banner_ = nullptr;

    QLabel* folderLine_ = nullptr;
    QCheckBox* programEnd_ = nullptr;
    QCheckBox* systemEnd_ = nullptr;
};
