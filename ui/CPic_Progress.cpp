#include "ui/CPic_Progress.h"

#include "ui/DensityArt.h"
#include "ui/KitFont.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLinearGradient>
#include <QPainter>

namespace {

// A screen reader sees a progress bar with the window's name for it, its position within the
// range, and the caption as its value text ("37%/100%(...)").
class ProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(CPic_Progress* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return bar()->caption;
        return QAccessibleWidget::text(kind);
    }
    QVariant currentValue() const override { return bar()->position(); }
    void setCurrentValue(const QVariant&) override {} // shown, never set by the member
    QVariant maximumValue() const override { return bar()->upper(); }
    QVariant minimumValue() const override { return bar()->lower(); }
    QVariant minimumStepSize() const override { return 0; }

private:
    CPic_Progress* bar() const { return static_cast<CPic_Progress*>(widget()); }
};

QAccessibleInterface* progressFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CPic_Progress") && object && object->isWidgetType())
        return new ProgressAccessible(static_cast<CPic_Progress*>(object));
    return nullptr;
}

} // namespace

CPic_Progress::CPic_Progress(QWidget* parent)
    : QFrame(parent),
      // The layout asked for a thin face; Gulim has a single weight, so regular is the look.
      captionFont_(gulimFont(12)) {
    static const bool accessible = (QAccessible::installFactory(progressFactory), true);
    Q_UNUSED(accessible);
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
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, position_);
        QAccessible::updateAccessibility(&changed);
    }
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

void CPic_Progress::compose(qreal ratio) {
    // The surface has the screen's own density: the caption stays as sharp as any text.
    const QRect bar(QPoint(0, 0), contentsRect().size());
    const QSize device =
        QSize(qRound(bar.width() * ratio), qRound(bar.height() * ratio)).expandedTo(QSize(1, 1));
    if (surface_.size() != device || surface_.devicePixelRatio() != ratio) {
        surface_ = QImage(device, QImage::Format_RGB32);
        surface_.setDevicePixelRatio(ratio);
    }
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
    QPainter painter(this);
    compose(deviceRatio(painter));
    painter.drawImage(QRectF(contentsRect()), surface_);
    drawFrame(&painter);
}
