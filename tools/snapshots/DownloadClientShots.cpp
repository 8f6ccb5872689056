#include "tools/snapshots/DownloadClientShots.h"

#include "core/Formats.h"
#include "core/TextCodec.h"
#include "download/window/CFileOverCheck.h"
#include "download/window/CFolderSelect.h"
#include "download/window/CVaultry_downloadDlg.h"
#include "ui/CFileList.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <cstdio>

namespace {

bool shoot(QWidget& widget, const QDir& out, const QString& name) {
    widget.show();
    QApplication::processEvents();
    const bool ok = widget.grab().save(out.filePath(name));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(out.filePath(name)));
    return ok;
}

} // namespace

bool downloadClientShots(const QDir& out) {
    CVaultry_downloadDlg window{QByteArray()};
    window.list()->InsertColumns(ClientProfile::download());
    struct Row {
        const char* name;
        qint64 size;
        qint64 done;
        RowState state;
    };
    const Row rows[] = {{"여름휴가_2024.mp4", 734003200, 287309824, RowState::Transferring},
                        {"가족사진.zip", 48211456, 48211456, RowState::Done},
                        {"보고서_최종.pdf", 1536000, 1536000, RowState::Done},
                        {"음악모음.mp3", 9823411, 0, RowState::Waiting},
                        {"README", 1024, 0, RowState::Waiting}};
    qint64 total = 0, finished = 0;
    for (const Row& r : rows) {
        FileRecord record;
        record.name = ToCp949(QString::fromUtf8(r.name));
        record.size = r.size;
        record.done = r.done;
        record.folder = QStringLiteral("/home/user/Documents/Willowmere");
        record.state = r.state;
        window.engine().table().append(record, QString::fromUtf8(r.name), FormatSize(r.size));
        total += r.size;
        finished += r.state == RowState::Done ? r.size : 0;
    }
    const Row& now = rows[0];
    window.showStatus(QStringLiteral("'여름휴가_2024.mp4' 다운로드중"));
    window.showFolder(QStringLiteral("/home/user/Documents/Willowmere"));
    window.showSpeed(FormatSize(48211456));
    window.showRemaining(FormatTime(9));
    window.showFileProgress(ProgressBarPosition(now.done, now.size),
                            ProgressCaption(now.done, now.size));
    window.showTotalProgress(ProgressBarPosition(finished + now.done, total),
                             ProgressCaption(finished + now.done, total));
    window.showRunning(true);
    window.list()->selectRow(0);
    bool ok = shoot(window, out, QStringLiteral("download_client_running.png"));

    // The keyboard has moved to the start/stop button: the focus is drawn.
    window.activateWindow();
    QApplication::processEvents();
    if (QWidget* before = window.findChild<QWidget*>(QStringLiteral("id1046"))) {
        before->setFocus();
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(before, &tab);
    }
    ok &= shoot(window, out, QStringLiteral("download_client_keyboard.png"));

    CFileOverCheck duplicate(QStringLiteral("여름휴가_2024.mp4"));
    ok &= shoot(duplicate, out, QStringLiteral("download_duplicate_dialog.png"));
    CFolderSelect folder;
    ok &= shoot(folder, out, QStringLiteral("download_save_folder_dialog.png"));
    window.quit();
    return ok;
}
