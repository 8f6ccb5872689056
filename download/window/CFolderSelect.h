#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

// "저장폴더 설정": shows the save folder, lets the user type or browse another, and offers
// to stop asking. "확인" stores both; Enter and Escape do nothing, and a close request from
// the desktop ends it without storing anything (QDialog's reject).
class CFolderSelect : public QDialog {
    Q_OBJECT
public:
    explicit CFolderSelect(QWidget* parent = nullptr);

    void pickFolder(); // "폴더선택"
    void confirm();    // "확인"

protected:
    void keyPressEvent(class QKeyEvent* event) override;

private:
    QLineEdit* folder_;
    QCheckBox* dontAsk_;
};
