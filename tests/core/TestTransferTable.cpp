#include "core/TransferTable.h"

#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QtTest>

// The transfer table without a view: state texts follow the records, and rows move as model
// moves, so whatever holds on to a row (a selection, an engine's record id) follows it.
namespace {

struct Tagged : TransferRecord {
    Tagged(int t = -1) : tag(t) {}
    int tag;
};
using Table = RecordTable<Tagged>;
using Marks = TransferTable::Marks;
using Move = TransferTable::Move;

void fill(Table& table, int rows) {
    for (int i = 0; i < rows; ++i)
        table.append(Tagged{i}, QStringLiteral("f%1").arg(i), QString::number(i));
}

// Record tags in row order, -100 where a row's name and its record drifted apart.
QList<int> order(const Table& table) {
    QList<int> tags;
    for (int row = 0; row < table.count(); ++row) {
        const int tag = table.record(row).tag;
        tags << (table.text(row, 0) == QStringLiteral("f%1").arg(tag) ? tag : -100);
    }
    return tags;
}

} // namespace

class TestTransferTable : public QObject {
    Q_OBJECT

private slots:
    void stateColumnSaysWhatTheRecordIs() {
        Table table;
        fill(table, 3);
        QCOMPARE(table.text(0, TransferTable::StateColumn), QStringLiteral("대기"));
        const std::pair<RowState, const char*> texts[] = {{RowState::Waiting, "대기"},
                                                          {RowState::Transferring, "전송중"},
                                                          {RowState::StopRequested, "전송중"},
                                                          {RowState::Finishing, "완료"},
                                                          {RowState::Done, "완료"},
                                                          {RowState::Failed, "오류"},
                                                          {RowState::Errored, "오류"}};
        QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);
        for (const auto& [state, text] : texts) {
            table.setState(1, state);
            QCOMPARE(table.index(1, TransferTable::StateColumn).data().toString(),
                     QString::fromUtf8(text));
            QCOMPARE(table.text(1, TransferTable::StateColumn), QString::fromUtf8(text));
        }
        // One repaint per change of text, of the state cell only.
        QCOMPARE(changed.size(), 3);
        for (const auto& signal : changed) {
            QCOMPARE(signal.at(0).toModelIndex(), table.index(1, TransferTable::StateColumn));
            QCOMPARE(signal.at(1).toModelIndex(), table.index(1, TransferTable::StateColumn));
        }
        QCOMPARE(table.record(1).state, RowState::Errored);

        // Rows are deleted by their state: a finishing row reads "완료" but is not done.
        table.setState(0, RowState::Done);
        table.setState(1, RowState::Finishing);
        table.setState(2, RowState::Done);
        QCOMPARE(table.removeRowsInState(RowState::Done), (QList<int>{2, 0}));
        QCOMPARE(order(table), QList<int>{1});
        QCOMPARE(table.text(0, TransferTable::StateColumn), QStringLiteral("완료"));
        QCOMPARE(table.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("진행상태"));
    }

    void rowsMoveAsModelMoves() {
        Table table;
        fill(table, 5);
        QItemSelectionModel selection(&table);
        selection.select(table.index(1, 0),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QPersistentModelIndex held(table.index(3, 2));
        const quint64 idOfThree = table.idAt(3);
        QSignalSpy moved(&table, &QAbstractItemModel::rowsMoved);
        QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);
        // Rows 1 and 3 change places; row 2 stays between them.
        table.exchangeRows(1, 3);
        QCOMPARE(order(table), (QList<int>{0, 3, 2, 1, 4}));
        QVERIFY(moved.size() >= 1);
        QCOMPARE(changed.size(), 0);
        QVERIFY(selection.isRowSelected(3, {}));
        QVERIFY(!selection.isRowSelected(1, {}));
        QCOMPARE(held.row(), 1);
        QCOMPARE(held.column(), 2);
        QCOMPARE(table.rowOfRecord(idOfThree), 1);
        table.exchangeRows(4, 3); // neighbours, either order
        QCOMPARE(order(table), (QList<int>{0, 3, 2, 4, 1}));
        QVERIFY(selection.isRowSelected(4, {}));
    }

    // The rules of the four move commands on marks alone, where the view's selection is not
    // involved; what comes back is where the marks end.
    void moveCommandsOnMarks() {
        struct Case {
            Move move;
            QList<int> selected;
            int current;
            QList<int> order;
            QList<int> marked;
            int currentAfter;
        };
        const Case cases[] = {
            {Move::Up, {2}, 2, {0, 2, 1, 3, 4}, {1}, 1},
            {Move::Up, {1, 3}, 3, {1, 0, 3, 2, 4}, {0, 2}, 2},
            {Move::Down, {1, 3, 4}, 4, {0, 2, 1, 3, 4}, {2, 3, 4}, 2},
            {Move::ToTop, {0, 2, 4}, 4, {0, 2, 4, 3, 1}, {0, 1, 2}, 2},
            {Move::ToBottom, {0, 2}, 2, {3, 1, 4, 0, 2}, {3, 4}, 3},
            // One selected row and the focus on another: the focus is a mark too, and the
            // first marked row is the one that goes to the top; every other mark goes.
            {Move::ToTop, {3}, 1, {1, 0, 2, 3, 4}, {0}, 0},
            // The focus alone marks a row.
            {Move::Down, {}, 2, {0, 1, 3, 2, 4}, {3}, 3},
            // Nothing marked: nothing moves.
            {Move::ToBottom, {}, -1, {0, 1, 2, 3, 4}, {}, -1},
        };
        for (const Case& c : cases) {
            Table table;
            fill(table, 5);
            const Marks after = table.moveMarked(c.move, Marks{c.selected, c.current});
            QCOMPARE(order(table), c.order);
            QCOMPARE(after.selected, c.marked);
            QCOMPARE(after.current, c.currentAfter);
        }
        Table empty;
        QCOMPARE(empty.moveMarked(Move::Up, {}).selected, QList<int>{});
    }
};

QTEST_GUILESS_MAIN(TestTransferTable)
#include "TestTransferTable.moc"
