#pragma once

// Control ids of the settings dialog in a program (the two layouts are the same, their ids
// differ), and the numbered strips of its three buttons.
struct ConfigControlIds {
    int folderEdit, browse, save, cancel;
    int overwrite, confirm, resume; // "DOWN_File_over" = 1, 2, 3
    int downAutostart, folderUse, downListDel, downProgramEnd, downSystemEnd;
    int upAutostart, upTray, upCompleteShow, upProgramEnd, upSystemEnd;
    int saveBitmap, cancelBitmap, browseBitmap;
};
