#pragma once
// The open flights: the one owner of every open record, in the order of the
// rows of the open-files grid, with the current row, each row's check
// states and its curves in the curve model. Opening, closing, reordering and
// choosing the current row go through here only; every change is announced
// by a signal. No widgets: the grid is a table model over this object and
// the flight information page is bound through the small interface below.
#include "base/DeviceSettings.h"
#include "data/DataBlock.h"
#include "graph/CurveModel.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
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
// Error box text of a file that cannot be read, and of several files
// opened in one go (the texts of the files that failed, a blank line
// between them).
QString OpenErrorText(const QString& fileName, const QString& message);
QString OpenFilesErrorText(const QStringList& failures);

// A curve's check in the grid: no data to show, off, or shown.
enum class TCheck : std::uint8_t { NoData, Off, On };

// One open flight: its record, where it came from and how it is drawn.
struct TOpenFlight {
    std::unique_ptr<TDataBlock> Block;
    QString Path;                            // full file name
    QString Name;                            // short name
    std::array<TCheck, kSlotCount> Checks{}; // per curve slot
    TCurveHandle Curves = kNoCurves;         // its curves in the curve model
    std::uint32_t Colour = 0;                // of its curves, 0xBBGGRR
};

class TOpenFlights : public QObject {
    Q_OBJECT
public:
    // Columns of the open-files grid: the name, one check per curve slot,
    // the full path and the curve colour.
    enum Column { ColName = 0, ColFirstSlot = 1, ColPath = 6, ColColour = 7 };
    static constexpr int kColumns = 8;
    enum class SaveResult { Saved, NotSaved, Failed };

    explicit TOpenFlights(QObject* parent = nullptr);
    // Takes the curves of the files still open out of the curve model.
    ~TOpenFlights() override;

    IFlightInfoView* Info = nullptr;
    // The curve model that gets the curves of every opened file.
    void SetCurveModel(TCurveModel* model) { curves_ = model; }
    TCurveModel* CurveModel() const { return curves_; }
    // The device settings in force (marker threshold).
    void SetDeviceSettings(const TDeviceSettings& settings) { device_ = settings; }
    const TDeviceSettings& DeviceSettings() const { return device_; }
    // The curves of each open file in row order (kNoCurves: none).
    std::vector<TCurveHandle> CurveHandles() const;

    // Opens a data file into the graph; returns its grid row or -1.
    int OpenDataFile(const QString& fileName);
    // Opens several files in one go: one hourglass for them all and, at
    // the end, one error box naming every file that could not be opened.
    // Files already open are left as they are. Returns how many rows opened;
    // lastRow gets the row of the last file named that is open (-1: none).
    int OpenFiles(const QStringList& fileNames, int* lastRow = nullptr);
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
    // Moves a row to another place in the grid (the current file stays
    // current); false for rows that do not exist.
    bool GridMoveRow(int from, int to);
    // Closes every row from the last to the first (shutdown, vanished
    // root); returns how many rows stay open.
    int GridCloseAll(bool force);
    // Marks a row's file changed (annotations, offsets).
    void MarkModified(int row);

    int Actual() const { return actual_; }
    // Whether an open, close or save is under way (its dialogs let other
    // events run meanwhile).
    bool Busy() const { return busy_ > 0; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    bool ValidRow(int row) const { return row >= 0 && row < RowCount(); }
    const TOpenFlight* Row(int row) const { return ValidRow(row) ? &rows_[row] : nullptr; }
    TDataBlock* Block(int row) const { return ValidRow(row) ? rows_[row].Block.get() : nullptr; }
    TCheck Check(int row, int slot) const;
    QString Path(int row) const { return ValidRow(row) ? rows_[row].Path : QString(); }
    QString Name(int row) const { return ValidRow(row) ? rows_[row].Name : QString(); }
    TCurveHandle CurvesOf(int row) const { return ValidRow(row) ? rows_[row].Curves : kNoCurves; }
    // Row of a file (-1 when it is not open) and of a file's curves.
    int RowOf(const QString& fileName) const;
    bool IsOpen(const QString& fileName) const { return RowOf(fileName) >= 0; }
    int RowOfCurves(TCurveHandle h) const;

    // Moves the notes editor's text into the current record when changed.
    void TakeEditorNotes();

signals:
    void RowOpened(int row);
    void RowClosed(int row);           // after a row is gone
    void RowChanged(int row);          // its path, name or checks
    void RowMoved(int from, int to);
    void ActualChanged(int row);
    void GridChanged();                // after any of the above
    // A long operation starts (true) or ends: the hourglass.
    void BusyChanged(bool busy);

private:
    int Open(const QString& fileName, QStringList* failures);
    void CreateCurves(TOpenFlight& flight, std::uint8_t colour);
    SaveResult SaveStep(int row, bool ask);
    void RebuildAnnotations(TOpenFlight& flight) const;
    void StoreOffsets(TOpenFlight& flight) const;
    void Reindex();
    void Changed();

    std::vector<TOpenFlight> rows_;
    QHash<QString, int> rowOfPath_;
    QHash<TCurveHandle, int> rowOfCurves_;
    QPointer<TCurveModel> curves_; // the curves go with the model
    TDeviceSettings device_;
    int actual_ = -1;
    int busy_ = 0;
    std::set<const TDataBlock*> closing_;
    struct BusyScope {
        explicit BusyScope(int& b) : busy(b) { ++busy; }
        ~BusyScope() { --busy; }
        int& busy;
    };
};

} // namespace qv
