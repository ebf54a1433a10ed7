#pragma once
// The main window: menu, the data folder tree and the open-files grid on the
// left, the "Flight information", "Graph" and "Logbook" pages on the right.
#include "app/Application.h"
#include "app/Settings.h"
#include "app/WinStates.h"
#include "flights/OpenFlights.h"
#include "graph/CurveModel.h"
#include "graph/GraphSetup.h"

#include <QColor>
#include <QMainWindow>
#include <array>

class QAction;
class QComboBox;
class QFontMetrics;
class QLabel;
class QLineEdit;
class QSplitter;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace qv {

class TDoskComForm;
class TFlightInfoPage;
class TFormAbout;
class TFormAnnot;
class TFormAnnotEdit;
class TFormGraphSetup;
class TFormOptions;
class TFormSettings;
class TGraphLink;
class TGraphPage;
class TLogbook;
class TLogbookPage;

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(const TStartOptions& options, QWidget* parent = nullptr);
    ~TFormMain() override;

    // --- start-up state
    QString DataRoot;          // no trailing delimiter
    bool TreeNotify = false;   // file-system notifications rebuild the tree
    TAppSettings Settings;     // values of the settings file
    QString IniPath;           // the settings file written
    QString IniReadPath;       // the settings file read at start
    QString PortOverride;      // serial port for this run only
    QString ComFromIni;        // the port to write back while overridden
    TWinStates WinStates;      // positions of the windows that remember them
    TCurveModel Curves;        // the curves of the open files
    TOpenFlights OpenFlights;  // the open files, their grid rows and the current one
    TGraphSetupRec GraphSetup = DefaultGraphSetup();
    bool GraphSetupChanged = false; // confirmed in the dialog: written on close

    // --- the program's dialogs: children of this window, made by the
    // shell right after it (app/Application.h)
    TFormAnnotEdit* FormAnnotEdit = nullptr;
    TFormAnnot* FormAnnot = nullptr;
    TFormGraphSetup* FormGraphSetup = nullptr;
    TFormSettings* FormSettings = nullptr;
    TFormAbout* FormAbout = nullptr;
    TDoskComForm* DoskComForm = nullptr;
    TFormOptions* FormOptions = nullptr;

    // --- widgets
    QSplitter* MainSplitter = nullptr;
    QSplitter* PanelLeft = nullptr;  // tree above the open-files grid
    QWidget* PanelTree = nullptr;
    QWidget* PanelGrid = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabInfo = nullptr;
    QWidget* TabGraph = nullptr;
    QWidget* TabLogbook = nullptr;
    TFlightInfoPage* InfoPage = nullptr; // the flight information page
    TLogbook* Logbook = nullptr;         // every flight of the data root
    TLogbookPage* LogbookPage = nullptr;
    // graph page
    TGraphPage* GraphPage = nullptr;
    // menu
    QAction* mnuOptions = nullptr;
    QAction* mnuRefresh = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuReadData = nullptr;
    QAction* mnuSplitImage = nullptr;
    QAction* Graphsetup1 = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* actEscape = nullptr;

    // --- data views (tree, open-files grid, chart): app/MainFrmData.cpp
    void CreateDataViews();
    void BuildTree();          // first showing: build from DataRoot
    void RefreshTree();        // "Refresh" and after "Read data"
    int OpenRowCount() const;  // rows of the open-files grid
    void CloseRow(int row);    // the ordinary close of an open data file
    void ReleaseDataViews();   // destruction: tree nodes and open records
    void LayoutGrid();         // first column of the open-files grid
    void DeviceSettingsChanged(); // hands the device settings to the data views
    QFontMetrics GridFontMetrics() const; // in the open-files grid's font
    // Opens flight files on the graph page, any folder, the data root as it
    // is; files open already stay as they are. One error box at the end
    // names every file that did not open.
    void OpenFiles(const QStringList& files);
    // Files from the desktop (the command line, a later start): the window
    // comes to the front and opens them once no dialog is up.
    void FilesFromDesktop(const QStringList& files);
    // The notes and graph pages, usable once a file is open; the logbook
    // always is.
    void SetDataPagesEnabled(bool on);
    bool DataPagesEnabled() const;

    // --- annotations and offsets of the open files: app/GraphLink.cpp
    TGraphLink* GraphLink = nullptr;
    QToolButton* TBAnnotDialog = nullptr;
    void ConnectGraphLink();
    void TBAnnotDialogClick();
    // The chart pop-up's commands on the file of a grid row.
    void pmnuAnnotModifiClick(int row);
    void pmnuAnnotNewClick(int row);

    // --- shell
    void FirstShow();          // reads the settings file
    void CloseQuery();         // closes every open file
    void WriteSettings();      // writes the settings file
    bool AskExit();            // Escape's question

    // Handlers
    void mnuOptionsClick();
    void mnuRefreshClick();
    void mnuExitClick();
    void mnuReadDataClick();
    void mnuSplitImageClick();
    void mnuAboutClick();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void CreateMenu();
    QWidget* CreateGraphPage();

    bool firstShown_ = false;
    bool closed_ = false;
    QString exePath_;

    void OpenPendingFiles();
    QStringList pendingFiles_;        // from the desktop, not opened yet
    QTimer* pendingTimer_ = nullptr;  // retries while a dialog is up

    struct DataViews;
    DataViews* views_ = nullptr; // owned; defined in MainFrmData.cpp
};

} // namespace qv
