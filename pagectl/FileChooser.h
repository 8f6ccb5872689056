#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The member's choice of files to upload: the desktop's own multi-file chooser (Qt's file
// dialog, which goes through the desktop portal where there is one), run through the kit's
// modal seam so that unattended runs never wait in it (VAULTRY_MODAL_LOG cancels it).
//
// VAULTRY_CHOSEN_FILES=<file> answers it instead, for tests and the demo: the file holds one
// path per line (UTF-8; empty lines are skipped, relative paths are taken from the current
// folder); a file with no path, or one that cannot be read, is a cancelled chooser.
namespace FileChooser {

// The absolute paths chosen, as chosen (not resolved); nothing when the member cancelled.
std::optional<QStringList> chooseFiles(const QString& title);

} // namespace FileChooser
