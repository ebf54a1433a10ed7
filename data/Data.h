#pragma once
// The open-files grid StringGrid1, its pop-up menu PopupGrid and the flight
// information page, bound to the open data files (TOpenData).
#include "data/OpenData.h"

#include <QObject>
#include <QPointer>

class QAction;
class QLineEdit;
class QMenu;
class QTableWidget;
class QTextEdit;

namespace qv {

// The flight information page's controls (any may be null).
struct TInfoControls {
    QLineEdit* EditDate = nullptr;
    QLineEdit* EditSampling = nullptr;
    QLineEdit* EditVer = nullptr;
    QLineEdit* EditFlightTime = nullptr;
    QLineEdit* EditMaxHeight = nullptr;
    QTextEdit* RichEdit1 = nullptr;
};

class TDataView : public QObject, public IFlightInfoView {
    Q_OBJECT
public:
    // grid: the open-files grid to bind (made by the caller, may be empty).
    TDataView(TOpenData& data, QTableWidget* grid, const TInfoControls& info, QObject* parent = nullptr);
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

    // IFlightInfoView
    void ShowInfo(const TFlightInfo& info) override;
    bool NotesChanged() const override;
    std::string NotesBytes() const override;
    void SetNotes(const std::string& bytes) override;

signals:
    void RowCountChanged(int rows);

private:
    void StringGrid1CellClicked(int row, int col);
    void StringGrid1CurrentChanged(int row);

    TOpenData& data_;
    TInfoControls info_;
    bool syncing_ = false;
    int lastRows_ = -1;
};

} // namespace qv
