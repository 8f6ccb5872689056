// Renders each kit widget, the settings dialog and both clients' windows offscreen into PNG
// files, so the look can be judged without a desktop: once for each screen scale the windows
// meet on laptops (1, 1.5 and 2), into the folders x1, x1.5 and x2.
// Usage: vaultry-snapshots [output folder] (default: build/snapshots beside the bin folder).
#include "core/Formats.h"
#include "core/TransferTable.h"
#include "core/WebEngineStart.h"
#include "tools/snapshots/DownloadClientShots.h"
#include "tools/snapshots/UploadClientShots.h"
#include "tools/snapshots/WindowPreview.h"
#include "ui/CButtontoImage.h"
#include "ui/CFileList.h"
#include "ui/CPic_Progress.h"
#include "ui/CTray_menus.h"
#include "ui/Vaultry_Config.h"

#include "core/SettingsStore.h"
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void fill(RecordTable<TransferRecord>& table) {
    struct Row {
        const char* name;
        qint64 size;
        RowState state;
    };
    const Row rows[] = {{"홍길동_여행영상.mp4", 114343296, RowState::Transferring},
                        {"가족사진_2024.zip", 48211456, RowState::Done},
                        {"회의록_3분기.pdf", 1536000, RowState::Done},
                        {"드라마_01화.avi", 734003200, RowState::Waiting},
                        {"음악모음.mp3", 9823411, RowState::Waiting},
                        {"README", 1024, RowState::Errored},
                        {"설치파일.exe", 23456789, RowState::Waiting}};
    for (const Row& r : rows) {
        TransferRecord record;
        record.state = r.state;
        table.append(record, QString::fromUtf8(r.name), FormatSize(r.size));
    }
}

bool save(QWidget& widget, const QDir& out, const QString& name) {
    widget.show();
    QApplication::processEvents();
    const bool ok = widget.grab().save(out.filePath(name));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(out.filePath(name)));
    return ok;
}

// The title-bar buttons and the small buttons under the list, four times enlarged (each
// screen pixel a 4 x 4 block, so the art's own pixels can be judged).
bool zoomed(QWidget& window, const QDir& out, const QString& name) {
    const QImage shot = window.grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    const auto device = [ratio](const QRect& r) {
        return QRect(qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio),
                     qRound(r.height() * ratio));
    };
    const QRect parts[] = {device(QRect(486, 18, 64, 26)), device(QRect(14, 322, 260, 40))};
    QImage sheet(4 * parts[1].width(), 4 * (parts[0].height() + parts[1].height()) + 8,
                 QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    int y = 0;
    for (const QRect& part : parts) {
        QImage piece = shot.copy(part);
        piece.setDevicePixelRatio(1);
        p.drawImage(QPoint(0, y), piece.scaled(part.size() * 4));
        y += part.height() * 4 + 8;
    }
    p.end();
    const bool ok = sheet.save(out.filePath(name));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(out.filePath(name)));
    return ok;
}

bool windows(const QDir& out) {
    bool ok = true;
    for (const ClientProfile* each : {&ClientProfile::download(), &ClientProfile::upload()}) {
        const ClientProfile& profile = *each;
        const bool download = &profile == &ClientProfile::download();
        RecordTable<TransferRecord> table;
        fill(table);
        WindowPreview window(profile, &table);
        window.list()->Mark(0);
        ok &= save(window, out, download ? "download_window.png" : "upload_window.png");
        ok &= zoomed(window, out, download ? "download_details.png" : "upload_details.png");
        CButtontoImage* start = window.button(download ? 1016 : 1028);
        start->setAlternateState(1);
        ok &= save(window, out,
                   download ? "download_window_running.png" : "upload_window_running.png");
    }
    return ok;
}

// Every strip of a window, one row per button: normal, pressed, alternate, alternate pressed.
bool buttonSheet(const QDir& out, const ClientProfile& profile) {
    RecordTable<TransferRecord> table;
    WindowPreview window(profile, &table);
    window.show();
    QApplication::processEvents();
    const QList<CButtontoImage*> buttons = window.findChildren<CButtontoImage*>();
    const int cell = 100;
    const qreal ratio = qApp->devicePixelRatio();
    const QSize size(cell * 4 + 60, 70 * int(buttons.size()) + 10);
    QImage sheet(size * ratio, QImage::Format_RGB32);
    sheet.setDevicePixelRatio(ratio);
    sheet.fill(QColor(0xee, 0xf3, 0xf7));
    QPainter p(&sheet);
    int y = 10;
    for (CButtontoImage* button : buttons) {
        p.drawText(4, y + 14, button->objectName());
        for (int state = 0; state < 4; ++state) {
            button->alternateState = state >= 2 ? 1 : 0;
            button->setFocus();
            button->setDown(state % 2 == 1);
            // Cut from the window, so the picture behind the art shows as it does there.
            p.drawPixmap(60 + state * cell, y, window.grab(button->geometry()));
        }
        button->setDown(false);
        button->alternateState = 0;
        y += 70;
    }
    p.end();
    const QString name =
        &profile == &ClientProfile::download() ? "buttons_download.png" : "buttons_upload.png";
    const bool ok = sheet.save(out.filePath(name));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(out.filePath(name)));
    return ok;
}

bool bars(const QDir& out) {
    QWidget host;
    host.setFixedSize(480, 100);
    int y = 10;
    for (quint32 position : {0u, 372u, 1000u}) {
        auto* bar = new CPic_Progress(&host);
        bar->setGeometry(10, y, 456, 18);
        bar->SetRange(0, 1000);
        bar->caption = ProgressCaption(qint64(position) * 114343, 114343000);
        bar->SetPos(position, true);
        y += 28;
    }
    return save(host, out, "progress_bars.png");
}

bool list(const QDir& out) {
    RecordTable<TransferRecord> table;
    fill(table);
    CFileList view;
    view.resize(527, 138);
    view.setTable(&table);
    view.InsertColumns(ClientProfile::download());
    view.Mark(2);
    view.Mark(3);
    return save(view, out, "file_list.png");
}

bool menus(const QDir& out) {
    bool ok = true;
    for (const ClientProfile* each : {&ClientProfile::download(), &ClientProfile::upload()}) {
        const ClientProfile& profile = *each;
        QMenu* menu = CTray_menus::CreateMenu(profile);
        menu->adjustSize();
        ok &= save(*menu, out,
                   &profile == &ClientProfile::download() ? "tray_menu_download.png"
                                                          : "tray_menu_upload.png");
        delete menu;
    }
    return ok;
}

bool dialogs(const QDir& out) {
    bool ok = true;
    for (const ClientProfile* each : {&ClientProfile::download(), &ClientProfile::upload()}) {
        const ClientProfile& profile = *each;
        Vaultry_Config dialog(profile);
        ok &= save(dialog, out,
                   &profile == &ClientProfile::download() ? "config_download.png"
                                                          : "config_upload.png");
    }
    return ok;
}

// One scale's pictures, in a process of its own: the scale is fixed when the application
// starts.
int shootAtScale(int argc, char** argv, const QString& target) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings of its own, so the pictures never show (or touch) the user's settings.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    WebEngineStart::prepareApplication();
    QApplication app(argc, argv);
    SettingsStore::EnsureDefaults();
    SettingsStore::WriteText(SettingKey::DefaultFolder, "/home/user/Documents/Willowmere");
    QDir out(target);
    if (!out.mkpath(".")) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(target));
        return 1;
    }
    bool ok = windows(out);
    ok &= buttonSheet(out, ClientProfile::download());
    ok &= buttonSheet(out, ClientProfile::upload());
    ok &= bars(out);
    ok &= list(out);
    ok &= menus(out);
    ok &= dialogs(out);
    ok &= downloadClientShots(out);
    ok &= uploadClientShots(out);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const QStringList args = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i)
            list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    if (args.size() == 2 && args[0] == QLatin1String("--one-scale"))
        return shootAtScale(argc, argv, args[1]);
    QCoreApplication app(argc, argv);
    const QString target =
        !args.isEmpty() ? args[0] : QCoreApplication::applicationDirPath() + "/../snapshots";
    bool ok = true;
    for (const char* scale : {"1", "1.5", "2"}) {
        QProcess shots;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::fromLatin1(scale));
        shots.setProcessEnvironment(env);
        shots.setProcessChannelMode(QProcess::ForwardedChannels);
        shots.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--one-scale"),
                     QDir(target).filePath(QStringLiteral("x") + QString::fromLatin1(scale))});
        ok &= shots.waitForFinished(-1) && shots.exitStatus() == QProcess::NormalExit &&
              shots.exitCode() == 0;
    }
    return ok ? 0 : 1;
}
