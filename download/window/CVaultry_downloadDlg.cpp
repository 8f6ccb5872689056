#include "download/window/CVaultry_downloadDlg.h"

#include "core/DesktopSeams.h"
#include "core/ProgramStart.h"
#include "core/Protocol.h"
#include "core/SettingsStore.h"
#include "core/TransferTexts.h"
#include "core/WindowBus.h"
#include "download/engine/DownloadTexts.h"
#include "download/window/CFileOverCheck.h"
#include "download/window/CFolderSelect.h"
#include "ui/CBannerArea.h"
#include "ui/CFileList.h"
#include "ui/DialogUnits.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

CVaultry_downloadDlg::CVaultry_downloadDlg(const QByteArray& initialRequest)
    : CSkinnedMainWindow(ClientProfile::download(), DownloadText::windowTitle(),
                         QStringLiteral("images/download_bg.bmp")),
      engine_(std::make_unique<DownloadEngine>(*this)),
      desktop_(std::make_unique<TransferDesktop>(
          *engine_, TransferDesktop::Identity{TransferText::downloadCaption(),
                                              QString::fromLatin1(DesktopId::Download),
                                              SettingKey::DownNotify})) {
    setObjectName(QStringLiteral("CVaultry_downloadDlg"));
    setCommandIds({HideButton, MinimiseButton, ExitButton, MoveTopButton, MoveUpButton,
                   MoveDownButton, MoveBottomButton, SettingsButton, DeleteSelectedButton,
                   DeleteCompletedButton, StartStopButton});

    // Initialisation: settings into the window, controls, tray icon, the bus; then the first
    // request, or the announcement to the page control.
    loadSettingsIntoWindow();
    buildControls();
    addTrayIcon(DownloadText::caption());

    joinWindowBus(Protocol::kDownloadWindowClass, [this](const CopyData& message) -> qint64 {
        if (message.tag == Protocol::kDownloadTag)
            receiveRequest(message.text());
        return 0;
    });

    if (initialRequest.isEmpty())
        QTimer::singleShot(0, this, [this] {
            announceToPageControl(Protocol::kDownloadTag, Protocol::kDownloadAnnouncement);
        });
    else
        receiveRequest(initialRequest);
}

CVaultry_downloadDlg::~CVaultry_downloadDlg() = default;

// ---- construction -----------------------------------------------------------------------

void CVaultry_downloadDlg::loadSettingsIntoWindow() {
    engine_->loadSettings();
    if (programEnd_)
        programEnd_->setChecked(SettingsStore::ReadInt(SettingKey::DownProgramEnd, 0) != 0);
    if (systemEnd_)
        systemEnd_->setChecked(SettingsStore::ReadInt(SettingKey::DownSystemEnd, 0) != 0);
}

void CVaultry_downloadDlg::buildControls() {
    using DialogUnits::rect;
    imageButton(ExitButton, 140, rect(354, 16, 9, 9), 0, 73, 73, 73, KitText::close());
    imageButton(HideButton, 143, rect(343, 16, 9, 9), 0, 73, 73, 73, KitText::hide());
    imageButton(MinimiseButton, 142, rect(332, 16, 9, 9), 0, 73, 73, 73, KitText::minimise());
    imageButton(MoveUpButton, 139, rect(28, 219, 13, 15), 0, 18, 0, 80, KitText::moveUp());
    imageButton(MoveDownButton, 134, rect(43, 219, 13, 15), 0, 18, 0, 80, KitText::moveDown());
    imageButton(MoveTopButton, 138, rect(13, 219, 13, 16), 0, 18, 0, 80, KitText::moveToTop());
    imageButton(MoveBottomButton, 131, rect(58, 219, 13, 15), 0, 18, 0, 80,
                KitText::moveToBottom());
    imageButton(DeleteSelectedButton, 133, rect(74, 219, 48, 16), 0, 18, 0, 320,
                KitText::deleteSelected());
    imageButton(DeleteCompletedButton, 132, rect(126, 219, 48, 16), 0, 18, 0, 320,
                KitText::deleteCompleted());
    imageButton(SettingsButton, 136, rect(312, 94, 43, 14), 0, 58, 0, 224, KitText::settings());
    imageButton(OpenFolderButton, 178, rect(252, 94, 57, 14), 0, 58, 0, 224, KitText::openFolder());
    imageButton(OpenFileButton, 183, rect(234, 219, 38, 36), 0, 29, 0, 328, KitText::openFile());
    setStartStopButton(imageButton(StartStopButton, 137, rect(276, 219, 38, 36), 0, 29, 0, 328,
                                   KitText::start(), KitText::stop()));
    imageButton(ExitButton2, 179, rect(318, 219, 37, 36), 0, 29, 0, 328, KitText::exit());

    createStatusLines(StatusLine, SpeedLine, RemainingLine, 49);
    folderLine_ = statusLabel(FolderLine, rect(52, 97, 195, 11), QColor(242, 242, 242),
                              KitText::folderCaption());
    createBars(FileBar, TotalBar);

    createList(List, &engine_->table());
    connect(list(), &QAbstractItemView::doubleClicked, this, [this] {
        const QList<int> rows = list()->SelectedRows();
        if (!rows.isEmpty())
            openRowFile(rows.first());
    });

    programEnd_ = checkBox(ProgramEndBox, DownloadText::programEndBox(), 54, 56);
    systemEnd_ = checkBox(SystemEndBox, DownloadText::systemEndBox(), 111, 57);
    loadSettingsIntoWindow();

    banner_ = new CBannerArea(this);
    banner_->setGeometry(DialogUnits::rect(10, 270, 350, 42));
    banner_->setObjectName(ControlName(Banner));
    banner_->Navigate2(ServiceAddress::homepage() + QStringLiteral("/app/download.html"));
    orderTabs();
}

// ---- requests -----------------------------------------------------------------------------

void CVaultry_downloadDlg::receiveRequest(const QByteArray& command) {
    // Processed after the sender has its answer: the processing may ask the user questions,
    // and a second start must not wait for those. The engine takes requests in turn.
    QTimer::singleShot(0, this, [this, command] {
        if (!columnsMade_) {
            list()->InsertColumns(ClientProfile::download());
            columnsMade_ = true;
        }
        if (command.isEmpty())
            return;
        engine_->processRequest(command);
        // Over a slow link the sign-on's answers take a while, and the web engine starts
        // while they travel rather than when they are wanted. A quick server gets its files
        // going first: the view then comes a moment after the window, as always.
        QTimer::singleShot(kSlowSignOnMs, this, [this] {
            if (engine_->signingOn())
                banner_->createViewNow();
        });
    });
}

void CVaultry_downloadDlg::stopTakingRequests() {
    CSkinnedMainWindow::stopTakingRequests();
    // The program ends: the banner has nothing more to show, and the web engine's teardown
    // runs while the sign-off travels instead of after it.
    banner_->endView();
}

// ---- commands -----------------------------------------------------------------------------

void CVaultry_downloadDlg::onCommand(int id) {
    if (runSharedCommand(id))
        return;
    switch (id) {
    case ExitButton2:
        engine_->exitProgram();
        break;
    case ProgramEndBox:
        SettingsStore::WriteInt(SettingKey::DownProgramEnd, programEnd_->isChecked() ? 1 : 0);
        break;
    case SystemEndBox:
        SettingsStore::WriteInt(SettingKey::DownSystemEnd, systemEnd_->isChecked() ? 1 : 0);
        break;
    case OpenFolderButton:
        openChosenFolder();
        break;
    case OpenFileButton:
        openChosenFile();
        break;
    default:
        break;
    }
}

int CVaultry_downloadDlg::chosenRow() const {
    int firstMarked = -1;
    // A marked row is selected or holds the focus; it counts once the user selected rows.
    if (list()->GetSelectedCount() > 0) {
        for (int row = 0; row < list()->GetItemCount() && firstMarked < 0; ++row)
            firstMarked = list()->IsMarked(row) ? row : -1;
    }
    return engine_->chosenRecord(firstMarked);
}

void CVaultry_downloadDlg::openChosenFolder() {
    if (engine_->table().count() == 0)
        return;
    const FileRecord& record = engine_->table().record(chosenRow());
    ShellSeam::current().openFolder(record.folder, record.localPath());
}

void CVaultry_downloadDlg::openChosenFile() {
    if (engine_->table().count() == 0)
        return;
    const int row = chosenRow();
    if (engine_->table().record(row).done <= 0) {
        message(DownloadText::cannotPlay(), DownloadText::playbackErrorCaption(),
                Icon::Information);
        return;
    }
    openRowFile(row);
}

void CVaultry_downloadDlg::openRowFile(int row) {
    if (row < 0 || row >= engine_->table().count())
        return;
    ShellSeam::current().openFile(engine_->table().record(row).localPath());
    showMinimized();
}

// ---- DownloadHost ---------------------------------------------------------------------------

void CVaultry_downloadDlg::showFolder(const QString& folder) {
    setLineText(folderLine_, folder);
}
CSkinnedMainWindow::Box CVaultry_downloadDlg::questionBox(const MemberQuestion& question) {
    const quint64 id = question.id;
    switch (question.kind) {
    case MemberQuestion::Kind::DuplicateFile:
        return {id, [this, question](std::function<void()> closed) {
                    return showQueued(
                        new CFileOverCheck(question.text, this),
                        [this, id = question.id](int choice) {
                            engine_->answer(id, {choice == CFileOverCheck::Resume
                                                     ? MemberAnswer::Resume
                                                     : MemberAnswer::Overwrite});
                        },
                        closed);
                }};
    case MemberQuestion::Kind::SaveFolderSettings:
        // Whatever it stored, the engine reads the settings again once it has closed.
        return {id, [this, id](std::function<void()> closed) {
                    return showQueued(
                        new CFolderSelect(this),
                        [this, id](int) { engine_->answer(id, {MemberAnswer::Closed}); }, closed);
                }};
    default:
        return CSkinnedMainWindow::questionBox(question);
    }
}

void CVaultry_downloadDlg::moveToTopLeft() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    move(screen ? screen->availableGeometry().topLeft() : QPoint(0, 0));
}
