#include "tools/snapshots/WindowPreview.h"

#include "core/TransferTable.h"
#include "ui/CButtontoImage.h"
#include "ui/CFileList.h"
#include "ui/CPic_Progress.h"
#include "ui/DialogUnits.h"
#include "ui/KitFont.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>

WindowPreview::WindowPreview(const ClientProfile& profile, TransferTable* table)
    : profile_(profile) {
    const bool download = &profile == &ClientProfile::download();
    skin_.load(download ? "images/download_bg.bmp" : "images/upload_bg.bmp");
    setFixedSize(skin_.isNull() ? QSize(557, 488) : skin_.size());
    setFont(gulimFont(11));
    QPalette light = palette();
    light.setColor(QPalette::WindowText, Qt::black);
    setPalette(light);

    const QColor yellow(250, 252, 228);
    addStatic(13, 48, 203, 8,
              download ? "'홍길동_여행영상.mp4' 다운로드중" : "'보고서_최종.hwp' 업로드중", yellow);
    addStatic(248, 49, 36, 8, "1.2MB/s", yellow);
    addStatic(320, 49, 34, 8, "00:03:27", yellow);
    addBar(50, 65, 304, 12, 372, "37%/100%(42,311,552/114,343,296 Byte)");
    addBar(50, 80, 304, 12, 615, "61%/100%(301,220,111/489,114,240 Byte)");
    if (download)
        addStatic(52, 97, 195, 11, "/home/user/Documents/Willowmere", QColor(242, 242, 242));

    list_ = new CFileList(this);
    list_->setGeometry(DialogUnits::rect(9, 117, 351, 92));
    list_->setTable(table);
    list_->InsertColumns(profile);

    auto* end = new QCheckBox(download ? "프로그램종료" : "창닫기", this);
    end->setGeometry(DialogUnits::rect(54, 245, 50, 8).adjusted(0, -2, 0, 2));
    auto* off = new QCheckBox(download ? "시스템종료" : "컴퓨터종료", this);
    off->setGeometry(DialogUnits::rect(111, 245, 57, 8).adjusted(0, -2, 0, 2));
    off->setChecked(true);

    if (download) {
        addButton(1003, 140, 354, 16, 9, 9, 0, 73, 73, 73);
        addButton(1001, 143, 343, 16, 9, 9, 0, 73, 73, 73);
        addButton(1002, 142, 332, 16, 9, 9, 0, 73, 73, 73);
        addButton(1008, 139, 28, 219, 13, 15, 0, 18, 0, 80);
        addButton(1009, 134, 43, 219, 13, 15, 0, 18, 0, 80);
        addButton(1007, 138, 13, 219, 13, 16, 0, 18, 0, 80);
        addButton(1010, 131, 58, 219, 13, 15, 0, 18, 0, 80);
        addButton(1013, 133, 74, 219, 48, 16, 0, 18, 0, 320);
        addButton(1014, 132, 126, 219, 48, 16, 0, 18, 0, 320);
        addButton(1011, 136, 312, 94, 43, 14, 0, 58, 0, 224);
        addButton(1036, 178, 252, 94, 57, 14, 0, 58, 0, 224);
        addButton(1046, 183, 234, 219, 38, 36, 0, 29, 0, 328);
        addButton(1016, 137, 276, 219, 38, 36, 0, 29, 0, 328);
        addButton(1035, 179, 318, 219, 37, 36, 0, 29, 0, 328);
    } else {
        addButton(1009, 133, 354, 16, 9, 9, 0, 16, 16, 16);
        addButton(1007, 132, 343, 16, 9, 9, 0, 16, 16, 16);
        addButton(1008, 134, 332, 16, 9, 9, 0, 16, 16, 16);
        addButton(1020, 151, 28, 219, 13, 15, 0, 18, 0, 80);
        addButton(1021, 145, 43, 219, 13, 15, 0, 18, 0, 80);
        addButton(1022, 146, 13, 219, 13, 16, 0, 18, 0, 80);
        addButton(1023, 155, 58, 219, 13, 15, 0, 18, 0, 80);
        addButton(1018, 150, 74, 219, 48, 16, 0, 18, 0, 320);
        addButton(1019, 153, 126, 219, 48, 16, 0, 18, 0, 320);
        addButton(1048, 156, 312, 94, 43, 14, 0, 58, 0, 224);
        addButton(1028, 154, 318, 219, 37, 36, 0, 21, 0, 300);
    }
}

CButtontoImage* WindowPreview::button(int id) const {
    return findChild<CButtontoImage*>(QStringLiteral("id%1").arg(id));
}

void WindowPreview::addButton(int id, int bitmap, int x, int y, int w, int h, int top, int bottom,
                              int left, int right) {
    auto* b = new CButtontoImage(this);
    b->setObjectName(QStringLiteral("id%1").arg(id));
    b->setGeometry(DialogUnits::rect(x, y, w, h));
    b->LoadImages(profile_.resources, bitmap, 4, top, bottom, left, right);
}

void WindowPreview::addStatic(int x, int y, int w, int h, const QString& text,
                              const QColor& background) {
    auto* l = new QLabel(text, this);
    l->setGeometry(DialogUnits::rect(x, y, w, h).adjusted(0, -2, 0, 2));
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(p);
}

void WindowPreview::addBar(int x, int y, int w, int h, quint32 position, const QString& caption) {
    auto* placeholder = new QFrame(this);
    placeholder->setGeometry(DialogUnits::rect(x, y, w, h));
    auto* bar = new CPic_Progress(this);
    bar->CreateAt(this, 0, placeholder);
    bar->SetRange(0, 1000);
    bar->caption = caption;
    bar->SetPos(position, true);
}

void WindowPreview::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    skin_.draw(p, QPoint(0, 0));
}
