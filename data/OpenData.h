#pragma once
// The open data files: DataList, the cells of the open-files grid, the
// current file, opening a file into the graph and closing and saving it.
// No widgets here: the grid and the flight information page are bound
// through the signals and the small interface below; the curves of every
// open file live in the curve model, which the chart draws.
#include "base/DeviceSettings.h"
#include "data/DataBlock.h"
#include "graph/CurveModel.h"

#include <QObject>
#include <QString>
#include <array>
#include <set>
#include <vector>

namespace qv {

// Texts of the flight information boxes.
struct TFlightInfo {
    QString FileName; // full path of the file shown; empty when none
    QString Date;
    QString Sampling;
    QString Ver;
    QString FlightTime;
    QString MaxHeight;
};

// The flight information page: boxes and notes editor.
class IFlightInfoView {
public:
    virtual ~IFlightInfoView() = default;
    virtual void ShowInfo(const TFlightInfo& info) = 0;
    // Whether the notes editor was changed since it was last filled.
    virtual bool NotesChanged() const = 0;
    // The editor's text as file bytes.
    virtual std::string NotesBytes() const = 0;
    // Fills the editor from file bytes and marks it unchanged.
    virtual void SetNotes(const std::string& bytes) = 0;
    // The editor's text is now in the record: unchanged again.
    virtual void MarkNotesUnchanged() = 0;
};

TFlightInfo FlightInfoOf(const TDataBlock& block);
// "h:mm:ss" of a time in seconds (the grid's time format).
QString FormatFlightTime(double seconds);
// File name without folder, cut before the first ".kdf" in it.
QString ShortFileName(const QString& fileName);
// Error box text of a file that cannot be read.
QString OpenErrorText(const QString& fileName, const QString& message);

class TOpenData : public QObject {
    Q_OBJECT
public:
    enum Column { ColName = 0, ColFirstSlot = 1, ColPath = 6, ColColour = 7 };
    static constexpr int kColumns = 8;
    enum class SaveResult { Saved, NotSaved, Failed };

    // Works on the main window's list of open files and current row.
    TOpenData(TDataList& dataList, int& actualRow, QObject* parent = nullptr);

    IFlightInfoView* Info = nullptr;
    // The curve model that gets the curves of every opened file.
    void SetCurveModel(TCurveModel* model) { curves_ = model; }
    TCurveModel* CurveModel() const { return curves_; }
    // The device settings in force (marker threshold).
    void SetDeviceSettings(const TDeviceSettings& settings) { device_ = settings; }
    const TDeviceSettings& DeviceSettings() const { return device_; }
    // The curves of each open file in list order (kNoCurves: none).
    std::vector<TCurveHandle> CurveHandles() const;

    // Opens a data file into the graph; returns its grid row or -1.
    int OpenDataFile(const QString& fileName);
    // Shows (on) or hides a slot's series; col is 1..5.
    void GridCheck(int col, int row, bool on);
    // Makes row the current file.
    void GridChangeActualFile(int row);
    // Closes a row, asking about unsaved changes. A row whose changes
    // could not be written stays open unless force is set; returns whether
    // the row was closed.
    bool GridCloseFile(int row, bool force = false);
    // The grid's "Save": writes the row's file without asking.
    SaveResult GridSaveFile(int row);
    // A row's file was renamed or moved: the row shows its new path and
    // name; an error when the row does not exist.
    bool GridRenameRow(int row, const QString& fileName);
    // Closes every row from the last to the first (shutdown, vanished
    // root); returns how many rows stay open.
    int GridCloseAll(bool force);

    int Actual() const { return actual_; }
    // Whether an open, close or save is under way (its dialogs let other
    // events run meanwhile).
    bool Busy() const { return busy_ > 0; }
    int RowCount() const { return static_cast<int>(cells_.size()); }
    bool ValidRow(int row) const { return row >= 0 && row < RowCount(); }
    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);
    TDataBlock* Block(int row) const;
    int RowOf(const QString& fileName) const;

    // Moves the notes editor's text into the current record when changed.
    void TakeEditorNotes();

signals:
    void GridChanged();        // rows or cells changed
    void RowClosed(int row);   // after a row is gone
    void ActualChanged(int row);

private:
    void CreateCurves(TDataBlock& block, const QString& shortName, std::uint8_t colour);
    SaveResult SaveStep(int row, bool ask);
    void RebuildAnnotations(TDataBlock& block) const;
    void StoreOffsets(TDataBlock& block) const;
    void Changed();

    TDataList& list_;
    TCurveModel* curves_ = nullptr;
    TDeviceSettings device_;
    int& actual_;
    std::vector<std::array<QString, kColumns>> cells_;
    int busy_ = 0;
    std::set<const TDataBlock*> closing_;
    struct BusyScope {
        explicit BusyScope(int& b) : busy(b) { ++busy; }
        ~BusyScope() { --busy; }
        int& busy;
    };
};

} // namespace qv
