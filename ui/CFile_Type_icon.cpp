#include "ui/CFile_Type_icon.h"

#include "core/Formats.h"
#include "ui/SystemImageList.h"

#include <QFile>

SystemImageList& CFile_Type_icon::GetSystemImageList(bool) {
    return SystemImageList::instance();
}

int CFile_Type_icon::GetIconIndex(const QString& fileName, bool) {
    return SystemImageList::instance().indexForFileName(fileName);
}

QString CFile_Type_icon::FormatSize(qint64 bytes) {
    return ::FormatSize(bytes);
}

QString CFile_Type_icon::FormatTime(qint64 seconds) {
    return ::FormatTime(seconds);
}

qint64 CFile_Type_icon::GetFileSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.size();
}
