#include "pagectl/FileChooser.h"

#include "ui/ModalSeam.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

constexpr qint64 kMaxAnswerBytes = 1 << 20;

std::optional<QStringList> answered(const QString& answerFile) {
    QFile file(answerFile);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QStringList paths;
    for (const QByteArray& line : file.read(kMaxAnswerBytes).split('\n')) {
        const QString path = QString::fromUtf8(line.endsWith('\r') ? line.chopped(1) : line);
        if (!path.isEmpty())
            paths << QFileInfo(path).absoluteFilePath();
    }
    if (paths.isEmpty())
        return std::nullopt;
    return paths;
}

} // namespace

std::optional<QStringList> FileChooser::chooseFiles(const QString& title) {
    const QString answerFile = qEnvironmentVariable("VAULTRY_CHOSEN_FILES");
    if (!answerFile.isEmpty())
        return answered(answerFile);

    QFileDialog dialog(nullptr, title,
                       QStandardPaths::writableLocation(QStandardPaths::HomeLocation));
    dialog.setObjectName(QStringLiteral("upload-file-chooser"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (ModalSeam::run(dialog) != QDialog::Accepted)
        return std::nullopt;
    QStringList paths;
    for (const QString& path : dialog.selectedFiles())
        paths << QFileInfo(path).absoluteFilePath();
    if (paths.isEmpty())
        return std::nullopt;
    return paths;
}
