#include "download/window/CFileOverCheck.h"

#include "download/engine/DownloadTexts.h"
#include "ui/DialogUnits.h"
#include "ui/TabOrder.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

CFileOverCheck::CFileOverCheck(const QString& fileName, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
    setWindowTitle(DownloadText::duplicateCaption());
    setObjectName(QStringLiteral("CFileOverCheck"));
    setFixedSize(DialogUnits::rect(0, 0, 199, 63).size());
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    // Dialog units assume a smaller face than ours; a line never gets less than the
    // height its text needs, and a radio button grows to fit its label.
    const int lineHeight = fontMetrics().height();
    auto fitLine = [lineHeight](QWidget* w, const QRect& r) {
        w->setGeometry(r.x(), r.y(), r.width(), std::max(r.height(), lineHeight));
    };
    auto fitWidth = [](QWidget* w, const QRect& r) {
        w->setGeometry(r.x(), r.y(), std::max(r.width(), w->sizeHint().width()), r.height());
    };

    auto* intro = new QLabel(DownloadText::alreadyExists(), this);
    fitLine(intro, DialogUnits::rect(4, 5, 190, 9));
    intro->setAlignment(Qt::AlignCenter);
    // The name is shown whole and centred; a name too long for the line is clipped.
    auto* name = new QLabel(fileName, this);
    name->setObjectName(QStringLiteral("id1024"));
    fitLine(name, DialogUnits::rect(4, 17, 190, 8));
    name->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    name->setWordWrap(true); // a name too long for the line shows only its first line

    overwrite_ = new QRadioButton(DownloadText::overwrite(), this);
    overwrite_->setObjectName(QStringLiteral("id1021"));
    fitWidth(overwrite_, DialogUnits::rect(50, 30, 40, 10));
    resume_ = new QRadioButton(DownloadText::resume(), this);
    resume_->setObjectName(QStringLiteral("id1022"));
    fitWidth(resume_, DialogUnits::rect(100, 30, 40, 10));
    // Both answers can be reached from the keyboard: Tab stops at the chosen one, the arrow
    // keys choose the other, and Enter confirms through "확인" whatever has the focus.
    group_ = new QButtonGroup(this);
    group_->addButton(overwrite_);
    group_->addButton(resume_);
    overwrite_->setChecked(true);

    auto* ok = new QPushButton(DownloadText::okButton(), this);
    ok->setObjectName(QStringLiteral("id1023"));
    ok->setGeometry(DialogUnits::rect(74, 45, 50, 15));
    ok->setDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, [this] { done(choice()); });
    orderTabsByScreen(this);
    tabStopOnChecked(group_);
}

int CFileOverCheck::choice() const {
    return resume_->isChecked() ? Resume : Overwrite;
}
