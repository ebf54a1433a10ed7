#include "logbook/LogbookModel.h"

#include "data/DataFile.h"
#include "flights/OpenFlights.h"

#include <QDateTime>
#include <algorithm>

namespace qv {

namespace {

// Batches larger than this reset the view rather than move rows one by one.
constexpr int kResetBatch = 200;

bool NumericColumn(int column) { return column >= LogSampling && column <= LogAnnotations; }

std::optional<double> Number(const TFlightFigures& f, int column)
{
    if (f.Refused)
        return std::nullopt;
    switch (column) {
    case LogSampling: return f.SamplingMs;
    case LogSamples: return f.Samples;
    case LogFlightTime: return f.FlightTime;
    case LogMaximum: return f.Maximum;
    case LogTimeOfMax: return f.TimeOfMax;
    case LogTowStart: return f.TowStart;
    case LogRelease: return f.Release;
    case LogTowTime: return f.TowTime;
    case LogMeanTow: return f.MeanTow;
    case LogMinVoltage: return f.MinVoltage;
    case LogAnnotations: return f.Annotations;
    default: return std::nullopt;
    }
}

int CompareText(const QString& a, const QString& b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c : a.compare(b);
}

} // namespace

TLogbookModel::TLogbookModel(TLogbook& logbook, QObject* parent) : QAbstractTableModel(parent), logbook_(logbook)
{
    connect(&logbook_, &TLogbook::Reset, this, &TLogbookModel::Rebuild);
    connect(&logbook_, &TLogbook::EntriesAdded, this, &TLogbookModel::Added);
    connect(&logbook_, &TLogbook::EntriesChanged, this, &TLogbookModel::Changed);
    connect(&logbook_, &TLogbook::EntriesRemoving, this, &TLogbookModel::Removing);
    Rebuild();
}

int TLogbookModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TLogbookModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kLogColumns + 1; }

const TLogEntry* TLogbookModel::EntryAt(int row) const
{
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<std::size_t>(row)] : nullptr;
}

QVariant TLogbookModel::data(const QModelIndex& index, int role) const
{
    const TLogEntry* e = EntryAt(index.row());
    if (!e || index.column() >= kLogColumns)
        return {};
    const TFlightFigures& f = e->Figures;
    switch (role) {
    case Qt::DisplayRole: return FigureText(f, index.column());
    case Qt::ToolTipRole:
        return index.column() == LogNotes || index.column() == LogFile ? FigureText(f, index.column()) : QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(NumericColumn(index.column()) ? Qt::AlignRight | Qt::AlignVCenter
                                                                 : Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant TLogbookModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section >= 0 && section < headers_.size())
        return headers_[section];
    if (section == LogCurve)
        return QStringLiteral("Curve");
    return section >= 0 && section < kLogColumns ? LogColumnNames()[section] : QVariant();
}

void TLogbookModel::SetHeaderTexts(const QStringList& texts)
{
    headers_ = texts;
    emit headerDataChanged(Qt::Horizontal, 0, kLogColumns);
}

void TLogbookModel::Renumber()
{
    rowOf_.clear();
    rowOf_.reserve(static_cast<qsizetype>(rows_.size()));
    keys_.resize(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        rowOf_.insert(rows_[i]->Figures.File, static_cast<int>(i));
        keys_[i] = rows_[i]->Figures.File.toCaseFolded();
    }
}

void TLogbookModel::Rebuild()
{
    beginResetModel();
    rows_ = logbook_.Entries(); // in no order: the view sorts
    Renumber();
    endResetModel();
}

void TLogbookModel::Added(const QStringList& files)
{
    std::vector<const TLogEntry*> add;
    for (const QString& file : files)
        if (!rowOf_.contains(file))
            if (const TLogEntry* e = logbook_.Entry(file))
                add.push_back(e);
    if (add.empty())
        return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(add.size()) - 1);
    for (const TLogEntry* e : add) {
        rowOf_.insert(e->Figures.File, static_cast<int>(rows_.size()));
        rows_.push_back(e);
        keys_.push_back(e->Figures.File.toCaseFolded());
    }
    endInsertRows();
}

void TLogbookModel::Changed(const QStringList& files)
{
    for (const QString& file : files) {
        const int row = RowOf(file);
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, kLogColumns));
    }
}

void TLogbookModel::Removing(const QStringList& files)
{
    std::vector<int> rows;
    for (const QString& file : files)
        if (const int row = RowOf(file); row >= 0)
            rows.push_back(row);
    if (rows.empty())
        return;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    if (static_cast<int>(rows.size()) > kResetBatch) {
        beginResetModel();
        for (int row : rows)
            rows_.erase(rows_.begin() + row);
        Renumber();
        endResetModel();
        return;
    }
    for (int row : rows) {
        beginRemoveRows({}, row, row);
        rows_.erase(rows_.begin() + row);
        keys_.erase(keys_.begin() + row);
        endRemoveRows();
    }
    Renumber();
}

QString TotalsText(const TLogTotals& t)
{
    QString tow = QString::fromStdString(FormatFixed(t.TowTime, kTimeDecimals)) + QStringLiteral(" s");
    if (t.TowTime >= 60)
        tow += QStringLiteral(" (") + FormatFlightTime(t.TowTime) + QLatin1Char(')');
    const QString highest =
        t.HighestMaximum ? QString::fromStdString(FormatFixed(*t.HighestMaximum, kValueDecimals)) : QString();
    return QStringLiteral("Flights: %1   Total tow time: %2   Highest maximum: %3").arg(t.Flights).arg(tow, highest);
}

TLogbookFilter::TLogbookFilter(TLogbookModel& model, QObject* parent) : QSortFilterProxyModel(parent), model_(model)
{
    setSourceModel(&model_);
    setDynamicSortFilter(true);
}

void TLogbookFilter::SetText(const QString& text)
{
    const QStringList words = FoldForSearch(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words == words_)
        return;
    words_ = words;
    invalidateFilter();
}

void TLogbookFilter::SetDateRange(std::optional<QDate> from, std::optional<QDate> to)
{
    if (from == from_ && to == to_)
        return;
    from_ = from;
    to_ = to;
    invalidateFilter();
}

const TLogEntry* TLogbookFilter::EntryAt(int proxyRow) const
{
    return model_.EntryAt(mapToSource(index(proxyRow, 0)).row());
}

bool TLogbookFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const TLogEntry* e = model_.EntryAt(sourceRow);
    if (!e)
        return false;
    const TFlightFigures& f = e->Figures;
    if (from_ || to_) {
        if (f.DateKey == 0)
            return false;
        const QDate d = QDateTime::fromMSecsSinceEpoch(f.DateKey).date();
        if ((from_ && d < *from_) || (to_ && d > *to_))
            return false;
    }
    if (words_.isEmpty())
        return true;
    const QString name = FoldForSearch(f.File);
    return std::all_of(words_.begin(), words_.end(),
                       [&](const QString& w) { return name.contains(w) || f.SearchText.contains(w); });
}

bool TLogbookFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const TLogEntry* a = model_.EntryAt(left.row());
    const TLogEntry* b = model_.EntryAt(right.row());
    if (!a || !b)
        return a < b;
    const TFlightFigures& fa = a->Figures;
    const TFlightFigures& fb = b->Figures;
    const int column = left.column();
    if (column == LogDate && fa.DateKey != fb.DateKey)
        return fa.DateKey < fb.DateKey;
    if (column == LogCurve && fa.Maximum != fb.Maximum)
        return fa.Maximum < fb.Maximum; // no value before any value
    if (NumericColumn(column)) {
        const std::optional<double> na = Number(fa, column), nb = Number(fb, column);
        if (na != nb)
            return na < nb;
    } else if (column == LogNotes || column == LogDate) {
        const int c = CompareText(FigureText(fa, column), FigureText(fb, column));
        if (c != 0)
            return c < 0;
    }
    const QString& ka = model_.FileKey(left.row());
    const QString& kb = model_.FileKey(right.row());
    return ka != kb ? ka < kb : fa.File < fb.File;
}

std::vector<const TFlightFigures*> TLogbookFilter::ShownRows() const
{
    std::vector<const TFlightFigures*> rows;
    const int n = rowCount();
    rows.reserve(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r)
        if (const TLogEntry* e = EntryAt(r))
            rows.push_back(&e->Figures);
    return rows;
}

TLogTotals TLogbookFilter::Totals() const
{
    TLogTotals t;
    for (const TFlightFigures* f : ShownRows()) {
        ++t.Flights;
        if (f->TowTime)
            t.TowTime += *f->TowTime;
        if (f->Maximum && (!t.HighestMaximum || *f->Maximum > *t.HighestMaximum))
            t.HighestMaximum = f->Maximum;
    }
    return t;
}

} // namespace qv
