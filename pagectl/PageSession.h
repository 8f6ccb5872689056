#pragma once

#include <QString>

// `vaultry-pagectl page <link>`: the handler of "vastrelle-page://" links. Reads the link's
// page action; the first page control to run carries it out, and every action that a later
// one hands over meanwhile, one after another, and ends when none is left. A later one only
// hands its action over and ends.
//
// Exit codes: 0 when the work was handed over (or the member cancelled the chooser), 1 when a
// box told why it was not.
int RunPageLink(const QString& link);
