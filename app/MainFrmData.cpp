// The main window's data views: the data folder tree, the open-files grid
// and the graph page, and how the shell reaches them.
#include "app/MainFrm.h"

#include "device/DoskComUnit.h"
#include "browser/FlightInfo.h"
#include "browser/TreeView.h"
#include "flights/Data.h"
#include "graph/GraphPage.h"
#include "logbook/Logbook.h"

#include "base/MessageService.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLayout>
#include <QTableView>
#include <QToolButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <utility>

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

// What the tree asks of the main window.
class TMainTreeHost : public ITreeHost {
public:
    TMainTreeHost(TFormMain& form, TOpenFlights& open) : form_(form), open_(open) {}
    int OpenFile(const QString& fileName) override { return open_.OpenDataFile(fileName); }
    bool IsOpen(const QString& fileName) const override { return open_.IsOpen(fileName); }
    bool NotificationsOn() const override { return form_.TreeNotify; }
    void SetNotificationsOn(bool on) override { form_.TreeNotify = on; }
    bool Busy() const override { return open_.Busy(); }

private:
    TFormMain& form_;
    TOpenFlights& open_;
};

struct TFormMain::DataViews {
    DataViews(TFormMain& form, TOpenFlights& open) : Open(open), Host(form, Open) {}
    ~DataViews()
    {
        if (Tree)
            Tree->Tree.Host = nullptr; // the tree view outlives these
        delete View; // it refers to Open
        Open.Info = nullptr;
    }
    TOpenFlights& Open;
    TMainTreeHost Host;
    TTreeView* Tree = nullptr;
    TDataView* View = nullptr;
};

void TFormMain::CreateDataViews()
{
    views_ = new DataViews(*this, OpenFlights);
    DataViews& v = *views_;
    // Opened files get their curves in the model the graph page draws.
    v.Open.SetCurveModel(&Curves);
    DeviceSettingsChanged();
    ConnectGraphLink();
    connect(&v.Open, &TOpenFlights::GridChanged, this,
            [this] { GraphPage->SetOpenFiles(OpenFlights.CurveHandles()); });
    connect(&v.Open, &TOpenFlights::ActualChanged, this,
            [this](int row) { GraphPage->SetActualFile(OpenFlights.CurvesOf(row)); });

    // The open-files grid and the flight information page.
    auto* grid = new QTableView(PanelGrid);
    PanelGrid->layout()->addWidget(grid);
    v.View = new TDataView(v.Open, grid, this);
    v.Open.Info = InfoPage;
    new ResizeHook(PanelGrid, [this] { LayoutGrid(); });
    connect(v.View, &TDataView::RowCountChanged, this, [this](int rows) {
        PanelGrid->setVisible(rows > 0);
        if (rows > 0)
            SetDataPagesEnabled(true);
        LayoutGrid();
    });

    // The data folder tree.
    auto* tree = new QTreeWidget(PanelTree);
    PanelTree->layout()->addWidget(tree);
    v.Tree = new TTreeView(tree, this);
    v.Tree->Tree.Host = &v.Host;
    TDataTree* dataTree = &v.Tree->Tree;
    connect(v.Tree, &TTreeView::CloseFile, this, [this](const QString& path) { CloseRow(OpenFlights.RowOf(path)); });
    connect(dataTree, &TDataTree::CloseFile, this, [this](const QString& path) { CloseRow(OpenFlights.RowOf(path)); });
    connect(dataTree, &TDataTree::CloseAllFiles, this, [this] {
        for (int row = OpenRowCount() - 1; row >= 0; --row)
            CloseRow(row);
    });
    connect(dataTree, &TDataTree::OpenFileMoved, this, [this](const QString& from, const QString& to) {
        OpenFlights.GridRenameRow(OpenFlights.RowOf(from), to);
    });
    connect(dataTree, &TDataTree::DataRootChanged, this, [this](const QString& root) {
        DataRoot = root;
        Settings.Root = root;
        Logbook->SetRoot(root);
        if (DoskComForm) {
            TDeviceSettings dev = DoskComForm->Settings();
            dev.Root = root;
            DoskComForm->SetSettings(dev);
        }
    });
    // The tree shows which files are open.
    auto openChanged = [this] { views_->Tree->Tree.OpenFilesChanged(); };
    connect(&v.Open, &TOpenFlights::RowOpened, this, openChanged);
    connect(&v.Open, &TOpenFlights::RowChanged, this, openChanged);
    connect(&v.Open, &TOpenFlights::RowClosed, this, [this, openChanged] {
        openChanged();
        if (OpenFlights.Actual() < 0)
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
    Logbook->Update();
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

QFontMetrics TFormMain::GridFontMetrics() const
{
    if (!views_ || !views_->View->StringGrid1)
        return fontMetrics();
    views_->View->StringGrid1->ensurePolished(); // hidden until a file opens
    return views_->View->StringGrid1->fontMetrics();
}

void TFormMain::LayoutGrid()
{
    if (!views_ || !views_->View->StringGrid1 || Settings.AutoGridSize <= 7)
        return;
    // The name column takes what the visible check columns leave.
    QTableView* grid = views_->View->StringGrid1;
    int visible = 0;
    for (int c = 0; c < TOpenFlights::kColumns; ++c)
        visible += grid->isColumnHidden(c) ? 0 : 1;
    grid->setColumnWidth(0, AutoFirstColumnWidth(Settings.AutoGridSize, grid->viewport()->width(), visible,
                                                 TDataView::CheckColumnWidth(*grid)));
}

} // namespace qv

namespace qv {

void TFormMain::OpenFiles(const QStringList& files)
{
    if (!views_ || files.isEmpty())
        return;
    int shown = -1;
    OpenFlights.OpenFiles(files, &shown);
    if (shown >= 0) {
        OpenFlights.GridChangeActualFile(shown);
        PageControl1->setCurrentWidget(TabGraph);
    }
}

void TFormMain::FilesFromDesktop(const QStringList& files)
{
    pendingFiles_ << files;
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    // Where the desktop keeps others from taking the focus, the task bar
    // shows that the window wants it.
    QApplication::alert(this);
    OpenPendingFiles();
}

void TFormMain::OpenPendingFiles()
{
    if (pendingFiles_.isEmpty())
        return;
    // Not before the settings and the tree are there, not under a dialog,
    // not in the middle of an open, close or save.
    if (!firstShown_ || !views_ || QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
        views_->Open.Busy()) {
        if (!pendingTimer_) {
            pendingTimer_ = new QTimer(this);
            pendingTimer_->setSingleShot(true);
            pendingTimer_->setInterval(250);
            connect(pendingTimer_, &QTimer::timeout, this, &TFormMain::OpenPendingFiles);
        }
        pendingTimer_->start();
        return;
    }
    OpenFiles(std::exchange(pendingFiles_, {}));
}

} // namespace qv
