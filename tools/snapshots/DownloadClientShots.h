#pragma once

class QDir;

// The download client's own windows: the main window in the middle of a transfer and its two
// small dialogs.
bool downloadClientShots(const QDir& out);
