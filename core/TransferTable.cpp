#include "TransferTable.h"

TransferTable::TransferTable(QObject* parent) : QAbstractTableModel(parent) {}

int TransferTable::rowOfRecord(quint64 id) const {
    for (int row = 0; row < count_; ++row) {
        if (recordAt(row).id == id)
            return row;
    }
    return -1;
}

QString TransferTable::text(int row, int column) const {
    if (row < 0 || row >= count_ || column < 0 || column >= ColumnCount)
        return {};
    return texts_[size_t(row)][size_t(column)];
}

void TransferTable::setText(int row, int column, const QString& text) {
    if (row < 0 || row >= count_ || column < 0 || column >= ColumnCount)
        return;
    QString& cell = texts_[size_t(row)][size_t(column)];
    if (cell == text)
        return;
    cell = text;
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {Qt::DisplayRole});
}

void TransferTable::setColumnTitles(const QStringList& titles) {
    titles_ = titles;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void TransferTable::appendTexts(const QString& name, const QString& size, const QString& state) {
    beginInsertRows({}, count_, count_);
    texts_[size_t(count_)] = {name, size, state};
    ++count_;
    endInsertRows();
}

void TransferTable::exchangeRows(int a, int b) {
    if (a == b || a < 0 || b < 0 || a >= count_ || b >= count_)
        return;
    swapRecords(a, b);
    std::swap(texts_[size_t(a)], texts_[size_t(b)]);
    emit dataChanged(index(a, 0), index(a, ColumnCount - 1));
    emit dataChanged(index(b, 0), index(b, ColumnCount - 1));
}

void TransferTable::removeRowAt(int row) {
    if (row < 0 || row >= count_)
        return;
    beginRemoveRows({}, row, row);
    shiftRecordsUp(row, count_);
    for (int j = row; j + 1 < count_; ++j)
        texts_[size_t(j)] = texts_[size_t(j + 1)];
    texts_[size_t(count_ - 1)] = {};
    --count_;
    endRemoveRows();
}

QList<int> TransferTable::removeRowsWithState(const QString& state) {
    QList<int> removed;
    for (int row = count_ - 1; row >= 0; --row) {
        if (texts_[size_t(row)][StateColumn] == state) {
            removeRowAt(row);
            removed.append(row);
        }
    }
    return removed;
}

int TransferTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count_;
}

int TransferTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TransferTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count_)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return texts_[size_t(index.row())][size_t(index.column())];
    if (role == Qt::TextAlignmentRole) {
        switch (index.column()) {
        case SizeColumn:
            return int(Qt::AlignRight | Qt::AlignVCenter);
        case StateColumn:
            return int(Qt::AlignCenter);
        default:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    return {};
}

QVariant TransferTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= titles_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return titles_[section];
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return QAbstractTableModel::headerData(section, orientation, role);
}
