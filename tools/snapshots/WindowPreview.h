#pragma once

#include "ui/ClientProfile.h"
#include "ui/DensityArt.h"

#include <QWidget>

class CButtontoImage;
class CFileList;
class CPic_Progress;
class TransferTable;

// A main window's face put together from the kit alone (skin, image buttons, bars, list,
// status texts) at the windows' control positions, so the art can be judged in place.
class WindowPreview : public QWidget {
public:
    WindowPreview(const ClientProfile& profile, TransferTable* table);
    CButtontoImage* button(int id) const;
    CFileList* list() const { return list_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void addButton(int id, int bitmap, int x, int y, int w, int h, int top, int bottom, int left,
                   int right);
    void addStatic(int x, int y, int w, int h, const QString& text, const QColor& background);
    void addBar(int x, int y, int w, int h, quint32 position, const QString& caption);

    const ClientProfile& profile_;
    SkinPicture skin_;
    CFileList* list_ = nullptr;
};
