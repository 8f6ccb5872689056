#pragma once

class QDir;

// The upload client's window in the middle of an upload.
bool uploadClientShots(const QDir& out);
