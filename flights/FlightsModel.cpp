#include "flights/FlightsModel.h"

#include "graph/CurveTable.h"
#include "graph/GraphStyle.h"

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace qv {

namespace {

// Short headings keep the check columns narrow; the tool tips say more.
const char* const kHeadings[TOpenFlights::kColumns] = {"File", "A", "S", "V", "M", "An", "Path", "Colour"};

bool IsCheckColumn(int c) { return c >= TOpenFlights::ColFirstSlot && c < TOpenFlights::ColFirstSlot + kSlotCount; }

// The curve colour as a small square with a dark outline.
QIcon Swatch(const QColor& colour, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(colour);
    p.drawRect(0, 0, size - 1, size - 1);
    return QIcon(pixmap);
}

} // namespace

TOpenFlightsModel::TOpenFlightsModel(TOpenFlights& flights, QObject* parent)
    : QAbstractTableModel(parent), flights_(flights)
{
    // Rows come and go as a whole; a row's cells change in place.
    auto reset = [this] {
        beginResetModel();
        endResetModel();
    };
    connect(&flights_, &TOpenFlights::RowOpened, this, reset);
    connect(&flights_, &TOpenFlights::RowClosed, this, reset);
    connect(&flights_, &TOpenFlights::RowMoved, this, reset);
    connect(&flights_, &TOpenFlights::RowChanged, this,
            [this](int row) { emit dataChanged(index(row, 0), index(row, TOpenFlights::kColumns - 1)); });
}

QString TOpenFlightsModel::Heading(int column)
{
    return column >= 0 && column < TOpenFlights::kColumns ? QString::fromLatin1(kHeadings[column]) : QString();
}

QString TOpenFlightsModel::CheckCaption(int slot) { return QString::fromLatin1(CurveSlot(slot).Caption); }

int TOpenFlightsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : flights_.RowCount();
}

int TOpenFlightsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : TOpenFlights::kColumns;
}

Qt::ItemFlags TOpenFlightsModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QVariant TOpenFlightsModel::data(const QModelIndex& index, int role) const
{
    const TOpenFlight* f = flights_.Row(index.row());
    if (!f || index.column() < 0 || index.column() >= TOpenFlights::kColumns)
        return {};
    const int c = index.column();
    const QColor colour = QColor::fromRgb(SwapRedBlue(f->Colour));
    if (IsCheckColumn(c)) {
        const TCheck check = f->Checks[c - TOpenFlights::ColFirstSlot];
        switch (role) {
        case Qt::DisplayRole: return check == TCheck::NoData ? QStringLiteral("-") : QString();
        case Qt::CheckStateRole:
            return check == TCheck::NoData ? QVariant() : QVariant(check == TCheck::On ? Qt::Checked : Qt::Unchecked);
        case Qt::ToolTipRole: return check == TCheck::NoData ? QStringLiteral("No data") : QVariant();
        case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
        default: return {};
        }
    }
    switch (c) {
    case TOpenFlights::ColName:
        if (role == Qt::DisplayRole)
            return f->Name;
        if (role == Qt::ToolTipRole)
            return f->Path;
        if (role == Qt::DecorationRole)
            return Swatch(colour, swatch_);
        return {};
    case TOpenFlights::ColPath: return role == Qt::DisplayRole ? QVariant(f->Path) : QVariant();
    case TOpenFlights::ColColour:
        if (role == Qt::DisplayRole)
            return QString::number(f->Colour);
        if (role == Qt::BackgroundRole)
            return colour;
        if (role == Qt::ForegroundRole)
            return QColor(colour.lightness() < 128 ? Qt::white : Qt::black);
        return {};
    default: return {};
    }
}

QVariant TOpenFlightsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return Heading(section);
    if (role == Qt::ToolTipRole && IsCheckColumn(section))
        return CheckCaption(section - TOpenFlights::ColFirstSlot);
    return {};
}

} // namespace qv
