#include "data/Data.h"

#include "graph/GraphStyle.h"
#include "base/MessageService.h"
#include "ui/HourGlass.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTableWidget>
#include <exception>

namespace qv {

namespace {

const char* const kCheckCaptions[kSlotCount] = {"Altitude", "Servo", "Voltage", "Marker", "Annotation"};
const char* const kHeaders[TOpenData::kColumns] = {"File", "Alt", "RX", "PowS", "Mark", "Annot", "Path", "Colour"};

} // namespace

TDataView::TDataView(TOpenData& data, QTableWidget* grid, QObject* parent)
    : QObject(parent), StringGrid1(grid), data_(data)
{
    data_.OnGridChanged = [this] { SyncGrid(); };

    if (StringGrid1) {
        StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
        StringGrid1->setColumnCount(TOpenData::kColumns);
        QStringList headers;
        for (const char* h : kHeaders)
            headers << QString::fromLatin1(h);
        StringGrid1->setHorizontalHeaderLabels(headers);
        StringGrid1->verticalHeader()->hide();
        StringGrid1->verticalHeader()->setDefaultSectionSize(StringGrid1->fontMetrics().height() + 4);
        StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
        StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
        StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
        StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
        for (int c = TOpenData::ColFirstSlot; c < TOpenData::ColFirstSlot + kSlotCount; ++c)
            StringGrid1->setColumnWidth(c, 42);
        StringGrid1->setColumnWidth(TOpenData::ColColour, 50);
        StringGrid1->hide();

        connect(StringGrid1, &QTableWidget::cellClicked, this,
                [this](int row, int col) { StringGrid1CellClicked(row, col); });
        connect(StringGrid1, &QTableWidget::currentCellChanged, this,
                [this](int row, int, int, int) { StringGrid1CurrentChanged(row); });
        connect(StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
            const int row = StringGrid1->rowAt(pos.y());
            if (row < 0)
                return;
            PreparePopup(row);
            PopupGrid->popup(StringGrid1->viewport()->mapToGlobal(pos));
        });
    }

    PopupGrid = new QMenu(StringGrid1);
    PopupGrid->setObjectName(QStringLiteral("PopupGrid"));
    mnuGridClose = PopupGrid->addAction(QStringLiteral("Close Data"));
    mnuGridSave = PopupGrid->addAction(QStringLiteral("Save"));
    PopupGrid->addSeparator();
    for (int k = 0; k < kSlotCount; ++k) {
        QAction* a = PopupGrid->addAction(QString::fromLatin1(kCheckCaptions[k]));
        a->setCheckable(true);
        a->setData(k);
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
    data_.OnGridChanged = nullptr;
    if (!StringGrid1)
        delete PopupGrid;
}

void TDataView::SyncGrid()
{
    if (!StringGrid1)
        return;
    syncing_ = true;
    const int rows = data_.RowCount();
    StringGrid1->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < TOpenData::kColumns; ++c) {
            QTableWidgetItem* item = StringGrid1->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                // Check marks change only through GridCheck.
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
                StringGrid1->setItem(r, c, item);
            }
            const QString cell = data_.Cell(c, r);
            item->setData(Qt::UserRole, cell);
            if (c >= TOpenData::ColFirstSlot && c < TOpenData::ColFirstSlot + kSlotCount) {
                item->setTextAlignment(Qt::AlignCenter);
                if (cell == QLatin1String("2")) {
                    item->setData(Qt::CheckStateRole, QVariant());
                    item->setText(QStringLiteral("-"));
                    item->setToolTip(QStringLiteral("No data"));
                } else {
                    item->setText(QString());
                    item->setCheckState(cell == QLatin1String("1") ? Qt::Checked : Qt::Unchecked);
                }
            } else if (c == TOpenData::ColColour) {
                const QColor colour = QColor::fromRgb(SwapRedBlue(cell.toUInt()));
                item->setBackground(colour);
                item->setForeground(colour.lightness() < 128 ? Qt::white : Qt::black);
                item->setText(cell);
            } else {
                item->setText(cell);
                if (c == TOpenData::ColName)
                    item->setToolTip(data_.Cell(TOpenData::ColPath, r));
            }
        }
    }
    const int actual = data_.Actual();
    if (actual >= 0 && actual < rows) {
        if (StringGrid1->currentRow() != actual)
            StringGrid1->setCurrentCell(actual, TOpenData::ColName);
    } else if (StringGrid1->currentRow() >= 0) {
        // No current file: a click on any row makes it current again.
        StringGrid1->setCurrentCell(-1, -1);
    }
    StringGrid1->setVisible(rows > 0);
    syncing_ = false;
    if (rows != lastRows_) {
        lastRows_ = rows;
        emit RowCountChanged(rows);
    }
}

void TDataView::StringGrid1CellClicked(int row, int col)
{
    if (col < TOpenData::ColFirstSlot || col >= TOpenData::ColFirstSlot + kSlotCount)
        return;
    const QString cell = data_.Cell(col, row);
    if (cell == QLatin1String("2") || cell.isEmpty())
        return;
    data_.GridCheck(col, row, cell != QLatin1String("1"));
}

void TDataView::StringGrid1CurrentChanged(int row)
{
    if (syncing_ || row < 0)
        return;
    data_.GridChangeActualFile(row);
}

void TDataView::PreparePopup(int row)
{
    PopupRow = row;
    for (int k = 0; k < kSlotCount; ++k) {
        const QString cell = data_.Cell(TOpenData::ColFirstSlot + k, row);
        mnuGridCheck[k]->setChecked(cell == QLatin1String("1"));
        mnuGridCheck[k]->setEnabled(cell != QLatin1String("2"));
    }
}

void TDataView::mnuGridCloseClick()
{
    if (!data_.ValidRow(PopupRow))
        return;
    data_.GridCloseFile(PopupRow);
}

void TDataView::mnuGridSaveClick()
{
    if (!data_.ValidRow(PopupRow))
        return;
    THourGlass wait;
    try {
        data_.GridSaveFile(PopupRow);
    } catch (const std::exception& e) {
        Messages().error(QStringLiteral("Error by saving data!\n") + QString::fromLocal8Bit(e.what()));
    }
}

void TDataView::mnuGridCheckClick(int tag, bool checked)
{
    if (!data_.ValidRow(PopupRow) || tag < 0 || tag >= kSlotCount)
        return;
    data_.GridCheck(tag + TOpenData::ColFirstSlot, PopupRow, checked);
}

} // namespace qv
