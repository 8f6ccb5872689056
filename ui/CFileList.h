#pragma once

#include "core/TransferTable.h"
#include "ui/ClientProfile.h"

#include <QTableView>

class FileIconProxyModel;

// The transfer list of both main windows: a report view over the engine's TransferTable,
// with grid lines, full-row selection and the file-type icon beside each name. Rows and
// their records live in the table, and the table moves them: the move commands hand it the
// marks and show the marks it gives back.
//
// A row counts as marked when it is selected or holds the focus (the current index);
// marking selects it and gives it the focus, unmarking clears both.
class CFileList : public QTableView {
    Q_OBJECT
public:
    explicit CFileList(QWidget* parent = nullptr);

    // The list shows `table`; the engine owns it and must outlive the list's use of it.
    void setTable(TransferTable* table);
    TransferTable* table() const { return table_; }

    // Widths of the three columns of the given program, fitted to the list's current client
    // width (the titles are the table's).
    void InsertColumns(const ClientProfile& profile);

    int GetItemCount() const;
    int GetSelectedCount() const;
    bool IsMarked(int row) const;
    void Mark(int row);
    void Unmark(int row);
    QList<int> SelectedRows() const;

    // Exchanges two rows with their records; their marks go with them.
    void SwapRows(int a, int b);
    void MoveToTop();
    void MoveUp();
    void MoveDown();
    void MoveToBottom();

private:
    TransferTable::Marks marks() const;
    void move(TransferTable::Move move);

    TransferTable* table_ = nullptr;
    FileIconProxyModel* icons_ = nullptr;
};
