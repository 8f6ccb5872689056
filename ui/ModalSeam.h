#pragma once

#include <QMessageBox>
#include <functional>

class QDialog;

// Every modal box and dialog of the windows runs through here, so that tests can answer
// them and the unattended demo never waits for a person. By default a dialog runs with
// exec() (run) or is shown modally without waiting (open); with VAULTRY_MODAL_LOG=<file>
// set, nothing is shown: each box is appended to the file as "caption|text" and answered
// with its default button (a file or folder chooser is cancelled). An installed runner
// answers in both forms.
namespace ModalSeam {

using Runner = std::function<int(QDialog&)>;
void install(Runner runner); // an empty runner restores the default
int run(QDialog& dialog);
// Shows `dialog` modally and returns at once: `finished` gets its result when it closes
// (from the event loop). A box the seam answers itself is answered before open() returns.
// True while the dialog is open and `finished` is still to come; closing it with
// QDialog::done() delivers that result.
bool open(QDialog& dialog, std::function<void(int)> finished);

// The windows' message box as it is shown: text, caption, icon and buttons, "Yes" the
// default where there is one.
QMessageBox* makeMessageBox(QWidget* owner, const QString& text, const QString& caption,
                            QMessageBox::Icon icon,
                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// The session is ending (logout): nobody will answer. The boxes and dialogs open now are
// closed, and every later one is answered at once with 0 (no button, rejected) without being
// shown; VAULTRY_MODAL_LOG still gets its line. For the rest of the process.
void endSession();
bool sessionEnded();

// The windows' message boxes: text, caption, icon and buttons; returns the button pressed.
QMessageBox::StandardButton message(QWidget* owner, const QString& text, const QString& caption,
                                    QMessageBox::Icon icon,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok);

} // namespace ModalSeam
