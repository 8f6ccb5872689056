#include "core/TransferTable.h"

#include "core/TransferTexts.h"

#include <algorithm>

TransferTable::TransferTable(QObject* parent) : QAbstractTableModel(parent) {}

int TransferTable::rowOfRecord(quint64 id) const {
    if (id == 0)
        return -1;
    for (int row = 0; row < count_; ++row) {
        if (recordAt(row).id == id)
            return row;
    }
    return -1;
}

quint64 TransferTable::idAt(int row) const {
    return row >= 0 && row < count_ ? recordAt(row).id : 0;
}

QString TransferTable::text(int row, int column) const {
    if (row < 0 || row >= count_ || column < 0 || column >= ColumnCount)
        return {};
    if (column == StateColumn)
        return RowStateText(recordAt(row).state);
    return texts_[size_t(row)][size_t(column)];
}

void TransferTable::setState(int row, RowState state) {
    if (row < 0 || row >= count_ || recordAt(row).state == state)
        return;
    const bool textChanges = RowStateText(recordAt(row).state) != RowStateText(state);
    recordAt(row).state = state;
    if (textChanges) {
        const QModelIndex at = index(row, StateColumn);
        emit dataChanged(at, at, {Qt::DisplayRole, Qt::ToolTipRole});
    }
}

void TransferTable::appendTexts(const QString& name, const QString& size) {
    beginInsertRows({}, count_, count_);
    texts_[size_t(count_)] = {name, size};
    ++count_;
    endInsertRows();
}

void TransferTable::moveRow(int from, int to) {
    if (from == to)
        return;
    // Qt names the place before which the row lands, counted before the move.
    beginMoveRows({}, from, from, {}, from < to ? to + 1 : to);
    moveRecord(from, to);
    const auto at = [this](int i) { return texts_.begin() + i; };
    if (from < to)
        std::rotate(at(from), at(from + 1), at(to + 1));
    else
        std::rotate(at(to), at(from), at(from + 1));
    endMoveRows();
}

void TransferTable::exchangeRows(int a, int b) {
    if (a == b || a < 0 || b < 0 || a >= count_ || b >= count_)
        return;
    if (a > b)
        std::swap(a, b);
    moveRow(b, a);     // b takes a's place, a and the rows between go down one
    moveRow(a + 1, b); // a takes b's place, the rows between go back up
}

TransferTable::Marks TransferTable::moveMarked(Move move, Marks marks) {
    // The rules read and set marks by position as the rows are exchanged; what comes back is
    // therefore where each row's mark ends, whatever a view's selection did meanwhile.
    Marks& m = marks;
    const auto marked = [&](int row) { return row >= 0 && row < count_ && m.isMarked(row); };
    const auto mark = [&](int row) {
        if (row < 0 || row >= count_)
            return;
        if (!m.selected.contains(row))
            m.selected.append(row);
        m.current = row;
    };
    const auto unmark = [&](int row) {
        if (row < 0 || row >= count_)
            return;
        m.selected.removeAll(row);
        if (m.current == row)
            m.current = -1;
    };
    // One row moves to `to`: its mark goes with it, the displaced row's place is unmarked.
    const auto moveOne = [&](int from, int to) {
        exchangeRows(from, to);
        unmark(from);
        mark(to);
    };
    const bool several = m.selected.size() >= 2;

    switch (move) {
    case Move::Up:
        if (!several) {
            // The last marked row moves one place up; a marked first row stays.
            for (int i = count_ - 1; i >= 0; --i) {
                if (!marked(i))
                    continue;
                if (i >= 1)
                    moveOne(i, i - 1);
                break;
            }
        } else {
            // Each marked row swaps with the unmarked row above it, so a block moves up as a
            // whole; rows pressed against the top (or against such rows) stay.
            for (int i = 1; i < count_; ++i) {
                if (marked(i) && !marked(i - 1))
                    moveOne(i, i - 1);
            }
        }
        break;
    case Move::Down:
        if (!several) {
            for (int i = count_ - 1; i >= 0; --i) {
                if (!marked(i))
                    continue;
                if (i + 1 < count_)
                    moveOne(i, i + 1);
                break;
            }
        } else {
            for (int i = count_ - 2; i >= 0; --i) {
                if (marked(i) && !marked(i + 1))
                    moveOne(i, i + 1);
            }
        }
        break;
    case Move::ToTop:
        if (!several) {
            // The first marked row below the top and the first row change places; the rows
            // between stay; every other mark goes.
            int topmost = -1;
            for (int i = count_ - 1; i >= 1; --i) {
                if (marked(i)) {
                    unmark(i);
                    topmost = i;
                }
            }
            if (topmost >= 0) {
                exchangeRows(topmost, 0);
                mark(0);
            }
        } else {
            // The marked rows gather at the top in their order; each displaced row takes the
            // old place of the row that displaced it.
            int target = 0;
            for (int i = 0; i < count_; ++i) {
                if (!marked(i))
                    continue;
                if (i > target)
                    moveOne(i, target);
                ++target;
            }
        }
        break;
    case Move::ToBottom:
        if (!several) {
            int bottommost = -1;
            for (int i = 0; i < count_; ++i) {
                if (marked(i)) {
                    unmark(i);
                    bottommost = i;
                }
            }
            if (bottommost >= 0) {
                exchangeRows(bottommost, count_ - 1);
                mark(count_ - 1);
            }
        } else {
            int target = count_ - 1;
            for (int i = target; i >= 0; --i) {
                if (!marked(i))
                    continue;
                if (i < target)
                    moveOne(i, target);
                --target;
            }
        }
        break;
    }
    std::sort(m.selected.begin(), m.selected.end());
    return marks;
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

QList<int> TransferTable::removeRowsInState(RowState state) {
    QList<int> removed;
    for (int row = count_ - 1; row >= 0; --row) {
        if (recordAt(row).state == state) {
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
        return text(index.row(), index.column());
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

// The column titles, and the alignments the columns ask for; the first column always shows
// left-aligned, as list controls do.
QVariant TransferTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return TransferText::columnTitles().value(section);
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return QAbstractTableModel::headerData(section, orientation, role);
}
