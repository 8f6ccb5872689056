#pragma once

#include <QString>
#include <QtGlobal>

class SystemImageList;

// Companion of the transfer list that the windows and engines create where they need it:
// file-type icons by name, and the size and time texts of the list.
class CFile_Type_icon {
public:
    virtual ~CFile_Type_icon() = default;

    // The shared icon list the transfer lists draw from (the same list for both sizes; the
    // icons scale).
    SystemImageList& GetSystemImageList(bool small = true);
    // Index of the file type's icon in that list; only the name decides, the file need not
    // exist. Unknown types get the generic file icon (index 0).
    int GetIconIndex(const QString& fileName, bool small = true);

    static QString FormatSize(qint64 bytes);
    static QString FormatTime(qint64 seconds);

    // Size of a file on disk, or -1 when it cannot be opened for reading.
    static qint64 GetFileSize(const QString& path);
};
