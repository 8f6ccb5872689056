#pragma once

#include "ui/ClientProfile.h"
#include "ui/ConfigControlIds.h"
#include "ui/DensityArt.h"

#include <QDialog>
#include <QPoint>

class CButtontoImage;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;

// The settings dialog of both programs: every preference of the shared store, download and
// upload alike, on a borderless window painted with "images/config_bg.bmp". Save writes
// all twelve values; cancel and Escape write nothing. Every control is named "id<control>"
// with the program's control id. Run it modally with exec(); the result is not used.
class Vaultry_Config : public QDialog {
    Q_OBJECT
public:
    explicit Vaultry_Config(const ClientProfile& profile, QWidget* parent = nullptr);

    const ConfigControlIds& ids() const { return ids_; }
    bool hasBackground() const { return !background_.isNull(); }

    // The controls' commands, also reachable by clicking them.
    void Save();
    void Cancel();
    void Browse();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void fitButtonTexts();
    void loadBackground();
    void loadButtonImages();
    void fillFromStore();
    QCheckBox* check(int id) const;
    template <class Control> Control* place(int id, int x, int y, int width, int height);

    const ClientProfile& profile_;
    ConfigControlIds ids_;
    SkinPicture background_;
    QLineEdit* folder_ = nullptr;
    CButtontoImage* browse_ = nullptr;
    CButtontoImage* save_ = nullptr;
    CButtontoImage* cancel_ = nullptr;
    QButtonGroup* fileOver_ = nullptr;
};
