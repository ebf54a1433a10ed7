#pragma once
// The open-files grid StringGrid1 (a table view over the open flights) and
// its pop-up menu PopupGrid. The grid shows the hourglass while several
// files open at once.
#include "flights/FlightsModel.h"

#include <QObject>
#include <array>

class QAction;
class QMenu;
class QTableView;

namespace qv {

class TDataView : public QObject {
    Q_OBJECT
public:
    // grid: the open-files grid to bind (made by the caller).
    TDataView(TOpenFlights& flights, QTableView* grid, QObject* parent = nullptr);
    ~TDataView() override;

    QTableView* StringGrid1 = nullptr;
    TOpenFlightsModel* Model = nullptr;
    QMenu* PopupGrid = nullptr;
    QAction* mnuGridClose = nullptr;
    QAction* mnuGridSave = nullptr;
    std::array<QAction*, kSlotCount> mnuGridCheck{};
    int PopupRow = -1; // row remembered by the pop-up

    // Width of the check columns: a check box or the heading, whichever is
    // wider, with a small margin.
    static int CheckColumnWidth(const QTableView& grid);

    // Follows the current row and the row count of the open flights.
    void SyncGrid();
    // Pop-up commands on PopupRow.
    void mnuGridCloseClick();
    void mnuGridSaveClick();
    void mnuGridCheckClick(int slot, bool checked);
    // Prepares the pop-up for a row (the check items follow its checks).
    void PreparePopup(int row);

signals:
    void RowCountChanged(int rows);

private:
    void StringGrid1Clicked(int row, int col);
    void StringGrid1CurrentChanged(int row);

    TOpenFlights& flights_;
    bool syncing_ = false;
    int lastRows_ = -1;
    int hourglass_ = 0;
};

} // namespace qv
