#pragma once

#include "TransferRecord.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <type_traits>

// The transfer list's rows and their records as one object: the list view shows this model
// and the engine works on the same rows, so a row and its record cannot drift apart when
// rows are added, moved or deleted. The record type is each program's own; this base holds
// the three column texts and the row count, RecordTable<R> below adds the records.
class TransferTable : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kCapacity = 200;
    enum Column { NameColumn = 0, SizeColumn = 1, StateColumn = 2, ColumnCount = 3 };

    explicit TransferTable(QObject* parent = nullptr);

    int count() const { return count_; }
    bool isFull() const { return count_ >= kCapacity; }

    // The shared part of row i's record.
    virtual TransferRecord& recordAt(int row) = 0;
    virtual const TransferRecord& recordAt(int row) const = 0;
    // The row whose record has this id, or -1.
    int rowOfRecord(quint64 id) const;

    QString text(int row, int column) const;
    void setText(int row, int column, const QString& text);

    // Column titles and the alignments the columns ask for; the first column always shows
    // left-aligned, as list controls do.
    void setColumnTitles(const QStringList& titles);

    // Exchanges rows a and b: records and texts together.
    void exchangeRows(int a, int b);
    // Removes row i; later rows move up and the freed last record is emptied.
    void removeRowAt(int row);
    // Removes every row whose state text equals `state`, from the last to the first; returns
    // how many went.
    QList<int> removeRowsWithState(const QString& state);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

protected:
    // Appends a row's texts; the derived table has already stored its record at `count()`.
    void appendTexts(const QString& name, const QString& size, const QString& state);
    virtual void swapRecords(int a, int b) = 0;
    virtual void shiftRecordsUp(int from, int count) = 0; // record j+1 into j, last emptied

private:
    std::array<std::array<QString, ColumnCount>, kCapacity> texts_;
    QStringList titles_;
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

    // Adds a row at the end with a fresh record id; false when the table is full.
    bool append(const Record& r, const QString& name, const QString& size, const QString& state) {
        if (isFull())
            return false;
        Record& stored = records_[size_t(count())];
        stored = r;
        stored.id = ++lastId_;
        appendTexts(name, size, state);
        return true;
    }

protected:
    void swapRecords(int a, int b) override {
        Record t = records_[size_t(a)];
        records_[size_t(a)] = records_[size_t(b)];
        records_[size_t(b)] = t;
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
