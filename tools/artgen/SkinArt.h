#pragma once

#include <QImage>

// The window pictures: main windows 557 x 488 px, settings 455 x 410 px. Frames, section
// titles and labels sit where the windows place their controls. With `scale` 2 the same
// picture is drawn at twice the pixels (an image of device pixel ratio 2).
QImage drawDownloadSkin(int scale = 1);
QImage drawUploadSkin(int scale = 1);
QImage drawConfigSkin(int scale = 1);

// The programs' icons: 128 (window) and the tray icon, and the same drawing on any device (the
// desktop's icon theme, scalable too) in a square of `side`.
class QPainter;
void paintAppIcon(QPainter& p, bool download, qreal side);
QImage drawAppIcon(bool download, int side);
QImage drawTrayIcon(bool download, int side);
