#include "pagectl/PageBox.h"

#include "pagectl/PageControl.h"
#include "ui/ModalSeam.h"

void ShowPageError(const QString& caption, const QString& text) {
    LogLine(QStringLiteral("refused: %1").arg(QString(text).replace(QLatin1Char('\n'), ' ')));
    ModalSeam::message(nullptr, text, caption, QMessageBox::Critical);
}
