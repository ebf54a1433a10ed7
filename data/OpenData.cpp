#include "data/OpenData.h"

#include "base/Assert.h"
#include "base/Cp1250.h"
#include "data/DataFile.h"
#include "base/DeviceSettings.h"
#include "graph/GraphStyle.h"
#include "base/MessageService.h"

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
    QString name = QFileInfo(fileName).fileName();
    const int at = name.indexOf(QStringLiteral(".kdf"));
    if (at >= 0)
        name.truncate(at);
    return name;
}

QString OpenErrorText(const QString& fileName, const QString& message)
{
    return QStringLiteral("Error by opening datafile \"") + fileName + QStringLiteral("\"! \r") + message;
}

TOpenData::TOpenData(TDataList& dataList, int& actualRow) : list_(dataList), actual_(actualRow) {}

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

void TOpenData::Changed()
{
    if (OnGridChanged)
        OnGridChanged();
}

int TOpenData::OpenDataFile(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile())
        return -1;
    BusyScope busy(busy_);

    auto block = std::make_unique<TDataBlock>();
    block->NotesStream();
    int count = -1;
    try {
        const double threshold = DeviceSettings ? DeviceSettings().MarkerThreshold : 0.0;
        count = ReadDataFile(fileName, *block, threshold, Messages());
    } catch (const std::exception& e) {
        Messages().error(OpenErrorText(fileName, QString::fromLocal8Bit(e.what())));
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
    std::vector<std::uint8_t> used;
    for (const auto& b : list_)
        if (b)
            used.push_back(b->Slots[SlotAlt].ColorIndex);
    const std::uint8_t colour = FirstFreeColourIndex(used);

    for (int k = 0; k < kSlotCount; ++k) {
        auto& slot = block->Slots[k];
        slot.ColorIndex = colour;
        slot.OffsetX = 0;
        slot.OffsetY = 0;
        slot.OffsetEnabled = true;
        const int src = kSlotSource[k];
        bool empty = src >= 0 && block->Data[src].empty();
        if (k == SlotMark)
            empty = empty || block->Markers.empty();
        cells[ColFirstSlot + k] = empty ? QStringLiteral("2") : QStringLiteral("0");
    }
    std::uint32_t seriesColour = colour < kCurveColourCount ? kCurveColours[colour] : 0;
    if (Graph) {
        try {
            seriesColour = Graph->CreateSeries(*block, shortName);
        } catch (const std::exception& e) {
            // Out of memory for the series of a huge file, say: open nothing.
            cells_.pop_back();
            try {
                Graph->RemoveSeries(*block);
            } catch (...) {
            }
            block->Release();
            Messages().error(OpenErrorText(fileName, QString::fromLocal8Bit(e.what())));
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
    if (Graph && Block(row))
        Graph->SetSeriesVisible(*Block(row), col - ColFirstSlot, on);
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
    if (OnActualChanged)
        OnActualChanged(row);
}

void TOpenData::RebuildAnnotations(TDataBlock& b) const
{
    if (!Graph || !b.Slots[SlotAnnot].Series)
        return; // nothing drawn: keep the annotations read from the file
    const TSeriesSlot& slot = b.Slots[SlotAnnot];
    std::vector<TAnotace> points = Graph->AnnotationPoints(b);
    if (slot.OffsetEnabled)
        for (auto& a : points) {
            a.Time -= slot.OffsetX;
            a.Altitude -= slot.OffsetY;
        }
    b.Annotations = std::move(points);
}

TOpenData::SaveResult TOpenData::SaveStep(int row, bool ask)
{
    TDataBlock* b = Block(row);
    if (!b)
        return SaveResult::NotSaved;
    if (ask) {
        if (!b->Modified)
            return SaveResult::NotSaved;
        const QString q = QStringLiteral("Do you want to save changes of ") + cells_[row][ColPath] + QStringLiteral("?");
        if (Messages().question(q, Buttons::YesNo) != Answer::Yes)
            return SaveResult::NotSaved;
    }
    QString path = cells_[row][ColPath];
    if (!QFileInfo::exists(path)) {
        path = Messages().saveFileName(QStringLiteral("DataFile ") + path + QStringLiteral(" not found!"), path,
                                       QString::fromLatin1(kDataFileFilter), QStringLiteral("kdf"));
        if (path.isEmpty())
            return SaveResult::NotSaved;
    }
    RebuildAnnotations(*b);
    if (!WriteDataFile(path, *b, Messages()))
        return SaveResult::Failed;
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
        if (Graph)
            Graph->RemoveSeries(*b);
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
        if (OnRowClosed)
            OnRowClosed(row);
        Changed();
        return true;
    } catch (const std::exception& e) {
        Messages().error(QStringLiteral("In GridCloseFile.\r") + QString::fromLocal8Bit(e.what()));
        return false;
    }
}

int TOpenData::GridCloseAll(bool force)
{
    for (int row = RowCount() - 1; row >= 0; --row)
        GridCloseFile(row, force);
    return RowCount();
}

} // namespace qv
