#pragma once

#include "pagectl/PageAction.h"

#include <QByteArray>

// Carries out one page action and hands its work to a client:
// - a download command goes to the running download client on the window bus, or starts one
//   with the launch link that carries the same request;
// - an upload choice opens the file chooser, registers the chosen files with the service,
//   records the member's choice for the list key it answers, and feeds the upload client
//   ("Vaultry_uploader_Manager|key|member|server") directly when one runs, else as the page's
//   control window that answers the announcement of the one it starts.
// Every failure is told in a box; false then. A cancelled chooser is no failure.
namespace PageActionRunner {

// How long a started upload client has to announce itself.
inline constexpr int kAnnounceTimeoutMs = 10000;

bool run(const PageAction& action);

} // namespace PageActionRunner
