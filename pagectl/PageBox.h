#pragma once

#include <QString>

// Tells the member why a page action went no further: a box through the kit's modal seam
// (answered and logged when VAULTRY_MODAL_LOG is set), and a line on standard output.
void ShowPageError(const QString& caption, const QString& text);
