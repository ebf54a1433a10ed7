#include "flights/OpenFlights.h"

#include "base/Assert.h"
#include "base/Cp1250.h"
#include "base/FileName.h"
#include "data/DataFile.h"
#include "base/MessageService.h"
#include "graph/CurveTable.h"
#include "graph/GraphStyle.h"
#include "graph/Offsets.h"

#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <memory>
#include <set>

namespace qv {

TFlightInfo FlightInfoOf(const TDataBlock& b)
{
    TFlightInfo info;
    info.Date = FromCp1250(b.Date);
    // The logger counts its period in units of 10 ms; the box reads milliseconds.
    info.Sampling = QString::number(b.SamplePeriod() * 10.0, 'f', 1);
    info.Ver = QStringLiteral("0");
    const auto& t = b.Samples(ArrTime);
    info.FlightTime = FormatFlightTime(t.empty() ? 0.0 : t.back());
    const auto& alt = b.Samples(ArrAltitude);
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
    const int at = name.indexOf(QLatin1String(kDataFileExtension));
    if (at >= 0)
        name.truncate(at);
    return name;
}

QString OpenErrorText(const QString& fileName, const QString& message)
{
    return QStringLiteral("Error by opening datafile \"") + fileName + QStringLiteral("\"! \r") + message;
}

TOpenFlights::TOpenFlights(QObject* parent) : QObject(parent) {}

TOpenFlights::~TOpenFlights()
{
    if (curves_)
        for (const TOpenFlight& f : rows_)
            curves_->RemoveFile(f.Curves);
}

std::vector<TCurveHandle> TOpenFlights::CurveHandles() const
{
    std::vector<TCurveHandle> out;
    for (const TOpenFlight& f : rows_)
        out.push_back(f.Curves);
    return out;
}

TCheck TOpenFlights::Check(int row, int slot) const
{
    return ValidRow(row) && slot >= 0 && slot < kSlotCount ? rows_[row].Checks[slot] : TCheck::NoData;
}

int TOpenFlights::RowOf(const QString& fileName) const { return rowOfPath_.value(fileName, -1); }

int TOpenFlights::RowOfCurves(TCurveHandle h) const
{
    return h == kNoCurves ? -1 : rowOfCurves_.value(h, -1);
}

void TOpenFlights::Reindex()
{
    rowOfPath_.clear();
    rowOfCurves_.clear();
    for (int r = 0; r < RowCount(); ++r) {
        rowOfPath_.insert(rows_[r].Path, r);
        if (rows_[r].Curves != kNoCurves)
            rowOfCurves_.insert(rows_[r].Curves, r);
    }
}

void TOpenFlights::Changed() { emit GridChanged(); }

void TOpenFlights::CreateCurves(TOpenFlight& f, std::uint8_t colour)
{
    TCurveModel& m = *curves_;
    const TDataBlock& b = *f.Block;
    const TCurveHandle h = m.AddFile(f.Name, colour);
    f.Curves = h;
    m.SetRxOffsetY(h, b.RxOffsetY);
    // The line curves share the record's arrays; so does the marker curve:
    // the samples whose marker flag is 1, where the receiver is above the
    // threshold (as MarkerFlags gives them), looked for while the lines
    // are prepared.
    std::vector<TCurveModel::TSlotPoints> curves;
    for (int k = 0; k < kSlotCount; ++k)
        if (!CurveSlot(k).Points)
            curves.push_back({k, b.Shared(ArrTime), b.Shared(CurveSlot(k).Source), {}});
    const std::vector<double>& rx = b.Samples(ArrRx);
    const double threshold = device_.MarkerThreshold;
    const bool hasRx = (static_cast<std::uint32_t>(b.Flags()) & kArrayMask[ArrRx]) != 0;
    const std::size_t n = hasRx ? std::min({b.Samples(ArrTime).size(), b.Samples(CurveSlot(SlotMark).Source).size(),
                                            rx.size()})
                                : 0;
    curves.push_back({SlotMark, b.Shared(ArrTime), b.Shared(CurveSlot(SlotMark).Source), [&rx, threshold, n] {
                          std::size_t marked = 0;
                          for (std::size_t i = 0; i < n; ++i)
                              marked += rx[i] > threshold;
                          // Every sample is written and kept only when
                          // marked: one slot spare for the last write.
                          auto marks = std::make_shared<std::vector<std::int32_t>>(marked + 1);
                          std::int32_t* out = marks->data();
                          for (std::size_t i = 0; i < n; ++i) {
                              *out = static_cast<std::int32_t>(i);
                              out += rx[i] > threshold;
                          }
                          marks->pop_back();
                          return std::shared_ptr<const std::vector<std::int32_t>>(std::move(marks));
                      }});
    m.SetPointsOfSlots(h, std::move(curves));
    std::vector<TCurveLabel> labels;
    for (const TAnotace& a : b.Annotations)
        labels.push_back({a.Time, a.Altitude, a.Text});
    m.SetLabels(h, std::move(labels));
    TCurveOffsets(m).Apply(h, b.Offsets);
}

namespace {
// Collects the error boxes of a step instead of showing them.
class TCollectedMessages : public ConsoleMessageService {
public:
    void Error(const QString& text) override { Texts << text; }
    void Information(const QString& text) override { Texts << text; }
    QStringList Texts;
};
} // namespace

QString OpenFilesErrorText(const QStringList& failures) { return failures.join(QStringLiteral("\n\n")); }

int TOpenFlights::OpenDataFile(const QString& fileName)
{
    // One box for a file that cannot be opened: why, with the file's name.
    QStringList failed;
    const int row = Open(fileName, &failed);
    if (row < 0 && !failed.isEmpty())
        Messages().Error(OpenFilesErrorText(failed));
    return row;
}

int TOpenFlights::OpenFiles(const QStringList& fileNames, int* lastRow)
{
    BusyScope busy(busy_);
    emit BusyChanged(true);
    QStringList failed;
    int opened = 0;
    int last = -1;
    for (const QString& name : fileNames) {
        const QString path = QFileInfo(name).absoluteFilePath();
        int row = RowOf(path);
        if (row < 0) {
            row = Open(path, &failed);
            if (row >= 0)
                ++opened;
        }
        if (row >= 0)
            last = row;
    }
    emit BusyChanged(false);
    if (lastRow)
        *lastRow = last;
    if (!failed.isEmpty())
        Messages().Error(OpenFilesErrorText(failed));
    return opened;
}

int TOpenFlights::Open(const QString& fileName, QStringList* failures)
{
    // With failures given, the reasons are collected instead of shown;
    // every file that does not open is named there.
    auto fail = [&](const QString& message) {
        if (failures)
            failures->append(OpenErrorText(fileName, message));
        else if (!message.isEmpty())
            Messages().Error(OpenErrorText(fileName, message));
        return -1;
    };
    if (!IsRegularFile(fileName))
        return fail(failures ? QStringLiteral("The file does not exist.") : QString());
    BusyScope busy(busy_);

    TOpenFlight f;
    f.Block = std::make_unique<TDataBlock>();
    TDataBlock& block = *f.Block;
    block.NotesStream();
    int count = -1;
    TCollectedMessages readerBoxes; // the reader's own, when they are collected
    try {
        count = ReadDataFile(fileName, block, failures ? readerBoxes : Messages());
    } catch (const std::exception& e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }
    if (count < 1) {
        if (!failures)
            return -1;
        // The reader told why, or the file holds no samples.
        return fail(readerBoxes.Texts.isEmpty() ? QStringLiteral("Chyba při otevírání souboru!")
                                                : readerBoxes.Texts.join(QStringLiteral(" ")));
    }
    block.Modified = false;
    f.Path = fileName;
    f.Name = ShortFileName(fileName);
    for (int k = 0; k < kSlotCount; ++k) {
        const int src = CurveSlot(k).Source;
        bool empty = src >= 0 && !block.HasArray(src);
        if (k == SlotMark) // markers come from the receiver channel
            empty = empty || !block.HasArray(ArrRx);
        f.Checks[k] = empty ? TCheck::NoData : TCheck::Off;
    }
    const std::uint8_t colour = FirstFreeColourIndex(curves_ ? curves_->UsedColourIndices()
                                                             : std::vector<std::uint8_t>{});
    f.Colour = colour < kCurveColourCount ? kCurveColours[colour] : 0;
    if (curves_) {
        try {
            CreateCurves(f, colour);
            f.Colour = SwapRedBlue(curves_->Curve(f.Curves, SlotAlt)->Rgb);
        } catch (const std::exception& e) {
            // Out of memory for the curves of a huge file, say: open nothing.
            curves_->RemoveFile(f.Curves);
            return fail(QString::fromLocal8Bit(e.what()));
        }
    }

    const int row = RowCount();
    rows_.push_back(std::move(f));
    Reindex();
    emit RowOpened(row);
    // A file without the main channel keeps its "no data".
    if (rows_[row].Checks[SlotAlt] != TCheck::NoData)
        GridCheck(ColFirstSlot + SlotAlt, row, true);
    if (RowCount() == 1)
        GridChangeActualFile(0);
    Changed();
    return row;
}

void TOpenFlights::GridCheck(int col, int row, bool on)
{
    if (!QV_ASSERT(ValidRow(row) && col >= ColFirstSlot && col < ColFirstSlot + kSlotCount,
                   "Row and column valid in GridCheck"))
        return;
    const int slot = col - ColFirstSlot;
    TCheck& check = rows_[row].Checks[slot];
    if (check == TCheck::NoData)
        return; // nothing to show
    check = on ? TCheck::On : TCheck::Off;
    if (curves_)
        curves_->SetVisible(rows_[row].Curves, slot, on);
    emit RowChanged(row);
    Changed();
}

void TOpenFlights::MarkModified(int row)
{
    if (TDataBlock* b = Block(row))
        b->Modified = true;
}

void TOpenFlights::TakeEditorNotes()
{
    TDataBlock* b = Block(actual_);
    if (b && Info && Info->NotesChanged()) {
        b->NotesStream() = Info->NotesBytes();
        b->Modified = true;
        Info->MarkNotesUnchanged();
    }
}

void TOpenFlights::GridChangeActualFile(int row)
{
    if (!ValidRow(row))
        return;
    TakeEditorNotes();
    actual_ = row;
    TDataBlock& b = *rows_[row].Block;
    if (Info) {
        TFlightInfo info = FlightInfoOf(b);
        info.FileName = rows_[row].Path;
        Info->ShowInfo(info);
        Info->SetNotes(b.NotesText());
    }
    emit ActualChanged(row);
}

void TOpenFlights::RebuildAnnotations(TOpenFlight& f) const
{
    if (!curves_ || !curves_->Has(f.Curves))
        return; // no curves: keep the annotations read from the file
    // The model keeps them in the file's coordinates, offsets aside.
    std::vector<TAnotace> annotations;
    for (const TCurveLabel& l : curves_->Labels(f.Curves))
        annotations.push_back({l.Time, l.Altitude, l.Text});
    f.Block->Annotations = std::move(annotations);
}

void TOpenFlights::StoreOffsets(TOpenFlight& f) const
{
    if (!curves_ || !curves_->Has(f.Curves))
        return;
    f.Block->Offsets = TCurveOffsets(*curves_).Stored(f.Curves);
    f.Block->RxOffsetY = curves_->File(f.Curves)->RxOffsetY;
}

TOpenFlights::SaveResult TOpenFlights::SaveStep(int row, bool ask)
{
    TDataBlock* b = Block(row);
    if (!b)
        return SaveResult::NotSaved;
    TOpenFlight& f = rows_[row];
    if (ask) {
        if (!b->Modified)
            return SaveResult::NotSaved;
        const QString q = QStringLiteral("Do you want to save changes of ") + ShownName(f.Path) + QStringLiteral("?");
        if (Messages().Question(q, Buttons::YesNo) != Answer::Yes)
            return SaveResult::NotSaved;
    }
    QString path = f.Path;
    if (!IsRegularFile(path)) {
        path = Messages().SaveFileName(QStringLiteral("DataFile ") + ShownName(path) + QStringLiteral(" not found!"), path,
                                       QString::fromLatin1(kDataFileFilter), QString::fromLatin1(kDataFileSuffix));
        if (path.isEmpty())
            return SaveResult::NotSaved;
    }
    RebuildAnnotations(f);
    StoreOffsets(f);
    while (!WriteDataFile(path, *b, Messages())) {
        // At closing the edits would be lost: another place is offered
        // until one takes the file or the user gives up.
        if (!ask)
            return SaveResult::Failed;
        path = Messages().SaveFileName(QStringLiteral("Save as..."), path, QString::fromLatin1(kDataFileFilter),
                                       QString::fromLatin1(kDataFileSuffix));
        if (path.isEmpty())
            return SaveResult::Failed;
    }
    b->Modified = false;
    if (path != f.Path) {
        f.Path = path;
        f.Name = ShortFileName(path);
        Reindex();
        if (row == actual_ && Info) {
            TFlightInfo info = FlightInfoOf(*b);
            info.FileName = path;
            Info->ShowInfo(info);
        }
        emit RowChanged(row);
        Changed();
    }
    return SaveResult::Saved;
}

TOpenFlights::SaveResult TOpenFlights::GridSaveFile(int row)
{
    if (!ValidRow(row))
        return SaveResult::NotSaved;
    BusyScope busy(busy_);
    if (row == actual_)
        TakeEditorNotes();
    return SaveStep(row, false);
}

bool TOpenFlights::GridCloseFile(int row, bool force)
{
    // A row already being closed (its question is on the screen) is not
    // closed a second time from within.
    if (!ValidRow(row) || closing_.count(Block(row)))
        return false;
    BusyScope busy(busy_);
    const TDataBlock* closing = Block(row);
    closing_.insert(closing);
    struct Done {
        std::set<const TDataBlock*>& set;
        const TDataBlock* b;
        ~Done() { set.erase(b); }
    } done{closing_, closing};
    try {
        const bool current = row == actual_;
        if (current)
            TakeEditorNotes();
        if (SaveStep(row, true) == SaveResult::Failed && !force)
            return false; // keep the unsaved record open
        // The question let other events run: the row may have moved.
        row = -1;
        for (int r = 0; r < RowCount(); ++r)
            if (rows_[r].Block.get() == closing)
                row = r;
        if (!QV_ASSERT(row >= 0, "P<>nil in GridCloseFile"))
            return false;
        if (curves_)
            curves_->RemoveFile(rows_[row].Curves);
        rows_[row].Block->Release();
        rows_.erase(rows_.begin() + row);
        Reindex();
        if (row == actual_) {
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

bool TOpenFlights::GridRenameRow(int row, const QString& fileName)
{
    if (!ValidRow(row)) {
        Messages().Error(QStringLiteral("Chyba při přejmenování seznamu otevřených souborů! Řádek neexistuje!"));
        return false;
    }
    rows_[row].Path = fileName;
    rows_[row].Name = ShortFileName(fileName);
    if (curves_)
        curves_->SetShortName(rows_[row].Curves, rows_[row].Name);
    Reindex();
    emit RowChanged(row);
    Changed();
    return true;
}

bool TOpenFlights::GridMoveRow(int from, int to)
{
    if (!ValidRow(from) || !ValidRow(to))
        return false;
    if (from == to)
        return true;
    TOpenFlight moving = std::move(rows_[from]);
    rows_.erase(rows_.begin() + from);
    rows_.insert(rows_.begin() + to, std::move(moving));
    if (actual_ == from)
        actual_ = to;
    else if (from < actual_ && actual_ <= to)
        --actual_;
    else if (to <= actual_ && actual_ < from)
        ++actual_;
    Reindex();
    emit RowMoved(from, to);
    Changed();
    return true;
}

int TOpenFlights::GridCloseAll(bool force)
{
    for (int row = RowCount() - 1; row >= 0; --row)
        GridCloseFile(row, force);
    return RowCount();
}

} // namespace qv
