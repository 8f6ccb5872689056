#include "CBellcove_uploadDlg.h"

#include "CButtontoImage.h"
#include "CFileList.h"
#include "CPic_Progress.h"
#include "CTray_menus.h"
#include "CTrayicon.h"
#include "CUser_button.h"
#include "DesktopSeams.h"
#include "DialogUnits.h"
#include "FaceDrag.h"
#include "KitFont.h"
#include "KitResources.h"
#include "ModalSeam.h"
#include "SettingsStore.h"
#include "SkinPath.h"
#include "TrayCommand.h"
#include "UploadTexts.h"
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
};

QString objectNameFor(int id) {
    return QStringLiteral("id%1").arg(id);
}

} // namespace

CBellcove_uploadDlg::CBellcove_uploadDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint),
      engine_(std::make_unique<UploadEngine>(*this)) {
    ensureKitResources();
    setObjectName(QStringLiteral("CBellcove_uploadDlg"));
    setWindowTitle(QStringLiteral("Vastrelle - 업로드"));
    setWindowIcon(programIcon(Client::Upload));
    setFont(gulimFont(12));
    resize(DialogUnits::rect(0, 0, 371, 325).size());
    userButton_ = std::make_unique<CUser_button>(Client::Upload);
    new FaceDrag(this);

    loadSkin();
    buildControls();
    tray_ = new CTrayicon(this, TrayMessage::IconId, Client::Upload);
    tray_->AddIcon(UploadText::caption());
    connect(tray_, &CTrayicon::showWindowRequested, this,
            [this] { CTray_menus().ShowMainWindow(this); });
    connect(tray_, &CTrayicon::command, this, &CBellcove_uploadDlg::onCommand);

    bus_ = new WindowBus(QString::fromLatin1(kWindowClass), this);
    bus_->setHandler([this](const CopyData& message) { return receiveCopyData(message); });
    QTimer::singleShot(0, this, &CBellcove_uploadDlg::announce);
}

CBellcove_uploadDlg::~CBellcove_uploadDlg() {
    list_->setTable(nullptr);
}

QString CBellcove_uploadDlg::endpoint() const {
    return bus_->endpoint();
}

// ---- construction -----------------------------------------------------------------------

void CBellcove_uploadDlg::loadSettingsIntoWindow() {
    programEnd_->setChecked(SettingsStore::readInt(SettingKey::UpProgramEnd, 0) != 0);
    systemEnd_->setChecked(SettingsStore::readInt(SettingKey::UpSystemEnd, 0) != 0);
}

void CBellcove_uploadDlg::loadSkin() {
    const QString path = skinPath(QStringLiteral("images/upload_bg.bmp"));
    if (path.isEmpty() || !skin_.load(path))
        return; // the window keeps its dialog size and is not centred
    setFixedSize(skin_.size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + area.width() / 2 - width() / 2,
             area.y() + area.height() / 2 - height() / 2);
    }
}

CButtontoImage* CBellcove_uploadDlg::imageButton(int id, int bitmap, int x, int y, int w, int h,
                                                 int bottom, int left, int right) {
    auto* button = new CButtontoImage(this);
    button->setObjectName(objectNameFor(id));
    button->setGeometry(DialogUnits::rect(x, y, w, h));
    button->LoadImages(resourcePrefix(Client::Upload), bitmap, 4, 0, bottom, left, right);
    connect(button, &QAbstractButton::clicked, this, [this, id] { onCommand(id); });
    return button;
}

QLabel* CBellcove_uploadDlg::statusLabel(int id, int x, int y, int w, int h) {
    auto* label = new QLabel(this);
    label->setObjectName(objectNameFor(id));
    label->setGeometry(DialogUnits::rect(x, y, w, h));
    label->setFont(gulimFont(11));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor(250, 252, 228));
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

void CBellcove_uploadDlg::buildControls() {
    statusLine_ = statusLabel(1044, 13, 48, 203, 8);
    rateLine_ = statusLabel(1045, 248, 48, 36, 8);
    remainingLine_ = statusLabel(1029, 320, 48, 34, 8);

    // The bars take the place of two frames of the layout.
    for (auto [id, y, bar] : {std::tuple{1046, 65, &fileBar_}, std::tuple{1036, 80, &totalBar_}}) {
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

    // Strips in the order the window has always loaded them.
    imageButton(ExitButton, 133, 354, 16, 9, 9, 16, 16, 16);
    imageButton(HideButton, 132, 343, 16, 9, 9, 16, 16, 16);
    imageButton(MinimiseButton, 134, 332, 16, 9, 9, 16, 16, 16);
    imageButton(MoveUpButton, 151, 28, 219, 13, 15, 18, 0, 80);
    imageButton(MoveDownButton, 145, 43, 219, 13, 15, 18, 0, 80);
    imageButton(MoveTopButton, 146, 13, 219, 13, 16, 18, 0, 80);
    imageButton(MoveBottomButton, 155, 58, 219, 13, 15, 18, 0, 80);
    imageButton(DeleteSelectedButton, 150, 74, 219, 48, 16, 18, 0, 320);
    imageButton(DeleteCompletedButton, 153, 126, 219, 48, 16, 18, 0, 320);
    imageButton(SettingsButton, 156, 312, 94, 43, 14, 58, 0, 224);
    startStop_ = imageButton(StartStopButton, 154, 318, 219, 37, 36, 21, 0, 300);

    list_ = new CFileList(this);
    list_->setObjectName(objectNameFor(1014));
    list_->setGeometry(DialogUnits::rect(9, 117, 351, 92));
    list_->setTable(&engine_->table());

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
    programEnd_ = checkBox(ProgramEndBox, QStringLiteral("창닫기"), 54, 50);
    systemEnd_ = checkBox(SystemEndBox, QStringLiteral("컴퓨터종료"), 111, 57);
    loadSettingsIntoWindow();

#ifdef VAULTRY_HAVE_BANNER
    auto* banner = new CWebBrowser_banner(this);
    banner->setGeometry(DialogUnits::rect(10, 270, 350, 42));
    banner->setObjectName(objectNameFor(1041));
    banner->Navigate2(ServiceAddress::homepage() + QStringLiteral("/app/upload.html"));
    banner_ = banner;
#endif
}

// ---- page control -------------------------------------------------------------------------

void CBellcove_uploadDlg::announce() {
    const QString pageControl = WindowBus::findWindow(QStringLiteral("VAULtry_AX_EXE"));
    if (pageControl.isEmpty())
        return;
    WindowBus::send(pageControl, kHandOffTag, bus_->endpoint(), QByteArray("vaultry_uploader", 17),
                    5000);
}

qint64 CBellcove_uploadDlg::receiveCopyData(const CopyData& message) {
    if (message.tag != kHandOffTag)
        return 0;
    const QByteArray text = message.text();
    if (text.isEmpty())
        return 0;
    if (!columnsMade_) {
        list_->InsertColumns(Client::Upload);
        columnsMade_ = true;
    }
    // Handled after the sender has its answer: the handling talks to the file server and may
    // ask questions, and the page control must not wait for those. Commands that arrive
    // meanwhile queue up behind it instead of replacing it.
    storedCommand_ += text + '\0';
    QTimer::singleShot(0, this, &CBellcove_uploadDlg::processStoredCommand);
    return 0;
}

void CBellcove_uploadDlg::processStoredCommand() {
    const qsizetype end = storedCommand_.indexOf('\0');
    if (end < 0 || ended_)
        return;
    const QByteArray command = storedCommand_.left(end);
    storedCommand_.remove(0, end + 1);
    engine_->processCommand(command);
}

// ---- commands -----------------------------------------------------------------------------

bool CBellcove_uploadDlg::refusedWhileTransferring() {
    // A stopped worker that has not ended yet still counts: rows must not move under it.
    if (!engine_->isBusy())
        return false;
    message(UploadText::refusedWhileTransferring(), UploadText::errorCaption(), Icon::Error);
    return true;
}

void CBellcove_uploadDlg::onCommand(int id) {
    userButton_->Bind(this, list_, this);
    switch (id) {
    case HideButton:
        hideToTray();
        break;
    case MinimiseButton:
        showMinimized();
        break;
    case ExitButton:
    case TrayCommand::ExitProgram:
        engine_->exitRoutine();
        break;
    case MoveTopButton:
    case MoveUpButton:
    case MoveDownButton:
    case MoveBottomButton:
        if (refusedWhileTransferring())
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
        if (refusedWhileTransferring())
            break;
        if (list_->GetSelectedCount() == 0) {
            message(QStringLiteral("삭제할 파일을 선택하세요."), UploadText::caption(),
                    Icon::Information);
        } else if (askYesNo(QStringLiteral("삭제하시겠습니까?"), QStringLiteral("삭제확인"))) {
            userButton_->DeleteSelected();
        }
        break;
    case DeleteCompletedButton:
        if (!refusedWhileTransferring())
            userButton_->DeleteCompleted();
        break;
    case StartStopButton:
        engine_->toggle();
        break;
    case ProgramEndBox:
        SettingsStore::writeInt(SettingKey::UpProgramEnd, programEnd_->isChecked() ? 1 : 0);
        break;
    case SystemEndBox:
        SettingsStore::writeInt(SettingKey::UpSystemEnd, systemEnd_->isChecked() ? 1 : 0);
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

// ---- UploadHost -----------------------------------------------------------------------------

void CBellcove_uploadDlg::showStatus(const QString& text) {
    statusLine_->setText(text);
}
void CBellcove_uploadDlg::showRate(const QString& text) {
    rateLine_->setText(text);
}
void CBellcove_uploadDlg::showRemaining(const QString& text) {
    remainingLine_->setText(text);
}

static void showOnBar(CPic_Progress* bar, int position, const QString& caption) {
    bar->caption = caption;
    // A bar repaints only when its position changes; step aside first so the caption shows.
    bar->SetPos(position == 1 ? 0 : 1, true);
    bar->SetPos(quint32(position), true);
}

void CBellcove_uploadDlg::showFileProgress(int position, const QString& caption) {
    showOnBar(fileBar_, position, caption);
}

void CBellcove_uploadDlg::showTotalProgress(int position, const QString& caption) {
    showOnBar(totalBar_, position, caption);
}

void CBellcove_uploadDlg::showRunning(bool running) {
    startStop_->setAlternateState(running ? 1 : 0);
}

static QMessageBox::Icon boxIcon(UploadHost::Icon icon) {
    switch (icon) {
    case UploadHost::Icon::Error:
        return QMessageBox::Critical;
    case UploadHost::Icon::Warning:
        return QMessageBox::Warning;
    default:
        return QMessageBox::Information;
    }
}

void CBellcove_uploadDlg::message(const QString& text, const QString& caption, Icon icon) {
    ModalSeam::message(this, text, caption, boxIcon(icon));
}

bool CBellcove_uploadDlg::askYesNo(const QString& text, const QString& caption) {
    return ModalSeam::message(this, text, caption, QMessageBox::Information,
                              QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CBellcove_uploadDlg::startTimer(int id, int milliseconds) {
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, id] { engine_->onTimer(id); });
    }
    timer->start(milliseconds);
}

void CBellcove_uploadDlg::stopTimer(int id) {
    if (QTimer* timer = timers_.value(id))
        timer->stop();
}

void CBellcove_uploadDlg::restoreAndShow() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void CBellcove_uploadDlg::showWindow() {
    show();
}

void CBellcove_uploadDlg::hideToTray() {
    // Without a tray to bring it back, a hidden window would be lost: minimise instead.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void CBellcove_uploadDlg::raiseTopmost() {
    if (!(windowFlags() & Qt::WindowStaysOnTopHint)) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        show(); // changing the flags hides a window
    }
    raise();
}

void CBellcove_uploadDlg::removeTrayIcon() {
    tray_->RemoveIcon();
}

void CBellcove_uploadDlg::quit() {
    tray_->RemoveIcon();
    ended_ = true;
    hide();
    emit ended();
}

// ---- painting, keys -----------------------------------------------------------------------

void CBellcove_uploadDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!skin_.isNull())
        painter.drawPixmap(0, 0, skin_);
}

void CBellcove_uploadDlg::keyPressEvent(QKeyEvent* event) {
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

void CBellcove_uploadDlg::closeEvent(QCloseEvent* event) {
    // Closing only hides the window; the program ends through the exit routine.
    event->ignore();
    hideToTray();
}
