#include "ui/FaceDrag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

FaceDrag::FaceDrag(QWidget* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
}

bool FaceDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_)
        return false;
    // Every event of the window passes here: only mouse events may be read as such.
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    switch (type) {
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton)
            return false;
        if (window_->windowHandle() && window_->windowHandle()->startSystemMove())
            return true;
        dragging_ = true;
        offset_ = mouse->globalPosition().toPoint() - window_->frameGeometry().topLeft();
        return true;
    case QEvent::MouseMove:
        if (!dragging_ || !(mouse->buttons() & Qt::LeftButton))
            return false;
        window_->move(mouse->globalPosition().toPoint() - offset_);
        return true;
    case QEvent::MouseButtonRelease:
        if (mouse->button() == Qt::LeftButton)
            dragging_ = false;
        return false;
    default:
        return false;
    }
}
