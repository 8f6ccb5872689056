#pragma once

#include "TransferListOwner.h"
#include "UploadEngine.h"

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
struct CopyData;

// The upload client's only window: the skin, the transfer list, two bars, the status texts,
// the image buttons, two check boxes, the banner and the tray icon. It announces itself to
// the page control, takes the manager commands it sends, hosts the engine and its timers,
// and ends the program through the exit routine.
class CBellcove_uploadDlg : public QDialog, public UploadHost, public TransferListOwner {
    Q_OBJECT
public:
    static constexpr quint32 kHandOffTag = 60504110;
    static constexpr const char* kWindowClass = "vaultry_uploader";

    explicit CBellcove_uploadDlg(QWidget* parent = nullptr);
    ~CBellcove_uploadDlg() override;

    UploadEngine& engine() { return *engine_; }
    bool hasEnded() const { return ended_; }
    CFileList* list() const { return list_; }
    CTrayicon* tray() const { return tray_; }
    QString endpoint() const;
    bool columnsMade() const { return columnsMade_; }

    // Runs a command of the window's tables (buttons, check boxes, tray menu 32771..32774).
    void onCommand(int id);
    // A copy-data message: the answer goes back at once, the command is handled afterwards.
    qint64 receiveCopyData(const CopyData& message);

    // UploadHost
    void showStatus(const QString& text) override;
    void showRate(const QString& text) override;
    void showRemaining(const QString& text) override;
    void showFileProgress(int position, const QString& caption) override;
    void showTotalProgress(int position, const QString& caption) override;
    void showRunning(bool running) override;
    void message(const QString& text, const QString& caption, Icon icon) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    void startTimer(int id, int milliseconds) override;
    void stopTimer(int id) override;
    void restoreAndShow() override;
    void showWindow() override;
    void hideToTray() override;
    void raiseTopmost() override;
    void removeTrayIcon() override;
    void quit() override;

    // TransferListOwner
    int currentIndex() const override { return engine_->currentIndex(); }
    void setCurrentIndex(int index) override { engine_->setCurrentIndex(index); }
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
    void processStoredCommand();
    void announce();
    bool refusedWhileTransferring();
    CButtontoImage* imageButton(int id, int bitmap, int x, int y, int w, int h, int bottom,
                                int left, int right);
    QLabel* statusLabel(int id, int x, int y, int w, int h);

    std::unique_ptr<UploadEngine> engine_;
    WindowBus* bus_ = nullptr;
    QPixmap skin_;
    QByteArray storedCommand_;
    bool ended_ = false;
    bool columnsMade_ = false;

    CFileList* list_ = nullptr;
    CPic_Progress* fileBar_ = nullptr;
    CPic_Progress* totalBar_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* rateLine_ = nullptr;
    QLabel* remainingLine_ = nullptr;
    QCheckBox* programEnd_ = nullptr;
    QCheckBox* systemEnd_ = nullptr;
    CButtontoImage* startStop_ = nullptr;
    QWidget* banner_ = nullptr;
    CTrayicon* tray_ = nullptr;
    std::unique_ptr<CUser_button> userButton_;
    QHash<int, QTimer*> timers_;
};
