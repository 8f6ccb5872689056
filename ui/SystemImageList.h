#pragma once

#include <QIcon>
#include <QList>
#include <QString>

// The process-wide list of file-type icons the transfer lists show, addressed by index like
// the desktop's system icon list: index 0 is the generic file icon, other types are added
// the first time a name asks for them. Icons come from the desktop theme by MIME type;
// where the theme has none (or there is no theme at all), drawn generic icons stand in.
class SystemImageList {
public:
    static SystemImageList& instance();

    // Index of the icon for a file name; only the name (its extension) decides, the file
    // need not exist.
    int indexForFileName(const QString& fileName);
    QIcon icon(int index) const;
    int count() const { return int(icons_.size()); }

    // The generic file icon drawn by the kit (a page with a folded corner), optionally with
    // a coloured band that hints at the type's family.
    static QIcon drawnFileIcon(const QColor& band = QColor());

private:
    SystemImageList();
    int indexOf(const QString& key, const QIcon& icon);

    QList<QString> keys_;
    QList<QIcon> icons_;
};
