#include "download/window/CVaultry_downloadDlg.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CButtontoImage.h"
#include "ui/CPic_Progress.h"
#include "ui/ClientProfile.h"
#include "ui/DensityArt.h"
#include "ui/KitResources.h"
#include "ui/SkinPath.h"
#include "ui/Vaultry_Config.h"
#include "upload/window/CBellcove_uploadDlg.h"

#include <QApplication>
#include <QDirIterator>
#include <QtTest>

// The windows on a screen scaled by 2, as laptops ship them.
namespace {

// Share of the 2 x 2 pixel blocks (on even coordinates) of `area` (in the window's units)
// whose four pixels are not all alike. Art drawn at one pixel per unit and doubled has none;
// art drawn for the screen has them wherever an edge or a letter is.
double detail(const QImage& shot, const QRect& area) {
    const qreal ratio = shot.devicePixelRatio();
    const QRect device(qRound(area.x() * ratio), qRound(area.y() * ratio),
                       qRound(area.width() * ratio), qRound(area.height() * ratio));
    int blocks = 0, detailed = 0;
    for (int y = device.top() & ~1; y + 1 <= device.bottom(); y += 2) {
        for (int x = device.left() & ~1; x + 1 <= device.right(); x += 2) {
            const QRgb a = shot.pixel(x, y);
            ++blocks;
            detailed += shot.pixel(x + 1, y) != a || shot.pixel(x, y + 1) != a ||
                        shot.pixel(x + 1, y + 1) != a;
        }
    }
    return blocks ? double(detailed) / blocks : 0;
}

} // namespace

class TestDensity : public QObject {
    Q_OBJECT

    // Every piece of art in `window` (the picture's title band, each image button, each bar)
    // shows detail finer than its own units.
    static void verifySharp(QWidget& window, const QRect& titleBand) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.devicePixelRatio(), 2.0);
        QVERIFY2(detail(shot, titleBand) > 0.01, "the window picture is doubled");
        for (const QWidget* art : window.findChildren<QWidget*>()) {
            if (!qobject_cast<const CButtontoImage*>(art) &&
                !qobject_cast<const CPic_Progress*>(art))
                continue;
            const QRect at(art->mapTo(&window, QPoint(0, 0)), art->size());
            QVERIFY2(detail(shot, at) > 0.01, qPrintable(art->objectName() + " is doubled"));
        }
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        qputenv("VAULTRY_HOMEPAGE", "http://127.0.0.1:9");
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
    }

    void everyPictureHasItsTwin() {
        ensureKitResources();
        QStringList pictures;
        for (const char* folder : {":/download", ":/upload"}) {
            QDirIterator files(QString::fromLatin1(folder));
            while (files.hasNext())
                pictures << files.next();
        }
        for (const char* skin :
             {"images/download_bg.bmp", "images/upload_bg.bmp", "images/config_bg.bmp"})
            pictures << skinPath(QString::fromLatin1(skin));
        int originals = 0;
        for (const QString& path : pictures) {
            if (path.contains(QLatin1String("@2x")))
                continue;
            ++originals;
            const QImage original(path);
            const QImage twin(twinPath(path));
            QVERIFY2(!original.isNull() && !twin.isNull(), qPrintable(path));
            QCOMPARE(twin.size(), original.size() * 2);
            QCOMPARE(twin.hasAlphaChannel(), !path.contains(QLatin1String("images/")));
        }
        QCOMPARE(originals, 19 + 16 + 3);
    }

    void windowsAreSharp() {
        CVaultry_downloadDlg download{QByteArray()};
        download.showFileProgress(372, "37%/100%(42,311,552/114,343,296 Byte)");
        download.showTotalProgress(615, "61%/100%(301,220,111/489,114,240 Byte)");
        verifySharp(download, QRect(0, 0, download.width(), 56));
        download.showRunning(true);
        verifySharp(download, QRect(0, 0, download.width(), 56));
        download.quit();

        CBellcove_uploadDlg upload;
        upload.showFileProgress(1, "0%/100%(0/1,024 Byte)");
        upload.showTotalProgress(1, "0%/100%(0/1,024 Byte)");
        verifySharp(upload, QRect(0, 0, upload.width(), 56));
        upload.quit();

        Vaultry_Config settings(ClientProfile::download());
        verifySharp(settings, QRect(0, 0, settings.width(), 46));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestDensity test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestDensity.moc"
