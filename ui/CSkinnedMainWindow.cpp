#include "ui/CSkinnedMainWindow.h"

#include "core/Protocol.h"
#include "core/TransferEngineBase.h"
#include "core/WindowBus.h"
#include "ui/CButtontoImage.h"
#include "ui/CFileList.h"
#include "ui/CPic_Progress.h"
#include "ui/CTray_menus.h"
#include "ui/CTrayicon.h"
#include "ui/CUser_button.h"
#include "ui/DialogUnits.h"
#include "ui/FaceDrag.h"
#include "ui/KitFont.h"
#include "ui/KitResources.h"
#include "ui/ModalSeam.h"
#include "ui/TabOrder.h"
#include "ui/TrayCommand.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

QString ControlName(int id) {
    return QStringLiteral("id%1").arg(id);
}

CSkinnedMainWindow::CSkinnedMainWindow(const ClientProfile& profile, const QString& title,
                                       const QString& skinFile)
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint),
      profile_(profile) {
    ensureKitResources();
    plainTitle_ = title;
    setWindowTitle(title);
    setWindowIcon(programIcon(profile));
    setFont(gulimFont(12));
    resize(DialogUnits::rect(0, 0, 371, 325).size());
    new FaceDrag(this);
    userButton_ = std::make_unique<CUser_button>(profile);
    loadSkin(skinFile);
}

CSkinnedMainWindow::~CSkinnedMainWindow() {
    if (list_)
        list_->setTable(nullptr); // the engine's table goes before the list does
}

CFileList* CSkinnedMainWindow::createList(int id, TransferTable* table) {
    list_ = new CFileList(this);
    list_->setObjectName(ControlName(id));
    list_->setGeometry(DialogUnits::rect(9, 117, 351, 92));
    list_->setTable(table);
    return list_;
}

bool CSkinnedMainWindow::refusedWhileBusy() {
    // A stopped worker that has not ended yet still counts: rows must not move under it.
    if (!transferEngine().isBusy())
        return false;
    message(KitText::refusedWhileTransferring(), profile_.errorCaption, Icon::Error);
    return true;
}

bool CSkinnedMainWindow::runSharedCommand(int id) {
    const auto refused = [this] { return refusedWhileBusy(); };
    userButton_->Bind(this, list_, &transferEngine());
    if (id == ids_.hide) {
        hideToTray();
    } else if (id == ids_.minimise) {
        showMinimized();
    } else if (id == ids_.exit || id == TrayCommand::ExitProgram) {
        transferEngine().exitProgram();
    } else if (id == ids_.moveTop || id == ids_.moveUp || id == ids_.moveDown ||
               id == ids_.moveBottom) {
        if (refused())
            return true;
        if (id == ids_.moveTop)
            list_->MoveToTop();
        else if (id == ids_.moveUp)
            list_->MoveUp();
        else if (id == ids_.moveDown)
            list_->MoveDown();
        else
            list_->MoveToBottom();
    } else if (id == ids_.settings || id == TrayCommand::Settings) {
        if (id == TrayCommand::Settings)
            show();
        queueBox({0, [this](std::function<void()> closed) {
                      return userButton_->OpenSettings([this, closed] {
                          loadSettingsIntoWindow();
                          closed();
                      });
                  }});
    } else if (id == ids_.deleteSelected) {
        if (refused())
            return true;
        if (list_->GetSelectedCount() == 0) {
            message(KitText::chooseRowsToDelete(), profile_.caption, Icon::Information);
            return true;
        }
        queueYesNo(KitText::deleteQuestion(), KitText::deleteCaption(), [this](bool yes) {
            // Asked again after the question: while it was open a handed-over
            // request or the retry may have started a worker on one of these rows.
            if (!yes || refusedWhileBusy())
                return;
            userButton_->Bind(this, list_, &transferEngine());
            userButton_->DeleteSelected();
        });
    } else if (id == ids_.deleteCompleted) {
        if (!refused())
            userButton_->DeleteCompleted();
    } else if (id == ids_.startStop) {
        transferEngine().toggle();
    } else if (id == TrayCommand::OpenHomepage) {
        CTray_menus().OpenHomepage();
    } else if (id == TrayCommand::ShowWindow) {
        activateWindow();
        CTray_menus().ShowMainWindow(this);
    } else {
        return false;
    }
    return true;
}

void CSkinnedMainWindow::loadSkin(const QString& skinFile) {
    if (!skin_.load(skinFile))
        return; // the window keeps its dialog size and is not centred
    setFixedSize(skin_.size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + area.width() / 2 - width() / 2,
             area.y() + area.height() / 2 - height() / 2);
    }
}

CButtontoImage* CSkinnedMainWindow::imageButton(int id, int bitmap, QRect units, int top,
                                                int bottom, int left, int right,
                                                const ControlText& text,
                                                const ControlText& alternate) {
    auto* button = new CButtontoImage(this);
    button->setObjectName(ControlName(id));
    button->setGeometry(units);
    button->LoadImages(profile_.resources, bitmap, 4, top, bottom, left, right);
    button->setTexts(text, alternate);
    connect(button, &QAbstractButton::clicked, this, [this, id] { onCommand(id); });
    return button;
}

QLabel* CSkinnedMainWindow::statusLabel(int id, QRect units, const QColor& background,
                                        const QString& title) {
    auto* label = new QLabel(this);
    label->setObjectName(ControlName(id));
    label->setProperty("lineTitle", title);
    setLineText(label, QString());
    label->setGeometry(units);
    label->setFont(gulimFont(11));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

QCheckBox* CSkinnedMainWindow::checkBox(int id, const QString& text, int x, int width) {
    auto* box = new QCheckBox(text, this);
    box->setObjectName(ControlName(id));
    box->setGeometry(DialogUnits::rect(x, 244, width, 10));
    box->setFont(gulimFont(11));
    box->setAutoFillBackground(false); // the skin shows through around the text
    connect(box, &QCheckBox::clicked, this, [this, id] { onCommand(id); });
    return box;
}

void CSkinnedMainWindow::setLineText(QLabel* line, const QString& text) {
    line->setText(text);
    // Read as "속도 1.2MB/s"; an empty line still has its name.
    const QString title = line->property("lineTitle").toString();
    line->setAccessibleName(text.isEmpty() ? title : title + QLatin1Char(' ') + text);
}

void CSkinnedMainWindow::createStatusLines(int statusId, int speedId, int remainingId, int y) {
    const QColor background(250, 252, 228);
    statusLine_ =
        statusLabel(statusId, DialogUnits::rect(13, 48, 203, 8), background, KitText::statusLine());
    speedLine_ =
        statusLabel(speedId, DialogUnits::rect(248, y, 36, 8), background, KitText::speedCaption());
    remainingLine_ = statusLabel(remainingId, DialogUnits::rect(320, y, 34, 8), background,
                                 KitText::remainingCaption());
}

void CSkinnedMainWindow::createBars(int fileId, int totalId) {
    // The bars take the place of two frames of the layout.
    for (auto [id, y, bar] :
         {std::tuple{fileId, 65, &fileBar_}, std::tuple{totalId, 80, &totalBar_}}) {
        auto* placeholder = new QWidget(this);
        placeholder->setObjectName(ControlName(id));
        placeholder->setGeometry(DialogUnits::rect(50, y, 304, 12));
        placeholder->hide();
        *bar = new CPic_Progress(this);
        (*bar)->CreateAt(this, 0, placeholder);
        (*bar)->SetRange(0, 1000);
    }
    totalBar_->setObjectName(QStringLiteral("totalBar"));
    fileBar_->setObjectName(QStringLiteral("fileBar"));
    fileBar_->setAccessibleName(KitText::fileBarCaption());
    totalBar_->setAccessibleName(KitText::totalBarCaption());
}

void CSkinnedMainWindow::orderTabs() {
    orderTabsByScreen(this);
}

void CSkinnedMainWindow::joinWindowBus(const char* className,
                                       std::function<qint64(const CopyData&)> handler) {
    bus_ = new WindowBus(QString::fromLatin1(className), this);
    bus_->setHandler(std::move(handler));
}

QString CSkinnedMainWindow::endpoint() const {
    return bus_ ? bus_->endpoint() : QString();
}

void CSkinnedMainWindow::stopTakingRequests() {
    if (bus_)
        bus_->deleteLater();
    bus_ = nullptr;
}

void CSkinnedMainWindow::announceToPageControl(quint32 tag, const char* text) {
    if (!bus_)
        return;
    const QString pageControl =
        WindowBus::findWindow(QString::fromLatin1(Protocol::kPageControlClass));
    if (!pageControl.isEmpty())
        WindowBus::send(pageControl, tag, bus_->endpoint(), QByteArray(text) + '\0', 5000);
}

void CSkinnedMainWindow::addTrayIcon(const QString& tip) {
    tray_ = new CTrayicon(this, TrayMessage::IconId, profile_);
    tray_->AddIcon(tip);
    connect(tray_, &CTrayicon::showWindowRequested, this,
            [this] { CTray_menus().ShowMainWindow(this); });
    connect(tray_, &CTrayicon::command, this, [this](int id) { onCommand(id); });
}

// ---- TransferHost -----------------------------------------------------------------------

void CSkinnedMainWindow::showStatus(const QString& text) {
    setLineText(statusLine_, text);
}
void CSkinnedMainWindow::showSpeed(const QString& text) {
    setLineText(speedLine_, text);
}
void CSkinnedMainWindow::showRemaining(const QString& text) {
    setLineText(remainingLine_, text);
}

static void showOnBar(CPic_Progress* bar, int position, const QString& caption) {
    bar->caption = caption;
    // The caption changes while the position may not: repaint either way, and tell a screen
    // reader only of a new value.
    bar->SetPos(quint32(position), false);
    bar->update();
}

void CSkinnedMainWindow::showFileProgress(int position, const QString& caption) {
    showOnBar(fileBar_, position, caption);
}

void CSkinnedMainWindow::showTotalProgress(int position, const QString& caption) {
    showOnBar(totalBar_, position, caption);
    // The bar's 0..1000 in tenths of a percent: the caption's own percentage.
    totalPercent_ = qBound(0, position, 1000) / 10;
    showProgressOnDesktop();
}

void CSkinnedMainWindow::showRunning(bool running) {
    if (startStop_)
        startStop_->setAlternateState(running ? 1 : 0);
    moving_ = running;
    showProgressOnDesktop();
}

void CSkinnedMainWindow::showProgressOnDesktop() {
    const QString title =
        moving_ ? QStringLiteral("%1% - %2").arg(totalPercent_).arg(plainTitle_) : plainTitle_;
    if (windowTitle() != title)
        setWindowTitle(title);
    if (tray_)
        tray_->SetTip(moving_ ? QStringLiteral("%1 %2%").arg(profile_.caption).arg(totalPercent_)
                              : profile_.caption);
}

void CSkinnedMainWindow::message(const QString& text, const QString& caption, Icon icon) {
    const QMessageBox::Icon shown = icon == Icon::Error     ? QMessageBox::Critical
                                    : icon == Icon::Warning ? QMessageBox::Warning
                                                            : QMessageBox::Information;
    queueBox({0, [this, text, caption, shown](std::function<void()> closed) {
                  return showQueued(ModalSeam::makeMessageBox(this, text, caption, shown), {},
                                    closed);
              }});
}

void CSkinnedMainWindow::ask(const MemberQuestion& question) {
    queueBox(questionBox(question));
}

void CSkinnedMainWindow::withdraw(quint64 questionId) {
    boxes_.removeIf([questionId](const Box& box) { return box.questionId == questionId; });
    if (boxOpen_ && openQuestion_ == questionId && openDialog_) {
        // Closed from the event loop: its answer reaches an engine that no longer waits for it.
        QTimer::singleShot(0, openDialog_.data(), [dialog = openDialog_] {
            if (dialog)
                dialog->done(QDialog::Rejected);
        });
    }
    endIfBoxesDone();
}

CSkinnedMainWindow::Box CSkinnedMainWindow::questionBox(const MemberQuestion& question) {
    const quint64 id = question.id;
    switch (question.kind) {
    case MemberQuestion::Kind::ExitAnyway:
        return yesNoBox(id, question.text, question.caption, [this, id](bool yes) {
            transferEngine().answer(id, {yes ? MemberAnswer::Yes : MemberAnswer::No});
        });
    case MemberQuestion::Kind::Folder:
        return {id, [this, question](std::function<void()> closed) {
                    userButton_->Bind(this, list_, &transferEngine());
                    return userButton_->BrowseFolder(
                        question.text,
                        [this, id = question.id, closed](std::optional<QString> folder) {
                            transferEngine().answer(
                                id, folder ? MemberReply{MemberAnswer::FolderChosen, *folder}
                                           : MemberReply{MemberAnswer::Cancelled, {}});
                            closed();
                        });
                }};
    default:
        // Not a question this window puts: answered as closed, so nothing waits for it.
        return {id, [this, id](std::function<void()> closed) -> QDialog* {
                    transferEngine().answer(id, {MemberAnswer::Closed});
                    closed();
                    return nullptr;
                }};
    }
}

QDialog* CSkinnedMainWindow::showQueued(QDialog* dialog, std::function<void(int)> answered,
                                        std::function<void()> closed) {
    const bool open = ModalSeam::open(*dialog, [dialog, answered, closed](int result) {
        dialog->deleteLater();
        // A box the member clicked says which button by the button itself, whatever code its
        // close carried.
        if (auto* box = qobject_cast<QMessageBox*>(dialog); box && box->clickedButton())
            result = box->standardButton(box->clickedButton());
        if (answered)
            answered(result);
        closed();
    });
    return open ? dialog : nullptr;
}

CSkinnedMainWindow::Box CSkinnedMainWindow::yesNoBox(quint64 questionId, const QString& text,
                                                     const QString& caption,
                                                     std::function<void(bool)> answered) {
    return {questionId, [this, text, caption, answered](std::function<void()> closed) {
                auto* box = ModalSeam::makeMessageBox(this, text, caption, QMessageBox::Information,
                                                      QMessageBox::Yes | QMessageBox::No);
                return showQueued(
                    box, [answered](int button) { answered(button == QMessageBox::Yes); }, closed);
            }};
}

void CSkinnedMainWindow::queueYesNo(const QString& text, const QString& caption,
                                    std::function<void(bool)> answered) {
    queueBox(yesNoBox(0, text, caption, std::move(answered)));
}

void CSkinnedMainWindow::queueBox(Box box) {
    boxes_.append(std::move(box));
    scheduleNextBox();
}

void CSkinnedMainWindow::scheduleNextBox() {
    QMetaObject::invokeMethod(this, &CSkinnedMainWindow::showNextBox, Qt::QueuedConnection);
}

void CSkinnedMainWindow::showNextBox() {
    if (boxOpen_ || boxes_.isEmpty())
        return;
    const Box box = boxes_.takeFirst();
    boxOpen_ = true;
    openQuestion_ = box.questionId;
    QDialog* open = box.show([this] {
        boxOpen_ = false;
        openQuestion_ = 0;
        openDialog_ = nullptr;
        scheduleNextBox();
        endIfBoxesDone();
        dropTopmostWhenBoxesDone();
    });
    if (boxOpen_)
        openDialog_ = open;
}

void CSkinnedMainWindow::endIfBoxesDone() {
    if (!quitting_ || ended_ || boxOpen_ || !boxes_.isEmpty())
        return;
    ended_ = true;
    hide();
    emit ended();
}

void CSkinnedMainWindow::restoreAndShow() {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void CSkinnedMainWindow::showWindow() {
    show();
}

void CSkinnedMainWindow::hideToTray() {
    // Without a tray to bring it back, a hidden window would be lost: minimise instead.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void CSkinnedMainWindow::raiseTopmost() {
    // Topmost, but not shown: a window the member hid to the tray stays hidden (the program
    // may be about to end); it is shown with the completion message.
    const bool visible = isVisible();
    if (!(windowFlags() & Qt::WindowStaysOnTopHint)) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        if (visible)
            show(); // changing the flags hides a window
    }
    if (visible)
        raise();
    // Above the others only while the box of the list's end is up; the box is queued right
    // after this call, so the check waits for the event loop.
    topmostForBoxes_ = true;
    QMetaObject::invokeMethod(this, &CSkinnedMainWindow::dropTopmostWhenBoxesDone,
                              Qt::QueuedConnection);
    emit listEnded();
}

void CSkinnedMainWindow::dropTopmostWhenBoxesDone() {
    if (!topmostForBoxes_ || boxOpen_ || !boxes_.isEmpty())
        return;
    topmostForBoxes_ = false;
    if (!(windowFlags() & Qt::WindowStaysOnTopHint))
        return;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    if (visible)
        show(); // changing the flags hides a window
}

void CSkinnedMainWindow::removeTrayIcon() {
    if (tray_)
        tray_->RemoveIcon();
}

void CSkinnedMainWindow::endSession() {
    ModalSeam::endSession();
    removeTrayIcon();
    transferEngine().endWithoutAsking();
}

void CSkinnedMainWindow::quit() {
    quitting_ = true;
    endIfBoxesDone();
}

// ---- painting, keys ---------------------------------------------------------------------

void CSkinnedMainWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    skin_.draw(painter, QPoint(0, 0));
}

void CSkinnedMainWindow::keyPressEvent(QKeyEvent* event) {
    const bool altF4 = event->key() == Qt::Key_F4 && (event->modifiers() & Qt::AltModifier);
    if (event->key() == Qt::Key_Escape || altF4) {
        hideToTray();
    } else if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept(); // Enter is swallowed
}

void CSkinnedMainWindow::closeEvent(QCloseEvent* event) {
    // Closing only hides the window; the program ends through its exit routine.
    event->ignore();
    hideToTray();
}
