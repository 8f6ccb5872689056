#pragma once

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QImage>
#include <QString>

// Progress bar of the main windows: background, a left-to-right gradient fill following the
// position within the range, and a one-line caption centred over the whole bar, composed
// off-screen and copied in one step. Created over a placeholder control of the window.
class CPic_Progress : public QFrame {
    Q_OBJECT
public:
    explicit CPic_Progress(QWidget* parent = nullptr);

    // Creates the bar as a child of `dialog` exactly over `placeholder` (any descendant of
    // the dialog) and shows it. `childId` names the bar "id<childId>" when non-zero.
    bool CreateAt(QWidget* dialog, int childId, QWidget* placeholder);
    // The same with the placeholder found by its object name "id<placeholderId>".
    bool CreateAt(QWidget* dialog, int childId, int placeholderId);

    // Stores the bounds; repaints nothing.
    void SetRange(quint32 lower, quint32 upper);
    // Ignores a position outside the range or equal to the current one; otherwise stores it
    // and, with `repaint`, schedules a repaint of the whole bar.
    void SetPos(quint32 position, bool repaint);

    quint32 position() const { return position_; }
    quint32 lower() const { return lower_; }
    quint32 upper() const { return upper_; }
    // Width in pixels the fill covers for the current position (0 when the range is empty).
    int fillWidth() const;

    // Drawn centred over the bar on its next paint; the windows assign it directly.
    QString caption;

    QColor textColour{0, 0, 0};
    QColor backgroundColour{232, 232, 232};
    QColor gradientStart{87, 180, 221};
    QColor gradientEnd{87, 180, 221};

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void compose(qreal ratio);

    quint32 position_ = 0;
    quint32 upper_ = 100;
    quint32 lower_ = 0;
    QFont captionFont_;
    QImage surface_;
};
