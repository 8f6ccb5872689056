#pragma once

#include <QImage>

// The window pictures: main windows 557 x 488 px, settings 455 x 410 px. Frames, section
// titles and labels sit where the windows place their controls.
QImage drawDownloadSkin();
QImage drawUploadSkin();
QImage drawConfigSkin();

// The programs' icons: 128 (window) and the tray icon, and the same drawing on any device (the
// desktop's icon theme, scalable too) in a square of `side`.
class QPainter;
void paintAppIcon(QPainter& p, bool download, qreal side);
QImage drawAppIcon(bool download, int side);
QImage drawTrayIcon(bool download, int side);
