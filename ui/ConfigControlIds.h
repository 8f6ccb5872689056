#pragma once

#include "ClientKind.h"

// Control ids of the settings dialog in each program (the layouts are the same), and the
// numbered strips of its three buttons.
struct ConfigControlIds {
    int folderEdit, browse, save, cancel;
    int overwrite, confirm, resume; // "DOWN_File_over" = 1, 2, 3
    int downAutostart, folderUse, downListDel, downProgramEnd, downSystemEnd;
    int upAutostart, upTray, upCompleteShow, upProgramEnd, upSystemEnd;
    int saveBitmap, cancelBitmap, browseBitmap;

    static constexpr ConfigControlIds forClient(Client client) {
        if (client == Client::Download)
            return {1069, 1070, 1058, 1003, 1021, 1022, 1075, 1076, 1077, 1078,
                    1079, 1080, 1081, 1082, 1083, 1084, 1085, 194,  192,  135};
        return {1037, 1054, 1055, 1009, 1057, 1058, 1059, 1060, 1061, 1062,
                1063, 1064, 1065, 1066, 1067, 1068, 1069, 196,  194,  152};
    }
};
