// The main window's data views: the data folder tree, the open-files grid
// and the graph page, and how the shell reaches them.
#include "app/MainFrm.h"

#include "device/DoskComUnit.h"
#include "browser/TreeView.h"
#include "data/Data.h"
#include "data/OpenData.h"
#include "graph/GraphPage.h"

#include <QEvent>
#include <QHeaderView>
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
        Open.Info = nullptr;
    }
    TOpenData Open;
    TTreeView* Tree = nullptr;
    TDataView* View = nullptr;
};

void TFormMain::CreateDataViews()
{
    views_ = new DataViews(DataList, ActualRow);
    DataViews& v = *views_;
    // Opened files get their curves in the model the graph page draws.
    v.Open.SetCurveModel(&Curves);
    DeviceSettingsChanged();
    ConnectGraphLink(v.Open);
    connect(&v.Open, &TOpenData::GridChanged, this,
            [this] { GraphPage->SetOpenFiles(views_->Open.CurveHandles()); });
    connect(&v.Open, &TOpenData::ActualChanged, this, [this](int row) {
        const TDataBlock* b = views_->Open.Block(row);
        GraphPage->SetActualFile(b ? b->Curves : kNoCurves);
    });

    // The open-files grid and the flight information page.
    auto* grid = new QTableWidget(PanelGrid);
    PanelGrid->layout()->addWidget(grid);
    TInfoControls info;
    info.EditDate = EditDate;
    info.EditSampling = EditSampling;
    info.EditVer = EditVer;
    info.EditFlightTime = EditFlightTime;
    info.EditMaxHeight = EditMaxHeight;
    info.RichEdit1 = RichEdit1;
    v.View = new TDataView(v.Open, grid, info, this);
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
    connect(&v.Open, &TOpenData::RowClosed, this, [this](int row) {
        views_->Tree->Tree.CancelGridRowFlag(row);
        if (ActualRow < 0)
            GraphPage->SetActualFile(kNoCurves);
    });
}

void TFormMain::DeviceSettingsChanged()
{
    const TDeviceSettings d = DoskComForm ? TDeviceSettings(DoskComForm->Settings()) : Settings.Device;
    if (views_)
        views_->Open.SetDeviceSettings(d);
    Curves.SetDeflection(d.DeflectionMin, d.DeflectionMax);
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
        views_->Open.SetCurveModel(nullptr);
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

} // namespace qv
