#include "download/window/CFolderSelect.h"

#include "core/SettingsStore.h"
#include "download/engine/DownloadTexts.h"
#include "ui/DialogUnits.h"
#include "ui/FolderChooser.h"
#include "ui/TabOrder.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CFolderSelect::CFolderSelect(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(DownloadText::saveFolderCaption());
    setObjectName(QStringLiteral("CFolderSelect"));
    setFixedSize(DialogUnits::rect(0, 0, 246, 84).size());

    auto* frame = new QGroupBox(DownloadText::saveFolderFrame(), this);
    frame->setGeometry(DialogUnits::rect(7, 7, 232, 51));
    folder_ = new QLineEdit(SettingsStore::ReadText(SettingKey::DefaultFolder), this);
    folder_->setObjectName(QStringLiteral("id1025"));
    folder_->setGeometry(DialogUnits::rect(14, 23, 173, 12));
    folder_->setAccessibleName(frame->title());
    auto* choose = new QPushButton(DownloadText::chooseFolderButton(), this);
    choose->setObjectName(QStringLiteral("id1056"));
    choose->setGeometry(DialogUnits::rect(194, 22, 37, 15));
    choose->setAutoDefault(false);
    auto* hint = new QLabel(DownloadText::saveFolderHint(), this);
    hint->setGeometry(DialogUnits::rect(17, 42, 186, 9));
    dontAsk_ = new QCheckBox(DownloadText::dontAskAgain(), this);
    dontAsk_->setObjectName(QStringLiteral("id1057"));
    dontAsk_->setGeometry(DialogUnits::rect(7, 62, 150, 14));
    auto* ok = new QPushButton(DownloadText::okButton(), this);
    ok->setObjectName(QStringLiteral("id1058"));
    ok->setGeometry(DialogUnits::rect(197, 62, 42, 15));
    ok->setAutoDefault(false);

    connect(choose, &QPushButton::clicked, this, &CFolderSelect::pickFolder);
    connect(ok, &QPushButton::clicked, this, &CFolderSelect::confirm);
    orderTabsByScreen(this);
}

void CFolderSelect::pickFolder() {
    const QString picked =
        FolderChooser::current().chooseFolder(nullptr, DownloadText::chooseFolderToDownloadInto());
    if (!picked.isEmpty())
        folder_->setText(picked);
}

void CFolderSelect::confirm() {
    SettingsStore::WriteInt(SettingKey::DefaultFolderUse, dontAsk_->isChecked() ? 1 : 0);
    SettingsStore::WriteText(SettingKey::DefaultFolder, folder_->text());
    done(0);
}

void CFolderSelect::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape do not close it. Enter on a focused button presses that button, as
    // Space does.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter || event->key() == Qt::Key_Escape) {
        event->accept();
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); enter && button)
            button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
