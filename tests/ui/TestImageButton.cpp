#include "CButtontoImage.h"
#include "ClientKind.h"
#include "KitResources.h"
#include "TestEnvironment.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

const QColor kFace(10, 200, 30);
const QRgb kMagenta = qRgb(255, 0, 255);

// A strip of four equal cells, each filled by `paint(cell, x, y)`.
template <class Paint> QImage strip(QSize cell, Paint paint) {
    QImage image(cell.width() * 4, cell.height(), QImage::Format_RGB32);
    for (int c = 0; c < 4; ++c)
        for (int y = 0; y < cell.height(); ++y)
            for (int x = 0; x < cell.width(); ++x)
                image.setPixel(c * cell.width() + x, y, paint(c, x, y));
    return image;
}

QImage solidCells(QSize cell, std::array<QRgb, 4> colours) {
    return strip(cell, [&](int c, int, int) { return colours[size_t(c)]; });
}

bool uniform(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffff) != (colour & 0xffffff))
                return false;
    return true;
}

QImage picture(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestImageButton : public QObject {
    Q_OBJECT
    QWidget window_;
    CButtontoImage* button_ = nullptr;
    QPushButton* other_ = nullptr;

    void place(QSize size) { button_->setGeometry(QRect(QPoint(0, 0), size)); }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        ensureKitResources();
        window_.resize(200, 100);
        button_ = new CButtontoImage(&window_);
        QPalette palette = button_->palette();
        palette.setColor(QPalette::Button, kFace);
        button_->setPalette(palette);
        other_ = new QPushButton(&window_);
        other_->setGeometry(100, 50, 40, 20);
        window_.show();
        window_.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window_));
    }

    void opaqueAndTransparentCells() {
        place({30, 20});
        // Before anything is loaded only the face shows.
        QVERIFY(uniform(picture(*button_), kFace.rgb()));
        const QImage cells = solidCells({10, 8}, {qRgb(200, 0, 0), kMagenta, kMagenta, kMagenta});
        QVERIFY(button_->LoadImages(cells, 4, 0, 0, 0, 0));
        QVERIFY(uniform(picture(*button_), qRgb(200, 0, 0)));

        const QImage clear = solidCells({10, 8}, {kMagenta, kMagenta, kMagenta, kMagenta});
        QVERIFY(button_->LoadImages(clear, 4, 0, 0, 0, 0));
        QVERIFY(uniform(picture(*button_), kFace.rgb()));

        // A strip with a fourth byte in every pixel: the byte is not part of the colour.
        QImage withAlpha = solidCells({10, 8}, {qRgba(255, 0, 255, 0), 0, 0, 0});
        withAlpha = withAlpha.convertToFormat(QImage::Format_ARGB32);
        QVERIFY(button_->LoadImages(withAlpha, 4, 0, 0, 0, 0));
        QVERIFY(uniform(picture(*button_), kFace.rgb()));
    }

    void pressedAndAlternateStates() {
        place({20, 10});
        // Pressed cell: left half key colour, right half blue; it lies over the normal cell.
        const QImage cells = strip({20, 10}, [](int c, int x, int) -> QRgb {
            switch (c) {
            case 0:
                return qRgb(200, 0, 0);
            case 1:
                return x < 10 ? kMagenta : qRgb(0, 0, 200);
            case 2:
                return x < 10 ? kMagenta : qRgb(0, 200, 200);
            default:
                return qRgb(200, 200, 0);
            }
        });
        QVERIFY(button_->LoadImages(cells, 4, 0, 0, 0, 0));
        button_->setFocus();
        QVERIFY(button_->hasFocus());
        button_->setDown(true);
        QImage shot = picture(*button_);
        QCOMPARE(shot.pixel(2, 5), qRgb(200, 0, 0));
        QCOMPARE(shot.pixel(15, 5), qRgb(0, 0, 200));

        // Held down without the focus is not pressed.
        other_->setFocus();
        QVERIFY(uniform(picture(*button_), qRgb(200, 0, 0)));

        // The alternate pair: cell 3, and cell 2 over it when pressed; no reload needed.
        button_->setFocus();
        button_->setDown(true); // losing the focus let go of the button
        button_->setAlternateState(1);
        shot = picture(*button_);
        QCOMPARE(shot.pixel(2, 5), qRgb(200, 200, 0));
        QCOMPARE(shot.pixel(15, 5), qRgb(0, 200, 200));
        button_->setDown(false);
        QVERIFY(uniform(picture(*button_), qRgb(200, 200, 0)));
        button_->alternateState = 0;

        // Disabled looks like enabled.
        button_->setEnabled(false);
        QVERIFY(uniform(picture(*button_), qRgb(200, 0, 0)));
        button_->setEnabled(true);
    }

    void nineSliceMarginsOfTheWindows() {
        QRandomGenerator random(7);
        const QImage cells = strip({24, 24}, [&](int, int, int) -> QRgb {
            return qRgb(random.bounded(250), random.bounded(250), random.bounded(250));
        });
        // Same size: the cell reproduces exactly.
        place({24, 24});
        QVERIFY(button_->LoadImages(cells, 4, 0, 18, 0, 80));
        QCOMPARE(picture(*button_), cells.copy(0, 0, 24, 24));
        button_->setAlternateState(1);
        QCOMPARE(picture(*button_), cells.copy(72, 0, 24, 24));
        button_->setAlternateState(0);

        // Narrower and lower: the rightmost columns, the bottom 18 rows unscaled, the rows
        // above squeezed.
        place({20, 22});
        QVERIFY(button_->LoadImages(cells, 4, 0, 18, 0, 80));
        const QImage shot = picture(*button_);
        QCOMPARE(shot.copy(0, 4, 20, 18), cells.copy(4, 6, 20, 18));
        QCOMPARE(shot.pixel(0, 0), cells.pixel(4, 0));

        // A zero-sized cell count or a missing bitmap fails cleanly.
        QVERIFY(!button_->LoadImages(cells, 0, 0, 18, 0, 80));
        QVERIFY(!button_->LoadImages(QStringLiteral(":/download/"), 9999, 4, 0, 18, 0, 80));
        QVERIFY(!button_->isLoaded());
        QVERIFY(uniform(picture(*button_), kFace.rgb()));
    }

    void everyStripOfTheWindowsIsThere() {
        struct Strip {
            Client client;
            int id, width, height;
        };
        const Strip strips[] = {{Client::Download, 143, 64, 14},  {Client::Download, 142, 64, 14},
                                {Client::Download, 140, 64, 14},  {Client::Download, 138, 96, 24},
                                {Client::Download, 139, 96, 24},  {Client::Download, 134, 96, 24},
                                {Client::Download, 131, 96, 24},  {Client::Download, 133, 336, 23},
                                {Client::Download, 132, 336, 23}, {Client::Download, 136, 300, 21},
                                {Client::Download, 178, 404, 21}, {Client::Download, 183, 268, 53},
                                {Client::Download, 137, 268, 53}, {Client::Download, 179, 264, 53},
                                {Client::Download, 192, 304, 24}, {Client::Download, 194, 304, 24},
                                {Client::Download, 135, 252, 21}, {Client::Upload, 132, 64, 14},
                                {Client::Upload, 134, 64, 14},    {Client::Upload, 133, 64, 14},
                                {Client::Upload, 151, 96, 24},    {Client::Upload, 145, 96, 24},
                                {Client::Upload, 146, 96, 24},    {Client::Upload, 155, 96, 24},
                                {Client::Upload, 150, 336, 23},   {Client::Upload, 153, 336, 23},
                                {Client::Upload, 156, 300, 21},   {Client::Upload, 154, 268, 52},
                                {Client::Upload, 194, 304, 24},   {Client::Upload, 196, 304, 24},
                                {Client::Upload, 152, 252, 21}};
        place({56, 54});
        for (const Strip& s : strips) {
            const QString path = resourcePrefix(s.client) + QString::number(s.id) + ".bmp";
            QCOMPARE(QImage(path).size(), QSize(s.width, s.height));
            QVERIFY2(button_->LoadImages(resourcePrefix(s.client), s.id, 4, 0, 29, 0, 328),
                     qPrintable(path));
        }
        // The start/stop strips differ between their normal and alternate cells.
        for (const QString& path :
             {QStringLiteral(":/download/137.bmp"), QStringLiteral(":/upload/154.bmp")}) {
            const QImage image(path);
            const int cw = image.width() / 4;
            QVERIFY(image.copy(0, 0, cw, image.height()) !=
                    image.copy(3 * cw, 0, cw, image.height()));
        }
        for (const QString& icon :
             {QStringLiteral(":/download/128.png"), QStringLiteral(":/download/146.png"),
              QStringLiteral(":/upload/128.png"), QStringLiteral(":/upload/141.png")})
            QVERIFY2(!QImage(icon).isNull(), qPrintable(icon));
    }
};

QTEST_MAIN(TestImageButton)
#include "TestImageButton.moc"
