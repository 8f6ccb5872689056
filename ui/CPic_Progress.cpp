#include "CPic_Progress.h"

#include "KitFont.h"

#include <QLinearGradient>
#include <QPainter>

CPic_Progress::CPic_Progress(QWidget* parent)
    : QFrame(parent),
      // The layout asked for a thin face; Gulim has a single weight, so regular is the look.
      captionFont_(gulimFont(12)) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken); // the thin "static edge" of the window
    setLineWidth(1);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool CPic_Progress::CreateAt(QWidget* dialog, int childId, QWidget* placeholder) {
    if (!dialog || !placeholder || (placeholder != dialog && !dialog->isAncestorOf(placeholder)))
        return false;
    setParent(dialog);
    if (childId != 0)
        setObjectName(QStringLiteral("id%1").arg(childId));
    const QPoint topLeft = placeholder->mapTo(dialog, QPoint(0, 0));
    setGeometry(QRect(topLeft, placeholder->size()));
    raise();
    show();
    return true;
}

bool CPic_Progress::CreateAt(QWidget* dialog, int childId, int placeholderId) {
    if (!dialog)
        return false;
    return CreateAt(dialog, childId,
                    dialog->findChild<QWidget*>(QStringLiteral("id%1").arg(placeholderId)));
}

void CPic_Progress::SetRange(quint32 lower, quint32 upper) {
    lower_ = lower;
    upper_ = upper;
}

void CPic_Progress::SetPos(quint32 position, bool repaint) {
    if (position < lower_ || position > upper_ || position == position_)
        return;
    position_ = position;
    if (repaint)
        update();
}

int CPic_Progress::fillWidth() const {
    // An empty range has no meaningful fraction: nothing is filled rather than dividing by 0.
    if (upper_ <= lower_ || position_ <= lower_)
        return 0;
    const double fraction = double(position_ - lower_) / double(upper_ - lower_);
    return int(fraction * contentsRect().width());
}

void CPic_Progress::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    surface_ = QImage();
}

void CPic_Progress::compose() {
    const QRect bar(QPoint(0, 0), contentsRect().size());
    if (surface_.size() != bar.size())
        surface_ = QImage(bar.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    QPainter painter(&surface_);
    const QColor background =
        backgroundColour == QColor(0, 0, 0) ? QColor(200, 200, 200) : backgroundColour;
    painter.fillRect(bar, background);
    const int fill = fillWidth();
    if (fill > 0) {
        const QRect fillRect(bar.left(), bar.top(), fill, bar.height());
        QLinearGradient gradient(fillRect.topLeft(), fillRect.topRight());
        gradient.setColorAt(0, gradientStart);
        gradient.setColorAt(1, gradientEnd);
        painter.fillRect(fillRect, gradient);
    }
    painter.setFont(captionFont_);
    painter.setPen(textColour);
    painter.setClipRect(bar);
    painter.drawText(bar, Qt::AlignCenter | Qt::TextSingleLine, caption);
}

void CPic_Progress::paintEvent(QPaintEvent*) {
    compose();
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), surface_);
    drawFrame(&painter);
}
