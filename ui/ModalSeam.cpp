#include "ui/ModalSeam.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <optional>
#include <utility>

namespace {

ModalSeam::Runner gRunner;
bool gSessionEnded = false;
QList<QPointer<QDialog>> gOpen;  // in exec(), innermost last
QList<QPointer<QDialog>> gShown; // opened without a loop of their own

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

// The answer when nobody is to be asked (the session has ended, a test's runner, the
// unattended log); nothing when the dialog is to be shown.
std::optional<int> answeredBySeam(QDialog& dialog) {
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
    return std::nullopt;
}

} // namespace

void ModalSeam::install(Runner runner) {
    gRunner = std::move(runner);
}

int ModalSeam::run(QDialog& dialog) {
    if (const std::optional<int> answer = answeredBySeam(dialog))
        return *answer;
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
    // The others close from the event loop, after the caller has done its part of the end:
    // their answers (0) then reach an exit already under way.
    for (const QPointer<QDialog>& shown : std::exchange(gShown, {})) {
        if (shown)
            QTimer::singleShot(0, shown.data(), [shown] {
                if (shown)
                    shown->done(QDialog::Rejected);
            });
    }
}

bool ModalSeam::sessionEnded() {
    return gSessionEnded;
}

bool ModalSeam::open(QDialog& dialog, std::function<void(int)> finished) {
    if (const std::optional<int> answer = answeredBySeam(dialog)) {
        finished(*answer);
        return false;
    }
    gShown.append(&dialog);
    QObject::connect(
        &dialog, &QDialog::finished, &dialog,
        [&dialog, finished = std::move(finished)](int result) {
            gShown.removeAll(&dialog);
            finished(gSessionEnded ? 0 : result);
        },
        Qt::SingleShotConnection);
    // Modal to the whole program, as exec() makes it, without a loop of its own.
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    return true;
}

QMessageBox* ModalSeam::makeMessageBox(QWidget* owner, const QString& text, const QString& caption,
                                       QMessageBox::Icon icon,
                                       QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(icon, caption, text, buttons, owner);
    if (buttons.testFlag(QMessageBox::Yes))
        box->setDefaultButton(QMessageBox::Yes);
    return box;
}

QMessageBox::StandardButton ModalSeam::message(QWidget* owner, const QString& text,
                                               const QString& caption, QMessageBox::Icon icon,
                                               QMessageBox::StandardButtons buttons) {
    const std::unique_ptr<QMessageBox> box(makeMessageBox(owner, text, caption, icon, buttons));
    return QMessageBox::StandardButton(run(*box));
}
