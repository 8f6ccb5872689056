#include "tests/support/TestEnvironment.h"
#include "ui/CPic_Progress.h"

#include <QtTest>

namespace {

const QRgb kBackground = qRgb(232, 232, 232);
const QRgb kFill = qRgb(87, 180, 221);

class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestProgressBar : public QObject {
    Q_OBJECT
    QWidget window_;
    CPic_Progress* bar_ = nullptr;

    // Pixel of the bar's inside (inside its one-pixel frame), at the vertical middle.
    QRgb inside(int x) {
        const QImage shot = bar_->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return (shot.pixel(bar_->contentsRect().left() + x, 2) & 0xffffff) | 0xff000000;
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        window_.resize(300, 120);
        bar_ = new CPic_Progress(&window_);
        bar_->setGeometry(10, 10, 202, 20); // 200 px inside the frame
        window_.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window_));
    }

    void fillFollowsThePosition() {
        QCOMPARE(bar_->contentsRect().width(), 200);
        bar_->SetRange(0, 1000);
        QCOMPARE(bar_->fillWidth(), 0);
        QCOMPARE(inside(1), kBackground);
        QCOMPARE(inside(198), kBackground);

        bar_->SetPos(1000, true);
        QCOMPARE(bar_->fillWidth(), 200);
        QCOMPARE(inside(0), kFill);
        QCOMPARE(inside(199), kFill);

        bar_->SetPos(333, true);
        QCOMPARE(bar_->fillWidth(), 66); // truncated toward zero
        QCOMPARE(inside(65), kFill);
        QCOMPARE(inside(66), kBackground);

        // A black background would hide the caption: it is drawn grey instead.
        bar_->backgroundColour = Qt::black;
        QCOMPARE(inside(150), qRgb(200, 200, 200));
        bar_->backgroundColour = QColor(232, 232, 232);
    }

    void positionsOutsideTheRangeAreIgnored() {
        bar_->SetRange(100, 200);
        bar_->SetPos(150, false);
        QCOMPARE(bar_->position(), 150u);
        bar_->SetPos(99, true);
        bar_->SetPos(201, true);
        QCOMPARE(bar_->position(), 150u);
        QCOMPARE(bar_->fillWidth(), 100);

        // An empty range fills nothing instead of dividing by zero.
        bar_->SetRange(150, 150);
        QCOMPARE(bar_->fillWidth(), 0);
        QCOMPARE(inside(10), kBackground);
    }

    void equalPositionDoesNotRepaint() {
        bar_->SetRange(0, 1000);
        bar_->SetPos(10, true);
        PaintCounter counter;
        bar_->installEventFilter(&counter);
        QCoreApplication::processEvents();
        counter.paints = 0;

        bar_->caption = QStringLiteral("바뀐 글");
        bar_->SetPos(10, true);
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 0);

        bar_->SetPos(11, true);
        QTRY_VERIFY(counter.paints > 0);
        bar_->removeEventFilter(&counter);
    }

    void captionIsCentredOnOneLine() {
        bar_->SetRange(0, 1000);
        bar_->SetPos(0, false);
        bar_->caption = QStringLiteral("50%/100%(1,024/2,048 Byte)");
        const QImage shot = bar_->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect inner = bar_->contentsRect();
        int leftmost = inner.right(), rightmost = inner.left(), top = inner.bottom(), bottom = 0;
        for (int y = inner.top(); y <= inner.bottom(); ++y)
            for (int x = inner.left(); x <= inner.right(); ++x)
                if (qGray(shot.pixel(x, y)) < 150) {
                    leftmost = qMin(leftmost, x);
                    rightmost = qMax(rightmost, x);
                    top = qMin(top, y);
                    bottom = qMax(bottom, y);
                }
        QVERIFY(rightmost > leftmost);
        QVERIFY(qAbs((leftmost - inner.left()) - (inner.right() - rightmost)) <= 3);
        QVERIFY(bottom - top < inner.height());
        bar_->caption.clear();
    }

    void createdOverAPlaceholder() {
        QWidget dialog;
        dialog.resize(400, 300);
        auto* group = new QWidget(&dialog);
        group->setGeometry(10, 20, 300, 200);
        auto* placeholder = new QFrame(group);
        placeholder->setObjectName(QStringLiteral("id1040"));
        placeholder->setGeometry(30, 40, 150, 18);
        CPic_Progress bar;
        QVERIFY(bar.CreateAt(&dialog, 0, 1040));
        QCOMPARE(bar.parentWidget(), &dialog);
        QCOMPARE(bar.geometry(), QRect(40, 60, 150, 18));
        bar.setParent(nullptr);
        QVERIFY(!bar.CreateAt(&dialog, 0, 9999));
    }
};

QTEST_MAIN(TestProgressBar)
#include "TestProgressBar.moc"
