#pragma once
// The logbook's rows for a table view, and the filter and sort of the page:
// the file name, the notes and the annotation texts against the filter
// words, a date range, numbers and dates sorted as numbers and dates, and
// the totals of the rows shown.
#include "logbook/Logbook.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QHash>
#include <QSortFilterProxyModel>
#include <optional>
#include <vector>

namespace qv {

// The column of the sparkline, after the figures.
constexpr int LogCurve = kLogColumns;

class TLogbookModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TLogbookModel(TLogbook& logbook, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const TLogEntry* EntryAt(int row) const;
    // The row's file name folded for sorting without regard to case.
    const QString& FileKey(int row) const { return keys_[static_cast<std::size_t>(row)]; }
    // Column titles as the view shows them (wrapped into lines, say);
    // the column names when not set.
    void SetHeaderTexts(const QStringList& texts);
    int RowOf(const QString& file) const { return rowOf_.value(file, -1); }

private:
    void Rebuild();
    void Added(const QStringList& files);
    void Changed(const QStringList& files);
    void Removing(const QStringList& files);
    void Renumber();

    TLogbook& logbook_;
    std::vector<const TLogEntry*> rows_;
    std::vector<QString> keys_; // FileKey of each row
    QHash<QString, int> rowOf_;
    QStringList headers_;
};

struct TLogTotals {
    int Flights = 0;
    double TowTime = 0;
    std::optional<double> HighestMaximum;
};

// "Flights: 3   Total tow time: 65.0 s (0:01:05)   Highest maximum: 187.25"
QString TotalsText(const TLogTotals& totals);

class TLogbookFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit TLogbookFilter(TLogbookModel& model, QObject* parent = nullptr);

    // Rows whose file name, notes or annotation texts hold every word.
    void SetText(const QString& text);
    // Rows whose date lies from..to (days, both included); none: no limit.
    void SetDateRange(std::optional<QDate> from, std::optional<QDate> to);

    const TLogEntry* EntryAt(int proxyRow) const;
    std::vector<const TFlightFigures*> ShownRows() const;
    TLogTotals Totals() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    TLogbookModel& model_;
    QStringList words_;
    std::optional<QDate> from_, to_;
};

} // namespace qv
