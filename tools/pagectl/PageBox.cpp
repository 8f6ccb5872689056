#include "PageBox.h"

#include "ModalSeam.h"
#include "PageControl.h"

void ShowPageError(const QString& caption, const QString& text) {
    LogLine(QStringLiteral("refused: %1").arg(QString(text).replace(QLatin1Char('\n'), ' ')));
    ModalSeam::message(nullptr, text, caption, QMessageBox::Critical);
}
