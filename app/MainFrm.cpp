#include "app/MainFrm.h"

#include <algorithm>

#include "base/Assert.h"
#include "browser/FlightInfo.h"
#include "device/DoskComUnit.h"
#include "app/Options.h"
#include "app/WinStates.h"
#include "graph/GraphPage.h"
#include "graph/GraphStyle.h"
#include "logbook/LogbookPage.h"
#include "base/MessageService.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

TFormMain::TFormMain(const TStartOptions& options, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Quorvel"));
    QApplication::setApplicationName(QStringLiteral("Quorvel"));
    // The first size fits the screen's available area, however small, with
    // room for a title bar; where there is room, the graph page's tool bar
    // shows every button with its icon and caption.
    const QRect available = AvailableArea(QRect());
    const QMargins frame(0, style()->pixelMetric(QStyle::PM_TitleBarHeight), 0, 0);
    resize(FitRect(QRect(available.topLeft(), QSize(1280, 760)), available, frame).size());

    exePath_ = options.ExePath.isEmpty() ? QCoreApplication::applicationFilePath() : options.ExePath;
    const TSettingsFiles files = options.IniPath.isEmpty()
                                     ? DefaultSettingsFiles(exePath_)
                                     : TSettingsFiles{options.IniReadPath.isEmpty() ? options.IniPath : options.IniReadPath,
                                                      options.IniPath};
    IniPath = files.Write;
    IniReadPath = files.Read;
    PortOverride = options.PortOverride;

    // 1.-2. No notifications while creating; the default data root.
    TreeNotify = false;
    DataRoot = DefaultDataRoot(QFileInfo(exePath_).absolutePath());
    Settings.Root = DataRoot;
    // 3.-5. The open files start empty, with no current file; the curve
    // colours are the table of graph/GraphStyle.h.

    CreateMenu();
    MainSplitter = new QSplitter(Qt::Horizontal, this);
    MainSplitter->setObjectName(QStringLiteral("MainSplitter"));
    PanelLeft = new QSplitter(Qt::Vertical, MainSplitter);
    PanelLeft->setObjectName(QStringLiteral("PanelLeft"));
    PanelTree = new QWidget(PanelLeft);
    PanelTree->setObjectName(QStringLiteral("PanelTree"));
    new QVBoxLayout(PanelTree);
    PanelTree->layout()->setContentsMargins(0, 0, 0, 0);
    PanelGrid = new QWidget(PanelLeft);
    PanelGrid->setObjectName(QStringLiteral("PanelGrid"));
    new QVBoxLayout(PanelGrid);
    PanelGrid->layout()->setContentsMargins(0, 0, 0, 0);
    PanelGrid->hide(); // shown with the first open file

    PageControl1 = new QTabWidget(MainSplitter);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabInfo = InfoPage = new TFlightInfoPage(this);
    TabGraph = CreateGraphPage();
    PageControl1->addTab(TabInfo, QStringLiteral("Flight information"));
    PageControl1->addTab(TabGraph, QStringLiteral("Graph"));
    Logbook = new TLogbook(this);
    TabLogbook = LogbookPage = new TLogbookPage(*Logbook, this);
    PageControl1->addTab(TabLogbook, QStringLiteral("Logbook"));
    // Several rows open in one step, as files from the desktop do.
    connect(LogbookPage, &TLogbookPage::OpenFiles, this, &TFormMain::OpenFiles);
    MainSplitter->addWidget(PanelLeft);
    MainSplitter->addWidget(PageControl1);
    MainSplitter->setStretchFactor(1, 1);
    MainSplitter->setSizes({233, 867});
    setCentralWidget(MainSplitter);

    // 4. The idle test of Undo and Paste belongs to the notes page.

    // 6. Cursor label empty.
    GraphPage->LabelCursor->clear();

    CreateDataViews();
    pendingFiles_ = options.Files; // opened once the window is shown
}

TFormMain::~TFormMain()
{
    // Destruction: tree nodes, then the open records.
    ReleaseDataViews();
}

void TFormMain::CreateMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    mnuOptions = file->addAction(QStringLiteral("Options"), this, &TFormMain::mnuOptionsClick);
    mnuOptions->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuRefresh = file->addAction(QStringLiteral("Refresh"), this, &TFormMain::mnuRefreshClick);
    mnuRefresh->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    file->addSeparator();
    mnuExit = file->addAction(QStringLiteral("Exit"), this, &TFormMain::mnuExitClick);
    QMenu* data = menuBar()->addMenu(QStringLiteral("Data"));
    mnuReadData = data->addAction(QStringLiteral("Read data"), this, &TFormMain::mnuReadDataClick);
    mnuReadData->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuSplitImage = data->addAction(QStringLiteral("Split memory image..."), this, &TFormMain::mnuSplitImageClick);
    QMenu* graph = menuBar()->addMenu(QStringLiteral("Graph"));
    Graphsetup1 = graph->addAction(QStringLiteral("Graph setup"), this, [this] { GraphPage->TBGraphSetupClick(); });
    mnuAbout = menuBar()->addAction(QStringLiteral("About"), this, &TFormMain::mnuAboutClick);

    actEscape = new QAction(this);
    actEscape->setShortcut(QKeySequence(Qt::Key_Escape));
    actEscape->setShortcutContext(Qt::WindowShortcut);
    connect(actEscape, &QAction::triggered, this, [this] {
        if (AskExit())
            close();
    });
    addAction(actEscape);
}

QWidget* TFormMain::CreateGraphPage()
{
    GraphPage = new TGraphPage(Curves, GraphSetup, GraphSetupChanged, this);
    return GraphPage;
}

void TFormMain::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!firstShown_) {
        firstShown_ = true;
        FirstShow();
    }
}

void TFormMain::FirstShow()
{
    // 1. Graph settings to their defaults.
    SetGraphSetupDefaults(GraphSetup);
    GraphSetupChanged = false;
    Settings.SaveWindowsPos = true;

    // 2.-3. The settings file, keys in the table's order.
    TIniFile ini;
    ini.Load(IniReadPath);
    Settings.Root = DataRoot;
    ReadAppSettings(ini, Settings);
    ReadGraphSetup(ini, GraphSetup);
    GraphPage->ChangeGraphSettings();
    GraphPage->UpdateScrollBars();
    DataRoot = Settings.Root;
    ComFromIni = Settings.Device.Com;

    // 5. Device settings to the device dialog.
    Settings.Device.Root = DataRoot;
    if (QV_ASSERT(DoskComForm != nullptr, "P=nil FormMain.FormShow")) {
        DoskComForm->SetSettings(Settings.Device);
        if (!PortOverride.isEmpty())
            DoskComForm->SetPortOverride(PortOverride);
    }
    DeviceSettingsChanged();

    // 6. Left panel width; measurement table and legend buttons.
    // The tree and the pages both keep room in the window.
    const int left = std::clamp(Settings.PanelLeft, kPanelLeftMin, qMax(kPanelLeftMin, width() - 200));
    MainSplitter->setSizes({left, qMax(100, width() - left)});
    GraphPage->ShowTable->setChecked(Settings.ShowTable);
    GraphPage->ShowTableClick();
    GraphPage->TBShowLegend->setChecked(Settings.TBShowLegend);
    GraphPage->TBShowLegendClick();

    // 7. The main window's position.
    WinStates.Configure(IniReadPath, Settings.SaveWindowsPos);
    WinStates.Restore(this, objectName());

    // 8. Automatic width of the grid's first column.
    if (Settings.AutoGridSize > 7)
        Settings.AutoGridSize = GridFontMetrics().horizontalAdvance(QStringLiteral("ABCDEFGH"));
    LayoutGrid();

    // 9. Font boxes of the notes editor.
    InfoPage->ResetFontBoxes();

    // 10. Pages are enabled once a file is open.
    SetDataPagesEnabled(false);

    // 11. The tree, then notifications on; the logbook of the same root.
    BuildTree();
    QCoreApplication::processEvents();
    TreeNotify = true;
    Logbook->SetRoot(DataRoot);
    Logbook->SetWatching(true);

    // Files named on the command line.
    if (!pendingFiles_.isEmpty())
        QTimer::singleShot(0, this, &TFormMain::OpenPendingFiles);
}

void TFormMain::resizeEvent(QResizeEvent* e)
{
    QMainWindow::resizeEvent(e);
    LayoutGrid();
}

bool TFormMain::AskExit()
{
    return Messages().Question(QStringLiteral("Are you sure to exit application?"), Buttons::YesNo) == Answer::Yes;
}

void TFormMain::CloseQuery()
{
    QString lastError;
    for (int row = OpenRowCount() - 1; row >= 0; --row) {
        try {
            CloseRow(row);
        } catch (const std::exception& e) {
            lastError = QStringLiteral("Error by Closing files on CloseQuery!\n") + QString::fromLocal8Bit(e.what());
        }
    }
    if (!lastError.isEmpty())
        Messages().Error(lastError);
}

void TFormMain::WriteSettings()
{
    if (DoskComForm)
        Settings.Device = DoskComForm->Settings();
    Settings.Root = DataRoot;
    // A port given on the command line is for this run only.
    if (!PortOverride.isEmpty() && Settings.Device.Com == PortOverride)
        Settings.Device.Com = ComFromIni;
    const QList<int> sizes = MainSplitter->sizes();
    if (!sizes.isEmpty() && sizes.first() > 0)
        Settings.PanelLeft = sizes.first();
    Settings.ShowTable = GraphPage->ShowTable->isChecked();
    Settings.TBShowLegend = GraphPage->TBShowLegend->isChecked();

    // Everything else the file read at start holds goes on into the file
    // written, which may be another one.
    TIniFile ini;
    ini.Load(QFileInfo::exists(IniPath) ? IniPath : IniReadPath);
    WriteAppSettings(ini, Settings, GraphSetupChanged ? &GraphSetup : nullptr);
    if (!ini.Save(IniPath))
        qWarning().noquote() << "Cannot write the settings file" << IniPath;
    WinStates.Configure(IniPath, Settings.SaveWindowsPos);
    WinStates.SaveAll();
}

void TFormMain::closeEvent(QCloseEvent* e)
{
    if (!closed_) {
        CloseQuery();
        // A file whose save failed stays open with its edits; so does the
        // program.
        if (OpenRowCount() > 0) {
            e->ignore();
            return;
        }
        WriteSettings();
        closed_ = true;
    }
    e->accept();
    QMainWindow::closeEvent(e);
}

void TFormMain::mnuOptionsClick()
{
    if (!QV_ASSERT(FormOptions != nullptr && DoskComForm != nullptr, "P=nil FormMain.mnuOptionsClick"))
        return;
    TDeviceSettings dev = DoskComForm->Settings();
    TOptionsValues v{DataRoot, dev.Com, dev.DefFileName, dev.MarkerThreshold};
    if (!FormOptions->Execute(v))
        return;
    // A port chosen here replaces one given on the command line.
    if (v.Com != dev.Com)
        DoskComForm->SetPortOverride(QString());
    dev.Root = v.Root;
    dev.Com = v.Com;
    dev.DefFileName = v.DefFileName;
    dev.MarkerThreshold = v.MarkerThreshold;
    DoskComForm->SetSettings(dev);
    DeviceSettingsChanged();
    if (v.Root != DataRoot) {
        TreeNotify = false;
        DataRoot = v.Root;
        for (int row = OpenRowCount() - 1; row >= 0; --row)
            CloseRow(row);
        BuildTree();
        QCoreApplication::processEvents();
        TreeNotify = true;
        Logbook->SetRoot(DataRoot);
    }
    Settings.DeflectionOnGraph = false;
}

void TFormMain::mnuRefreshClick() { RefreshTree(); }

void TFormMain::SetDataPagesEnabled(bool on)
{
    // The page control stays usable for the logbook, which is shown while
    // the other pages are off; the first open file brings back the notes.
    const bool was = DataPagesEnabled();
    PageControl1->setTabEnabled(PageControl1->indexOf(TabInfo), on);
    PageControl1->setTabEnabled(PageControl1->indexOf(TabGraph), on);
    if (!on)
        PageControl1->setCurrentWidget(TabLogbook);
    else if (!was && PageControl1->currentWidget() == TabLogbook)
        PageControl1->setCurrentWidget(TabInfo);
}

bool TFormMain::DataPagesEnabled() const
{
    return PageControl1->isTabEnabled(PageControl1->indexOf(TabInfo)) &&
           PageControl1->isTabEnabled(PageControl1->indexOf(TabGraph));
}

void TFormMain::mnuExitClick() { close(); }

void TFormMain::mnuReadDataClick()
{
    if (!QV_ASSERT(DoskComForm != nullptr, "P=nil FormMain.mnuReadDataClick"))
        return;
    TreeNotify = false;
    Messages().ExecDialog(*DoskComForm);
    DeviceSettingsChanged();
    TreeNotify = true;
    RefreshTree();
}

void TFormMain::mnuSplitImageClick()
{
    if (!QV_ASSERT(DoskComForm != nullptr, "P=nil FormMain.mnuSplitImageClick"))
        return;
    TreeNotify = false;
    DoskComForm->SplitMemoryImage();
    TreeNotify = true;
    RefreshTree();
}

void TFormMain::mnuAboutClick()
{
    if (!FormAbout)
        return;
    FormAbout->SetSettingsPath(IniPath);
    Messages().ExecDialog(*FormAbout);
}

} // namespace qv
