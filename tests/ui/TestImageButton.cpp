#include "tests/support/TestEnvironment.h"
#include "ui/CButtontoImage.h"
#include "ui/ClientProfile.h"
#include "ui/DialogUnits.h"
#include "ui/KitResources.h"

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

    // Every strip exists at its size and, scaled with its window's margins to its button,
    // covers the whole button in every state: the face colour never shows through.
    void everyStripCoversItsButton() {
        struct Strip {
            const ClientProfile* profile;
            int id, width, height;
            SliceMargins margins;
            QRect button; // dialog units
        };
        const SliceMargins titleDown{0, 73, 73, 73}, titleUp{0, 16, 16, 16}, move{0, 18, 0, 80},
            remove{0, 18, 0, 320}, wide{0, 58, 0, 224}, big{0, 29, 0, 328}, save{0, 76, 0, 304},
            browse{0, 63, 0, 252};
        const ClientProfile *D = &ClientProfile::download(), *U = &ClientProfile::upload();
        const Strip strips[] = {{D, 143, 64, 14, titleDown, {343, 16, 9, 9}},
                                {D, 142, 64, 14, titleDown, {332, 16, 9, 9}},
                                {D, 140, 64, 14, titleDown, {354, 16, 9, 9}},
                                {D, 138, 96, 24, move, {13, 219, 13, 16}},
                                {D, 139, 96, 24, move, {28, 219, 13, 15}},
                                {D, 134, 96, 24, move, {43, 219, 13, 15}},
                                {D, 131, 96, 24, move, {58, 219, 13, 15}},
                                {D, 133, 336, 23, remove, {74, 219, 48, 16}},
                                {D, 132, 336, 23, remove, {126, 219, 48, 16}},
                                {D, 136, 300, 21, wide, {312, 94, 43, 14}},
                                {D, 178, 404, 21, wide, {252, 94, 57, 14}},
                                {D, 183, 268, 53, big, {234, 219, 38, 36}},
                                {D, 137, 268, 53, big, {276, 219, 38, 36}},
                                {D, 179, 264, 53, big, {318, 219, 37, 36}},
                                {D, 194, 304, 24, save, {100, 243, 43, 16}},
                                {D, 192, 304, 24, save, {158, 243, 43, 16}},
                                {D, 135, 252, 21, browse, {228, 52, 36, 14}},
                                {U, 132, 64, 14, titleUp, {343, 16, 9, 9}},
                                {U, 134, 64, 14, titleUp, {332, 16, 9, 9}},
                                {U, 133, 64, 14, titleUp, {354, 16, 9, 9}},
                                {U, 151, 96, 24, move, {28, 219, 13, 15}},
                                {U, 145, 96, 24, move, {43, 219, 13, 15}},
                                {U, 146, 96, 24, move, {13, 219, 13, 16}},
                                {U, 155, 96, 24, move, {58, 219, 13, 15}},
                                {U, 150, 336, 23, remove, {74, 219, 48, 16}},
                                {U, 153, 336, 23, remove, {126, 219, 48, 16}},
                                {U, 156, 300, 21, wide, {312, 94, 43, 14}},
                                {U, 154, 268, 52, {0, 21, 0, 300}, {318, 219, 37, 36}},
                                {U, 196, 304, 24, save, {100, 243, 43, 16}},
                                {U, 194, 304, 24, save, {158, 243, 43, 16}},
                                {U, 152, 252, 21, browse, {228, 52, 36, 14}}};
        for (const Strip& s : strips) {
            const QString path = s.profile->resources + QString::number(s.id) + ".bmp";
            QCOMPARE(QImage(path).size(), QSize(s.width, s.height));
            place(DialogUnits::rect(s.button.x(), s.button.y(), s.button.width(), s.button.height())
                      .size());
            const SliceMargins& m = s.margins;
            QVERIFY2(button_->LoadImages(s.profile->resources, s.id, 4, m.top, m.bottom, m.left,
                                         m.right),
                     qPrintable(path));
            button_->setFocus();
            for (int state = 0; state < 4; ++state) {
                button_->setDown(state % 2 == 1);
                button_->setAlternateState(state / 2);
                const QImage shot = picture(*button_);
                for (int y = 0; y < shot.height(); ++y)
                    for (int x = 0; x < shot.width(); ++x)
                        QVERIFY2(shot.pixel(x, y) != kFace.rgb(), qPrintable(path));
            }
            button_->setDown(false);
            button_->setAlternateState(0);
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
