#pragma once

#include <QDialog>

class QButtonGroup;
class QLabel;
class QRadioButton;

// "중복파일": the file to download already exists; overwrite it (1) or resume it (2).
// It cannot be dismissed without an answer: Escape and the close request do nothing.
class CFileOverCheck : public QDialog {
    Q_OBJECT
public:
    enum Choice { Overwrite = 1, Resume = 2 };

    explicit CFileOverCheck(const QString& fileName, QWidget* parent = nullptr);

    // The answer as the "확인" button would give it now.
    int choice() const;

public slots:
    void reject() override {} // Escape and the close request leave it open

private:
    QRadioButton* overwrite_;
    QRadioButton* resume_;
    QButtonGroup* group_;
};
