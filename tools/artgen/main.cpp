// Draws every picture of the two clients from code: the numbered button strips, the window
// and tray icons, the three skin pictures, and the resource list that compiles them in. Each
// is drawn twice: at its own size, and afresh at twice the size beside it ("NAME@2x.png",
// never an enlargement of the first), for scaled screens.
// Usage: vaultry-artgen <res folder>
#include "tools/artgen/ButtonArt.h"
#include "tools/artgen/IconTheme.h"
#include "tools/artgen/SkinArt.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

namespace {

bool saveBitmap(const QImage& image, const QString& path) {
    // 24 bits per pixel: the strips never carry alpha, magenta marks transparency.
    return image.convertToFormat(QImage::Format_RGB888).save(path, "BMP");
}

bool savePng(const QImage& image, const QString& path) {
    return image.save(path, "PNG");
}

QString twinName(const QString& name) {
    return name.left(name.lastIndexOf(QLatin1Char('.'))) + QStringLiteral("@2x.png");
}

struct Output {
    QDir root;
    QStringList download;
    QStringList upload;
    bool ok = true;

    void strips(const QString& folder, const QList<StripSpec>& layouts, const QImage& picture,
                QStringList& listed) {
        for (const StripSpec& layout : layouts) {
            const QString name = QStringLiteral("%1.bmp").arg(layout.id);
            ok &= saveBitmap(composeStrip(layout, picture), root.filePath(folder + "/" + name));
            ok &= savePng(composeTwinStrip(layout), root.filePath(folder + "/" + twinName(name)));
            listed << name << twinName(name);
        }
    }
    void icon(const QString& folder, int id, const QImage& image, const QImage& twin,
              QStringList& listed) {
        const QString name = QStringLiteral("%1.png").arg(id);
        ok &= savePng(image, root.filePath(folder + "/" + name));
        ok &= savePng(twin, root.filePath(folder + "/" + twinName(name)));
        listed << name << twinName(name);
    }
    void skin(const QString& name, const QImage& picture, const QImage& twin) {
        ok &= saveBitmap(picture, root.filePath(QStringLiteral("images/") + name));
        ok &= savePng(twin, root.filePath(QStringLiteral("images/") + twinName(name)));
    }
};

bool writeQrc(const QDir& root, const QStringList& download, const QStringList& upload) {
    QFile file(root.filePath(QStringLiteral("vaultry_art.qrc")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n";
    const auto section = [&out](const QString& prefix, QStringList files) {
        files.sort();
        files.removeDuplicates();
        out << "  <qresource prefix=\"/" << prefix << "\">\n";
        for (const QString& f : files)
            out << "    <file alias=\"" << f << "\">" << prefix << "/" << f << "</file>\n";
        out << "  </qresource>\n";
    };
    section(QStringLiteral("download"), download);
    section(QStringLiteral("upload"), upload);
    out << "</RCC>\n";
    return true;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vaultry-artgen <res folder>\n");
        return 2;
    }
    Output out{QDir(QString::fromLocal8Bit(argv[1])), {}, {}, true};
    for (const char* sub : {"download", "upload", "images"})
        out.root.mkpath(QString::fromLatin1(sub));

    const QImage downloadSkin = drawDownloadSkin();
    const QImage uploadSkin = drawUploadSkin();
    const QImage configSkin = drawConfigSkin();
    out.skin(QStringLiteral("download_bg.bmp"), downloadSkin, drawDownloadSkin(2));
    out.skin(QStringLiteral("upload_bg.bmp"), uploadSkin, drawUploadSkin(2));
    out.skin(QStringLiteral("config_bg.bmp"), configSkin, drawConfigSkin(2));

    out.strips("download", downloadWindowStrips(), downloadSkin, out.download);
    out.strips("download", downloadConfigStrips(), configSkin, out.download);
    out.strips("upload", uploadWindowStrips(), uploadSkin, out.upload);
    out.strips("upload", uploadConfigStrips(), configSkin, out.upload);

    out.icon("download", 128, drawAppIcon(true, 64), drawAppIcon(true, 128), out.download);
    out.icon("download", 146, drawTrayIcon(true, 32), drawTrayIcon(true, 64), out.download);
    out.icon("upload", 128, drawAppIcon(false, 64), drawAppIcon(false, 128), out.upload);
    out.icon("upload", 141, drawTrayIcon(false, 32), drawTrayIcon(false, 64), out.upload);

    out.ok &= writeIconTheme(out.root);
    out.ok &= writeQrc(out.root, out.download, out.upload);
    if (!out.ok) {
        std::fprintf(stderr, "vaultry-artgen: could not write every picture\n");
        return 1;
    }
    return 0;
}
