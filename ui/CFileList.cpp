#include "ui/CFileList.h"

#include "ui/FileIconProxyModel.h"
#include "ui/KitFont.h"
#include "ui/KitTexts.h"

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
    if (table_)
        table_->exchangeRows(a, b);
}

TransferTable::Marks CFileList::marks() const {
    TransferTable::Marks marks;
    marks.selected = SelectedRows();
    if (selectionModel() && selectionModel()->currentIndex().isValid())
        marks.current = selectionModel()->currentIndex().row();
    return marks;
}

void CFileList::move(TransferTable::Move move) {
    if (table_ && selectionModel()) {
        const TransferTable::Marks moved = table_->moveMarked(move, marks());
        QItemSelection selection;
        for (int row : moved.selected)
            selection.select(model()->index(row, 0),
                             model()->index(row, TransferTable::ColumnCount - 1));
        selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        if (moved.current >= 0)
            selectionModel()->setCurrentIndex(model()->index(moved.current, 0),
                                              QItemSelectionModel::NoUpdate);
        else
            selectionModel()->clearCurrentIndex();
    }
    setFocus();
}

void CFileList::MoveUp() {
    move(TransferTable::Move::Up);
}

void CFileList::MoveDown() {
    move(TransferTable::Move::Down);
}

void CFileList::MoveToTop() {
    move(TransferTable::Move::ToTop);
}

void CFileList::MoveToBottom() {
    move(TransferTable::Move::ToBottom);
}
