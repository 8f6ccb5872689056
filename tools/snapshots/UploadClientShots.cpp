#include "tools/snapshots/UploadClientShots.h"

#include "core/Formats.h"
#include "core/TextCodec.h"
#include "ui/CFileList.h"
#include "upload/window/CBellcove_uploadDlg.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

bool uploadClientShots(const QDir& out) {
    CBellcove_uploadDlg window;
    window.list()->InsertColumns(ClientProfile::upload());
    struct Row {
        const char* name;
        qint64 size;
        qint64 done;
        RowState state;
    };
    const Row rows[] = {{"프로젝트_백업.zip", 268435456, 98566144, RowState::Transferring},
                        {"회의자료.pptx", 5242880, 5242880, RowState::Done},
                        {"사진모음_2024.tar", 73400320, 0, RowState::Waiting},
                        {"메모.txt", 2048, 0, RowState::Waiting}};
    qint64 total = 0, finished = 0;
    for (const Row& r : rows) {
        UploadRecord record;
        record.name = ToCp949(QString::fromUtf8(r.name));
        record.size = r.size;
        record.done = r.done;
        record.state = r.state;
        window.engine().table().append(record, QString::fromUtf8(r.name), FormatSize(r.size));
        total += r.size;
        finished += r.state == RowState::Done ? r.size : 0;
    }
    const Row& now = rows[0];
    window.showStatus(QStringLiteral("'프로젝트_백업.zip' 업로드중"));
    window.showSpeed(FormatSize(12582912));
    window.showRemaining(FormatTime(14));
    window.showFileProgress(ProgressBarPosition(now.done, now.size),
                            ProgressCaption(now.done, now.size));
    window.showTotalProgress(ProgressBarPosition(finished + now.done, total),
                             ProgressCaption(finished + now.done, total));
    window.showRunning(true);
    window.list()->selectRow(0);
    window.show();
    QApplication::processEvents();
    const QString path = out.filePath(QStringLiteral("upload_client_running.png"));
    const bool ok = window.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    window.quit();
    return ok;
}
