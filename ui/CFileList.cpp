#include "CFileList.h"

#include "FileIconProxyModel.h"
#include "KitFont.h"
#include "KitTexts.h"
#include "TransferTable.h"

#include <QHeaderView>
#include <QItemSelectionModel>

namespace {

// The state column must stay readable ("중복파일"); the name column gives way when the list
// is narrower than the widths were chosen for.
constexpr int kMinimumStateWidth = 72;
constexpr int kMinimumNameWidth = 120;

} // namespace

CFileList::CFileList(QWidget* parent) : QTableView(parent) {
    setFont(gulimFont(12));
    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setIconSize(QSize(16, 16));
    setFocusPolicy(Qt::StrongFocus);
    // One stop for Tab: the arrow keys move inside the list, Tab goes on to the next control.
    setTabKeyNavigation(false);
    setAccessibleName(KitText::list().name);
    setAccessibleDescription(KitText::list().description);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(18);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionsClickable(false);
    icons_ = new FileIconProxyModel(this);
}

void CFileList::setTable(TransferTable* table) {
    table_ = table;
    icons_->setSourceModel(table);
    if (model() != icons_)
        setModel(icons_);
}

void CFileList::InsertColumns(const ClientProfile& profile) {
    if (table_)
        table_->setColumnTitles(
            {QStringLiteral("파일명"), QStringLiteral("파일크기"), QStringLiteral("진행상태")});
    const ClientProfile::Columns plan = profile.columns;
    const int client_width = contentsRect().width();
    int name = plan.name;
    int state = client_width - plan.slack;
    if (state < kMinimumStateWidth) {
        name = qMax(kMinimumNameWidth, name - (kMinimumStateWidth - state));
        state = kMinimumStateWidth;
    }
    setColumnWidth(TransferTable::NameColumn, name);
    setColumnWidth(TransferTable::SizeColumn, plan.size);
    setColumnWidth(TransferTable::StateColumn, state);
}

int CFileList::GetItemCount() const {
    return table_ ? table_->count() : 0;
}

int CFileList::GetSelectedCount() const {
    return selectionModel() ? int(selectionModel()->selectedRows().size()) : 0;
}

QList<int> CFileList::SelectedRows() const {
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool CFileList::IsMarked(int row) const {
    if (!selectionModel() || row < 0 || row >= GetItemCount())
        return false;
    return selectionModel()->isRowSelected(row, {}) ||
           selectionModel()->currentIndex().row() == row;
}

void CFileList::Mark(int row) {
    if (!selectionModel() || row < 0 || row >= GetItemCount())
        return;
    const QModelIndex at = model()->index(row, 0);
    selectionModel()->select(at, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
}

void CFileList::Unmark(int row) {
    if (!selectionModel() || row < 0 || row >= GetItemCount())
        return;
    selectionModel()->select(model()->index(row, 0),
                             QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    if (selectionModel()->currentIndex().row() == row)
        selectionModel()->clearCurrentIndex();
}

void CFileList::SwapRows(int a, int b) {
    // The table exchanges records and texts together; the icons follow the names. Marks
    // stay with the positions: the move operations set them afterwards.
    if (table_)
        table_->exchangeRows(a, b);
}

void CFileList::MoveUp() {
    GetSelectedCount() <= 1 ? moveUpOne() : moveUpSeveral();
    setFocus();
}

void CFileList::MoveDown() {
    GetSelectedCount() <= 1 ? moveDownOne() : moveDownSeveral();
    setFocus();
}

void CFileList::MoveToTop() {
    GetSelectedCount() <= 1 ? moveToTopOne() : moveToTopSeveral();
    setFocus();
}

void CFileList::MoveToBottom() {
    GetSelectedCount() <= 1 ? moveToBottomOne() : moveToBottomSeveral();
    setFocus();
}

// One mark: the lowest marked row moves one place up; a marked first row stays.
void CFileList::moveUpOne() {
    for (int i = GetItemCount() - 1; i >= 0; --i) {
        if (!IsMarked(i))
            continue;
        if (i >= 1) {
            SwapRows(i, i - 1);
            Unmark(i);
            Mark(i - 1);
        }
        return;
    }
}

// Several marks: each marked row swaps with the unmarked row above it, so a block moves up
// as a whole. Rows already pressed against the top (or against such rows) stay, marked.
void CFileList::moveUpSeveral() {
    for (int i = 1; i < GetItemCount(); ++i) {
        if (IsMarked(i) && !IsMarked(i - 1)) {
            SwapRows(i, i - 1);
            Unmark(i);
            Mark(i - 1);
        }
    }
}

void CFileList::moveDownOne() {
    const int count = GetItemCount();
    for (int i = count - 1; i >= 0; --i) {
        if (!IsMarked(i))
            continue;
        if (i + 1 < count) {
            SwapRows(i, i + 1);
            Unmark(i);
            Mark(i + 1);
        }
        return;
    }
}

void CFileList::moveDownSeveral() {
    for (int i = GetItemCount() - 2; i >= 0; --i) {
        if (IsMarked(i) && !IsMarked(i + 1)) {
            SwapRows(i, i + 1);
            Unmark(i);
            Mark(i + 1);
        }
    }
}

// One mark: the marked row and the first row change places; the rows between stay.
void CFileList::moveToTopOne() {
    int topmost = -1;
    for (int i = GetItemCount() - 1; i >= 1; --i) {
        if (IsMarked(i)) {
            Unmark(i);
            topmost = i;
        }
    }
    if (topmost < 0)
        return;
    SwapRows(topmost, 0);
    Mark(0);
}

// Several marks: the marked rows gather at the top in their order; each displaced row takes
// the old place of the row that displaced it. Marked rows already at the top stay.
void CFileList::moveToTopSeveral() {
    int target = 0;
    for (int i = 0; i < GetItemCount(); ++i) {
        if (!IsMarked(i))
            continue;
        if (i > target) {
            SwapRows(i, target);
            Unmark(i);
            Mark(target);
        }
        ++target;
    }
}

void CFileList::moveToBottomOne() {
    const int count = GetItemCount();
    int bottommost = -1;
    for (int i = 0; i < count; ++i) {
        if (IsMarked(i)) {
            Unmark(i);
            bottommost = i;
        }
    }
    if (bottommost < 0)
        return;
    SwapRows(bottommost, count - 1);
    Mark(count - 1);
}

void CFileList::moveToBottomSeveral() {
    int target = GetItemCount() - 1;
    for (int i = target; i >= 0; --i) {
        if (!IsMarked(i))
            continue;
        if (i < target) {
            SwapRows(i, target);
            Unmark(i);
            Mark(target);
        }
        --target;
    }
}
