#include "ui/FileIconProxyModel.h"

#include "ui/CFile_Type_icon.h"
#include "ui/SystemImageList.h"

QVariant FileIconProxyModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::DecorationRole && index.column() == 0) {
        const QString name = QIdentityProxyModel::data(index, Qt::DisplayRole).toString();
        CFile_Type_icon types;
        return types.GetSystemImageList().icon(types.GetIconIndex(name));
    }
    return QIdentityProxyModel::data(index, role);
}
