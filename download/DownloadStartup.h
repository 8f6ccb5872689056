#pragma once

#include <QStringList>

// The download client's start-up: one running client per user, the launch link decoded into a
// request, a second start handing its request to the first, the first-run settings, and the
// main window run until it closes. Returns the process's exit code.
int RunDownloadClient(const QStringList& arguments);
