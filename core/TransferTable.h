#pragma once

#include "core/TransferRecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <algorithm>
#include <array>
#include <type_traits>

// The transfer list's rows and their records as one object: the list view shows this model
// and the engine works on the same rows, so a row and its record cannot drift apart when
// rows are added, moved or deleted. A row's name and size texts are kept as they were given
// when it was added; its state text follows from its record's state. Rows move with
// beginMoveRows, so a view's selection and an engine's record ids follow them. The record
// type is each program's own: this base holds the texts and the row count, RecordTable<R>
// below adds the records.
class TransferTable : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kCapacity = 200;
    enum Column { NameColumn = 0, SizeColumn = 1, StateColumn = 2, ColumnCount = 3 };

    // The list's marks: a row is marked when it is selected or is the current row (the one
    // with the focus). The move operations take the marks and give back where they end.
    struct Marks {
        QList<int> selected;
        int current = -1;
        bool isMarked(int row) const { return selected.contains(row) || current == row; }
    };
    enum class Move { Up, Down, ToTop, ToBottom };

    explicit TransferTable(QObject* parent = nullptr);

    int count() const { return count_; }
    bool isFull() const { return count_ >= kCapacity; }

    // The shared part of row i's record.
    virtual TransferRecord& recordAt(int row) = 0;
    virtual const TransferRecord& recordAt(int row) const = 0;
    // The row whose record has this id, or -1; and the id of a row's record, 0 for none.
    int rowOfRecord(quint64 id) const;
    quint64 idAt(int row) const;

    QString text(int row, int column) const;
    // The one way a row's state changes: the state column follows.
    void setState(int row, RowState state);

    // Exchanges rows a and b, records and texts together; the rows between keep their places.
    void exchangeRows(int a, int b);
    // The transfer list's four move commands on the marked rows. With at most one row
    // selected the last marked row moves (to the top or bottom: the first marked or last
    // marked, by exchange); with several, the marked rows move as blocks. Rows that cannot
    // move stay marked. The marks that come back are where the moved rows went.
    Marks moveMarked(Move move, Marks marks);
    // Removes row i; later rows move up and the freed last record is emptied.
    void removeRowAt(int row);
    // Removes every row in `state`, from the last to the first; returns the rows as they were
    // numbered when each went.
    QList<int> removeRowsInState(RowState state);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

protected:
    // Appends a row's texts; the derived table has already stored its record at `count()`.
    void appendTexts(const QString& name, const QString& size);
    // Takes the record at `from` to `to`, the records between moving one place towards `from`.
    virtual void moveRecord(int from, int to) = 0;
    virtual void shiftRecordsUp(int from, int count) = 0; // record j+1 into j, last emptied

private:
    void moveRow(int from, int to);

    std::array<std::array<QString, 2>, kCapacity> texts_; // name and size
    int count_ = 0;
};

template <class Record> class RecordTable final : public TransferTable {
    static_assert(std::is_base_of_v<TransferRecord, Record>);

public:
    using TransferTable::TransferTable;

    Record& record(int row) { return records_[size_t(row)]; }
    const Record& record(int row) const { return records_[size_t(row)]; }
    TransferRecord& recordAt(int row) override { return records_[size_t(row)]; }
    const TransferRecord& recordAt(int row) const override { return records_[size_t(row)]; }

    // Adds a row at the end with a fresh record id; false when the table is full. Its state is
    // the record's.
    bool append(const Record& r, const QString& name, const QString& size) {
        if (isFull())
            return false;
        Record& stored = records_[size_t(count())];
        stored = r;
        stored.id = ++lastId_;
        appendTexts(name, size);
        return true;
    }

protected:
    void moveRecord(int from, int to) override {
        const auto at = [this](int i) { return records_.begin() + i; };
        if (from < to)
            std::rotate(at(from), at(from + 1), at(to + 1));
        else if (to < from)
            std::rotate(at(to), at(from), at(from + 1));
    }
    void shiftRecordsUp(int from, int rows) override {
        for (int j = from; j + 1 < rows; ++j)
            records_[size_t(j)] = records_[size_t(j + 1)];
        if (rows > 0)
            records_[size_t(rows - 1)] = Record{};
    }

private:
    std::array<Record, kCapacity> records_{};
    quint64 lastId_ = 0;
};
