#include "ui/ClientProfile.h"

#include "core/TransferTexts.h"
#include "ui/KitTexts.h"

const ClientProfile& ClientProfile::download() {
    static const ClientProfile profile{
        QStringLiteral(":/download/"),
        TransferText::downloadCaption(),
        TransferText::downloadErrorCaption(),
        146,
        QStringLiteral("Tray Menu"),
        KitText::showDownloadWindow(),
        {490, 60, 555},
        {1069, 1070, 1058, 1003, 1021, 1022, 1075, 1076, 1077, 1078,
         1079, 1080, 1081, 1082, 1083, 1084, 1085, 194,  192,  135},
    };
    return profile;
}

const ClientProfile& ClientProfile::upload() {
    static const ClientProfile profile{
        QStringLiteral(":/upload/"),
        TransferText::uploadCaption(),
        TransferText::uploadErrorCaption(),
        141,
        QStringLiteral("Tray"),
        KitText::showUploadWindow(),
        {450, 60, 528},
        {1037, 1054, 1055, 1009, 1057, 1058, 1059, 1060, 1061, 1062,
         1063, 1064, 1065, 1066, 1067, 1068, 1069, 196,  194,  152},
    };
    return profile;
}
