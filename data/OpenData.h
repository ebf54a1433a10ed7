#pragma once
// The open data files: DataList, the cells of the open-files grid, the
// current file, opening a file into the graph and closing and saving it.
// No widgets here; the grid, the flight information page and the chart are
// bound through the small interfaces below.
#include "data/DataBlock.h"
#include "base/DeviceSettings.h"

#include <QString>
#include <array>
#include <functional>
#include <set>
#include <vector>

namespace qv {

// The chart side of an open file.
class IGraphView {
public:
    virtual ~IGraphView() = default;
    // Creates the five series of a freshly read record, titled shortName +
    // slot suffix, coloured by the slots' colour index (kNoColour: the
    // chart's next free colour); all start hidden. Fills the slots' Series.
    // Returns the altitude series colour as 0xBBGGRR.
    virtual std::uint32_t CreateSeries(TDataBlock& block, const QString& shortName) = 0;
    virtual void SetSeriesVisible(TDataBlock& block, int slot, bool visible) = 0;
    virtual void RemoveSeries(TDataBlock& block) = 0;
    // The points of the annotation series as drawn (offsets included),
    // each with its label (file bytes).
    virtual std::vector<TAnotace> AnnotationPoints(const TDataBlock& block) const = 0;
};

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

class TOpenData {
public:
    enum Column { ColName = 0, ColFirstSlot = 1, ColPath = 6, ColColour = 7 };
    static constexpr int kColumns = 8;
    enum class SaveResult { Saved, NotSaved, Failed };

    // Works on the main window's list of open files and current row.
    TOpenData(TDataList& dataList, int& actualRow);

    IGraphView* Graph = nullptr;
    IFlightInfoView* Info = nullptr;
    // The device settings in force (marker threshold); defaults when not set.
    std::function<TDeviceSettings()> DeviceSettings;

    std::function<void()> OnGridChanged;       // rows or cells changed
    std::function<void(int row)> OnRowClosed;  // after a row is gone
    std::function<void(int row)> OnActualChanged;

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

private:
    SaveResult SaveStep(int row, bool ask);
    void RebuildAnnotations(TDataBlock& block) const;
    void Changed();

    TDataList& list_;
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
