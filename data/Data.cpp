#include "data/Data.h"

#include "graph/GraphStyle.h"
#include "base/MessageService.h"
#include "ui/HourGlass.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QTableWidget>
#include <exception>

namespace qv {

namespace {

const char* const kCheckCaptions[kSlotCount] = {"Altitude", "Servo", "Voltage", "Marker", "Annotation"};
// Short headings keep the check columns narrow; the tool tips say more.
const char* const kHeaders[TOpenData::kColumns] = {"File", "A", "S", "V", "M", "An", "Path", "Colour"};

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

int TDataView::CheckColumnWidth(const QTableWidget& grid)
{
    const int indicator = grid.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &grid);
    int widest = 0;
    for (int c = TOpenData::ColFirstSlot; c < TOpenData::ColFirstSlot + kSlotCount; ++c)
        widest = qMax(widest, grid.horizontalHeader()->fontMetrics().horizontalAdvance(QString::fromLatin1(kHeaders[c])));
    return qMax(indicator, widest) + 6;
}

TDataView::TDataView(TOpenData& data, QTableWidget* grid, QObject* parent)
    : QObject(parent), StringGrid1(grid), data_(data)
{
    connect(&data_, &TOpenData::GridChanged, this, &TDataView::SyncGrid);

    if (StringGrid1) {
        StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
        StringGrid1->setColumnCount(TOpenData::kColumns);
        QStringList headers;
        for (const char* h : kHeaders)
            headers << QString::fromLatin1(h);
        StringGrid1->setHorizontalHeaderLabels(headers);
        for (int k = 0; k < kSlotCount; ++k)
            StringGrid1->horizontalHeaderItem(TOpenData::ColFirstSlot + k)
                ->setToolTip(QString::fromLatin1(kCheckCaptions[k]));
        StringGrid1->verticalHeader()->hide();
        StringGrid1->verticalHeader()->setDefaultSectionSize(StringGrid1->fontMetrics().height() + 4);
        StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
        StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
        StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
        StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
        // The path and the colour show as the name's tool tip and swatch.
        StringGrid1->setColumnHidden(TOpenData::ColPath, true);
        StringGrid1->setColumnHidden(TOpenData::ColColour, true);
        const int check = CheckColumnWidth(*StringGrid1);
        StringGrid1->horizontalHeader()->setMinimumSectionSize(qMin(check, 20));
        for (int c = TOpenData::ColFirstSlot; c < TOpenData::ColFirstSlot + kSlotCount; ++c)
            StringGrid1->setColumnWidth(c, check);
        const int swatch = StringGrid1->fontMetrics().ascent();
        StringGrid1->setIconSize(QSize(swatch, swatch));
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
                if (c == TOpenData::ColName) {
                    item->setToolTip(data_.Cell(TOpenData::ColPath, r));
                    bool ok = false;
                    const unsigned bgr = data_.Cell(TOpenData::ColColour, r).toUInt(&ok);
                    item->setIcon(ok ? Swatch(QColor::fromRgb(SwapRedBlue(bgr)), StringGrid1->iconSize().width())
                                     : QIcon());
                }
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
        Messages().Error(QStringLiteral("Error by saving data!\n") + QString::fromLocal8Bit(e.what()));
    }
}

void TDataView::mnuGridCheckClick(int tag, bool checked)
{
    if (!data_.ValidRow(PopupRow) || tag < 0 || tag >= kSlotCount)
        return;
    data_.GridCheck(tag + TOpenData::ColFirstSlot, PopupRow, checked);
}

} // namespace qv
