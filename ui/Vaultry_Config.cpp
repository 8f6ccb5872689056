#include "ui/Vaultry_Config.h"

#include "ui/FaceDrag.h"

#include "core/SettingsStore.h"
#include "ui/CButtontoImage.h"
#include "ui/DialogUnits.h"
#include "ui/FolderChooser.h"
#include "ui/KitFont.h"
#include "ui/KitTexts.h"
#include "ui/TabOrder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>

namespace {

// Size of the dialog's layout when the background picture is missing.
constexpr int kLayoutWidth = 303;
constexpr int kLayoutHeight = 273;

// The labels, boxes and edit keep dark-on-light colours whatever the desktop theme, because
// they sit on the light background picture.
QPalette lightPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xf4, 0xf7, 0xfa));
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Button, QColor(0xef, 0xef, 0xef));
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x2d, 0x7f, 0xb8));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

} // namespace

template <class Control>
Control* Vaultry_Config::place(int id, int x, int y, int width, int height) {
    auto* control = new Control(this);
    if (id != 0)
        control->setObjectName(QStringLiteral("id%1").arg(id));
    control->setGeometry(DialogUnits::rect(x, y, width, height));
    return control;
}

Vaultry_Config::Vaultry_Config(const ClientProfile& profile, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), profile_(profile),
      ids_(profile.config) {
    setPalette(lightPalette());
    setFont(gulimFont(11));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The window has no caption; a screen reader still names it.
    setAccessibleName(KitText::settingsWindow());
    createControls();
    fitButtonTexts();
    loadBackground();
    loadButtonImages();
    fillFromStore();
    orderTabsByScreen(this);
    tabStopOnChecked(fileOver_);
    folder_->setFocus();
    new FaceDrag(this);
}

void Vaultry_Config::createControls() {
    const auto label = [this](const QString& text, int x, int y, int w, int h) {
        auto* l = place<QLabel>(0, x, y, w, h);
        l->setText(text);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    };
    label(KitText::defaultFolderLabel(), 15, 54, 70, 11);
    label(KitText::sameNameLabel(), 23, 71, 60, 9);
    label(KitText::downloadDoneLabel(), 17, 106, 62, 9);
    label(KitText::transferDoneLabel(), 36, 209, 60, 11);

    folder_ = place<QLineEdit>(ids_.folderEdit, 88, 53, 136, 12);
    folder_->setAccessibleName(KitText::defaultFolderField());
    browse_ = place<CButtontoImage>(ids_.browse, 228, 52, 36, 14);
    save_ = place<CButtontoImage>(ids_.save, 100, 243, 43, 16);
    cancel_ = place<CButtontoImage>(ids_.cancel, 158, 243, 43, 16);
    browse_->setTexts(KitText::browse());
    save_->setTexts(KitText::save());
    cancel_->setTexts(KitText::cancel());
    connect(browse_, &QAbstractButton::clicked, this, &Vaultry_Config::Browse);
    connect(save_, &QAbstractButton::clicked, this, &Vaultry_Config::Save);
    connect(cancel_, &QAbstractButton::clicked, this, &Vaultry_Config::Cancel);

    fileOver_ = new QButtonGroup(this);
    const auto radio = [this](int id, const QString& text, int x, int y, int w, int h,
                              DuplicatePolicy mode) {
        auto* r = place<QRadioButton>(id, x, y, w, h);
        r->setText(text);
        fileOver_->addButton(r, int(mode));
    };
    radio(ids_.overwrite, KitText::alwaysOverwrite(), 87, 72, 55, 9, DuplicatePolicy::Overwrite);
    radio(ids_.confirm, KitText::askFirst(), 155, 72, 49, 9, DuplicatePolicy::Ask);
    radio(ids_.resume, KitText::resumeExisting(), 216, 72, 39, 10, DuplicatePolicy::Resume);

    const auto box = [this](int id, const QString& text, int x, int y, int w, int h) {
        place<QCheckBox>(id, x, y, w, h)->setText(text);
    };
    box(ids_.downAutostart, KitText::downloadAutostart(), 50, 89, 122, 10);
    box(ids_.folderUse, KitText::useSaveFolder(), 182, 89, 74, 10);
    box(ids_.downListDel, KitText::deleteFromList(), 82, 105, 43, 11);
    box(ids_.downProgramEnd, KitText::endProgramAutomatically(), 133, 105, 71, 11);
    box(ids_.downSystemEnd, KitText::shutDownSystem(), 210, 105, 48, 10);
    box(ids_.upAutostart, KitText::uploadAutostart(), 33, 170, 102, 10);
    box(ids_.upTray, KitText::trayWhileSending(), 33, 186, 104, 10);
    box(ids_.upCompleteShow, KitText::showTransferWindow(), 100, 210, 51, 10);
    box(ids_.upProgramEnd, KitText::endProgram(), 163, 210, 55, 10);
    box(ids_.upSystemEnd, KitText::shutDownSystem(), 226, 210, 48, 10);
}

// The layout's boxes were measured for a smaller face than ours; where a text needs a little more
// room it may grow to the right up to the next control on its row, never over it.
void Vaultry_Config::fitButtonTexts() {
    const QList<QAbstractButton*> boxes = findChildren<QAbstractButton*>();
    const int rightEdge = DialogUnits::toPixels(kLayoutWidth) - 16;
    for (QAbstractButton* box : boxes) {
        if (qobject_cast<CButtontoImage*>(box))
            continue;
        const QRect at = box->geometry();
        int limit = rightEdge;
        for (QWidget* other : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect there = other->geometry();
            if (other != box && there.left() > at.left() && there.top() < at.bottom() &&
                there.bottom() > at.top())
                limit = qMin(limit, there.left() - 2);
        }
        const int wanted = qMax(at.width(), box->sizeHint().width());
        box->resize(qMin(wanted, limit - at.left()), at.height());
    }
}

void Vaultry_Config::loadBackground() {
    if (!background_.load(QStringLiteral("images/config_bg.bmp")) || background_.size().isEmpty()) {
        background_ = SkinPicture();
        resize(DialogUnits::toPixels(kLayoutWidth), DialogUnits::toPixels(kLayoutHeight));
        return;
    }
    resize(background_.size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + area.width() / 2 - width() / 2,
             area.y() + area.height() / 2 - height() / 2);
    }
}

void Vaultry_Config::loadButtonImages() {
    const QString prefix = profile_.resources;
    cancel_->LoadImages(prefix, ids_.cancelBitmap, 4, 0, 76, 0, 304);
    save_->LoadImages(prefix, ids_.saveBitmap, 4, 0, 76, 0, 304);
    browse_->LoadImages(prefix, ids_.browseBitmap, 4, 0, 63, 0, 252);
}

QCheckBox* Vaultry_Config::check(int id) const {
    return findChild<QCheckBox*>(QStringLiteral("id%1").arg(id));
}

void Vaultry_Config::fillFromStore() {
    using namespace SettingKey;
    folder_->setText(SettingsStore::ReadText(DefaultFolder));
    // The dialog shows a stored value it does not know as "always overwrite".
    const int fileOver = SettingsStore::ReadInt(DownFileOver, int(DuplicatePolicy::Overwrite));
    fileOver_
        ->button(fileOver == int(DuplicatePolicy::Ask) || fileOver == int(DuplicatePolicy::Resume)
                     ? fileOver
                     : int(DuplicatePolicy::Overwrite))
        ->setChecked(true);
    check(ids_.downAutostart)->setChecked(SettingsStore::ReadInt(DownAutostart, 0) != 0);
    // Stored the other way round: 0 means "use the save-folder setting".
    check(ids_.folderUse)->setChecked(SettingsStore::ReadInt(DefaultFolderUse, 0) == 0);
    const std::pair<int, const char*> boxes[] = {{ids_.downListDel, DownListDel},
                                                 {ids_.downProgramEnd, DownProgramEnd},
                                                 {ids_.downSystemEnd, DownSystemEnd},
                                                 {ids_.upAutostart, UpAutostart},
                                                 {ids_.upTray, UpTray},
                                                 {ids_.upCompleteShow, UpCompleteShow},
                                                 {ids_.upProgramEnd, UpProgramEnd},
                                                 {ids_.upSystemEnd, UpSystemEnd}};
    for (const auto& [id, key] : boxes)
        check(id)->setChecked(SettingsStore::ReadInt(key, 0) != 0);
}

void Vaultry_Config::Save() {
    using namespace SettingKey;
    const auto ticked = [this](int id) { return check(id)->isChecked() ? 1 : 0; };
    SettingsStore::WriteText(DefaultFolder, folder_->text());
    const int checked = fileOver_->checkedId();
    SettingsStore::WriteInt(DownFileOver, checked > 0 ? checked : int(DuplicatePolicy::Overwrite));
    SettingsStore::WriteInt(DownAutostart, ticked(ids_.downAutostart));
    SettingsStore::WriteInt(DefaultFolderUse, 1 - ticked(ids_.folderUse));
    SettingsStore::WriteInt(DownListDel, ticked(ids_.downListDel));
    SettingsStore::WriteInt(DownProgramEnd, ticked(ids_.downProgramEnd));
    SettingsStore::WriteInt(DownSystemEnd, ticked(ids_.downSystemEnd));
    SettingsStore::WriteInt(UpAutostart, ticked(ids_.upAutostart));
    SettingsStore::WriteInt(UpTray, ticked(ids_.upTray));
    SettingsStore::WriteInt(UpCompleteShow, ticked(ids_.upCompleteShow));
    SettingsStore::WriteInt(UpProgramEnd, ticked(ids_.upProgramEnd));
    SettingsStore::WriteInt(UpSystemEnd, ticked(ids_.upSystemEnd));
    accept();
}

void Vaultry_Config::Cancel() {
    reject();
}

void Vaultry_Config::Browse() {
    const QString chosen =
        FolderChooser::current().chooseFolder(nullptr, QStringLiteral("Select a folder."));
    if (!chosen.isEmpty())
        folder_->setText(chosen); // stored only when the user saves
}

void Vaultry_Config::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!background_.isNull()) {
        background_.draw(painter, QPoint(0, 0));
    } else {
        painter.setPen(QColor(0xb0, 0xbc, 0xc8));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void Vaultry_Config::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool altF4 = event->key() == Qt::Key_F4 && (event->modifiers() & Qt::AltModifier);
    if (enter || altF4) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event); // Escape cancels without writing
}

void Vaultry_Config::closeEvent(QCloseEvent* event) {
    // A close request from the desktop (Alt+F4 through the window manager) is swallowed: the
    // dialog ends through save, cancel or Escape only.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
