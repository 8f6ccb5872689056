#pragma once

#include <QString>

// The per-user private folder (0700) for the window bus endpoints and the instance locks:
// $XDG_RUNTIME_DIR/vaultry, or a per-user folder under the temporary folder when the session
// has no runtime folder. Returns "" when no private folder can be had (another user owns it,
// or it cannot be created): callers then run without a bus rather than trust a shared folder.
QString PrivateRuntimeDir();
