#pragma once
// The open-files grid StringGrid1 and its pop-up menu PopupGrid, bound to
// the open data files (TOpenData).
#include "data/OpenData.h"

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QTableWidget;

namespace qv {

class TDataView : public QObject {
    Q_OBJECT
public:
    // grid: the open-files grid to bind (made by the caller, may be empty).
    TDataView(TOpenData& data, QTableWidget* grid, QObject* parent = nullptr);
    ~TDataView() override;

    QTableWidget* StringGrid1 = nullptr;
    QMenu* PopupGrid = nullptr;
    QAction* mnuGridClose = nullptr;
    QAction* mnuGridSave = nullptr;
    std::array<QAction*, kSlotCount> mnuGridCheck{};
    int PopupRow = -1; // row remembered by the pop-up

    // Width of the check columns: a check box or the heading, whichever is
    // wider, with a small margin.
    static int CheckColumnWidth(const QTableWidget& grid);

    // Copies the rows and cells of the open data into the grid.
    void SyncGrid();
    // Pop-up commands on PopupRow.
    void mnuGridCloseClick();
    void mnuGridSaveClick();
    void mnuGridCheckClick(int tag, bool checked);
    // Prepares the pop-up for a row (the check items follow its cells).
    void PreparePopup(int row);

signals:
    void RowCountChanged(int rows);

private:
    void StringGrid1CellClicked(int row, int col);
    void StringGrid1CurrentChanged(int row);

    TOpenData& data_;
    bool syncing_ = false;
    int lastRows_ = -1;
};

} // namespace qv
