#pragma once

class CSkinnedMainWindow;

// For unattended runs (the offscreen demo): when VAULTRY_SCREENSHOT names a file, a picture of
// the window is saved there each time a list comes to its end.
void SavePictureAtListEnd(CSkinnedMainWindow& window);
