#include "core/TransferTable.h"
#include "tests/support/TestEnvironment.h"
#include "ui/CFileList.h"
#include "ui/CFile_Type_icon.h"
#include "ui/SystemImageList.h"

#include <QHeaderView>
#include <QTemporaryFile>
#include <QtTest>

namespace {

struct Tagged : TransferRecord {
    Tagged(int t = -1) : tag(t) {}
    int tag;
};

using Table = RecordTable<Tagged>;

} // namespace

class TestFileList : public QObject {
    Q_OBJECT
    QWidget window_;
    CFileList* list_ = nullptr;
    Table* table_ = nullptr;

    void fill(int rows) {
        delete table_;
        table_ = new Table(this);
        for (int i = 0; i < rows; ++i)
            table_->append(Tagged{i}, QStringLiteral("f%1.txt").arg(i), QString::number(i));
        list_->setTable(table_);
        list_->clearSelection();
        list_->selectionModel()->clearCurrentIndex();
    }
    void mark(const QList<int>& rows) {
        for (int row : rows)
            list_->Mark(row);
    }
    // Record tags in row order; fails the test when a row's text and its record drifted apart.
    QList<int> order() {
        QList<int> tags;
        for (int row = 0; row < table_->count(); ++row) {
            const int tag = table_->record(row).tag;
            if (table_->text(row, 0) != QStringLiteral("f%1.txt").arg(tag))
                return {-100};
            tags << tag;
        }
        return tags;
    }
    QList<int> marks() {
        QList<int> rows;
        for (int row = 0; row < table_->count(); ++row)
            if (list_->IsMarked(row))
                rows << row;
        return rows;
    }
    using Move = void (CFileList::*)();
    void check(int rows, const QList<int>& marked, Move move, const QList<int>& expectedOrder,
               const QList<int>& expectedMarks) {
        fill(rows);
        mark(marked);
        window_.setFocus();
        (list_->*move)();
        QCOMPARE(order(), expectedOrder);
        QCOMPARE(marks(), expectedMarks);
        QVERIFY(list_->hasFocus());
    }

private slots:
    void initTestCase() {
        TestEnvironment::prepare();
        window_.resize(600, 300);
        window_.setFocusPolicy(Qt::StrongFocus);
        list_ = new CFileList(&window_);
        list_->setGeometry(14, 20, 526, 138);
        window_.show();
        window_.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window_));
    }

    void moveUp() {
        check(5, {2}, &CFileList::MoveUp, {0, 2, 1, 3, 4}, {1});
        check(5, {0}, &CFileList::MoveUp, {0, 1, 2, 3, 4}, {0});
        check(5, {2, 3}, &CFileList::MoveUp, {0, 2, 3, 1, 4}, {1, 2});
        check(5, {1, 3}, &CFileList::MoveUp, {1, 0, 3, 2, 4}, {0, 2});
        check(5, {0, 1, 3}, &CFileList::MoveUp, {0, 1, 3, 2, 4}, {0, 1, 2});
        check(0, {}, &CFileList::MoveUp, {}, {});
    }

    void moveDown() {
        check(5, {2}, &CFileList::MoveDown, {0, 1, 3, 2, 4}, {3});
        check(5, {4}, &CFileList::MoveDown, {0, 1, 2, 3, 4}, {4});
        check(5, {1, 2}, &CFileList::MoveDown, {0, 3, 1, 2, 4}, {2, 3});
        check(5, {1, 3, 4}, &CFileList::MoveDown, {0, 2, 1, 3, 4}, {2, 3, 4});
        check(0, {}, &CFileList::MoveDown, {}, {});
    }

    void moveToTop() {
        check(5, {2}, &CFileList::MoveToTop, {2, 1, 0, 3, 4}, {0});
        check(5, {0}, &CFileList::MoveToTop, {0, 1, 2, 3, 4}, {0});
        check(5, {1, 3}, &CFileList::MoveToTop, {1, 3, 2, 0, 4}, {0, 1});
        check(5, {0, 2, 4}, &CFileList::MoveToTop, {0, 2, 4, 3, 1}, {0, 1, 2});
        check(5, {3, 4}, &CFileList::MoveToTop, {3, 4, 2, 0, 1}, {0, 1});
        check(0, {}, &CFileList::MoveToTop, {}, {});
    }

    void moveToBottom() {
        check(5, {1}, &CFileList::MoveToBottom, {0, 4, 2, 3, 1}, {4});
        check(5, {4}, &CFileList::MoveToBottom, {0, 1, 2, 3, 4}, {4});
        check(5, {0, 2}, &CFileList::MoveToBottom, {3, 1, 4, 0, 2}, {3, 4});
        check(5, {1, 4}, &CFileList::MoveToBottom, {0, 3, 2, 1, 4}, {3, 4});
        check(0, {}, &CFileList::MoveToBottom, {}, {});
    }

    void marksAndSwaps() {
        fill(4);
        // The focused row counts as marked even when it is not selected.
        list_->selectionModel()->setCurrentIndex(list_->model()->index(3, 0),
                                                 QItemSelectionModel::NoUpdate);
        QCOMPARE(list_->GetSelectedCount(), 0);
        QCOMPARE(marks(), QList<int>{3});
        list_->Unmark(3);
        QCOMPARE(marks(), QList<int>{});
        // Swapping rows moves records with their texts, and the marks with their rows.
        list_->Mark(1);
        list_->SwapRows(1, 2);
        QCOMPARE(order(), (QList<int>{0, 2, 1, 3}));
        QCOMPARE(marks(), QList<int>{2});
        // Every way of marking with a full table keeps rows and records in step.
        fill(TransferTable::kCapacity);
        mark({0, 100, 199});
        list_->MoveDown();
        list_->MoveToTop();
        list_->MoveToBottom();
        QCOMPARE(order().size(), TransferTable::kCapacity);
        QCOMPARE(marks(), (QList<int>{197, 198, 199}));
    }

    void columnsOfBothPrograms() {
        fill(1);
        const int client = list_->contentsRect().width();
        list_->InsertColumns(ClientProfile::upload());
        QCOMPARE(list_->columnWidth(1), 60);
        const int state = list_->columnWidth(2);
        QVERIFY(state >= 72);
        QCOMPARE(list_->columnWidth(0) + 60 + state, client - 18);
        list_->InsertColumns(ClientProfile::download());
        QCOMPARE(list_->columnWidth(0) + 60 + list_->columnWidth(2), client - 5);

        // A list wide enough takes the widths as they are.
        CFileList wide;
        wide.resize(700, 100);
        wide.setTable(table_);
        wide.InsertColumns(ClientProfile::download());
        QCOMPARE(wide.columnWidth(0), 490);
        QCOMPARE(wide.columnWidth(2), wide.contentsRect().width() - 555);

        const QAbstractItemModel* model = list_->model();
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("파일명"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("파일크기"));
        QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("진행상태"));
        QCOMPARE(model->index(0, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
                 int(Qt::AlignRight));
        QCOMPARE(model->index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
                 int(Qt::AlignHCenter));
        QVERIFY(list_->showGrid());
        QCOMPARE(list_->selectionBehavior(), QAbstractItemView::SelectRows);
    }

    void iconsByName() {
        CFile_Type_icon types;
        // Unknown or missing extensions get the generic icon; the file need not exist.
        QCOMPARE(types.GetIconIndex(QStringLiteral("README")), 0);
        QCOMPARE(types.GetIconIndex(QStringLiteral("data.zzqqxx")), 0);
        const int movie = types.GetIconIndex(QStringLiteral("/nowhere/여행.mp4"));
        QCOMPARE(types.GetIconIndex(QStringLiteral("other.MP4")), movie);
        QVERIFY(!types.GetSystemImageList().icon(0).isNull());
        QVERIFY(!types.GetSystemImageList().icon(movie).isNull());
        fill(1);
        const QVariant icon = list_->model()->index(0, 0).data(Qt::DecorationRole);
        QVERIFY(!icon.value<QIcon>().isNull());
        QVERIFY(!list_->model()->index(0, 1).data(Qt::DecorationRole).isValid());
    }

    void sizeAndTimeTexts() {
        const std::pair<qint64, const char*> sizes[] = {
            {0, "0.0Byte"},      {999, "999.0Byte"},    {1000, "1.0KB"},      {1536, "1.5KB"},
            {99999, "97.7KB"},   {100000, "97.0KB"},    {123456, "120.0KB"},  {1048575, "1.0MB"},
            {10000000, "9.5MB"}, {1073741824, "1.0GB"}, {5000000000, "4.7GB"}};
        for (const auto& [bytes, text] : sizes)
            QCOMPARE(CFile_Type_icon::FormatSize(bytes), QString::fromLatin1(text));
        const std::pair<qint64, const char*> times[] = {{0, "00:00:00"},
                                                        {59, "00:00:59"},
                                                        {3600, "01:00:00"},
                                                        {3599, "00:59:59"},
                                                        {86400, "24:00:00"}};
        for (const auto& [seconds, text] : times)
            QCOMPARE(CFile_Type_icon::FormatTime(seconds), QString::fromLatin1(text));
    }

    void fileSizeOnDisk() {
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(QByteArray(1234, 'x'));
        file.flush();
        QCOMPARE(CFile_Type_icon::GetFileSize(file.fileName()), qint64(1234));
        QCOMPARE(CFile_Type_icon::GetFileSize(file.fileName() + ".missing"), qint64(-1));
    }
};

QTEST_MAIN(TestFileList)
#include "TestFileList.moc"
