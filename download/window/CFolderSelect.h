#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

// "저장폴더 설정": shows the save folder, lets the user type or browse another, and offers
// to stop asking. "확인" stores both; nothing else closes it.
class CFolderSelect : public QDialog {
    Q_OBJECT
public:
    explicit CFolderSelect(QWidget* parent = nullptr);

    void pickFolder(); // "폴더선택"
    void confirm();    // "확인"

public slots:
    void reject() override {}

protected:
    void keyPressEvent(class QKeyEvent* event) override;

private:
    QLineEdit* folder_;
    QCheckBox* dontAsk_;
};
