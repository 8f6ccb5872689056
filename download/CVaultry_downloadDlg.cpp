#include "CVaultry_downloadDlg.h"

#include "CButtontoImage.h"
#include "CFileList.h"
#include "CFileOverCheck.h"
#include "CFolderSelect.h"
#include "CPic_Progress.h"
#include "CTray_menus.h"
#include "CTrayicon.h"
#include "CUser_button.h"
#include "DesktopSeams.h"
#include "DialogUnits.h"
#include "DownloadTexts.h"
#include "FaceDrag.h"
#include "FolderChooser.h"
#include "KitFont.h"
#include "KitResources.h"
#include "ModalSeam.h"
#include "SettingsStore.h"
#include "SkinPath.h"
#include "TrayCommand.h"
#include "WindowBus.h"

#ifdef VAULTRY_HAVE_BANNER
#include "CWebBrowser_banner.h"
#endif

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

// Command ids of the window's controls.
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
};

QString objectNameFor(int id) {
    return QStringLiteral("id%1").arg(id);
}

} // namespace

CVaultry_downloadDlg::CVaultry_downloadDlg(const QByteArray& initialRequest, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint),
      engine_(std::make_unique<DownloadEngine>(*this)), initialRequest_(initialRequest) {
    ensureKitResources();
    setObjectName(QStringLiteral("CVaultry_downloadDlg"));
    setWindowTitle(QStringLiteral("Willowmere - 다운로드"));
    setWindowIcon(programIcon(Client::Download));
    setFont(gulimFont(12));
    resize(DialogUnits::rect(0, 0, 371, 325).size());
    userButton_ = std::make_unique<CUser_button>(Client::Download);
    new FaceDrag(this);

    // Initialisation, in the order the window has always done it.
    loadSettingsIntoWindow();
    loadSkin();
    buildControls();
    tray_ = new CTrayicon(this, TrayMessage::IconId, Client::Download);
    tray_->AddIcon(DownloadText::caption());
    connect(tray_, &CTrayicon::showWindowRequested, this,
            [this] { CTray_menus().ShowMainWindow(this); });
    connect(tray_, &CTrayicon::command, this, &CVaultry_downloadDlg::onCommand);

    bus_ = new WindowBus(QString::fromLatin1(kWindowClass), this);
    bus_->setHandler([this](const CopyData& message) -> qint64 {
        if (message.tag == kHandOffTag)
            receiveRequest(message.text());
        return 0;
    });

    ready_ = true;
    if (initialRequest_.isEmpty()) {
        QTimer::singleShot(0, this, &CVaultry_downloadDlg::announce);
    } else {
        pendingRequest_ = initialRequest_;
        QTimer::singleShot(0, this, &CVaultry_downloadDlg::processPendingRequest);
    }
}

CVaultry_downloadDlg::~CVaultry_downloadDlg() {
    list_->setTable(nullptr);
}

QString CVaultry_downloadDlg::endpoint() const {
    return bus_->endpoint();
}

// ---- construction -----------------------------------------------------------------------

void CVaultry_downloadDlg::loadSettingsIntoWindow() {
    engine_->loadSettings();
    if (programEnd_)
        programEnd_->setChecked(SettingsStore::readInt(SettingKey::DownProgramEnd, 0) != 0);
    if (systemEnd_)
        systemEnd_->setChecked(SettingsStore::readInt(SettingKey::DownSystemEnd, 0) != 0);
}

void CVaultry_downloadDlg::loadSkin() {
    const QString path = skinPath(QStringLiteral("images/download_bg.bmp"));
    if (path.isEmpty() || !skin_.load(path))
        return; // the window keeps its dialog size and is not centred
    setFixedSize(skin_.size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + area.width() / 2 - width() / 2,
             area.y() + area.height() / 2 - height() / 2);
    }
}

CButtontoImage* CVaultry_downloadDlg::imageButton(int id, int bitmap, int x, int y, int w, int h,
                                                  int bottom, int left, int right, int top) {
    auto* button = new CButtontoImage(this);
    button->setObjectName(objectNameFor(id));
    button->setGeometry(DialogUnits::rect(x, y, w, h));
    button->LoadImages(resourcePrefix(Client::Download), bitmap, 4, top, bottom, left, right);
    connect(button, &QAbstractButton::clicked, this, [this, id] { onCommand(id); });
    return button;
}

QLabel* CVaultry_downloadDlg::statusLabel(int id, int x, int y, int w, int h,
                                          const QColor& background) {
    auto* label = new QLabel(this);
    label->setObjectName(objectNameFor(id));
    label->setGeometry(DialogUnits::rect(x, y, w, h));
    label->setFont(gulimFont(11));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

void CVaultry_downloadDlg::buildControls() {
    imageButton(ExitButton, 140, 354, 16, 9, 9, 73, 73, 73);
    imageButton(HideButton, 143, 343, 16, 9, 9, 73, 73, 73);
    imageButton(MinimiseButton, 142, 332, 16, 9, 9, 73, 73, 73);
    imageButton(MoveUpButton, 139, 28, 219, 13, 15, 18, 0, 80);
    imageButton(MoveDownButton, 134, 43, 219, 13, 15, 18, 0, 80);
    imageButton(MoveTopButton, 138, 13, 219, 13, 16, 18, 0, 80);
    imageButton(MoveBottomButton, 131, 58, 219, 13, 15, 18, 0, 80);
    imageButton(DeleteSelectedButton, 133, 74, 219, 48, 16, 18, 0, 320);
    imageButton(DeleteCompletedButton, 132, 126, 219, 48, 16, 18, 0, 320);
    imageButton(SettingsButton, 136, 312, 94, 43, 14, 58, 0, 224);
    imageButton(OpenFolderButton, 178, 252, 94, 57, 14, 58, 0, 224);
    imageButton(OpenFileButton, 183, 234, 219, 38, 36, 29, 0, 328);
    startStop_ = imageButton(StartStopButton, 137, 276, 219, 38, 36, 29, 0, 328);
    imageButton(ExitButton2, 179, 318, 219, 37, 36, 29, 0, 328);

    const QColor statusBackground(250, 252, 228);
    statusLine_ = statusLabel(1038, 13, 48, 203, 8, statusBackground);
    speedLine_ = statusLabel(1041, 248, 49, 36, 8, statusBackground);
    remainingLine_ = statusLabel(1042, 320, 49, 34, 8, statusBackground);
    folderLine_ = statusLabel(1045, 52, 97, 195, 11, QColor(242, 242, 242));

    // The bars take the place of two frames of the layout.
    for (auto [id, y, bar] : {std::tuple{1040, 65, &fileBar_}, std::tuple{1004, 80, &totalBar_}}) {
        auto* placeholder = new QWidget(this);
        placeholder->setObjectName(objectNameFor(id));
        placeholder->setGeometry(DialogUnits::rect(50, y, 304, 12));
        placeholder->hide();
        *bar = new CPic_Progress(this);
        (*bar)->CreateAt(this, 0, placeholder);
        (*bar)->SetRange(0, 1000);
    }
    totalBar_->setObjectName(QStringLiteral("totalBar"));
    fileBar_->setObjectName(QStringLiteral("fileBar"));

    list_ = new CFileList(this);
    list_->setObjectName(objectNameFor(1006));
    list_->setGeometry(DialogUnits::rect(9, 117, 351, 92));
    list_->setTable(&engine_->table());
    connect(list_, &QAbstractItemView::doubleClicked, this, [this] {
        const QList<int> rows = list_->SelectedRows();
        if (!rows.isEmpty())
            openRowFile(rows.first());
    });

    // Check boxes are drawn over the skin; their texts may run up to the next control.
    auto checkBox = [this](int id, const QString& text, int x, int width) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(objectNameFor(id));
        box->setGeometry(DialogUnits::rect(x, 244, width, 10));
        box->setFont(gulimFont(11));
        box->setAutoFillBackground(false); // the skin shows through around the text
        connect(box, &QCheckBox::clicked, this, [this, id] { onCommand(id); });
        return box;
    };
    programEnd_ = checkBox(ProgramEndBox, QStringLiteral("프로그램종료"), 54, 56);
    systemEnd_ = checkBox(SystemEndBox, QStringLiteral("시스템종료"), 111, 57);
    loadSettingsIntoWindow();

#ifdef VAULTRY_HAVE_BANNER
    auto* banner = new CWebBrowser_banner(this);
    banner->setGeometry(DialogUnits::rect(10, 270, 350, 42));
    banner->setObjectName(objectNameFor(1026));
    banner->Navigate2(ServiceAddress::homepage() + QStringLiteral("/app/download.html"));
    banner_ = banner;
#endif
}

// ---- requests -----------------------------------------------------------------------------

void CVaultry_downloadDlg::receiveRequest(const QByteArray& command) {
    pendingRequest_ = command;
    // Processed after the sender has its answer: the processing may ask the user questions,
    // and a second start must not wait for those.
    if (ready_)
        QTimer::singleShot(0, this, &CVaultry_downloadDlg::processPendingRequest);
}

void CVaultry_downloadDlg::processPendingRequest() {
    if (!columnsMade_) {
        list_->InsertColumns(Client::Download);
        columnsMade_ = true;
    }
    const QByteArray request = pendingRequest_;
    pendingRequest_.clear();
    if (!request.isEmpty())
        engine_->processRequest(request);
}

void CVaultry_downloadDlg::announce() {
    const QString pageControl = WindowBus::findWindow(QStringLiteral("VAULtry_AX_EXE"));
    if (pageControl.isEmpty())
        return;
    WindowBus::send(pageControl, kHandOffTag, bus_->endpoint(),
                    QByteArray("Vaultry_Downloader", 19), 5000);
}

// ---- commands -----------------------------------------------------------------------------

bool CVaultry_downloadDlg::refusedWhileRunning() {
    if (!engine_->isBusy())
        return false;
    message(QStringLiteral("전송중에는 사용할수 없습니다."), DownloadText::errorCaption(),
            Icon::Error);
    return true;
}

void CVaultry_downloadDlg::onCommand(int id) {
    userButton_->Bind(this, list_, this);
    switch (id) {
    case HideButton:
        hideToTray();
        break;
    case MinimiseButton:
        showMinimized();
        break;
    case ExitButton:
    case ExitButton2:
    case TrayCommand::ExitProgram:
        engine_->exitProcedure();
        break;
    case MoveTopButton:
    case MoveUpButton:
    case MoveDownButton:
    case MoveBottomButton:
        if (refusedWhileRunning())
            break;
        if (id == MoveTopButton)
            list_->MoveToTop();
        else if (id == MoveUpButton)
            list_->MoveUp();
        else if (id == MoveDownButton)
            list_->MoveDown();
        else
            list_->MoveToBottom();
        break;
    case TrayCommand::Settings:
        show();
        [[fallthrough]];
    case SettingsButton:
        userButton_->OpenSettings();
        loadSettingsIntoWindow();
        break;
    case DeleteSelectedButton:
        if (refusedWhileRunning())
            break;
        if (list_->GetSelectedCount() == 0) {
            message(QStringLiteral("삭제할 파일을 선택하세요."), DownloadText::caption(),
                    Icon::Information);
        } else if (askYesNo(QStringLiteral("삭제하시겠습니까?"), QStringLiteral("삭제확인"))) {
            userButton_->DeleteSelected();
        }
        break;
    case DeleteCompletedButton:
        if (!refusedWhileRunning())
            userButton_->DeleteCompleted();
        break;
    case StartStopButton:
        engine_->toggle();
        break;
    case ProgramEndBox:
        SettingsStore::writeInt(SettingKey::DownProgramEnd, programEnd_->isChecked() ? 1 : 0);
        break;
    case SystemEndBox:
        SettingsStore::writeInt(SettingKey::DownSystemEnd, systemEnd_->isChecked() ? 1 : 0);
        break;
    case OpenFolderButton:
        openChosenFolder();
        break;
    case OpenFileButton:
        openChosenFile();
        break;
    case TrayCommand::OpenHomepage:
        CTray_menus().OpenHomepage();
        break;
    case TrayCommand::ShowWindow:
        activateWindow();
        CTray_menus().ShowMainWindow(this);
        break;
    default:
        break;
    }
}

void CVaultry_downloadDlg::openChosenFolder() {
    if (engine_->table().count() == 0)
        return;
    const int row =
        list_->GetSelectedCount() > 0 ? list_->SelectedRows().value(0) : engine_->chosenRecord({});
    ShellSeam::current().openFolder(engine_->table().record(row).folder);
}

void CVaultry_downloadDlg::openChosenFile() {
    if (engine_->table().count() == 0)
        return;
    const int row =
        list_->GetSelectedCount() > 0 ? list_->SelectedRows().value(0) : engine_->chosenRecord({});
    if (engine_->table().record(row).done <= 0) {
        message(QStringLiteral("선택한 파일은 전송되지 않아 재생할수 없습니다."),
                QStringLiteral("재생오류"), Icon::Information);
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

void CVaultry_downloadDlg::hideToTray() {
    // Without a tray to bring it back, a hidden window would be lost: minimise instead.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

// ---- DownloadHost ---------------------------------------------------------------------------

void CVaultry_downloadDlg::showStatus(const QString& text) {
    statusLine_->setText(text);
}
void CVaultry_downloadDlg::showFolder(const QString& folder) {
    folderLine_->setText(folder);
}
void CVaultry_downloadDlg::showSpeed(const QString& text) {
    speedLine_->setText(text);
}
void CVaultry_downloadDlg::showRemaining(const QString& text) {
    remainingLine_->setText(text);
}

static void showOnBar(CPic_Progress* bar, int position, const QString& caption) {
    bar->caption = caption;
    // A bar repaints only when its position changes; step aside first so the caption shows.
    bar->SetPos(position == 1 ? 0 : 1, true);
    bar->SetPos(quint32(position), true);
}

void CVaultry_downloadDlg::showFileProgress(int position, const QString& caption) {
    showOnBar(fileBar_, position, caption);
}

void CVaultry_downloadDlg::showTotalProgress(int position, const QString& caption) {
    showOnBar(totalBar_, position, caption);
}

void CVaultry_downloadDlg::showRunning(bool running) {
    startStop_->setAlternateState(running ? 1 : 0);
}

static QMessageBox::Icon boxIcon(DownloadHost::Icon icon) {
    switch (icon) {
    case DownloadHost::Icon::Error:
        return QMessageBox::Critical;
    case DownloadHost::Icon::Warning:
        return QMessageBox::Warning;
    default:
        return QMessageBox::Information;
    }
}

void CVaultry_downloadDlg::message(const QString& text, const QString& caption, Icon icon) {
    ModalSeam::message(this, text, caption, boxIcon(icon));
}

bool CVaultry_downloadDlg::askYesNo(const QString& text, const QString& caption) {
    return ModalSeam::message(this, text, caption, QMessageBox::Information,
                              QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> CVaultry_downloadDlg::chooseFolder(const QString& title) {
    QString folder;
    userButton_->Bind(this, list_, this);
    if (!userButton_->BrowseFolder(folder, title))
        return std::nullopt;
    return folder;
}

int CVaultry_downloadDlg::askDuplicate(const QString& fileName) {
    CFileOverCheck dialog(fileName, this);
    const int answer = ModalSeam::run(dialog);
    return answer == CFileOverCheck::Resume ? CFileOverCheck::Resume : CFileOverCheck::Overwrite;
}

void CVaultry_downloadDlg::offerSaveFolderDialog() {
    CFolderSelect dialog(this);
    ModalSeam::run(dialog);
}

void CVaultry_downloadDlg::startTimer(int id, int milliseconds) {
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, id] { engine_->onTimer(id); });
    }
    timer->start(milliseconds);
}

void CVaultry_downloadDlg::stopTimer(int id) {
    if (QTimer* timer = timers_.value(id))
        timer->stop();
}

void CVaultry_downloadDlg::moveToTopLeft() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    move(screen ? screen->availableGeometry().topLeft() : QPoint(0, 0));
}

void CVaultry_downloadDlg::restoreAndShow() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void CVaultry_downloadDlg::showWindow() {
    show();
}

void CVaultry_downloadDlg::raiseTopmost() {
    if (!(windowFlags() & Qt::WindowStaysOnTopHint)) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        show(); // changing the flags hides a window
    }
    raise();
    const QString shot = qEnvironmentVariable("VAULTRY_SCREENSHOT");
    if (!shot.isEmpty())
        grab().save(shot);
}

void CVaultry_downloadDlg::quit() {
    ended_ = true;
    hide();
    emit ended();
}

// ---- painting, keys, dragging -------------------------------------------------------------

void CVaultry_downloadDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!skin_.isNull())
        painter.drawPixmap(0, 0, skin_);
}

void CVaultry_downloadDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        hideToTray();
        break;
    case Qt::Key_F4:
        if (event->modifiers() & Qt::AltModifier)
            hideToTray();
        else
            QDialog::keyPressEvent(event);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        break; // swallowed
    default:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CVaultry_downloadDlg::closeEvent(QCloseEvent* event) {
    // Closing only hides the window; the program ends through the exit procedure.
    event->ignore();
    hideToTray();
}
