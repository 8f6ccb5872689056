#pragma once

#include <QByteArray>
#include <QString>

// Where the service keeps its own state, and the one thing in it that is meant for others:
// the registration token. The service makes the folder and the token; the page control reads
// the token from the same place to prove that a registration comes from the member's account
// (any account on the machine can reach the web port, none but the member's can read the
// token). Both look in the same default folder, and both take --state to look elsewhere.
namespace StateFolder {

// $XDG_STATE_HOME/vaultry-fileservice, else ~/.local/state/vaultry-fileservice.
QString defaultFolder();

inline constexpr const char* kRegistrationTokenName = "registration-token";
inline constexpr int kTokenBytes = 32; // kept as 64 hex digits and a line end

QString registrationTokenPath(const QString& folder);

// The token kept in `folder`, as its 64 hex digits; empty when there is none, or when the file
// is not a plain file of this user holding a token (a link or anything else is not followed).
QByteArray readRegistrationToken(const QString& folder);

} // namespace StateFolder
