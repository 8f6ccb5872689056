#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Skinned windows have no caption: a press on any free point of the face drags the window.
// The window manager moves it where the platform offers that; elsewhere the window follows
// the mouse. Presses on child controls never reach the window, so they are not affected.
class FaceDrag : public QObject {
public:
    // Installs itself on `window` and lives as its child.
    explicit FaceDrag(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool dragging_ = false;
    QPoint offset_;
};
