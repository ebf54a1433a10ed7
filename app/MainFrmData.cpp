// The main window's data views: the data folder tree, the open-files grid
// and the chart, and how the shell reaches them.
#include "app/MainFrm.h"

#include "device/DoskComUnit.h"
#include "browser/FlightInfo.h"
#include "browser/TreeView.h"
#include "data/Data.h"
#include "data/OpenData.h"
#include "graph/Chart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QLayout>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>

namespace qv {

namespace {
// Calls back on every resize of a widget.
class ResizeHook : public QObject {
public:
    ResizeHook(QWidget* watched, std::function<void()> f) : QObject(watched), f_(std::move(f))
    {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Resize && f_)
            f_();
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> f_;
};
} // namespace

struct TFormMain::DataViews {
    DataViews(TDataList& list, int& actual) : Open(list, actual) {}
    ~DataViews()
    {
        delete View; // it refers to Open
        Open.Graph = nullptr;
        Open.Info = nullptr;
    }
    TOpenData Open;
    TTreeView* Tree = nullptr;
    TDataView* View = nullptr;
    TChartView* Chart = nullptr;
};

void TFormMain::CreateDataViews()
{
    views_ = new DataViews(DataList, ActualRow);
    DataViews& v = *views_;
    auto device = [this] { return DoskComForm ? TDeviceSettings(DoskComForm->Settings()) : Settings.Device; };

    // The chart of the graph page.
    v.Chart = new TChartView(PanelChart);
    PanelChart->layout()->addWidget(v.Chart);
    v.Chart->DeviceSettings = device;
    v.Open.Graph = v.Chart;
    v.Open.DeviceSettings = device;

    // The open-files grid and the flight information page.
    auto* grid = new QTableWidget(PanelGrid);
    PanelGrid->layout()->addWidget(grid);
    v.View = new TDataView(v.Open, grid, this);
    v.Open.Info = InfoPage;
    new ResizeHook(PanelGrid, [this] { LayoutGrid(); });
    connect(v.View, &TDataView::RowCountChanged, this, [this](int rows) {
        PanelGrid->setVisible(rows > 0);
        if (rows > 0)
            PageControl1->setEnabled(true);
        LayoutGrid();
    });

    // The data folder tree.
    auto* tree = new QTreeWidget(PanelTree);
    PanelTree->layout()->addWidget(tree);
    v.Tree = new TTreeView(tree, this);
    v.Tree->NotificationsOn = [this] { return TreeNotify; };
    v.Tree->Busy = [this] { return views_ && views_->Open.Busy(); };
    v.Tree->OpenFile = [this](const QString& fileName) { return views_->Open.OpenDataFile(fileName); };
    v.Tree->CloseRow = [this](int row) { CloseRow(row); };
    v.Tree->Tree.CloseGridRow = [this](int row) { CloseRow(row); };
    v.Tree->Tree.CloseAllFiles = [this] {
        for (int row = OpenRowCount() - 1; row >= 0; --row)
            CloseRow(row);
    };
    v.Open.OnRowClosed = [this](int row) { views_->Tree->Tree.CancelGridRowFlag(row); };

    // The offset controls show the current file's offsets of the chosen axis.
    auto showOffsets = [this] {
        const TDataBlock* b = views_ ? views_->Open.Block(ActualRow) : nullptr;
        const int slot = qBound(0, ComboBoxShiftAxis->currentIndex(), 2);
        const TSeriesSlot none;
        const TSeriesSlot& s = b ? b->Slots[slot] : none;
        const QSignalBlocker b1(CheckBoxShift), b2(EditShiftX), b3(EditShiftY), b4(TrackBarX), b5(TrackBarY);
        CheckBoxShift->setChecked(s.OffsetEnabled);
        EditShiftX->setText(QString::number(s.OffsetX));
        EditShiftY->setText(QString::number(s.OffsetY));
        TrackBarX->setValue(qRound(s.OffsetX));
        TrackBarY->setValue(qRound(s.OffsetY));
    };
    v.Open.OnActualChanged = [showOffsets](int) { showOffsets(); };
    connect(ComboBoxShiftAxis, qOverload<int>(&QComboBox::currentIndexChanged), this, showOffsets);
}

void TFormMain::BuildTree()
{
    if (!views_)
        return;
    views_->Tree->Tree.DataRoot = DataRoot;
    views_->Tree->BuildTree();
}

void TFormMain::RefreshTree()
{
    if (!views_)
        return;
    views_->Tree->Tree.DataRoot = DataRoot;
    views_->Tree->RefreshTree();
}

int TFormMain::OpenRowCount() const { return views_ ? views_->Open.RowCount() : 0; }

void TFormMain::CloseRow(int row)
{
    if (views_)
        views_->Open.GridCloseFile(row);
}

void TFormMain::ReleaseDataViews()
{
    if (views_) {
        views_->Tree->Tree.ClearTreeView();
        views_->Open.Graph = nullptr;
    }
    delete views_;
    views_ = nullptr;
}

void TFormMain::LayoutGrid()
{
    if (!views_ || !views_->View->StringGrid1 || Settings.AutoGridSize <= 7)
        return;
    QTableWidget* grid = views_->View->StringGrid1;
    grid->setColumnWidth(0, AutoFirstColumnWidth(Settings.AutoGridSize, grid->viewport()->width(),
                                                 grid->columnCount(),
                                                 grid->horizontalHeader()->defaultSectionSize()));
}

void TFormMain::TBShowLegendClick()
{
    if (!views_)
        return;
    views_->Chart->SetLegendVisible(TBShowLegend->isChecked());
}

} // namespace qv
