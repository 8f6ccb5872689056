#pragma once

#include "DownloadEngine.h"
#include "TransferListOwner.h"

#include <QDialog>
#include <QHash>
#include <QPixmap>
#include <memory>

class CButtontoImage;
class CFileList;
class CPic_Progress;
class CTrayicon;
class CUser_button;
class QCheckBox;
class QLabel;
class QTimer;
class WindowBus;

// The download client's only window: the skin, the transfer list, two bars, the status
// lines, the image buttons, two check boxes, the banner and the tray icon. It receives
// requests (at creation, or handed over by a second start), hosts the engine and its
// timers, and ends the program through the exit procedure.
class CVaultry_downloadDlg : public QDialog, public DownloadHost, public TransferListOwner {
    Q_OBJECT
public:
    static constexpr quint32 kHandOffTag = 41160500;
    static constexpr const char* kWindowClass = "Vaultry_downloader";

    explicit CVaultry_downloadDlg(const QByteArray& initialRequest, QWidget* parent = nullptr);
    ~CVaultry_downloadDlg() override;

    DownloadEngine& engine() { return *engine_; }
    // True once the exit procedure has ended the window's run.
    bool hasEnded() const { return ended_; }
    CFileList* list() const { return list_; }
    QString endpoint() const;

    // Runs a command of the window's tables (buttons 1001..1046, tray menu 32771..32774).
    void onCommand(int id);
    // A manager command handed over on the window bus.
    void receiveRequest(const QByteArray& command);

    // DownloadHost
    void showStatus(const QString& text) override;
    void showFolder(const QString& folder) override;
    void showSpeed(const QString& text) override;
    void showRemaining(const QString& text) override;
    void showFileProgress(int position, const QString& caption) override;
    void showTotalProgress(int position, const QString& caption) override;
    void showRunning(bool running) override;
    void message(const QString& text, const QString& caption, Icon icon) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    std::optional<QString> chooseFolder(const QString& title) override;
    int askDuplicate(const QString& fileName) override;
    void offerSaveFolderDialog() override;
    void startTimer(int id, int milliseconds) override;
    void stopTimer(int id) override;
    void moveToTopLeft() override;
    void restoreAndShow() override;
    void showWindow() override;
    void raiseTopmost() override;
    void quit() override;

    // TransferListOwner
    int currentIndex() const override { return engine_->currentIndex(); }
    void setCurrentIndex(int index) override { engine_->setCurrentIndex(index); }
    int resumeIndex() const override { return engine_->resumeIndex(); }
    void setResumeIndex(int index) override { engine_->setResumeIndex(index); }
    void recomputeAfterDelete() override { engine_->refreshAfterDelete(); }
    void recomputeAfterListing() override { engine_->refreshAfterListing(); }

signals:
    // The run is over: the program ends.
    void ended();

public slots:
    void reject() override {} // the dialog's cancel does nothing: the program keeps running

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void loadSkin();
    void loadSettingsIntoWindow();
    void processPendingRequest();
    void announce();
    void hideToTray();
    void openChosenFile();
    void openChosenFolder();
    void openRowFile(int row);
    bool refusedWhileRunning();
    CButtontoImage* imageButton(int id, int bitmap, int x, int y, int w, int h, int bottom,
                                int left, int right, int top = 0);
    QLabel* statusLabel(int id, int x, int y, int w, int h, const QColor& background);

    std::unique_ptr<DownloadEngine> engine_;
    WindowBus* bus_ = nullptr;
    QPixmap skin_;
    QByteArray initialRequest_;
    QByteArray pendingRequest_;
    bool ready_ = false;
    bool ended_ = false;
    bool columnsMade_ = false;

    CFileList* list_ = nullptr;
    CPic_Progress* fileBar_ = nullptr;
    CPic_Progress* totalBar_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* speedLine_ = nullptr;
    QLabel* remainingLine_ = nullptr;
    QLabel* folderLine_ = nullptr;
    QCheckBox* programEnd_ = nullptr;
    QCheckBox* systemEnd_ = nullptr;
    CButtontoImage* startStop_ = nullptr;
    QWidget* banner_ = nullptr;
    CTrayicon* tray_ = nullptr;
    std::unique_ptr<CUser_button> userButton_;
    QHash<int, QTimer*> timers_;
};
