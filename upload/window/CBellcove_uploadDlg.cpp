#include "upload/window/CBellcove_uploadDlg.h"

#include "core/DesktopSeams.h"
#include "core/ProgramStart.h"
#include "core/Protocol.h"
#include "core/SettingsStore.h"
#include "core/TransferTexts.h"
#include "core/WindowBus.h"
#include "ui/CBannerArea.h"
#include "ui/CButtontoImage.h"
#include "ui/CFileList.h"
#include "ui/CPic_Progress.h"
#include "ui/CTrayicon.h"
#include "ui/CUser_button.h"
#include "ui/DialogUnits.h"
#include "ui/FaceDrag.h"
#include "ui/KitFont.h"
#include "ui/KitResources.h"
#include "ui/ModalSeam.h"
#include "ui/SkinPath.h"
#include "upload/engine/UploadTexts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

CBellcove_uploadDlg::CBellcove_uploadDlg()
    : CSkinnedMainWindow(ClientProfile::upload(), UploadText::windowTitle(),
                         QStringLiteral("images/upload_bg.bmp")),
      engine_(std::make_unique<UploadEngine>(*this)),
      desktop_(std::make_unique<TransferDesktop>(
          *engine_, TransferDesktop::Identity{TransferText::uploadCaption(),
                                              QString::fromLatin1(DesktopId::Upload),
                                              SettingKey::UpNotify})) {
    setObjectName(QStringLiteral("CBellcove_uploadDlg"));
    setCommandIds({HideButton, MinimiseButton, ExitButton, MoveTopButton, MoveUpButton,
                   MoveDownButton, MoveBottomButton, SettingsButton, DeleteSelectedButton,
                   DeleteCompletedButton, StartStopButton});

    buildControls();
    addTrayIcon(UploadText::caption());

    joinWindowBus(Protocol::kUploadWindowClass,
                  [this](const CopyData& message) { return receiveCopyData(message); });
    QTimer::singleShot(0, this, [this] {
        announceToPageControl(Protocol::kUploadTag, Protocol::kUploadAnnouncement);
    });
}

CBellcove_uploadDlg::~CBellcove_uploadDlg() = default;

// ---- construction -----------------------------------------------------------------------

void CBellcove_uploadDlg::loadSettingsIntoWindow() {
    programEnd_->setChecked(SettingsStore::ReadInt(SettingKey::UpProgramEnd, 0) != 0);
    systemEnd_->setChecked(SettingsStore::ReadInt(SettingKey::UpSystemEnd, 0) != 0);
}

void CBellcove_uploadDlg::buildControls() {
    using DialogUnits::rect;
    createStatusLines(StatusLine, SpeedLine, RemainingLine, 48);
    createBars(FileBar, TotalBar);

    // The buttons and their picture strips.
    imageButton(ExitButton, 133, rect(354, 16, 9, 9), 0, 16, 16, 16, KitText::close());
    imageButton(HideButton, 132, rect(343, 16, 9, 9), 0, 16, 16, 16, KitText::hide());
    imageButton(MinimiseButton, 134, rect(332, 16, 9, 9), 0, 16, 16, 16, KitText::minimise());
    imageButton(MoveUpButton, 151, rect(28, 219, 13, 15), 0, 18, 0, 80, KitText::moveUp());
    imageButton(MoveDownButton, 145, rect(43, 219, 13, 15), 0, 18, 0, 80, KitText::moveDown());
    imageButton(MoveTopButton, 146, rect(13, 219, 13, 16), 0, 18, 0, 80, KitText::moveToTop());
    imageButton(MoveBottomButton, 155, rect(58, 219, 13, 15), 0, 18, 0, 80,
                KitText::moveToBottom());
    imageButton(DeleteSelectedButton, 150, rect(74, 219, 48, 16), 0, 18, 0, 320,
                KitText::deleteSelected());
    imageButton(DeleteCompletedButton, 153, rect(126, 219, 48, 16), 0, 18, 0, 320,
                KitText::deleteCompleted());
    imageButton(SettingsButton, 156, rect(312, 94, 43, 14), 0, 58, 0, 224, KitText::settings());
    setStartStopButton(imageButton(StartStopButton, 154, rect(318, 219, 37, 36), 0, 21, 0, 300,
                                   KitText::start(), KitText::stop()));

    createList(List, &engine_->table());

    programEnd_ = checkBox(ProgramEndBox, UploadText::programEndBox(), 54, 50);
    systemEnd_ = checkBox(SystemEndBox, UploadText::systemEndBox(), 111, 57);
    loadSettingsIntoWindow();

    auto* banner = new CBannerArea(this);
    banner->setGeometry(DialogUnits::rect(10, 270, 350, 42));
    banner->setObjectName(ControlName(Banner));
    banner->Navigate2(ServiceAddress::homepage() + QStringLiteral("/app/upload.html"));
    orderTabs();
}

// ---- page control -------------------------------------------------------------------------

qint64 CBellcove_uploadDlg::receiveCopyData(const CopyData& message) {
    if (message.tag != Protocol::kUploadTag)
        return 0;
    const QByteArray text = message.text();
    if (text.isEmpty())
        return 0;
    if (!columnsMade_) {
        list()->InsertColumns(ClientProfile::upload());
        columnsMade_ = true;
    }
    // Handled after the sender has its answer: the handling talks to the file server and may
    // ask questions, and the page control must not wait for those. The engine takes
    // commands in turn.
    QTimer::singleShot(0, this, [this, text] { engine_->processRequest(text); });
    return 0;
}

// ---- commands -----------------------------------------------------------------------------

void CBellcove_uploadDlg::onCommand(int id) {
    if (runSharedCommand(id))
        return;
    if (id == ProgramEndBox)
        SettingsStore::WriteInt(SettingKey::UpProgramEnd, programEnd_->isChecked() ? 1 : 0);
    else if (id == SystemEndBox)
        SettingsStore::WriteInt(SettingKey::UpSystemEnd, systemEnd_->isChecked() ? 1 : 0);
}

// ---- UploadHost -----------------------------------------------------------------------------

void CBellcove_uploadDlg::quit() {
    removeTrayIcon();
    CSkinnedMainWindow::quit();
}

// ---- painting, keys -----------------------------------------------------------------------

void CBellcove_uploadDlg::closeEvent(QCloseEvent* event) {
    // The close command leaves this window open; the hide button, Escape and Alt+F4 hide it.
    // Desktops keep Alt+F4 for themselves and send it as a close request: one that comes
    // while Alt is held is that key.
    event->ignore();
    if (QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier)
        hideToTray();
}
