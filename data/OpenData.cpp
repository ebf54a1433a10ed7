#include "data/OpenData.h"

#include "base/Assert.h"
#include "base/Cp1250.h"
#include "base/FileName.h"
#include "data/DataFile.h"
#include "base/MessageService.h"
#include "graph/GraphStyle.h"
#include "graph/Offsets.h"

#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <set>

namespace qv {

TFlightInfo FlightInfoOf(const TDataBlock& b)
{
    TFlightInfo info;
    info.Date = FromCp1250(b.Date);
    info.Sampling = QString::asprintf("%10.1f", b.SamplePeriod() / 10.0);
    info.Ver = QStringLiteral("0");
    const auto& t = b.Data[ArrTime];
    info.FlightTime = FormatFlightTime(t.empty() ? 0.0 : t.back());
    const auto& alt = b.Data[ArrAltitude];
    const double maxAlt = alt.empty() ? 0.0 : *std::max_element(alt.begin(), alt.end());
    info.MaxHeight = QString::asprintf("%8.1f", maxAlt) + QStringLiteral(" m");
    return info;
}

QString FormatFlightTime(double seconds)
{
    const bool negative = seconds < 0;
    long long s = static_cast<long long>(negative ? -seconds : seconds);
    return QStringLiteral("%1%2:%3:%4")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(s / 3600)
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString ShortFileName(const QString& fileName)
{
    QString name = ShownName(QFileInfo(fileName).fileName());
    const int at = name.indexOf(QStringLiteral(".kdf"));
    if (at >= 0)
        name.truncate(at);
    return name;
}

QString OpenErrorText(const QString& fileName, const QString& message)
{
    return QStringLiteral("Error by opening datafile \"") + fileName + QStringLiteral("\"! \r") + message;
}

TOpenData::TOpenData(TDataList& dataList, int& actualRow, QObject* parent)
    : QObject(parent), list_(dataList), actual_(actualRow)
{
}

std::vector<TCurveHandle> TOpenData::CurveHandles() const
{
    std::vector<TCurveHandle> out;
    for (const auto& b : list_)
        out.push_back(b ? b->Curves : kNoCurves);
    return out;
}

QString TOpenData::Cell(int col, int row) const
{
    if (!ValidRow(row) || col < 0 || col >= kColumns)
        return {};
    return cells_[row][col];
}

void TOpenData::SetCell(int col, int row, const QString& text)
{
    if (ValidRow(row) && col >= 0 && col < kColumns)
        cells_[row][col] = text;
}

TDataBlock* TOpenData::Block(int row) const
{
    return row >= 0 && row < static_cast<int>(list_.size()) ? list_[row].get() : nullptr;
}

int TOpenData::RowOf(const QString& fileName) const
{
    for (int r = 0; r < RowCount(); ++r)
        if (cells_[r][ColPath] == fileName)
            return r;
    return -1;
}

void TOpenData::Changed() { emit GridChanged(); }

void TOpenData::CreateCurves(TDataBlock& b, const QString& shortName, std::uint8_t colour)
{
    TCurveModel& m = *curves_;
    const TCurveHandle h = m.AddFile(shortName, colour);
    b.Curves = h;
    const auto& d = b.Data;
    auto time = std::make_shared<const std::vector<double>>(d[ArrTime]);
    auto copy = [](const std::vector<double>& v) { return std::make_shared<const std::vector<double>>(v); };
    m.SetRxOffsetY(h, b.RxOffsetY);
    m.SetPoints(h, SlotAlt, time, copy(d[ArrAltitude]));
    m.SetPoints(h, SlotRx, time, copy(d[ArrRx]));
    m.SetPoints(h, SlotPowS, time, copy(d[ArrVoltage]));
    // (time, altitude) at every sample whose marker flag is 1.
    auto mx = std::make_shared<std::vector<double>>();
    auto my = std::make_shared<std::vector<double>>();
    const std::size_t n = std::min({d[ArrTime].size(), d[ArrAltitude].size(), b.Markers.size()});
    for (std::size_t i = 0; i < n; ++i)
        if (b.Markers[i] == 1) {
            mx->push_back(d[ArrTime][i]);
            my->push_back(d[ArrAltitude][i]);
        }
    m.SetPoints(h, SlotMark, mx, my);
    std::vector<TCurveLabel> labels;
    for (const TAnotace& a : b.Annotations)
        labels.push_back({a.Time, a.Altitude, a.Text});
    m.SetLabels(h, std::move(labels));
    TCurveOffsets(m).Apply(h, b.Offsets);
}

int TOpenData::OpenDataFile(const QString& fileName)
{
    if (!IsRegularFile(fileName))
        return -1;
    BusyScope busy(busy_);

    auto block = std::make_unique<TDataBlock>();
    block->NotesStream();
    int count = -1;
    try {
        const double threshold = device_.MarkerThreshold;
        count = ReadDataFile(fileName, *block, threshold, Messages());
    } catch (const std::exception& e) {
        Messages().Error(OpenErrorText(fileName, QString::fromLocal8Bit(e.what())));
        count = -1;
    }
    if (count < 1) {
        block->Release();
        return -1;
    }
    block->Modified = false;

    const int row = RowCount();
    cells_.emplace_back();
    auto& cells = cells_.back();

    const QString shortName = ShortFileName(fileName);
    const std::uint8_t colour = FirstFreeColourIndex(curves_ ? curves_->UsedColourIndices()
                                                             : std::vector<std::uint8_t>{});
    for (int k = 0; k < kSlotCount; ++k) {
        const int src = kSlotSource[k];
        bool empty = src >= 0 && block->Data[src].empty();
        if (k == SlotMark)
            empty = empty || block->Markers.empty();
        cells[ColFirstSlot + k] = empty ? QStringLiteral("2") : QStringLiteral("0");
    }
    std::uint32_t seriesColour = colour < kCurveColourCount ? kCurveColours[colour] : 0;
    if (curves_) {
        try {
            CreateCurves(*block, shortName, colour);
            seriesColour = SwapRedBlue(curves_->Curve(block->Curves, SlotAlt)->Rgb);
        } catch (const std::exception& e) {
            // Out of memory for the curves of a huge file, say: open nothing.
            cells_.pop_back();
            curves_->RemoveFile(block->Curves);
            block->Curves = kNoCurves;
            block->Release();
            Messages().Error(OpenErrorText(fileName, QString::fromLocal8Bit(e.what())));
            return -1;
        }
    }

    list_.push_back(std::move(block));
    cells[ColPath] = fileName;
    cells[ColColour] = QString::number(seriesColour);
    cells[ColName] = shortName;
    // A file without the main channel keeps its "2".
    if (cells[ColFirstSlot] != QLatin1String("2"))
        GridCheck(ColFirstSlot, row, true);
    if (RowCount() == 1)
        GridChangeActualFile(0);
    Changed();
    return row;
}

void TOpenData::GridCheck(int col, int row, bool on)
{
    if (!QV_ASSERT(ValidRow(row) && col >= ColFirstSlot && col < ColFirstSlot + kSlotCount,
                   "Row and column valid in GridCheck"))
        return;
    QString& cell = cells_[row][col];
    if (cell == QLatin1String("2"))
        return; // nothing to show
    cell = on ? QStringLiteral("1") : QStringLiteral("0");
    if (curves_ && Block(row))
        curves_->SetVisible(Block(row)->Curves, col - ColFirstSlot, on);
    Changed();
}

void TOpenData::TakeEditorNotes()
{
    TDataBlock* b = Block(actual_);
    if (b && Info && Info->NotesChanged()) {
        b->NotesStream() = Info->NotesBytes();
        b->Modified = true;
        Info->MarkNotesUnchanged();
    }
}

void TOpenData::GridChangeActualFile(int row)
{
    if (!ValidRow(row) || !Block(row))
        return;
    TakeEditorNotes();
    actual_ = row;
    TDataBlock& b = *Block(row);
    if (Info) {
        TFlightInfo info = FlightInfoOf(b);
        info.FileName = cells_[row][ColPath];
        Info->ShowInfo(info);
        Info->SetNotes(b.NotesText());
    }
    emit ActualChanged(row);
}

void TOpenData::RebuildAnnotations(TDataBlock& b) const
{
    if (!curves_ || !curves_->Has(b.Curves))
        return; // no curves: keep the annotations read from the file
    // The model keeps them in the file's coordinates, offsets aside.
    std::vector<TAnotace> annotations;
    for (const TCurveLabel& l : curves_->Labels(b.Curves))
        annotations.push_back({l.Time, l.Altitude, l.Text});
    b.Annotations = std::move(annotations);
}

void TOpenData::StoreOffsets(TDataBlock& b) const
{
    if (!curves_ || !curves_->Has(b.Curves))
        return;
    b.Offsets = TCurveOffsets(*curves_).Stored(b.Curves);
    b.RxOffsetY = curves_->File(b.Curves)->RxOffsetY;
}

TOpenData::SaveResult TOpenData::SaveStep(int row, bool ask)
{
    TDataBlock* b = Block(row);
    if (!b)
        return SaveResult::NotSaved;
    if (ask) {
        if (!b->Modified)
            return SaveResult::NotSaved;
        const QString q =
            QStringLiteral("Do you want to save changes of ") + ShownName(cells_[row][ColPath]) + QStringLiteral("?");
        if (Messages().Question(q, Buttons::YesNo) != Answer::Yes)
            return SaveResult::NotSaved;
    }
    QString path = cells_[row][ColPath];
    if (!IsRegularFile(path)) {
        path = Messages().SaveFileName(QStringLiteral("DataFile ") + ShownName(path) + QStringLiteral(" not found!"), path,
                                       QString::fromLatin1(kDataFileFilter), QStringLiteral("kdf"));
        if (path.isEmpty())
            return SaveResult::NotSaved;
    }
    RebuildAnnotations(*b);
    StoreOffsets(*b);
    while (!WriteDataFile(path, *b, Messages())) {
        // At closing the edits would be lost: another place is offered
        // until one takes the file or the user gives up.
        if (!ask)
            return SaveResult::Failed;
        path = Messages().SaveFileName(QStringLiteral("Save as..."), path, QString::fromLatin1(kDataFileFilter),
                                       QStringLiteral("kdf"));
        if (path.isEmpty())
            return SaveResult::Failed;
    }
    b->Modified = false;
    if (path != cells_[row][ColPath]) {
        cells_[row][ColPath] = path;
        cells_[row][ColName] = ShortFileName(path);
        if (row == actual_ && Info) {
            TFlightInfo info = FlightInfoOf(*b);
            info.FileName = path;
            Info->ShowInfo(info);
        }
        Changed();
    }
    return SaveResult::Saved;
}

TOpenData::SaveResult TOpenData::GridSaveFile(int row)
{
    if (!ValidRow(row))
        return SaveResult::NotSaved;
    BusyScope busy(busy_);
    if (row == actual_)
        TakeEditorNotes();
    return SaveStep(row, false);
}

bool TOpenData::GridCloseFile(int row, bool force)
{
    // A row already being closed (its question is on the screen) is not
    // closed a second time from within.
    if (!ValidRow(row) || closing_.count(Block(row)))
        return false;
    BusyScope busy(busy_);
    closing_.insert(Block(row));
    struct Done {
        std::set<const TDataBlock*>& set;
        const TDataBlock* b;
        ~Done() { set.erase(b); }
    } done{closing_, Block(row)};
    try {
        TDataBlock* b = Block(row);
        if (!QV_ASSERT(b != nullptr, "P<>nil in GridCloseFile"))
            return false;
        const bool current = row == actual_;
        if (current)
            TakeEditorNotes();
        if (SaveStep(row, true) == SaveResult::Failed && !force)
            return false; // keep the unsaved record open
        if (curves_)
            curves_->RemoveFile(b->Curves);
        b->Curves = kNoCurves;
        b->Release();
        list_.erase(list_.begin() + row);
        cells_.erase(cells_.begin() + row);
        if (current) {
            actual_ = -1;
            if (Info) {
                Info->SetNotes({});
                Info->ShowInfo({});
            }
        } else if (actual_ > row) {
            --actual_;
        }
        emit RowClosed(row);
        Changed();
        return true;
    } catch (const std::exception& e) {
        Messages().Error(QStringLiteral("In GridCloseFile.\r") + QString::fromLocal8Bit(e.what()));
        return false;
    }
}

bool TOpenData::GridRenameRow(int row, const QString& fileName)
{
    if (!ValidRow(row)) {
        Messages().Error(QStringLiteral("Chyba při přejmenování seznamu otevřených souborů! Řádek neexistuje!"));
        return false;
    }
    cells_[row][ColPath] = fileName;
    cells_[row][ColName] = ShortFileName(fileName);
    Changed();
    return true;
}

int TOpenData::GridCloseAll(bool force)
{
    for (int row = RowCount() - 1; row >= 0; --row)
        GridCloseFile(row, force);
    return RowCount();
}

} // namespace qv
