#include "flights/Data.h"

#include "base/MessageService.h"
#include "ui/HourGlass.h"

#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>
#include <QTableView>
#include <exception>

namespace qv {

int TDataView::CheckColumnWidth(const QTableView& grid)
{
    const int indicator = grid.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &grid);
    int widest = 0;
    for (int c = TOpenFlights::ColFirstSlot; c < TOpenFlights::ColFirstSlot + kSlotCount; ++c)
        widest = qMax(widest, grid.horizontalHeader()->fontMetrics().horizontalAdvance(TOpenFlightsModel::Heading(c)));
    return qMax(indicator, widest) + 6;
}

TDataView::TDataView(TOpenFlights& flights, QTableView* grid, QObject* parent)
    : QObject(parent), StringGrid1(grid), flights_(flights)
{
    Model = new TOpenFlightsModel(flights_, this);
    connect(&flights_, &TOpenFlights::GridChanged, this, &TDataView::SyncGrid);
    connect(&flights_, &TOpenFlights::ActualChanged, this, &TDataView::SyncGrid);
    connect(&flights_, &TOpenFlights::BusyChanged, this, [this](bool busy) {
        if (busy) {
            ++hourglass_;
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        } else if (hourglass_ > 0) {
            --hourglass_;
            QGuiApplication::restoreOverrideCursor();
        }
    });

    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(Model);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setDefaultSectionSize(StringGrid1->fontMetrics().height() + 4);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    // The path and the colour show as the name's tool tip and swatch.
    StringGrid1->setColumnHidden(TOpenFlights::ColPath, true);
    StringGrid1->setColumnHidden(TOpenFlights::ColColour, true);
    const int check = CheckColumnWidth(*StringGrid1);
    StringGrid1->horizontalHeader()->setMinimumSectionSize(qMin(check, 20));
    for (int c = TOpenFlights::ColFirstSlot; c < TOpenFlights::ColFirstSlot + kSlotCount; ++c)
        StringGrid1->setColumnWidth(c, check);
    const int swatch = StringGrid1->fontMetrics().ascent();
    StringGrid1->setIconSize(QSize(swatch, swatch));
    Model->SetSwatchSize(swatch);
    StringGrid1->hide();

    connect(StringGrid1, &QTableView::clicked, this,
            [this](const QModelIndex& index) { StringGrid1Clicked(index.row(), index.column()); });
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { StringGrid1CurrentChanged(current.row()); });
    connect(StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const int row = StringGrid1->rowAt(pos.y());
        if (row < 0)
            return;
        PreparePopup(row);
        PopupGrid->popup(StringGrid1->viewport()->mapToGlobal(pos));
    });

    PopupGrid = new QMenu(StringGrid1);
    PopupGrid->setObjectName(QStringLiteral("PopupGrid"));
    mnuGridClose = PopupGrid->addAction(QStringLiteral("Close Data"));
    mnuGridSave = PopupGrid->addAction(QStringLiteral("Save"));
    PopupGrid->addSeparator();
    for (int k = 0; k < kSlotCount; ++k) {
        QAction* a = PopupGrid->addAction(TOpenFlightsModel::CheckCaption(k));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, k](bool on) { mnuGridCheckClick(k, on); });
        mnuGridCheck[k] = a;
    }
    PopupGrid->addSeparator();
    PopupGrid->addAction(QStringLiteral("Cancel"));
    connect(mnuGridClose, &QAction::triggered, this, [this] { mnuGridCloseClick(); });
    connect(mnuGridSave, &QAction::triggered, this, [this] { mnuGridSaveClick(); });
    SyncGrid();
}

TDataView::~TDataView()
{
    while (hourglass_-- > 0)
        QGuiApplication::restoreOverrideCursor();
}

void TDataView::SyncGrid()
{
    syncing_ = true;
    const int rows = flights_.RowCount();
    const int actual = flights_.Actual();
    const QModelIndex current = StringGrid1->currentIndex();
    if (actual >= 0 && actual < rows) {
        if (current.row() != actual)
            StringGrid1->setCurrentIndex(Model->index(actual, TOpenFlights::ColName));
    } else if (current.isValid()) {
        // No current file: a click on any row makes it current again.
        StringGrid1->setCurrentIndex(QModelIndex());
        StringGrid1->clearSelection();
    }
    StringGrid1->setVisible(rows > 0);
    syncing_ = false;
    if (rows != lastRows_) {
        lastRows_ = rows;
        emit RowCountChanged(rows);
    }
}

void TDataView::StringGrid1Clicked(int row, int col)
{
    const int slot = col - TOpenFlights::ColFirstSlot;
    if (slot < 0 || slot >= kSlotCount)
        return;
    const TCheck check = flights_.Check(row, slot);
    if (check == TCheck::NoData)
        return;
    flights_.GridCheck(col, row, check != TCheck::On);
}

void TDataView::StringGrid1CurrentChanged(int row)
{
    if (syncing_ || row < 0)
        return;
    flights_.GridChangeActualFile(row);
}

void TDataView::PreparePopup(int row)
{
    PopupRow = row;
    for (int k = 0; k < kSlotCount; ++k) {
        const TCheck check = flights_.Check(row, k);
        mnuGridCheck[k]->setChecked(check == TCheck::On);
        mnuGridCheck[k]->setEnabled(check != TCheck::NoData);
    }
}

void TDataView::mnuGridCloseClick()
{
    if (!flights_.ValidRow(PopupRow))
        return;
    flights_.GridCloseFile(PopupRow);
}

void TDataView::mnuGridSaveClick()
{
    if (!flights_.ValidRow(PopupRow))
        return;
    THourGlass wait;
    try {
        flights_.GridSaveFile(PopupRow);
    } catch (const std::exception& e) {
        Messages().Error(QStringLiteral("Error by saving data!\n") + QString::fromLocal8Bit(e.what()));
    }
}

void TDataView::mnuGridCheckClick(int slot, bool checked)
{
    if (!flights_.ValidRow(PopupRow) || slot < 0 || slot >= kSlotCount)
        return;
    flights_.GridCheck(slot + TOpenFlights::ColFirstSlot, PopupRow, checked);
}

} // namespace qv
