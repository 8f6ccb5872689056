#pragma once

#include <QIdentityProxyModel>

// Shows the transfer table unchanged and adds the file-type icon to the name column. The
// table itself stays free of widgets and icons; the icon follows the name, so it moves with
// its row whatever reorders the rows.
class FileIconProxyModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override;
};
