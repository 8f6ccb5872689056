#include "ModalSeam.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QPointer>
#include <QPushButton>

namespace {

ModalSeam::Runner gRunner;
bool gSessionEnded = false;
QList<QPointer<QDialog>> gOpen; // innermost last

void logBox(QDialog& dialog, const QString& logPath) {
    QFile log(logPath);
    if (!log.open(QIODevice::Append))
        return;
    QString text = dialog.windowTitle() + QLatin1Char('|');
    if (auto* box = qobject_cast<QMessageBox*>(&dialog))
        text += box->text();
    else
        text += dialog.objectName();
    log.write(text.replace(QLatin1Char('\n'), QLatin1String("\\n")).toUtf8() + '\n');
}

int answerUnattended(QDialog& dialog, const QString& logPath) {
    logBox(dialog, logPath);
    // A file or folder chooser has no default answer that is safe to take unseen: it is
    // cancelled, and the caller keeps what it had.
    if (qobject_cast<QFileDialog*>(&dialog))
        return QDialog::Rejected;
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        QAbstractButton* button = box->defaultButton();
        if (!button && !box->buttons().isEmpty())
            button = box->buttons().first();
        return button ? int(box->standardButton(button)) : int(QMessageBox::Ok);
    }
    return QDialog::Accepted;
}

} // namespace

void ModalSeam::install(Runner runner) {
    gRunner = std::move(runner);
}

int ModalSeam::run(QDialog& dialog) {
    const QString log = qEnvironmentVariable("VAULTRY_MODAL_LOG");
    if (gSessionEnded) {
        if (!log.isEmpty())
            logBox(dialog, log);
        return 0;
    }
    if (gRunner)
        return gRunner(dialog);
    if (!log.isEmpty())
        return answerUnattended(dialog, log);
    gOpen.append(&dialog);
    const int answer = dialog.exec();
    gOpen.removeAll(&dialog);
    return gSessionEnded ? 0 : answer;
}

void ModalSeam::endSession() {
    gSessionEnded = true;
    // Innermost first: each returns from its exec() once the loops unwind to it.
    for (qsizetype i = gOpen.size(); i-- > 0;) {
        if (QDialog* dialog = gOpen.at(i))
            dialog->done(QDialog::Rejected);
    }
}

bool ModalSeam::sessionEnded() {
    return gSessionEnded;
}

QMessageBox::StandardButton ModalSeam::message(QWidget* owner, const QString& text,
                                               const QString& caption, QMessageBox::Icon icon,
                                               QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, caption, text, buttons, owner);
    if (buttons.testFlag(QMessageBox::Yes))
        box.setDefaultButton(QMessageBox::Yes);
    return QMessageBox::StandardButton(run(box));
}
